// The item document: a root "item" with the item's program id, GUID and type name, and one
// "property" element for each property with a value, holding its text and XML Schema type,
// or the document of the object it holds.
#pragma once

#include <functional>

#include <windows.h>
#include <msxml2.h>

#include "ComBSTR.h"
#include "ComPtr.h"
#include "LumoItems.h"
#include "ZoCOMClassFactory.h"

// An item as its document reads and writes it. The property collection is fetched, and made
// if the item has none, when the document first needs it; a reader of no properties leaves an
// item without one as it is.
struct ItemDocumentFields {
    CComBSTR& guid;
    CComBSTR& schemaType;
    std::function<CComPtr<ILumoEnumProperty>()> properties;
    bool hasProperties;
};

// Both raise their errors in the calling method's frame, whose name they are given.
CComBSTR WriteItemDocument(CZoCOMClassFactory& factory, const ItemDocumentFields& item, const OLECHAR* zoFunctionName);
// The same written into a holder's document, under parent; returns the element levels it adds.
LONG WriteItemInto(CZoCOMClassFactory& factory, IXMLDOMDocument* document, IXMLDOMNode* parent,
                   const ItemDocumentFields& item, const OLECHAR* zoFunctionName);
// Reads the document into the item: the GUID and type name it has, and its properties in place
// of the collection's. An error carries the "ItemXML" detail of the smallest text that holds it.
void ReadItemDocument(CZoCOMClassFactory& factory, BSTR xml, ItemDocumentFields& item, const OLECHAR* zoFunctionName);
// The same from an element of a holder's document, as from that element's text.
void ReadItemFrom(CZoCOMClassFactory& factory, IXMLDOMElement* element, ItemDocumentFields& item,
                  const OLECHAR* zoFunctionName);
