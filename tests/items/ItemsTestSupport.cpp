#include "ItemsTestSupport.h"

#include <memory>

#include "FreshRegistry.h"
#include "ModuleEntryPoint.h"
#include "TestComponentRegistration.h"

namespace {

// One fresh registry with the module registered, and the module held loaded, for the run.
class RegisteredLibrary : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_registry = std::make_unique<ScopedFreshRegistry>();
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        m_module = LoadLibraryW(LumoItemsModulePath().c_str());
        ASSERT_NE(m_module, nullptr);
        ASSERT_EQ(ModuleRegisterServer(), S_OK);
    }

    void TearDown() override
    {
        CoUninitialize();
        m_registry.reset();
    }

    template <class Function>
    static Function EntryPoint(const char* name)
    {
        return s_instance && s_instance->m_module ? GetModuleEntryPoint<Function>(s_instance->m_module, name)
                                                  : nullptr;
    }

    static RegisteredLibrary* s_instance;

private:
    std::unique_ptr<ScopedFreshRegistry> m_registry;
    HMODULE m_module = nullptr;   // held until the process ends
};

RegisteredLibrary* RegisteredLibrary::s_instance =
    static_cast<RegisteredLibrary*>(::testing::AddGlobalTestEnvironment(new RegisteredLibrary));

template <class Function>
Function EntryPointOf(const char* name)
{
    return RegisteredLibrary::EntryPoint<Function>(name);
}

HRESULT CallServerEntryPoint(const char* name)
{
    const auto call = EntryPointOf<HRESULT(STDAPICALLTYPE*)()>(name);
    return call ? call() : E_UNEXPECTED;
}

}  // namespace

const OleString& LumoItemsModulePath()
{
    static const OleString path = WidenUtf8(LUMO_ITEMS_MODULE_PATH);
    return path;
}

HRESULT ModuleCanUnloadNow()
{
    return CallServerEntryPoint("DllCanUnloadNow");
}

HRESULT ModuleRegisterServer()
{
    return CallServerEntryPoint("DllRegisterServer");
}

HRESULT ModuleUnregisterServer()
{
    return CallServerEntryPoint("DllUnregisterServer");
}

HRESULT ModuleGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    const auto call = EntryPointOf<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    return call ? call(clsid, iid, object) : E_UNEXPECTED;
}

void ComponentTest::TearDown()
{
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK) << "an object of the library outlived the test";
}
