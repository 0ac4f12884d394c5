#include "msxml3/DomDocument.h"

#include <new>

#include <oleauto.h>

#include "msxml3/LibXml.h"
#include "msxml3/NodeOperations.h"

namespace lumo::platform::msxml {
namespace {

// The value converted to type vt, cleared on leaving.
class ConvertedValue {
public:
    ConvertedValue(const VARIANT& value, VARTYPE vt) noexcept
    {
        VariantInit(&m_value);
        m_status = VariantChangeType(&m_value, &value, 0, vt);
    }
    ~ConvertedValue() { VariantClear(&m_value); }
    ConvertedValue(const ConvertedValue&) = delete;
    ConvertedValue& operator=(const ConvertedValue&) = delete;

    HRESULT Status() const noexcept { return m_status; }
    const VARIANT& Value() const noexcept { return m_value; }

private:
    VARIANT m_value;
    HRESULT m_status;
};

HRESULT PutBool(bool value, VARIANT_BOOL* out) noexcept
{
    if (!out)
        return E_INVALIDARG;
    *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT TextVariant(WideView text, VARIANT* value) noexcept
{
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value->bstrVal)
        return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    return S_OK;
}

}  // namespace

HRESULT DomDocument::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    try {
        auto* document = new DomDocument(XmlTree::CreateEmpty(false));
        const HRESULT hr = document->QueryInterface(riid, ppv);
        document->Release();
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::shared_ptr<XmlTree> DomDocument::CurrentTree()
{
    std::lock_guard lock(m_lock);
    return m_tree;
}

NodeRef DomDocument::Reference()
{
    std::shared_ptr<XmlTree> tree = CurrentTree();
    xmlNodePtr node = reinterpret_cast<xmlNodePtr>(tree->Doc());
    return NodeRef{std::move(tree), node};
}

STDMETHODIMP DomDocument::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_DomObject) {
        *ppv = static_cast<DomObject*>(this);
        return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IXMLDOMNode || riid == IID_IXMLDOMDocument ||
        riid == IID_IXMLDOMDocument2) {
        *ppv = static_cast<IXMLDOMDocument2*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) DomDocument::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) DomDocument::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

STDMETHODIMP DomDocument::GetTypeInfoCount(UINT* pctinfo)
{
    if (!pctinfo)
        return E_INVALIDARG;
    *pctinfo = 0;
    return S_OK;
}

STDMETHODIMP DomDocument::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo)
{
    if (ppTInfo)
        *ppTInfo = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP DomDocument::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

STDMETHODIMP DomDocument::get_nodeName(BSTR* name) { return GetNodeName(Reference(), name); }
STDMETHODIMP DomDocument::get_nodeValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::put_nodeValue(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_nodeType(DOMNodeType* type) { return GetNodeType(Reference(), type); }
STDMETHODIMP DomDocument::get_parentNode(IXMLDOMNode** parent)
{
    if (!parent)
        return E_INVALIDARG;
    *parent = nullptr;
    return S_FALSE;
}
STDMETHODIMP DomDocument::get_childNodes(IXMLDOMNodeList** childList) { return GetChildNodes(Reference(), childList); }
STDMETHODIMP DomDocument::get_firstChild(IXMLDOMNode** firstChild)
{
    return GetRelative(Reference(), Relative::FirstChild, firstChild);
}
STDMETHODIMP DomDocument::get_lastChild(IXMLDOMNode** lastChild)
{
    return GetRelative(Reference(), Relative::LastChild, lastChild);
}
STDMETHODIMP DomDocument::get_previousSibling(IXMLDOMNode** previousSibling)
{
    return get_parentNode(previousSibling);
}
STDMETHODIMP DomDocument::get_nextSibling(IXMLDOMNode** nextSibling) { return get_parentNode(nextSibling); }
STDMETHODIMP DomDocument::get_attributes(IXMLDOMNamedNodeMap**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::insertBefore(IXMLDOMNode*, VARIANT, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::replaceChild(IXMLDOMNode*, IXMLDOMNode*, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::removeChild(IXMLDOMNode*, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::appendChild(IXMLDOMNode* newChild, IXMLDOMNode** outNewChild)
{
    return AppendChild(Reference(), newChild, outNewChild);
}
STDMETHODIMP DomDocument::hasChildNodes(VARIANT_BOOL* hasChild) { return HasChildNodes(Reference(), hasChild); }
// A document has no owner, as it has no parent.
STDMETHODIMP DomDocument::get_ownerDocument(IXMLDOMDocument** DOMDocument)
{
    if (!DOMDocument)
        return E_INVALIDARG;
    *DOMDocument = nullptr;
    return S_FALSE;
}
STDMETHODIMP DomDocument::cloneNode(VARIANT_BOOL, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_nodeTypeString(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_text(BSTR* text) { return GetText(Reference(), text); }
STDMETHODIMP DomDocument::put_text(BSTR) { return E_FAIL; }
STDMETHODIMP DomDocument::get_specified(VARIANT_BOOL*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_definition(IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_nodeTypedValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::put_nodeTypedValue(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_dataType(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::put_dataType(BSTR) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_xml(BSTR* xmlString) { return GetXml(Reference(), xmlString); }
STDMETHODIMP DomDocument::transformNode(IXMLDOMNode*, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::selectNodes(BSTR queryString, IXMLDOMNodeList** resultList)
{
    return SelectNodes(Reference(), queryString, resultList);
}
STDMETHODIMP DomDocument::selectSingleNode(BSTR queryString, IXMLDOMNode** resultNode)
{
    return SelectSingleNode(Reference(), queryString, resultNode);
}
STDMETHODIMP DomDocument::get_parsed(VARIANT_BOOL* isParsed) { return PutBool(true, isParsed); }
STDMETHODIMP DomDocument::get_namespaceURI(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_prefix(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_baseName(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::transformNodeToObject(IXMLDOMNode*, VARIANT) { return E_NOTIMPL; }

// No document keeps a DTD.
STDMETHODIMP DomDocument::get_doctype(IXMLDOMDocumentType** documentType)
{
    if (!documentType)
        return E_INVALIDARG;
    *documentType = nullptr;
    return S_FALSE;
}
STDMETHODIMP DomDocument::get_implementation(IXMLDOMImplementation**) { return E_NOTIMPL; }

STDMETHODIMP DomDocument::get_documentElement(IXMLDOMElement** DOMElement)
{
    if (!DOMElement)
        return E_INVALIDARG;
    *DOMElement = nullptr;
    const std::shared_ptr<XmlTree> tree = CurrentTree();
    try {
        std::lock_guard lock(tree->Mutex());
        xmlNodePtr root = xmlDocGetRootElement(tree->Doc());
        if (!root)
            return S_FALSE;
        return WrapNode(tree, root, IID_IXMLDOMElement, reinterpret_cast<void**>(DOMElement));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP DomDocument::putref_documentElement(IXMLDOMElement*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createElement(BSTR tagName, IXMLDOMElement** element)
{
    return CreateElement(CurrentTree(), tagName, element);
}
STDMETHODIMP DomDocument::createDocumentFragment(IXMLDOMDocumentFragment**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createTextNode(BSTR, IXMLDOMText**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createComment(BSTR, IXMLDOMComment**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createCDATASection(BSTR, IXMLDOMCDATASection**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createProcessingInstruction(BSTR, BSTR, IXMLDOMProcessingInstruction**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createAttribute(BSTR, IXMLDOMAttribute**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createEntityReference(BSTR, IXMLDOMEntityReference**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::getElementsByTagName(BSTR, IXMLDOMNodeList**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::createNode(VARIANT, BSTR, BSTR, IXMLDOMNode**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::nodeFromID(BSTR, IXMLDOMNode**) { return E_NOTIMPL; }
// Loading from files or addresses is not offered: documents come from text only.
STDMETHODIMP DomDocument::load(VARIANT, VARIANT_BOOL* isSuccessful)
{
    if (isSuccessful)
        *isSuccessful = VARIANT_FALSE;
    return E_NOTIMPL;
}
STDMETHODIMP DomDocument::get_readyState(LONG* value)
{
    if (!value)
        return E_INVALIDARG;
    *value = 4;  // READYSTATE_COMPLETE
    return S_OK;
}
STDMETHODIMP DomDocument::get_parseError(IXMLDOMParseError**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_url(BSTR*) { return E_NOTIMPL; }

STDMETHODIMP DomDocument::get_async(VARIANT_BOOL* isAsync)
{
    std::lock_guard lock(m_lock);
    return PutBool(m_async, isAsync);
}

STDMETHODIMP DomDocument::put_async(VARIANT_BOOL isAsync)
{
    std::lock_guard lock(m_lock);
    m_async = isAsync != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP DomDocument::abort() { return S_OK; }

STDMETHODIMP DomDocument::loadXML(BSTR bstrXML, VARIANT_BOOL* isSuccessful)
{
    if (isSuccessful)
        *isSuccessful = VARIANT_FALSE;
    try {
        ParseSettings settings;
        {
            std::lock_guard lock(m_lock);
            settings.preserveWhiteSpace = m_preserveWhiteSpace;
            if (m_maxElementDepth > 0)
                settings.maxElementDepth = m_maxElementDepth;
        }
        const std::string utf8 = ToUtf8(bstrXML ? WideView(bstrXML, SysStringLen(bstrXML)) : WideView());
        ParseResult parsed = ParseXml(utf8, settings);
        std::shared_ptr<XmlTree> tree;
        if (parsed.doc) {
            try {
                tree = std::make_shared<XmlTree>(parsed.doc, settings.preserveWhiteSpace);
            } catch (...) {
                xmlFreeDoc(parsed.doc);
                throw;
            }
        } else {
            tree = XmlTree::CreateEmpty(settings.preserveWhiteSpace);
        }
        {
            std::lock_guard lock(m_lock);
            m_tree.swap(tree);
        }
        // The old tree goes here, outside the lock, unless DOM objects still show it.
        tree.reset();
        if (!parsed.doc)
            return S_FALSE;
        if (isSuccessful)
            *isSuccessful = VARIANT_TRUE;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP DomDocument::save(VARIANT) { return E_NOTIMPL; }

STDMETHODIMP DomDocument::get_validateOnParse(VARIANT_BOOL* isValidating)
{
    std::lock_guard lock(m_lock);
    return PutBool(m_validateOnParse, isValidating);
}

STDMETHODIMP DomDocument::put_validateOnParse(VARIANT_BOOL isValidating)
{
    std::lock_guard lock(m_lock);
    m_validateOnParse = isValidating != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP DomDocument::get_resolveExternals(VARIANT_BOOL* isResolving)
{
    std::lock_guard lock(m_lock);
    return PutBool(m_resolveExternals, isResolving);
}

STDMETHODIMP DomDocument::put_resolveExternals(VARIANT_BOOL isResolving)
{
    std::lock_guard lock(m_lock);
    m_resolveExternals = isResolving != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP DomDocument::get_preserveWhiteSpace(VARIANT_BOOL* isPreserving)
{
    std::lock_guard lock(m_lock);
    return PutBool(m_preserveWhiteSpace, isPreserving);
}

STDMETHODIMP DomDocument::put_preserveWhiteSpace(VARIANT_BOOL isPreserving)
{
    std::lock_guard lock(m_lock);
    m_preserveWhiteSpace = isPreserving != VARIANT_FALSE;
    m_tree->SetPreserveWhiteSpace(m_preserveWhiteSpace);
    return S_OK;
}

STDMETHODIMP DomDocument::put_onreadystatechange(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::put_ondataavailable(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::put_ontransformnode(VARIANT) { return E_NOTIMPL; }

STDMETHODIMP DomDocument::get_namespaces(IXMLDOMSchemaCollection**) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::get_schemas(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::putref_schemas(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP DomDocument::validate(IXMLDOMParseError**) { return E_NOTIMPL; }

STDMETHODIMP DomDocument::setProperty(BSTR name, VARIANT value)
{
    const WideView property = name ? WideView(name, SysStringLen(name)) : WideView();
    try {
        if (property == u"SelectionLanguage") {
            ConvertedValue text(value, VT_BSTR);
            if (FAILED(text.Status()))
                return text.Status();
            const WideView language(text.Value().bstrVal, SysStringLen(text.Value().bstrVal));
            if (language != u"XPath" && language != u"XSLPattern")
                return E_FAIL;
            std::lock_guard lock(m_lock);
            m_xpath = language == u"XPath";
            return S_OK;
        }
        if (property == u"SelectionNamespaces") {
            ConvertedValue text(value, VT_BSTR);
            if (FAILED(text.Status()))
                return text.Status();
            std::lock_guard lock(m_lock);
            m_selectionNamespaces.assign(text.Value().bstrVal, SysStringLen(text.Value().bstrVal));
            return S_OK;
        }
        if (property == u"ProhibitDTD" || property == u"ResolveExternals") {
            ConvertedValue flag(value, VT_BOOL);
            if (FAILED(flag.Status()))
                return flag.Status();
            std::lock_guard lock(m_lock);
            (property == u"ProhibitDTD" ? m_prohibitDtd : m_resolveExternals) = flag.Value().boolVal != VARIANT_FALSE;
            return S_OK;
        }
        if (property == u"MaxElementDepth") {
            ConvertedValue number(value, VT_I4);
            if (FAILED(number.Status()))
                return number.Status();
            if (number.Value().lVal < 0)
                return E_INVALIDARG;
            std::lock_guard lock(m_lock);
            m_maxElementDepth = number.Value().lVal;
            return S_OK;
        }
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP DomDocument::getProperty(BSTR name, VARIANT* value)
{
    if (!value)
        return E_INVALIDARG;
    VariantInit(value);
    const WideView property = name ? WideView(name, SysStringLen(name)) : WideView();
    std::lock_guard lock(m_lock);
    if (property == u"SelectionLanguage")
        return TextVariant(m_xpath ? WideView(u"XPath") : WideView(u"XSLPattern"), value);
    if (property == u"SelectionNamespaces")
        return TextVariant(m_selectionNamespaces, value);
    if (property == u"ProhibitDTD" || property == u"ResolveExternals") {
        value->vt = VT_BOOL;
        value->boolVal = (property == u"ProhibitDTD" ? m_prohibitDtd : m_resolveExternals) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (property == u"MaxElementDepth") {
        value->vt = VT_I4;
        value->lVal = m_maxElementDepth;
        return S_OK;
    }
    return E_FAIL;
}

}  // namespace lumo::platform::msxml
