// The class-object side of a creatable class: its class id, its class factory and how its
// instances are created (aggregatable unless the class says otherwise).
#pragma once

#include <windows.h>

#include "ComClassFactory.h"
#include "ComCreator.h"

template <class T, const CLSID* pclsid>
class CComCoClass {
public:
    DECLARE_CLASSFACTORY()
    DECLARE_AGGREGATABLE(T)

    static const CLSID& WINAPI GetObjectCLSID() noexcept { return *pclsid; }

    // A new instance, plain (outer null) or aggregated, handing out Q.
    template <class Q>
    static HRESULT CreateInstance(IUnknown* outer, Q** pp) noexcept
    {
        return T::_CreatorClass::CreateInstance(outer, __uuidof(Q), reinterpret_cast<void**>(pp));
    }
    template <class Q>
    static HRESULT CreateInstance(Q** pp) noexcept
    {
        return CreateInstance(nullptr, pp);
    }
};
