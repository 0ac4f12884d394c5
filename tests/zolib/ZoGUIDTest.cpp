// GUID text of CZoGUID.
#include <gtest/gtest.h>

#include <windows.h>

#include "ZoGUID.h"
#include "ZoTestSupport.h"

namespace {

// {1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}
const GUID kSample = {0x1A2B3C4D, 0x5E6F, 0x7081, {0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8, 0x09}};

TEST(ZoGUIDToString, WithAndWithoutBraces)
{
    EXPECT_EQ(OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}"), CZoGUID::GUIDToString(kSample, false));
    EXPECT_EQ(OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809"), CZoGUID::GUIDToString(kSample, true));
    EXPECT_EQ(OLESTR("00000000-0000-0000-0000-000000000000"), CZoGUID::GUIDToString(GUID_NULL, true));
}

TEST(ZoGUIDFromString, AcceptsEveryForm)
{
    struct Case {
        const char* what;
        const OLECHAR* text;
        GUID guid;
    };
    const Case cases[] = {
        {"braced", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}"), kSample},
        {"unbraced", OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809"), kSample},
        {"lower case", OLESTR("1a2b3c4d-5e6f-7081-92a3-b4c5d6e7f809"), kSample},
        {"lower case braced", OLESTR("{1a2b3c4d-5e6f-7081-92a3-b4c5d6e7f809}"), kSample},
        {"empty", OLESTR(""), GUID_NULL},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.guid, CZoGUID::StringToGUID(c.text)) << c.what;
}

TEST(ZoGUIDFromString, RejectsMalformedText)
{
    const OleString withNul = OleString(OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}")) + OLECHAR(0) + OLESTR("x");
    struct Case {
        const char* what;
        OleString text;
    };
    const Case cases[] = {
        {"opening brace only", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809")},
        {"closing brace only", OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}")},
        {"too short", OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F80")},
        {"not hexadecimal", OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F8XY")},
        // The parser would stop at the NUL and take the GUID in front of it.
        {"embedded NUL", withNul},
    };
    for (const auto& c : cases) {
        const auto entries = RaisedEntries([&] { CZoGUID::StringToGUID(c.text); });
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(Decimal(CO_E_CLASSSTRING), entries[0].code) << c.what;
        EXPECT_EQ(ZoSystemMessageText(static_cast<DWORD>(CO_E_CLASSSTRING)), entries[0].description) << c.what;
        EXPECT_EQ(OLESTR(".\\ZoGUID"), entries[0].file) << c.what;
        EXPECT_EQ(OLESTR("CZoGUID::StringToGUID"), entries[0].function) << c.what;
    }
}

TEST(ZoGUIDFromString, RoundTripsGUIDToString)
{
    for (bool noBraces : {false, true})
        EXPECT_EQ(kSample, CZoGUID::StringToGUID(CZoGUID::GUIDToString(kSample, noBraces)));
}

}  // namespace
