// The collection document: a root "enum" with the collection's program id and one "item"
// element for each member, the document of the item the member holds.
#pragma once

#include <functional>
#include <vector>

#include <windows.h>
#include <msxml2.h>

#include "ComBSTR.h"
#include "SItem.h"
#include "ZoCOMClassFactory.h"

// Both raise their errors in the calling method's frame, whose name they are given. Only
// members that hold items can be written.
CComBSTR WriteCollectionDocument(CZoCOMClassFactory& factory, std::vector<SItem>& members, const OLECHAR* zoFunctionName);
// The same written into a holder's document, under parent; returns the element levels it adds.
LONG WriteCollectionInto(CZoCOMClassFactory& factory, IXMLDOMDocument* document, IXMLDOMNode* parent,
                         std::vector<SItem>& members, const OLECHAR* zoFunctionName);
// Once the document's root is found, clears the members, then appends each member's item.
void ReadCollectionDocument(CZoCOMClassFactory& factory, BSTR xml, const std::function<void()>& clearMembers,
                            const std::function<void(IUnknown* item)>& appendItem, const OLECHAR* zoFunctionName);
// The same from an element of a holder's document, as from that element's text.
void ReadCollectionFrom(CZoCOMClassFactory& factory, IXMLDOMElement* element, const std::function<void()>& clearMembers,
                        const std::function<void(IUnknown* item)>& appendItem, const OLECHAR* zoFunctionName);
