// CZoSystem: kernel object names and environment expansion.
#include <string>

#include <gtest/gtest.h>

#include "ScopedVariable.h"
#include "ZoSystem.h"
#include "ZoTestSupport.h"

namespace {

TEST(ZoKernelObjectName, LettersAndDigitsUpperCasedTheRestUnderscores)
{
    struct Case {
        const char* what;
        OleString name;
        bool global;
        OleString expected;
    };
    const OleString longName = OLESTR("ab") + OleString(298, OLECHAR('x'));
    const Case cases[] = {
        {"a log file", OLESTR("C:\\logs\\app.log"), true, OLESTR("Global\\C__LOGS_APP_LOG")},
        {"not global", OLESTR("/tmp/app.log"), false, OLESTR("_TMP_APP_LOG")},
        {"letters beyond ASCII", OLESTR("caf\u00e9-\u0436"), false, OLESTR("CAF\u00c9_\u0416")},
        {"300 characters, global", longName, true, OLESTR("Global\\") + OleString(253, OLECHAR('X'))},
        {"300 characters", longName, false, OleString(260, OLECHAR('X'))},
        {"empty", OLESTR(""), true, OLESTR("Global\\")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, CZoSystem::MakeKernelObjectName(c.name, c.global)) << c.what;
}

TEST(ZoExpandEnvironment, ExpandsWithinTheLimit)
{
    ScopedVariable variable(OLESTR("LUMO_ZO_EXPAND"), OLESTR("12345"));
    EXPECT_EQ(OleString(OLESTR("<12345>")), CZoSystem::ExpandEnvironment(OLESTR("<%LUMO_ZO_EXPAND%>"), 8));
    const auto entries = RaisedEntries([] { CZoSystem::ExpandEnvironment(OLESTR("<%LUMO_ZO_EXPAND%>"), 7); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(static_cast<LONG>(ZoHResultFromSystemError(ERROR_INSUFFICIENT_BUFFER))), entries[0].code);
}

}  // namespace
