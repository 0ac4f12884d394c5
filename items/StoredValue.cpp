#include "StoredValue.h"

#include "ZoCheck.h"

void StoreIntAsI4(CComVariant& value) noexcept
{
    if (value.vt == VT_INT) {
        const LONG number = value.intVal;
        value.vt = VT_I4;
        value.lVal = number;
    }
}

CComVariant DereferencedCopy(const VARIANT& value)
{
    // Not every runtime checks the reference before it reads through it, nor refuses a
    // reference to a variant that is a reference itself, as Windows does.
    if ((value.vt & VT_BYREF) != 0 && !value.byref)
        throw CComError(E_INVALIDARG);
    if (value.vt == (VT_BYREF | VT_VARIANT) && (value.pvarVal->vt & VT_BYREF) != 0)
        throw CComError(E_INVALIDARG);
    CComVariant copy;
    ZoCheckPlatform(VariantCopyInd(&copy, &value));
    return copy;
}

CComVariant StoredCopy(const VARIANT& value)
{
    CComVariant copy = DereferencedCopy(value);
    StoreIntAsI4(copy);
    return copy;
}

CComVariant TakenAsStored(VARIANT& value)
{
    CComVariant stored;
    if ((value.vt & VT_BYREF) != 0) {
        stored = DereferencedCopy(value);
        ZoCheckPlatform(VariantClear(&value));
    } else {
        ZoCheckPlatform(stored.Attach(&value));
    }
    StoreIntAsI4(stored);
    return stored;
}
