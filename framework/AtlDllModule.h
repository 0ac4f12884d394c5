// The in-process server module: hands out the class objects of its object map and tells the
// runtime when it may be unloaded. T is the derived module class; one that declares
// DECLARE_LIBID has its type library id recorded at construction.
#pragma once

#include <atomic>

#include <windows.h>

#include "AtlModule.h"
#include "DispatchImpl.h"
#include "ObjectMap.h"

// Names the type library of a module class.
#define DECLARE_LIBID(libid) \
    static const GUID& WINAPI GetLibraryId() noexcept { return libid; }

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

    HINSTANCE GetModuleInstance() const noexcept { return m_hInstance; }
    ATL_OBJMAP_ENTRY* GetObjectMap() const noexcept { return m_objectMap; }

private:
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
    HINSTANCE m_hInstance = nullptr;
    bool m_terminated = false;
};
