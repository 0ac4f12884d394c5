// LumoProperty: one named, namespaced value with its changed flag.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoItems.h"
#include "ZoLock.h"

class CLumoProperty
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CLumoProperty, &CLSID_LumoProperty>
    , public ISupportErrorInfo
    , public IDispatchImpl<ILumoProperty, &IID_ILumoProperty, &LIBID_LumoItemsLib, 1, 0>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOPROPERTY)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CLumoProperty)
        COM_INTERFACE_ENTRY(ILumoItemBase)
        COM_INTERFACE_ENTRY(ILumoProperty)
        COM_INTERFACE_ENTRY(IDispatch)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
    END_COM_MAP()

    CLumoProperty() noexcept;
    ~CLumoProperty();

    HRESULT FinalConstruct();
    void FinalRelease();

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoProperty
    STDMETHODIMP get_Name(BSTR* pVal) override;
    STDMETHODIMP put_Name(BSTR newVal) override;
    STDMETHODIMP get_Value(VARIANT* pVal) override;
    STDMETHODIMP put_Value(VARIANT newVal) override;
    STDMETHODIMP get_Changed(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Changed(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_Namespace(BSTR* pVal) override;
    STDMETHODIMP put_Namespace(BSTR newVal) override;

private:
    CZoCOMLock m_lock;
    CComPtr<IUnknown> m_marshaler;
    CComBSTR m_name;
    CComBSTR m_namespace;
    VARIANT m_value;
    // Not given by the collection for a directly created property: such a one starts unchanged.
    VARIANT_BOOL m_changed = VARIANT_FALSE;
};
