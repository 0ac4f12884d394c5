#include "LibXmlBaseline.h"

#include <cstdlib>
#include <cstring>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "XmlBenchShape.h"

namespace {

const xmlChar* Text(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

void AddProperties(xmlNodePtr item, long properties)
{
    for (long k = 0; k < properties; ++k) {
        const bool integer = XmlBenchHoldsInteger(k);
        const std::string value = integer ? std::to_string(k) : XmlBenchStringValue(k);
        // The text child escapes its content, as setting an element's text does.
        xmlNodePtr property = xmlNewTextChild(item, nullptr, Text("property"), Text(value.c_str()));
        xmlSetProp(property, Text("name"), Text(XmlBenchPropertyName(k).c_str()));
        xmlSetProp(property, Text("namespace"), Text(kXmlBenchNamespace));
        xmlSetProp(property, Text("changed"), Text("1"));
        xmlSetProp(property, Text("type"), Text(integer ? "integer" : "string"));
    }
}

xmlNodePtr NewItem(xmlDocPtr document, xmlNodePtr parent, long properties)
{
    xmlNodePtr item = parent ? xmlNewChild(parent, nullptr, Text("item"), nullptr)
                             : xmlNewDocNode(document, nullptr, Text("item"), nullptr);
    xmlSetProp(item, Text("progid"), Text("LumoItemsLib::LumoItem"));
    AddProperties(item, properties);
    return item;
}

std::string Written(xmlDocPtr document)
{
    xmlChar* bytes = nullptr;
    int size = 0;
    xmlDocDumpMemory(document, &bytes, &size);
    std::string text(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    xmlFree(bytes);
    xmlFreeDoc(document);
    return text;
}

bool IsNamed(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Reads the attribute's text and releases it, as a DOM client does; whether it equals text.
bool AttributeEquals(xmlNodePtr node, const char* name, const char* text)
{
    xmlChar* value = xmlGetProp(node, Text(name));
    const bool equal = value && std::strcmp(reinterpret_cast<const char*>(value), text) == 0;
    xmlFree(value);
    return equal;
}

long ReadProperties(xmlNodePtr parent, long long& checksum)
{
    long read = 0;
    for (xmlNodePtr node = parent->children; node; node = node->next) {
        if (IsNamed(node, "item")) {
            read += ReadProperties(node, checksum);
            continue;
        }
        if (!IsNamed(node, "property"))
            continue;
        AttributeEquals(node, "name", "");
        AttributeEquals(node, "namespace", "");
        AttributeEquals(node, "changed", "1");
        const bool isInteger = AttributeEquals(node, "type", "integer");
        xmlChar* content = xmlNodeGetContent(node);
        if (content) {
            const char* text = reinterpret_cast<const char*>(content);
            checksum += isInteger ? std::strtoll(text, nullptr, 10) : static_cast<long long>(std::strlen(text));
            xmlFree(content);
        }
        ++read;
    }
    return read;
}

}  // namespace

std::string LibXmlWriteItemDocument(long properties)
{
    xmlDocPtr document = xmlNewDoc(Text("1.0"));
    xmlDocSetRootElement(document, NewItem(document, nullptr, properties));
    return Written(document);
}

std::string LibXmlWriteCollectionDocument(long items, long propertiesPerItem)
{
    xmlDocPtr document = xmlNewDoc(Text("1.0"));
    xmlNodePtr collection = xmlNewDocNode(document, nullptr, Text("enum"), nullptr);
    xmlSetProp(collection, Text("progid"), Text("LumoItemsLib::LumoEnum"));
    xmlDocSetRootElement(document, collection);
    for (long i = 0; i < items; ++i)
        NewItem(document, collection, propertiesPerItem);
    return Written(document);
}

long LibXmlReadDocument(const std::string& text)
{
    xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", XML_PARSE_NONET);
    if (!document)
        return -1;
    long long checksum = 0;
    const long read = ReadProperties(xmlDocGetRootElement(document), checksum);
    xmlFreeDoc(document);
    // The checksum keeps the reads from being optimised away.
    return checksum < 0 ? -1 : read;
}

bool LibXmlParseAndFree(const std::string& text)
{
    xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                       XML_PARSE_NONET | XML_PARSE_HUGE);
    if (!document)
        return false;
    xmlFreeDoc(document);
    return true;
}
