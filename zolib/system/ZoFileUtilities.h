// Path and file operations. Both "\" and "/" separate on input. Every path handed to the system
// is first put in its long-path form ("\\?\" prefix); text files carry a byte-order mark only
// when they are created, and appending takes the existing file's encoding from its mark.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoBuf;

// Text encodings of files.
enum : int {
    ZO_ENCODING_DETECT = 0,  // from the existing file's mark (appending only)
    ZO_ENCODING_ANSI = 1,    // the thread's ANSI code page; no mark
    ZO_ENCODING_UTF16LE = 2,  // mark FF FE
    ZO_ENCODING_UTF16BE = 3,  // mark FE FF
    ZO_ENCODING_UTF8 = 4,     // mark EF BB BF
};

class CZoFileUtilities {
public:
    CZoFileUtilities() = delete;

    // Path text, without access to the file system.

    // The text after the last separator; the whole path when there is none.
    static OleString GetFilenameFromPath(OleStringView path);
    // The text up to and including the last separator; empty when there is none.
    static OleString GetPathFromFilename(OleStringView path);
    // Appends separator to a path that is not empty and does not end with a separator.
    static void EnsurePathSeparatorAtEnd(OleString& path, OleStringView separator);
    // str1, "\" unless it ends with a separator, and str2 without one leading separator; str1
    // alone when str2 is empty. An empty str1 (with a str2) fails with 1010.
    static OleString ConcatPathname(OleStringView str1, OleStringView str2);
    static OleString SetPathSeparator(OleStringView path, OLECHAR separator);
    // Relative unless it begins with a drive ("X:") or with "\\"; a leading "/" or a single
    // leading "\" counts as relative.
    static bool IsRelativePath(OleStringView path);
    // The file name cut before its last "."; empty for a name that begins with ".".
    static OleString GetFilenameWithoutExtension(OleStringView path);
    // From the last "." of the file name, which must not be its first character; else empty.
    static OleString GetFileExtension(OleStringView path);
    // "\" separators, and "\\?\" (drives) or "\\?\UNC\" (network paths) before an absolute
    // path; relative paths as they are.
    static OleString GetUnicodePath(OleStringView path);
    // Takes the long-path prefix off again.
    static void RemoveUnicodePath(OleString& path);

    // The file system.

    static void SetFileReadonly(OleStringView path, bool readOnly);
    // clearReadonly: makes the file writable first, so that a read-only file is deleted too.
    static void DeleteFileW(OleStringView path, bool clearReadonly);
    // Without failIfExists an existing destination is deleted first.
    static void MoveFileW(OleStringView source, OleStringView destination, bool failIfExists);
    // The path as given (and success false) when the system has no short form for it.
    static OleString GetShortFilePath(OleStringView path, bool& success);
    static OleString GetShortFilePath(OleStringView path);
    // Fails when the path does not exist.
    static OleString GetLongFilePath(OleStringView path);
    // 0 for a file that can't be opened.
    static ULONGLONG GetFileSize(OleStringView path);
    // "X:\" is a folder without looking; a path that doesn't exist is not.
    static bool IsDirectory(OleStringView path);
    static bool FileExists(OleStringView path);
    // The temporary folder, environment variables expanded, with "\" at its end.
    static OleString GetTempDirectory();
    // Creates the folder and every missing parent. A path that exists as a file fails with
    // 2001, an empty one with 1010.
    static void BuildDirectory(OleStringView path);

    // Appends the text in the encoding to the buffer, with the encoding's mark first when
    // writeMark is set. Encoding 0 and unknown encodings fail with 1010.
    static void StringToFileContent(OleStringView text, CZoBuf& buffer, int encoding, bool writeMark);
    // Writes the text to the file, creating its folder; appending to a file that is not empty
    // writes no mark and with encoding 0 takes the file's own. Errors carry the details
    // "Filename" and "Content".
    static void WriteTextFile(OleStringView fileName, OleStringView text, bool append, int encoding);
};
