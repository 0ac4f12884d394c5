#include "XmlDocument.h"

#include "ComVariant.h"
#include "ZoCheck.h"
#include "ZoXmlText.h"

namespace {

bool StartsWith(OleStringView text, size_t at, OleStringView prefix)
{
    return text.substr(at, prefix.size()) == prefix;
}

// The position just past the next end marker from at, or the text's end.
size_t PastNext(OleStringView text, size_t at, OleStringView end)
{
    at = text.find(end, at);
    return at == OleStringView::npos ? text.size() : at + end.size();
}

// Whether the text's prolog, before its first element, declares a document type. A DTD can
// declare entities that expand without end or that read files, and some DOMs process one
// whatever ProhibitDTD says; the formats never use one.
bool DeclaresDocumentType(OleStringView text)
{
    size_t at = 0;
    while (at < text.size()) {
        const OLECHAR c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xFEFF) {
            ++at;
        } else if (StartsWith(text, at, OLESTR("<?"))) {
            at = PastNext(text, at + 2, OLESTR("?>"));
        } else if (StartsWith(text, at, OLESTR("<!--"))) {
            at = PastNext(text, at + 4, OLESTR("-->"));
        } else {
            return StartsWith(text, at, OLESTR("<!DOCTYPE"));
        }
    }
    return false;
}

// The position of the start tag's closing '>' (or the text's end), and whether the tag holds
// more than kMaxAttributes attributes: each one has its '=' outside the quoted values.
size_t EndOfStartTag(OleStringView text, size_t at, bool& crowded)
{
    size_t attributes = 0;
    OLECHAR quote = 0;
    for (; at < text.size(); ++at) {
        const OLECHAR c = text[at];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '=') {
            ++attributes;
        } else if (c == '>') {
            break;
        }
    }
    crowded = attributes > CXmlDocument::kMaxAttributes;
    return at;
}

// Whether an element has more than kMaxAttributes attributes. A lexical walk over the markup:
// comments, character data sections and processing instructions are skipped whole.
bool HasCrowdedElement(OleStringView text)
{
    for (size_t at = text.find(OLECHAR('<')); at < text.size(); at = text.find(OLECHAR('<'), at)) {
        if (StartsWith(text, at, OLESTR("<!--"))) {
            at = PastNext(text, at + 4, OLESTR("-->"));
        } else if (StartsWith(text, at, OLESTR("<![CDATA["))) {
            at = PastNext(text, at + 9, OLESTR("]]>"));
        } else if (StartsWith(text, at, OLESTR("<?"))) {
            at = PastNext(text, at + 2, OLESTR("?>"));
        } else {
            bool crowded = false;
            at = EndOfStartTag(text, at + 1, crowded);
            if (crowded)
                return true;
        }
    }
    return false;
}

bool AdmitsText(OleStringView text)
{
    return text.find(OLECHAR(0)) == OleStringView::npos && !DeclaresDocumentType(text) && !HasCrowdedElement(text);
}

}  // namespace

CXmlDocument::CXmlDocument(CZoCOMClassFactory& factory, LONG rootDepth)
{
    CComPtr<IUnknown> object =
        factory.CreateObject(CLSID_FreeThreadedDOMDocument30, OLESTR("MSXML2::FreeThreadedDOMDocument30"));
    ZoCheckPlatform(object->QueryInterface(IID_IXMLDOMDocument2, reinterpret_cast<void**>(&m_document)));
    ZoCheckPlatform(m_document->setProperty(CComBSTR(OLESTR("SelectionLanguage")), CComVariant(OLESTR("XPath"))));
    ZoCheckPlatform(m_document->put_preserveWhiteSpace(VARIANT_TRUE));
    // The safety settings, where the DOM knows them: an older DOM that refuses a name goes on
    // without that setting.
    SetSafetyProperty(OLESTR("ProhibitDTD"), CComVariant(true));
    SetSafetyProperty(OLESTR("MaxElementDepth"), CComVariant(static_cast<LONG>(kMaxElementDepth - (rootDepth - 1))));
    m_document->put_resolveExternals(VARIANT_FALSE);
    m_document->put_validateOnParse(VARIANT_FALSE);
}

void CXmlDocument::SetSafetyProperty(const OLECHAR* name, const VARIANT& value)
{
    m_document->setProperty(CComBSTR(name), value);
}

bool CXmlDocument::Parse(BSTR text)
{
    if (!AdmitsText(ViewOfBstr(text)))
        return false;
    VARIANT_BOOL parsed = VARIANT_FALSE;
    ZoCheckPlatform(m_document->loadXML(text, &parsed));
    return parsed == VARIANT_TRUE;
}

CComPtr<IXMLDOMElement> CXmlDocument::DocumentElement()
{
    CComPtr<IXMLDOMElement> element;
    ZoCheckPlatform(m_document->get_documentElement(&element));
    return element;
}

CComPtr<IXMLDOMElement> CXmlDocument::SelectElement(const OLECHAR* path)
{
    return XmlNode::SelectElement(m_document, path);
}

CComBSTR CXmlDocument::Xml()
{
    return XmlNode::Xml(m_document);
}

namespace XmlNode {

CComBSTR XmlText(OleStringView text)
{
    CComBSTR string(text);
    CZoXmlText::ReplaceInvalidCharactersInPlace(string.m_str, string.Length());
    return string;
}

void SetAttribute(IXMLDOMElement* element, const CComBSTR& name, OleStringView text)
{
    SetAttributeText(element, name, XmlText(text));
}

void SetAttributeText(IXMLDOMElement* element, const CComBSTR& name, const CComBSTR& xmlText)
{
    // The variant borrows the text: setAttribute copies what it keeps.
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = xmlText.m_str;
    ZoCheckPlatform(element->setAttribute(name, value));
}

void SetText(IXMLDOMElement* element, OleStringView text)
{
    ZoCheckPlatform(element->put_text(XmlText(text)));
}

std::optional<CComBSTR> Attribute(IXMLDOMElement* element, const CComBSTR& name)
{
    CComVariant value;
    ZoCheckPlatform(element->getAttribute(name, &value));
    if (value.vt != VT_BSTR)
        return std::nullopt;
    CComBSTR text;
    text.Attach(value.bstrVal);
    value.vt = VT_EMPTY;
    return text;
}

CComBSTR Text(IXMLDOMNode* node)
{
    CComBSTR text;
    ZoCheckPlatform(node->get_text(&text));
    return text;
}

CComBSTR Xml(IXMLDOMNode* node)
{
    CComBSTR text;
    ZoCheckPlatform(node->get_xml(&text));
    return text;
}

CComBSTR Name(IXMLDOMNode* node)
{
    CComBSTR name;
    ZoCheckPlatform(node->get_nodeName(&name));
    return name;
}

void AppendChild(IXMLDOMNode* parent, IXMLDOMNode* child)
{
    ZoCheckPlatform(parent->appendChild(child, nullptr));
}

CComPtr<IXMLDOMElement> AsElement(IXMLDOMNode* node)
{
    CComPtr<IXMLDOMElement> element;
    if (node && FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element))))
        element.Release();
    return element;
}

CComPtr<IXMLDOMElement> FirstChildElement(IXMLDOMNode* node)
{
    CComPtr<IXMLDOMNode> child;
    ZoCheckPlatform(node->get_firstChild(&child));
    while (child) {
        if (CComPtr<IXMLDOMElement> element = AsElement(child))
            return element;
        CComPtr<IXMLDOMNode> next;
        ZoCheckPlatform(child->get_nextSibling(&next));
        child = next;
    }
    return {};
}

CComPtr<IXMLDOMElement> SelectElement(IXMLDOMNode* node, const OLECHAR* path)
{
    CComPtr<IXMLDOMNode> selected;
    ZoCheckPlatform(node->selectSingleNode(CComBSTR(path), &selected));
    return AsElement(selected);
}

CComPtr<IXMLDOMNodeList> ChildNodes(IXMLDOMNode* node)
{
    CComPtr<IXMLDOMNodeList> children;
    ZoCheckPlatform(node->get_childNodes(&children));
    if (!children)
        throw CComError(E_POINTER);
    return children;
}

CComPtr<IXMLDOMNodeList> SelectNodes(IXMLDOMNode* node, const OLECHAR* path)
{
    CComPtr<IXMLDOMNodeList> nodes;
    ZoCheckPlatform(node->selectNodes(CComBSTR(path), &nodes));
    if (!nodes)
        throw CComError(E_POINTER);
    return nodes;
}

CComPtr<IXMLDOMElement> CreateElement(IXMLDOMDocument* document, const CComBSTR& name)
{
    CComPtr<IXMLDOMElement> element;
    ZoCheckPlatform(document->createElement(name, &element));
    return element;
}

LONG ElementHeight(IXMLDOMNode* node)
{
    LONG below = 0;
    CComPtr<IXMLDOMNodeList> children = ChildNodes(node);
    const LONG count = Length(children);
    for (LONG i = 0; i < count; ++i) {
        CComPtr<IXMLDOMNode> child = Item(children, i);
        if (AsElement(child)) {
            const LONG height = ElementHeight(child);
            below = height > below ? height : below;
        }
    }
    return AsElement(node) ? below + 1 : below;
}

LONG Length(IXMLDOMNodeList* list)
{
    LONG length = 0;
    ZoCheckPlatform(list->get_length(&length));
    return length;
}

CComPtr<IXMLDOMNode> Item(IXMLDOMNodeList* list, LONG index)
{
    CComPtr<IXMLDOMNode> node;
    ZoCheckPlatform(list->get_item(index, &node));
    if (!node)
        throw CComError(E_POINTER);
    return node;
}

}  // namespace XmlNode
