// The DOM documents of the item and collection formats, and the node operations the writers
// and readers use. Every failure of the DOM is raised with its status.
#pragma once

#include <optional>

#include <windows.h>
#include <msxml2.h>

#include "ComBSTR.h"
#include "ComPtr.h"
#include "OleString.h"
#include "ZoCOMClassFactory.h"

// One document, made through an object's class-factory cache and set up as every document of
// the formats: XPath selection, white space kept as it stands, no DTD, no external resources,
// a bounded element depth.
class CXmlDocument {
public:
    // The deepest element any document of the formats may hold, counting the root as 1. A
    // nested item or collection lies two levels below the item that holds it, so this bounds
    // nesting to about half as many objects, well within any thread's stack.
    static constexpr LONG kMaxElementDepth = 512;
    // The most attributes an element may have; the formats use at most five, and some DOMs
    // append attributes in time that grows with the square of their number.
    static constexpr size_t kMaxAttributes = 256;

    // A document for texts whose root will sit at depth rootDepth of the document they go
    // into, so that no text it accepts makes that document deeper than kMaxElementDepth.
    explicit CXmlDocument(CZoCOMClassFactory& factory, LONG rootDepth = 1);

    // Whether text parses; on failure nothing of it is in the document. Refused before the DOM
    // sees it: a text that declares a document type, that holds a NUL (a DOM would read it only
    // up to there), or that has an element with more than kMaxAttributes attributes.
    bool Parse(BSTR text);
    // The DOM document itself, in which the writers create and append their elements.
    IXMLDOMDocument* Dom() const noexcept { return m_document; }
    // The document element; null for an empty document.
    CComPtr<IXMLDOMElement> DocumentElement();
    // The element a path selects; null when it selects nothing or a node that is no element.
    CComPtr<IXMLDOMElement> SelectElement(const OLECHAR* path);
    // The document's text: its root element on one line.
    CComBSTR Xml();

private:
    void SetSafetyProperty(const OLECHAR* name, const VARIANT& value);

    CComPtr<IXMLDOMDocument2> m_document;
};

namespace XmlNode {

// Attribute and element texts pass through CZoXmlText first, so that what is written always
// reads back. Names are taken as strings, which writers of many elements make once.
void SetAttribute(IXMLDOMElement* element, const CComBSTR& name, OleStringView text);
// The text as an attribute or element can carry it: what XML cannot becomes "_".
CComBSTR XmlText(OleStringView text);
// An attribute of a text made by XmlText, which a writer may give to many elements.
void SetAttributeText(IXMLDOMElement* element, const CComBSTR& name, const CComBSTR& xmlText);
void SetText(IXMLDOMElement* element, OleStringView text);
// The attribute's text; nothing when the element has no such attribute.
std::optional<CComBSTR> Attribute(IXMLDOMElement* element, const CComBSTR& name);
CComBSTR Text(IXMLDOMNode* node);
// The node's XML text, without a line end.
CComBSTR Xml(IXMLDOMNode* node);
CComBSTR Name(IXMLDOMNode* node);
void AppendChild(IXMLDOMNode* parent, IXMLDOMNode* child);
// The node as an element; null for any other kind of node.
CComPtr<IXMLDOMElement> AsElement(IXMLDOMNode* node);
// The node's first child that is an element; null when it has none.
CComPtr<IXMLDOMElement> FirstChildElement(IXMLDOMNode* node);
// The first element a path selects from the node; null when there is none.
CComPtr<IXMLDOMElement> SelectElement(IXMLDOMNode* node, const OLECHAR* path);
CComPtr<IXMLDOMNodeList> ChildNodes(IXMLDOMNode* node);
// The nodes a path selects from the node.
CComPtr<IXMLDOMNodeList> SelectNodes(IXMLDOMNode* node, const OLECHAR* path);
// A new element of the document, not yet in its tree.
CComPtr<IXMLDOMElement> CreateElement(IXMLDOMDocument* document, const CComBSTR& name);
// The number of element levels from the node down, counting an element node itself as one.
LONG ElementHeight(IXMLDOMNode* node);
LONG Length(IXMLDOMNodeList* list);
CComPtr<IXMLDOMNode> Item(IXMLDOMNodeList* list, LONG index);

}  // namespace XmlNode
