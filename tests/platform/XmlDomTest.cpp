// The free-threaded DOM document 3.0 of the runtime: creation, building, text, parsing,
// XPath selection, and the safety of loading untrusted text.
#include <string>

#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>

#include "ComBSTR.h"
#include "ComPtr.h"
#include "ComVariant.h"

namespace {

using Text = std::u16string;

Text TextOf(BSTR text)
{
    return text ? Text(text, SysStringLen(text)) : Text();
}

template <class Node>
Text XmlOf(Node* node)
{
    CComBSTR xml;
    EXPECT_EQ(S_OK, node->get_xml(&xml));
    return TextOf(xml);
}

template <class Node>
Text TextContentOf(Node* node)
{
    CComBSTR text;
    EXPECT_EQ(S_OK, node->get_text(&text));
    return TextOf(text);
}

template <class Node>
Text NameOf(Node* node)
{
    CComBSTR name;
    EXPECT_EQ(S_OK, node->get_nodeName(&name));
    return TextOf(name);
}

CComPtr<IXMLDOMElement> AsElement(IXMLDOMNode* node)
{
    CComPtr<IXMLDOMElement> element;
    if (node)
        node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element));
    return element;
}

class XmlDom : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        m_document = NewDocument();
        ASSERT_NE(nullptr, m_document);
    }
    void TearDown() override
    {
        m_document.Release();
        CoUninitialize();
    }

    static CComPtr<IXMLDOMDocument2> NewDocument()
    {
        CComPtr<IXMLDOMDocument2> document;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FreeThreadedDOMDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document)));
        if (document) {
            EXPECT_EQ(S_OK, document->setProperty(CComBSTR(u"SelectionLanguage"), CComVariant(u"XPath")));
        }
        return document;
    }

    CComPtr<IXMLDOMElement> NewElement(const char16_t* name)
    {
        CComPtr<IXMLDOMElement> element;
        EXPECT_EQ(S_OK, m_document->createElement(CComBSTR(name), &element));
        return element;
    }

    // The text loaded: whether it loaded, with nothing written to the standard error.
    bool Load(IXMLDOMDocument2* document, const Text& xml)
    {
        VARIANT_BOOL loaded = VARIANT_TRUE;
        testing::internal::CaptureStderr();
        const HRESULT hr = document->loadXML(CComBSTR(std::u16string_view(xml)), &loaded);
        EXPECT_EQ("", testing::internal::GetCapturedStderr());
        EXPECT_EQ(loaded == VARIANT_TRUE ? S_OK : S_FALSE, hr);
        return loaded == VARIANT_TRUE;
    }
    bool Load(const Text& xml) { return Load(m_document, xml); }

    CComPtr<IXMLDOMNode> Select(IXMLDOMNode* from, const char16_t* query)
    {
        CComPtr<IXMLDOMNode> node;
        EXPECT_TRUE(SUCCEEDED(from->selectSingleNode(CComBSTR(query), &node)));
        return node;
    }

    CComPtr<IXMLDOMDocument2> m_document;
};

TEST_F(XmlDom, ProgramIdAndClassIdAreTheWindowsOnes)
{
    CLSID clsid = CLSID_NULL;
    ASSERT_EQ(S_OK, CLSIDFromProgID(u"Msxml2.FreeThreadedDOMDocument.3.0", &clsid));
    EXPECT_TRUE(clsid == CLSID_FreeThreadedDOMDocument30);
    const CLSID expected = {0xF5078F33, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
    EXPECT_TRUE(clsid == expected);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(S_OK, ProgIDFromCLSID(CLSID_FreeThreadedDOMDocument30, &progId));
    EXPECT_EQ(Text(progId), u"Msxml2.FreeThreadedDOMDocument.3.0");
    CoTaskMemFree(progId);
}

TEST_F(XmlDom, BuiltDocumentIsOneLineEndedByCrLf)
{
    CComPtr<IXMLDOMElement> item = NewElement(u"item");
    ASSERT_EQ(S_OK, item->setAttribute(CComBSTR(u"progid"), CComVariant(u"A::B")));
    CComPtr<IXMLDOMElement> property = NewElement(u"property");
    ASSERT_EQ(S_OK, property->setAttribute(CComBSTR(u"changed"), CComVariant(1)));
    ASSERT_EQ(S_OK, property->setAttribute(CComBSTR(u"name"), CComVariant(u"a\"<&>\tb")));
    ASSERT_EQ(S_OK, property->put_text(CComBSTR(u"x < y & \u00e9\u20ac\r\n")));
    ASSERT_EQ(S_OK, item->appendChild(property, nullptr));
    ASSERT_EQ(S_OK, item->appendChild(NewElement(u"empty"), nullptr));
    ASSERT_EQ(S_OK, m_document->appendChild(item, nullptr));

    const Text element = u"<item progid=\"A::B\"><property changed=\"1\" name=\"a&quot;&lt;&amp;&gt;&#9;b\">"
                         u"x &lt; y &amp; \u00e9\u20ac&#13;\n</property><empty/></item>";
    EXPECT_EQ(XmlOf(m_document.p), element + u"\r\n");
    EXPECT_EQ(XmlOf(item.p), element);

    // What was written reads back the same.
    CComPtr<IXMLDOMDocument2> copy = NewDocument();
    ASSERT_TRUE(Load(copy, XmlOf(m_document.p)));
    EXPECT_EQ(XmlOf(copy.p), element + u"\r\n");
    CComVariant name;
    ASSERT_EQ(S_OK, AsElement(Select(copy, u"/item/property"))->getAttribute(CComBSTR(u"name"), &name));
    EXPECT_EQ(TextOf(name.bstrVal), u"a\"<&>\tb");
}

TEST_F(XmlDom, DocumentHoldsOneElement)
{
    ASSERT_EQ(S_OK, m_document->appendChild(NewElement(u"a"), nullptr));
    EXPECT_EQ(E_FAIL, m_document->appendChild(NewElement(u"b"), nullptr));
    CComPtr<IXMLDOMElement> bad;
    EXPECT_EQ(E_FAIL, m_document->createElement(CComBSTR(u"not a name"), &bad));
}

TEST_F(XmlDom, NodeCannotGoInsideItself)
{
    CComPtr<IXMLDOMElement> outer = NewElement(u"outer");
    CComPtr<IXMLDOMElement> inner = NewElement(u"inner");
    ASSERT_EQ(S_OK, outer->appendChild(inner, nullptr));
    EXPECT_EQ(E_FAIL, inner->appendChild(outer, nullptr));
    EXPECT_EQ(E_FAIL, outer->appendChild(outer, nullptr));
    EXPECT_EQ(XmlOf(outer.p), u"<outer><inner/></outer>");
}

TEST_F(XmlDom, ElementFromAnotherDocumentIsCopiedIn)
{
    CComPtr<IXMLDOMDocument2> scratch = NewDocument();
    ASSERT_TRUE(Load(scratch, u"<item x=\"1\"><property>v</property></item>"));
    CComPtr<IXMLDOMElement> nested;
    ASSERT_EQ(S_OK, scratch->get_documentElement(&nested));
    CComPtr<IXMLDOMElement> property = NewElement(u"property");
    CComPtr<IXMLDOMNode> appended;
    ASSERT_EQ(S_OK, property->appendChild(nested, &appended));
    // The scratch document is parsed anew while the copy lives on.
    ASSERT_TRUE(Load(scratch, u"<other/>"));
    EXPECT_EQ(XmlOf(property.p), u"<property><item x=\"1\"><property>v</property></item></property>");
    EXPECT_EQ(XmlOf(appended.p), u"<item x=\"1\"><property>v</property></item>");
    EXPECT_EQ(XmlOf(nested.p), u"<item x=\"1\"><property>v</property></item>");
}

TEST_F(XmlDom, SelectsByXPath)
{
    ASSERT_TRUE(Load(u"<?xml version=\"1.0\"?>\r\n<item progid=\"p\"><property name=\"a\">1</property>"
                     u"<!-- c --><property name=\"b\"><item/>text</property><other/></item>"));
    CComPtr<IXMLDOMNode> root = Select(m_document, u"/item");
    ASSERT_NE(nullptr, AsElement(root));
    EXPECT_EQ(NameOf(root.p), u"item");
    EXPECT_EQ(nullptr, Select(m_document, u"/enum"));

    CComPtr<IXMLDOMNodeList> properties;
    ASSERT_EQ(S_OK, m_document->selectNodes(CComBSTR(u"/item/property"), &properties));
    LONG length = 0;
    ASSERT_EQ(S_OK, properties->get_length(&length));
    ASSERT_EQ(2, length);
    CComPtr<IXMLDOMNode> second;
    ASSERT_EQ(S_OK, properties->get_item(1, &second));
    CComPtr<IXMLDOMNode> beyond;
    EXPECT_EQ(S_FALSE, properties->get_item(2, &beyond));
    EXPECT_EQ(nullptr, beyond);

    CComPtr<IXMLDOMNode> child = Select(second, u"*");
    ASSERT_NE(nullptr, child);
    EXPECT_EQ(XmlOf(child.p), u"<item/>");
    CComPtr<IXMLDOMNode> first;
    ASSERT_EQ(S_OK, properties->get_item(0, &first));
    EXPECT_EQ(nullptr, Select(first, u"*"));
    EXPECT_EQ(TextContentOf(first.p), u"1");

    CComPtr<IXMLDOMNode> missing;
    EXPECT_TRUE(FAILED(m_document->selectSingleNode(CComBSTR(u"/item["), &missing)));
}

TEST_F(XmlDom, ChildNodesKeepEveryKind)
{
    ASSERT_TRUE(Load(u"<enum><item/>text<!-- c --><?pi data?><foo/></enum>"));
    CComPtr<IXMLDOMElement> root;
    ASSERT_EQ(S_OK, m_document->get_documentElement(&root));
    CComPtr<IXMLDOMNodeList> children;
    ASSERT_EQ(S_OK, root->get_childNodes(&children));
    LONG length = 0;
    ASSERT_EQ(S_OK, children->get_length(&length));
    const std::pair<DOMNodeType, Text> expected[] = {{NODE_ELEMENT, u"item"},
                                                     {NODE_TEXT, u"#text"},
                                                     {NODE_COMMENT, u"#comment"},
                                                     {NODE_PROCESSING_INSTRUCTION, u"pi"},
                                                     {NODE_ELEMENT, u"foo"}};
    ASSERT_EQ(static_cast<LONG>(std::size(expected)), length);
    for (LONG i = 0; i < length; ++i) {
        CComPtr<IXMLDOMNode> child;
        ASSERT_EQ(S_OK, children->get_item(i, &child));
        DOMNodeType type = NODE_INVALID;
        ASSERT_EQ(S_OK, child->get_nodeType(&type));
        EXPECT_EQ(type, expected[i].first) << i;
        EXPECT_EQ(NameOf(child.p), expected[i].second) << i;
        // Only elements answer the element interface.
        EXPECT_EQ(type == NODE_ELEMENT, AsElement(child) != nullptr) << i;
    }
}

TEST_F(XmlDom, AbsentAttributeIsNotAString)
{
    ASSERT_TRUE(Load(u"<item guid=\"\"/>"));
    CComPtr<IXMLDOMElement> root;
    ASSERT_EQ(S_OK, m_document->get_documentElement(&root));
    CComVariant value;
    EXPECT_EQ(S_FALSE, root->getAttribute(CComBSTR(u"itemtype"), &value));
    EXPECT_EQ(VT_NULL, value.vt);
    CComVariant empty;
    EXPECT_EQ(S_OK, root->getAttribute(CComBSTR(u"guid"), &empty));
    ASSERT_EQ(VT_BSTR, empty.vt);
    EXPECT_EQ(TextOf(empty.bstrVal), u"");
}

// An element or attribute of one text child is read in place; any other is joined. Both read
// entities and character references as the characters they stand for.
TEST_F(XmlDom, TextsReadTheSameWhetherOneNodeOrMany)
{
    const struct {
        Text xml;
        Text text;
        Text attribute;
    } cases[] = {
        {u"<e a=\"v\">plain</e>", u"plain", u"v"},
        {u"<e a=\"x &amp; &#x263A;\">x &lt; &#x263A;</e>", u"x < \u263A", u"x & \u263A"},
        {u"<e a=\"\">a<![CDATA[<b>]]>c</e>", u"a<b>c", u""},
        {u"<e a=\"1\">one<f>two</f>three</e>", u"onetwothree", u"1"},
        {u"<e a=\"\xE9\"><!-- c -->\xE9</e>", u"\xE9", u"\xE9"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Load(c.xml));
        CComPtr<IXMLDOMElement> root;
        ASSERT_EQ(S_OK, m_document->get_documentElement(&root));
        EXPECT_EQ(TextContentOf(root.p), c.text);
        CComVariant attribute;
        ASSERT_EQ(S_OK, root->getAttribute(CComBSTR(u"a"), &attribute));
        ASSERT_EQ(VT_BSTR, attribute.vt);
        EXPECT_EQ(TextOf(attribute.bstrVal), c.attribute);
    }
}

TEST_F(XmlDom, WhiteSpaceAtTheEndsKeptOnlyWhenPreserved)
{
    const Text xml = u"<item>\n  <property>  two words \r\n</property>\n</item>";
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(TextContentOf(Select(m_document, u"/item/property").p), u"two words");
    EXPECT_EQ(XmlOf(m_document.p), u"<item><property>  two words \n</property></item>\r\n");

    ASSERT_EQ(S_OK, m_document->put_preserveWhiteSpace(VARIANT_TRUE));
    ASSERT_TRUE(Load(xml));
    EXPECT_EQ(TextContentOf(Select(m_document, u"/item/property").p), u"  two words \n");
    EXPECT_EQ(XmlOf(m_document.p), u"<item>\n  <property>  two words \n</property>\n</item>\r\n");
}

TEST_F(XmlDom, AcceptsTheSafetyPropertiesOfMsxml)
{
    EXPECT_EQ(S_OK, m_document->setProperty(CComBSTR(u"ProhibitDTD"), CComVariant(true)));
    EXPECT_EQ(S_OK, m_document->setProperty(CComBSTR(u"ResolveExternals"), CComVariant(false)));
    EXPECT_EQ(S_OK, m_document->setProperty(CComBSTR(u"MaxElementDepth"), CComVariant(3)));
    EXPECT_EQ(S_OK, m_document->put_resolveExternals(VARIANT_FALSE));
    EXPECT_EQ(E_FAIL, m_document->setProperty(CComBSTR(u"NoSuchProperty"), CComVariant(1)));
    EXPECT_EQ(E_FAIL, m_document->setProperty(CComBSTR(u"SelectionLanguage"), CComVariant(u"SQL")));
    CComVariant depth;
    ASSERT_EQ(S_OK, m_document->getProperty(CComBSTR(u"MaxElementDepth"), &depth));
    EXPECT_EQ(VT_I4, depth.vt);
    EXPECT_EQ(3, depth.lVal);

    EXPECT_TRUE(Load(u"<a><b><c/></b></a>"));
    EXPECT_FALSE(Load(u"<a><b><c><d/></c></b></a>"));
}

Text Nested(int depth)
{
    Text xml;
    for (int i = 0; i < depth; ++i)
        xml += u"<a>";
    for (int i = 0; i < depth; ++i)
        xml += u"</a>";
    return xml;
}

// Each ends in a failed load, quickly, reading no file and printing nothing.
TEST_F(XmlDom, UntrustedTextFailsInOrder)
{
    const std::pair<const char*, Text> cases[] = {
        {"empty", u""},
        {"no element", u"<?xml version=\"1.0\"?>"},
        {"malformed", u"<item><property></item>"},
        {"truncated", u"<item progid=\"LumoItemsLib::LumoItem\"><property name="},
        {"two roots", u"<a/><b/>"},
        {"invalid character", u"<a>\x01</a>"},
        {"undeclared entity", u"<a>&nope;</a>"},
        {"billion laughs", u"<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;\">"
                           u"<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]><lolz>&lol3;</lolz>"},
        {"external entity", u"<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>"},
        {"external DTD", u"<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/none.dtd\"><a/>"},
        {"parameter entity", u"<!DOCTYPE a [<!ENTITY % p SYSTEM \"file:///etc/passwd\"> %p;]><a/>"},
        {"ten thousand levels", Nested(10000)},
    };
    for (const auto& [what, xml] : cases) {
        EXPECT_FALSE(Load(xml)) << what;
        CComPtr<IXMLDOMElement> root;
        EXPECT_EQ(S_FALSE, m_document->get_documentElement(&root)) << what;
        EXPECT_EQ(nullptr, root) << what;
        EXPECT_EQ(XmlOf(m_document.p), u"") << what;
    }
    // The default depth limit is far above what documents of items need.
    EXPECT_TRUE(Load(Nested(1000)));
}

// The text is already decoded: a declared encoding does not apply to it.
TEST_F(XmlDom, DeclaredEncodingIsIgnored)
{
    ASSERT_TRUE(Load(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\u00e9\u4e2d</a>"));
    EXPECT_EQ(TextContentOf(Select(m_document, u"/a").p), u"\u00e9\u4e2d");
    ASSERT_TRUE(Load(u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>x</a>"));
    EXPECT_EQ(XmlOf(m_document.p), u"<a>x</a>\r\n");
}

TEST_F(XmlDom, LargeTextLoads)
{
    const Text big(30 * 1024 * 1024, u'A');
    ASSERT_TRUE(Load(u"<property type=\"base64binary\">" + big + u"</property>"));
    EXPECT_EQ(TextContentOf(Select(m_document, u"/property").p).size(), big.size());
}

TEST_F(XmlDom, DocumentDiesAfterItsNodes)
{
    CComPtr<IXMLDOMNode> node;
    {
        CComPtr<IXMLDOMDocument2> document = NewDocument();
        ASSERT_TRUE(Load(document, u"<a><b>kept</b></a>"));
        node = Select(document, u"/a/b");
        CComPtr<IXMLDOMElement> detached;
        ASSERT_EQ(S_OK, document->createElement(CComBSTR(u"never-added"), &detached));
    }
    EXPECT_EQ(XmlOf(node.p), u"<b>kept</b>");
    // Text replaced under a node shown elsewhere leaves that node alive.
    CComPtr<IXMLDOMNode> text;
    ASSERT_EQ(S_OK, node->get_firstChild(&text));
    ASSERT_EQ(S_OK, node->put_text(CComBSTR(u"new")));
    EXPECT_EQ(XmlOf(text.p), u"kept");
    EXPECT_EQ(XmlOf(node.p), u"<b>new</b>");
}

}  // namespace
