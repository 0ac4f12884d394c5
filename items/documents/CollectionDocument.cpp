#include "CollectionDocument.h"

#include "LumoEnum.h"
#include "NestedXml.h"
#include "XmlDocument.h"
#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"

// The document is the collection's, and its errors carry the collection's source name.
ZO_SOURCE_FILE_IS(CLumoEnum::kSourceFile)

CComBSTR WriteCollectionDocument(CZoCOMClassFactory& factory, std::vector<SItem>& members, const OLECHAR* zoFunctionName)
{
    CXmlDocument document(factory);
    // A member's document root lies under "enum".
    CNestedDocumentWriter nested(factory, 2);
    CComPtr<IXMLDOMElement> collection = document.CreateElement(OLESTR("enum"));
    XmlNode::SetAttribute(collection, OLESTR("progid"), kEnumProgId);
    for (SItem& member : members) {
        const VARIANT& value = member.GetVal();
        if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN)
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        CComPtr<ILumoItem> item = ZoQueryIfAnswers<ILumoItem>(ZoQueryIfAnswers<IUnknown>(value.punkVal));
        if (!item)
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        nested.Append(item, collection, zoFunctionName);
    }
    document.AppendRoot(collection);
    return document.Xml();
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
    CComPtr<IXMLDOMNodeList> children = XmlNode::ChildNodes(root);
    const LONG count = XmlNode::Length(children);
    clearMembers();
    for (LONG i = 0; i < count; ++i) {
        CComPtr<IXMLDOMElement> element = XmlNode::AsElement(XmlNode::Item(children, i));
        if (!element)
            continue;
        if (ViewOfBstr(XmlNode::Name(element)) != OleStringView(OLESTR("item")))
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        appendItem(LoadNestedObject(factory, CLSID_LumoItem, kItemProgId, XmlNode::Xml(element)));
    }
}
