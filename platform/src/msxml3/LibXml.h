// libxml2 as the DOM uses it: set up once for the process, quiet on every thread, and parsing
// only what a document text holds (no DTD, no external entity, no network, bounded depth).
#pragma once

#include <string>
#include <string_view>

#include <libxml/tree.h>

namespace lumo::platform::msxml {

// Element depth accepted when the document asks for none (MaxElementDepth 0 or unset).
inline constexpr int kDefaultMaxElementDepth = 2048;

// Called before any other libxml2 call on a thread: initialises the library once and sends
// this thread's libxml2 messages nowhere (never to the standard error).
void PrepareLibXml();

struct ParseSettings {
    bool preserveWhiteSpace = false;
    int maxElementDepth = kDefaultMaxElementDepth;
};

struct ParseResult {
    xmlDocPtr doc = nullptr;  // owned by the caller; null on failure
    std::string reason;       // the first error, on failure
};

// utf8: the whole document text; any encoding it declares is ignored, as the text is already
// decoded.
ParseResult ParseXml(std::string_view utf8, const ParseSettings& settings);

// The node's markup on one line, without a declaration, in UTF-8.
std::string SerializeNode(xmlNodePtr node);

}  // namespace lumo::platform::msxml
