#include "ZoNode.h"

#include "ZoFormat.h"

namespace {

const CZoEntity kDefaultEntities[] = {
    {'&', OLESTR("&amp;"), 5}, {'"', OLESTR("&quot;"), 6}, {'\'', OLESTR("&apos;"), 6},
    {'<', OLESTR("&lt;"), 4},  {'>', OLESTR("&gt;"), 4},
};

bool IsSpace(OLECHAR c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool IsBlank(OleStringView text)
{
    for (OLECHAR c : text)
        if (!IsSpace(c))
            return false;
    return true;
}

OleStringView Trimmed(OleStringView text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsSpace(text[first]))
        ++first;
    while (last > first && IsSpace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

// Reads no further than the prefix: the texts parsed can be long.
bool StartsWith(const OLECHAR* p, OleStringView prefix)
{
    for (OLECHAR c : prefix)
        if (*p++ != c)
            return false;
    return true;
}

const OLECHAR* Find(const OLECHAR* p, OLECHAR wanted)
{
    for (; *p; ++p)
        if (*p == wanted)
            return p;
    return nullptr;
}

const OLECHAR* Find(const OLECHAR* p, OleStringView wanted)
{
    for (; *p; ++p)
        if (StartsWith(p, wanted))
            return p;
    return nullptr;
}

const OLECHAR* SkipSpace(const OLECHAR* p)
{
    while (IsSpace(*p))
        ++p;
    return p;
}

// The end of a name: the first character of stops, or the end of the text.
const OLECHAR* EndOfName(const OLECHAR* p, OleStringView stops)
{
    while (*p && stops.find(*p) == OleStringView::npos)
        ++p;
    return p;
}

void AppendTabs(OleString& out, int depth)
{
    if (depth > 0)
        out.append(static_cast<size_t>(depth), '\t');
}

}  // namespace

CZoEntityTable ZoDefaultEntityTable()
{
    return kDefaultEntities;
}

OleString ZoEscapeText(OleStringView text, CZoEntityTable entities)
{
    OleString out;
    out.reserve(text.size());
    for (OLECHAR c : text) {
        const CZoEntity* match = nullptr;
        for (const CZoEntity& entity : entities)
            if (entity.character == c) {
                match = &entity;
                break;
            }
        if (match)
            out.append(match->reference, match->length);
        else
            out.push_back(c);
    }
    return out;
}

OleString ZoUnescapeText(OleStringView text, CZoEntityTable entities)
{
    OleString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const CZoEntity* match = nullptr;
        for (const CZoEntity& entity : entities)
            if (entity.reference[0] == text[i] &&
                text.substr(i, entity.length) == OleStringView(entity.reference, entity.length)) {
                match = &entity;
                break;
            }
        if (match) {
            out.push_back(match->character);
            i += match->length;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------

CZoNode::CZoNode(OleStringView name, OleStringView value, CZoNodeType type)
    : m_name(name), m_value(value), m_type(type), m_document(type == CZoNodeType::Document ? this : nullptr)
{
}

CZoNode::~CZoNode() = default;

CZoNodeAttribute& CZoNode::AppendAttribute(OleStringView name, OleStringView value)
{
    m_attributes.push_back(std::make_unique<CZoNodeAttribute>(CZoNodeAttribute{OleString(name), OleString(value), this}));
    return *m_attributes.back();
}

void CZoNode::Clear()
{
    m_children.clear();
    m_attributes.clear();
}

CZoNode& CZoNode::Adopt(std::unique_ptr<CZoNode> child)
{
    child->m_parent = this;
    child->m_document = m_document;
    m_children.push_back(std::move(child));
    return *m_children.back();
}

CZoNode& CZoNode::AppendChild(OleStringView name, OleStringView value)
{
    return Adopt(std::make_unique<CZoNode>(name, value));
}

CZoNode& CZoNode::AppendCopy(const CZoNode& node)
{
    auto copy = std::make_unique<CZoNode>(node.m_name, node.m_value, node.m_type);
    for (const auto& attribute : node.m_attributes)
        copy->AppendAttribute(attribute->name, attribute->value);
    CZoNode& added = Adopt(std::move(copy));
    for (const auto& child : node.m_children)
        added.AppendCopy(*child);
    return added;
}

std::vector<CZoNode*> CZoNode::ChildrenByName(OleStringView name)
{
    std::vector<CZoNode*> found;
    for (const auto& child : m_children)
        if (child->m_name == name)
            found.push_back(child.get());
    return found;
}

std::vector<const CZoNode*> CZoNode::ChildrenByName(OleStringView name) const
{
    std::vector<const CZoNode*> found;
    for (const auto& child : m_children)
        if (child->m_name == name)
            found.push_back(child.get());
    return found;
}

std::vector<CZoNode*> CZoNode::Children()
{
    std::vector<CZoNode*> all;
    for (const auto& child : m_children)
        all.push_back(child.get());
    return all;
}

std::vector<const CZoNode*> CZoNode::Children() const
{
    std::vector<const CZoNode*> all;
    for (const auto& child : m_children)
        all.push_back(child.get());
    return all;
}

// ---------------------------------------------------------------------------------------

namespace {

class CZoNodeWriter {
public:
    explicit CZoNodeWriter(const CZoNodeWriteOptions& options) : m_options(options), m_depth(options.tabDepth) {}

    OleString Run(const CZoNode& node)
    {
        WriteNode(node);
        return std::move(m_out);
    }

private:
    void WriteNode(const CZoNode& node)
    {
        if (m_options.newLines)
            NewLine();
        switch (node.Type()) {
        case CZoNodeType::ProcessingInstruction:
            m_out += OLESTR("<?");
            m_out += node.Name();
            if (!node.Attributes().empty()) {
                m_out.push_back(' ');
                WriteAttributes(node);
            }
            m_out += OLESTR("?>");
            break;
        case CZoNodeType::Comment:
            m_out += OLESTR("<!--");
            m_out += node.Value();
            m_out += OLESTR("-->");
            break;
        case CZoNodeType::CData:
            m_out += OLESTR("<![CDATA[");
            m_out += node.Value();
            m_out += OLESTR("]]>");
            break;
        case CZoNodeType::Document:
            for (const CZoNode* child : node.Children())
                WriteNode(*child);
            break;
        case CZoNodeType::Element:
            WriteElement(node);
            break;
        }
    }

    void WriteElement(const CZoNode& node)
    {
        m_out.push_back('<');
        m_out += node.Name();
        if (!node.Attributes().empty()) {
            m_out.push_back(' ');
            WriteAttributes(node);
        }
        const auto children = node.Children();
        if (children.empty() && node.Value().empty()) {
            m_out += OLESTR("/>");
            return;
        }
        m_out.push_back('>');
        const bool indent = m_options.newLines && !children.empty();
        if (indent)
            ++m_depth;
        for (const CZoNode* child : children)
            WriteNode(*child);
        if (!node.Value().empty()) {
            if (indent)
                NewLine();
            WriteText(node.Value());
        }
        if (indent) {
            --m_depth;
            NewLine();
        }
        m_out += OLESTR("</");
        m_out += node.Name();
        m_out.push_back('>');
    }

    void WriteAttributes(const CZoNode& node)
    {
        for (const auto& attribute : node.Attributes()) {
            m_out += attribute->name;
            m_out.push_back('=');
            m_out.push_back(m_options.valueQuote);
            WriteText(attribute->value);
            m_out.push_back(m_options.valueQuote);
            m_out.push_back(' ');
        }
    }

    void WriteText(const OleString& text)
    {
        if (m_options.referenceValues)
            m_out += ZoEscapeText(text, m_options.entities);
        else
            m_out += text;
    }

    void NewLine()
    {
        m_out += OLESTR("\r\n");
        AppendTabs(m_out, m_depth);
    }

    const CZoNodeWriteOptions& m_options;
    int m_depth;
    OleString m_out;
};

}  // namespace

OleString CZoNode::Write(const CZoNodeWriteOptions& options) const
{
    return CZoNodeWriter(options).Run(*this);
}

// ---------------------------------------------------------------------------------------

class CZoNodeParser {
public:
    CZoNodeParser(const OLECHAR* text, const CZoNodeParseOptions& options, CZoNodeParseResult& result)
        : m_text(text), m_options(options), m_result(result)
    {
    }

    const OLECHAR* ParseElement(CZoNode& node, const OLECHAR* p, int depth)
    {
        if (depth > kZoNodeMaxDepth) {
            RecordError(p, ZO_NODE_ERR_TOO_DEEP,
                        ZoFormat(OLESTR("Elements are nested deeper than %d levels."), kZoNodeMaxDepth));
            return nullptr;
        }
        p = SkipToStartTag(node, p);
        if (!p || p[1] == '/')
            return p;

        const OLECHAR* nameEnd = EndOfName(p + 1, OLESTR(" />\t\r\n"));
        node.m_name.assign(p + 1, nameEnd);
        p = ParseAttributes(node, nameEnd);
        if (!p)
            return nullptr;
        if (*p == '/') {
            if (p[1] == '>')
                return p + 2;
            RecordError(p, ZO_NODE_ERR_ELEMENT_NOT_CLOSED, OLESTR("Element must be closed."));
            return nullptr;
        }
        ++p;  // '>'

        const OLECHAR* textEnd = FindTextEnd(p);
        if (!textEnd) {
            RecordError(p, ZO_NODE_ERR_END_TAG_MISSING,
                        ZoFormat(OLESTR("%s must be closed with </%s>"), node.m_name.c_str(), node.m_name.c_str()));
            return nullptr;
        }
        node.m_value = ValueOf(p, textEnd);
        return ParseContent(node, textEnd, depth);
    }

private:
    // Steps over text, processing instructions, comments and CDATA sections up to the next
    // start or end tag, keeping what the tree has a place for.
    const OLECHAR* SkipToStartTag(CZoNode& node, const OLECHAR* p)
    {
        for (;;) {
            p = Find(p, '<');
            if (!p || p[1] == '/')
                return p;
            if (StartsWith(p, OLESTR("<?")))
                p = SkipProcessingInstruction(node, p);
            else if (StartsWith(p, OLESTR("<!--")))
                p = SkipMarkup(node, p, OLESTR("<!--"), OLESTR("-->"), CZoNodeType::Comment);
            else if (StartsWith(p, OLESTR("<![CDATA[")))
                p = SkipMarkup(node, p, OLESTR("<![CDATA["), OLESTR("]]>"), CZoNodeType::CData);
            else
                return p;
            if (!p)
                return nullptr;
        }
    }

    // Comments and CDATA sections belong to the parent, or to the document at a root; a
    // stand-alone root drops them.
    static CZoNode* KeeperOf(const CZoNode& node) { return node.m_parent ? node.m_parent : node.m_document; }

    const OLECHAR* SkipMarkup(CZoNode& node, const OLECHAR* p, OleStringView open, OleStringView close, CZoNodeType type)
    {
        const OLECHAR* start = p + open.size();
        const OLECHAR* end = Find(start, close);
        if (!end)
            return nullptr;
        if (CZoNode* keeper = KeeperOf(node)) {
            const OleStringView text(start, static_cast<size_t>(end - start));
            keeper->Adopt(std::make_unique<CZoNode>(type == CZoNodeType::Comment ? OLESTR("#COMMENT") : OLESTR("#CDATA"),
                                                    text, type));
        }
        return end + close.size();
    }

    const OLECHAR* SkipProcessingInstruction(CZoNode& node, const OLECHAR* p)
    {
        const OLECHAR* start = p + 2;
        const OLECHAR* end = Find(start, OLESTR("?>"));
        if (!end)
            return nullptr;
        if (CZoNode* document = node.m_document) {
            const OLECHAR* nameEnd = EndOfName(start, OLESTR(" ?\t\r\n"));
            auto instruction =
                std::make_unique<CZoNode>(OleStringView(start, static_cast<size_t>(nameEnd - start)),
                                          Trimmed(OleStringView(nameEnd, static_cast<size_t>(end - nameEnd))),
                                          CZoNodeType::ProcessingInstruction);
            ReadInstructionAttributes(*instruction, nameEnd, end);
            document->Adopt(std::move(instruction));
        }
        return end + 2;
    }

    // Best effort: an instruction's pseudo-attributes are kept when they are well formed.
    void ReadInstructionAttributes(CZoNode& instruction, const OLECHAR* p, const OLECHAR* end)
    {
        for (;;) {
            p = SkipSpace(p);
            const OLECHAR* nameEnd = p;
            while (nameEnd < end && *nameEnd != '=' && !IsSpace(*nameEnd))
                ++nameEnd;
            if (p == nameEnd || nameEnd >= end || *nameEnd != '=')
                return;
            const OLECHAR* quote = nameEnd + 1;
            if (quote >= end || (*quote != '"' && *quote != '\''))
                return;
            const OLECHAR* close = quote + 1;
            while (close < end && *close != *quote)
                ++close;
            if (close >= end)
                return;
            instruction.AppendAttribute(OleStringView(p, static_cast<size_t>(nameEnd - p)),
                                        AttributeValueOf(quote + 1, close));
            p = close + 1;
        }
    }

    // Returns the position of the '>' or '/' that ends the start tag, or null on error.
    const OLECHAR* ParseAttributes(CZoNode& node, const OLECHAR* p)
    {
        for (;;) {
            p = SkipSpace(p);
            if (*p == '>' || *p == '/')
                return p;
            if (!*p) {
                RecordError(p, ZO_NODE_ERR_ELEMENT_NOT_CLOSED, OLESTR("Element must be closed."));
                return nullptr;
            }
            const OLECHAR* nameEnd = EndOfName(p, OLESTR(" =/>\t\r\n"));
            const OLECHAR* q = SkipSpace(nameEnd);
            if (*q != '=')
                return AttributeError(node, q);
            q = SkipSpace(q + 1);
            if (*q != '"' && *q != '\'')
                return AttributeError(node, q);
            const OLECHAR* close = Find(q + 1, *q);
            if (!close)
                return AttributeError(node, q);
            node.AppendAttribute(OleStringView(p, static_cast<size_t>(nameEnd - p)), AttributeValueOf(q + 1, close));
            p = close + 1;
        }
    }

    const OLECHAR* AttributeError(const CZoNode& node, const OLECHAR* at)
    {
        RecordError(at, ZO_NODE_ERR_ATTRIBUTE, ZoFormat(OLESTR("<%s> attribute has error "), node.m_name.c_str()));
        return nullptr;
    }

    // Children, further text and the end tag; p stands on a '<'.
    const OLECHAR* ParseContent(CZoNode& node, const OLECHAR* p, int depth)
    {
        for (;;) {
            if (p[1] == '/')
                return ParseEndTag(node, p);
            auto child = std::make_unique<CZoNode>();
            child->m_parent = &node;
            child->m_document = node.m_document;
            const OLECHAR* next = ParseElement(*child, p, depth + 1);
            if (!next) {
                RecordError(p, ZO_NODE_ERR_END_TAG_MISSING,
                            ZoFormat(OLESTR("it must be closed with </%s>"), node.m_name.c_str()));
                return nullptr;
            }
            if (!child->m_name.empty())
                node.Adopt(std::move(child));
            p = next;
            if (*p == '<')
                continue;
            const OLECHAR* textEnd = FindTextEnd(p);
            if (!textEnd) {
                RecordError(p, ZO_NODE_ERR_END_TAG_MISSING,
                            ZoFormat(OLESTR("it must be closed with </%s>"), node.m_name.c_str()));
                return nullptr;
            }
            // The text after the last child counts when the element has no text of its own.
            if (IsBlank(node.m_value))
                node.m_value = ValueOf(p, textEnd);
            p = textEnd;
        }
    }

    const OLECHAR* ParseEndTag(CZoNode& node, const OLECHAR* p)
    {
        const OLECHAR* nameStart = p + 2;
        const OLECHAR* nameEnd = EndOfName(nameStart, OLESTR(" >"));
        const OLECHAR* close = *nameEnd ? Find(nameEnd, '>') : nullptr;
        if (!close) {
            RecordError(p, ZO_NODE_ERR_END_TAG_MISSING,
                        ZoFormat(OLESTR("it must be closed with </%s>"), node.m_name.c_str()));
            return nullptr;
        }
        const OleStringView endName(nameStart, static_cast<size_t>(nameEnd - nameStart));
        if (endName != node.m_name && !m_options.forceParse) {
            const OleString endNameText(endName);
            RecordError(p, ZO_NODE_ERR_NOT_WELL_FORMED,
                        ZoFormat(OLESTR("'<%s> ... </%s>' is not wel-formed."), node.m_name.c_str(), endNameText.c_str()));
            return nullptr;
        }
        return close + 1;
    }

    // The next '<' that the escape character does not stand before.
    const OLECHAR* FindTextEnd(const OLECHAR* p) const
    {
        for (; *p; ++p) {
            if (m_options.escapeCharacter && *p == m_options.escapeCharacter && p[1]) {
                ++p;
                continue;
            }
            if (*p == '<')
                return p;
        }
        return nullptr;
    }

    OleString ValueOf(const OLECHAR* start, const OLECHAR* end) const
    {
        OleStringView text(start, static_cast<size_t>(end - start));
        if (m_options.trimValues)
            text = Trimmed(text);
        return m_options.entityValues ? ZoUnescapeText(text, m_options.entities) : OleString(text);
    }

    OleString AttributeValueOf(const OLECHAR* start, const OLECHAR* end) const
    {
        const OleStringView text(start, static_cast<size_t>(end - start));
        return m_options.entityValues ? ZoUnescapeText(text, m_options.entities) : OleString(text);
    }

    void RecordError(const OLECHAR* at, int code, OleString message)
    {
        if (m_result.errorOccurred)
            return;
        m_result.errorOccurred = true;
        m_result.errorPosition = static_cast<size_t>(at - m_text);
        m_result.errorCode = code;
        m_result.errorMessage = std::move(message);
    }

    const OLECHAR* m_text;
    const CZoNodeParseOptions& m_options;
    CZoNodeParseResult& m_result;
};

const OLECHAR* CZoNode::Load(const OLECHAR* text, const CZoNodeParseOptions& options, CZoNodeParseResult& result)
{
    Clear();
    m_name.clear();
    m_value.clear();
    result = CZoNodeParseResult();
    if (!text)
        return nullptr;
    return CZoNodeParser(text, options, result).ParseElement(*this, text, 1);
}

const OLECHAR* CZoNode::Load(const OLECHAR* text, const CZoNodeParseOptions& options)
{
    CZoNodeParseResult ignored;
    return Load(text, options, ignored);
}
