// A small XML element tree with its own writer and parser: the form in which CZoException
// keeps its error document.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include <windows.h>

#include "OleString.h"

enum class CZoNodeType { Element = 0, ProcessingInstruction = 1, Comment = 2, CData = 3, Document = 4 };

// A character and the reference that stands for it in written text.
struct CZoEntity {
    OLECHAR character;
    const OLECHAR* reference;
    size_t length;
};
using CZoEntityTable = std::span<const CZoEntity>;

// "&amp;", "&quot;", "&apos;", "&lt;", "&gt;", in that order.
CZoEntityTable ZoDefaultEntityTable();
OleString ZoEscapeText(OleStringView text, CZoEntityTable entities);
// Replaces each whole, exactly spelled reference by its character; anything else is copied.
OleString ZoUnescapeText(OleStringView text, CZoEntityTable entities);

struct CZoNodeWriteOptions {
    bool newLines = true;
    bool referenceValues = true;  // escape text and attribute values
    OLECHAR valueQuote = '"';
    CZoEntityTable entities = ZoDefaultEntityTable();
    int tabDepth = 0;
};

// The defaults are those an error document is read back with.
struct CZoNodeParseOptions {
    bool trimValues = false;
    bool entityValues = true;  // unescape text and attribute values
    CZoEntityTable entities = ZoDefaultEntityTable();
    OLECHAR escapeCharacter = 0;  // 0: none
    bool forceParse = false;      // accept a mismatched end tag
};

// Parse error codes.
enum : int {
    ZO_NODE_ERR_ELEMENT_NOT_CLOSED = 1,
    ZO_NODE_ERR_END_TAG_MISSING = 2,
    ZO_NODE_ERR_NOT_WELL_FORMED = 3,
    ZO_NODE_ERR_ATTRIBUTE = 4,
    ZO_NODE_ERR_TOO_DEEP = 5,
};

// Documents nested deeper than this are refused with ZO_NODE_ERR_TOO_DEEP, so that no input
// can exhaust the stack of the recursive parser.
inline constexpr int kZoNodeMaxDepth = 256;

// Only the first error of a parse is recorded.
struct CZoNodeParseResult {
    bool errorOccurred = false;
    size_t errorPosition = 0;  // offset into the text given to Load
    int errorCode = 0;
    OleString errorMessage;
};

class CZoNode;

struct CZoNodeAttribute {
    OleString name;
    OleString value;
    CZoNode* parent;
};

class CZoNode {
public:
    // A stand-alone node; a node of type Document is its own document.
    explicit CZoNode(OleStringView name = {}, OleStringView value = {}, CZoNodeType type = CZoNodeType::Element);
    ~CZoNode();
    CZoNode(const CZoNode&) = delete;
    CZoNode& operator=(const CZoNode&) = delete;

    const OleString& Name() const { return m_name; }
    void SetName(OleStringView name) { m_name = name; }
    const OleString& Value() const { return m_value; }
    void SetValue(OleStringView value) { m_value = value; }
    CZoNode* Parent() const { return m_parent; }
    CZoNodeType Type() const { return m_type; }
    CZoNode* Document() const { return m_document; }

    const std::vector<std::unique_ptr<CZoNodeAttribute>>& Attributes() const { return m_attributes; }
    CZoNodeAttribute& AppendAttribute(OleStringView name, OleStringView value);

    // Deletes all children and attributes.
    void Clear();
    CZoNode& AppendChild(OleStringView name, OleStringView value);
    // A deep copy of node (name, value, type, attributes, descendants) as the last child.
    CZoNode& AppendCopy(const CZoNode& node);

    std::vector<CZoNode*> ChildrenByName(OleStringView name);
    std::vector<const CZoNode*> ChildrenByName(OleStringView name) const;
    std::vector<CZoNode*> Children();
    std::vector<const CZoNode*> Children() const;

    OleString Write(const CZoNodeWriteOptions& options = {}) const;

    // Clears the node (name and value too) and parses one element of text into it. Returns
    // the position after that element, or null on error (recorded in result) or when the
    // text holds no element.
    const OLECHAR* Load(const OLECHAR* text, const CZoNodeParseOptions& options, CZoNodeParseResult& result);
    const OLECHAR* Load(const OLECHAR* text, const CZoNodeParseOptions& options = {});

private:
    friend class CZoNodeParser;

    CZoNode& Adopt(std::unique_ptr<CZoNode> child);

    OleString m_name;
    OleString m_value;
    CZoNode* m_parent = nullptr;
    std::vector<std::unique_ptr<CZoNode>> m_children;
    std::vector<std::unique_ptr<CZoNodeAttribute>> m_attributes;
    CZoNodeType m_type;
    CZoNode* m_document = nullptr;
};
