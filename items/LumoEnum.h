// LumoEnum: an ordered collection of values and items, each with an optional unique string
// key, searchable by property value.
#pragma once

#include <unordered_map>
#include <vector>

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoEnumHost.h"
#include "LumoItems.h"
#include "LumoObject.h"
#include "NestedXml.h"
#include "SItem.h"
#include "ZoCOMClassFactory.h"
#include "ZoLock.h"

class CLumoEnum
    : public CLumoObject<CLumoEnum, &CLSID_LumoEnum, ILumoEnum, ILumoItemBase, ILumoDocumentTree>
    , public CLumoEnumHost
{
public:
    static constexpr OLECHAR kClassName[] = OLESTR("CLumoEnum");
    static constexpr OLECHAR kSourceFile[] = OLESTR(".\\LumoEnum");
    // Inside the release frame, before the marshaler goes.
    void ReleaseMembers();

    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOENUM)

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoDocumentTree
    STDMETHODIMP SaveXML(IXMLDOMDocument* document, IXMLDOMNode* parent, LONG* height) override;
    STDMETHODIMP LoadXML(IXMLDOMElement* element) override;

    // ILumoEnum
    STDMETHODIMP get_Item(VARIANT vIndex, VARIANT* pvarItem) override;
    STDMETHODIMP put_Item(VARIANT vIndex, VARIANT newVal) override;
    STDMETHODIMP get__NewEnum(IUnknown** ppUnk) override;
    STDMETHODIMP get_Key(LONG nIndex, VARIANT* pvarKey) override;
    STDMETHODIMP Add(VARIANT vItem, VARIANT vKey) override;
    STDMETHODIMP Remove(VARIANT vIndex) override;
    STDMETHODIMP get_Count(LONG* plNumber) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP AddAll(ILumoEnum* piEnum) override;
    STDMETHODIMP KeyExists(VARIANT vKey, VARIANT_BOOL* pbRetVal) override;
    STDMETHODIMP Find(BSTR strName, BSTR strNamespace, VARIANT varItem, ILumoItemBase** ppiRetval) override;
    STDMETHODIMP FindAll(BSTR strName, BSTR strNamespace, VARIANT varItem, ILumoEnum** ppiRetval) override;

    // CLumoEnumHost
    LONG HostGetCount() override;
    bool HostGetAt(LONG index, VARIANT* destination) override;

private:
    static constexpr LONG kNotFound = -1;

    // The member an index or key names, kNotFound for a key no member has; raises for
    // other types and for positions outside the members.
    LONG GetIndex(const VARIANT& index);
    // The member with this key, kNotFound when none has it.
    LONG FindKey(BSTR key) const;
    CComPtr<IUnknown> FindImpl(BSTR name, BSTR nameSpace, const VARIANT& value, bool findAll);
    void Append(const VARIANT& value, const VARIANT& key);
    void RemoveAt(LONG index);
    void RemoveAll();

    CZoCOMLock m_lock;
    CZoCOMClassFactory m_classFactory;
    std::vector<SItem> m_items;
    // Key text to position, beside the members: keys are unique, so each names one member.
    std::unordered_map<OleString, LONG> m_keyIndex;
    // Set while ToString or SaveXML runs, so that an object that contains itself fails
    // instead of recursing without end.
    bool m_walking = false;
};
