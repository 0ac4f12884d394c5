// FormatMessageW: the system's message texts, the message language of inserts and escapes, the
// buffer rules, and LocalAlloc/LocalFree for allocated messages.
#include <cstdarg>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "OleString.h"

namespace {

constexpr DWORD kSystemFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The system's text of a number, or the failure's last error as "error N".
OleString SystemText(DWORD messageId, DWORD flags = kSystemFlags, DWORD languageId = 0)
{
    OLECHAR buffer[1024];
    const DWORD n = FormatMessageW(flags, nullptr, messageId, languageId, buffer, 1024, nullptr);
    if (n == 0) {
        const std::string failure = "error " + std::to_string(GetLastError());
        return OleString(failure.begin(), failure.end());
    }
    return OleString(buffer, n);
}

OleString FromString(const OLECHAR* message, std::vector<DWORD_PTR> arguments, DWORD flags = 0)
{
    OLECHAR buffer[1024];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | flags, message, 0, 0,
                                   buffer, 1024, reinterpret_cast<va_list*>(arguments.data()));
    if (n == 0) {
        const std::string failure = "error " + std::to_string(GetLastError());
        return OleString(failure.begin(), failure.end());
    }
    return OleString(buffer, n);
}

OleString FromStringWithList(const OLECHAR* message, ...)
{
    va_list arguments;
    va_start(arguments, message);
    OLECHAR buffer[256];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING, message, 0, 0, buffer, 256, &arguments);
    va_end(arguments);
    return OleString(buffer, n);
}

template <class T>
DWORD_PTR Arg(T value)
{
    if constexpr (std::is_pointer_v<T>)
        return reinterpret_cast<DWORD_PTR>(value);
    else
        return static_cast<DWORD_PTR>(value);
}

#ifndef _WIN32
// The stand-in's table holds the English Windows texts; Wine's differ in places, so only the
// stand-in is held to them.
struct TextCase {
    const char* what;
    DWORD id;
    const OLECHAR* text;
};

const TextCase kTextCases[] = {
    {"ERROR_SUCCESS", ERROR_SUCCESS, OLESTR("The operation completed successfully.\r\n")},
    {"ERROR_FILE_NOT_FOUND", ERROR_FILE_NOT_FOUND, OLESTR("The system cannot find the file specified.\r\n")},
    {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED, OLESTR("Access is denied.\r\n")},
    {"ERROR_INVALID_PARAMETER", ERROR_INVALID_PARAMETER, OLESTR("The parameter is incorrect.\r\n")},
    {"ERROR_MOD_NOT_FOUND", ERROR_MOD_NOT_FOUND, OLESTR("The specified module could not be found.\r\n")},
    {"ERROR_NO_MORE_ITEMS", ERROR_NO_MORE_ITEMS, OLESTR("No more data is available.\r\n")},
    {"ERROR_KEY_DELETED", ERROR_KEY_DELETED,
     OLESTR("Illegal operation attempted on a registry key that has been marked for deletion.\r\n")},
    {"WAIT_TIMEOUT", WAIT_TIMEOUT, OLESTR("The wait operation timed out.\r\n")},
    {"E_UNEXPECTED", static_cast<DWORD>(E_UNEXPECTED), OLESTR("Catastrophic failure\r\n")},
    {"E_NOTIMPL", static_cast<DWORD>(E_NOTIMPL), OLESTR("Not implemented\r\n")},
    {"E_NOINTERFACE", static_cast<DWORD>(E_NOINTERFACE), OLESTR("No such interface supported\r\n")},
    {"E_POINTER", static_cast<DWORD>(E_POINTER), OLESTR("Invalid pointer\r\n")},
    {"E_ABORT", static_cast<DWORD>(E_ABORT), OLESTR("Operation aborted\r\n")},
    {"E_FAIL", static_cast<DWORD>(E_FAIL), OLESTR("Unspecified error\r\n")},
    {"E_OUTOFMEMORY", static_cast<DWORD>(E_OUTOFMEMORY),
     OLESTR("Not enough memory resources are available to complete this operation.\r\n")},
    {"E_INVALIDARG", static_cast<DWORD>(E_INVALIDARG), OLESTR("The parameter is incorrect.\r\n")},
    {"CO_E_CLASSSTRING", static_cast<DWORD>(CO_E_CLASSSTRING), OLESTR("Invalid class string\r\n")},
    {"CO_E_NOTINITIALIZED", static_cast<DWORD>(CO_E_NOTINITIALIZED), OLESTR("CoInitialize has not been called.\r\n")},
    {"REGDB_E_CLASSNOTREG", static_cast<DWORD>(REGDB_E_CLASSNOTREG), OLESTR("Class not registered\r\n")},
    {"RPC_E_CHANGED_MODE", static_cast<DWORD>(RPC_E_CHANGED_MODE),
     OLESTR("Cannot change thread mode after it is set.\r\n")},
    {"DISP_E_TYPEMISMATCH", static_cast<DWORD>(DISP_E_TYPEMISMATCH), OLESTR("Type mismatch.\r\n")},
    {"DISP_E_OVERFLOW", static_cast<DWORD>(DISP_E_OVERFLOW), OLESTR("Out of present range.\r\n")},
    {"DISP_E_BADINDEX", static_cast<DWORD>(DISP_E_BADINDEX), OLESTR("Invalid index.\r\n")},
    {"DISP_E_ARRAYISLOCKED", static_cast<DWORD>(DISP_E_ARRAYISLOCKED), OLESTR("Memory is locked.\r\n")},
    {"DISP_E_BADPARAMCOUNT", static_cast<DWORD>(DISP_E_BADPARAMCOUNT), OLESTR("Invalid number of parameters.\r\n")},
    {"DISP_E_EXCEPTION", static_cast<DWORD>(DISP_E_EXCEPTION), OLESTR("Exception occurred.\r\n")},
    {"TYPE_E_LIBNOTREGISTERED", static_cast<DWORD>(TYPE_E_LIBNOTREGISTERED), OLESTR("Library not registered.\r\n")},
    {"STG_E_FILENOTFOUND keeps its insert", static_cast<DWORD>(STG_E_FILENOTFOUND),
     OLESTR("%1 could not be found.\r\n")},
};

TEST(FormatMessage, SystemTextsAreTheWindowsOnes)
{
    for (const auto& c : kTextCases)
        EXPECT_EQ(OleString(c.text), SystemText(c.id)) << c.what;
}

TEST(FormatMessage, EveryCodeTheLibraryMeetsHasAText)
{
    const DWORD ids[] = {
        ERROR_PATH_NOT_FOUND, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY, ERROR_OUTOFMEMORY,
        ERROR_INSUFFICIENT_BUFFER, ERROR_MORE_DATA, ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS,
        ERROR_ENVVAR_NOT_FOUND, ERROR_BAD_PATHNAME, ERROR_DIR_NOT_EMPTY, ERROR_NOT_SUPPORTED,
        ERROR_SHARING_VIOLATION, ERROR_PROC_NOT_FOUND, ERROR_CANTOPEN, ERROR_REGISTRY_IO_FAILED,
        ERROR_INVALID_DATA, ERROR_NOT_OWNER, ERROR_ABANDONED_WAIT_0, ERROR_TIMEOUT,
        static_cast<DWORD>(E_HANDLE), static_cast<DWORD>(E_ACCESSDENIED), static_cast<DWORD>(CO_E_DLLNOTFOUND),
        static_cast<DWORD>(CO_E_ERRORINDLL), static_cast<DWORD>(CLASS_E_NOAGGREGATION),
        static_cast<DWORD>(CLASS_E_CLASSNOTAVAILABLE), static_cast<DWORD>(REGDB_E_READREGDB),
        static_cast<DWORD>(DISP_E_UNKNOWNINTERFACE), static_cast<DWORD>(DISP_E_MEMBERNOTFOUND),
        static_cast<DWORD>(DISP_E_PARAMNOTFOUND), static_cast<DWORD>(DISP_E_UNKNOWNNAME),
        static_cast<DWORD>(DISP_E_NONAMEDARGS), static_cast<DWORD>(DISP_E_BADVARTYPE),
        static_cast<DWORD>(DISP_E_UNKNOWNLCID), static_cast<DWORD>(DISP_E_PARAMNOTOPTIONAL),
        static_cast<DWORD>(DISP_E_BADCALLEE), static_cast<DWORD>(DISP_E_NOTACOLLECTION),
        static_cast<DWORD>(DISP_E_DIVBYZERO), static_cast<DWORD>(TYPE_E_ELEMENTNOTFOUND),
        static_cast<DWORD>(TYPE_E_CANTLOADLIBRARY), static_cast<DWORD>(TYPE_E_REGISTRYACCESS),
    };
    for (const DWORD id : ids) {
        const OleString text = SystemText(id);
        EXPECT_GE(text.size(), 4u) << std::hex << id;
        EXPECT_EQ(OleString(OLESTR("\r\n")), text.substr(text.size() - 2)) << std::hex << id;
    }
}
#endif

TEST(FormatMessage, Win32FacilityHresultsReadAsTheirWin32Number)
{
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_OUTOFMEMORY, ERROR_INVALID_PARAMETER})
        EXPECT_EQ(SystemText(code), SystemText(static_cast<DWORD>(HRESULT_FROM_WIN32(code)))) << code;
}

TEST(FormatMessage, UnknownNumberIsNotFound)
{
    OLECHAR buffer[64];
    for (const DWORD id : {0x2000ABCDu, 0x8004FFEEu, 0xDEADu}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(0u, FormatMessageW(kSystemFlags, nullptr, id, 0, buffer, 64, nullptr)) << std::hex << id;
        EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError()) << std::hex << id;
    }
}

TEST(FormatMessage, BufferMustHoldTheTextAndItsNul)
{
    const OleString text = SystemText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    const DWORD length = static_cast<DWORD>(text.size());
    std::vector<OLECHAR> buffer(length + 1);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0u, FormatMessageW(kSystemFlags, nullptr, ERROR_ACCESS_DENIED, 0, buffer.data(), length, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    EXPECT_EQ(length, FormatMessageW(kSystemFlags, nullptr, ERROR_ACCESS_DENIED, 0, buffer.data(), length + 1, nullptr));
    EXPECT_EQ(text, OleString(buffer.data()));
}

TEST(FormatMessage, AllocatedBufferIsFreedWithLocalFree)
{
    LPWSTR message = nullptr;
    const DWORD n = FormatMessageW(kSystemFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_FILE_NOT_FOUND, 0,
                                   reinterpret_cast<LPWSTR>(&message), 0, nullptr);
    ASSERT_NE(nullptr, message);
    EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), OleString(message, n));
    EXPECT_EQ(OLECHAR(0), message[n]);
    EXPECT_EQ(nullptr, LocalFree(message));

    message = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(0u, FormatMessageW(kSystemFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0x2000ABCDu, 0,
                                 reinterpret_cast<LPWSTR>(&message), 0, nullptr));
    EXPECT_EQ(nullptr, message) << "a failed call leaves no block";
}

TEST(LocalMemory, BlocksAreZeroedOnRequestAndFreedOnce)
{
    auto* block = static_cast<BYTE*>(LocalAlloc(LPTR, 64));
    ASSERT_NE(nullptr, block);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(0, block[i]) << i;
    EXPECT_EQ(nullptr, LocalFree(block));
    EXPECT_EQ(nullptr, LocalFree(nullptr));
#ifndef _WIN32
    // Windows leaves a second free undefined; the stand-in refuses it.
    EXPECT_EQ(block, LocalFree(block));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
#endif
}

TEST(FormatMessage, ModulesAreSearchedBeforeTheSystem)
{
    OLECHAR buffer[256];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | kSystemFlags, nullptr, ERROR_ACCESS_DENIED, 0,
                                   buffer, 256, nullptr);
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), OleString(buffer, n)) << "the executable has no message table";
#ifndef _WIN32
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_ACCESS_DENIED, 0, buffer, 256, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
#endif
}

#ifndef _WIN32
TEST(FormatMessage, OnlyEnglishAndTheDefaultLanguagesAreAvailable)
{
    const OleString english = SystemText(ERROR_ACCESS_DENIED);
    for (const DWORD language : {static_cast<DWORD>(LANG_USER_DEFAULT), static_cast<DWORD>(LANG_SYSTEM_DEFAULT),
                                 static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US))})
        EXPECT_EQ(english, SystemText(ERROR_ACCESS_DENIED, kSystemFlags, language)) << std::hex << language;
    EXPECT_EQ(OleString(OLESTR("error 1815")), SystemText(ERROR_ACCESS_DENIED, kSystemFlags, 0x407));
}

TEST(FormatMessage, WidthMaskJoinsTheTextsLines)
{
    EXPECT_EQ(OleString(OLESTR("Access is denied. ")),
              SystemText(ERROR_ACCESS_DENIED, kSystemFlags | FORMAT_MESSAGE_MAX_WIDTH_MASK));
}

TEST(FormatMessage, SystemInsertsAreKeptOrFilled)
{
    EXPECT_EQ(OleString(OLESTR("%1 could not be found.\r\n")), SystemText(static_cast<DWORD>(STG_E_FILENOTFOUND)));

    OLECHAR buffer[128];
    DWORD_PTR arguments[] = {Arg(OLESTR("data.xml"))};
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                   static_cast<DWORD>(STG_E_FILENOTFOUND), 0, buffer, 128,
                                   reinterpret_cast<va_list*>(arguments));
    EXPECT_EQ(OleString(OLESTR("data.xml could not be found.\r\n")), OleString(buffer, n));

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(STG_E_FILENOTFOUND), 0, buffer,
                                 128, nullptr))
        << "inserts without arguments";
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}
#endif

struct InsertCase {
    const char* what;
    const OLECHAR* message;
    std::vector<DWORD_PTR> arguments;
    const OLECHAR* expected;
};

const InsertCase kInsertCases[] = {
    {"strings in order", OLESTR("%1 and %2"), {Arg(OLESTR("salt")), Arg(OLESTR("pepper"))}, OLESTR("salt and pepper")},
    {"strings reordered", OLESTR("%2, %1"), {Arg(OLESTR("first")), Arg(OLESTR("second"))}, OLESTR("second, first")},
    {"repeated insert", OLESTR("%1%1"), {Arg(OLESTR("ab"))}, OLESTR("abab")},
    {"decimal", OLESTR("%1!d! items"), {Arg(-42)}, OLESTR("-42 items")},
    {"unsigned", OLESTR("%1!u!"), {Arg(0xFFFFFFFFu)}, OLESTR("4294967295")},
    {"hexadecimal, padded", OLESTR("0x%1!08X!"), {Arg(0x8007000Eu)}, OLESTR("0x8007000E")},
    {"lower hexadecimal", OLESTR("%1!x!"), {Arg(255)}, OLESTR("ff")},
    {"64-bit", OLESTR("%1!I64u!"), {Arg(0x100000000ull)}, OLESTR("4294967296")},
    {"width right-aligns", OLESTR("[%1!5s!]"), {Arg(OLESTR("ab"))}, OLESTR("[   ab]")},
    {"minus left-aligns", OLESTR("[%1!-5s!]"), {Arg(OLESTR("ab"))}, OLESTR("[ab   ]")},
    {"precision cuts", OLESTR("[%1!.2s!]"), {Arg(OLESTR("abcdef"))}, OLESTR("[ab]")},
    {"narrow string", OLESTR("%1!hs!"), {Arg("narrow")}, OLESTR("narrow")},
    {"character", OLESTR("%1!c!"), {Arg(OLECHAR('Z'))}, OLESTR("Z")},
    {"two-digit insert", OLESTR("%10"),
     {Arg(1), Arg(2), Arg(3), Arg(4), Arg(5), Arg(6), Arg(7), Arg(8), Arg(9), Arg(OLESTR("tenth"))}, OLESTR("tenth")},
    {"escapes", OLESTR("100%% sure%.%!%n%tend% "), {}, OLESTR("100% sure.!\r\n\tend ")},
    {"%0 ends the text, inserts after it need no arguments", OLESTR("kept%0dropped %1"), {}, OLESTR("kept")},
    {"empty precision cuts everything", OLESTR("[%1!.s!]"), {Arg(OLESTR("abc"))}, OLESTR("[]")},
    {"written line breaks are kept", OLESTR("one\r\ntwo"), {}, OLESTR("one\r\ntwo")},
};

TEST(FormatMessage, InsertsFromAnArgumentArray)
{
    for (const auto& c : kInsertCases)
        EXPECT_EQ(OleString(c.expected), FromString(c.message, c.arguments)) << c.what;
}

TEST(FormatMessage, InsertsFromAVaList)
{
    EXPECT_EQ(OleString(OLESTR("7 of 9: done")), FromStringWithList(OLESTR("%1!d! of %2!d!: %3"), 7, 9, OLESTR("done")));
}

TEST(FormatMessage, IgnoredInsertsStayAsWritten)
{
    // Only %0, %n, %r and %t are read when inserts are ignored.
    EXPECT_EQ(OleString(OLESTR("%1 %2!d! 100%% %.\r\n")),
              FromString(OLESTR("%1 %2!d! 100%% %.%n"), {}, FORMAT_MESSAGE_IGNORE_INSERTS));
}

TEST(FormatMessage, BadRequestsAreRejected)
{
    OLECHAR buffer[64];
    struct BadCase {
        const char* what;
        DWORD flags;
        const void* source;
    };
    const BadCase cases[] = {
        {"no source", FORMAT_MESSAGE_IGNORE_INSERTS, nullptr},
        {"string without text", FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr},
        {"string and system together", FORMAT_MESSAGE_FROM_STRING | kSystemFlags, OLESTR("x")},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(0u, FormatMessageW(c.flags, c.source, ERROR_ACCESS_DENIED, 0, buffer, 64, nullptr)) << c.what;
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << c.what;
    }
#ifndef _WIN32
    const DWORD_PTR argument = Arg(1);
    EXPECT_EQ(OleString(OLESTR("error 87")), FromString(OLESTR("%1!f!"), {argument})) << "floating point";
    EXPECT_EQ(OleString(OLESTR("error 87")), FromString(OLESTR("%1!*d!"), {argument, argument})) << "width argument";
#endif
}

}  // namespace
