#include "CollectionDocument.h"

#include "LumoEnum.h"
#include "NestedXml.h"
#include "XmlDocument.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"

// The document is the collection's, and its errors carry the collection's source name.
ZO_SOURCE_FILE_IS(CLumoEnum::kSourceFile)

namespace {

// Reads the members from the collection's element.
void ReadCollectionElement(CZoCOMClassFactory& factory, IXMLDOMElement* root, const std::function<void()>& clearMembers,
                           const std::function<void(IUnknown* item)>& appendItem, const OLECHAR* zoFunctionName)
{
    CComPtr<IXMLDOMNodeList> children = XmlNode::ChildNodes(root);
    const LONG count = XmlNode::Length(children);
    clearMembers();
    for (LONG i = 0; i < count; ++i) {
        CComPtr<IXMLDOMElement> element = XmlNode::AsElement(XmlNode::Item(children, i));
        if (!element)
            continue;
        if (ViewOfBstr(XmlNode::Name(element)) != OleStringView(OLESTR("item")))
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        appendItem(LoadNestedObject(factory, CLSID_LumoItem, kItemProgId, element));
    }
}

}  // namespace

CComBSTR WriteCollectionDocument(CZoCOMClassFactory& factory, std::vector<SItem>& members, const OLECHAR* zoFunctionName)
{
    CXmlDocument document(factory);
    WriteCollectionInto(factory, document.Dom(), document.Dom(), members, zoFunctionName);
    return document.Xml();
}

LONG WriteCollectionInto(CZoCOMClassFactory& factory, IXMLDOMDocument* document, IXMLDOMNode* parent,
                         std::vector<SItem>& members, const OLECHAR* zoFunctionName)
{
    // A member's document root lies under "enum".
    CNestedDocumentWriter nested(factory, document, 2);
    LONG height = 1;
    CComPtr<IXMLDOMElement> collection = XmlNode::CreateElement(document, OLESTR("enum"));
    XmlNode::SetAttribute(collection, OLESTR("progid"), kEnumProgId);
    for (SItem& member : members) {
        const VARIANT& value = member.GetVal();
        if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN)
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        CComPtr<ILumoItem> item = ZoQueryIfAnswers<ILumoItem>(ZoQueryIfAnswers<IUnknown>(value.punkVal));
        if (!item)
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        const LONG below = 1 + nested.Append(item, collection, zoFunctionName);
        height = height > below ? height : below;
    }
    XmlNode::AppendChild(parent, collection);
    return height;
}

void ReadCollectionDocument(CZoCOMClassFactory& factory, BSTR xml, const std::function<void()>& clearMembers,
                            const std::function<void(IUnknown* item)>& appendItem, const OLECHAR* zoFunctionName)
{
    CXmlDocument document(factory);
    if (!document.Parse(xml))
        ZO_RAISE(ZO_ERR_INVALID_STRING_FORMAT);
    CComPtr<IXMLDOMElement> root = document.SelectElement(OLESTR("/enum"));
    if (!root)
        ZO_THROW_HR(E_POINTER);
    ReadCollectionElement(factory, root, clearMembers, appendItem, zoFunctionName);
}

void ReadCollectionFrom(CZoCOMClassFactory& factory, IXMLDOMElement* element, const std::function<void()>& clearMembers,
                        const std::function<void(IUnknown* item)>& appendItem, const OLECHAR* zoFunctionName)
{
    CComPtr<IXMLDOMElement> root = XmlNode::SelectElement(element, OLESTR("self::enum"));
    if (!root)
        ZO_THROW_HR(E_POINTER);
    ReadCollectionElement(factory, root, clearMembers, appendItem, zoFunctionName);
}
