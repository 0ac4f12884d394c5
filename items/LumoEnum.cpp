#include "LumoEnum.h"

#include <limits>
#include <utility>

#include "CollectionDocument.h"
#include "ItemText.h"
#include "StoredValue.h"
#include "ValueEquality.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoString.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE_IS(CLumoEnum::kSourceFile)

namespace {

CComVariant MissingArgument()
{
    CComVariant missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
}

// The text by which the key index knows a key string: its text up to the first zero
// character. Such a text never holds a zero character, so a lone zero character stands for
// the null string, which is a key of its own.
OleString KeyText(BSTR key)
{
    return key ? OleString(ViewOfOleText(key)) : OleString(1, OLECHAR(0));
}

bool IsText(BSTR text, const OLECHAR* expected)
{
    return text && ViewOfOleText(text) == OleStringView(expected);
}

}  // namespace

// CLumoEnum

void CLumoEnum::ReleaseMembers()
{
    m_classFactory.Clear();
    RemoveAll();
}

LONG CLumoEnum::FindKey(BSTR key) const
{
    const auto found = m_keyIndex.find(KeyText(key));
    return found == m_keyIndex.end() ? kNotFound : found->second;
}

LONG CLumoEnum::GetIndex(const VARIANT& index)
{
    ZO_FUNCTION(OLESTR("CLumoEnum::GetIndex"))
    {
        LONG position;
        if (CZoVariant::IsInteger(index)) {
            // Read here, not through VariantChangeType: Wine's lets a VT_UI4 above 2^31 wrap.
            constexpr LONGLONG kLowest = std::numeric_limits<LONG>::min();
            constexpr LONGLONG kHighest = std::numeric_limits<LONG>::max();
            const LONGLONG number = CZoVariant::ToInt(index);
            if ((index.vt == VT_UI8 && index.ullVal > ULONGLONG(kHighest)) || number < kLowest || number > kHighest)
                ZO_THROW_HR(DISP_E_OVERFLOW);
            position = static_cast<LONG>(number);
        } else if (index.vt == VT_BSTR) {
            position = FindKey(index.bstrVal);
            if (position == kNotFound)
                return kNotFound;
        } else {
            ZO_RAISE_WITH_INFO(ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"), CZoStringHelper::IntToString(index.vt));
        }
        if (position < 0 || position >= static_cast<LONG>(m_items.size()))
            ZO_THROW_HR(E_INVALIDARG);
        return position;
    }
    ZO_FUNCTION_END
}

void CLumoEnum::Append(const VARIANT& value, const VARIANT& key)
{
    m_items.emplace_back(value, key);
    if (m_items.back().HasKey())
        m_keyIndex.emplace(KeyText(key.bstrVal), static_cast<LONG>(m_items.size() - 1));
}

void CLumoEnum::RemoveAt(LONG index)
{
    if (m_items[index].HasKey())
        m_keyIndex.erase(KeyText(m_items[index].Key().bstrVal));
    m_items.erase(m_items.begin() + index);
    // The later members moved down one place.
    for (size_t later = static_cast<size_t>(index); later < m_items.size(); ++later) {
        if (m_items[later].HasKey())
            m_keyIndex[KeyText(m_items[later].Key().bstrVal)] = static_cast<LONG>(later);
    }
}

void CLumoEnum::RemoveAll()
{
    m_keyIndex.clear();
    std::vector<SItem> members;
    members.swap(m_items);
}

STDMETHODIMP CLumoEnum::get_Item(VARIANT vIndex, VARIANT* pvarItem)
{
    if (!pvarItem)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::get_Item"), IID_ILumoEnum)
    {
        VariantInit(pvarItem);
        const LONG index = GetIndex(vIndex);
        if (index == kNotFound)
            return S_FALSE;
        ZoCheckPlatform(VariantCopy(pvarItem, &m_items[index].GetVal()));
        return S_OK;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::put_Item(VARIANT vIndex, VARIANT newVal)
{
    ZO_METHOD(OLESTR("CLumoEnum::put_Item"), IID_ILumoEnum)
    {
        const LONG index = GetIndex(vIndex);
        if (index == kNotFound)
            return S_FALSE;
        m_items[index].SetItem(newVal);
        return S_OK;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::get__NewEnum(IUnknown** ppUnk)
{
    if (!ppUnk)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::get__NewEnum"), IID_ILumoEnum)
    {
        *ppUnk = nullptr;
        CComPtr<IUnknown> self(GetControllingUnknown());
        CComPtr<ILumoEnumVARIANT> enumerator = ZoQueryIfAnswers<ILumoEnumVARIANT>(
            CZoCOMUtils::CreateObject(CLSID_LumoEnumVARIANT, OLESTR("LumoItemsLib::LumoEnumVARIANT"), CLSCTX_ALL));
        if (!enumerator)
            ZO_THROW_HR(E_POINTER);
        ZoCheck(enumerator->SetEnumHost(self, static_cast<CLumoEnumHost*>(this), 0), enumerator);
        ZoCheck(enumerator->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(ppUnk)), enumerator.p,
                IID_IEnumVARIANT);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::get_Key(LONG nIndex, VARIANT* pvarKey)
{
    if (!pvarKey)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::get_Key"), IID_ILumoEnum)
    {
        VariantInit(pvarKey);
        if (nIndex < 0 || nIndex >= static_cast<LONG>(m_items.size()))
            ZO_THROW_HR(E_INVALIDARG);
        ZoCheckPlatform(VariantCopy(pvarKey, &m_items[nIndex].Key()));
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::Add(VARIANT vItem, VARIANT vKey)
{
    ZO_METHOD(OLESTR("CLumoEnum::Add"), IID_ILumoEnum)
    {
        if (vKey.vt == VT_BSTR) {
            if (FindKey(vKey.bstrVal) != kNotFound)
                ZO_RAISE_WITH_INFO(ZO_ERR_ENUM_KEY_EXISTS, OLESTR("Key"), ViewOfOleText(vKey.bstrVal));
        } else if (!CZoVariant::IsMissing(vKey)) {
            ZO_RAISE_WITH_INFO(ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"), CZoStringHelper::IntToString(vKey.vt));
        }
        Append(vItem, vKey);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::Remove(VARIANT vIndex)
{
    ZO_METHOD(OLESTR("CLumoEnum::Remove"), IID_ILumoEnum)
    {
        if (CZoVariant::IsObject(vIndex)) {
            for (size_t i = 0; i < m_items.size(); ++i) {
                const Equality equality = CompareVariants(m_items[i].StoredValue(), vIndex);
                if (equality == Equality::Incomparable)
                    ZO_THROW_HR(E_INVALIDARG);
                if (equality == Equality::Equal) {
                    RemoveAt(static_cast<LONG>(i));
                    return;
                }
            }
            return;
        }
        const LONG index = GetIndex(vIndex);
        if (index != kNotFound)
            RemoveAt(index);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::get_Count(LONG* plNumber)
{
    if (!plNumber)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::get_Count"), IID_ILumoEnum)
    {
        *plNumber = static_cast<LONG>(m_items.size());
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::Clear()
{
    ZO_METHOD(OLESTR("CLumoEnum::Clear"), IID_ILumoEnum)
    {
        RemoveAll();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::AddAll(ILumoEnum* piEnum)
{
    // The source is read whole before this collection is locked: two collections added into
    // each other at once never wait on each other, and a collection added into itself copies
    // the members it had when the call began.
    ZO_METHOD_UNLOCKED(OLESTR("CLumoEnum::AddAll"), IID_ILumoEnum)
    {
        CComPtr<ILumoEnum> source = ZoQueryIfAnswers<ILumoEnum>(piEnum);
        if (!source)
            return;
        std::vector<std::pair<CComVariant, CComVariant>> members;
        LONG count = 0;
        for (LONG i = 0; ZoCheck(source->get_Count(&count), source), i < count; ++i) {
            CComVariant key, value;
            ZoCheck(source->get_Key(i, &key), source);
            ZoCheck(source->get_Item(CComVariant(static_cast<INT>(i), VT_INT), &value), source);
            members.emplace_back(std::move(key), std::move(value));
        }

        CZoLockHolder holder(&m_lock);
        CComPtr<ILumoEnum> self(static_cast<ILumoEnum*>(this));
        for (auto& [key, value] : members) {
            if (key.vt == VT_BSTR && FindKey(key.bstrVal) != kNotFound)
                ZoCheck(self->put_Item(key, value), self);
            else if (key.vt == VT_BSTR)
                ZoCheck(self->Add(value, key), self);
            else
                ZoCheck(self->Add(value, MissingArgument()), self);
        }
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::KeyExists(VARIANT vKey, VARIANT_BOOL* pbRetVal)
{
    if (!pbRetVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::KeyExists"), IID_ILumoEnum)
    {
        if (vKey.vt != VT_BSTR)
            ZO_RAISE_WITH_INFO(ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"), CZoStringHelper::IntToString(vKey.vt));
        *pbRetVal = GetIndex(vKey) != kNotFound ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ZO_METHOD_END
}

CComPtr<IUnknown> CLumoEnum::FindImpl(BSTR name, BSTR nameSpace, const VARIANT& value, bool findAll)
{
    ZO_FUNCTION(OLESTR("CLumoEnum::FindImpl"))
    {
        CComPtr<ILumoEnum> results;
        if (findAll) {
            results = ZoQueryIfAnswers<ILumoEnum>(
                m_classFactory.CreateObject(CLSID_LumoEnum, OLESTR("LumoItemsLib::LumoEnum")));
            if (!results)
                ZO_THROW_HR(E_POINTER);
        }
        CComVariant target;
        ZoCheckPlatform(target.Copy(&value));
        StoreIntAsI4(target);
        const bool searchesGuid = IsText(name, OLESTR("GUID")) && IsText(nameSpace, ItemNamespaceUri);

        for (size_t i = 0; i < m_items.size(); ++i) {
            const VARIANT& member = m_items[i].StoredValue();
            if (!CZoVariant::IsObject(member))
                continue;
            CComPtr<ILumoEnumProperty> properties = ZoQueryIfAnswers<ILumoEnumProperty>(member.punkVal);
            CComPtr<ILumoItem> item = ZoQueryIfAnswers<ILumoItem>(member.punkVal);
            bool matches = false;
            if (!properties && !item)
                continue;
            if (!properties && searchesGuid) {
                CComBSTR guid;
                ZoCheck(item->get_GUID(&guid), item);
                matches = target.vt == VT_BSTR && target.bstrVal && guid.m_str &&
                          CZoStringHelper::EqualIgnoringAsciiCase(ViewOfOleText(guid), ViewOfOleText(target.bstrVal));
            } else {
                if (!properties) {
                    ZoCheck(item->get_Properties(&properties), item);
                    if (!properties)
                        continue;
                }
                VARIANT_BOOL exists = VARIANT_FALSE;
                ZoCheck(properties->KeyExists(name, nameSpace, &exists), properties);
                if (exists) {
                    CComVariant found;
                    ZoCheck(properties->get_Item(name, nameSpace, &found), properties);
                    const Equality equality = CompareVariants(found, target);
                    if (equality == Equality::Incomparable)
                        ZO_THROW_HR(E_INVALIDARG);
                    matches = equality == Equality::Equal;
                }
            }
            if (!matches)
                continue;
            CComPtr<IUnknown> match;
            if (item)
                ZoCheckPlatform(item->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&match)));
            else
                ZoCheckPlatform(properties->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&match)));
            if (!findAll)
                return match;
            ZoCheck(results->Add(CComVariant(match.p), MissingArgument()), results);
        }
        CComPtr<IUnknown> all;
        if (findAll)
            ZoCheckPlatform(results->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&all)));
        return all;
    }
    ZO_FUNCTION_END
}

STDMETHODIMP CLumoEnum::Find(BSTR strName, BSTR strNamespace, VARIANT varItem, ILumoItemBase** ppiRetval)
{
    if (!ppiRetval)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::Find"), IID_ILumoEnum)
    {
        *ppiRetval = nullptr;
        CComPtr<IUnknown> found = FindImpl(strName, strNamespace, varItem, false);
        *ppiRetval = ZoQueryIfAnswers<ILumoItemBase>(found).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::FindAll(BSTR strName, BSTR strNamespace, VARIANT varItem, ILumoEnum** ppiRetval)
{
    if (!ppiRetval)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::FindAll"), IID_ILumoEnum)
    {
        *ppiRetval = nullptr;
        CComPtr<IUnknown> found = FindImpl(strName, strNamespace, varItem, true);
        *ppiRetval = ZoQueryIfAnswers<ILumoEnum>(found).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::ToString(VARIANT nIndent, BSTR* pStr)
{
    if (!pStr)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::ToString"), IID_ILumoEnum)
    {
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        const LONG level = IndentLevel(nIndent);
        const OleString prefix = IndentText(level);
        OleString text = prefix + OLESTR("LumoEnum\n");
        for (size_t i = 0; i < m_items.size(); ++i) {
            text += prefix;
            if (m_items[i].HasKey())
                text += ViewOfOleText(m_items[i].Key().bstrVal);
            else
                text += OLESTR("Index ") + CZoStringHelper::IntToString(static_cast<LONG>(i));
            text += OLESTR(": ");
            CComVariant value;
            ZoCheckPlatform(value.Copy(&m_items[i].GetVal()));
            CComPtr<ILumoItemBase> nested;
            if (CZoVariant::IsObject(value))
                nested = ZoQueryIfAnswers<ILumoItemBase>(value.punkVal);
            if (nested) {
                CComBSTR nestedText;
                ZoCheck(nested->ToString(NestedIndent(level), &nestedText), nested);
                text += OLESTR("\n");
                text += ViewOfBstr(nestedText);
            } else {
                text += CZoVariant::ToString(value) + OLESTR("\n");
            }
        }
        *pStr = CComBSTR(OleStringView(text)).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::SaveXML(BSTR* pStrXML)
{
    if (!pStrXML)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoEnum::SaveXML"), IID_ILumoEnum)
    {
        *pStrXML = nullptr;
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        *pStrXML = WriteCollectionDocument(m_classFactory, m_items, zoFunctionName).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::LoadXML(BSTR strXML)
{
    ZO_METHOD(OLESTR("CLumoEnum::LoadXML"), IID_ILumoEnum)
    {
        ReadCollectionDocument(
            m_classFactory, strXML, [&] { RemoveAll(); },
            [&](IUnknown* item) { Append(CComVariant(item), MissingArgument()); }, zoFunctionName);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::SaveXML(IXMLDOMDocument* document, IXMLDOMNode* parent, LONG* height)
{
    ZO_METHOD(OLESTR("CLumoEnum::SaveXML"), IID_ILumoEnum)
    {
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        *height = WriteCollectionInto(m_classFactory, document, parent, m_items, zoFunctionName);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::LoadXML(IXMLDOMElement* element)
{
    ZO_METHOD(OLESTR("CLumoEnum::LoadXML"), IID_ILumoEnum)
    {
        ReadCollectionFrom(
            m_classFactory, element, [&] { RemoveAll(); },
            [&](IUnknown* item) { Append(CComVariant(item), MissingArgument()); }, zoFunctionName);
    }
    ZO_METHOD_END
}

LONG CLumoEnum::HostGetCount()
{
    ZO_FUNCTION(OLESTR("CLumoEnum::HostGetCount"))
    {
        CZoLockHolder holder(&m_lock);
        return static_cast<LONG>(m_items.size());
    }
    ZO_FUNCTION_END
}

bool CLumoEnum::HostGetAt(LONG index, VARIANT* destination)
{
    ZO_FUNCTION(OLESTR("CLumoEnum::HostGetAt"))
    {
        CZoLockHolder holder(&m_lock);
        if (index < 0)
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        if (index >= static_cast<LONG>(m_items.size()))
            return false;
        const HRESULT hr = VariantCopy(destination, &m_items[index].GetVal());
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        return true;
    }
    ZO_FUNCTION_END
}
