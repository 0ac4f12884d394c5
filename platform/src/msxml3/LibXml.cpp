#include "msxml3/LibXml.h"

#include <climits>
#include <mutex>
#include <new>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

namespace lumo::platform::msxml {
namespace {

void DropGenericError(void*, const char*, ...) {}
void DropStructuredError(void*, xmlErrorPtr) {}

// No document may pull in anything from outside its own text.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

// The parse's own state, reached from the SAX callbacks through the context's _private.
struct ParseState {
    int depth = 0;
    int maxDepth = kDefaultMaxElementDepth;
    std::string reason;
    bool refused = false;
    startElementNsSAX2Func startElement = nullptr;
    endElementNsSAX2Func endElement = nullptr;
};

ParseState& StateOf(void* context)
{
    return *static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(context)->_private);
}

void Refuse(void* context, const char* reason)
{
    auto* parser = static_cast<xmlParserCtxtPtr>(context);
    ParseState& state = StateOf(context);
    if (!state.refused) {
        state.refused = true;
        state.reason = reason;
    }
    parser->wellFormed = 0;
    xmlStopParser(parser);
}

void OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    Refuse(context, "DTD is prohibited.");
}

void OnStartElement(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaultedCount,
                    const xmlChar** attributes)
{
    ParseState& state = StateOf(context);
    if (++state.depth > state.maxDepth) {
        Refuse(context, "The element depth exceeds the limit.");
        return;
    }
    state.startElement(context, localname, prefix, uri, namespaceCount, namespaces, attributeCount, defaultedCount,
                       attributes);
}

void OnEndElement(void* context, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    ParseState& state = StateOf(context);
    --state.depth;
    state.endElement(context, localname, prefix, uri);
}

void OnParseError(void* context, xmlErrorPtr error)
{
    ParseState& state = StateOf(context);
    if (state.reason.empty() && error && error->level >= XML_ERR_ERROR)
        state.reason = error->message ? error->message : "The document is not well formed.";
}

struct ParserContext {
    ParserContext() : parser(xmlNewParserCtxt()) {}
    ~ParserContext()
    {
        if (parser)
            xmlFreeParserCtxt(parser);
    }
    ParserContext(const ParserContext&) = delete;
    ParserContext& operator=(const ParserContext&) = delete;
    xmlParserCtxtPtr parser;
};

}  // namespace

void PrepareLibXml()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(&RefuseExternalEntity);
    });
    // Both handlers are per thread in libxml2.
    thread_local bool quiet = false;
    if (!quiet) {
        xmlSetGenericErrorFunc(nullptr, &DropGenericError);
        xmlSetStructuredErrorFunc(nullptr, &DropStructuredError);
        quiet = true;
    }
}

ParseResult ParseXml(std::string_view utf8, const ParseSettings& settings)
{
    PrepareLibXml();
    ParseResult result;
    if (utf8.size() > static_cast<size_t>(INT_MAX)) {
        result.reason = "The document is too large.";
        return result;
    }
    ParserContext context;
    if (!context.parser || !context.parser->sax) {
        result.reason = "Out of memory.";
        return result;
    }
    ParseState state;
    state.maxDepth = settings.maxElementDepth;
    xmlSAXHandler* sax = context.parser->sax;
    state.startElement = sax->startElementNs;
    state.endElement = sax->endElementNs;
    sax->startElementNs = &OnStartElement;
    sax->endElementNs = &OnEndElement;
    sax->internalSubset = &OnDocumentType;
    sax->externalSubset = &OnDocumentType;
    sax->serror = &OnParseError;
    sax->error = nullptr;
    sax->warning = nullptr;
    context.parser->_private = &state;

    // Without DTD processing no entity can be declared, so HUGE lifts only the size limits
    // (a text node of more than 10 MB), not the guards against entity expansion.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE | XML_PARSE_IGNORE_ENC;
    if (!settings.preserveWhiteSpace)
        options |= XML_PARSE_NOBLANKS;
    xmlDocPtr doc = xmlCtxtReadMemory(context.parser, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                      options);
    if (doc && (state.refused || !xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc) {
        result.reason = state.reason.empty() ? "The document is not well formed." : state.reason;
        return result;
    }
    result.doc = doc;
    return result;
}

std::string SerializeNode(xmlNodePtr node)
{
    PrepareLibXml();
    std::string text;
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer)
        throw std::bad_alloc();
    // Grown by doubling: the default grows by what each write needs, which copies the text
    // again and again wherever realloc cannot extend the block in place.
    xmlBufferSetAllocationScheme(buffer, XML_BUFFER_ALLOC_DOUBLEIT);
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (save) {
        xmlSaveTree(save, node);
        xmlSaveClose(save);
        text.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<size_t>(xmlBufferLength(buffer)));
    }
    xmlBufferFree(buffer);
    if (!save)
        throw std::bad_alloc();
    return text;
}

}  // namespace lumo::platform::msxml
