// VARIANT lifetime: initialising, clearing and copying. Copies are made complete before the
// destination is touched, so a failed copy leaves the destination as it was.
#include <cstring>

#include <oleauto.h>

#include "oleaut32/BStr.h"
#include "oleaut32/VarType.h"

namespace lumo::platform::oleaut32 {

namespace {

// A record variant's copy lives in memory of the record type's own allocation, which is why
// clearing one destroys the record through the same IRecordInfo.
HRESULT CopyRecord(const VARIANT& source, VARIANT* copy)
{
    IRecordInfo* info = V_RECORDINFO(&source);
    void* record = V_RECORD(&source);
    if (!info)
        return record ? E_INVALIDARG : S_OK;
    void* recordCopy = nullptr;
    if (record) {
        const HRESULT hr = info->RecordCreateCopy(record, &recordCopy);
        if (FAILED(hr))
            return hr;
    }
    info->AddRef();
    V_RECORD(copy) = recordCopy;
    V_RECORDINFO(copy) = info;
    return S_OK;
}

// The value a by-value variant holds, copied deeply; a by-reference variant copies as the
// reference. On failure *copy is VT_EMPTY.
HRESULT CopyValue(const VARIANT& source, VARIANT* copy)
{
    *copy = source;
    const VARTYPE vt = V_VT(&source);
    HRESULT hr = S_OK;
    if (vt & VT_BYREF) {
        // the reference itself is the value
    } else if (vt & VT_ARRAY) {
        hr = SafeArrayCopy(V_ARRAY(&source), &V_ARRAY(copy));
    } else {
        switch (vt) {
        case VT_BSTR:
            hr = CopyBstr(V_BSTR(&source), &V_BSTR(copy));
            break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
            if (V_UNKNOWN(&source))
                V_UNKNOWN(&source)->AddRef();
            break;
        case VT_RECORD:
            hr = CopyRecord(source, copy);
            break;
        default:
            break;
        }
    }
    if (FAILED(hr))
        V_VT(copy) = VT_EMPTY;
    return hr;
}

// The value a by-reference variant points at, as a by-value copy.
HRESULT CopyReferencedValue(const VARIANT& source, VARIANT* copy)
{
    const VARTYPE target = V_VT(&source) & ~VT_BYREF;
    if (!V_BYREF(&source))
        return E_INVALIDARG;

    if (target == VT_VARIANT) {
        const VARIANT& inner = *V_VARIANTREF(&source);
        if (V_VT(&inner) & VT_BYREF)
            return E_INVALIDARG;
        if (!IsVariantType(V_VT(&inner)))
            return DISP_E_BADVARTYPE;
        return CopyValue(inner, copy);
    }

    VariantInit(copy);
    if (target & VT_ARRAY) {
        const HRESULT hr = SafeArrayCopy(*V_ARRAYREF(&source), &V_ARRAY(copy));
        if (SUCCEEDED(hr))
            V_VT(copy) = target;
        return hr;
    }
    switch (target) {
    case VT_BSTR: {
        const HRESULT hr = CopyBstr(*V_BSTRREF(&source), &V_BSTR(copy));
        if (SUCCEEDED(hr))
            V_VT(copy) = VT_BSTR;
        return hr;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
        V_UNKNOWN(copy) = *V_UNKNOWNREF(&source);
        if (V_UNKNOWN(copy))
            V_UNKNOWN(copy)->AddRef();
        V_VT(copy) = target;
        return S_OK;
    case VT_DECIMAL:
        // The decimal overlaps the type field, which is set afterwards.
        V_DECIMAL(copy) = *V_DECIMALREF(&source);
        V_VT(copy) = VT_DECIMAL;
        return S_OK;
    case VT_RECORD: {
        const HRESULT hr = CopyRecord(source, copy);
        if (SUCCEEDED(hr))
            V_VT(copy) = VT_RECORD;
        return hr;
    }
    default:
        break;
    }
    const size_t size = ScalarSizeOf(target);
    if (size == 0)
        return DISP_E_BADVARTYPE;
    copy->llVal = 0;
    std::memcpy(&copy->llVal, V_BYREF(&source), size);
    V_VT(copy) = target;
    return S_OK;
}

// Puts a finished copy in place of the destination's old value.
HRESULT Replace(VARIANT* destination, VARIANT* copy)
{
    const HRESULT hr = VariantClear(destination);
    if (FAILED(hr)) {
        VariantClear(copy);
        return hr;
    }
    *destination = *copy;
    return S_OK;
}

}  // namespace

}  // namespace lumo::platform::oleaut32

using namespace lumo::platform::oleaut32;

WINOLEAUTAPI_(void) VariantInit(VARIANTARG* pvarg)
{
    if (pvarg)
        V_VT(pvarg) = VT_EMPTY;
}

WINOLEAUTAPI VariantClear(VARIANTARG* pvarg)
{
    if (!pvarg)
        return E_INVALIDARG;
    const VARTYPE vt = V_VT(pvarg);
    if (!IsVariantType(vt))
        return DISP_E_BADVARTYPE;
    if (!(vt & VT_BYREF)) {
        if (vt & VT_ARRAY) {
            const HRESULT hr = SafeArrayDestroy(V_ARRAY(pvarg));
            if (FAILED(hr))
                return hr;
        } else if (vt == VT_BSTR) {
            SysFreeString(V_BSTR(pvarg));
        } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
            if (V_UNKNOWN(pvarg))
                V_UNKNOWN(pvarg)->Release();
        } else if (vt == VT_RECORD) {
            if (IRecordInfo* info = V_RECORDINFO(pvarg)) {
                if (V_RECORD(pvarg))
                    info->RecordDestroy(V_RECORD(pvarg));
                info->Release();
            }
        }
    }
    V_VT(pvarg) = VT_EMPTY;
    return S_OK;
}

WINOLEAUTAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc)
{
    if (!pvargDest || !pvargSrc)
        return E_INVALIDARG;
    if (!IsVariantType(V_VT(pvargSrc)))
        return DISP_E_BADVARTYPE;
    if (pvargDest == pvargSrc)
        return S_OK;
    VARIANT copy;
    const HRESULT hr = CopyValue(*pvargSrc, &copy);
    if (FAILED(hr))
        return hr;
    return Replace(pvargDest, &copy);
}

WINOLEAUTAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc)
{
    if (!pvarDest || !pvargSrc)
        return E_INVALIDARG;
    if (!IsVariantType(V_VT(pvargSrc)))
        return DISP_E_BADVARTYPE;
    if (!(V_VT(pvargSrc) & VT_BYREF))
        return VariantCopy(pvarDest, pvargSrc);
    VARIANT copy;
    const HRESULT hr = CopyReferencedValue(*pvargSrc, &copy);
    if (FAILED(hr))
        return hr;
    return Replace(pvarDest, &copy);
}
