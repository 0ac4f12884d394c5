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
};
