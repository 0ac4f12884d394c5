// The event log and the debugger output of the stand-in, read back from the files that
// LUMOITEMS_EVENTLOG and LUMOITEMS_DEBUGLOG name.
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "OleString.h"
#include "ScopedTempFolder.h"
#include "ScopedVariable.h"

namespace {

class DiagnosticFilesTest : public ::testing::Test {
protected:
    DiagnosticFilesTest()
        : m_events(OLESTR("LUMOITEMS_EVENTLOG"), m_folder.Ole("events.log").c_str()),
          m_debug(OLESTR("LUMOITEMS_DEBUGLOG"), m_folder.Ole("debug.log").c_str())
    {
    }

    std::string Events() const { return FileBytes(m_folder.Path("events.log")); }
    std::string Debug() const { return FileBytes(m_folder.Path("debug.log")); }

    ScopedTempFolder m_folder;
    ScopedVariable m_events;
    ScopedVariable m_debug;
};

TEST_F(DiagnosticFilesTest, EventIsOneEscapedLineWithItsSourceTypeCategoryAndId)
{
    const HANDLE source = RegisterEventSourceW(nullptr, OLESTR("Lumo Test\\Source"));
    ASSERT_NE(nullptr, source);
    LPCWSTR strings[] = {OLESTR("first\n\nline\r\n"), OLESTR("tab\there \\ ok")};
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_WARNING_TYPE, 3, 1, nullptr, 2, 0, strings, nullptr));
    ASSERT_TRUE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 70000, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ("Lumo Test\\\\Source\twarning\t3\t1\tfirst\\n\\nline\\r\\n\ttab\\there \\\\ ok\n"
              "Lumo Test\\\\Source\tinformation\t0\t70000\n",
              Events());
    EXPECT_TRUE(DeregisterEventSource(source));
}

TEST_F(DiagnosticFilesTest, EveryEventTypeHasItsName)
{
    const HANDLE source = RegisterEventSourceW(nullptr, OLESTR("S"));
    const WORD types[] = {EVENTLOG_SUCCESS,          EVENTLOG_ERROR_TYPE,    EVENTLOG_WARNING_TYPE,
                          EVENTLOG_INFORMATION_TYPE, EVENTLOG_AUDIT_SUCCESS, EVENTLOG_AUDIT_FAILURE};
    for (const WORD type : types)
        EXPECT_TRUE(ReportEventW(source, type, 0, 1, nullptr, 0, 0, nullptr, nullptr)) << type;
    EXPECT_EQ("S\tsuccess\t0\t1\nS\terror\t0\t1\nS\twarning\t0\t1\nS\tinformation\t0\t1\n"
              "S\taudit-success\t0\t1\nS\taudit-failure\t0\t1\n",
              Events());
    EXPECT_FALSE(ReportEventW(source, 3, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    DeregisterEventSource(source);
}

TEST_F(DiagnosticFilesTest, SourceHandlesAreTheirOwnKind)
{
    EXPECT_EQ(nullptr, RegisterEventSourceW(OLESTR("\\\\elsewhere"), OLESTR("S")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), GetLastError());
    const HANDLE source = RegisterEventSourceW(OLESTR(""), OLESTR("S"));
    ASSERT_NE(nullptr, source) << "an empty server name is the local computer";
    EXPECT_FALSE(CloseHandle(source)) << "not a kernel handle";
    EXPECT_TRUE(DeregisterEventSource(source));
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_EQ("", Events());
}

TEST_F(DiagnosticFilesTest, UnwritableEventFileFailsTheReport)
{
    ScopedVariable folderAsFile(OLESTR("LUMOITEMS_EVENTLOG"), m_folder.Ole().c_str());
    const HANDLE source = RegisterEventSourceW(nullptr, OLESTR("S"));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    DeregisterEventSource(source);

    ScopedVariable unset(OLESTR("LUMOITEMS_EVENTLOG"), nullptr);
    const HANDLE quiet = RegisterEventSourceW(nullptr, OLESTR("S"));
    EXPECT_TRUE(ReportEventW(quiet, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr)) << "syslog only";
    DeregisterEventSource(quiet);
}

TEST_F(DiagnosticFilesTest, DebuggerOutputIsOneLinePerCallAndKeepsTheLastError)
{
    SetLastError(ERROR_ACCESS_DENIED);
    OutputDebugStringW(OLESTR("Error in logging function X : \nline two"));
    OutputDebugStringW(OLESTR(""));
    OutputDebugStringW(nullptr);
    OutputDebugStringW(OLESTR("caf\u00e9"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("Error in logging function X : \\nline two\n\ncaf\xC3\xA9\n", Debug());
}

}  // namespace
