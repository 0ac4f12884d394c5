#include "msxml3/NodeOperations.h"

#include <climits>
#include <new>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include <libxml/xpath.h>

#include <oleauto.h>

#include "common/WideText.h"
#include "msxml3/DomNode.h"
#include "msxml3/DomNodeList.h"
#include "msxml3/LibXml.h"

namespace lumo::platform::msxml {
namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

const xmlChar* Chars(const std::string& text) noexcept
{
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string Utf8Of(BSTR text)
{
    return ToUtf8(text ? WideView(text, SysStringLen(text)) : WideView());
}

// Decoded straight into the string, with no copy between: a document's text may be large.
HRESULT NewBstr(std::string_view utf8, BSTR* result) noexcept
{
    const size_t length = Utf16Length(utf8);
    if (length > UINT_MAX)
        return E_OUTOFMEMORY;
    *result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!*result)
        return E_OUTOFMEMORY;
    DecodeUtf8Into(utf8, *result);
    return S_OK;
}

// libxml2's copy of a text, freed here.
std::string TakeXmlText(xmlChar* text)
{
    if (!text)
        return {};
    std::string copy;
    try {
        copy = reinterpret_cast<const char*>(text);
    } catch (...) {
        xmlFree(text);
        throw;
    }
    xmlFree(text);
    return copy;
}

// The text of a node list that is one text node, as it stands in the tree; nothing for any
// other list, whose text libxml2 must join.
std::optional<std::string_view> SingleText(xmlNodePtr children) noexcept
{
    if (!children || children->next || children->type != XML_TEXT_NODE || !children->content)
        return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(children->content));
}

bool IsXmlBlank(char c) noexcept
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text) noexcept
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsXmlBlank(text[first]))
        ++first;
    while (last > first && IsXmlBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool IsDocument(xmlNodePtr node) noexcept
{
    return node->type == XML_DOCUMENT_NODE;
}

bool CanHoldChildren(xmlNodePtr node) noexcept
{
    return node->type == XML_ELEMENT_NODE || IsDocument(node);
}

bool IsAncestorOrSelf(xmlNodePtr candidate, xmlNodePtr node) noexcept
{
    for (xmlNodePtr walk = node; walk; walk = walk->parent)
        if (walk == candidate)
            return true;
    return false;
}

// Links child last under parent. Unlike xmlAddChild this never merges text nodes, which would
// free a node that a DOM object may still show.
void LinkLastChild(xmlNodePtr parent, xmlNodePtr child) noexcept
{
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->last;
    if (parent->last)
        parent->last->next = child;
    else
        parent->children = child;
    parent->last = child;
}

// The node to append to parent's tree: the node itself when it is of that tree, taken out of
// its old place; else a deep copy, the node staying in its own document.
xmlNodePtr NodeToAppend(const NodeRef& parent, const NodeRef& child)
{
    if (parent.tree == child.tree) {
        xmlUnlinkNode(child.node);
        return child.node;
    }
    xmlNodePtr copy = xmlDocCopyNode(child.node, parent.tree->Doc(), 1);
    if (!copy)
        throw std::bad_alloc();
    return copy;
}

HRESULT AppendLocked(const NodeRef& parent, const NodeRef& child, IXMLDOMNode** outNewChild)
{
    PrepareLibXml();
    if (!CanHoldChildren(parent.node))
        return E_FAIL;
    switch (child.node->type) {
    case XML_ELEMENT_NODE:
        // A document holds one element.
        if (IsDocument(parent.node) && xmlDocGetRootElement(parent.tree->Doc()))
            return E_FAIL;
        break;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        if (IsDocument(parent.node))
            return E_FAIL;
        break;
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        break;
    default:
        return E_FAIL;
    }
    if (parent.tree == child.tree && IsAncestorOrSelf(child.node, parent.node))
        return E_FAIL;
    xmlNodePtr appended = NodeToAppend(parent, child);
    LinkLastChild(parent.node, appended);
    if (!outNewChild)
        return S_OK;
    return WrapNode(parent.tree, appended, IID_IXMLDOMNode, reinterpret_cast<void**>(outNewChild));
}

HRESULT Evaluate(const NodeRef& ref, BSTR query, std::vector<xmlNodePtr>& nodes)
{
    PrepareLibXml();
    const std::string expression = Utf8Of(query);
    xmlXPathContextPtr context = ref.tree->XPathContext();
    context->node = ref.node;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(Chars(expression), context);
    HRESULT hr = S_OK;
    if (!result || result->type != XPATH_NODESET) {
        hr = E_FAIL;
    } else if (result->nodesetval) {
        try {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                xmlNodePtr node = result->nodesetval->nodeTab[i];
                // Namespace nodes are not nodes of the tree.
                if (node && node->type != XML_NAMESPACE_DECL)
                    nodes.push_back(node);
            }
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
    }
    if (result)
        xmlXPathFreeObject(result);
    return hr;
}

std::string NameOf(xmlNodePtr node)
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
        std::string name = reinterpret_cast<const char*>(node->name);
        if (node->ns && node->ns->prefix)
            name = std::string(reinterpret_cast<const char*>(node->ns->prefix)) + ":" + name;
        return name;
    }
    case XML_PI_NODE:
        return reinterpret_cast<const char*>(node->name);
    case XML_TEXT_NODE:
        return "#text";
    case XML_CDATA_SECTION_NODE:
        return "#cdata-section";
    case XML_COMMENT_NODE:
        return "#comment";
    case XML_DOCUMENT_NODE:
        return "#document";
    default:
        return {};
    }
}

DOMNodeType TypeOf(xmlNodePtr node) noexcept
{
    switch (node->type) {
    case XML_ELEMENT_NODE:
        return NODE_ELEMENT;
    case XML_ATTRIBUTE_NODE:
        return NODE_ATTRIBUTE;
    case XML_TEXT_NODE:
        return NODE_TEXT;
    case XML_CDATA_SECTION_NODE:
        return NODE_CDATA_SECTION;
    case XML_ENTITY_REF_NODE:
        return NODE_ENTITY_REFERENCE;
    case XML_PI_NODE:
        return NODE_PROCESSING_INSTRUCTION;
    case XML_COMMENT_NODE:
        return NODE_COMMENT;
    case XML_DOCUMENT_NODE:
        return NODE_DOCUMENT;
    case XML_DOCUMENT_FRAG_NODE:
        return NODE_DOCUMENT_FRAGMENT;
    default:
        return NODE_INVALID;
    }
}

// A document's text is each top-level node on a line of its own, each line ended by CR LF.
std::string XmlOf(xmlNodePtr node)
{
    if (!IsDocument(node)) {
        std::string text = SerializeNode(node);
        // libxml2 writes an attribute with the blank that separates it inside a start tag.
        if (node->type == XML_ATTRIBUTE_NODE && !text.empty() && text.front() == ' ')
            text.erase(0, 1);
        return text;
    }
    std::string text;
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_DTD_NODE)
            continue;
        text += SerializeNode(child);
        text += "\r\n";
    }
    return text;
}

HRESULT Guarded(const NodeRef& ref, auto&& operation) noexcept
{
    try {
        Lock lock(ref.tree->Mutex());
        return operation();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

HRESULT GetNodeName(const NodeRef& ref, BSTR* name) noexcept
{
    if (!name)
        return E_INVALIDARG;
    *name = nullptr;
    return Guarded(ref, [&] { return NewBstr(NameOf(ref.node), name); });
}

HRESULT GetNodeType(const NodeRef& ref, DOMNodeType* type) noexcept
{
    if (!type)
        return E_INVALIDARG;
    *type = TypeOf(ref.node);
    return S_OK;
}

HRESULT GetRelative(const NodeRef& ref, Relative which, IXMLDOMNode** result) noexcept
{
    if (!result)
        return E_INVALIDARG;
    *result = nullptr;
    return Guarded(ref, [&]() -> HRESULT {
        xmlNodePtr node = ref.node;
        xmlNodePtr relative = nullptr;
        const bool hasChildren = CanHoldChildren(node);
        switch (which) {
        case Relative::Parent:
            relative = node->parent;
            break;
        case Relative::FirstChild:
            relative = hasChildren ? node->children : nullptr;
            break;
        case Relative::LastChild:
            relative = hasChildren ? node->last : nullptr;
            break;
        case Relative::PreviousSibling:
            relative = node->prev;
            break;
        case Relative::NextSibling:
            relative = node->next;
            break;
        }
        if (!relative)
            return S_FALSE;
        return WrapNode(ref.tree, relative, IID_IXMLDOMNode, reinterpret_cast<void**>(result));
    });
}

HRESULT HasChildNodes(const NodeRef& ref, VARIANT_BOOL* hasChild) noexcept
{
    if (!hasChild)
        return E_INVALIDARG;
    return Guarded(ref, [&]() -> HRESULT {
        const bool has = CanHoldChildren(ref.node) && ref.node->children;
        *hasChild = has ? VARIANT_TRUE : VARIANT_FALSE;
        return has ? S_OK : S_FALSE;
    });
}

HRESULT GetChildNodes(const NodeRef& ref, IXMLDOMNodeList** list) noexcept
{
    if (!list)
        return E_INVALIDARG;
    *list = nullptr;
    return Guarded(ref, [&]() -> HRESULT {
        std::vector<xmlNodePtr> children;
        if (CanHoldChildren(ref.node))
            for (xmlNodePtr child = ref.node->children; child; child = child->next)
                if (child->type != XML_DTD_NODE)
                    children.push_back(child);
        return DomNodeList::Create(ref.tree, std::move(children), list);
    });
}

HRESULT AppendChild(const NodeRef& parent, IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) noexcept
{
    if (outNewChild)
        *outNewChild = nullptr;
    if (!newChild)
        return E_INVALIDARG;
    NodeRef child;
    if (!ReferenceOf(newChild, child))
        return E_INVALIDARG;
    try {
        if (parent.tree == child.tree) {
            Lock lock(parent.tree->Mutex());
            return AppendLocked(parent, child, outNewChild);
        }
        std::scoped_lock locks(parent.tree->Mutex(), child.tree->Mutex());
        return AppendLocked(parent, child, outNewChild);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT GetText(const NodeRef& ref, BSTR* text) noexcept
{
    if (!text)
        return E_INVALIDARG;
    *text = nullptr;
    return Guarded(ref, [&] {
        PrepareLibXml();
        // An element of one text child, the usual case, is read in place.
        const std::optional<std::string_view> single =
            ref.node->type == XML_ELEMENT_NODE ? SingleText(ref.node->children) : std::nullopt;
        std::string joined;
        if (!single)
            joined = TakeXmlText(xmlNodeGetContent(ref.node));
        std::string_view content = single ? *single : std::string_view(joined);
        if (!ref.tree->PreserveWhiteSpace())
            content = TrimBlanks(content);
        return NewBstr(content, text);
    });
}

HRESULT PutText(const NodeRef& ref, BSTR text) noexcept
{
    return Guarded(ref, [&]() -> HRESULT {
        PrepareLibXml();
        const std::string content = Utf8Of(text);
        xmlNodePtr node = ref.node;
        if (node->type != XML_ELEMENT_NODE) {
            if (IsDocument(node) || node->type == XML_ATTRIBUTE_NODE)
                return E_FAIL;
            xmlNodeSetContentLen(node, Chars(content), static_cast<int>(content.size()));
            return S_OK;
        }
        xmlNodePtr textNode = xmlNewDocTextLen(ref.tree->Doc(), Chars(content), static_cast<int>(content.size()));
        if (!textNode)
            return E_OUTOFMEMORY;
        // The old children stay alive, detached, for the objects that may show them.
        while (xmlNodePtr child = node->children) {
            xmlUnlinkNode(child);
            ref.tree->KeepDetached(child);
        }
        LinkLastChild(node, textNode);
        return S_OK;
    });
}

HRESULT GetXml(const NodeRef& ref, BSTR* xml) noexcept
{
    if (!xml)
        return E_INVALIDARG;
    *xml = nullptr;
    return Guarded(ref, [&] { return NewBstr(XmlOf(ref.node), xml); });
}

HRESULT SelectNodes(const NodeRef& ref, BSTR query, IXMLDOMNodeList** list) noexcept
{
    if (!list)
        return E_INVALIDARG;
    *list = nullptr;
    return Guarded(ref, [&]() -> HRESULT {
        std::vector<xmlNodePtr> nodes;
        const HRESULT hr = Evaluate(ref, query, nodes);
        if (FAILED(hr))
            return hr;
        return DomNodeList::Create(ref.tree, std::move(nodes), list);
    });
}

HRESULT SelectSingleNode(const NodeRef& ref, BSTR query, IXMLDOMNode** node) noexcept
{
    if (!node)
        return E_INVALIDARG;
    *node = nullptr;
    return Guarded(ref, [&]() -> HRESULT {
        std::vector<xmlNodePtr> nodes;
        const HRESULT hr = Evaluate(ref, query, nodes);
        if (FAILED(hr))
            return hr;
        if (nodes.empty())
            return S_FALSE;
        return WrapNode(ref.tree, nodes.front(), IID_IXMLDOMNode, reinterpret_cast<void**>(node));
    });
}

HRESULT GetTagName(const NodeRef& ref, BSTR* name) noexcept
{
    return GetNodeName(ref, name);
}

HRESULT GetAttribute(const NodeRef& ref, BSTR name, VARIANT* value) noexcept
{
    if (!value)
        return E_INVALIDARG;
    VariantInit(value);
    value->vt = VT_NULL;
    return Guarded(ref, [&]() -> HRESULT {
        PrepareLibXml();
        const std::string attributeName = Utf8Of(name);
        xmlAttrPtr attribute = xmlHasProp(ref.node, Chars(attributeName));
        if (!attribute || attribute->type != XML_ATTRIBUTE_NODE)
            return S_FALSE;
        const std::optional<std::string_view> single = SingleText(attribute->children);
        std::string joined;
        if (!single)
            joined = TakeXmlText(xmlNodeListGetString(ref.tree->Doc(), attribute->children, 1));
        BSTR bstr = nullptr;
        const HRESULT hr = NewBstr(single ? *single : std::string_view(joined), &bstr);
        if (FAILED(hr))
            return hr;
        value->vt = VT_BSTR;
        value->bstrVal = bstr;
        return S_OK;
    });
}

HRESULT SetAttribute(const NodeRef& ref, BSTR name, const VARIANT& value) noexcept
{
    // A string is used as it is; any other value as its text.
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = value.vt == VT_BSTR ? S_OK : VariantChangeType(&text, &value, 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    const BSTR textValue = value.vt == VT_BSTR ? value.bstrVal : text.bstrVal;
    hr = Guarded(ref, [&]() -> HRESULT {
        PrepareLibXml();
        if (ref.node->type != XML_ELEMENT_NODE)
            return E_FAIL;
        const std::string attributeName = Utf8Of(name);
        if (xmlValidateName(Chars(attributeName), 0) != 0)
            return E_FAIL;
        const std::string attributeValue = Utf8Of(textValue);
        return xmlSetProp(ref.node, Chars(attributeName), Chars(attributeValue)) ? S_OK : E_OUTOFMEMORY;
    });
    VariantClear(&text);
    return hr;
}

HRESULT CreateElement(const std::shared_ptr<XmlTree>& tree, BSTR tagName, IXMLDOMElement** element) noexcept
{
    if (!element)
        return E_INVALIDARG;
    *element = nullptr;
    return Guarded(NodeRef{tree, nullptr}, [&]() -> HRESULT {
        PrepareLibXml();
        const std::string name = Utf8Of(tagName);
        if (xmlValidateName(Chars(name), 0) != 0)
            return E_FAIL;
        xmlNodePtr node = xmlNewDocNode(tree->Doc(), nullptr, Chars(name), nullptr);
        if (!node)
            return E_OUTOFMEMORY;
        try {
            tree->KeepDetached(node);
        } catch (...) {
            xmlFreeNode(node);
            throw;
        }
        return WrapNode(tree, node, IID_IXMLDOMElement, reinterpret_cast<void**>(element));
    });
}

}  // namespace lumo::platform::msxml
