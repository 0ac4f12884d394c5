// The free-threaded DOM document 3.0 (CLSID_FreeThreadedDOMDocument30) over libxml2.
//
// Parsing is always safe whatever the properties say: no DTD is processed (a document that
// has one fails to load), no external entity or network resource is read, and the element
// depth is bounded (MaxElementDepth, or kDefaultMaxElementDepth when it is 0 or unset).
// "ProhibitDTD", "ResolveExternals" and the resolveExternals property are accepted for the
// code written against MSXML and change nothing of that. Loading is always synchronous and
// never validates.
//
// Without preserveWhiteSpace (the default, as in MSXML) blank-only text between elements is
// dropped on load and a node's text comes without white space at its ends.
#pragma once

#include <atomic>
#include <mutex>

#include <msxml2.h>

#include "common/WideText.h"
#include "msxml3/DomNode.h"

namespace lumo::platform::msxml {

class DomDocument final : public IXMLDOMDocument2, public DomObject {
public:
    // Cannot be aggregated.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept;

    NodeRef Reference() override;

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

    STDMETHODIMP get_doctype(IXMLDOMDocumentType** documentType) override;
    STDMETHODIMP get_implementation(IXMLDOMImplementation** impl) override;
    STDMETHODIMP get_documentElement(IXMLDOMElement** DOMElement) override;
    STDMETHODIMP putref_documentElement(IXMLDOMElement* DOMElement) override;
    STDMETHODIMP createElement(BSTR tagName, IXMLDOMElement** element) override;
    STDMETHODIMP createDocumentFragment(IXMLDOMDocumentFragment** docFrag) override;
    STDMETHODIMP createTextNode(BSTR data, IXMLDOMText** text) override;
    STDMETHODIMP createComment(BSTR data, IXMLDOMComment** comment) override;
    STDMETHODIMP createCDATASection(BSTR data, IXMLDOMCDATASection** cdata) override;
    STDMETHODIMP createProcessingInstruction(BSTR target, BSTR data, IXMLDOMProcessingInstruction** pi) override;
    STDMETHODIMP createAttribute(BSTR name, IXMLDOMAttribute** attribute) override;
    STDMETHODIMP createEntityReference(BSTR name, IXMLDOMEntityReference** entityRef) override;
    STDMETHODIMP getElementsByTagName(BSTR tagName, IXMLDOMNodeList** resultList) override;
    STDMETHODIMP createNode(VARIANT Type, BSTR name, BSTR namespaceURI, IXMLDOMNode** node) override;
    STDMETHODIMP nodeFromID(BSTR idString, IXMLDOMNode** node) override;
    STDMETHODIMP load(VARIANT xmlSource, VARIANT_BOOL* isSuccessful) override;
    STDMETHODIMP get_readyState(LONG* value) override;
    STDMETHODIMP get_parseError(IXMLDOMParseError** errorObj) override;
    STDMETHODIMP get_url(BSTR* urlString) override;
    STDMETHODIMP get_async(VARIANT_BOOL* isAsync) override;
    STDMETHODIMP put_async(VARIANT_BOOL isAsync) override;
    STDMETHODIMP abort() override;
    // S_FALSE and an empty document when the text does not load.
    STDMETHODIMP loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful) override;
    STDMETHODIMP save(VARIANT destination) override;
    STDMETHODIMP get_validateOnParse(VARIANT_BOOL* isValidating) override;
    STDMETHODIMP put_validateOnParse(VARIANT_BOOL isValidating) override;
    STDMETHODIMP get_resolveExternals(VARIANT_BOOL* isResolving) override;
    STDMETHODIMP put_resolveExternals(VARIANT_BOOL isResolving) override;
    STDMETHODIMP get_preserveWhiteSpace(VARIANT_BOOL* isPreserving) override;
    STDMETHODIMP put_preserveWhiteSpace(VARIANT_BOOL isPreserving) override;
    STDMETHODIMP put_onreadystatechange(VARIANT readystatechangeSink) override;
    STDMETHODIMP put_ondataavailable(VARIANT ondataavailableSink) override;
    STDMETHODIMP put_ontransformnode(VARIANT ontransformnodeSink) override;

    STDMETHODIMP get_namespaces(IXMLDOMSchemaCollection** namespaceCollection) override;
    STDMETHODIMP get_schemas(VARIANT* otherCollection) override;
    STDMETHODIMP putref_schemas(VARIANT otherCollection) override;
    STDMETHODIMP validate(IXMLDOMParseError** errorObj) override;
    // "SelectionLanguage" ("XPath", or "XSLPattern", which the paths of an XPath reading
    // serve), "SelectionNamespaces", "ProhibitDTD", "ResolveExternals", "MaxElementDepth";
    // any other name fails with E_FAIL.
    STDMETHODIMP setProperty(BSTR name, VARIANT value) override;
    STDMETHODIMP getProperty(BSTR name, VARIANT* value) override;

private:
    explicit DomDocument(std::shared_ptr<XmlTree> tree) noexcept : m_tree(std::move(tree)) {}
    ~DomDocument() = default;

    std::shared_ptr<XmlTree> CurrentTree();

    std::atomic<ULONG> m_refs{1};
    std::mutex m_lock;
    std::shared_ptr<XmlTree> m_tree;
    bool m_preserveWhiteSpace = false;
    bool m_validateOnParse = true;
    bool m_resolveExternals = false;
    bool m_async = true;
    bool m_prohibitDtd = true;
    LONG m_maxElementDepth = 0;
    bool m_xpath = false;
    WideString m_selectionNamespaces;
};

}  // namespace lumo::platform::msxml
