// LumoEnumProperty: the typed values of an item, one value and one changed flag per pair of
// name and namespace, kept in key order. Enumeration hands out one LumoProperty snapshot
// per entry; this module's own writers and copies read the entries in place.
#pragma once

#include <map>

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoEnumHost.h"
#include "LumoItems.h"
#include "LumoObject.h"
#include "PropertyWalk.h"
#include "ZoCOMClassFactory.h"
#include "ZoLock.h"

class CLumoEnumProperty
    : public CLumoObject<CLumoEnumProperty, &CLSID_LumoEnumProperty, ILumoEnumProperty, ILumoItemBase,
                         ILumoPropertyEntries>
    , public CLumoEnumHost
{
public:
    static constexpr OLECHAR kClassName[] = OLESTR("CLumoEnumProperty");
    static constexpr OLECHAR kSourceFile[] = OLESTR(".\\LumoEnumProperty");
    // Inside the release frame, before the marshaler goes.
    void ReleaseMembers();

    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOENUMPROPERTY)

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoEnumProperty
    STDMETHODIMP get_Item(BSTR strName, BSTR strNamespace, VARIANT* pvarItem) override;
    STDMETHODIMP put_Item(BSTR strName, BSTR strNamespace, VARIANT newVal) override;
    STDMETHODIMP get__NewEnum(IUnknown** ppUnk) override;
    STDMETHODIMP Add(VARIANT vItem, BSTR strName, BSTR strNamespace) override;
    STDMETHODIMP Remove(BSTR strName, BSTR strNamespace) override;
    STDMETHODIMP get_Count(LONG* plNumber) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP KeyExists(BSTR strName, BSTR strNamespace, VARIANT_BOOL* pbRetVal) override;
    STDMETHODIMP put_Changed(VARIANT_BOOL bNewVal) override;
    STDMETHODIMP IsPropertyChanged(BSTR strName, BSTR strNamespace, VARIANT_BOOL* pbRetVal) override;
    STDMETHODIMP SetPropertyChanged(BSTR strName, BSTR strNamespace, VARIANT_BOOL bNewVal) override;

    // ILumoPropertyEntries
    STDMETHODIMP VisitEntries(ILumoPropertyEntryVisitor* visitor) override;
    STDMETHODIMP AddEntry(BSTR name, BSTR nameSpace, VARIANT* value, VARIANT_BOOL changed) override;

    // CLumoEnumHost
    LONG HostGetCount() override;
    bool HostGetAt(LONG index, VARIANT* destination) override;

private:
    // Name, then namespace; each copied up to its first NUL, null kept distinct from empty.
    struct PropertyKey {
        PropertyKey(BSTR name, BSTR nameSpace);

        CComBSTR name;
        CComBSTR nameSpace;
    };
    // Null before any string; then UTF-16 code units compared as unsigned numbers, a prefix
    // before the longer string. Case-sensitive and locale-free.
    struct PropertyKeyOrder {
        bool operator()(const PropertyKey& left, const PropertyKey& right) const noexcept;
    };
    struct PropertyEntry {
        CComVariant value;
        bool changed = false;
    };
    using PropertyMap = std::map<PropertyKey, PropertyEntry, PropertyKeyOrder>;

    // The position of the last entry HostGetAt reached, so that an in-order walk steps once
    // per member. index -1: nothing cached.
    struct EnumCursor {
        PropertyMap::iterator position;
        LONG index = -1;
    };

    // The entry gets the value as stored, and is changed.
    void InsertOrReplace(const VARIANT& value, BSTR name, BSTR nameSpace);
    PropertyEntry& InsertOrReplaceStored(CComVariant stored, BSTR name, BSTR nameSpace);
    PropertyEntry* FindEntry(BSTR name, BSTR nameSpace);
    // A new LumoProperty holding the entry, as VT_DISPATCH.
    CComVariant GetItemAsVariant(PropertyMap::const_iterator entry);

    CZoCOMLock m_lock;
    CZoCOMClassFactory m_classFactory;
    PropertyMap m_properties;
    EnumCursor m_cursor;
    // Set while ToString runs, so that a collection that contains itself fails to print
    // instead of recursing without end.
    bool m_walking = false;
};
