// The module's registration steps: their order, the first failure stopping them, and the
// application id every script of the module gets.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "FreshRegistry.h"
#include "RegistryTree.h"
#include "TestClasses.h"

namespace {

// What the steps did, and the step that fails (with E_ACCESSDENIED).
struct StepLog {
    std::vector<std::string> steps;
    std::string failing;

    static StepLog& Current()
    {
        static StepLog log;
        return log;
    }
    static HRESULT Step(const std::string& step)
    {
        Current().steps.push_back(step);
        return step == Current().failing ? E_ACCESSDENIED : S_OK;
    }
};

template <int N>
class CRegisteringClass : public CTestSolitary {
public:
    static HRESULT WINAPI UpdateRegistry(BOOL doRegister) noexcept
    {
        return StepLog::Step(std::to_string(N) + (doRegister ? "+" : "-"));
    }
};

struct RegisteringObjectMap {
    ATL_OBJMAP_ENTRY entries[3] = {OBJECT_ENTRY(CLSID_TestObject, CRegisteringClass<1>)
                                       OBJECT_ENTRY(CLSID_TestSolitary, CRegisteringClass<2>){}};
};

class CRegisteringModule : private RegisteringObjectMap, public CAtlDllModuleT<CRegisteringModule> {
public:
    CRegisteringModule() noexcept : CAtlDllModuleT(entries) {}
    static HRESULT WINAPI UpdateRegistryAppId(BOOL doRegister) noexcept
    {
        return StepLog::Step(doRegister ? "app+" : "app-");
    }
};

class ModuleRegistration : public ::testing::Test {
protected:
    void SetUp() override { StepLog::Current() = {}; }
    void TearDown() override { StepLog::Current() = {}; }

    static std::vector<std::string> Steps() { return std::exchange(StepLog::Current().steps, {}); }

    CRegisteringModule m_module;
};

TEST_F(ModuleRegistration, RegistersTheApplicationThenTheClassesAndRemovesInReverse)
{
    EXPECT_EQ(m_module.DllRegisterServer(FALSE), S_OK);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"app+", "1+", "2+"}));
    EXPECT_EQ(m_module.DllUnregisterServer(FALSE), S_OK);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"1-", "2-", "app-"}));
}

TEST_F(ModuleRegistration, TypeLibraryComesAfterTheClassesAndBeforeTheApplication)
{
    // The test program holds no type library, so that step fails: what ran before it tells.
    EXPECT_TRUE(FAILED(m_module.DllRegisterServer()));
    EXPECT_EQ(Steps(), (std::vector<std::string>{"app+", "1+", "2+"}));
    EXPECT_TRUE(FAILED(m_module.DllUnregisterServer()));
    EXPECT_EQ(Steps(), (std::vector<std::string>{"1-", "2-"}));
}

TEST_F(ModuleRegistration, FirstFailureStops)
{
    struct Case { const char* failing; bool doRegister; std::vector<std::string> steps; };
    const Case cases[] = {
        {"app+", true, {"app+"}},
        {"1+", true, {"app+", "1+"}},
        {"2+", true, {"app+", "1+", "2+"}},
        {"1-", false, {"1-"}},
        {"app-", false, {"1-", "2-", "app-"}},
    };
    for (const Case& c : cases) {
        StepLog::Current().failing = c.failing;
        EXPECT_EQ(c.doRegister ? m_module.DllRegisterServer(FALSE) : m_module.DllUnregisterServer(FALSE), E_ACCESSDENIED)
            << c.failing;
        EXPECT_EQ(Steps(), c.steps) << c.failing;
    }
}

// Modules that only declare an application id, given as text in any case or as a GUID.
struct EmptyObjectMap {
    ATL_OBJMAP_ENTRY entries[1] = {{}};
};

class CTextAppIdModule : private EmptyObjectMap, public CAtlDllModuleT<CTextAppIdModule> {
public:
    DECLARE_REGISTRY_APPID_RESOURCEID(101, "{3704ec91-e69f-45e3-89dc-d828d1f5c5b3}")
    CTextAppIdModule() noexcept : CAtlDllModuleT(entries) {}
};

class CGuidAppIdModule : private EmptyObjectMap, public CAtlDllModuleT<CGuidAppIdModule> {
public:
    DECLARE_REGISTRY_APPID_RESOURCEID(101, CLSID_TestObject)
    CGuidAppIdModule() noexcept : CAtlDllModuleT(entries) {}
};

class CBadAppIdModule : private EmptyObjectMap, public CAtlDllModuleT<CBadAppIdModule> {
public:
    DECLARE_REGISTRY_APPID_RESOURCEID(101, "3704ec91-e69f-45e3-89dc-d828d1f5c5b3")
    CBadAppIdModule() noexcept : CAtlDllModuleT(entries) {}
};

OleString AppIdReplacement(CAtlModule& module, HRESULT& hr)
{
    ScopedFreshRegistry registry;
    CRegObject registrar;
    hr = module.AddCommonRGSReplacements(registrar);
    if (SUCCEEDED(hr))
        hr = registrar.StringRegister(OLESTR("HKCU { NoRemove Software { LumoAppIdTest = s '%AppId%' } }"));
    const RegistryTree tree = ReadRegistryTree(HKEY_CURRENT_USER, OLESTR("Software\\LumoAppIdTest"));
    RegDeleteTreeW(HKEY_CURRENT_USER, OLESTR("Software\\LumoAppIdTest"));
    const auto key = tree.find(OLESTR(""));
    return key == tree.end() || key->second.empty() ? OleString() : *key->second.begin();
}

TEST(ModuleAppId, EveryScriptGetsTheApplicationIdInRegistryForm)
{
    HRESULT hr = E_FAIL;
    CTextAppIdModule text;
    EXPECT_EQ(AppIdReplacement(text, hr), OLESTR("@=s:{3704EC91-E69F-45E3-89DC-D828D1F5C5B3}"));
    EXPECT_EQ(hr, S_OK);
    CGuidAppIdModule guid;
    EXPECT_EQ(AppIdReplacement(guid, hr), OLESTR("@=s:{7D0F2A61-3B4C-4E1A-9C2B-5A1E0F6D7C11}"));
    EXPECT_EQ(hr, S_OK);
    CBadAppIdModule bad;
    AppIdReplacement(bad, hr);
    EXPECT_TRUE(FAILED(hr));
    // A module without an application id has no APPID replacement.
    AppIdReplacement(TestModule(), hr);
    EXPECT_EQ(hr, DISP_E_EXCEPTION);
}

}  // namespace
