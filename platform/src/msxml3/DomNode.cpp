#include "msxml3/DomNode.h"

#include <new>

#include "msxml3/NodeOperations.h"

namespace lumo::platform::msxml {

// {6C1E2F4A-93B7-4D58-A0C2-5E8F17B3D904}
const IID IID_DomObject = {0x6C1E2F4A, 0x93B7, 0x4D58, {0xA0, 0xC2, 0x5E, 0x8F, 0x17, 0xB3, 0xD9, 0x04}};

bool ReferenceOf(IUnknown* object, NodeRef& ref) noexcept
{
    DomObject* domObject = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_DomObject, reinterpret_cast<void**>(&domObject))) ||
        !domObject)
        return false;
    ref = domObject->Reference();
    return ref.tree && ref.node;
}

HRESULT WrapNode(const std::shared_ptr<XmlTree>& tree, xmlNodePtr node, REFIID riid, void** ppv) noexcept
{
    *ppv = nullptr;
    auto* object = new (std::nothrow) DomNode(tree, node);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

STDMETHODIMP DomNode::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_DomObject) {
        *ppv = static_cast<DomObject*>(this);
        return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNode ||
        (riid == IID_IXMLDOMElement && m_ref.node->type == XML_ELEMENT_NODE)) {
        *ppv = static_cast<IXMLDOMElement*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DomNode::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) DomNode::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

STDMETHODIMP DomNode::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP DomNode::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP DomNode::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) { return E_NOTIMPL; }

STDMETHODIMP DomNode::get_nodeName(BSTR* name) { return GetNodeName(m_ref, name); }
STDMETHODIMP DomNode::get_nodeValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::put_nodeValue(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_nodeType(DOMNodeType* type) { return GetNodeType(m_ref, type); }
STDMETHODIMP DomNode::get_parentNode(IXMLDOMNode** parent) { return GetRelative(m_ref, Relative::Parent, parent); }
STDMETHODIMP DomNode::get_childNodes(IXMLDOMNodeList** childList) { return GetChildNodes(m_ref, childList); }
STDMETHODIMP DomNode::get_firstChild(IXMLDOMNode** firstChild)
{
    return GetRelative(m_ref, Relative::FirstChild, firstChild);
}
STDMETHODIMP DomNode::get_lastChild(IXMLDOMNode** lastChild)
{
    return GetRelative(m_ref, Relative::LastChild, lastChild);
}
STDMETHODIMP DomNode::get_previousSibling(IXMLDOMNode** previousSibling)
{
    return GetRelative(m_ref, Relative::PreviousSibling, previousSibling);
}
STDMETHODIMP DomNode::get_nextSibling(IXMLDOMNode** nextSibling)
{
    return GetRelative(m_ref, Relative::NextSibling, nextSibling);
}
STDMETHODIMP DomNode::get_attributes(IXMLDOMNamedNodeMap**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::insertBefore(IXMLDOMNode*, VARIANT, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::replaceChild(IXMLDOMNode*, IXMLDOMNode*, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::removeChild(IXMLDOMNode*, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild)
{
    return AppendChild(m_ref, newChild, outNewChild);
}
STDMETHODIMP DomNode::hasChildNodes(VARIANT_BOOL* hasChild) { return HasChildNodes(m_ref, hasChild); }
STDMETHODIMP DomNode::get_ownerDocument(IXMLDOMDocument**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::cloneNode(VARIANT_BOOL, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_nodeTypeString(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_text(BSTR* text) { return GetText(m_ref, text); }
STDMETHODIMP DomNode::put_text(BSTR text) { return PutText(m_ref, text); }
STDMETHODIMP DomNode::get_specified(VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_definition(IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_nodeTypedValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::put_nodeTypedValue(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_dataType(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::put_dataType(BSTR) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_xml(BSTR* xmlString) { return GetXml(m_ref, xmlString); }
STDMETHODIMP DomNode::transformNode(IXMLDOMNode*, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::selectNodes(BSTR queryString, IXMLDOMNodeList** resultList)
{
    return SelectNodes(m_ref, queryString, resultList);
}
STDMETHODIMP DomNode::selectSingleNode(BSTR queryString, IXMLDOMNode** resultNode)
{
    return SelectSingleNode(m_ref, queryString, resultNode);
}
STDMETHODIMP DomNode::get_parsed(VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_namespaceURI(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_prefix(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::get_baseName(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomNode::transformNodeToObject(IXMLDOMNode*, VARIANT) { return E_NOTIMPL; }

STDMETHODIMP DomNode::get_tagName(BSTR* tagName) { return GetTagName(m_ref, tagName); }
STDMETHODIMP DomNode::getAttribute(BSTR name, VARIANT* value) { return GetAttribute(m_ref, name, value); }
STDMETHODIMP DomNode::setAttribute(BSTR name, VARIANT value) { return SetAttribute(m_ref, name, value); }

}  // namespace lumo::platform::msxml
