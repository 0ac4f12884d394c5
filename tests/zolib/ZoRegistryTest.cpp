// CZoRegistry: values addressed by one text path, with defaults, over a fresh registry.
#include <gtest/gtest.h>

#include "FreshRegistry.h"
#include "ScopedTempFolder.h"
#include "ScopedVariable.h"
#include "ZoRegistry.h"
#include "ZoTestSupport.h"

namespace {

constexpr OLECHAR kKey[] = OLESTR("HKEY_CURRENT_USER\\Software\\LumoTests\\Registry");

OleString CodeOfSystemError(DWORD number)
{
    return Decimal(static_cast<LONG>(ZoHResultFromSystemError(static_cast<LONG>(number))));
}

OleString Joined(const OLECHAR* key, const OLECHAR* value)
{
    return OleString(key) + OLESTR("\\") + value;
}

class ZoRegistryTest : public ::testing::Test {
protected:
    // Writes a value of any type below kKey, through the platform.
    void Put(const OLECHAR* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, OLESTR("Software\\LumoTests\\Registry"), 0, nullptr,
                                                 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }
    void PutText(const OLECHAR* name, DWORD type, OleStringView text)
    {
        Put(name, type, text.data(), static_cast<DWORD>((text.size() + 1) * sizeof(OLECHAR)));
    }

    ScopedFreshRegistry m_registry;
};

TEST_F(ZoRegistryTest, MissingKeyGivesTheDefaultOrBothErrors)
{
    EXPECT_EQ(2u, CZoRegistry::GetDWORDValue(kKey, OLESTR("Level"), 2, false, false));

    const auto entries = RaisedEntries([] { CZoRegistry::GetDWORDValue(kKey, OLESTR("Level"), 2, true, false); });
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(CodeOfSystemError(ERROR_FILE_NOT_FOUND), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(ERROR_FILE_NOT_FOUND), entries[0].description);
    EXPECT_EQ(OleString(OLESTR("2004")), entries[1].code);
    EXPECT_EQ(OleString(OLESTR("Failed to open registry key.")), entries[1].description);
    const std::vector<std::pair<OleString, OleString>> details = {{OLESTR("Registrykey"), kKey}};
    EXPECT_EQ(details, entries[1].details);
}

TEST_F(ZoRegistryTest, MissingValueWithTheFlagFailsWithItsFullPath)
{
    CZoRegistry::SetValue(kKey, OLESTR("Other"), 1);
    const auto entries = RaisedEntries([] { CZoRegistry::GetDWORDValue(kKey, OLESTR("Level"), 2, true, false); });
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(CodeOfSystemError(ERROR_FILE_NOT_FOUND), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("2014")), entries[1].code);
    EXPECT_EQ(OleString(OLESTR("Failed to read registry value.")), entries[1].description);
    const std::vector<std::pair<OleString, OleString>> details = {{OLESTR("Registrykey"), Joined(kKey, OLESTR("Level"))}};
    EXPECT_EQ(details, entries[1].details);
}

TEST_F(ZoRegistryTest, ValuesOfTheWrongTypeGiveTheDefaultOrInvalidData)
{
    PutText(OLESTR("Number"), REG_SZ, OLESTR("5"));
    const DWORD number = 7;
    Put(OLESTR("Text"), REG_DWORD, &number, sizeof number);

    EXPECT_EQ(2u, CZoRegistry::GetDWORDValue(kKey, OLESTR("Number"), 2, false, false));
    auto entries = RaisedEntries([] { CZoRegistry::GetDWORDValue(kKey, OLESTR("Number"), 2, true, false); });
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(CodeOfSystemError(ERROR_INVALID_DATA), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("2014")), entries[1].code);

    EXPECT_EQ(OleString(), CZoRegistry::GetStringValue(kKey, OLESTR("Text"), OLESTR(""), false));
    entries = RaisedEntries([] { CZoRegistry::GetStringValue(kKey, OLESTR("Text"), nullptr, false); });
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(CodeOfSystemError(ERROR_INVALID_DATA), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("2014")), entries[entries.size() - 2].code) << "the last entry but the frame's";
    const std::vector<std::pair<OleString, OleString>> details = {
        {OLESTR("Registrykey"), Joined(kKey, OLESTR("Text"))}, {OLESTR("bUse64bitHive"), OLESTR("0")}};
    EXPECT_EQ(details, entries[entries.size() - 2].details);
}

TEST_F(ZoRegistryTest, TextsAreReadUpToTheirFirstNulAndNotExpanded)
{
    PutText(OLESTR("Plain"), REG_SZ, OLESTR("a value"));
    PutText(OLESTR("Expandable"), REG_EXPAND_SZ, OLESTR("%TEMP%\\x.log"));
    Put(OLESTR("Empty"), REG_SZ, nullptr, 0);
    const OLECHAR twoParts[] = OLESTR("first\0second");
    Put(OLESTR("TwoParts"), REG_SZ, twoParts, sizeof twoParts);
    Put(OLESTR("Unterminated"), REG_SZ, OLESTR("abc"), 3 * sizeof(OLECHAR));
    struct Case {
        const OLECHAR* name;
        const OLECHAR* text;
    };
    const Case cases[] = {
        {OLESTR("Plain"), OLESTR("a value")},
        {OLESTR("Expandable"), OLESTR("%TEMP%\\x.log")},
        {OLESTR("Empty"), OLESTR("")},
        {OLESTR("TwoParts"), OLESTR("first")},
        {OLESTR("Unterminated"), OLESTR("<default>")},
        {OLESTR("Missing"), OLESTR("<default>")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OleString(c.text), CZoRegistry::GetStringValue(kKey, c.name, OLESTR("<default>"), false));
        EXPECT_EQ(OleString(c.text), CZoRegistry::GetStringValue(kKey, c.name, OLESTR("<default>"), true))
            << "the 64-bit view is accepted";
    }
}

TEST_F(ZoRegistryTest, SetValueCreatesTheKeyPathAndWritesTheNul)
{
    const OleString deep = OleString(kKey) + OLESTR("\\New\\Deeper");
    CZoRegistry::SetValue(deep, OLESTR("Text"), OLESTR("abc"));
    CZoRegistry::SetValue(deep, OLESTR("Number"), 0x100000);
    EXPECT_EQ(OleString(OLESTR("abc")), CZoRegistry::GetStringValue(deep, OLESTR("Text"), nullptr, false));
    EXPECT_EQ(0x100000u, CZoRegistry::GetDWORDValue(deep, OLESTR("Number"), 0, true, false));

    HKEY key = CZoRegistry::RegOpenRegKey(deep, true, false, false, false);
    ASSERT_NE(nullptr, key);
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, OLESTR("Text"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(4 * sizeof(OLECHAR), size);
    RegCloseKey(key);

    const auto entries = RaisedEntries([&] { CZoRegistry::SetValue(deep, OLESTR("Text"), nullptr); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(static_cast<LONG>(E_FAIL)), entries[0].code);
}

TEST_F(ZoRegistryTest, KeyPathsNameTheirRootExactly)
{
    EXPECT_EQ(HKEY_CURRENT_USER, CZoRegistry::RegOpenRegKey(OLESTR("HKEY_CURRENT_USER"), true, false, false, false));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, CZoRegistry::RegOpenRegKey(OLESTR("\\HKEY_LOCAL_MACHINE\\"), true, false, false, false));
    for (const OLECHAR* path : {OLESTR("hkey_current_user\\Software"), OLESTR(""), OLESTR("\\"), OLESTR("HKCU\\Software")}) {
        const auto entries = RaisedEntries([&] { CZoRegistry::GetDWORDValue(path, OLESTR("x"), 0, false, false); });
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(OleString(OLESTR("1010")), entries[0].code);
        EXPECT_EQ(OleString(OLESTR("<default>")), CZoRegistry::GetStringValue(path, OLESTR("x"), OLESTR("<default>"), false))
            << "with a default every failure gives it";
    }
    EXPECT_EQ(nullptr, CZoRegistry::RegOpenRegKey(OleString(kKey) + OLESTR("\\Missing"), false, false, false, false));
}

#ifndef _WIN32
// The stand-in's registry file, unreadable: the defaults, and the platform's error without them.
TEST(ZoRegistryCorrupt, FileThatIsNoDatabaseGivesTheDefaults)
{
    ScopedTempFolder folder;
    WriteFileBytes(folder.Path("registry.db"), std::string(4096, 'x'));
    ScopedVariable registry(OLESTR("LUMOITEMS_REGISTRY"), folder.Ole("registry.db").c_str());
    EXPECT_EQ(2u, CZoRegistry::GetDWORDValue(kKey, OLESTR("Level"), 2, false, false));
    EXPECT_EQ(OleString(OLESTR("d")), CZoRegistry::GetStringValue(kKey, OLESTR("File"), OLESTR("d"), false));
    const auto entries = RaisedEntries([] { CZoRegistry::SetValue(kKey, OLESTR("Level"), 1); });
    ASSERT_GE(entries.size(), 2u);
    EXPECT_NE(OleString(OLESTR("0")), entries[0].code);
    EXPECT_EQ(OleString(OLESTR("2004")), entries[1].code);
}
#endif

}  // namespace
