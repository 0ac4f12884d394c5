// The objects and texts the XML benchmarks save and load: items of many properties,
// collections of many items (both of the shape XmlBenchShape.h gives), and a large text at the
// bottom of items or collections nested deep. Every builder returns null when the library
// refuses a step.
#pragma once

#include "BenchSupport.h"

inline constexpr long kPropertiesPerMember = 10;

CComPtr<ILumoItem> FilledItem(long properties);
CComPtr<ILumoEnum> FilledCollection(long members, long propertiesPerMember = kPropertiesPerMember);

// A text of that many characters "x".
CComBSTR LargeText(long characters);
// An item holding the text as its property "text", inside `depth` items, each holding the
// next as its property "inner". Depth 0 is the flat item.
CComPtr<ILumoItem> NestedItem(long depth, const CComBSTR& text);
// A collection of one item holding the text, inside `depth` collections, each holding an item
// whose property "inner" is the next collection.
CComPtr<ILumoEnum> NestedCollection(long depth, const CComBSTR& text);

// -1 when the count cannot be read.
LONG PropertyCount(ILumoItem* item);
LONG MemberCount(ILumoEnum* collection);
