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

CComVariant StoredCopy(const VARIANT& value)
{
    CComVariant copy;
    ZoCheckPlatform(VariantCopyInd(&copy, &value));
    StoreIntAsI4(copy);
    return copy;
}
