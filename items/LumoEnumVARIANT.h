// LumoEnumVARIANT: the standard enumerator over any collection of the library. It copies
// nothing: each call reads the collection live through its CLumoEnumHost part, so members
// added after the enumerator was made are seen.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoEnumHost.h"
#include "LumoItems.h"
#include "LumoObject.h"

class CLumoEnumVARIANT
    : public CLumoObject<CLumoEnumVARIANT, &CLSID_LumoEnumVARIANT, ILumoEnumVARIANT, IEnumVARIANT>
{
public:
    static constexpr OLECHAR kClassName[] = OLESTR("CLumoEnumVARIANT");
    static constexpr OLECHAR kSourceFile[] = OLESTR(".\\LumoEnumVARIANT");
    // Inside the release frame, before the marshaler goes.
    void ReleaseMembers();

    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOENUMVARIANT)

    // ILumoEnumVARIANT: pEnumHost is the collection's CLumoEnumHost part, passed as void*;
    // pEnumReference keeps that collection alive.
    STDMETHODIMP SetEnumHost(IUnknown* pEnumReference, void* pEnumHost, LONG nCurrentIndex) override;

    // IEnumVARIANT
    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override;

private:
    CComPtr<IUnknown> m_reference;
    CLumoEnumHost* m_host = nullptr;   // null until SetEnumHost: not initialised
    // The index of the member that Next returns next. Not locked: one enumerator serves one
    // thread at a time, and every host call takes the collection's own lock.
    LONG m_position = 0;
};
