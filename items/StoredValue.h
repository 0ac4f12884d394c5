// How the collections keep the values given to them.
#pragma once

#include <windows.h>

#include "ComVariant.h"

// VT_INT becomes VT_I4 holding the same 32-bit number; any other value is left as it is.
void StoreIntAsI4(CComVariant& value) noexcept;
// A copy that holds a by-reference variant as the value it refers to, so that nothing points
// into the caller's memory after the call. A null reference, a reference to a variant that is
// a reference itself and a failing copy are raised.
CComVariant DereferencedCopy(const VARIANT& value);
// A copy as the collections store it: dereferenced, and VT_INT as VT_I4.
CComVariant StoredCopy(const VARIANT& value);
// The same taken from value, which is left empty: only a by-reference value is copied.
CComVariant TakenAsStored(VARIANT& value);
