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

}  // namespace lumo::platform::oleaut32
