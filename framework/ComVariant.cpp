#include "ComVariant.h"

#include <utility>

namespace {

// The platform's copy and conversion take the source by non-const pointer on some targets.
VARIANT* Source(const VARIANT* source) noexcept
{
    return const_cast<VARIANT*>(source);
}

void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr))
        throw CComError(hr);
}

}   // namespace

void CComVariant::Construct(const VARIANT* source)
{
    VariantInit(this);
    ThrowIfFailed(VariantCopy(this, Source(source)));
}

CComVariant::CComVariant(LPCOLESTR text)
{
    VariantInit(this);
    BSTR copy = text ? SysAllocString(text) : nullptr;
    if (text && !copy)
        throw CComError(E_OUTOFMEMORY);
    vt = VT_BSTR;
    bstrVal = copy;
}

CComVariant::CComVariant(const CComBSTR& text)
{
    VariantInit(this);
    BSTR copy = text.Copy();
    vt = VT_BSTR;
    bstrVal = copy;
}

CComVariant::CComVariant(bool value) noexcept
{
    VariantInit(this);
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

CComVariant::CComVariant(float value) noexcept
{
    VariantInit(this);
    vt = VT_R4;
    fltVal = value;
}

CComVariant::CComVariant(double value, VARTYPE type)
{
    VariantInit(this);
    if (type != VT_R8 && type != VT_DATE)
        throw CComError(E_INVALIDARG);
    vt = type;
    dblVal = value;
}

CComVariant::CComVariant(IDispatch* value) noexcept
{
    VariantInit(this);
    vt = VT_DISPATCH;
    pdispVal = value;
    if (value)
        value->AddRef();
}

CComVariant::CComVariant(IUnknown* value) noexcept
{
    VariantInit(this);
    vt = VT_UNKNOWN;
    punkVal = value;
    if (value)
        value->AddRef();
}

CComVariant::CComVariant(const SAFEARRAY* array)
{
    VariantInit(this);
    if (!array)
        throw CComError(E_INVALIDARG);
    SAFEARRAY* source = const_cast<SAFEARRAY*>(array);
    VARTYPE elementType = VT_EMPTY;
    ThrowIfFailed(SafeArrayGetVartype(source, &elementType));
    SAFEARRAY* copy = nullptr;
    ThrowIfFailed(SafeArrayCopy(source, &copy));
    vt = static_cast<VARTYPE>(VT_ARRAY | elementType);
    parray = copy;
}

CComVariant& CComVariant::operator=(const CComVariant& other)
{
    return *this = static_cast<const VARIANT&>(other);
}

CComVariant& CComVariant::operator=(CComVariant&& other) noexcept
{
    CComVariant(std::move(other)).Swap(*this);
    return *this;
}

CComVariant& CComVariant::operator=(const VARIANT& other)
{
    ThrowIfFailed(Copy(&other));
    return *this;
}

HRESULT CComVariant::Copy(const VARIANT* source) noexcept
{
    if (!source)
        return E_POINTER;
    if (source == this)
        return S_OK;
    return VariantCopy(this, Source(source));
}

HRESULT CComVariant::Attach(VARIANT* source) noexcept
{
    if (!source)
        return E_POINTER;
    if (source == this)
        return S_OK;
    const HRESULT hr = Clear();
    if (FAILED(hr))
        return hr;
    static_cast<VARIANT&>(*this) = *source;
    VariantInit(source);
    return S_OK;
}

HRESULT CComVariant::Detach(VARIANT* target) noexcept
{
    if (!target)
        return E_POINTER;
    if (target == this)
        return S_OK;
    const HRESULT hr = VariantClear(target);
    if (FAILED(hr))
        return hr;
    *target = *this;
    VariantInit(this);
    return S_OK;
}

HRESULT CComVariant::ChangeType(VARTYPE type, const VARIANT* source) noexcept
{
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, Source(source ? source : this), 0, type);
    if (FAILED(hr))
        return hr;
    VariantClear(this);
    static_cast<VARIANT&>(*this) = converted;
    return S_OK;
}

void CComVariant::Swap(CComVariant& other) noexcept
{
    std::swap(static_cast<VARIANT&>(*this), static_cast<VARIANT&>(other));
}
