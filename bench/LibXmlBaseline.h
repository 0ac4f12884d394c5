// The XML benchmarks' baseline: documents of the same shape as the library's item and
// collection documents (XmlBenchShape.h), built, written and parsed with libxml2 directly.
// Only LibXmlBaseline.cpp sees libxml2; texts are UTF-8.
#pragma once

#include <string>

// An "item" document of that many properties, built as a tree and written out.
std::string LibXmlWriteItemDocument(long properties);
// An "enum" document of that many "item" elements, each of that many properties.
std::string LibXmlWriteCollectionDocument(long items, long propertiesPerItem);
// Parses the text and reads, at every depth, each "property" element's four attributes and
// its text, integers converted to numbers; the number of properties read, or -1 when the
// text does not parse.
long LibXmlReadDocument(const std::string& text);
// Parses the text into a tree and frees it: what libxml2 needs to hold the document. Whether
// it parsed.
bool LibXmlParseAndFree(const std::string& text);
