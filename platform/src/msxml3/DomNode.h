// A node of a DOM tree other than the document object itself. Every node answers
// IXMLDOMNode; an element also answers IXMLDOMElement.
#pragma once

#include <atomic>

#include <msxml2.h>

#include "msxml3/XmlTree.h"

namespace lumo::platform::msxml {

// The stand-in's own objects give their node through this; the answer holds no reference.
class DomObject {
public:
    virtual NodeRef Reference() = 0;

protected:
    ~DomObject() = default;
};

// Asked of an IXMLDOMNode for its DomObject; only the stand-in's objects answer it.
extern const IID IID_DomObject;

// The node's tree and node, or null for an object from elsewhere.
bool ReferenceOf(IUnknown* object, NodeRef& ref) noexcept;

// A new object for node (of tree), as the interface asked for.
HRESULT WrapNode(const std::shared_ptr<XmlTree>& tree, xmlNodePtr node, REFIID riid, void** ppv) noexcept;

class DomNode final : public IXMLDOMElement, public DomObject {
public:
    DomNode(std::shared_ptr<XmlTree> tree, xmlNodePtr node) noexcept : m_ref{std::move(tree), node} {}

    NodeRef Reference() override { return m_ref; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    STDMETHODIMP get_nodeName(BSTR* name) override;
    STDMETHODIMP get_nodeValue(VARIANT* value) override;
    STDMETHODIMP put_nodeValue(VARIANT value) override;
    STDMETHODIMP get_nodeType(DOMNodeType* type) override;
    STDMETHODIMP get_parentNode(IXMLDOMNode** parent) override;
    STDMETHODIMP get_childNodes(IXMLDOMNodeList** childList) override;
    STDMETHODIMP get_firstChild(IXMLDOMNode** firstChild) override;
    STDMETHODIMP get_lastChild(IXMLDOMNode** lastChild) override;
    STDMETHODIMP get_previousSibling(IXMLDOMNode** previousSibling) override;
    STDMETHODIMP get_nextSibling(IXMLDOMNode** nextSibling) override;
    STDMETHODIMP get_attributes(IXMLDOMNamedNodeMap** attributeMap) override;
    STDMETHODIMP insertBefore(IXMLDOMNode* newChild, VARIANT refChild, IXMLDOMNode** outNewChild) override;
    STDMETHODIMP replaceChild(IXMLDOMNode* newChild, IXMLDOMNode* oldChild, IXMLDOMNode** outOldChild) override;
    STDMETHODIMP removeChild(IXMLDOMNode* childNode, IXMLDOMNode** oldChild) override;
    STDMETHODIMP appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) override;
    STDMETHODIMP hasChildNodes(VARIANT_BOOL* hasChild) override;
    STDMETHODIMP get_ownerDocument(IXMLDOMDocument** DOMDocument) override;
    STDMETHODIMP cloneNode(VARIANT_BOOL deep, IXMLDOMNode** cloneRoot) override;
    STDMETHODIMP get_nodeTypeString(BSTR* nodeType) override;
    STDMETHODIMP get_text(BSTR* text) override;
    STDMETHODIMP put_text(BSTR text) override;
    STDMETHODIMP get_specified(VARIANT_BOOL* isSpecified) override;
    STDMETHODIMP get_definition(IXMLDOMNode** definitionNode) override;
    STDMETHODIMP get_nodeTypedValue(VARIANT* typedValue) override;
    STDMETHODIMP put_nodeTypedValue(VARIANT typedValue) override;
    STDMETHODIMP get_dataType(VARIANT* dataTypeName) override;
    STDMETHODIMP put_dataType(BSTR dataTypeName) override;
    STDMETHODIMP get_xml(BSTR* xmlString) override;
    STDMETHODIMP transformNode(IXMLDOMNode* stylesheet, BSTR* xmlString) override;
    STDMETHODIMP selectNodes(BSTR queryString, IXMLDOMNodeList** resultList) override;
    STDMETHODIMP selectSingleNode(BSTR queryString, IXMLDOMNode** resultNode) override;
    STDMETHODIMP get_parsed(VARIANT_BOOL* isParsed) override;
    STDMETHODIMP get_namespaceURI(BSTR* namespaceURI) override;
    STDMETHODIMP get_prefix(BSTR* prefixString) override;
    STDMETHODIMP get_baseName(BSTR* nameString) override;
    STDMETHODIMP transformNodeToObject(IXMLDOMNode* stylesheet, VARIANT outputObject) override;

    STDMETHODIMP get_tagName(BSTR* tagName) override;
    STDMETHODIMP getAttribute(BSTR name, VARIANT* value) override;
    STDMETHODIMP setAttribute(BSTR name, VARIANT value) override;

private:
    ~DomNode() = default;

    std::atomic<ULONG> m_refs{1};
    const NodeRef m_ref;
};

}  // namespace lumo::platform::msxml
