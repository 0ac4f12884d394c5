// Files, directories, path forms, the temporary folder, environment expansion and the C
// runtime's file functions of the stand-in.
#include <io.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "OleString.h"
#include "ScopedTempFolder.h"
#include "ScopedVariable.h"

namespace {

namespace fs = std::filesystem;

// For messages: the text's ASCII characters.
std::string Narrow(OleStringView text)
{
    return std::string(text.begin(), text.end());
}

// The Windows spelling of a host path: every "/" a "\".
OleString Backslashed(const OleString& path)
{
    OleString text = path;
    for (auto& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

void MakeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

class FilesTest : public ::testing::Test {
protected:
    HANDLE Open(const std::string& name, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL)
    {
        return CreateFileW(m_folder.Ole(name).c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags,
                           nullptr);
    }

    ScopedTempFolder m_folder;
};

// ---------------------------------------------------------------------------------------------
// CreateFileW

TEST_F(FilesTest, DispositionsCreateOpenAndTruncateAsDocumented)
{
    struct Case {
        const char* what;
        bool existsBefore;
        DWORD disposition;
        bool opens;
        DWORD lastError;
        std::string contentAfter;  // of a file that held "old"
    };
    const Case cases[] = {
        {"create new, missing", false, CREATE_NEW, true, ERROR_SUCCESS, ""},
        {"create new, existing", true, CREATE_NEW, false, ERROR_FILE_EXISTS, "old"},
        {"create always, missing", false, CREATE_ALWAYS, true, ERROR_SUCCESS, ""},
        {"create always, existing", true, CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {"open existing, missing", false, OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, ""},
        {"open existing, existing", true, OPEN_EXISTING, true, ERROR_SUCCESS, "old"},
        {"open always, missing", false, OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
        {"open always, existing", true, OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
        {"truncate existing, missing", false, TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, ""},
        {"truncate existing, existing", true, TRUNCATE_EXISTING, true, ERROR_SUCCESS, ""},
    };
    for (const auto& c : cases) {
        const fs::path path = m_folder.Path("f.txt");
        fs::remove(path);
        if (c.existsBefore)
            WriteFileBytes(path, "old");
        SetLastError(0xDEAD);
        const HANDLE file = Open("f.txt", GENERIC_READ | GENERIC_WRITE, c.disposition);
        EXPECT_EQ(c.opens, file != INVALID_HANDLE_VALUE) << c.what;
        EXPECT_EQ(c.lastError, GetLastError()) << c.what;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        EXPECT_EQ(c.existsBefore || c.opens, fs::exists(path)) << c.what;
        if (fs::exists(path)) {
            EXPECT_EQ(c.contentAfter, FileBytes(path)) << c.what;
        }
    }
}

TEST_F(FilesTest, RefusalsAreTheWindowsOnes)
{
    fs::create_directory(m_folder.Path("folder"));
    WriteFileBytes(m_folder.Path("readonly.txt"), "x");
    MakeReadOnly(m_folder.Path("readonly.txt"));
    struct Case {
        const char* what;
        std::string name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    };
    const Case cases[] = {
        {"missing folder", "missing/f.txt", GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"a file as a folder", "readonly.txt/f.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"a folder as a file", "folder", GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"a folder to write", "folder", GENERIC_WRITE, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        // Whoever the caller is, root included.
        {"a read-only file to write", "readonly.txt", GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {"no such disposition", "new.txt", GENERIC_WRITE, 0, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(INVALID_HANDLE_VALUE, Open(c.name, c.access, c.disposition)) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    EXPECT_EQ("x", FileBytes(m_folder.Path("readonly.txt")));

    const HANDLE folder = Open("folder", GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    EXPECT_NE(INVALID_HANDLE_VALUE, folder) << "a folder opens with backup semantics";
    CloseHandle(folder);
}

TEST_F(FilesTest, EverySpellingOfAPathReachesTheSameFile)
{
    const OleString posix = m_folder.Ole("data.bin");
    const OleString spellings[] = {posix, Backslashed(posix), OLESTR("\\\\?\\") + Backslashed(posix)};
    for (const OleString& spelling : spellings) {
        fs::remove(m_folder.Path("data.bin"));
        HANDLE file = CreateFileW(spelling.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, "abcdef", 6, &written, nullptr));
        EXPECT_EQ(6u, written);
        CloseHandle(file);
        EXPECT_EQ("abcdef", FileBytes(m_folder.Path("data.bin")));
    }
}

TEST_F(FilesTest, PositionSizeAndReadWork)
{
    WriteFileBytes(m_folder.Path("f.txt"), "0123456789");
    const HANDLE file = Open("f.txt", GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(file, &size));
    EXPECT_EQ(10, size.QuadPart);

    LARGE_INTEGER distance{};
    LARGE_INTEGER position{};
    distance.QuadPart = -3;
    ASSERT_TRUE(SetFilePointerEx(file, distance, &position, FILE_END));
    EXPECT_EQ(7, position.QuadPart);
    char bytes[8] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(std::string("789"), std::string(bytes, read));
    ASSERT_TRUE(ReadFile(file, bytes, sizeof bytes, &read, nullptr));
    EXPECT_EQ(0u, read) << "end of file reads nothing and succeeds";

    distance.QuadPart = -1;
    EXPECT_FALSE(SetFilePointerEx(file, distance, nullptr, FILE_BEGIN));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
    CloseHandle(file);
}

TEST_F(FilesTest, HandlesAllowOnlyWhatTheyWereOpenedFor)
{
    WriteFileBytes(m_folder.Path("f.txt"), "abc");
    const HANDLE writeOnly = Open("f.txt", GENERIC_WRITE, OPEN_EXISTING);
    char byte = 0;
    DWORD count = 0;
    EXPECT_FALSE(ReadFile(writeOnly, &byte, 1, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(writeOnly);

    // Attributes only: the size of a file nobody may read.
    fs::permissions(m_folder.Path("f.txt"), fs::perms::none);
    const HANDLE attributes = Open("f.txt", FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, attributes);
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(attributes, &size));
    EXPECT_EQ(3, size.QuadPart);
    EXPECT_FALSE(WriteFile(attributes, "x", 1, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(attributes);
}

// ---------------------------------------------------------------------------------------------
// Deleting, moving, attributes

TEST_F(FilesTest, DeleteRefusesFoldersAndReadOnlyFiles)
{
    fs::create_directory(m_folder.Path("folder"));
    WriteFileBytes(m_folder.Path("readonly.txt"), "x");
    MakeReadOnly(m_folder.Path("readonly.txt"));
    WriteFileBytes(m_folder.Path("plain.txt"), "x");
    struct Case {
        const char* what;
        std::string name;
        bool deletes;
        DWORD error;
    };
    const Case cases[] = {
        {"missing", "missing.txt", false, ERROR_FILE_NOT_FOUND},
        {"missing folder", "missing/x.txt", false, ERROR_PATH_NOT_FOUND},
        {"folder", "folder", false, ERROR_ACCESS_DENIED},
        {"read-only", "readonly.txt", false, ERROR_ACCESS_DENIED},
        {"plain", "plain.txt", true, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.deletes, DeleteFileW(m_folder.Ole(c.name).c_str()) != FALSE) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    EXPECT_TRUE(fs::exists(m_folder.Path("readonly.txt")));
    EXPECT_FALSE(fs::exists(m_folder.Path("plain.txt")));
}

TEST_F(FilesTest, MoveKeepsAnExistingDestinationUnlessAskedToReplaceIt)
{
    WriteFileBytes(m_folder.Path("a.txt"), "a");
    WriteFileBytes(m_folder.Path("b.txt"), "b");
    EXPECT_FALSE(MoveFileW(m_folder.Ole("a.txt").c_str(), m_folder.Ole("b.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ("a", FileBytes(m_folder.Path("a.txt")));
    EXPECT_EQ("b", FileBytes(m_folder.Path("b.txt")));

    EXPECT_TRUE(MoveFileExW(m_folder.Ole("a.txt").c_str(), m_folder.Ole("b.txt").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(fs::exists(m_folder.Path("a.txt")));
    EXPECT_EQ("a", FileBytes(m_folder.Path("b.txt")));

    EXPECT_TRUE(MoveFileW(m_folder.Ole("b.txt").c_str(), m_folder.Ole("c.txt").c_str()));
    EXPECT_EQ("a", FileBytes(m_folder.Path("c.txt")));
    EXPECT_FALSE(MoveFileW(m_folder.Ole("b.txt").c_str(), m_folder.Ole("d.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FilesTest, AttributesShowFoldersAndReadOnlyFiles)
{
    fs::create_directory(m_folder.Path("folder"));
    WriteFileBytes(m_folder.Path("plain.txt"), "x");
    WriteFileBytes(m_folder.Path("readonly.txt"), "x");
    MakeReadOnly(m_folder.Path("readonly.txt"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesW(m_folder.Ole("folder").c_str()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), GetFileAttributesW(m_folder.Ole("plain.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), GetFileAttributesW(m_folder.Ole("readonly.txt").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder.Ole("missing").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// ---------------------------------------------------------------------------------------------
// Directories and searches

TEST_F(FilesTest, CreateDirectoryReportsExistingAndMissingParents)
{
    EXPECT_TRUE(CreateDirectoryW(m_folder.Ole("a").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(m_folder.Ole("a").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryW(m_folder.Ole("missing/b").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

    WriteFileBytes(m_folder.Path("a/f.txt"), "x");
    EXPECT_FALSE(RemoveDirectoryW(m_folder.Ole("a").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIR_NOT_EMPTY), GetLastError());
    EXPECT_FALSE(RemoveDirectoryW(m_folder.Ole("a/f.txt").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
}

std::vector<std::string> FoundNames(const OleString& pattern, DWORD& error)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return names;
    }
    do {
        const OleString name(data.cFileName);
        names.emplace_back(name.begin(), name.end());
    } while (FindNextFileW(search, &data));
    error = GetLastError();
    EXPECT_TRUE(FindClose(search));
    return names;
}

TEST_F(FilesTest, SearchesMatchNamesAndPatterns)
{
    WriteFileBytes(m_folder.Path("b.LOG"), "12345");
    WriteFileBytes(m_folder.Path("a.log"), "1");
    WriteFileBytes(m_folder.Path("c.txt"), "1");
    fs::create_directory(m_folder.Path("d.log"));
    struct Case {
        const char* what;
        OleString pattern;
        std::vector<std::string> names;
        DWORD error;  // after the last entry, or of the failed first call
    };
    const Case cases[] = {
        {"one name", m_folder.Ole("c.txt"), {"c.txt"}, ERROR_NO_MORE_FILES},
        {"a folder by name", m_folder.Ole("d.log"), {"d.log"}, ERROR_NO_MORE_FILES},
        {"a pattern, either case, sorted", m_folder.Ole("*.log"), {"a.log", "b.LOG", "d.log"}, ERROR_NO_MORE_FILES},
        {"one-character wildcard", m_folder.Ole("?.txt"), {"c.txt"}, ERROR_NO_MORE_FILES},
        {"no match", m_folder.Ole("*.xml"), {}, ERROR_FILE_NOT_FOUND},
        {"missing name", m_folder.Ole("missing.txt"), {}, ERROR_FILE_NOT_FOUND},
        {"missing folder", m_folder.Ole("missing/*"), {}, ERROR_PATH_NOT_FOUND},
        {"a separator at the end", m_folder.Ole("d.log") + OLESTR("\\"), {}, ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_EQ(c.names, FoundNames(c.pattern, error)) << c.what;
        EXPECT_EQ(c.error, error) << c.what;
    }

    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW(m_folder.Ole("b.log").c_str(), &data);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a name without wildcards is taken as it is written";
    FindClose(FindFirstFileW(m_folder.Ole("d.log").c_str(), &data));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), data.dwFileAttributes);
    FindClose(FindFirstFileW(m_folder.Ole("b.LOG").c_str(), &data));
    EXPECT_EQ(5u, data.nFileSizeLow);
    EXPECT_EQ(0u, data.nFileSizeHigh);
}

// ---------------------------------------------------------------------------------------------
// Path forms and the temporary folder

TEST_F(FilesTest, LongAndShortFormsOfAnExistingPathAreThePath)
{
    WriteFileBytes(m_folder.Path("f.txt"), "x");
    const OleString path = OLESTR("\\\\?\\") + Backslashed(m_folder.Ole("f.txt"));
    for (auto* form : {&GetLongPathNameW, &GetShortPathNameW}) {
        const DWORD length = static_cast<DWORD>(path.size());
        EXPECT_EQ(length + 1, form(path.c_str(), nullptr, 0)) << "the size counts the NUL";
        std::vector<OLECHAR> buffer(length + 1);
        EXPECT_EQ(length + 1, form(path.c_str(), buffer.data(), length)) << "one short";
        EXPECT_EQ(length, form(path.c_str(), buffer.data(), length + 1));
        EXPECT_EQ(path, OleString(buffer.data()));

        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(0u, form(m_folder.Ole("missing.txt").c_str(), buffer.data(), length + 1));
        EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    }
}

OleString TempPath()
{
    OLECHAR buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    return OleString(buffer, length <= MAX_PATH ? length : 0);
}

OleString CurrentFolder()
{
    return OleTextOf(fs::current_path());
}

TEST(TempPath, ComesFromTheFirstVariableSetAndEndsWithASeparator)
{
    struct Case {
        const char* what;
        const OLECHAR* tmp;
        const OLECHAR* temp;
        const OLECHAR* tmpdir;
        OleString expected;
    };
    const Case cases[] = {
        {"TMP first", OLESTR("/t/tmp"), OLESTR("/t/temp"), OLESTR("/t/dir"), OLESTR("/t/tmp/")},
        {"then TEMP", nullptr, OLESTR("/t/temp/"), OLESTR("/t/dir"), OLESTR("/t/temp/")},
        {"then TMPDIR", nullptr, nullptr, OLESTR("/t/dir"), OLESTR("/t/dir/")},
        {"else /tmp", nullptr, nullptr, nullptr, OLESTR("/tmp/")},
        {"empty counts as unset", OLESTR(""), nullptr, nullptr, OLESTR("/tmp/")},
        {"relative to the current folder", OLESTR("rel"), nullptr, nullptr, CurrentFolder() + OLESTR("/rel/")},
    };
    for (const auto& c : cases) {
        ScopedVariable tmp(OLESTR("TMP"), c.tmp);
        ScopedVariable temp(OLESTR("TEMP"), c.temp);
        ScopedVariable tmpdir(OLESTR("TMPDIR"), c.tmpdir);
        EXPECT_EQ(c.expected, TempPath()) << c.what;
    }
    ScopedVariable tmp(OLESTR("TMP"), OLESTR("/t"));
    OLECHAR small[3];
    EXPECT_EQ(4u, GetTempPathW(3, small)) << "a short buffer is told the size with the NUL";
}

// ---------------------------------------------------------------------------------------------
// Environment expansion

OleString Expanded(const OLECHAR* text)
{
    OLECHAR buffer[1024];
    const DWORD needed = ExpandEnvironmentStringsW(text, buffer, 1024);
    return needed > 0 && needed <= 1024 ? OleString(buffer, needed - 1) : OleString(OLESTR("<failed>"));
}

TEST(ExpandEnvironmentStrings, ReplacesKnownNamesAndKeepsTheRest)
{
    ScopedVariable one(OLESTR("LUMO_EXPAND_ONE"), OLESTR("1"));
    ScopedVariable empty(OLESTR("LUMO_EXPAND_EMPTY"), OLESTR(""));
    ScopedVariable missing(OLESTR("LUMO_EXPAND_MISSING"), nullptr);
    ScopedVariable temp(OLESTR("TEMP"), nullptr);
    ScopedVariable tmp(OLESTR("TMP"), nullptr);
    ScopedVariable tmpdir(OLESTR("TMPDIR"), OLESTR("/var/t/"));
    struct Case {
        const OLECHAR* text;
        const OLECHAR* expected;
    };
    const Case cases[] = {
        {OLESTR("a%LUMO_EXPAND_ONE%b"), OLESTR("a1b")},
        {OLESTR("%lumo_expand_one%"), OLESTR("1")},
        {OLESTR("[%LUMO_EXPAND_EMPTY%]"), OLESTR("[]")},
        {OLESTR("%LUMO_EXPAND_MISSING%"), OLESTR("%LUMO_EXPAND_MISSING%")},
        {OLESTR("%LUMO_EXPAND_MISSING%LUMO_EXPAND_ONE%"), OLESTR("%LUMO_EXPAND_MISSING1")},
        {OLESTR("50%% and 7%"), OLESTR("50%% and 7%")},
        {OLESTR("%LUMO_EXPAND_ONE"), OLESTR("%LUMO_EXPAND_ONE")},
        {OLESTR("%TEMP%\\x.log"), OLESTR("/var/t\\x.log")},
        {OLESTR("%tmp%/x.log"), OLESTR("/var/t/x.log")},
        {OLESTR(""), OLESTR("")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OleString(c.expected), Expanded(c.text)) << Narrow(c.text);
}

TEST(ExpandEnvironmentStrings, TellsTheSizeWithTheNul)
{
    ScopedVariable one(OLESTR("LUMO_EXPAND_ONE"), OLESTR("12345"));
    EXPECT_EQ(8u, ExpandEnvironmentStringsW(OLESTR("<%LUMO_EXPAND_ONE%>"), nullptr, 0));
    OLECHAR small[4];
    EXPECT_EQ(8u, ExpandEnvironmentStringsW(OLESTR("<%LUMO_EXPAND_ONE%>"), small, 4));
    OLECHAR exact[8];
    EXPECT_EQ(8u, ExpandEnvironmentStringsW(OLESTR("<%LUMO_EXPAND_ONE%>"), exact, 8));
    EXPECT_EQ(OleString(OLESTR("<12345>")), OleString(exact));
}

// ---------------------------------------------------------------------------------------------
// The C runtime

TEST_F(FilesTest, RuntimeOpenTakesTheWindowsFlags)
{
    constexpr int kWriteOnly = 0x1, kReadWrite = 0x2, kAppend = 0x8, kCreate = 0x100, kTruncate = 0x200,
                  kExclusive = 0x400, kBinary = 0x8000, kReadWritePermission = 0x180;
    const OleString path = Backslashed(m_folder.Ole("f.bin"));
    int fd = _wopen(path.c_str(), kBinary | kCreate | kReadWrite, kReadWritePermission);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(3, _write(fd, "abc", 3));
    EXPECT_EQ(0, _close(fd));

    fd = _wopen(path.c_str(), kBinary | kWriteOnly | kAppend);
    EXPECT_EQ(2, _write(fd, "de", 2));
    _close(fd);
    EXPECT_EQ("abcde", FileBytes(m_folder.Path("f.bin")));

    EXPECT_EQ(-1, _wopen(path.c_str(), kCreate | kExclusive | kWriteOnly, kReadWritePermission));
    EXPECT_EQ(EEXIST, errno);

    fd = _wopen(path.c_str(), kWriteOnly | kTruncate);
    _close(fd);
    EXPECT_EQ("", FileBytes(m_folder.Path("f.bin")));

    fd = _wopen(path.c_str(), 0);
    char byte;
    EXPECT_EQ(0, _read(fd, &byte, 1));
    _close(fd);

    EXPECT_EQ(-1, _wopen(m_folder.Ole("missing/f.bin").c_str(), kCreate | kWriteOnly, kReadWritePermission));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(-1, _wopen(m_folder.Ole().c_str(), 0));
    EXPECT_EQ(EACCES, errno) << "a folder";
}

TEST_F(FilesTest, RuntimePermissionIsTheReadOnlyAttribute)
{
    constexpr int kWriteOnly = 0x1, kReadPermission = 0x100, kReadWritePermission = 0x180;
    WriteFileBytes(m_folder.Path("f.txt"), "x");
    const OleString path = m_folder.Ole("f.txt");
    ASSERT_EQ(0, _wchmod(path.c_str(), kReadPermission));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY), GetFileAttributesW(path.c_str()));
    EXPECT_EQ(-1, _wopen(path.c_str(), kWriteOnly));
    EXPECT_EQ(EACCES, errno);

    ASSERT_EQ(0, _wchmod(path.c_str(), kReadWritePermission));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), GetFileAttributesW(path.c_str()));
    const int fd = _wopen(path.c_str(), kWriteOnly);
    EXPECT_GE(fd, 0);
    _close(fd);

    EXPECT_EQ(-1, _wchmod(m_folder.Ole("missing").c_str(), kReadPermission));
    EXPECT_EQ(ENOENT, errno);
}

}  // namespace
