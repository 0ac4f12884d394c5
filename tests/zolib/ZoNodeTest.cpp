#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "ZoNode.h"

namespace {

struct WriteCase {
    const char* what;
    std::function<void(CZoNode&)> build;
    CZoNodeWriteOptions options;
    const OLECHAR* text;
};

CZoNodeWriteOptions Flat()
{
    CZoNodeWriteOptions options;
    options.newLines = false;
    return options;
}

CZoNodeWriteOptions AtDepth(int depth)
{
    CZoNodeWriteOptions options;
    options.tabDepth = depth;
    return options;
}

CZoNodeWriteOptions Unescaped()
{
    CZoNodeWriteOptions options;
    options.referenceValues = false;
    return options;
}

CZoNodeWriteOptions SingleQuoted()
{
    CZoNodeWriteOptions options;
    options.valueQuote = '\'';
    return options;
}

TEST(ZoNodeWrite, MatchesTable)
{
    const WriteCase cases[] = {
        {"empty leaf is one empty-element tag", [](CZoNode& n) { n.SetName(OLESTR("description")); }, {},
         OLESTR("\r\n<description/>")},
        {"leaf with text on one line", [](CZoNode& n) { n.SetName(OLESTR("sourceline")); n.SetValue(OLESTR("84")); },
         {}, OLESTR("\r\n<sourceline>84</sourceline>")},
        {"leaf at depth two", [](CZoNode& n) { n.SetName(OLESTR("a")); n.SetValue(OLESTR("v")); }, AtDepth(2),
         OLESTR("\r\n\t\t<a>v</a>")},
        {"the five references",
         [](CZoNode& n) { n.SetName(OLESTR("d")); n.SetValue(OLESTR("&\"'<>x")); }, {},
         OLESTR("\r\n<d>&amp;&quot;&apos;&lt;&gt;x</d>")},
        {"references off", [](CZoNode& n) { n.SetName(OLESTR("d")); n.SetValue(OLESTR("a<b")); }, Unescaped(),
         OLESTR("\r\n<d>a<b</d>")},
        {"children indented, value after them",
         [](CZoNode& n) {
             n.SetName(OLESTR("a"));
             n.SetValue(OLESTR("v"));
             n.AppendChild(OLESTR("b"), OLESTR("t")).AppendChild(OLESTR("c"), OLESTR(""));
         },
         {}, OLESTR("\r\n<a>\r\n\t<b>\r\n\t\t<c/>\r\n\t\tt\r\n\t</b>\r\n\tv\r\n</a>")},
        {"no new lines",
         [](CZoNode& n) {
             n.SetName(OLESTR("a"));
             n.SetValue(OLESTR("v"));
             n.AppendChild(OLESTR("b"), OLESTR("t"));
             n.AppendChild(OLESTR("c"), OLESTR(""));
         },
         Flat(), OLESTR("<a><b>t</b><c/>v</a>")},
        {"attributes, each followed by a space",
         [](CZoNode& n) {
             n.SetName(OLESTR("a"));
             n.AppendAttribute(OLESTR("x"), OLESTR("1"));
             n.AppendAttribute(OLESTR("y"), OLESTR("<"));
         },
         Flat(), OLESTR("<a x=\"1\" y=\"&lt;\" />")},
        {"attribute quotation mark",
         [](CZoNode& n) {
             n.SetName(OLESTR("a"));
             n.SetValue(OLESTR("v"));
             n.AppendAttribute(OLESTR("x"), OLESTR("1"));
         },
         SingleQuoted(), OLESTR("\r\n<a x='1' >v</a>")},
    };
    for (const auto& c : cases) {
        CZoNode node;
        c.build(node);
        EXPECT_EQ(OleString(c.text), node.Write(c.options)) << c.what;
    }
}

TEST(ZoNodeWrite, OtherNodeTypes)
{
    CZoNode document(OLESTR(""), OLESTR(""), CZoNodeType::Document);
    CZoNode& instruction = document.AppendCopy(CZoNode(OLESTR("xml"), OLESTR(""), CZoNodeType::ProcessingInstruction));
    instruction.AppendAttribute(OLESTR("version"), OLESTR("1.0"));
    document.AppendCopy(CZoNode(OLESTR("#COMMENT"), OLESTR(" note "), CZoNodeType::Comment));
    document.AppendCopy(CZoNode(OLESTR("#CDATA"), OLESTR("a<b"), CZoNodeType::CData));
    document.AppendChild(OLESTR("root"), OLESTR(""));
    EXPECT_EQ(OleString(OLESTR("<?xml version=\"1.0\" ?><!-- note --><![CDATA[a<b]]><root/>")), document.Write(Flat()));
}

TEST(ZoNodeEntities, EscapeAndUnescape)
{
    const auto table = ZoDefaultEntityTable();
    ASSERT_EQ(5u, table.size());
    EXPECT_EQ(OleString(OLESTR("a&lt;b &amp; c")), ZoEscapeText(OLESTR("a<b & c"), table));
    EXPECT_EQ(OleString(OLESTR("<>\"'&")), ZoUnescapeText(OLESTR("&lt;&gt;&quot;&apos;&amp;"), table));
    // Only whole references, spelled exactly.
    EXPECT_EQ(OleString(OLESTR("&AMP; &amp &lt")), ZoUnescapeText(OLESTR("&AMP; &amp &lt"), table));
    EXPECT_EQ(OleString(OLESTR("&lt;")), ZoUnescapeText(OLESTR("&amp;lt;"), table));
}

TEST(ZoNodeTree, ChildrenCopyAndClear)
{
    CZoNode root(OLESTR("root"));
    root.AppendChild(OLESTR("a"), OLESTR("1"));
    CZoNode& b = root.AppendChild(OLESTR("b"), OLESTR("2"));
    b.AppendAttribute(OLESTR("k"), OLESTR("v"));
    b.AppendChild(OLESTR("c"), OLESTR("3"));
    root.AppendChild(OLESTR("a"), OLESTR("4"));

    const auto as = root.ChildrenByName(OLESTR("a"));
    ASSERT_EQ(2u, as.size());
    EXPECT_EQ(OleString(OLESTR("1")), as[0]->Value());
    EXPECT_EQ(OleString(OLESTR("4")), as[1]->Value());
    EXPECT_TRUE(root.ChildrenByName(OLESTR("A")).empty());
    EXPECT_EQ(&root, b.Parent());

    CZoNode other(OLESTR("other"));
    CZoNode& copy = other.AppendCopy(b);
    EXPECT_EQ(&other, copy.Parent());
    EXPECT_EQ(b.Write(Flat()), copy.Write(Flat()));
    EXPECT_EQ(&copy, copy.Children()[0]->Parent());

    root.Clear();
    EXPECT_TRUE(root.Children().empty());
    EXPECT_EQ(OleString(OLESTR("<b k=\"v\" ><c>3</c>2</b>")), copy.Write(Flat()));
}

TEST(ZoNodeLoad, ReadsElementsAttributesAndText)
{
    const OLECHAR text[] = OLESTR("  <a x=\"1\" y = 'q&amp;' ><b>t &lt; u</b><c/>tail</a>rest");
    CZoNode node;
    CZoNodeParseResult result;
    const OLECHAR* end = node.Load(text, CZoNodeParseOptions(), result);
    ASSERT_FALSE(result.errorOccurred) << result.errorCode;
    ASSERT_NE(nullptr, end);
    EXPECT_EQ(OleString(OLESTR("rest")), OleString(end));
    EXPECT_EQ(OleString(OLESTR("a")), node.Name());
    // The element had no text before its first child: the text after a child becomes its value.
    EXPECT_EQ(OleString(OLESTR("tail")), node.Value());
    ASSERT_EQ(2u, node.Attributes().size());
    EXPECT_EQ(OleString(OLESTR("y")), node.Attributes()[1]->name);
    EXPECT_EQ(OleString(OLESTR("q&")), node.Attributes()[1]->value);
    const auto children = node.Children();
    ASSERT_EQ(2u, children.size());
    EXPECT_EQ(OleString(OLESTR("t < u")), children[0]->Value());
    EXPECT_EQ(OleString(OLESTR("c")), children[1]->Name());
}

TEST(ZoNodeLoad, ValueOptions)
{
    struct Case {
        const char* what;
        bool trim;
        bool entities;
        OLECHAR escape;
        const OLECHAR* text;
        const OLECHAR* value;
    };
    const Case cases[] = {
        {"kept as it stands", false, true, 0, OLESTR("<a>  x &amp; y  </a>"), OLESTR("  x & y  ")},
        {"trimmed", true, true, 0, OLESTR("<a> \r\n x &amp; y \t</a>"), OLESTR("x & y")},
        {"references kept", false, false, 0, OLESTR("<a>x &amp; y</a>"), OLESTR("x &amp; y")},
        {"escaped markup character", false, true, '\\', OLESTR("<a>x\\<y</a>"), OLESTR("x\\<y")},
    };
    for (const auto& c : cases) {
        CZoNodeParseOptions options;
        options.trimValues = c.trim;
        options.entityValues = c.entities;
        options.escapeCharacter = c.escape;
        CZoNode node;
        CZoNodeParseResult result;
        EXPECT_NE(nullptr, node.Load(c.text, options, result)) << c.what;
        EXPECT_EQ(OleString(c.value), node.Value()) << c.what;
    }
}

TEST(ZoNodeLoad, WhiteSpaceAfterLastChildBecomesTheValue)
{
    CZoNode node;
    ASSERT_NE(nullptr, node.Load(OLESTR("<a>\r\n\t<b/>\r\n\t<c/>\r\n</a>")));
    EXPECT_EQ(OleString(OLESTR("\r\n")), node.Value());
    EXPECT_EQ(2u, node.Children().size());
}

TEST(ZoNodeLoad, CommentsAndInstructions)
{
    CZoNode node;
    ASSERT_NE(nullptr, node.Load(OLESTR("<?xml version=\"1.0\"?><!-- top --><a><!-- inner --><![CDATA[c]]><b/></a>")));
    const auto children = node.Children();
    ASSERT_EQ(3u, children.size()) << "a stand-alone root drops what stands before it";
    EXPECT_EQ(CZoNodeType::Comment, children[0]->Type());
    EXPECT_EQ(OleString(OLESTR("#COMMENT")), children[0]->Name());
    EXPECT_EQ(OleString(OLESTR(" inner ")), children[0]->Value());
    EXPECT_EQ(CZoNodeType::CData, children[1]->Type());
    EXPECT_EQ(OleString(OLESTR("c")), children[1]->Value());
    EXPECT_EQ(OleString(OLESTR("b")), children[2]->Name());

    CZoNode document(OLESTR(""), OLESTR(""), CZoNodeType::Document);
    CZoNode& root = document.AppendChild(OLESTR(""), OLESTR(""));
    EXPECT_EQ(&document, root.Document());
    ASSERT_NE(nullptr, root.Load(OLESTR("<?xml version=\"1.0\"?><!-- top --><a/>")));
    const auto kept = document.Children();
    ASSERT_EQ(3u, kept.size()) << "with a document, instructions and comments are kept there";
    EXPECT_EQ(CZoNodeType::ProcessingInstruction, kept[1]->Type());
    EXPECT_EQ(OleString(OLESTR("xml")), kept[1]->Name());
    ASSERT_EQ(1u, kept[1]->Attributes().size());
    EXPECT_EQ(OleString(OLESTR("1.0")), kept[1]->Attributes()[0]->value);
    EXPECT_EQ(CZoNodeType::Comment, kept[2]->Type());
}

TEST(ZoNodeLoad, ErrorsMatchTable)
{
    struct Case {
        const OLECHAR* text;
        int code;
        const OLECHAR* message;
    };
    const Case cases[] = {
        {OLESTR("<a"), 1, OLESTR("Element must be closed.")},
        {OLESTR("<a/ >"), 1, OLESTR("Element must be closed.")},
        {OLESTR("<a>text"), 2, OLESTR("a must be closed with </a>")},
        {OLESTR("<a><b/>text"), 2, OLESTR("it must be closed with </a>")},
        {OLESTR("<a></a"), 2, OLESTR("it must be closed with </a>")},
        {OLESTR("<a><!-- open"), 2, OLESTR("it must be closed with </a>")},
        {OLESTR("<a></b>"), 3, OLESTR("'<a> ... </b>' is not wel-formed.")},
        {OLESTR("<error><errorentry><description/></error>"), 3,
         OLESTR("'<errorentry> ... </error>' is not wel-formed.")},
        {OLESTR("<a x>"), 4, OLESTR("<a> attribute has error ")},
        {OLESTR("<a x=1>"), 4, OLESTR("<a> attribute has error ")},
        {OLESTR("<a x=\"1>"), 4, OLESTR("<a> attribute has error ")},
    };
    for (const auto& c : cases) {
        CZoNode node;
        CZoNodeParseResult result;
        EXPECT_EQ(nullptr, node.Load(c.text, CZoNodeParseOptions(), result)) << c.code;
        EXPECT_TRUE(result.errorOccurred);
        EXPECT_EQ(c.code, result.errorCode) << OleString(c.text).size();
        EXPECT_EQ(OleString(c.message), result.errorMessage);
    }
}

TEST(ZoNodeLoad, FirstErrorIsKeptWithItsPosition)
{
    CZoNode node;
    CZoNodeParseResult result;
    node.Load(OLESTR("<a><b></c></a>"), CZoNodeParseOptions(), result);
    EXPECT_EQ(3, result.errorCode);
    EXPECT_EQ(OleString(OLESTR("'<b> ... </c>' is not wel-formed.")), result.errorMessage);
    EXPECT_EQ(6u, result.errorPosition);
}

TEST(ZoNodeLoad, ForceParseAcceptsMismatchedEndTag)
{
    CZoNodeParseOptions options;
    options.forceParse = true;
    CZoNode node;
    CZoNodeParseResult result;
    EXPECT_NE(nullptr, node.Load(OLESTR("<a>v</b>"), options, result));
    EXPECT_FALSE(result.errorOccurred);
    EXPECT_EQ(OleString(OLESTR("v")), node.Value());
}

TEST(ZoNodeLoad, NoElement)
{
    CZoNode node(OLESTR("old"), OLESTR("value"));
    node.AppendChild(OLESTR("child"), OLESTR(""));
    CZoNodeParseResult result;
    EXPECT_EQ(nullptr, node.Load(OLESTR("no markup"), CZoNodeParseOptions(), result));
    EXPECT_TRUE(node.Name().empty());
    EXPECT_TRUE(node.Children().empty());
    EXPECT_EQ(nullptr, node.Load(nullptr, CZoNodeParseOptions(), result));
}

OleString Nested(int depth)
{
    OleString text;
    for (int i = 0; i < depth; ++i)
        text += OLESTR("<n>");
    for (int i = 0; i < depth; ++i)
        text += OLESTR("</n>");
    return text;
}

TEST(ZoNodeLoad, DepthLimit)
{
    struct Case {
        int depth;
        bool accepted;
    };
    const Case cases[] = {{kZoNodeMaxDepth, true}, {kZoNodeMaxDepth + 1, false}, {200000, false}};
    for (const auto& c : cases) {
        const OleString text = Nested(c.depth);
        CZoNode node;
        CZoNodeParseResult result;
        const OLECHAR* end = node.Load(text.c_str(), CZoNodeParseOptions(), result);
        EXPECT_EQ(c.accepted, end != nullptr) << c.depth;
        EXPECT_EQ(c.accepted ? 0 : ZO_NODE_ERR_TOO_DEEP, result.errorCode) << c.depth;
    }
}

TEST(ZoNodeLoad, WrittenTreeReadsBack)
{
    CZoNode original(OLESTR("root"));
    original.AppendAttribute(OLESTR("k"), OLESTR("\"quoted\" & <more>"));
    original.AppendChild(OLESTR("description"), OLESTR("a<b & c"));
    original.AppendChild(OLESTR("empty"), OLESTR(""));
    original.AppendChild(OLESTR("list"), OLESTR("")).AppendChild(OLESTR("item"), OLESTR("'x'"));

    CZoNode loaded;
    CZoNodeParseResult result;
    ASSERT_NE(nullptr, loaded.Load(original.Write(Flat()).c_str(), CZoNodeParseOptions(), result));
    EXPECT_FALSE(result.errorOccurred);
    EXPECT_EQ(original.Write(Flat()), loaded.Write(Flat()));
}

}  // namespace
