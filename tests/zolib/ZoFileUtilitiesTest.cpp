// Path text, file-system operations and text files of CZoFileUtilities.
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ScopedTempFolder.h"
#include "ScopedVariable.h"
#include "ZoBufMalloc.h"
#include "ZoFileUtilities.h"
#include "ZoFormat.h"
#include "ZoTestSupport.h"

namespace {

namespace fs = std::filesystem;
using Files = CZoFileUtilities;

std::string Narrow(OleStringView text)
{
    return std::string(text.begin(), text.end());
}

// A path the library gave, for the standard library: "/" separates on every target.
fs::path LocalPath(OleStringView path)
{
    std::u16string text(path.begin(), path.end());
    for (auto& c : text)
        if (c == u'\\')
            c = u'/';
    return fs::path(text);
}

OleString Backslashed(OleStringView path)
{
    return Files::SetPathSeparator(path, OLECHAR('\\'));
}

std::string Utf16LittleEndian(const std::string& ascii)
{
    std::string bytes;
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string Utf16BigEndian(const std::string& ascii)
{
    std::string bytes;
    for (const char c : ascii) {
        bytes += '\0';
        bytes += c;
    }
    return bytes;
}

// The code of an error number as the error document writes it.
OleString CodeOfSystemError(DWORD number)
{
    return Decimal(static_cast<LONG>(ZoHResultFromSystemError(static_cast<LONG>(number))));
}

// ---------------------------------------------------------------------------------------------
// Path text

TEST(ZoFilePathText, SplitsAtBothSeparators)
{
    struct Case {
        const OLECHAR* path;
        const OLECHAR* fileName;
        const OLECHAR* folder;
        const OLECHAR* withoutExtension;
        const OLECHAR* extension;
    };
    const Case cases[] = {
        {OLESTR("C:\\a\\b.tar.gz"), OLESTR("b.tar.gz"), OLESTR("C:\\a\\"), OLESTR("b.tar"), OLESTR(".gz")},
        {OLESTR("C:\\dir.x\\file"), OLESTR("file"), OLESTR("C:\\dir.x\\"), OLESTR("file"), OLESTR("")},
        {OLESTR("C:\\a\\.profile"), OLESTR(".profile"), OLESTR("C:\\a\\"), OLESTR(""), OLESTR("")},
        {OLESTR("/var/log/app.log"), OLESTR("app.log"), OLESTR("/var/log/"), OLESTR("app"), OLESTR(".log")},
        {OLESTR("C:/mixed\\sep/x.txt"), OLESTR("x.txt"), OLESTR("C:/mixed\\sep/"), OLESTR("x"), OLESTR(".txt")},
        {OLESTR("plain"), OLESTR("plain"), OLESTR(""), OLESTR("plain"), OLESTR("")},
        {OLESTR(".hidden"), OLESTR(".hidden"), OLESTR(""), OLESTR(""), OLESTR("")},
        {OLESTR("a.b"), OLESTR("a.b"), OLESTR(""), OLESTR("a"), OLESTR(".b")},
        {OLESTR("C:\\logs\\"), OLESTR(""), OLESTR("C:\\logs\\"), OLESTR(""), OLESTR("")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OleString(c.fileName), Files::GetFilenameFromPath(c.path)) << Narrow(c.path);
        EXPECT_EQ(OleString(c.folder), Files::GetPathFromFilename(c.path)) << Narrow(c.path);
        EXPECT_EQ(OleString(c.withoutExtension), Files::GetFilenameWithoutExtension(c.path)) << Narrow(c.path);
        EXPECT_EQ(OleString(c.extension), Files::GetFileExtension(c.path)) << Narrow(c.path);
    }
}

TEST(ZoFilePathText, ConcatenatesWithOneSeparator)
{
    struct Case {
        const OLECHAR* first;
        const OLECHAR* second;
        const OLECHAR* joined;
    };
    const Case cases[] = {
        {OLESTR("C:\\logs\\"), OLESTR("\\a.txt"), OLESTR("C:\\logs\\a.txt")},
        {OLESTR("C:\\logs"), OLESTR("a.txt"), OLESTR("C:\\logs\\a.txt")},
        {OLESTR("/tmp/"), OLESTR("a.txt"), OLESTR("/tmp/a.txt")},
        {OLESTR("/tmp"), OLESTR("/a.txt"), OLESTR("/tmp\\a.txt")},
        {OLESTR("C:\\logs\\"), OLESTR("\\\\a.txt"), OLESTR("C:\\logs\\\\a.txt")},
        {OLESTR("whatever"), OLESTR(""), OLESTR("whatever")},
        {OLESTR(""), OLESTR(""), OLESTR("")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OleString(c.joined), Files::ConcatPathname(c.first, c.second)) << Narrow(c.first) << Narrow(c.second);

    const auto entries = RaisedEntries([] { Files::ConcatPathname(OLESTR(""), OLESTR("a.txt")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("Invalid function parameter.")), entries[0].description);
    EXPECT_EQ(OleString(OLESTR("1010")), entries[0].code);
    const std::vector<std::pair<OleString, OleString>> details = {
        {OLESTR("CZoFileUtilities::ConcatPathname()str1"), OLESTR("")},
        {OLESTR("CZoFileUtilities::ConcatPathname()str2"), OLESTR("a.txt")},
    };
    EXPECT_EQ(details, entries[0].details);
}

TEST(ZoFilePathText, LongPathFormsOnlyForAbsolutePaths)
{
    struct Case {
        const OLECHAR* path;
        bool relative;
        const OLECHAR* unicode;
    };
    const Case cases[] = {
        {OLESTR("C:/a/b"), false, OLESTR("\\\\?\\C:\\a\\b")},
        {OLESTR("\\\\srv\\share\\f"), false, OLESTR("\\\\?\\UNC\\srv\\share\\f")},
        {OLESTR("a\\b"), true, OLESTR("a\\b")},
        {OLESTR("\\\\?\\C:\\x"), false, OLESTR("\\\\?\\C:\\x")},
        // A single leading separator, and so every POSIX path, counts as relative.
        {OLESTR("/tmp/app.log"), true, OLESTR("\\tmp\\app.log")},
        {OLESTR("\\root"), true, OLESTR("\\root")},
        {OLESTR(""), true, OLESTR("")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.relative, Files::IsRelativePath(c.path)) << Narrow(c.path);
        EXPECT_EQ(OleString(c.unicode), Files::GetUnicodePath(c.path)) << Narrow(c.path);
    }

    const OLECHAR* reversed[][2] = {
        {OLESTR("\\\\?\\C:\\a\\b"), OLESTR("C:\\a\\b")},
        {OLESTR("\\\\?\\UNC\\srv\\share\\f"), OLESTR("\\\\srv\\share\\f")},
        {OLESTR("C:\\a"), OLESTR("C:\\a")},
    };
    for (const auto& [from, to] : reversed) {
        OleString path = from;
        Files::RemoveUnicodePath(path);
        EXPECT_EQ(OleString(to), path) << Narrow(from);
    }
}

TEST(ZoFilePathText, SeparatorAtTheEnd)
{
    struct Case {
        const OLECHAR* path;
        const OLECHAR* result;
    };
    const Case cases[] = {
        {OLESTR("C:\\a"), OLESTR("C:\\a\\")},
        {OLESTR("C:\\a\\"), OLESTR("C:\\a\\")},
        {OLESTR("/tmp/"), OLESTR("/tmp/")},
        {OLESTR(""), OLESTR("")},
    };
    for (const auto& c : cases) {
        OleString path = c.path;
        Files::EnsurePathSeparatorAtEnd(path, OLESTR("\\"));
        EXPECT_EQ(OleString(c.result), path) << Narrow(c.path);
    }
    EXPECT_EQ(OleString(OLESTR("a/b/c")), Files::SetPathSeparator(OLESTR("a\\b/c"), OLECHAR('/')));
}

// ---------------------------------------------------------------------------------------------
// The file system

class ZoFilesTest : public ::testing::Test {
protected:
    OleString Path(const std::string& relative = {}) const { return m_folder.Ole(relative); }

    ScopedTempFolder m_folder;
};

TEST_F(ZoFilesTest, ExistenceSizeAndFolders)
{
    WriteFileBytes(m_folder.Path("f.txt"), "12345");
    fs::create_directory(m_folder.Path("sub"));
    struct Case {
        std::string name;
        bool exists;
        bool directory;
        ULONGLONG size;
    };
    const Case cases[] = {
        {"f.txt", true, false, 5},
        {"sub", true, true, 0},
        {"missing", false, false, 0},
        {"missing/f.txt", false, false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.exists, Files::FileExists(Path(c.name))) << c.name;
        EXPECT_EQ(c.directory, Files::IsDirectory(Path(c.name))) << c.name;
        EXPECT_EQ(c.size, Files::GetFileSize(Path(c.name))) << c.name;
    }
    EXPECT_TRUE(Files::IsDirectory(Path("sub") + OLESTR("\\"))) << "one separator at the end is taken off";
    EXPECT_TRUE(Files::IsDirectory(Backslashed(Path("sub"))));
    EXPECT_TRUE(Files::IsDirectory(OLESTR("Q:\\"))) << "a drive's root, whether or not it exists";
}

TEST_F(ZoFilesTest, BuildDirectoryCreatesEveryMissingParent)
{
    fs::create_directories(m_folder.Path("a/b"));
    // Either separator, mixed.
    const OleString path = Path("a") + OLESTR("\\b/c\\d");
    Files::BuildDirectory(path);
    EXPECT_TRUE(fs::is_directory(m_folder.Path("a/b/c/d")));
    Files::BuildDirectory(path);  // all there: nothing to do
    Files::BuildDirectory(Path("e/f/"));
    EXPECT_TRUE(fs::is_directory(m_folder.Path("e/f")));
}

TEST_F(ZoFilesTest, BuildDirectoryFailsWhereNoFolderCanBe)
{
    WriteFileBytes(m_folder.Path("file"), "x");
    auto entries = RaisedEntries([&] { Files::BuildDirectory(Path("file")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("2001")), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("Failed to create directory.")), entries[0].description);
    EXPECT_EQ(Path("file"), DetailOf(entries[0], OLESTR("Directory")));

    entries = RaisedEntries([] { Files::BuildDirectory(OLESTR("")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("1010")), entries[0].code);

    // Below a file: the system's own error (whoever runs the test, root included).
    entries = RaisedEntries([&] { Files::BuildDirectory(Path("file/sub")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(CodeOfSystemError(ERROR_PATH_NOT_FOUND), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(ERROR_PATH_NOT_FOUND), entries[0].description);
}

TEST_F(ZoFilesTest, DeleteNeedsTheClearFlagForReadOnlyFiles)
{
    WriteFileBytes(m_folder.Path("r.txt"), "x");
    Files::SetFileReadonly(Path("r.txt"), true);
    const auto entries = RaisedEntries([&] { Files::DeleteFileW(Path("r.txt"), false); });
    ASSERT_EQ(3u, entries.size()) << "the system's error, the function's own, the frame's";
    EXPECT_EQ(CodeOfSystemError(ERROR_ACCESS_DENIED), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(ERROR_ACCESS_DENIED), entries[0].description);
    EXPECT_EQ(OleString(OLESTR("2012")), entries[1].code);
    EXPECT_EQ(OleString(OLESTR("Failed to delete file.")), entries[1].description);
    EXPECT_EQ(Path("r.txt"), DetailOf(entries[1], OLESTR("File")));
    EXPECT_TRUE(fs::exists(m_folder.Path("r.txt")));

    Files::DeleteFileW(Path("r.txt"), true);
    EXPECT_FALSE(fs::exists(m_folder.Path("r.txt")));
}

TEST_F(ZoFilesTest, ReadOnlyFlagFailsWithTheRuntimesError)
{
    const auto entries = RaisedEntries([&] { Files::SetFileReadonly(Path("missing.txt"), true); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(OleString(OLESTR("2")), entries[0].code) << "the C runtime's ENOENT";
    EXPECT_EQ(ZoAnsiToOle(std::strerror(2)), entries[0].description);
}

TEST_F(ZoFilesTest, MoveReplacesAnOlderDestinationUnlessAskedNotTo)
{
    WriteFileBytes(m_folder.Path("new.log"), "new");
    WriteFileBytes(m_folder.Path("old.log"), "old");
    Files::SetFileReadonly(Path("old.log"), true);
    const auto entries = RaisedEntries([&] { Files::MoveFileW(Path("new.log"), Path("old.log"), true); });
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(CodeOfSystemError(ERROR_ALREADY_EXISTS), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("2008")), entries[1].code);
    EXPECT_EQ(OleString(OLESTR("Failed to move file.")), entries[1].description);
    EXPECT_EQ(Path("new.log"), DetailOf(entries[1], OLESTR("SrcFile")));
    EXPECT_EQ(Path("old.log"), DetailOf(entries[1], OLESTR("DstFile")));

    Files::MoveFileW(Path("new.log"), Path("old.log"), false);  // a read-only one too
    EXPECT_FALSE(fs::exists(m_folder.Path("new.log")));
    EXPECT_EQ("new", FileBytes(m_folder.Path("old.log")));
}

TEST_F(ZoFilesTest, LongAndShortFormsOfExistingPaths)
{
    WriteFileBytes(m_folder.Path("f.txt"), "x");
    const OleString longForm = Files::GetLongFilePath(Path("f.txt"));
    EXPECT_TRUE(fs::equivalent(LocalPath(longForm), m_folder.Path("f.txt")));
    EXPECT_NE(0u, longForm.rfind(OLESTR("\\\\?\\"), 0)) << "without the long-path prefix";
    bool success = false;
    const OleString shortForm = Files::GetShortFilePath(Path("f.txt"), success);
    EXPECT_TRUE(success);
    EXPECT_TRUE(Files::FileExists(shortForm));

    EXPECT_EQ(Path("missing.txt"), Files::GetShortFilePath(Path("missing.txt"), success));
    EXPECT_FALSE(success);

    const auto entries = RaisedEntries([&] { Files::GetLongFilePath(Path("missing.txt")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(CodeOfSystemError(ERROR_FILE_NOT_FOUND), entries[0].code);
    EXPECT_EQ(Path("missing.txt"), DetailOf(entries[0], OLESTR("File")));
    EXPECT_EQ(Files::GetUnicodePath(Path("missing.txt")), DetailOf(entries[0], OLESTR("FileSentToWin32")));
}

TEST_F(ZoFilesTest, TempDirectoryIsTheSystemsWithASeparatorAtTheEnd)
{
    ScopedVariable tmp(OLESTR("TMP"), Path().c_str());
    const OleString temp = Files::GetTempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(OLECHAR('\\'), temp.back());
    // Without the separator: Windows' stat refuses a folder's path that ends in one.
    EXPECT_TRUE(fs::equivalent(LocalPath(temp.substr(0, temp.size() - 1)), m_folder.Path()));
}

// ---------------------------------------------------------------------------------------------
// Text files

TEST(ZoFileContent, AppendsTheEncodedTextAfterWhatTheBufferHolds)
{
    struct Case {
        int encoding;
        bool mark;
        std::string bytes;
    };
    const Case cases[] = {
        {ZO_ENCODING_ANSI, true, "ab"},
        {ZO_ENCODING_UTF16LE, true, "\xFF\xFE" + Utf16LittleEndian("ab")},
        {ZO_ENCODING_UTF16LE, false, Utf16LittleEndian("ab")},
        {ZO_ENCODING_UTF16BE, true, "\xFE\xFF" + Utf16BigEndian("ab")},
        {ZO_ENCODING_UTF8, true, "\xEF\xBB\xBF" "ab"},
        {ZO_ENCODING_UTF8, false, "ab"},
    };
    for (const auto& c : cases) {
        CZoBufMalloc buffer;
        buffer.Copy("<", 1);
        Files::StringToFileContent(OLESTR("ab"), buffer, c.encoding, c.mark);
        CZoLockHolder hold(&buffer);
        EXPECT_EQ("<" + c.bytes, std::string(reinterpret_cast<const char*>(buffer.GetBuf()),
                                             static_cast<size_t>(buffer.GetSize())))
            << c.encoding << " " << c.mark;
    }

    CZoBufMalloc wide;
    Files::StringToFileContent(OLESTR("\u00e9\u20ac"), wide, ZO_ENCODING_UTF8, false);
    CZoLockHolder hold(&wide);
    EXPECT_EQ("\xC3\xA9\xE2\x82\xAC", std::string(reinterpret_cast<const char*>(wide.GetBuf()), 5));

    for (const int unknown : {static_cast<int>(ZO_ENCODING_DETECT), 5, -1}) {
        CZoBufMalloc buffer;
        const auto entries = RaisedEntries([&] { Files::StringToFileContent(OLESTR("ab"), buffer, unknown, true); });
        ASSERT_FALSE(entries.empty()) << unknown;
        EXPECT_EQ(OleString(OLESTR("1010")), entries[0].code) << unknown;
        EXPECT_EQ(0, buffer.GetSize()) << "no mark for an unknown encoding";
    }
}

TEST_F(ZoFilesTest, NewFileGetsItsMarkAndAppendingNone)
{
    struct Case {
        int encoding;
        std::string bytes;  // after "ab" written new and "cd" appended
    };
    const Case cases[] = {
        {ZO_ENCODING_ANSI, "abcd"},
        {ZO_ENCODING_UTF16LE, "\xFF\xFE" + Utf16LittleEndian("abcd")},
        {ZO_ENCODING_UTF16BE, "\xFE\xFF" + Utf16BigEndian("abcd")},
        {ZO_ENCODING_UTF8, "\xEF\xBB\xBF" "abcd"},
    };
    for (const auto& c : cases) {
        const OleString file = Path("logs/new/" + std::to_string(c.encoding) + ".txt");
        Files::WriteTextFile(file, OLESTR("ab"), false, c.encoding);
        Files::WriteTextFile(file, OLESTR("cd"), true, c.encoding);
        EXPECT_EQ(c.bytes, FileBytes(m_folder.Path("logs/new/" + std::to_string(c.encoding) + ".txt"))) << c.encoding;
    }
    // Without appending the file starts again, mark and all.
    const OleString file = Path("logs/new/2.txt");
    Files::WriteTextFile(file, OLESTR("x"), false, ZO_ENCODING_UTF16LE);
    EXPECT_EQ("\xFF\xFE" + Utf16LittleEndian("x"), FileBytes(m_folder.Path("logs/new/2.txt")));
    // Appending to an empty file counts as a new one.
    WriteFileBytes(m_folder.Path("empty.txt"), "");
    Files::WriteTextFile(Path("empty.txt"), OLESTR("x"), true, ZO_ENCODING_UTF8);
    EXPECT_EQ("\xEF\xBB\xBF" "x", FileBytes(m_folder.Path("empty.txt")));
}

TEST_F(ZoFilesTest, AppendingDetectsTheFilesEncoding)
{
    struct Case {
        const char* what;
        std::string before;
        std::string after;  // with "cd" appended in encoding 0
    };
    const Case cases[] = {
        {"UTF-16 LE", "\xFF\xFE" + Utf16LittleEndian("ab"), "\xFF\xFE" + Utf16LittleEndian("abcd")},
        {"UTF-16 BE", "\xFE\xFF" + Utf16BigEndian("ab"), "\xFE\xFF" + Utf16BigEndian("abcd")},
        {"UTF-8", "\xEF\xBB\xBF" "ab", "\xEF\xBB\xBF" "abcd"},
        {"no mark", "ab", "abcd"},
        {"only a UTF-16 mark", "\xFF\xFE", "\xFF\xFE" + Utf16LittleEndian("cd")},
    };
    for (const auto& c : cases) {
        WriteFileBytes(m_folder.Path("f.txt"), c.before);
        Files::WriteTextFile(Path("f.txt"), OLESTR("cd"), true, ZO_ENCODING_DETECT);
        EXPECT_EQ(c.after, FileBytes(m_folder.Path("f.txt"))) << c.what;
    }
}

TEST_F(ZoFilesTest, WriteErrorsCarryTheFileNameAndTheContent)
{
    fs::create_directory(m_folder.Path("folder"));
    WriteFileBytes(m_folder.Path("file"), "x");
    struct Case {
        const char* what;
        OleString fileName;
        int encoding;
        OleString code;
    };
    const Case cases[] = {
        {"detecting on a new file", Path("new.txt"), ZO_ENCODING_DETECT, OLESTR("1010")},
        {"no folder part", OLESTR("bare.txt"), ZO_ENCODING_UTF16LE, OLESTR("1010")},
        {"a folder", Path("folder"), ZO_ENCODING_UTF16LE, CodeOfSystemError(ERROR_ACCESS_DENIED)},
        {"below a file", Path("file/x.txt"), ZO_ENCODING_UTF16LE, CodeOfSystemError(ERROR_PATH_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        const auto entries = RaisedEntries([&] { Files::WriteTextFile(c.fileName, OLESTR("text"), true, c.encoding); });
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(c.code, entries[0].code) << c.what;
        EXPECT_EQ(c.fileName, DetailOf(entries[0], OLESTR("Filename"))) << c.what;
        EXPECT_EQ(OleString(OLESTR("text")), DetailOf(entries[0], OLESTR("Content"))) << c.what;
    }
}

}  // namespace
