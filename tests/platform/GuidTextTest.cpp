// GUID text: formatting, parsing, program ids, new GUIDs.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

#include "FreshRegistry.h"
#include "OleString.h"

namespace {

// {1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}
const GUID kSample = {0x1A2B3C4D, 0x5E6F, 0x7081, {0x92, 0xA3, 0xB4, 0xC5, 0xD6, 0xE7, 0xF8, 0x09}};
const OLECHAR kSampleText[] = OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}");

TEST(GuidText, FormatsUpperCaseBraced)
{
    LPOLESTR text = nullptr;
    ASSERT_EQ(S_OK, StringFromCLSID(kSample, &text));
    EXPECT_EQ(OleString(kSampleText), text);
    CoTaskMemFree(text);

    ASSERT_EQ(S_OK, StringFromIID(kSample, &text));
    EXPECT_EQ(OleString(kSampleText), text);
    CoTaskMemFree(text);

    EXPECT_EQ(E_INVALIDARG, StringFromCLSID(kSample, nullptr));
}

TEST(GuidText, FormatsIntoCallersBuffer)
{
    struct Case {
        const char* what;
        int size;
        int expected;
    };
    const Case cases[] = {
        {"exact size", 39, 39},
        {"larger", 64, 39},
        {"no room for the NUL", 38, 0},
        {"empty", 0, 0},
    };
    for (const Case& c : cases) {
        OLECHAR buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), OLECHAR('#'));
        EXPECT_EQ(c.expected, StringFromGUID2(kSample, buffer, c.size)) << c.what;
        if (c.expected) {
            EXPECT_EQ(OleString(kSampleText), buffer) << c.what;
        }
    }
}

TEST(GuidText, ParsesBracedTextOfAnyCase)
{
    const OLECHAR* const texts[] = {
        kSampleText,
        OLESTR("{1a2b3c4d-5e6f-7081-92a3-b4c5d6e7f809}"),
        OLESTR("{1A2b3C4d-5E6f-7081-92a3-B4c5D6e7F809}"),
    };
    for (const OLECHAR* text : texts) {
        CLSID clsid = GUID_NULL;
        EXPECT_EQ(S_OK, CLSIDFromString(text, &clsid));
        EXPECT_EQ(kSample, clsid);
        IID iid = GUID_NULL;
        EXPECT_EQ(S_OK, IIDFromString(text, &iid));
        EXPECT_EQ(kSample, iid);
    }
}

TEST(GuidText, RoundTripsEveryDigit)
{
    for (int digit = 0; digit < 16; ++digit) {
        GUID guid;
        std::memset(&guid, digit * 0x11, sizeof guid);
        OLECHAR text[39];
        ASSERT_EQ(39, StringFromGUID2(guid, text, 39));
        CLSID parsed = GUID_NULL;
        EXPECT_EQ(S_OK, CLSIDFromString(text, &parsed)) << digit;
        EXPECT_EQ(guid, parsed) << digit;
    }
}

TEST(GuidText, RejectsMalformedText)
{
    struct Case {
        const char* what;
        const OLECHAR* text;
    };
    const Case cases[] = {
        {"no braces", OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809")},
        {"no closing brace", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809")},
        {"one digit short", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F80}")},
        {"one digit more", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F8090}")},
        {"text after the brace", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}x")},
        {"leading space", OLESTR(" {1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}")},
        {"not a hex digit", OLESTR("{1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F80G}")},
        {"dash moved", OLESTR("{1A2B3C4-D5E6F-7081-92A3-B4C5D6E7F809}")},
        {"dash missing", OLESTR("{1A2B3C4D-5E6F-7081-92A3B-4C5D6E7F809}")},
        {"sign in a number", OLESTR("{+A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809}")},
        {"braces only", OLESTR("{}")},
        {"empty", OLESTR("")},
    };
    for (const Case& c : cases) {
        CLSID clsid = kSample;
        EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(c.text, &clsid)) << c.what;
        EXPECT_EQ(CLSID_NULL, clsid) << c.what;
        IID iid = kSample;
        EXPECT_EQ(E_INVALIDARG, IIDFromString(c.text, &iid)) << c.what;
    }
}

TEST(GuidText, NullTextIsTheNullGuid)
{
    CLSID clsid = kSample;
    EXPECT_EQ(S_OK, CLSIDFromString(nullptr, &clsid));
    EXPECT_EQ(CLSID_NULL, clsid);
    IID iid = kSample;
    EXPECT_EQ(S_OK, IIDFromString(nullptr, &iid));
    EXPECT_EQ(IID_NULL, iid);

    EXPECT_EQ(E_INVALIDARG, CLSIDFromString(kSampleText, nullptr));
    EXPECT_EQ(E_INVALIDARG, IIDFromString(kSampleText, nullptr));
}

class GuidTextProgIds : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteDefault(OLESTR("Lumo.GuidText.Sample\\CLSID"), kSampleText);
        WriteDefault(OLESTR("Lumo.GuidText.Garbled\\CLSID"), OLESTR("{not a class id}"));
        WriteDefault(OLESTR("Lumo.GuidText.Unbraced\\CLSID"), OLESTR("1A2B3C4D-5E6F-7081-92A3-B4C5D6E7F809"));
        WriteDefault(OLESTR("Lumo.GuidText\\Nested\\CLSID"), kSampleText);
    }

    static void WriteDefault(const OLECHAR* subKey, const OLECHAR* value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
        const OleString text(value);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>((text.size() + 1) * sizeof(OLECHAR))));
        RegCloseKey(key);
    }

    ScopedFreshRegistry m_registry;
};

TEST_F(GuidTextProgIds, LooksUpProgramIds)
{
    struct Case {
        const char* what;
        const OLECHAR* progId;
        HRESULT expected;
    };
    const Case cases[] = {
        {"registered", OLESTR("Lumo.GuidText.Sample"), S_OK},
        {"other case", OLESTR("LUMO.guidtext.SAMPLE"), S_OK},
        {"unregistered", OLESTR("Lumo.GuidText.Missing"), CO_E_CLASSSTRING},
        {"class id not a GUID", OLESTR("Lumo.GuidText.Garbled"), CO_E_CLASSSTRING},
        {"class id without braces", OLESTR("Lumo.GuidText.Unbraced"), CO_E_CLASSSTRING},
        {"empty", OLESTR(""), CO_E_CLASSSTRING},
        {"backslash: a key path, not a program id", OLESTR("Lumo.GuidText\\Nested"), CO_E_CLASSSTRING},
    };
    for (const Case& c : cases) {
        CLSID fromProgId = GUID_NULL;
        EXPECT_EQ(c.expected, CLSIDFromProgID(c.progId, &fromProgId)) << c.what;
        EXPECT_EQ(c.expected == S_OK ? kSample : CLSID_NULL, fromProgId) << c.what;
        CLSID fromString = GUID_NULL;
        EXPECT_EQ(c.expected, CLSIDFromString(c.progId, &fromString)) << c.what << " (as class text)";
        EXPECT_EQ(fromProgId, fromString) << c.what;
        IID iid = GUID_NULL;
        EXPECT_EQ(E_INVALIDARG, IIDFromString(c.progId, &iid)) << c.what << ": interface ids have no program ids";
    }
    CLSID clsid;
    EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(nullptr, &clsid));
    EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(OLESTR("Lumo.GuidText.Sample"), nullptr));
}

TEST(GuidText, NewGuidsAreRandomVersionFour)
{
    std::set<OleString> seen;
    for (int i = 0; i < 64; ++i) {
        GUID guid = GUID_NULL;
        ASSERT_EQ(S_OK, CoCreateGuid(&guid));
        EXPECT_EQ(0x4000, guid.Data3 & 0xF000) << "version";
        EXPECT_EQ(0x80, guid.Data4[0] & 0xC0) << "variant";
        OLECHAR text[39];
        StringFromGUID2(guid, text, 39);
        EXPECT_TRUE(seen.insert(text).second) << "repeated GUID";
    }
    EXPECT_EQ(E_INVALIDARG, CoCreateGuid(nullptr));
}

}  // namespace
