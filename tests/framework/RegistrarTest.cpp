// The registrar applying scripts to a fresh registry: what registration writes, what the
// markers delete, what removal leaves, and how failures come back. Everything happens below
// HKEY_CURRENT_USER\Software\LumoRegistrarTest, so that a run against a real registry touches
// nothing else.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "FreshRegistry.h"
#include "Registrar.h"
#include "RegistryTree.h"

namespace {

const OleString kTestKey = OLESTR("Software\\LumoRegistrarTest");

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey.c_str()); }

    // A script whose entries stand in the test key.
    static OleString Script(const OleString& entries)
    {
        return OLESTR("HKCU { NoRemove Software { NoRemove LumoRegistrarTest { ") + entries + OLESTR(" } } }");
    }
    HRESULT Register(const OleString& entries) { return m_registrar.StringRegister(Script(entries).c_str()); }
    HRESULT Unregister(const OleString& entries) { return m_registrar.StringUnregister(Script(entries).c_str()); }

    static RegistryTree Tree() { return ReadRegistryTree(HKEY_CURRENT_USER, kTestKey); }

    // A key below the test key, with a string value when a name is given ("" the default).
    static void Create(const OleString& path, const OLECHAR* valueName = nullptr, const OleString& value = {})
    {
        HKEY key = nullptr;
        const OleString full = kTestKey + OLESTR("\\") + path;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, full.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (valueName)
            RegSetValueExW(key, *valueName ? valueName : nullptr, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR)));
        RegCloseKey(key);
    }
    static bool Exists(const OleString& path) { return RegistryKeyExists(HKEY_CURRENT_USER, kTestKey + OLESTR("\\") + path); }

    ScopedFreshRegistry m_registry;
    CRegObject m_registrar;
};

TEST_F(RegistrarTest, RegistrationWritesTheScriptAndAgainTheSame)
{
    ASSERT_EQ(m_registrar.AddReplacement(OLESTR("Module"), OLESTR("C:\\x\\it''s.dll")), S_OK);
    const OleString entries = OLESTR("A = s 'alpha' { val Text = s '%MODULE%' val Number = d '0x10' B { C = s 'gamma' } } ")
                              OLESTR("ForceRemove 'With Space' = s '' { Programmable }");
    const RegistryTree expected = {
        {OLESTR(""), {}},
        {OLESTR("A"), {OLESTR("@=s:alpha"), OLESTR("Text=s:C:\\x\\it's.dll"), OLESTR("Number=d:16")}},
        {OLESTR("A\\B"), {}},
        {OLESTR("A\\B\\C"), {OLESTR("@=s:gamma")}},
        {OLESTR("With Space"), {OLESTR("@=s:")}},
        {OLESTR("With Space\\Programmable"), {}},
    };
    ASSERT_EQ(Register(entries), S_OK);
    EXPECT_EQ(Tree(), expected);
    ASSERT_EQ(Register(entries), S_OK);
    EXPECT_EQ(Tree(), expected);
}

TEST_F(RegistrarTest, ValuesOfEachTypeReadBackExactly)
{
    ASSERT_EQ(Register(OLESTR("V = d '7' { val s = s 'text' val d = d '4294967294' val b = b '00FF10' ")
                       OLESTR("val e = b '' val m = m 'one\\0two' }")),
              S_OK);
    auto text = [](const OleString& chars) {
        std::vector<BYTE> bytes((chars.size()) * sizeof(OLECHAR));
        std::memcpy(bytes.data(), chars.data(), bytes.size());
        return bytes;
    };
    struct Case { const OLECHAR* name; DWORD type; std::vector<BYTE> data; };
    const Case cases[] = {
        {nullptr, REG_DWORD, {7, 0, 0, 0}},
        {OLESTR("s"), REG_SZ, text(OleString(OLESTR("text"), 5))},
        {OLESTR("d"), REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
        {OLESTR("b"), REG_BINARY, {0x00, 0xFF, 0x10}},
        {OLESTR("e"), REG_BINARY, {}},
        {OLESTR("m"), REG_MULTI_SZ, text(OleString(OLESTR("one\0two\0"), 9))},
    };
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (kTestKey + OLESTR("\\V")).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    for (const Case& c : cases) {
        BYTE data[64] = {};
        DWORD size = sizeof(data);
        DWORD type = REG_NONE;
        const char* what = c.name ? "named" : "default";
        ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, data, &size), ERROR_SUCCESS) << what;
        EXPECT_EQ(type, c.type) << what;
        EXPECT_EQ(std::vector<BYTE>(data, data + size), c.data) << what << " " << type;
    }
    RegCloseKey(key);
}

TEST_F(RegistrarTest, ForceRemoveRebuildsTheKeyAndPlainKeysKeepTheirContent)
{
    for (const OLECHAR* key : {OLESTR("Forced"), OLESTR("Plain")}) {
        Create(OleString(key) + OLESTR("\\Old"));
        Create(OleString(key) + OLESTR("\\Sub\\Older"), OLESTR(""), OLESTR("old"));
        Create(key, OLESTR("Stale"), OLESTR("x"));
    }
    ASSERT_EQ(Register(OLESTR("ForceRemove Forced = s 'new' { Sub } Plain = s 'new' { Sub }")), S_OK);
    const RegistryTree expected = {
        {OLESTR(""), {}},
        {OLESTR("Forced"), {OLESTR("@=s:new")}},
        {OLESTR("Forced\\Sub"), {}},
        {OLESTR("Plain"), {OLESTR("Stale=s:x"), OLESTR("@=s:new")}},
        {OLESTR("Plain\\Old"), {}},
        {OLESTR("Plain\\Sub"), {}},
        {OLESTR("Plain\\Sub\\Older"), {OLESTR("@=s:old")}},
    };
    EXPECT_EQ(Tree(), expected);
}

// A reader of a key that registration rebuilds finds it, with its value, at every moment.
TEST_F(RegistrarTest, ForceRemoveNeverLeavesTheKeyMissing)
{
    ASSERT_EQ(Register(OLESTR("ForceRemove Forced = s 'v' { Sub = s 's' }")), S_OK);
    std::atomic<bool> registering{true};
    std::thread registrar([&] {
        CRegObject other;
        for (int round = 0; round < 100; ++round)
            EXPECT_EQ(other.StringRegister(Script(OLESTR("ForceRemove Forced = s 'v' { Sub = s 's' }")).c_str()), S_OK);
        registering = false;
    });
    const OleString sub = kTestKey + OLESTR("\\Forced\\Sub");
    int missing = 0;
    while (registering) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            ++missing;
            continue;
        }
        if (RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            ++missing;
        RegCloseKey(key);
    }
    registrar.join();
    EXPECT_EQ(missing, 0);
}

TEST_F(RegistrarTest, DeleteRemovesTheTreeAndCreatesNothing)
{
    Create(OLESTR("Doomed\\Old\\Older"));
    ASSERT_EQ(Register(OLESTR("Delete Doomed = s 'x' { Sub } Delete Missing { Sub } After")), S_OK);
    const RegistryTree expected = {{OLESTR(""), {}}, {OLESTR("After"), {}}};
    EXPECT_EQ(Tree(), expected);
}

TEST_F(RegistrarTest, ProtectedNamesSurviveForceRemoveAndDelete)
{
    const OLECHAR* protectedNames[] = {
        OLESTR("appid"), OLESTR("CLSID"), OLESTR("Component Categories"), OLESTR("FILETYPE"),
        OLESTR("Interface"), OLESTR("hardware"), OLESTR("Mime"), OLESTR("SAM"),
        OLESTR("security"), OLESTR("System"), OLESTR("software"), OLESTR("TypeLib"),
    };
    for (const OLECHAR* name : protectedNames) {
        const OleString key(name);
        Create(key + OLESTR("\\Child"));
        ASSERT_EQ(Register(OLESTR("ForceRemove '") + key + OLESTR("' { New } Delete '") + key + OLESTR("'")), S_OK);
        EXPECT_TRUE(Exists(key + OLESTR("\\Child"))) << std::string(key.begin(), key.end());
        EXPECT_TRUE(Exists(key + OLESTR("\\New"))) << std::string(key.begin(), key.end());
    }
    // Only the whole name is protected.
    Create(OLESTR("CLSIDs\\Child"));
    ASSERT_EQ(Register(OLESTR("ForceRemove CLSIDs { New }")), S_OK);
    EXPECT_FALSE(Exists(OLESTR("CLSIDs\\Child")));
    EXPECT_TRUE(Exists(OLESTR("CLSIDs\\New")));
}

TEST_F(RegistrarTest, RemovalDeletesWhatTheScriptNamesAndKeepsWhatOthersAdded)
{
    const OleString entries = OLESTR("NoRemove Kept { Ours = s 'x' { val v = s '1' } } ")
                              OLESTR("Shared { val mine = s '1' Ours } ")
                              OLESTR("ForceRemove Gone = s 'x' { val v = s '1' Sub { Deeper } }");
    ASSERT_EQ(Register(entries), S_OK);
    Create(OLESTR("Shared\\Foreign"));
    Create(OLESTR("Shared"), OLESTR("theirs"), OLESTR("t"));
    Create(OLESTR("Gone"), OLESTR("extra"), OLESTR("e"));

    // Keys and values the registry does not hold are no error, and nothing is created for them.
    ASSERT_EQ(Unregister(entries + OLESTR(" Missing { val v = s '1' Sub } NoRemove Kept { val absent = s '' }")), S_OK);
    const RegistryTree expected = {
        {OLESTR(""), {}},
        {OLESTR("Kept"), {}},
        {OLESTR("Shared"), {OLESTR("theirs=s:t")}},
        {OLESTR("Shared\\Foreign"), {}},
    };
    EXPECT_EQ(Tree(), expected);
    // Removing what is already gone succeeds.
    EXPECT_EQ(Unregister(entries), S_OK);
    EXPECT_EQ(Tree(), expected);
}

TEST_F(RegistrarTest, RegistryFailureStopsAndComesBackAsItsStatus)
{
    const OleString tooLong(300, OLESTR('k'));
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, (kTestKey + OLESTR("\\") + tooLong).c_str(), 0, nullptr,
                                           0, KEY_WRITE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        GTEST_SKIP() << "this registry takes key names longer than 255 characters";
    }
    EXPECT_EQ(Register(OLESTR("First ") + tooLong + OLESTR(" Never")), HRESULT_FROM_WIN32(static_cast<DWORD>(status)));
    EXPECT_TRUE(Exists(OLESTR("First")));
    EXPECT_FALSE(Exists(OLESTR("Never")));
}

TEST_F(RegistrarTest, ScriptIsParsedWholeBeforeAnythingIsWritten)
{
    EXPECT_EQ(Register(OLESTR("First { val v = s '1' } Second = x")), DISP_E_EXCEPTION);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kTestKey));
    EXPECT_EQ(m_registrar.StringRegister(nullptr), E_INVALIDARG);
    EXPECT_EQ(m_registrar.StringUnregister(nullptr), E_INVALIDARG);
}

TEST_F(RegistrarTest, ReplacementsAreReplacedByNameAndCleared)
{
    ASSERT_EQ(m_registrar.AddReplacement(OLESTR("Name"), OLESTR("one")), S_OK);
    ASSERT_EQ(m_registrar.AddReplacement(OLESTR("NAME"), OLESTR("two")), S_OK);
    ASSERT_EQ(Register(OLESTR("A = s '%name%'")), S_OK);
    EXPECT_EQ(Tree()[OLESTR("A")], std::set<OleString>{OLESTR("@=s:two")});
    EXPECT_EQ(m_registrar.ClearReplacements(), S_OK);
    EXPECT_EQ(Register(OLESTR("A = s '%name%'")), DISP_E_EXCEPTION);

    struct Case { const char* what; const OLECHAR* name; const OLECHAR* text; };
    const Case invalid[] = {
        {"null name", nullptr, OLESTR("x")},
        {"null text", OLESTR("x"), nullptr},
        {"empty name", OLESTR(""), OLESTR("x")},
        {"percent in the name", OLESTR("a%b"), OLESTR("x")},
    };
    for (const Case& c : invalid)
        EXPECT_EQ(m_registrar.AddReplacement(c.name, c.text), E_INVALIDARG) << c.what;
}

}  // namespace
