#include "LumoItem.h"

#include <optional>
#include <vector>

#include "ItemText.h"
#include "NestedXml.h"
#include "XmlDocument.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoGUID.h"
#include "ZoString.h"
#include "ZoVariant.h"
#include "ZoXmlText.h"

ZO_SOURCE_FILE_IS(CLumoItem::kSourceFile)

namespace {

// The properties of a collection, read one by one through its enumerator, as Clone copies them.
struct PropertySnapshot {
    CComBSTR name;
    CComBSTR nameSpace;
    CComVariant value;
    VARIANT_BOOL changed = VARIANT_FALSE;
};

// Each element of the collection's enumerator, n of them (the count read first), as a
// property; an element that is not one fails with E_POINTER.
template <class Visit>
void ForEachProperty(ILumoEnumProperty* properties, Visit&& visit)
{
    LONG count = 0;
    ZoCheck(properties->get_Count(&count), properties);
    CComPtr<IUnknown> unknown;
    ZoCheck(properties->get__NewEnum(&unknown), properties);
    CComPtr<IEnumVARIANT> enumerator = ZoQueryIfAnswers<IEnumVARIANT>(unknown);
    if (!enumerator)
        throw CComError(E_POINTER);
    ZoCheck(enumerator->Reset(), enumerator);
    for (LONG i = 0; i < count; ++i) {
        CComVariant element;
        ZoCheck(enumerator->Next(1, &element, nullptr), enumerator);
        CComPtr<ILumoProperty> property;
        if (CZoVariant::IsObject(element))
            property = ZoQueryIfAnswers<ILumoProperty>(element.punkVal);
        if (!property)
            throw CComError(E_POINTER);
        if (!visit(property.p))
            return;
    }
}

// The "ItemXML" detail of a reader's error: the input, cut after kMaxItemXmlDetail characters
// with a note of how much is left out, so that an error stays small whatever the input. What
// XML cannot carry becomes "_", as in every text the library writes into a document: a NUL
// would end the error object's description there.
constexpr size_t kMaxItemXmlDetail = 64 * 1024;

OleString ItemXmlDetail(BSTR xml)
{
    const OleStringView text = ViewOfBstr(xml);
    if (text.size() <= kMaxItemXmlDetail)
        return CZoXmlText::ReplaceInvalidCharacters(text);
    return CZoXmlText::ReplaceInvalidCharacters(text.substr(0, kMaxItemXmlDetail)) +
           ZoFormat(OLESTR("... [cut: %u more characters]"), static_cast<unsigned>(text.size() - kMaxItemXmlDetail));
}

}  // namespace

void CLumoItem::ReleaseMembers()
{
    m_classFactory.Clear();
}

CComPtr<ILumoEnumProperty> CLumoItem::GetProperties()
{
    ZO_FUNCTION(OLESTR("CLumoItem::GetProperties"))
    {
        CZoLockHolder holder(&m_lock);
        if (!m_properties) {
            m_properties = ZoQueryIfAnswers<ILumoEnumProperty>(
                m_classFactory.CreateObject(CLSID_LumoEnumProperty, OLESTR("LumoItemsLib::LumoEnumProperty")));
            if (!m_properties)
                ZO_THROW_HR(E_POINTER);
        }
        return m_properties;
    }
    ZO_FUNCTION_END
}

STDMETHODIMP CLumoItem::get_GUID(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_GUID"), IID_ILumoItem)
    {
        *pVal = m_guid.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_GUID(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_GUID"), IID_ILumoItem)
    {
        m_guid = CopyUpToFirstZero(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_SchemaType(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_SchemaType"), IID_ILumoItem)
    {
        *pVal = m_schemaType.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_SchemaType(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_SchemaType"), IID_ILumoItem)
    {
        m_schemaType = CopyUpToFirstZero(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_Properties(ILumoEnumProperty** pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_Properties"), IID_ILumoItem)
    {
        *pVal = GetProperties().Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_Properties(ILumoEnumProperty* newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_Properties"), IID_ILumoItem)
    {
        // Anything that is not a property collection leaves the item with none: the next use
        // creates an empty one.
        m_properties = ZoQueryIfAnswers<ILumoEnumProperty>(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::Clone(VARIANT objTarget, ILumoItem** ppiRetval)
{
    if (!ppiRetval)
        return E_POINTER;
    // The source is read whole, under its lock, before the target is touched: an item cloned
    // into itself, or into an item that shares its collection, keeps its content, and two
    // items cloned into each other at once never wait on each other.
    ZO_METHOD_UNLOCKED(OLESTR("CLumoItem::Clone"), IID_ILumoItem)
    {
        *ppiRetval = nullptr;
        CComBSTR guid, schemaType;
        std::vector<PropertySnapshot> snapshot;
        {
            CZoLockHolder holder(&m_lock);
            guid = m_guid;
            schemaType = m_schemaType;
            ForEachProperty(GetProperties(), [&](ILumoProperty* property) {
                PropertySnapshot entry;
                ZoCheck(property->get_Namespace(&entry.nameSpace), property);
                ZoCheck(property->get_Name(&entry.name), property);
                ZoCheck(property->get_Value(&entry.value), property);
                ZoCheck(property->get_Changed(&entry.changed), property);
                snapshot.push_back(std::move(entry));
                return true;
            });
        }

        CComPtr<ILumoItem> target;
        if (CZoVariant::IsObject(objTarget))
            target = ZoQueryIfAnswers<ILumoItem>(objTarget.punkVal);
        CComPtr<ILumoEnumProperty> targetProperties;
        if (target) {
            ZoCheck(target->put_GUID(CComBSTR(OLESTR(""))), target);
            ZoCheck(target->put_SchemaType(CComBSTR(OLESTR(""))), target);
            ZoCheck(target->get_Properties(&targetProperties), target);
            ZoCheck(targetProperties->Clear(), targetProperties);
            ZoCheck(target->put_Changed(VARIANT_FALSE), target);
        } else {
            target = ZoQueryIfAnswers<ILumoItem>(
                CZoCOMUtils::CreateObject(CLSID_LumoItem, OLESTR("LumoItemsLib::LumoItem"), CLSCTX_ALL));
            if (!target)
                ZO_THROW_HR(E_POINTER);
            ZoCheck(target->get_Properties(&targetProperties), target);
        }

        ZoCheck(target->put_GUID(guid), target);
        ZoCheck(target->put_SchemaType(schemaType), target);
        for (const PropertySnapshot& entry : snapshot) {
            ZoCheck(targetProperties->Add(entry.value, entry.name, entry.nameSpace), targetProperties);
            ZoCheck(targetProperties->SetPropertyChanged(entry.name, entry.nameSpace, entry.changed),
                    targetProperties);
        }
        *ppiRetval = target.Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_Changed(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_Changed"), IID_ILumoItem)
    {
        bool changed = false;
        ForEachProperty(GetProperties(), [&](ILumoProperty* property) {
            VARIANT_BOOL flag = VARIANT_FALSE;
            ZoCheck(property->get_Changed(&flag), property);
            changed = flag == VARIANT_TRUE;
            return !changed;
        });
        *pVal = changed ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_Changed(VARIANT_BOOL newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_Changed"), IID_ILumoItem)
    {
        CComPtr<ILumoEnumProperty> properties = GetProperties();
        ZoCheck(properties->put_Changed(newVal), properties);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::ToString(VARIANT nIndent, BSTR* pStr)
{
    if (!pStr)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::ToString"), IID_ILumoItem)
    {
        if (m_walking)
            throw ContainsItselfError(zoSourceFile, __LINE__, zoFunctionName);
        CWalkScope walking(m_walking);
        const LONG level = IndentLevel(nIndent);
        const OleString prefix = IndentText(level);
        OleString text = prefix + OLESTR("LumoItem\n");
        text += prefix + OLESTR("GUID: ") + OleString(TextUpToFirstZero(m_guid)) + OLESTR("\n");
        text += prefix + OLESTR("SchemaType: ") + OleString(TextUpToFirstZero(m_schemaType)) + OLESTR("\n");
        CComPtr<ILumoEnumProperty> properties = GetProperties();
        CComBSTR propertiesText;
        ZoCheck(properties->ToString(NestedIndent(level), &propertiesText), properties);
        text += ViewOfBstr(propertiesText);
        *pStr = CComBSTR(OleStringView(text)).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::SaveXML(BSTR* pStrXML)
{
    if (!pStrXML)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::SaveXML"), IID_ILumoItem)
    {
        *pStrXML = nullptr;
        if (m_walking)
            throw ContainsItselfError(zoSourceFile, __LINE__, zoFunctionName);
        CWalkScope walking(m_walking);
        CXmlDocument document(m_classFactory);
        // A nested document's root lies under "item" and "property".
        CNestedDocumentWriter nested(m_classFactory, 3);
        CComPtr<IXMLDOMElement> item = document.CreateElement(OLESTR("item"));
        XmlNode::SetAttribute(item, OLESTR("progid"), kItemProgId);
        const GUID guid = CZoGUID::StringToGUID(TextUpToFirstZero(m_guid));
        if (guid != GUID_NULL)
            XmlNode::SetAttribute(item, OLESTR("guid"), CZoGUID::GUIDToString(guid, false));
        if (!TextUpToFirstZero(m_schemaType).empty())
            XmlNode::SetAttribute(item, OLESTR("itemtype"), TextUpToFirstZero(m_schemaType));

        ForEachProperty(GetProperties(), [&](ILumoProperty* property) {
            CComBSTR name, nameSpace;
            CComVariant value;
            VARIANT_BOOL changed = VARIANT_FALSE;
            ZoCheck(property->get_Name(&name), property);
            ZoCheck(property->get_Namespace(&nameSpace), property);
            ZoCheck(property->get_Value(&value), property);
            ZoCheck(property->get_Changed(&changed), property);
            if (value.vt == VT_EMPTY || value.vt == VT_NULL)
                return true;
            CComPtr<IXMLDOMElement> element = document.CreateElement(OLESTR("property"));
            XmlNode::SetAttribute(element, OLESTR("name"), TextUpToFirstZero(name));
            XmlNode::SetAttribute(element, OLESTR("namespace"), TextUpToFirstZero(nameSpace));
            XmlNode::SetAttribute(element, OLESTR("changed"), changed == VARIANT_TRUE ? 1L : 0L);
            ZoDetailingFrame(
                zoFunctionName, zoSourceFile, __LINE__,
                [&] {
                    CComPtr<ILumoItemBase> object;
                    if (CZoVariant::IsObject(value))
                        object = ZoQueryIfAnswers<ILumoItemBase>(value.punkVal);
                    if (object) {
                        nested.Append(object, element, zoFunctionName);
                        return;
                    }
                    OleString type;
                    const OleString text = CZoVariant::ToXSDString(value, type);
                    XmlNode::SetText(element, text);
                    XmlNode::SetAttribute(element, OLESTR("type"), type);
                },
                [&](CZoException& error) {
                    error.AddInfo(OLESTR("PropName"), TextUpToFirstZero(name));
                    error.AddInfo(OLESTR("PropNamespace"), TextUpToFirstZero(nameSpace));
                });
            XmlNode::AppendChild(item, element);
            return true;
        });
        document.AppendRoot(item);
        *pStrXML = document.Xml().Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::LoadXML(BSTR strXML)
{
    ZO_METHOD(OLESTR("CLumoItem::LoadXML"), IID_ILumoItem)
    {
        ZoDetailingFrame(
            zoFunctionName, zoSourceFile, __LINE__,
            [&] {
                CXmlDocument document(m_classFactory);
                if (!document.Parse(strXML))
                    ZO_THROW(OLESTR("Invalid string format."), ZO_ERR_INVALID_STRING_FORMAT);
                CComPtr<IXMLDOMElement> root = document.SelectElement(OLESTR("/item"));
                if (!root)
                    ZO_THROW_HR(E_POINTER);
                const std::optional<CComBSTR> progId = XmlNode::Attribute(root, OLESTR("progid"));
                if (!progId || ViewOfBstr(*progId) != OleStringView(kItemProgId))
                    ZO_THROW(OLESTR("Invalid progid in XML."), ZO_ERR_INVALID_PROGID_IN_XML);

                if (std::optional<CComBSTR> guid = XmlNode::Attribute(root, OLESTR("guid")))
                    m_guid = CopyUpToFirstZero(*guid);
                if (std::optional<CComBSTR> schemaType = XmlNode::Attribute(root, OLESTR("itemtype")))
                    m_schemaType = CopyUpToFirstZero(*schemaType);

                CComPtr<IXMLDOMNodeList> elements = document.SelectNodes(OLESTR("/item/property"));
                const LONG count = XmlNode::Length(elements);
                CComPtr<ILumoEnumProperty> properties = GetProperties();
                ZoCheck(properties->Clear(), properties);
                for (LONG i = 0; i < count; ++i) {
                    CComPtr<IXMLDOMElement> element = XmlNode::AsElement(XmlNode::Item(elements, i));
                    if (!element)
                        ZO_THROW_HR(E_POINTER);
                    ReadProperty(element, properties, zoFunctionName);
                }
            },
            [&](CZoException& error) {
                // A nested item's reader has named its own text, the smallest that holds the
                // fault; the texts that hold that one are left out.
                if (!error.HasInfo(OLESTR("ItemXML")))
                    error.AddInfo(OLESTR("ItemXML"), ItemXmlDetail(strXML));
            });
    }
    ZO_METHOD_END
}

void CLumoItem::ReadProperty(IXMLDOMElement* element, ILumoEnumProperty* properties, const OLECHAR* zoFunctionName)
{
    const std::optional<CComBSTR> name = XmlNode::Attribute(element, OLESTR("name"));
    const std::optional<CComBSTR> nameSpace = XmlNode::Attribute(element, OLESTR("namespace"));
    const std::optional<CComBSTR> changed = XmlNode::Attribute(element, OLESTR("changed"));
    if (!name || !nameSpace)
        ZO_THROW(OLESTR("Invalid string format."), ZO_ERR_INVALID_STRING_FORMAT);

    CComVariant value;
    if (CComPtr<IXMLDOMElement> child = XmlNode::SelectElement(element, OLESTR("*"))) {
        value = ReadNestedObject(child, zoFunctionName);
    } else {
        const std::optional<CComBSTR> type = XmlNode::Attribute(element, OLESTR("type"));
        if (!type)
            ZO_THROW(OLESTR("Invalid string format."), ZO_ERR_INVALID_STRING_FORMAT);
        value = CZoVariant::FromXSDString(ViewOfBstr(XmlNode::Text(element)), ViewOfBstr(*type));
    }
    ZoCheck(properties->Add(value, *name, *nameSpace), properties);
    if (changed) {
        const bool set = changed->Length() > 0 && changed->m_str[0] == OLECHAR('1');
        ZoCheck(properties->SetPropertyChanged(*name, *nameSpace, set ? VARIANT_TRUE : VARIANT_FALSE),
                properties);
    }
}

CComVariant CLumoItem::ReadNestedObject(IXMLDOMElement* element, const OLECHAR* zoFunctionName)
{
    const std::optional<CComBSTR> progId = XmlNode::Attribute(element, OLESTR("progid"));
    if (!progId)
        return CComVariant();
    const OleStringView text = ViewOfBstr(*progId);
    CComPtr<IUnknown> object;
    if (text == OleStringView(kItemProgId))
        object = LoadNestedObject(m_classFactory, CLSID_LumoItem, kItemProgId, XmlNode::Xml(element));
    else if (text == OleStringView(kEnumProgId))
        object = LoadNestedObject(m_classFactory, CLSID_LumoEnum, kEnumProgId, XmlNode::Xml(element));
    else
        ZO_THROW_WITH_INFO(OLESTR("Unsupported COM object for XML serialization."), ZO_ERR_UNSUPPORTED_XML_OBJECT,
                           OLESTR("progid"), text);
    return CComVariant(object.p);
}
