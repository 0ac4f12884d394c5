#include "ValueEquality.h"

#include <cstring>

Equality CompareVariants(const VARIANT& left, const VARIANT& right)
{
    if (left.vt != right.vt)
        return Equality::Different;
    auto same = [](bool equal) { return equal ? Equality::Equal : Equality::Different; };
    switch (left.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return Equality::Equal;
    case VT_I2:
    case VT_BOOL:
    case VT_UI2:
        return same(left.uiVal == right.uiVal);
    case VT_I4:
    case VT_ERROR:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
        return same(left.ulVal == right.ulVal);
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return same(left.punkVal == right.punkVal);
    case VT_R4:
        return same(left.fltVal == right.fltVal);
    case VT_R8:
    case VT_DATE:
        return same(left.dblVal == right.dblVal);
    case VT_CY:
    case VT_I8:
    case VT_UI8:
        return same(left.ullVal == right.ullVal);
    case VT_DECIMAL:
        return same(std::memcmp(&left.decVal, &right.decVal, sizeof(DECIMAL)) == 0);
    case VT_I1:
    case VT_UI1:
        return same(left.bVal == right.bVal);
    case VT_BSTR: {
        const UINT length = SysStringByteLen(left.bstrVal);
        return same(length == SysStringByteLen(right.bstrVal) &&
                    (length == 0 || std::memcmp(left.bstrVal, right.bstrVal, length) == 0));
    }
    default:
        return Equality::Incomparable;
    }
}
