#include "NestedXml.h"

#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoString.h"

ZO_SOURCE_FILE(".\\NestedXml")

CNestedDocumentWriter::CNestedDocumentWriter(CZoCOMClassFactory& factory, IXMLDOMDocument* document, LONG rootDepth)
    : m_factory(factory)
    , m_document(document)
    , m_rootDepth(rootDepth)
{
}

LONG CNestedDocumentWriter::Append(ILumoItemBase* object, IXMLDOMNode* parent, const OLECHAR* zoFunctionName)
{
    if (CComPtr<ILumoDocumentTree> tree = ZoQueryIfAnswers<ILumoDocumentTree>(object)) {
        LONG height = 0;
        ZoCheck(tree->SaveXML(m_document, parent, &height), tree);
        // As deep as the text would have been parsed here.
        if (m_rootDepth - 1 + height > CXmlDocument::kMaxElementDepth)
            RaiseTooDeep(zoFunctionName);
        return height;
    }
    CComBSTR text;
    ZoCheck(object->SaveXML(&text), object);
    if (!m_scratch)
        m_scratch.emplace(m_factory, m_rootDepth);
    // A text of this library's writers fails here only for its depth, which the detail names.
    if (!m_scratch->Parse(text))
        RaiseTooDeep(zoFunctionName);
    CComPtr<IXMLDOMElement> root = m_scratch->DocumentElement();
    if (!root)
        ZO_THROW_HR(E_POINTER);
    XmlNode::AppendChild(parent, root);
    return XmlNode::ElementHeight(root);
}

void CNestedDocumentWriter::RaiseTooDeep(const OLECHAR* zoFunctionName)
{
    ZO_RAISE_WITH_INFO(ZO_ERR_UNDEFINED, OLESTR("MaxElementDepth"),
                       CZoStringHelper::IntToString(CXmlDocument::kMaxElementDepth));
}

CComPtr<IUnknown> LoadNestedObject(CZoCOMClassFactory& factory, REFCLSID clsid, const OLECHAR* progId,
                                   IXMLDOMElement* element)
{
    CComPtr<IUnknown> object = factory.CreateObject(clsid, progId);
    if (CComPtr<ILumoDocumentTree> tree = ZoQueryIfAnswers<ILumoDocumentTree>(object)) {
        ZoCheck(tree->LoadXML(element), tree);
        return object;
    }
    CComPtr<ILumoItemBase> loader = ZoQueryIfAnswers<ILumoItemBase>(object);
    if (!loader)
        throw CComError(E_NOINTERFACE);
    ZoCheck(loader->LoadXML(XmlNode::Xml(element)), loader);
    return object;
}
