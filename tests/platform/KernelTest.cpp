// Kernel services: critical sections, the last error, environment variables, code pages,
// modules, child processes and the splitting of their command lines.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "ChildProcess.h"
#include "OleString.h"

namespace {

OleString Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    OleString wide(static_cast<size_t>(n), 0);
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const OleString& text)
{
    if (text.empty())
        return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

OleString OwnProgramPath()
{
    OLECHAR path[4096];
    const DWORD n = GetModuleFileNameW(nullptr, path, 4096);
    return OleString(path, n < 4096 ? n : 0);
}

// ---------------------------------------------------------------------------------------------
// Critical sections

class CriticalSectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitializeCriticalSectionAndSpinCount(&m_section, 1000)); }
    void TearDown() override { DeleteCriticalSection(&m_section); }

    bool OtherThreadCanEnter()
    {
        bool entered = false;
        std::thread([&] {
            entered = TryEnterCriticalSection(&m_section) != FALSE;
            if (entered)
                LeaveCriticalSection(&m_section);
        }).join();
        return entered;
    }

    CRITICAL_SECTION m_section{};
};

TEST_F(CriticalSectionTest, OwnerReentersAndOthersWaitForTheLastLeave)
{
    EnterCriticalSection(&m_section);
    EnterCriticalSection(&m_section);
    EXPECT_TRUE(TryEnterCriticalSection(&m_section));
    EXPECT_EQ(3, m_section.RecursionCount);
    EXPECT_EQ(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId())), m_section.OwningThread);
    EXPECT_FALSE(OtherThreadCanEnter());

    LeaveCriticalSection(&m_section);
    LeaveCriticalSection(&m_section);
    EXPECT_FALSE(OtherThreadCanEnter()) << "still held once";
    LeaveCriticalSection(&m_section);
    EXPECT_EQ(0, m_section.RecursionCount);
    EXPECT_TRUE(OtherThreadCanEnter());
}

TEST_F(CriticalSectionTest, AdmitsOneThreadAtATime)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    int total = 0;  // deliberately not atomic: the section is its only protection
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                EnterCriticalSection(&m_section);
                EnterCriticalSection(&m_section);  // re-entry must not let anyone else in
                if (inside.fetch_add(1) != 0)
                    overlapped = true;
                ++total;
                inside.fetch_sub(1);
                LeaveCriticalSection(&m_section);
                LeaveCriticalSection(&m_section);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(kThreads * kRounds, total);
}

TEST(CriticalSection, EveryInitialiserGivesAUsableSection)
{
    CRITICAL_SECTION plain{};
    InitializeCriticalSection(&plain);
    CRITICAL_SECTION extended{};
    ASSERT_TRUE(InitializeCriticalSectionEx(&extended, 0, 0));
    for (CRITICAL_SECTION* section : {&plain, &extended}) {
        EnterCriticalSection(section);
        EXPECT_EQ(1, section->RecursionCount);
        LeaveCriticalSection(section);
        DeleteCriticalSection(section);
    }
}

// ---------------------------------------------------------------------------------------------
// Threads and the last error

TEST(LastError, BelongsToEachThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seenByOther = 0;
    DWORD otherThreadId = 0;
    std::thread([&] {
        SetLastError(ERROR_FILE_NOT_FOUND);
        seenByOther = GetLastError();
        otherThreadId = GetCurrentThreadId();
    }).join();
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), seenByOther);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_NE(GetCurrentThreadId(), otherThreadId);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(Handles, UnknownHandlesAreRejected)
{
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7FF0));
    EXPECT_FALSE(CloseHandle(bogus));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(bogus, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

// ---------------------------------------------------------------------------------------------
// Environment variables

class EnvironmentTest : public ::testing::Test {
protected:
    void TearDown() override { SetEnvironmentVariableW(kName, nullptr); }
    static constexpr const OLECHAR* kName = OLESTR("LUMO_KERNEL_TEST_VARIABLE");
};

TEST_F(EnvironmentTest, MissingVariableIsReportedAsNotFound)
{
    OLECHAR buffer[16];
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0u, GetEnvironmentVariableW(kName, buffer, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST_F(EnvironmentTest, ValueRoundTripsWithTheDocumentedSizes)
{
    const OleString value = Widen("caf\xC3\xA9 \xF0\x9F\x98\x80");  // a BMP letter and a surrogate pair
    ASSERT_TRUE(SetEnvironmentVariableW(kName, value.c_str()));
    const DWORD length = static_cast<DWORD>(value.size());

    EXPECT_EQ(length + 1, GetEnvironmentVariableW(kName, nullptr, 0)) << "size query counts the NUL";
    std::vector<OLECHAR> tooSmall(length, OLECHAR('#'));
    EXPECT_EQ(length + 1, GetEnvironmentVariableW(kName, tooSmall.data(), length)) << "one short";

    std::vector<OLECHAR> exact(length + 1);
    ASSERT_EQ(length, GetEnvironmentVariableW(kName, exact.data(), length + 1)) << "success omits the NUL";
    EXPECT_EQ(value, OleString(exact.data()));
}

TEST_F(EnvironmentTest, NullValueRemovesTheVariable)
{
    ASSERT_TRUE(SetEnvironmentVariableW(kName, OLESTR("x")));
    ASSERT_TRUE(SetEnvironmentVariableW(kName, nullptr));
    OLECHAR buffer[16];
    EXPECT_EQ(0u, GetEnvironmentVariableW(kName, buffer, 16));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST_F(EnvironmentTest, NameWithEqualsSignIsRejected)
{
    EXPECT_FALSE(SetEnvironmentVariableW(OLESTR("LUMO_A=B"), OLESTR("x")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

#ifndef _WIN32
// The stand-in keeps its variables in the C library's environment, where the registry's file
// name is read and from which children inherit.
TEST_F(EnvironmentTest, ChangesAreVisibleToTheCLibrary)
{
    ASSERT_TRUE(SetEnvironmentVariableW(kName, OLESTR("seen")));
    const char* value = std::getenv("LUMO_KERNEL_TEST_VARIABLE");
    ASSERT_NE(nullptr, value);
    EXPECT_STREQ("seen", value);
    SetEnvironmentVariableW(kName, nullptr);
    EXPECT_EQ(nullptr, std::getenv("LUMO_KERNEL_TEST_VARIABLE"));
}
#endif

// ---------------------------------------------------------------------------------------------
// Code pages

OleString Units(std::initializer_list<unsigned> units)
{
    OleString text;
    for (unsigned u : units)
        text.push_back(static_cast<OLECHAR>(u));
    return text;
}

struct ToWideCase {
    const char* what;
    UINT codePage;
    DWORD flags;
    std::string bytes;
    int length;  // -1: NUL-terminated
    OleString expected;
    DWORD error;  // ERROR_SUCCESS when the conversion succeeds
};

const ToWideCase kToWideCases[] = {
    {"ascii", CP_UTF8, 0, "abc", 3, Units({'a', 'b', 'c'}), ERROR_SUCCESS},
    {"terminated: the NUL is counted", CP_UTF8, 0, "abc", -1, Units({'a', 'b', 'c', 0}), ERROR_SUCCESS},
    {"embedded NUL", CP_UTF8, 0, std::string("a\0b", 3), 3, Units({'a', 0, 'b'}), ERROR_SUCCESS},
    {"BMP", CP_UTF8, 0, "\xC3\xA9\xE2\x82\xAC", 5, Units({0xE9, 0x20AC}), ERROR_SUCCESS},
    {"surrogate pair", CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, Units({0xD83D, 0xDE00}), ERROR_SUCCESS},
    {"invalid byte replaced", CP_UTF8, 0, "a\xFF" "b", 3, Units({'a', 0xFFFD, 'b'}), ERROR_SUCCESS},
    {"truncated sequence replaced", CP_UTF8, 0, "a\xE2\x82", 3, Units({'a', 0xFFFD}), ERROR_SUCCESS},
    {"invalid byte, strict", CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF" "b", 3, {}, ERROR_NO_UNICODE_TRANSLATION},
    {"encoded surrogate, strict", CP_UTF8, MB_ERR_INVALID_CHARS, "\xED\xA0\x80", 3, {}, ERROR_NO_UNICODE_TRANSLATION},
    {"windows-1252", 1252, 0, "\x80\xE9\x9F", 3, Units({0x20AC, 0xE9, 0x178}), ERROR_SUCCESS},
    {"us-ascii", 20127, 0, "Az", 2, Units({'A', 'z'}), ERROR_SUCCESS},
    {"zero length", CP_UTF8, 0, "abc", 0, {}, ERROR_INVALID_PARAMETER},
    {"length below -1", CP_UTF8, 0, "abc", -2, {}, ERROR_INVALID_PARAMETER},
    {"unknown code page", 4242, 0, "abc", 3, {}, ERROR_INVALID_PARAMETER},
    {"flag UTF-8 does not take", CP_UTF8, MB_PRECOMPOSED, "abc", 3, {}, ERROR_INVALID_FLAGS},
};

TEST(MultiByteToWideChar, ConvertsTheTable)
{
    for (const auto& c : kToWideCases) {
        SetLastError(ERROR_SUCCESS);
        const int needed = MultiByteToWideChar(c.codePage, c.flags, c.bytes.data(), c.length, nullptr, 0);
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(0, needed) << c.what;
            EXPECT_EQ(c.error, GetLastError()) << c.what;
            continue;
        }
        ASSERT_EQ(static_cast<int>(c.expected.size()), needed) << c.what;
        OleString out(static_cast<size_t>(needed), OLECHAR('#'));
        EXPECT_EQ(needed, MultiByteToWideChar(c.codePage, c.flags, c.bytes.data(), c.length, out.data(), needed))
            << c.what;
        EXPECT_EQ(c.expected, out) << c.what;
        EXPECT_EQ(0, MultiByteToWideChar(c.codePage, c.flags, c.bytes.data(), c.length, out.data(), needed - 1))
            << c.what << ": one short";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << c.what;
    }
}

struct ToBytesCase {
    const char* what;
    UINT codePage;
    DWORD flags;
    OleString text;
    int length;  // -1: NUL-terminated
    std::string expected;
    DWORD error;
};

const ToBytesCase kToBytesCases[] = {
    {"ascii", CP_UTF8, 0, Units({'a', 'b'}), 2, "ab", ERROR_SUCCESS},
    {"terminated: the NUL is counted", CP_UTF8, 0, Units({'a', 'b', 0}), -1, std::string("ab\0", 3), ERROR_SUCCESS},
    {"BMP", CP_UTF8, 0, Units({0xE9, 0x20AC}), 2, "\xC3\xA9\xE2\x82\xAC", ERROR_SUCCESS},
    {"surrogate pair", CP_UTF8, 0, Units({0xD83D, 0xDE00}), 2, "\xF0\x9F\x98\x80", ERROR_SUCCESS},
    {"unpaired surrogate replaced", CP_UTF8, 0, Units({'a', 0xD800, 'b'}), 3, "a\xEF\xBF\xBD" "b", ERROR_SUCCESS},
    {"unpaired surrogate, strict", CP_UTF8, WC_ERR_INVALID_CHARS, Units({0xDC00}), 1, "", ERROR_NO_UNICODE_TRANSLATION},
    {"windows-1252", 1252, 0, Units({0x20AC, 0xE9}), 2, "\x80\xE9", ERROR_SUCCESS},
    {"windows-1252 default character", 1252, 0, Units({'a', 0x4E2D}), 2, "a?", ERROR_SUCCESS},
    {"zero length", CP_UTF8, 0, Units({'a'}), 0, "", ERROR_INVALID_PARAMETER},
    {"unknown code page", 4242, 0, Units({'a'}), 1, "", ERROR_INVALID_PARAMETER},
    {"strict flag outside UTF-8", 1252, WC_ERR_INVALID_CHARS, Units({'a'}), 1, "", ERROR_INVALID_FLAGS},
};

TEST(WideCharToMultiByte, ConvertsTheTable)
{
    for (const auto& c : kToBytesCases) {
        SetLastError(ERROR_SUCCESS);
        const int needed =
            WideCharToMultiByte(c.codePage, c.flags, c.text.data(), c.length, nullptr, 0, nullptr, nullptr);
        if (c.error != ERROR_SUCCESS) {
            EXPECT_EQ(0, needed) << c.what;
            EXPECT_EQ(c.error, GetLastError()) << c.what;
            continue;
        }
        ASSERT_EQ(static_cast<int>(c.expected.size()), needed) << c.what;
        std::string out(static_cast<size_t>(needed), '#');
        EXPECT_EQ(needed, WideCharToMultiByte(c.codePage, c.flags, c.text.data(), c.length, out.data(), needed,
                                              nullptr, nullptr))
            << c.what;
        EXPECT_EQ(c.expected, out) << c.what;
        EXPECT_EQ(0, WideCharToMultiByte(c.codePage, c.flags, c.text.data(), c.length, out.data(), needed - 1,
                                         nullptr, nullptr))
            << c.what << ": one short";
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError()) << c.what;
    }
}

TEST(WideCharToMultiByte, ReportsTheDefaultCharacterOnlyWhereACodePageHasOne)
{
    const OleString text = Units({'a', 0x4E2D});
    char out[8] = {};
    BOOL usedDefault = FALSE;
    EXPECT_EQ(2, WideCharToMultiByte(1252, 0, text.data(), 2, out, 8, "*", &usedDefault));
    EXPECT_EQ(std::string("a*"), std::string(out, 2));
    EXPECT_TRUE(usedDefault);

    EXPECT_EQ(1, WideCharToMultiByte(1252, 0, text.data(), 1, out, 8, nullptr, &usedDefault));
    EXPECT_FALSE(usedDefault);

    // UTF-8 can encode everything: both pointers must be null.
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, text.data(), 2, out, 8, nullptr, &usedDefault));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

#ifndef _WIN32
TEST(CodePages, AnsiCodePagesAreUtf8)
{
    EXPECT_EQ(static_cast<UINT>(CP_UTF8), GetACP());
    for (UINT page : {CP_ACP, CP_OEMCP, CP_THREAD_ACP}) {
        OLECHAR out[4] = {};
        EXPECT_EQ(1, MultiByteToWideChar(page, 0, "\xC3\xA9", 2, out, 4)) << page;
        EXPECT_EQ(static_cast<OLECHAR>(0xE9), out[0]) << page;
    }
}
#endif

// ---------------------------------------------------------------------------------------------
// Modules

TEST(Modules, ExecutableIsTheNullModule)
{
    const OleString path = OwnProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::path(Narrow(path)).is_absolute());
    EXPECT_TRUE(std::filesystem::exists(Narrow(path)));
    EXPECT_NE(nullptr, GetModuleHandleW(nullptr));
    OLECHAR viaHandle[4096];
    EXPECT_EQ(path.size(), GetModuleFileNameW(GetModuleHandleW(nullptr), viaHandle, 4096));
    EXPECT_EQ(path, OleString(viaHandle));
}

TEST(Modules, FileNameIsTruncatedToTheBuffer)
{
    const OleString path = OwnProgramPath();
    ASSERT_GT(path.size(), 5u);
    OLECHAR small[5] = {'#', '#', '#', '#', '#'};
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(5u, GetModuleFileNameW(nullptr, small, 5));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(path.substr(0, 4), OleString(small, 4));
    EXPECT_EQ(OLECHAR(0), small[4]);
}

TEST(Modules, MissingModuleIsNotFound)
{
    EXPECT_EQ(nullptr, LoadLibraryW(OLESTR("/no/such/dir/NoSuchModule.so")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetModuleHandleW(OLESTR("winhttp.dll")));
    EXPECT_EQ(nullptr, GetModuleHandleW(OLESTR("NoSuchModule")));
}

#ifndef _WIN32
// A system library that nothing else in the test program loads, so its last free unloads it.
TEST(Modules, LastFreeUnloads)
{
    HMODULE first = LoadLibraryW(OLESTR("libutil.so.1"));
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, LoadLibraryW(OLESTR("libutil.so.1")));
    EXPECT_EQ(first, GetModuleHandleW(OLESTR("libutil")));
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(first, GetModuleHandleW(OLESTR("libutil"))) << "one reference left";
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(nullptr, GetModuleHandleW(OLESTR("libutil")));
    EXPECT_FALSE(FreeLibrary(first)) << "a freed module's handle is no longer valid";
}
#endif

#ifdef LUMO_TEST_COMPONENT_PATH
// Other tests may keep the component loaded through the runtime; this one holds its own
// references and checks only what they give.
TEST(Modules, LoadingTwiceSharesOneModule)
{
    const OleString path = Widen(LUMO_TEST_COMPONENT_PATH);
    HMODULE first = LoadLibraryW(path.c_str());
    ASSERT_NE(nullptr, first);
    HMODULE second = LoadLibraryW(path.c_str());
    EXPECT_EQ(first, second);

    OLECHAR loadedFrom[4096];
    const DWORD n = GetModuleFileNameW(first, loadedFrom, 4096);
    ASSERT_GT(n, 0u);
    EXPECT_TRUE(std::filesystem::equivalent(LUMO_TEST_COMPONENT_PATH, Narrow(OleString(loadedFrom, n))));

    const OleString fileName = Widen(std::filesystem::path(LUMO_TEST_COMPONENT_PATH).filename().string());
    EXPECT_EQ(first, GetModuleHandleW(fileName.c_str()));
    EXPECT_EQ(first, GetModuleHandleW(OLESTR("testcomponent")));
    EXPECT_EQ(first, GetModuleHandleW(OLESTR("TESTCOMPONENT.DLL")));

    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_EQ(first, GetModuleHandleW(OLESTR("TestComponent"))) << "one reference left";
    EXPECT_TRUE(FreeLibrary(first));
}

TEST(Modules, ProcAddressFindsOnlyTheModulesOwnExports)
{
    HMODULE module = LoadLibraryW(Widen(LUMO_TEST_COMPONENT_PATH).c_str());
    ASSERT_NE(nullptr, module);
    EXPECT_NE(nullptr, GetProcAddress(module, "DllGetClassObject"));
    EXPECT_NE(nullptr, GetProcAddress(module, "DllCanUnloadNow"));

    struct Missing { const char* what; const char* name; };
    for (const Missing& c : {Missing{"no such export", "NoSuchExport"},
                             Missing{"an export of a library the module uses", "CoCreateInstance"}}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(nullptr, GetProcAddress(module, c.name)) << c.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError()) << c.what;
    }
    EXPECT_TRUE(FreeLibrary(module));
}
#endif

// ---------------------------------------------------------------------------------------------
// Child processes

constexpr char kExpectedArgumentsVariable[] = "LUMO_KERNEL_TEST_EXPECTED_ARGUMENTS";
constexpr char kArgumentSeparator = '\x1F';

std::string Joined(const std::vector<std::string>& arguments)
{
    std::string joined = std::to_string(arguments.size());
    for (const std::string& argument : arguments)
        joined += kArgumentSeparator + argument;
    return joined;
}

std::string ReadVariable(const char* name)
{
    OLECHAR buffer[8192];
    const DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), buffer, 8192);
    return n < 8192 ? Narrow(OleString(buffer, n)) : std::string();
}

// Exits with 0 when its arguments are the ones the parent put in the environment.
LUMO_TEST_CHILD(CompareArguments)
{
    const std::vector<std::string> received(argv, argv + argc);
    return Joined(received) == ReadVariable(kExpectedArgumentsVariable) ? 0 : 1;
}

LUMO_TEST_CHILD(ReturnSeven)
{
    return 7;
}

LUMO_TEST_CHILD(SleepLong)
{
    Sleep(60000);
    return 0;
}

LUMO_TEST_CHILD(ExpectDirectory)
{
    return argc == 1 && std::filesystem::equivalent(std::filesystem::current_path(), argv[0]) ? 0 : 1;
}

LUMO_TEST_CHILD(ExpectVariable)
{
    return argc == 2 && ReadVariable(argv[0]) == argv[1] ? 0 : 1;
}

#ifndef _WIN32
LUMO_TEST_CHILD(RaiseTerminate)
{
    std::raise(SIGTERM);
    return 0;
}
#endif

class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(Widen(name))
    {
        SetEnvironmentVariableW(m_name.c_str(), Widen(value).c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(m_name.c_str(), nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    OleString m_name;
};

// A started child, closed at the end of the test whatever happens.
class StartedChild {
public:
    StartedChild(const OLECHAR* application, OleString commandLine, const OLECHAR* directory = nullptr)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        m_started = CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                                   &startup, &m_process) != FALSE;
        m_error = GetLastError();
    }
    ~StartedChild()
    {
        if (!m_started)
            return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, INFINITE);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    StartedChild(const StartedChild&) = delete;
    StartedChild& operator=(const StartedChild&) = delete;

    bool Started() const { return m_started; }
    DWORD Error() const { return m_error; }
    HANDLE Process() const { return m_process.hProcess; }

    DWORD ExitCode() const
    {
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeProcess(m_process.hProcess, &code));
        return code;
    }

    DWORD WaitForExitCode() const
    {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_process.hProcess, INFINITE));
        return ExitCode();
    }

private:
    bool m_started = false;
    DWORD m_error = ERROR_SUCCESS;
    PROCESS_INFORMATION m_process{};
};

OleString ChildCommandLine(const char* entry, const std::string& rawArguments = {})
{
    OleString line = OLESTR("\"") + OwnProgramPath() + OLESTR("\" --lumo-child ") + Widen(entry);
    if (!rawArguments.empty())
        line += OLESTR(" ") + Widen(rawArguments);
    return line;
}

TEST(ChildProcess, ExitCodeIsTheEntrysResult)
{
    EXPECT_EQ(7, RunTestChild("ReturnSeven"));
    EXPECT_EQ(125, RunTestChild("NoSuchEntry")) << "the test main's answer for an unknown entry";
}

TEST(ChildProcess, ArgumentsArriveIntact)
{
    const std::vector<std::string> arguments = {
        "plain", "with space", "tab\there", "quote\"inside", "\"quoted\"", "trailing\\", "two\\\\",
        "back\\\"quote", "", "caf\xC3\xA9",
    };
    ScopedVariable expected(kExpectedArgumentsVariable, Joined(arguments));
    EXPECT_EQ(0, RunTestChild("CompareArguments", arguments));
}

TEST(ChildProcess, ChildPastTheTimeoutIsTerminated)
{
    EXPECT_EQ(-2, RunTestChild("SleepLong", {}, 200));
}

TEST(ChildProcess, InheritsTheEnvironment)
{
    ScopedVariable variable("LUMO_KERNEL_TEST_INHERITED", "from the parent");
    EXPECT_EQ(0, RunTestChild("ExpectVariable", {"LUMO_KERNEL_TEST_INHERITED", "from the parent"}));
}

TEST(ChildProcess, ProgramComesFromTheCommandLineWithoutAnApplicationName)
{
    StartedChild child(nullptr, ChildCommandLine("ReturnSeven"));
    ASSERT_TRUE(child.Started()) << child.Error();
    EXPECT_EQ(7u, child.WaitForExitCode());
}

TEST(ChildProcess, RunsInTheGivenDirectory)
{
    const std::string directory = std::filesystem::temp_directory_path().string();
    StartedChild child(OwnProgramPath().c_str(), ChildCommandLine("ExpectDirectory", "\"" + directory + "\""),
                       Widen(directory).c_str());
    ASSERT_TRUE(child.Started()) << child.Error();
    EXPECT_EQ(0u, child.WaitForExitCode());
}

TEST(ChildProcess, MissingDirectoryOrProgramFailsToStart)
{
    StartedChild noDirectory(OwnProgramPath().c_str(), ChildCommandLine("ReturnSeven"),
                             OLESTR("/no/such/directory/anywhere"));
    EXPECT_FALSE(noDirectory.Started());
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), noDirectory.Error());

    StartedChild noProgram(nullptr, OLESTR("/no/such/program/anywhere --flag"));
    EXPECT_FALSE(noProgram.Started());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), noProgram.Error());
}

TEST(ChildProcess, TerminationSetsTheRequestedExitCode)
{
    StartedChild child(OwnProgramPath().c_str(), ChildCommandLine("SleepLong"));
    ASSERT_TRUE(child.Started()) << child.Error();
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(child.Process(), 0));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), child.ExitCode());

    EXPECT_TRUE(TerminateProcess(child.Process(), 42));
    EXPECT_EQ(42u, child.WaitForExitCode());
    EXPECT_FALSE(TerminateProcess(child.Process(), 43)) << "already ended";
    EXPECT_EQ(42u, child.ExitCode());
}

#ifndef _WIN32
TEST(ChildProcess, ChildEndedBySignalReports128PlusTheSignal)
{
    EXPECT_EQ(128 + SIGTERM, RunTestChild("RaiseTerminate"));
}
#endif

// How the child's runtime splits a command line; each case runs a child that compares what it
// received with the expected arguments.
struct SplitCase {
    const char* what;
    const char* commandLine;  // after the program and the entry's name
    std::vector<std::string> expected;
};

const SplitCase kSplitCases[] = {
    {"blanks separate", "a  b\tc", {"a", "b", "c"}},
    {"quotes group", "\"a b\" c", {"a b", "c"}},
    {"quoted parts join their neighbours", "a\"b c\"d", {"ab cd"}},
    {"empty quotes are an empty argument", "\"\" x", {"", "x"}},
    {"backslashes alone are plain", "a\\\\b\\c", {"a\\\\b\\c"}},
    {"escaped quote", "a\\\"b", {"a\"b"}},
    {"even backslashes then a quote", "a\\\\\"b c\"", {"a\\b c"}},
    {"odd backslashes then a quote", "a\\\\\\\"b", {"a\\\"b"}},
    {"doubled quote inside quotes", "\"a\"\"b\"", {"a\"b"}},
    {"unterminated quote runs to the end", "\"a b", {"a b"}},
    {"trailing backslash before a closing quote escapes it", "\"C:\\dir\\\" next", {"C:\\dir\" next"}},
    {"network path", "\\\\server\\share", {"\\\\server\\share"}},
    {"trailing blanks", "a   ", {"a"}},
};

TEST(CommandLine, ChildReceivesTheDocumentedSplitting)
{
    for (const auto& c : kSplitCases) {
        ScopedVariable expected(kExpectedArgumentsVariable, Joined(c.expected));
        StartedChild child(OwnProgramPath().c_str(), ChildCommandLine("CompareArguments", c.commandLine));
        ASSERT_TRUE(child.Started()) << c.what;
        EXPECT_EQ(0u, child.WaitForExitCode()) << c.what << ": " << c.commandLine;
    }
}

}  // namespace
