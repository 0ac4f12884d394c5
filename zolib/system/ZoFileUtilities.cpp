#include "ZoFileUtilities.h"

#include <io.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "ZoBufMalloc.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoString.h"
#include "ZoSystem.h"

ZO_SOURCE_FILE(".\\ZoFileUtilities")

namespace {

constexpr OLECHAR kSeparators[] = OLESTR("\\/");
constexpr OleStringView kLongPathPrefix = OLESTR("\\\\?\\");
constexpr OleStringView kLongUncPrefix = OLESTR("\\\\?\\UNC\\");
constexpr DWORD kShortPathBufferLength = 260;
constexpr DWORD kMaxTempPathLength = 32768;
// The C runtime's permission values.
constexpr int kPermissionRead = 0x100;
constexpr int kPermissionReadWrite = 0x180;

bool IsSeparator(OLECHAR c)
{
    return c == '\\' || c == '/';
}

bool StartsWith(OleStringView text, OleStringView prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The C runtime's error number with its text; 1006 when the runtime has none.

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle() { CloseHandle(m_handle); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// The search of FindFirstFileW: whether the path names anything, and its attributes.
bool FindEntry(const OleString& path, DWORD& attributes)
{
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    attributes = data.dwFileAttributes;
    return true;
}

void AppendBytes(CZoBuf& buffer, const void* bytes, LONGLONG count)
{
    if (count == 0)
        return;
    const LONGLONG start = buffer.GetSize();
    buffer.Realloc(start + count);
    CZoLockHolder hold(&buffer);
    std::memcpy(buffer.GetBuf() + start, bytes, static_cast<size_t>(count));
}

void AppendConverted(CZoBuf& buffer, OleStringView text, UINT codePage)
{
    CZoBufMalloc converted;
    CZoStringHelper::StringToMultiByte(text, converted, codePage);
    CZoLockHolder hold(&converted);
    AppendBytes(buffer, converted.GetBuf(), converted.GetSize());
}

void AppendMark(CZoBuf& buffer, int encoding)
{
    static constexpr BYTE kUtf16LittleEndian[] = {0xFF, 0xFE};
    static constexpr BYTE kUtf16BigEndian[] = {0xFE, 0xFF};
    static constexpr BYTE kUtf8[] = {0xEF, 0xBB, 0xBF};
    switch (encoding) {
    case ZO_ENCODING_UTF16LE:
        AppendBytes(buffer, kUtf16LittleEndian, sizeof kUtf16LittleEndian);
        break;
    case ZO_ENCODING_UTF16BE:
        AppendBytes(buffer, kUtf16BigEndian, sizeof kUtf16BigEndian);
        break;
    case ZO_ENCODING_UTF8:
        AppendBytes(buffer, kUtf8, sizeof kUtf8);
        break;
    default:
        break;  // ANSI has no mark, nor has an unknown encoding
    }
}

int EncodingOfMark(const BYTE* bytes, DWORD count)
{
    if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return ZO_ENCODING_UTF16LE;
    if (count >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)
        return ZO_ENCODING_UTF16BE;
    if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return ZO_ENCODING_UTF8;
    return ZO_ENCODING_ANSI;
}

}  // namespace

OleString CZoFileUtilities::GetFilenameFromPath(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetFilenameFromPath"))
    {
        const size_t separator = path.find_last_of(kSeparators);
        return OleString(separator == OleStringView::npos ? path : path.substr(separator + 1));
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetPathFromFilename(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetPathFromFilename"))
    {
        const size_t separator = path.find_last_of(kSeparators);
        return separator == OleStringView::npos ? OleString() : OleString(path.substr(0, separator + 1));
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::EnsurePathSeparatorAtEnd(OleString& path, OleStringView separator)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::EnsurePathSeparatorAtEnd"))
    {
        if (!path.empty() && !IsSeparator(path.back()))
            path += separator;
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::ConcatPathname(OleStringView str1, OleStringView str2)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::ConcatPathname"))
    {
        if (str2.empty())
            return OleString(str1);
        if (str1.empty()) {
            CZoException error = ZO_ERROR_OF(ZO_ERR_INVALID_PARAMETER);
            error.AddInfo(OLESTR("CZoFileUtilities::ConcatPathname() str1"), str1);
            error.AddInfo(OLESTR("CZoFileUtilities::ConcatPathname() str2"), str2);
            throw error;
        }
        OleString joined(str1);
        if (!IsSeparator(joined.back()))
            joined += OLECHAR('\\');
        joined += IsSeparator(str2.front()) ? str2.substr(1) : str2;
        return joined;
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::SetPathSeparator(OleStringView path, OLECHAR separator)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::SetPathSeparator"))
    {
        OleString result(path);
        for (OLECHAR& c : result)
            if (IsSeparator(c))
                c = separator;
        return result;
    }
    ZO_FUNCTION_END
}

bool CZoFileUtilities::IsRelativePath(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::IsRelativePath"))
    {
        if (path.empty())
            return true;
        if (path.size() >= 2 && path[1] == ':')
            return false;
        if (path[0] != '\\')
            return true;
        return !(path.size() >= 2 && path[1] == '\\');
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetFilenameWithoutExtension(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetFilenameWithoutExtension"))
    {
        OleString name = GetFilenameFromPath(path);
        const size_t dot = name.rfind(OLECHAR('.'));
        if (dot != OleString::npos)
            name.erase(dot);
        return name;
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetFileExtension(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetFileExtension"))
    {
        const size_t dot = path.rfind(OLECHAR('.'));
        const size_t separator = path.find_last_of(kSeparators);
        if (dot == OleStringView::npos || dot == 0)
            return OleString();
        if (separator != OleStringView::npos && dot <= separator + 1)
            return OleString();
        return OleString(path.substr(dot));
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetUnicodePath(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetUnicodePath"))
    {
        const OleString backslashed = SetPathSeparator(path, OLECHAR('\\'));
        if (IsRelativePath(backslashed) || StartsWith(backslashed, kLongPathPrefix))
            return backslashed;
        if (StartsWith(backslashed, OLESTR("\\\\")))
            return OleString(kLongUncPrefix) + backslashed.substr(2);
        return OleString(kLongPathPrefix) + backslashed;
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::RemoveUnicodePath(OleString& path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::RemoveUnicodePath"))
    {
        if (StartsWith(path, kLongUncPrefix))
            path.replace(0, kLongUncPrefix.size(), OLESTR("\\\\"));
        else if (StartsWith(path, kLongPathPrefix))
            path.erase(0, kLongPathPrefix.size());
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::SetFileReadonly(OleStringView path, bool readOnly)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::SetFileReadonly"))
    {
        if (_wchmod(GetUnicodePath(path).c_str(), readOnly ? kPermissionRead : kPermissionReadWrite) != 0)
            throw ZO_RUNTIME_EXCEPTION(errno);
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::DeleteFileW(OleStringView path, bool clearReadonly)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::DeleteFileW"))
    {
        if (clearReadonly)
            SetFileReadonly(path, false);
        if (!::DeleteFileW(GetUnicodePath(path).c_str())) {
            CZoException error = ZO_LAST_ERROR_EXCEPTION();
            error.AddError(ZO_ERR_DELETE_FILE, zoSourceFile, __LINE__, zoFunctionName);
            error.AddInfo(OLESTR("File"), path);
            throw error;
        }
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::MoveFileW(OleStringView source, OleStringView destination, bool failIfExists)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::MoveFileW"))
    {
        if (!failIfExists && FileExists(destination))
            DeleteFileW(destination, true);
        if (!::MoveFileW(GetUnicodePath(source).c_str(), GetUnicodePath(destination).c_str())) {
            CZoException error = ZO_LAST_ERROR_EXCEPTION();
            error.AddError(ZO_ERR_MOVE_FILE, zoSourceFile, __LINE__, zoFunctionName);
            error.AddInfo(OLESTR("SrcFile"), source);
            error.AddInfo(OLESTR("DstFile"), destination);
            throw error;
        }
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetShortFilePath(OleStringView path, bool& success)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetShortFilePath"))
    {
        OleString copy(path);
        for (OLECHAR& c : copy)
            if (c == '/')
                c = '\\';
        OLECHAR shortPath[kShortPathBufferLength];
        const DWORD length = GetShortPathNameW(GetUnicodePath(copy).c_str(), shortPath, kShortPathBufferLength);
        success = length > 0 && length < kShortPathBufferLength;
        OleString result = success ? OleString(shortPath, length) : OleString(path);
        RemoveUnicodePath(result);
        return result;
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetShortFilePath(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetShortFilePath"))
    {
        bool success = false;
        return GetShortFilePath(path, success);
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetLongFilePath(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetLongFilePath"))
    {
        const OleString sent = StartsWith(path, OLESTR("\\\\")) ? OleString(path) : GetUnicodePath(path);
        const auto fail = [&](const CZoException& cause) {
            CZoException error = cause;
            error.AddInfo(OLESTR("File"), path);
            error.AddInfo(OLESTR("FileSentToWin32"), sent);
            throw error;
        };
        const DWORD length = GetLongPathNameW(sent.c_str(), nullptr, 0);
        if (length == 0)
            fail(ZO_LAST_ERROR_EXCEPTION());
        CZoBufMalloc buffer(2 * static_cast<LONGLONG>(length) + 2);
        CZoLockHolder hold(&buffer);
        auto* text = reinterpret_cast<OLECHAR*>(buffer.GetBuf());
        const DWORD written = GetLongPathNameW(sent.c_str(), text, length + 1);
        if (written == 0)
            fail(ZO_LAST_ERROR_EXCEPTION());
        if (written > length)  // the path changed in between
            fail(ZO_SYSTEM_EXCEPTION(ERROR_INSUFFICIENT_BUFFER));
        OleString result(text, written);
        RemoveUnicodePath(result);
        return result;
    }
    ZO_FUNCTION_END
}

ULONGLONG CZoFileUtilities::GetFileSize(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetFileSize"))
    {
        const HANDLE file = CreateFileW(GetUnicodePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return ULONGLONG(0);
        FileHandle closer(file);
        LARGE_INTEGER size{};
        return GetFileSizeEx(file, &size) ? static_cast<ULONGLONG>(size.QuadPart) : ULONGLONG(0);
    }
    ZO_FUNCTION_END
}

bool CZoFileUtilities::IsDirectory(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::IsDirectory"))
    {
        if (path.size() == 3 && path[1] == ':' && IsSeparator(path[2]))
            return true;
        OleStringView withoutSeparator = path;
        if (!withoutSeparator.empty() && IsSeparator(withoutSeparator.back()))
            withoutSeparator.remove_suffix(1);
        DWORD attributes = 0;
        return FindEntry(GetUnicodePath(withoutSeparator), attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    ZO_FUNCTION_END
}

bool CZoFileUtilities::FileExists(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::FileExists"))
    {
        DWORD attributes = 0;
        return FindEntry(GetUnicodePath(path), attributes) || FindEntry(GetShortFilePath(path), attributes);
    }
    ZO_FUNCTION_END
}

OleString CZoFileUtilities::GetTempDirectory()
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::GetTempDirectory"))
    {
        const DWORD length = GetTempPathW(0, nullptr);
        if (length == 0)
            throw ZO_LAST_ERROR_EXCEPTION();
        CZoBufMalloc buffer(2 * static_cast<LONGLONG>(length) + 2);
        OleString folder;
        {
            CZoLockHolder hold(&buffer);
            auto* text = reinterpret_cast<OLECHAR*>(buffer.GetBuf());
            const DWORD written = GetTempPathW(length + 1, text);
            if (written == 0)
                throw ZO_LAST_ERROR_EXCEPTION();
            if (written > length)
                throw ZO_SYSTEM_EXCEPTION(ERROR_INSUFFICIENT_BUFFER);
            folder.assign(text, written);
        }
        OleString expanded = CZoSystem::ExpandEnvironment(folder, kMaxTempPathLength);
        EnsurePathSeparatorAtEnd(expanded, OLESTR("\\"));
        return GetLongFilePath(expanded);
    }
    ZO_FUNCTION_END
}

// The path is split at both separators, so that "C:/logs/a" and "/var/tmp/a" get their folders.
// A path that begins with a separator is built from the root; one that begins with neither a
// drive nor a separator is built relative to the current folder.
void CZoFileUtilities::BuildDirectory(OleStringView path)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::BuildDirectory"))
    {
        if (FileExists(path)) {
            if (IsDirectory(path))
                return;
            CZoException error = ZO_ERROR_OF(ZO_ERR_CREATE_DIRECTORY);
            error.AddInfo(OLESTR("Directory"), path);
            throw error;
        }
        if (path.empty())
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        OleString plain(path);
        RemoveUnicodePath(plain);
        const std::vector<OleString> tokens = CZoStringHelper::TokenizeString(plain, kSeparators);
        OleString built;
        size_t next = 0;
        if (!tokens.empty() && tokens[0].find(OLECHAR(':')) != OleString::npos) {
            built = tokens[0];
            next = 1;
        } else if (!tokens.empty() && plain.size() >= 2 && IsSeparator(plain[0]) && IsSeparator(plain[1])) {
            built = OLESTR("\\\\") + tokens[0];
            next = 1;
        }
        const bool fromRoot = next > 0 || (!plain.empty() && IsSeparator(plain[0]));
        for (; next < tokens.size(); ++next) {
            if (!built.empty() || fromRoot)
                built += OLECHAR('\\');
            built += tokens[next];
            if (!CreateDirectoryW(built.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                throw ZO_LAST_ERROR_EXCEPTION();
        }
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::StringToFileContent(OleStringView text, CZoBuf& buffer, int encoding, bool writeMark)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::StringToFileContent"))
    {
        if (writeMark)
            AppendMark(buffer, encoding);
        switch (encoding) {
        case ZO_ENCODING_ANSI:
            AppendConverted(buffer, text, CP_THREAD_ACP);
            break;
        case ZO_ENCODING_UTF16LE:
        case ZO_ENCODING_UTF16BE: {
            const bool bigEndian = encoding == ZO_ENCODING_UTF16BE;
            std::string bytes;
            bytes.reserve(2 * text.size());
            for (const OLECHAR unit : text) {
                const auto low = static_cast<char>(static_cast<unsigned>(unit) & 0xFF);
                const auto high = static_cast<char>((static_cast<unsigned>(unit) >> 8) & 0xFF);
                bytes += bigEndian ? high : low;
                bytes += bigEndian ? low : high;
            }
            AppendBytes(buffer, bytes.data(), static_cast<LONGLONG>(bytes.size()));
            break;
        }
        case ZO_ENCODING_UTF8:
            AppendConverted(buffer, text, CP_UTF8);
            break;
        default:
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        }
    }
    ZO_FUNCTION_END
}

void CZoFileUtilities::WriteTextFile(OleStringView fileName, OleStringView text, bool append, int encoding)
{
    ZO_FUNCTION(OLESTR("CZoFileUtilities::WriteTextFile"))
    {
        try {
            BuildDirectory(GetPathFromFilename(fileName));
            const HANDLE opened = CreateFileW(GetUnicodePath(fileName).c_str(),
                                              append ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE, FILE_SHARE_READ,
                                              nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                              nullptr);
            if (opened == INVALID_HANDLE_VALUE)
                throw ZO_LAST_ERROR_EXCEPTION();
            const FileHandle file(opened);
            bool appending = append;
            int effectiveEncoding = encoding;
            if (append) {
                LARGE_INTEGER size{};
                if (!GetFileSizeEx(file.Get(), &size))
                    throw ZO_LAST_ERROR_EXCEPTION();
                if (size.QuadPart == 0) {
                    appending = false;
                } else if (encoding == ZO_ENCODING_DETECT && size.QuadPart >= 2) {
                    // From two bytes on: a file that holds only its UTF-16 mark is UTF-16 too.
                    BYTE mark[3] = {};
                    DWORD read = 0;
                    if (!ReadFile(file.Get(), mark, sizeof mark, &read, nullptr))
                        throw ZO_LAST_ERROR_EXCEPTION();
                    effectiveEncoding = EncodingOfMark(mark, read);
                }
            }
            LARGE_INTEGER noDistance{};
            if (!SetFilePointerEx(file.Get(), noDistance, nullptr, FILE_END))
                throw ZO_LAST_ERROR_EXCEPTION();
            CZoBufMalloc content;
            StringToFileContent(text, content, effectiveEncoding, !appending);
            if (content.GetSize() > 0xFFFFFFFFLL)
                throw ZO_SYSTEM_EXCEPTION(ERROR_OUTOFMEMORY);
            const auto size = static_cast<DWORD>(content.GetSize());
            CZoLockHolder hold(&content);
            DWORD written = 0;
            if (!WriteFile(file.Get(), content.GetBuf(), size, &written, nullptr) || written != size)
                throw ZO_LAST_ERROR_EXCEPTION();
        } catch (CZoException& error) {
            error.AddInfo(OLESTR("Filename"), fileName);
            error.AddInfo(OLESTR("Content"), text);
            throw;
        }
    }
    ZO_FUNCTION_END
}
