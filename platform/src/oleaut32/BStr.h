// Copying BSTRs inside oleaut32: variants and safe arrays duplicate strings the same way.
#pragma once

#include <windows.h>

namespace lumo::platform::oleaut32 {

// A copy with the source's byte length, so odd lengths and embedded NULs survive; a null
// source gives null. E_OUTOFMEMORY leaves *copy null.
HRESULT CopyBstr(BSTR source, BSTR* copy) noexcept;

}  // namespace lumo::platform::oleaut32
