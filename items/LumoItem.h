// LumoItem: an identifier text, a type name and a property collection created on first use.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoItems.h"
#include "ZoCOMClassFactory.h"
#include "ZoLock.h"

class CLumoItem
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CLumoItem, &CLSID_LumoItem>
    , public ISupportErrorInfo
    , public IDispatchImpl<ILumoItem, &IID_ILumoItem, &LIBID_LumoItemsLib, 1, 0>
{
public:
    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOITEM)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CLumoItem)
        COM_INTERFACE_ENTRY(ILumoItem)
        COM_INTERFACE_ENTRY(ILumoItemBase)
        COM_INTERFACE_ENTRY(IDispatch)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
    END_COM_MAP()

    HRESULT FinalConstruct();
    void FinalRelease();

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoItem
    STDMETHODIMP get_GUID(BSTR* pVal) override;
    STDMETHODIMP put_GUID(BSTR newVal) override;
    STDMETHODIMP get_SchemaType(BSTR* pVal) override;
    STDMETHODIMP put_SchemaType(BSTR newVal) override;
    STDMETHODIMP get_Properties(ILumoEnumProperty** pVal) override;
    STDMETHODIMP put_Properties(ILumoEnumProperty* newVal) override;
    STDMETHODIMP Clone(VARIANT objTarget, ILumoItem** ppiRetval) override;
    STDMETHODIMP get_Changed(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Changed(VARIANT_BOOL newVal) override;

private:
    // The property collection, created empty when the item has none.
    CComPtr<ILumoEnumProperty> GetProperties();
    // The steps of LoadXML, raising their errors in its frame, whose name they are given.
    // One "property" element of a document, added to the collection:
    void ReadProperty(IXMLDOMElement* element, ILumoEnumProperty* properties, const OLECHAR* zoFunctionName);
    // The value of a "property" element whose first child element is a nested document:
    CComVariant ReadNestedObject(IXMLDOMElement* element, const OLECHAR* zoFunctionName);

    CZoCOMLock m_lock;
    CZoCOMClassFactory m_classFactory;
    CComPtr<ILumoEnumProperty> m_properties;
    CComBSTR m_guid;
    CComBSTR m_schemaType;
    CComPtr<IUnknown> m_marshaler;
    // Set while ToString or SaveXML runs, so that an object that contains itself fails
    // instead of recursing without end.
    bool m_walking = false;
};
