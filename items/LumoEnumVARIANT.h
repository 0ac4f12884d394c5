// LumoEnumVARIANT: the standard enumerator over any collection of the library. It copies
// nothing: each call reads the collection live through its CLumoEnumHost part, so members
// added after the enumerator was made are seen.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoEnumHost.h"
#include "LumoItems.h"

class CLumoEnumVARIANT
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CLumoEnumVARIANT, &CLSID_LumoEnumVARIANT>
    , public ISupportErrorInfo
    , public ILumoEnumVARIANT
    , public IEnumVARIANT
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOENUMVARIANT)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CLumoEnumVARIANT)
        COM_INTERFACE_ENTRY(ILumoEnumVARIANT)
        COM_INTERFACE_ENTRY(IEnumVARIANT)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
    END_COM_MAP()

    HRESULT FinalConstruct();
    void FinalRelease();

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // ILumoEnumVARIANT: pEnumHost is the collection's CLumoEnumHost part, passed as void*;
    // pEnumReference keeps that collection alive.
    STDMETHODIMP SetEnumHost(IUnknown* pEnumReference, void* pEnumHost, LONG nCurrentIndex) override;

    // IEnumVARIANT
    STDMETHODIMP Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** ppEnum) override;

private:
    CComPtr<IUnknown> m_marshaler;
    CComPtr<IUnknown> m_reference;
    CLumoEnumHost* m_host = nullptr;   // null until SetEnumHost: not initialised
    // The index of the member that Next returns next. Not locked: one enumerator serves one
    // thread at a time, and every host call takes the collection's own lock.
    LONG m_position = 0;
};
