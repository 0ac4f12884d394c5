// Creation of one component object by class id through the component runtime.
#pragma once

#include <windows.h>

#include "ComPtr.h"

class CZoCOMUtils {
public:
    CZoCOMUtils() = delete;

    // Never null. A failure raises the runtime's status with the details "ClassID" (the
    // class id without braces) and, when progId is not null, "ProgID". progId is a label
    // for that error only; it is never looked up.
    static CComPtr<IUnknown> CreateObject(REFCLSID clsid, const OLECHAR* progId, DWORD context);

    // CoGetClassObject, asking a class's in-process server alone first where the context
    // allows others too, and the whole context only where the class has none. The runtime
    // prefers the in-process server as well, but Wine looks first among the class objects
    // registered in the process: in its surrogate (dllhost, which hosts a module for a client
    // of the other width) that is the surrogate's own, which creates nothing (E_NOTIMPL).
    static HRESULT GetClassObject(REFCLSID clsid, DWORD context, REFIID iid, void** object) noexcept;
};
