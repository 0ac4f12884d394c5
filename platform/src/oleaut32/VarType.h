// Which VARTYPE values a VARIANT may carry.
#pragma once

#include <windows.h>

namespace lumo::platform::oleaut32 {

// The fundamental types, VT_RECORD, and either of them with VT_ARRAY and/or VT_BYREF;
// VT_EMPTY and VT_NULL stand alone. VT_VECTOR and VT_RESERVED belong to property sets.
bool IsVariantType(VARTYPE vt) noexcept;

inline VARTYPE BaseTypeOf(VARTYPE vt) noexcept { return vt & VT_TYPEMASK; }

// The size of a value of a fixed-size scalar type (the integers, reals, VT_BOOL, VT_ERROR,
// VT_DATE, VT_CY); 0 for any other type.
size_t ScalarSizeOf(VARTYPE base) noexcept;

}  // namespace lumo::platform::oleaut32
