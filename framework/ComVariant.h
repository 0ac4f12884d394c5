// An owning VARIANT: cleared on destruction, deep-copied on copy. A failed platform call
// throws CComError(status) from a constructor or assignment, which cannot return one, and is
// returned as the status from the other methods.
//
// Integers get the variant type of their width and signedness (int: VT_I4, long long: VT_I8,
// unsigned short: VT_UI2, ...); bool gives VT_BOOL. A VARIANT_BOOL is a short, so write
// CComVariant(true), not CComVariant(VARIANT_TRUE). A BSTR passed as text is read up to its
// first NUL; pass a CComBSTR to keep all of it.
#pragma once

#include <concepts>
#include <type_traits>

#include <windows.h>

#include "ComBSTR.h"
#include "ComError.h"

#if defined(__MINGW32__)
// mingw-w64 declares the sources of the variant copies non-const; the Windows SDK (and the
// stand-in) take them const, as the library passes them.
inline HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source)
{
    return ::VariantCopy(destination, const_cast<VARIANTARG*>(source));
}
inline HRESULT VariantCopyInd(VARIANT* destination, const VARIANTARG* source)
{
    return ::VariantCopyInd(destination, const_cast<VARIANTARG*>(source));
}
#endif

class CComVariant : public tagVARIANT {
public:
    CComVariant() noexcept { VariantInit(this); }
    CComVariant(const VARIANT& other) { Construct(&other); }
    CComVariant(const CComVariant& other) : tagVARIANT() { Construct(&other); }
    CComVariant(CComVariant&& other) noexcept : tagVARIANT(other) { VariantInit(&other); }
    ~CComVariant() { VariantClear(this); }

    // VT_BSTR; a null text gives a null string.
    CComVariant(LPCOLESTR text);
    // VT_BSTR with every character of text.
    CComVariant(const CComBSTR& text);
    CComVariant(bool value) noexcept;
    // The integer's own type; a 4-byte signed integer may also be VT_INT or VT_ERROR, a 4-byte
    // unsigned one VT_UINT. Any other vt throws CComError(E_INVALIDARG).
    template <std::integral Integer>
        requires(!std::is_same_v<Integer, bool>)
    CComVariant(Integer value, VARTYPE vt = VariantTypeOf<Integer>());
    CComVariant(float value) noexcept;
    // VT_R8, or VT_DATE.
    CComVariant(double value, VARTYPE vt = VT_R8);
    // The interface, AddRef'd; null is allowed.
    CComVariant(IDispatch* value) noexcept;
    CComVariant(IUnknown* value) noexcept;
    // A copy of the array, VT_ARRAY with its element type.
    explicit CComVariant(const SAFEARRAY* array);

    CComVariant& operator=(const CComVariant& other);
    CComVariant& operator=(CComVariant&& other) noexcept;
    CComVariant& operator=(const VARIANT& other);

    HRESULT Clear() noexcept { return VariantClear(this); }
    // A deep copy of source in place of the value held.
    HRESULT Copy(const VARIANT* source) noexcept;
    // Takes over source's value; source is left VT_EMPTY.
    HRESULT Attach(VARIANT* source) noexcept;
    // Hands the value to target, whose own value is cleared first; this is left VT_EMPTY.
    HRESULT Detach(VARIANT* target) noexcept;
    // This value (or source's) converted to vt; on failure the value held is unchanged.
    HRESULT ChangeType(VARTYPE vt, const VARIANT* source = nullptr) noexcept;

    void Swap(CComVariant& other) noexcept;

    template <std::integral Integer>
    static constexpr VARTYPE VariantTypeOf() noexcept
    {
        constexpr bool isSigned = std::is_signed_v<Integer>;
        switch (sizeof(Integer)) {
        case 1:
            return isSigned ? VT_I1 : VT_UI1;
        case 2:
            return isSigned ? VT_I2 : VT_UI2;
        case 4:
            return isSigned ? VT_I4 : VT_UI4;
        default:
            return isSigned ? VT_I8 : VT_UI8;
        }
    }

private:
    void Construct(const VARIANT* source);
};

template <std::integral Integer>
    requires(!std::is_same_v<Integer, bool>)
CComVariant::CComVariant(Integer value, VARTYPE type)
{
    constexpr VARTYPE natural = VariantTypeOf<Integer>();
    const bool allowed = type == natural || (natural == VT_I4 && (type == VT_INT || type == VT_ERROR)) ||
                         (natural == VT_UI4 && type == VT_UINT);
    if (!allowed)
        throw CComError(E_INVALIDARG);
    VariantInit(this);
    vt = type;
    if constexpr (sizeof(Integer) == 1)
        bVal = static_cast<BYTE>(value);
    else if constexpr (sizeof(Integer) == 2)
        uiVal = static_cast<USHORT>(value);
    else if constexpr (sizeof(Integer) == 4)
        ulVal = static_cast<ULONG>(value);
    else
        ullVal = static_cast<ULONGLONG>(value);
}
