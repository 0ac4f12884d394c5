// The in-process server: the module object, its object map and the four exported entry
// points through which the component runtime reaches the library.
#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoEnum.h"
#include "LumoEnumProperty.h"
#include "LumoEnumVARIANT.h"
#include "LumoItem.h"
#include "LumoItems.h"
#include "LumoItemsVersion.h"
#include "LumoProperty.h"
#include "ZoLogging.h"

namespace {

class CLumoItemsModule : public CAtlDllModuleT<CLumoItemsModule> {
public:
    DECLARE_LIBID(LIBID_LumoItemsLib)
    DECLARE_REGISTRY_APPID_RESOURCEID(IDR_LUMOITEMS, "{3704EC91-E69F-45E3-89DC-D828D1F5C5B3}")

    using CAtlDllModuleT::CAtlDllModuleT;
};

BEGIN_OBJECT_MAP(LumoItemsObjectMap)
    OBJECT_ENTRY(CLSID_LumoEnumVARIANT, CLumoEnumVARIANT)
    OBJECT_ENTRY(CLSID_LumoEnum, CLumoEnum)
    OBJECT_ENTRY(CLSID_LumoEnumProperty, CLumoEnumProperty)
    OBJECT_ENTRY(CLSID_LumoItem, CLumoItem)
    OBJECT_ENTRY(CLSID_LumoProperty, CLumoProperty)
END_OBJECT_MAP()

CLumoItemsModule lumoItemsModule(LumoItemsObjectMap);

// Registration runs in the system default locale, whatever the caller's thread uses.
class CSystemLocaleScope {
public:
    CSystemLocaleScope() noexcept : m_saved(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~CSystemLocaleScope() { SetThreadLocale(m_saved); }
    CSystemLocaleScope(const CSystemLocaleScope&) = delete;
    CSystemLocaleScope& operator=(const CSystemLocaleScope&) = delete;

private:
    const LCID m_saved;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    // Once, before anything logs: the product names the logging configuration and the event source.
    if (reason == DLL_PROCESS_ATTACH)
        CZoLogging::SetProductInfo(LUMO_PRODUCT_NAME_OLESTR, LUMO_PRODUCT_VERSION_OLESTR);
    return lumoItemsModule.DllMain(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return lumoItemsModule.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return lumoItemsModule.DllCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    CSystemLocaleScope locale;
    return lumoItemsModule.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    CSystemLocaleScope locale;
    return lumoItemsModule.DllUnregisterServer();
}
