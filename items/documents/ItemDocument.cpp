#include "ItemDocument.h"

#include <exception>
#include <optional>
#include <vector>

#include "ItemText.h"
#include "LumoItem.h"
#include "NestedXml.h"
#include "PropertyWalk.h"
#include "XmlDocument.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoGUID.h"
#include "ZoVariant.h"
#include "ZoXmlText.h"

// The document is the item's, and its errors carry the item's source name.
ZO_SOURCE_FILE_IS(CLumoItem::kSourceFile)

namespace {

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

// The names of the attributes and elements of a property, made once for all of an item's.
struct PropertyXmlNames {
    CComBSTR property{OLESTR("property")};
    CComBSTR name{OLESTR("name")};
    CComBSTR nameSpace{OLESTR("namespace")};
    CComBSTR changed{OLESTR("changed")};
    CComBSTR type{OLESTR("type")};
    CComBSTR progId{OLESTR("progid")};
};

CComVariant ReadNestedObject(CZoCOMClassFactory& factory, IXMLDOMElement* element, const PropertyXmlNames& names,
                             const OLECHAR* zoFunctionName)
{
    const std::optional<CComBSTR> progId = XmlNode::Attribute(element, names.progId);
    if (!progId)
        return CComVariant();
    const OleStringView text = ViewOfBstr(*progId);
    CComPtr<IUnknown> object;
    if (text == OleStringView(kItemProgId))
        object = LoadNestedObject(factory, CLSID_LumoItem, kItemProgId, element);
    else if (text == OleStringView(kEnumProgId))
        object = LoadNestedObject(factory, CLSID_LumoEnum, kEnumProgId, element);
    else
        ZO_RAISE_WITH_INFO(ZO_ERR_UNSUPPORTED_XML_OBJECT, OLESTR("progid"), text);
    return CComVariant(object.p);
}

void ReadProperty(CZoCOMClassFactory& factory, IXMLDOMElement* element, CPropertyAdder& properties,
                  const PropertyXmlNames& names, const OLECHAR* zoFunctionName)
{
    const std::optional<CComBSTR> name = XmlNode::Attribute(element, names.name);
    const std::optional<CComBSTR> nameSpace = XmlNode::Attribute(element, names.nameSpace);
    const std::optional<CComBSTR> changed = XmlNode::Attribute(element, names.changed);
    if (!name || !nameSpace)
        ZO_RAISE(ZO_ERR_INVALID_STRING_FORMAT);

    CComVariant value;
    if (CComPtr<IXMLDOMElement> child = XmlNode::FirstChildElement(element)) {
        value = ReadNestedObject(factory, child, names, zoFunctionName);
    } else {
        const std::optional<CComBSTR> type = XmlNode::Attribute(element, names.type);
        if (!type)
            ZO_RAISE(ZO_ERR_INVALID_STRING_FORMAT);
        value = CZoVariant::TakeXSDString(XmlNode::Text(element), ViewOfBstr(*type));
    }
    std::optional<bool> changedFlag;
    if (changed)
        changedFlag = changed->Length() > 0 && changed->m_str[0] == OLECHAR('1');
    properties.Add(*name, *nameSpace, value, changedFlag);
}

// Reads the item from its element.
void ReadItemElement(CZoCOMClassFactory& factory, IXMLDOMElement* root, ItemDocumentFields& item,
                     const OLECHAR* zoFunctionName)
{
    const PropertyXmlNames names;
    const std::optional<CComBSTR> progId = XmlNode::Attribute(root, names.progId);
    if (!progId || ViewOfBstr(*progId) != OleStringView(kItemProgId))
        ZO_RAISE(ZO_ERR_INVALID_PROGID_IN_XML);

    if (std::optional<CComBSTR> guid = XmlNode::Attribute(root, OLESTR("guid")))
        item.guid = CopyUpToFirstZero(*guid);
    if (std::optional<CComBSTR> schemaType = XmlNode::Attribute(root, OLESTR("itemtype")))
        item.schemaType = CopyUpToFirstZero(*schemaType);

    CComPtr<IXMLDOMNodeList> elements = XmlNode::SelectNodes(root, OLESTR("property"));
    const LONG count = XmlNode::Length(elements);
    if (count == 0 && !item.hasProperties)
        return;
    CComPtr<ILumoEnumProperty> properties = item.properties();
    ZoCheck(properties->Clear(), properties);
    CPropertyAdder adder(properties);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<IXMLDOMElement> element = XmlNode::AsElement(XmlNode::Item(elements, i));
        if (!element)
            ZO_THROW_HR(E_POINTER);
        ReadProperty(factory, element, adder, names, zoFunctionName);
    }
}

// Runs the read in a frame whose error names the reader's input as "ItemXML", made only when
// the read fails. A nested item's reader has named its own text, the smallest that holds the
// fault; the texts that hold that one are left out.
template <class Read, class Input>
void ReadWithItemXmlDetail(const OLECHAR* zoFunctionName, Read&& read, Input&& input)
{
    ZoDetailingFrame(zoFunctionName, zoSourceFile, __LINE__, read, [&](CZoException& error) {
        if (!error.HasInfo(OLESTR("ItemXML")))
            error.AddInfo(OLESTR("ItemXML"), ItemXmlDetail(input()));
    });
}

// Writes the "property" elements of one item under its root: a value at once, an object's
// document when WriteNestedObjects is called. Errors carry the property's name and namespace.
class CPropertyElementWriter {
public:
    CPropertyElementWriter(CZoCOMClassFactory& factory, IXMLDOMDocument* document, IXMLDOMElement* root,
                           const OLECHAR* zoFunctionName)
        // A nested document's root lies under "item" and "property".
        : m_nested(factory, document, 3)
        , m_document(document)
        , m_root(root)
        , m_zoFunctionName(zoFunctionName)
    {
    }

    // An entry without a value has no element. An object's element is placed now and filled
    // later, so that the elements keep the entries' order.
    void Write(const PropertyEntryView& entry)
    {
        if (entry.value.vt == VT_EMPTY || entry.value.vt == VT_NULL)
            return;
        CComPtr<IXMLDOMElement> element = XmlNode::CreateElement(m_document, m_names.property);
        XmlNode::SetAttribute(element, m_names.name, ViewOfOleText(entry.name));
        XmlNode::SetAttributeText(element, m_names.nameSpace, m_nameSpaces.For(ViewOfOleText(entry.nameSpace)));
        XmlNode::SetAttributeText(element, m_names.changed, entry.changed ? m_changedTexts.set : m_changedTexts.unset);
        m_height = m_height > 2 ? m_height : 2;
        if (CZoVariant::IsObject(entry.value)) {
            m_objects.push_back(NestedValue{element, CComVariant(entry.value), CComBSTR(entry.name),
                                            CComBSTR(entry.nameSpace)});
        } else {
            InPropertyFrame(entry.name, entry.nameSpace, [&] { WriteValue(element, entry.value); });
        }
        XmlNode::AppendChild(m_root, element);
    }

    // Writes the objects' documents in order; returns the element levels the item's document
    // has.
    LONG WriteNestedObjects()
    {
        for (const NestedValue& nested : m_objects) {
            InPropertyFrame(nested.name, nested.nameSpace, [&] {
                CComPtr<ILumoItemBase> object = ZoQueryIfAnswers<ILumoItemBase>(nested.value.punkVal);
                if (!object) {
                    // Written as any other value: ToXSDString raises what it cannot write.
                    WriteValue(nested.element, nested.value);
                    return;
                }
                const LONG below = 2 + m_nested.Append(object, nested.element, m_zoFunctionName);
                m_height = m_height > below ? m_height : below;
            });
        }
        m_objects.clear();
        return m_height;
    }

private:
    struct NestedValue {
        CComPtr<IXMLDOMElement> element;
        CComVariant value;
        CComBSTR name;
        CComBSTR nameSpace;
    };
    // The value's text and XML Schema type.
    void WriteValue(IXMLDOMElement* element, const VARIANT& value)
    {
        OleString type;
        XmlNode::SetText(element, CZoVariant::ToXSDString(value, type));
        XmlNode::SetAttributeText(element, m_names.type, m_types.For(type));
    }

    template <class Body>
    void InPropertyFrame(BSTR name, BSTR nameSpace, Body&& body)
    {
        const OLECHAR* zoFunctionName = m_zoFunctionName;
        ZoDetailingFrame(zoFunctionName, zoSourceFile, __LINE__, body, [&](CZoException& error) {
            error.AddInfo(OLESTR("PropName"), ViewOfOleText(name));
            error.AddInfo(OLESTR("PropNamespace"), ViewOfOleText(nameSpace));
        });
    }

    // The attribute texts that most properties share, each made once while it repeats.
    class CRepeatedText {
    public:
        const CComBSTR& For(OleStringView text)
        {
            if (!m_made || ViewOfBstr(m_text) != text) {
                m_text = XmlNode::XmlText(text);
                m_made = true;
            }
            return m_text;
        }

    private:
        CComBSTR m_text;
        bool m_made = false;
    };
    struct ChangedTexts {
        CComBSTR set{OLESTR("1")};
        CComBSTR unset{OLESTR("0")};
    };

    const PropertyXmlNames m_names;
    const ChangedTexts m_changedTexts;
    CRepeatedText m_nameSpaces;
    CRepeatedText m_types;
    CNestedDocumentWriter m_nested;
    IXMLDOMDocument* m_document;
    IXMLDOMElement* m_root;
    const OLECHAR* m_zoFunctionName;
    std::vector<NestedValue> m_objects;
    LONG m_height = 1;
};
}  // namespace

CComBSTR WriteItemDocument(CZoCOMClassFactory& factory, const ItemDocumentFields& item, const OLECHAR* zoFunctionName)
{
    CXmlDocument document(factory);
    WriteItemInto(factory, document.Dom(), document.Dom(), item, zoFunctionName);
    return document.Xml();
}

LONG WriteItemInto(CZoCOMClassFactory& factory, IXMLDOMDocument* document, IXMLDOMNode* parent,
                   const ItemDocumentFields& item, const OLECHAR* zoFunctionName)
{
    CComPtr<IXMLDOMElement> root = XmlNode::CreateElement(document, OLESTR("item"));
    XmlNode::SetAttribute(root, OLESTR("progid"), kItemProgId);
    const GUID guid = CZoGUID::StringToGUID(ViewOfOleText(item.guid));
    if (guid != GUID_NULL)
        XmlNode::SetAttribute(root, OLESTR("guid"), CZoGUID::GUIDToString(guid, false));
    if (!ViewOfOleText(item.schemaType).empty())
        XmlNode::SetAttribute(root, OLESTR("itemtype"), ViewOfOleText(item.schemaType));

    CPropertyElementWriter elements(factory, document, root, zoFunctionName);
    // The walk may hold the collection's lock, and a nested object's writer takes locks of
    // its own: the nested objects are written after it. They all come before the entry whose
    // failure ended the walk, if one did, and so go first.
    std::exception_ptr failure;
    try {
        if (item.hasProperties)
            ForEachProperty(
                item.properties(),
                [&](const PropertyEntryView& entry) {
                    elements.Write(entry);
                    return true;
                },
                zoFunctionName);
    } catch (...) {
        failure = std::current_exception();
    }
    const LONG height = elements.WriteNestedObjects();
    if (failure)
        std::rethrow_exception(failure);
    XmlNode::AppendChild(parent, root);
    return height;
}

void ReadItemDocument(CZoCOMClassFactory& factory, BSTR xml, ItemDocumentFields& item, const OLECHAR* zoFunctionName)
{
    ReadWithItemXmlDetail(
        zoFunctionName,
        [&] {
            CXmlDocument document(factory);
            if (!document.Parse(xml))
                ZO_RAISE(ZO_ERR_INVALID_STRING_FORMAT);
            CComPtr<IXMLDOMElement> root = document.SelectElement(OLESTR("/item"));
            if (!root)
                ZO_THROW_HR(E_POINTER);
            ReadItemElement(factory, root, item, zoFunctionName);
        },
        [&] { return xml; });
}

void ReadItemFrom(CZoCOMClassFactory& factory, IXMLDOMElement* element, ItemDocumentFields& item,
                  const OLECHAR* zoFunctionName)
{
    ReadWithItemXmlDetail(
        zoFunctionName,
        [&] {
            CComPtr<IXMLDOMElement> root = XmlNode::SelectElement(element, OLESTR("self::item"));
            if (!root)
                ZO_THROW_HR(E_POINTER);
            ReadItemElement(factory, root, item, zoFunctionName);
        },
        [&] { return XmlNode::Xml(element); });
}
