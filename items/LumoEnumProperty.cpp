#include "LumoEnumProperty.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "ItemText.h"
#include "ZoCOMUtilities.h"
#include "StoredValue.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE_IS(CLumoEnumProperty::kSourceFile)

namespace {

// Negative, zero or positive as left sorts before, with or after right.
int CompareKeyText(const CComBSTR& left, const CComBSTR& right) noexcept
{
    if (!left.m_str || !right.m_str)
        return (left.m_str ? 1 : 0) - (right.m_str ? 1 : 0);
    const UINT leftLength = left.Length();
    const UINT rightLength = right.Length();
    for (UINT i = 0, common = std::min(leftLength, rightLength); i < common; ++i) {
        const auto leftUnit = static_cast<std::uint16_t>(left.m_str[i]);
        const auto rightUnit = static_cast<std::uint16_t>(right.m_str[i]);
        if (leftUnit != rightUnit)
            return leftUnit < rightUnit ? -1 : 1;
    }
    return leftLength < rightLength ? -1 : (leftLength > rightLength ? 1 : 0);
}

}  // namespace

CLumoEnumProperty::PropertyKey::PropertyKey(BSTR name, BSTR nameSpace)
    : name(static_cast<LPCOLESTR>(name)), nameSpace(static_cast<LPCOLESTR>(nameSpace))
{
}

bool CLumoEnumProperty::PropertyKeyOrder::operator()(const PropertyKey& left, const PropertyKey& right) const noexcept
{
    const int byName = CompareKeyText(left.name, right.name);
    return byName != 0 ? byName < 0 : CompareKeyText(left.nameSpace, right.nameSpace) < 0;
}

void CLumoEnumProperty::ReleaseMembers()
{
    m_classFactory.Clear();
}

STDMETHODIMP CLumoEnumProperty::ToString(VARIANT nIndent, BSTR* pStr)
{
    if (!pStr)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::ToString"), IID_ILumoEnumProperty)
    {
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        const LONG level = IndentLevel(nIndent);
        const OleString indent = IndentText(level);
        OleString text = indent + OLESTR("LumoEnumProperty\n");
        for (const auto& [key, entry] : m_properties) {
            text += indent;
            text += ViewOfBstr(key.name);
            text += OLESTR(" (");
            text += ViewOfBstr(key.nameSpace);
            text += OLESTR("): ");
            CComPtr<ILumoItemBase> nested;
            if (CZoVariant::IsObject(entry.value))
                nested = ZoQueryIfAnswers<ILumoItemBase>(entry.value.punkVal);
            if (nested) {
                // A nested text ends in its own line break, so an empty line follows it.
                CComBSTR nestedText;
                ZoCheck(nested->ToString(NestedIndent(level), &nestedText), nested);
                text += OLESTR("\n");
                text += ViewOfBstr(nestedText);
            } else {
                text += CZoVariant::ToString(entry.value);
            }
            text += OLESTR("\n");
        }
        *pStr = CComBSTR(OleStringView(text)).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::SaveXML(BSTR* pStrXML)
{
    if (!pStrXML)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::SaveXML"), IID_ILumoEnumProperty)
    {
        ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::LoadXML(BSTR /*strXML*/)
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::LoadXML"), IID_ILumoEnumProperty)
    {
        ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::get_Item(BSTR strName, BSTR strNamespace, VARIANT* pvarItem)
{
    if (!pvarItem)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::get_Item"), IID_ILumoEnumProperty)
    {
        // An out-parameter: overwritten, never cleared.
        VariantInit(pvarItem);
        if (const PropertyEntry* entry = FindEntry(strName, strNamespace))
            ZoCheckPlatform(VariantCopy(pvarItem, &entry->value));
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::put_Item(BSTR strName, BSTR strNamespace, VARIANT newVal)
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::put_Item"), IID_ILumoEnumProperty)
    {
        InsertOrReplace(newVal, strName, strNamespace);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::get__NewEnum(IUnknown** ppUnk)
{
    if (!ppUnk)
        return E_POINTER;
    *ppUnk = nullptr;
    ZO_METHOD(OLESTR("CLumoEnumProperty::get__NewEnum"), IID_ILumoEnumProperty)
    {
        const CComPtr<IUnknown> self(GetControllingUnknown());
        CComQIPtr<ILumoEnumVARIANT> enumerator(
            CZoCOMUtils::CreateObject(CLSID_LumoEnumVARIANT, OLESTR("LumoItemsLib::LumoEnumVARIANT"), CLSCTX_ALL));
        if (!enumerator)
            ZO_THROW_HR(E_POINTER);
        ZoCheck(enumerator->SetEnumHost(self, static_cast<CLumoEnumHost*>(this), 0), enumerator);
        CComQIPtr<IEnumVARIANT> result(enumerator);
        if (!result)
            ZO_THROW_HR(E_POINTER);
        *ppUnk = result.Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::Add(VARIANT vItem, BSTR strName, BSTR strNamespace)
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::Add"), IID_ILumoEnumProperty)
    {
        InsertOrReplace(vItem, strName, strNamespace);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::Remove(BSTR strName, BSTR strNamespace)
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::Remove"), IID_ILumoEnumProperty)
    {
        const PropertyKey key(strName, strNamespace);
        m_cursor.index = -1;
        // Taken out first and released afterwards: releasing a value may run foreign code
        // that calls back into this collection.
        const PropertyMap::node_type removed = m_properties.extract(key);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::get_Count(LONG* plNumber)
{
    if (!plNumber)
        return E_POINTER;
    CZoLockHolder holder(&m_lock);
    *plNumber = static_cast<LONG>(m_properties.size());
    return S_OK;
}

STDMETHODIMP CLumoEnumProperty::Clear()
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::Clear"), IID_ILumoEnumProperty)
    {
        m_cursor.index = -1;
        // As in Remove: the values are released once the collection is empty.
        PropertyMap removed;
        removed.swap(m_properties);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::KeyExists(BSTR strName, BSTR strNamespace, VARIANT_BOOL* pbRetVal)
{
    if (!pbRetVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::KeyExists"), IID_ILumoEnumProperty)
    {
        const PropertyEntry* entry = FindEntry(strName, strNamespace);
        *pbRetVal = entry && entry->value.vt != VT_EMPTY ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::put_Changed(VARIANT_BOOL bNewVal)
{
    CZoLockHolder holder(&m_lock);
    for (auto& [key, entry] : m_properties)
        entry.changed = bNewVal != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CLumoEnumProperty::IsPropertyChanged(BSTR strName, BSTR strNamespace, VARIANT_BOOL* pbRetVal)
{
    if (!pbRetVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::IsPropertyChanged"), IID_ILumoEnumProperty)
    {
        const PropertyEntry* entry = FindEntry(strName, strNamespace);
        *pbRetVal = entry && entry->changed ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::SetPropertyChanged(BSTR strName, BSTR strNamespace, VARIANT_BOOL bNewVal)
{
    ZO_METHOD(OLESTR("CLumoEnumProperty::SetPropertyChanged"), IID_ILumoEnumProperty)
    {
        PropertyEntry* entry = FindEntry(strName, strNamespace);
        if (!entry)
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        entry->changed = bNewVal != VARIANT_FALSE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumProperty::VisitEntries(ILumoPropertyEntryVisitor* visitor)
{
    if (!visitor)
        return E_POINTER;
    CZoLockHolder holder(&m_lock);
    for (const auto& [key, entry] : m_properties) {
        const HRESULT hr =
            visitor->Visit(key.name, key.nameSpace, &entry.value, entry.changed ? VARIANT_TRUE : VARIANT_FALSE);
        if (hr != S_OK)
            return hr;
    }
    return S_OK;
}

STDMETHODIMP CLumoEnumProperty::AddEntry(BSTR name, BSTR nameSpace, VARIANT* value, VARIANT_BOOL changed)
{
    if (!value)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnumProperty::AddEntry"), IID_ILumoEnumProperty)
    {
        InsertOrReplaceStored(TakenAsStored(*value), name, nameSpace).changed = changed != VARIANT_FALSE;
    }
    ZO_METHOD_END
}

LONG CLumoEnumProperty::HostGetCount()
{
    CZoLockHolder holder(&m_lock);
    ZO_FUNCTION(OLESTR("CLumoEnumProperty::HostGetCount"))
    {
        return static_cast<LONG>(m_properties.size());
    }
    ZO_FUNCTION_END
}

bool CLumoEnumProperty::HostGetAt(LONG index, VARIANT* destination)
{
    CZoLockHolder holder(&m_lock);
    ZO_FUNCTION(OLESTR("CLumoEnumProperty::HostGetAt"))
    {
        if (index < 0)
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        if (static_cast<ULONG>(index) >= m_properties.size())
            return false;
        if (m_cursor.index == -1 || index != m_cursor.index + 1)
            m_cursor.position = std::next(m_properties.begin(), index);
        else
            ++m_cursor.position;
        m_cursor.index = index;
        CComVariant item = GetItemAsVariant(m_cursor.position);
        const HRESULT hr = item.Detach(destination);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        return true;
    }
    ZO_FUNCTION_END
}

void CLumoEnumProperty::InsertOrReplace(const VARIANT& value, BSTR name, BSTR nameSpace)
{
    // Copied before the map is touched, so that a failed copy leaves the collection as it was.
    InsertOrReplaceStored(StoredCopy(value), name, nameSpace);
}

CLumoEnumProperty::PropertyEntry& CLumoEnumProperty::InsertOrReplaceStored(CComVariant stored, BSTR name,
                                                                           BSTR nameSpace)
{
    // Hinted at the end: a document's entries come in key order, each placed without a search.
    PropertyEntry& entry = m_properties.try_emplace(m_properties.end(), PropertyKey(name, nameSpace))->second;
    // The old value goes out with stored, once the entry is whole again.
    entry.value.Swap(stored);
    entry.changed = true;
    m_cursor.index = -1;
    return entry;
}

CLumoEnumProperty::PropertyEntry* CLumoEnumProperty::FindEntry(BSTR name, BSTR nameSpace)
{
    const auto found = m_properties.find(PropertyKey(name, nameSpace));
    return found != m_properties.end() ? &found->second : nullptr;
}

CComVariant CLumoEnumProperty::GetItemAsVariant(PropertyMap::const_iterator entry)
{
    ZO_FUNCTION(OLESTR("CLumoEnumProperty::GetItemAsVariant"))
    {
        CComQIPtr<ILumoProperty> property(
            m_classFactory.CreateObject(CLSID_LumoProperty, OLESTR("LumoItemsLib::LumoProperty")));
        if (!property)
            ZO_THROW_HR(E_POINTER);
        // Changed last: put Name and put Namespace set the property's own flag.
        ZoCheck(property->put_Name(entry->first.name), property);
        ZoCheck(property->put_Namespace(entry->first.nameSpace), property);
        ZoCheck(property->put_Value(entry->second.value), property);
        ZoCheck(property->put_Changed(entry->second.changed ? VARIANT_TRUE : VARIANT_FALSE), property);
        return CComVariant(static_cast<IDispatch*>(property.p));
    }
    ZO_FUNCTION_END
}
