// A walk over a property collection through its enumerator, as any client of it walks.
#pragma once

#include <functional>

#include <windows.h>

#include "LumoItems.h"

// Visits each element of the collection's enumerator, n of them (the count read first), as a
// property, until visit returns false. An element that is not a property raises E_POINTER in
// the caller's frame, whose name it is given.
void ForEachProperty(ILumoEnumProperty* properties, const std::function<bool(ILumoProperty*)>& visit,
                     const OLECHAR* zoFunctionName);
