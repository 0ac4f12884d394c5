#include "LumoEnum.h"

#include <cstring>
#include <limits>
#include <utility>

#include "ItemText.h"
#include "NestedXml.h"
#include "StoredValue.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoString.h"
#include "ZoVariant.h"
#include "XmlDocument.h"

ZO_SOURCE_FILE_IS(CLumoEnum::kSourceFile)

namespace {

CComPtr<IGlobalInterfaceTable> GlobalInterfaceTable()
{
    CComPtr<IGlobalInterfaceTable> table;
    ZoCheckPlatform(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)));
    return table;
}

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
    return key ? OleString(TextUpToFirstZero(key)) : OleString(1, OLECHAR(0));
}

enum class Equality { Equal, Different, Incomparable };

// Variant equality of Remove and Find: the same type word, then the same value by type.
Equality CompareVariants(const VARIANT& left, const VARIANT& right)
{
    if (left.vt != right.vt)
        return Equality::Different;
    auto same = [](bool equal) { return equal ? Equality::Equal : Equality::Different; };
    switch (left.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return Equality::Equal;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        return same(left.uiVal == right.uiVal);
    case VT_I4:
    case VT_ERROR:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return same(left.ulVal == right.ulVal);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return same(left.punkVal == right.punkVal);
    case VT_R4:
        return same(left.fltVal == right.fltVal);
    case VT_R8:
    case VT_DATE:
        return same(left.dblVal == right.dblVal);
    case VT_CY:
    case VT_I8:
    case VT_UI8:
        return same(left.ullVal == right.ullVal);
    case VT_DECIMAL:
        return same(std::memcmp(&left.decVal, &right.decVal, sizeof(DECIMAL)) == 0);
    case VT_I1:
    case VT_UI1:
        return same(left.bVal == right.bVal);
    case VT_BSTR: {
        const UINT length = SysStringByteLen(left.bstrVal);
        return same(length == SysStringByteLen(right.bstrVal) &&
                    (length == 0 || std::memcmp(left.bstrVal, right.bstrVal, length) == 0));
    }
    default:
        return Equality::Incomparable;
    }
}

// Equal texts, up to their first zero characters, the letters A to Z matching either case.
bool EqualIgnoringAsciiCase(OleStringView left, OleStringView right)
{
    auto fold = [](OLECHAR c) { return c >= 'a' && c <= 'z' ? OLECHAR(c - 'a' + 'A') : c; };
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i) {
        if (fold(left[i]) != fold(right[i]))
            return false;
    }
    return true;
}

bool IsText(BSTR text, const OLECHAR* expected)
{
    return text && TextUpToFirstZero(text) == OleStringView(expected);
}

}  // namespace

// SItem

SItem::SItem(const VARIANT& value, const VARIANT& key)
{
    ZO_BLOCK(OLESTR("SItem::SItem"))
    {
        SetItem(value);
        ZoCheckPlatform(m_key.Copy(&key));
    }
    ZO_BLOCK_END
}

SItem::SItem(SItem&& other) noexcept
    : m_key(std::move(other.m_key))
    , m_value(std::move(other.m_value))
    , m_registration(std::exchange(other.m_registration, 0))
{
}

SItem& SItem::operator=(SItem&& other) noexcept
{
    if (this != &other) {
        Revoke();
        m_key = std::move(other.m_key);
        m_value = std::move(other.m_value);
        m_registration = std::exchange(other.m_registration, 0);
    }
    return *this;
}

SItem::~SItem()
{
    Revoke();
}

void SItem::Revoke() noexcept
{
    if (m_registration == 0)
        return;
    CComPtr<IGlobalInterfaceTable> table;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table))))
        table->RevokeInterfaceFromGlobal(m_registration);
    m_registration = 0;
}

bool SItem::IsCOMFTMObject(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("SItem::IsCOMFTMObject"))
    {
        return CZoVariant::IsObject(value) && ZoQueryIfAnswers<ILumoItemBase>(value.punkVal) != nullptr;
    }
    ZO_FUNCTION_END
}

void SItem::SetItem(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("SItem::SetItem"))
    {
        CComVariant stored = StoredCopy(value);
        if (CZoVariant::IsObject(stored) && !IsCOMFTMObject(stored)) {
            DWORD registration = 0;
            ZoCheckPlatform(GlobalInterfaceTable()->RegisterInterfaceInGlobal(stored.punkVal, IID_IUnknown,
                                                                               &registration));
            Revoke();
            m_registration = registration;
            m_value.Clear();
            return;
        }
        Revoke();
        m_value.Swap(stored);
    }
    ZO_FUNCTION_END
}

const VARIANT& SItem::GetVal()
{
    ZO_BLOCK(OLESTR("SItem::GetVal"))
    {
        if (m_registration == 0)
            return;
        CComVariant fetched;
        const HRESULT hr = GlobalInterfaceTable()->GetInterfaceFromGlobal(m_registration, IID_IUnknown,
                                                                           reinterpret_cast<void**>(&fetched.punkVal));
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        fetched.vt = VT_UNKNOWN;
        m_value.Swap(fetched);
    }
    ZO_BLOCK_END
    return m_value;
}

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
            ZO_THROW_WITH_INFO(OLESTR("Invalid enumerator key type."), ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"),
                               CZoStringHelper::IntToString(index.vt));
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
                ZO_THROW_WITH_INFO(OLESTR("Enumerator key already exists."), ZO_ERR_ENUM_KEY_EXISTS, OLESTR("Key"),
                                   TextUpToFirstZero(vKey.bstrVal));
        } else if (!CZoVariant::IsMissing(vKey)) {
            ZO_THROW_WITH_INFO(OLESTR("Invalid enumerator key type."), ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"),
                               CZoStringHelper::IntToString(vKey.vt));
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
            ZO_THROW_WITH_INFO(OLESTR("Invalid enumerator key type."), ZO_ERR_INVALID_ENUM_KEY_TYPE, OLESTR("Type"),
                               CZoStringHelper::IntToString(vKey.vt));
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
                          EqualIgnoringAsciiCase(TextUpToFirstZero(guid), TextUpToFirstZero(target.bstrVal));
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
        if (m_walking)
            throw ContainsItselfError(zoSourceFile, __LINE__, zoFunctionName);
        CWalkScope walking(m_walking);
        const LONG level = IndentLevel(nIndent);
        const OleString prefix = IndentText(level);
        OleString text = prefix + OLESTR("LumoEnum\n");
        for (size_t i = 0; i < m_items.size(); ++i) {
            text += prefix;
            if (m_items[i].HasKey())
                text += TextUpToFirstZero(m_items[i].Key().bstrVal);
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
        if (m_walking)
            throw ContainsItselfError(zoSourceFile, __LINE__, zoFunctionName);
        CWalkScope walking(m_walking);
        CXmlDocument document(m_classFactory);
        // A member's document root lies under "enum".
        CNestedDocumentWriter nested(m_classFactory, 2);
        CComPtr<IXMLDOMElement> collection = document.CreateElement(OLESTR("enum"));
        XmlNode::SetAttribute(collection, OLESTR("progid"), kEnumProgId);
        for (SItem& member : m_items) {
            const VARIANT& value = member.GetVal();
            if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN)
                ZO_THROW(OLESTR("Unimplemented."), ZO_ERR_UNIMPLEMENTED);
            CComPtr<ILumoItem> item = ZoQueryIfAnswers<ILumoItem>(ZoQueryIfAnswers<IUnknown>(value.punkVal));
            if (!item)
                ZO_THROW(OLESTR("Unimplemented."), ZO_ERR_UNIMPLEMENTED);
            nested.Append(item, collection, zoFunctionName);
        }
        document.AppendRoot(collection);
        *pStrXML = document.Xml().Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnum::LoadXML(BSTR strXML)
{
    ZO_METHOD(OLESTR("CLumoEnum::LoadXML"), IID_ILumoEnum)
    {
        CXmlDocument document(m_classFactory);
        if (!document.Parse(strXML))
            ZO_THROW(OLESTR("Invalid string format."), ZO_ERR_INVALID_STRING_FORMAT);
        CComPtr<IXMLDOMElement> root = document.SelectElement(OLESTR("/enum"));
        if (!root)
            ZO_THROW_HR(E_POINTER);
        CComPtr<IXMLDOMNodeList> children = XmlNode::ChildNodes(root);
        const LONG count = XmlNode::Length(children);
        RemoveAll();
        for (LONG i = 0; i < count; ++i) {
            CComPtr<IXMLDOMElement> element = XmlNode::AsElement(XmlNode::Item(children, i));
            if (!element)
                continue;
            if (ViewOfBstr(XmlNode::Name(element)) != OleStringView(OLESTR("item")))
                ZO_THROW(OLESTR("Unimplemented."), ZO_ERR_UNIMPLEMENTED);
            CComPtr<IUnknown> item = LoadNestedObject(m_classFactory, CLSID_LumoItem, kItemProgId, XmlNode::Xml(element));
            Append(CComVariant(item.p), MissingArgument());
        }
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

void CLumoEnum::HostGetAt(LONG index, VARIANT* destination)
{
    ZO_FUNCTION(OLESTR("CLumoEnum::HostGetAt"))
    {
        CZoLockHolder holder(&m_lock);
        if (index < 0 || index >= static_cast<LONG>(m_items.size()))
            ZO_THROW(OLESTR("Invalid function parameter."), ZO_ERR_INVALID_PARAMETER);
        const HRESULT hr = VariantCopy(destination, &m_items[index].GetVal());
        if (FAILED(hr))
            ZO_THROW_HR(hr);
    }
    ZO_FUNCTION_END
}
