// Class objects and creation: CoGetClassObject, CoCreateInstance, CoFreeUnusedLibraries(Ex),
// OleRun.
#include <new>

#include <objbase.h>

#include "ole32/Apartment.h"
#include "ole32/BuiltInClasses.h"
#include "ole32/InprocServerTable.h"

namespace {

using namespace lumo::platform;

// Only in-process servers exist here; a context without them finds no registered server,
// as on Windows when the class has no key for the requested kind of server.
HRESULT GetClassObjectPinned(REFCLSID clsid, DWORD context, REFIID riid, void** ppv, PinnedServer& pinned)
{
    if (!ComRuntimeUsableOnThisThread())
        return CO_E_NOTINITIALIZED;
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    if (const BuiltInClass* builtIn = FindBuiltInClass(clsid))
        return GetBuiltInClassObject(*builtIn, riid, ppv);
    if (clsid == CLSID_NULL)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr = InprocServerTable::Instance().Pin(clsid, pinned);
    if (FAILED(hr))
        return hr;
    return pinned.GetClassObject(clsid, riid, ppv);
}

}  // namespace

WINOLEAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    try {
        PinnedServer pinned;
        const HRESULT hr = GetClassObjectPinned(rclsid, dwClsContext, riid, ppv, pinned);
        if (FAILED(hr))
            *ppv = nullptr;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// The module stays pinned until the class object is released, so that CoFreeUnusedLibraries
// on another thread cannot unload it while the instance is being made.
WINOLEAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    try {
        PinnedServer pinned;
        IClassFactory* factory = nullptr;
        HRESULT hr = GetClassObjectPinned(rclsid, dwClsContext, IID_IClassFactory, reinterpret_cast<void**>(&factory),
                                          pinned);
        if (FAILED(hr))
            return hr;
        if (!factory)
            return E_NOINTERFACE;
        hr = factory->CreateInstance(pUnkOuter, riid, ppv);
        factory->Release();
        if (FAILED(hr))
            *ppv = nullptr;
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

WINOLEAPI_(void) CoFreeUnusedLibraries()
{
    CoFreeUnusedLibrariesEx(INFINITE, 0);
}

WINOLEAPI_(void) CoFreeUnusedLibrariesEx(DWORD dwUnloadDelay, DWORD /*dwReserved*/)
{
    try {
        InprocServerTable::Instance().FreeUnused(dwUnloadDelay);
    } catch (const std::bad_alloc&) {
        // Nothing was unloaded; a later call tries again.
    }
}

// The stand-in has no IRunnableObject implementations: every object is running already.
WINOLEAPI OleRun(LPUNKNOWN pUnknown)
{
    return pUnknown ? S_OK : E_INVALIDARG;
}
