// The in-process server module: hands out the class objects of its object map and tells the
// runtime when it may be unloaded. T is the derived module class; one that declares
// DECLARE_LIBID has its type library id recorded at construction.
#pragma once

#include <atomic>

#include <windows.h>

#include "AtlModule.h"
#include "DispatchImpl.h"
#include "ObjectMap.h"
#include "Registrar.h"
#include "RegistrationLock.h"
#include "TypeLibRegistration.h"

// Names the type library of a module class.
#define DECLARE_LIBID(libid) \
    static const GUID& WINAPI GetLibraryId() noexcept { return libid; }

// Gives a module class its application script, REGISTRY resource resid, and the "APPID"
// replacement of every script: appid (a GUID, or its text in braces) in registry form.
#define DECLARE_REGISTRY_APPID_RESOURCEID(resid, appid)                                                \
    static HRESULT WINAPI GetAppIdText(OleString& text) noexcept { return AtlRegistryGuidText(appid, text); } \
    static HRESULT WINAPI UpdateRegistryAppId(BOOL bRegister) noexcept                                 \
    {                                                                                                  \
        return _pAtlModule ? _pAtlModule->UpdateRegistryFromResource(resid, bRegister) : E_UNEXPECTED;    \
    }

template <class T>
class CAtlDllModuleT : public CAtlModule {
public:
    // objectMap is terminated by a null class id and outlives the module.
    explicit CAtlDllModuleT(ATL_OBJMAP_ENTRY* objectMap) noexcept : m_objectMap(objectMap)
    {
        if constexpr (requires { T::GetLibraryId(); })
            m_libid = T::GetLibraryId();
        for (ATL_OBJMAP_ENTRY* entry = m_objectMap; entry->pclsid; ++entry)
            entry->pfnObjectMain(true);
    }
    ~CAtlDllModuleT() { Term(); }

    // The module's side of the exported DllMain: a module whose critical section could not be
    // initialised refuses to load.
    BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) noexcept
    {
        if (reason == DLL_PROCESS_ATTACH) {
            m_hInstance = instance;
            return m_bInitFailed ? FALSE : TRUE;
        }
        if (reason == DLL_PROCESS_DETACH) {
            CComTypeInfoHolder::ReleaseAll();
            Term();
        }
        return TRUE;
    }

    HRESULT DllCanUnloadNow() const noexcept { return GetLockCount() == 0 ? S_OK : S_FALSE; }

    // The application script, each object-map entry's script in map order, then the type
    // library; the first failure stops. One registrar of the module's classes at a time.
    HRESULT DllRegisterServer(BOOL registerTypeLib = TRUE) noexcept
    {
        const CRegistrationLock lock(RegistrationLockClass());
        if (FAILED(lock.Status()))
            return lock.Status();
        if constexpr (requires { T::UpdateRegistryAppId(TRUE); }) {
            if (const HRESULT hr = T::UpdateRegistryAppId(TRUE); FAILED(hr))
                return hr;
        }
        for (ATL_OBJMAP_ENTRY* entry = m_objectMap; entry->pclsid; ++entry) {
            if (const HRESULT hr = entry->pfnUpdateRegistry(TRUE); FAILED(hr))
                return hr;
        }
        return registerTypeLib ? AtlRegisterTypeLib(m_hInstance, nullptr) : S_OK;
    }

    // The reverse: each entry's script in map order, the type library, the application script.
    HRESULT DllUnregisterServer(BOOL unregisterTypeLib = TRUE) noexcept
    {
        const CRegistrationLock lock(RegistrationLockClass());
        if (FAILED(lock.Status()))
            return lock.Status();
        for (ATL_OBJMAP_ENTRY* entry = m_objectMap; entry->pclsid; ++entry) {
            if (const HRESULT hr = entry->pfnUpdateRegistry(FALSE); FAILED(hr))
                return hr;
        }
        if (unregisterTypeLib) {
            if (const HRESULT hr = AtlUnRegisterTypeLib(m_hInstance, nullptr); FAILED(hr))
                return hr;
        }
        if constexpr (requires { T::UpdateRegistryAppId(FALSE); })
            return T::UpdateRegistryAppId(FALSE);
        return S_OK;
    }

    HRESULT AddCommonRGSReplacements(CRegObject& registrar) noexcept override
    {
        if constexpr (requires(OleString& text) { T::GetAppIdText(text); }) {
            OleString appid;
            if (const HRESULT hr = T::GetAppIdText(appid); FAILED(hr))
                return hr;
            return registrar.AddReplacement(OLESTR("APPID"), appid.c_str());
        }
        return S_OK;
    }

    HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) noexcept
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (m_bInitFailed || !GetModuleCriticalSection().IsInitialized())
            return E_UNEXPECTED;
        ATL_OBJMAP_ENTRY* entry = FindEntry(rclsid);
        if (!entry)
            return CLASS_E_CLASSNOTAVAILABLE;
        IUnknown* classObject = nullptr;
        const HRESULT created = GetClassObject(*entry, &classObject);
        if (FAILED(created))
            return created;
        const HRESULT hr = classObject->QueryInterface(riid, ppv);
        return SUCCEEDED(hr) && !*ppv ? CLASS_E_CLASSNOTAVAILABLE : hr;
    }

    // Stops the classes, releases the cached class objects, deletes the critical section.
    // Safe to call more than once.
    void Term() noexcept
    {
        if (m_objectMap && !m_terminated) {
            m_terminated = true;
            for (ATL_OBJMAP_ENTRY* entry = m_objectMap; entry->pclsid; ++entry) {
                entry->pfnObjectMain(false);
                if (IUnknown* classObject = std::atomic_ref<IUnknown*>(entry->pCF).exchange(nullptr))
                    classObject->Release();
            }
        }
        CAtlModule::Term();
    }

    ATL_OBJMAP_ENTRY* GetObjectMap() const noexcept { return m_objectMap; }

private:
    // The first class names the module's registrations; a module without classes locks on
    // its type library's id.
    const GUID& RegistrationLockClass() const noexcept { return m_objectMap->pclsid ? *m_objectMap->pclsid : m_libid; }

    ATL_OBJMAP_ENTRY* FindEntry(REFCLSID rclsid) const noexcept
    {
        for (ATL_OBJMAP_ENTRY* entry = m_objectMap; entry->pclsid; ++entry) {
            if (IsEqualCLSID(*entry->pclsid, rclsid))
                return entry;
        }
        return nullptr;
    }

    // The entry's class object, created once: tested before and again inside the module
    // critical section, so concurrent first requests create one.
    HRESULT GetClassObject(ATL_OBJMAP_ENTRY& entry, IUnknown** classObject) noexcept
    {
        std::atomic_ref<IUnknown*> cached(entry.pCF);
        *classObject = cached.load(std::memory_order_acquire);
        if (*classObject)
            return S_OK;
        CComCritSecLock<CComCriticalSection> lock(GetModuleCriticalSection());
        *classObject = cached.load(std::memory_order_acquire);
        if (*classObject)
            return S_OK;
        IUnknown* created = nullptr;
        const HRESULT hr =
            entry.pfnGetClassObject(entry.pfnCreateInstance, __uuidof(IUnknown), reinterpret_cast<void**>(&created));
        if (FAILED(hr))
            return hr;
        if (!created)
            return CLASS_E_CLASSNOTAVAILABLE;
        cached.store(created, std::memory_order_release);
        *classObject = created;
        return S_OK;
    }

    ATL_OBJMAP_ENTRY* const m_objectMap;
    bool m_terminated = false;
};
