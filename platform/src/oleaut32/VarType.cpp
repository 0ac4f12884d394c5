#include "oleaut32/VarType.h"

namespace lumo::platform::oleaut32 {

bool IsVariantType(VARTYPE vt) noexcept
{
    if (vt & (VT_VECTOR | VT_RESERVED))
        return false;
    const VARTYPE base = BaseTypeOf(vt);
    const bool fundamental = (base <= VT_DECIMAL) || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
    if (!fundamental)
        return false;
    if ((vt & (VT_ARRAY | VT_BYREF)) && base <= VT_NULL)
        return false;
    return true;
}

size_t ScalarSizeOf(VARTYPE base) noexcept
{
    switch (base) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
        return 8;
    default:
        return 0;
    }
}

}  // namespace lumo::platform::oleaut32
