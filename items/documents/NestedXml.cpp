#include "NestedXml.h"

#include "ZoCheck.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoString.h"

ZO_SOURCE_FILE(".\\NestedXml")

CNestedDocumentWriter::CNestedDocumentWriter(CZoCOMClassFactory& factory, LONG rootDepth)
    : m_factory(factory)
    , m_rootDepth(rootDepth)
{
}

void CNestedDocumentWriter::Append(ILumoItemBase* object, IXMLDOMNode* parent, const OLECHAR* zoFunctionName)
{
    CComBSTR text;
    ZoCheck(object->SaveXML(&text), object);
    if (!m_scratch)
        m_scratch.emplace(m_factory, m_rootDepth);
    // A text of this library's writers fails here only for its depth, which the detail names.
    if (!m_scratch->Parse(text))
        ZO_RAISE_WITH_INFO(ZO_ERR_UNDEFINED, OLESTR("MaxElementDepth"),
                           CZoStringHelper::IntToString(CXmlDocument::kMaxElementDepth));
    CComPtr<IXMLDOMElement> root = m_scratch->DocumentElement();
    if (!root)
        ZO_THROW_HR(E_POINTER);
    XmlNode::AppendChild(parent, root);
}

CComPtr<IUnknown> LoadNestedObject(CZoCOMClassFactory& factory, REFCLSID clsid, const OLECHAR* progId, BSTR xml)
{
    CComPtr<IUnknown> object = factory.CreateObject(clsid, progId);
    CComPtr<ILumoItemBase> loader = ZoQueryIfAnswers<ILumoItemBase>(object);
    if (!loader)
        throw CComError(E_NOINTERFACE);
    ZoCheck(loader->LoadXML(xml), loader);
    return object;
}
