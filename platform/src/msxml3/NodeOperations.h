// What the DOM's node interfaces do, on any node of a tree; the document and node objects
// forward to these. Each takes the tree's lock and answers as MSXML does.
#pragma once

#include <msxml2.h>

#include "msxml3/XmlTree.h"

namespace lumo::platform::msxml {

enum class Relative { Parent, FirstChild, LastChild, PreviousSibling, NextSibling };

HRESULT GetNodeName(const NodeRef& ref, BSTR* name) noexcept;
HRESULT GetNodeType(const NodeRef& ref, DOMNodeType* type) noexcept;
HRESULT GetRelative(const NodeRef& ref, Relative which, IXMLDOMNode** result) noexcept;
HRESULT HasChildNodes(const NodeRef& ref, VARIANT_BOOL* hasChild) noexcept;
HRESULT GetChildNodes(const NodeRef& ref, IXMLDOMNodeList** list) noexcept;
HRESULT AppendChild(const NodeRef& parent, IXMLDOMNode* newChild, IXMLDOMNode** outNewChild) noexcept;
HRESULT GetText(const NodeRef& ref, BSTR* text) noexcept;
HRESULT PutText(const NodeRef& ref, BSTR text) noexcept;
HRESULT GetXml(const NodeRef& ref, BSTR* xml) noexcept;
HRESULT SelectNodes(const NodeRef& ref, BSTR query, IXMLDOMNodeList** list) noexcept;
HRESULT SelectSingleNode(const NodeRef& ref, BSTR query, IXMLDOMNode** node) noexcept;

HRESULT GetTagName(const NodeRef& ref, BSTR* name) noexcept;
// VT_NULL and S_FALSE when the element has no such attribute.
HRESULT GetAttribute(const NodeRef& ref, BSTR name, VARIANT* value) noexcept;
// The value as text (VariantChangeType to VT_BSTR).
HRESULT SetAttribute(const NodeRef& ref, BSTR name, const VARIANT& value) noexcept;

// A new element of the tree, not yet in it.
HRESULT CreateElement(const std::shared_ptr<XmlTree>& tree, BSTR tagName, IXMLDOMElement** element) noexcept;

}  // namespace lumo::platform::msxml
