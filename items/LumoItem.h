// LumoItem: an identifier text, a type name and a property collection created on first use.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "ItemDocument.h"
#include "ItemResources.h"
#include "LumoItems.h"
#include "LumoObject.h"
#include "NestedXml.h"
#include "ZoCOMClassFactory.h"
#include "ZoLock.h"

class CLumoItem
    : public CLumoObject<CLumoItem, &CLSID_LumoItem, ILumoItem, ILumoItemBase, ILumoDocumentTree>
{
public:
    static constexpr OLECHAR kClassName[] = OLESTR("CLumoItem");
    static constexpr OLECHAR kSourceFile[] = OLESTR(".\\LumoItem");
    // Inside the release frame, before the marshaler goes.
    void ReleaseMembers();

    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOITEM)

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoDocumentTree
    STDMETHODIMP SaveXML(IXMLDOMDocument* document, IXMLDOMNode* parent, LONG* height) override;
    STDMETHODIMP LoadXML(IXMLDOMElement* element) override;

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
    // The item as its document reads and writes it.
    ItemDocumentFields DocumentFields();

    CZoCOMLock m_lock;
    CZoCOMClassFactory m_classFactory;
    CComPtr<ILumoEnumProperty> m_properties;
    CComBSTR m_guid;
    CComBSTR m_schemaType;
    // Set while ToString or SaveXML runs, so that an object that contains itself fails
    // instead of recursing without end.
    bool m_walking = false;
};
