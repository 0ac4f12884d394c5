// VariantChangeType(Ex) among the fundamental types. Numbers convert with oleaut32's rules:
// floating values round half to even into integers, values out of range give
// DISP_E_OVERFLOW (but for the signed and unsigned integer types of one width, which keep
// the bits), booleans are -1/0. Text is read and written in the stand-in's invariant
// number format, whatever the locale asked for. Objects are not asked for their value
// property: an object converts only to the other interface type, VT_EMPTY or VT_NULL.
#include <cfloat>
#include <cmath>
#include <string>

#include <oleauto.h>

#include "common/WideText.h"
#include "oleaut32/DateText.h"
#include "oleaut32/NumberText.h"
#include "oleaut32/VarType.h"

namespace lumo::platform::oleaut32 {

namespace {

// The earliest and latest automation dates are 1 January 100 and 31 December 9999; a
// negative date's fraction counts time forwards, so both ends are open one day out.
constexpr double kDateLowerLimit = -657435.0;
constexpr double kDateUpperLimit = 2958466.0;

// A numeric source value.
struct Number {
    enum class Kind { Signed, Unsigned, Real };
    Kind kind = Kind::Signed;
    LONGLONG signedValue = 0;
    ULONGLONG unsignedValue = 0;
    double realValue = 0.0;
    // Booleans convert to integer types by wrapping their 16-bit value, as on Windows
    // (VARIANT_TRUE gives 255 as VT_UI1, 65535 as VT_UI2).
    bool isBoolean = false;

    static Number Signed(LONGLONG v) { Number n; n.signedValue = v; return n; }
    static Number Unsigned(ULONGLONG v) { Number n; n.kind = Kind::Unsigned; n.unsignedValue = v; return n; }
    static Number Real(double v) { Number n; n.kind = Kind::Real; n.realValue = v; return n; }

    double AsDouble() const noexcept
    {
        switch (kind) {
        case Kind::Signed:
            return static_cast<double>(signedValue);
        case Kind::Unsigned:
            return static_cast<double>(unsignedValue);
        default:
            return realValue;
        }
    }
    bool IsZero() const noexcept
    {
        switch (kind) {
        case Kind::Signed:
            return signedValue == 0;
        case Kind::Unsigned:
            return unsignedValue == 0;
        default:
            return realValue == 0.0;
        }
    }
};

bool ReadNumber(const VARIANT& v, Number& number)
{
    switch (V_VT(&v)) {
    case VT_EMPTY: number = Number::Signed(0); return true;
    case VT_I1: number = Number::Signed(V_I1(&v)); return true;
    case VT_I2: number = Number::Signed(V_I2(&v)); return true;
    case VT_I4: number = Number::Signed(V_I4(&v)); return true;
    case VT_INT: number = Number::Signed(V_INT(&v)); return true;
    case VT_I8: number = Number::Signed(V_I8(&v)); return true;
    case VT_UI1: number = Number::Unsigned(V_UI1(&v)); return true;
    case VT_UI2: number = Number::Unsigned(V_UI2(&v)); return true;
    case VT_UI4: number = Number::Unsigned(V_UI4(&v)); return true;
    case VT_UINT: number = Number::Unsigned(V_UINT(&v)); return true;
    case VT_UI8: number = Number::Unsigned(V_UI8(&v)); return true;
    case VT_R4: number = Number::Real(V_R4(&v)); return true;
    case VT_R8: number = Number::Real(V_R8(&v)); return true;
    case VT_DATE: number = Number::Real(V_DATE(&v)); return true;
    case VT_BOOL:
        number = Number::Signed(V_BOOL(&v));
        number.isBoolean = true;
        return true;
    default:
        return false;
    }
}

struct IntegerRange {
    LONGLONG minimum;
    ULONGLONG maximum;
};

bool IntegerRangeOf(VARTYPE vt, IntegerRange& range)
{
    switch (vt) {
    case VT_I1: range = {-128, 127}; return true;
    case VT_UI1: range = {0, 0xFF}; return true;
    case VT_I2: range = {-32768, 32767}; return true;
    case VT_UI2: range = {0, 0xFFFF}; return true;
    case VT_I4:
    case VT_INT: range = {-2147483647LL - 1, 2147483647}; return true;
    case VT_UI4:
    case VT_UINT: range = {0, 0xFFFFFFFFu}; return true;
    case VT_I8: range = {-9223372036854775807LL - 1, 9223372036854775807ULL}; return true;
    case VT_UI8: range = {0, 0xFFFFFFFFFFFFFFFFULL}; return true;
    default: return false;
    }
}

// Stores the low bits of a two's-complement value in the member of 'vt'.
void StoreInteger(VARIANT* out, VARTYPE vt, ULONGLONG bits)
{
    switch (vt) {
    case VT_I1: V_I1(out) = static_cast<CHAR>(bits); break;
    case VT_UI1: V_UI1(out) = static_cast<BYTE>(bits); break;
    case VT_I2: V_I2(out) = static_cast<SHORT>(bits); break;
    case VT_UI2: V_UI2(out) = static_cast<USHORT>(bits); break;
    case VT_I4: V_I4(out) = static_cast<LONG>(bits); break;
    case VT_INT: V_INT(out) = static_cast<INT>(bits); break;
    case VT_UI4: V_UI4(out) = static_cast<ULONG>(bits); break;
    case VT_UINT: V_UINT(out) = static_cast<UINT>(bits); break;
    case VT_I8: V_I8(out) = static_cast<LONGLONG>(bits); break;
    case VT_UI8: V_UI8(out) = bits; break;
    default: break;
    }
    V_VT(out) = vt;
}

double RoundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5)
        return below + 1.0;
    if (fraction < 0.5)
        return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

HRESULT ToInteger(const Number& number, VARTYPE vt, const IntegerRange& range, VARIANT* out)
{
    if (number.isBoolean) {
        StoreInteger(out, vt, static_cast<ULONGLONG>(number.signedValue));
        return S_OK;
    }
    switch (number.kind) {
    case Number::Kind::Signed: {
        const LONGLONG v = number.signedValue;
        if (v < range.minimum || (v > 0 && static_cast<ULONGLONG>(v) > range.maximum))
            return DISP_E_OVERFLOW;
        StoreInteger(out, vt, static_cast<ULONGLONG>(v));
        return S_OK;
    }
    case Number::Kind::Unsigned:
        if (number.unsignedValue > range.maximum)
            return DISP_E_OVERFLOW;
        StoreInteger(out, vt, number.unsignedValue);
        return S_OK;
    default: {
        const double rounded = RoundHalfEven(number.realValue);
        // max + 1 is exact in a double for every range (2^63 and 2^64 for the 64-bit ones);
        // NaN fails both comparisons.
        const double limit = static_cast<double>(range.maximum) + 1.0;
        if (!(rounded >= static_cast<double>(range.minimum) && rounded < limit))
            return DISP_E_OVERFLOW;
        const ULONGLONG bits = rounded < 0 ? static_cast<ULONGLONG>(static_cast<LONGLONG>(rounded))
                                           : static_cast<ULONGLONG>(rounded);
        StoreInteger(out, vt, bits);
        return S_OK;
    }
    }
}

HRESULT ToReal(double value, VARTYPE vt, VARIANT* out)
{
    switch (vt) {
    case VT_R4:
        if (std::fabs(value) > FLT_MAX)
            return DISP_E_OVERFLOW;
        V_R4(out) = static_cast<FLOAT>(value);
        break;
    case VT_R8:
        V_R8(out) = value;
        break;
    case VT_DATE:
        if (!(value > kDateLowerLimit && value < kDateUpperLimit))
            return DISP_E_OVERFLOW;
        V_DATE(out) = value;
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    V_VT(out) = vt;
    return S_OK;
}

void StoreBool(VARIANT* out, bool value)
{
    V_BOOL(out) = value ? VARIANT_TRUE : VARIANT_FALSE;
    V_VT(out) = VT_BOOL;
}

HRESULT StoreText(VARIANT* out, const std::string& ascii)
{
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(ascii.size()));
    if (!text)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < ascii.size(); ++i)
        text[i] = static_cast<OLECHAR>(ascii[i]);
    V_BSTR(out) = text;
    V_VT(out) = VT_BSTR;
    return S_OK;
}

HRESULT ToText(const VARIANT& from, const Number& number, USHORT flags, VARIANT* out)
{
    switch (V_VT(&from)) {
    case VT_EMPTY:
        return StoreText(out, std::string());
    case VT_BOOL:
        // Words only when asked for; otherwise the number, as Windows gives it ("-1", "0").
        if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
            return StoreText(out, V_BOOL(&from) ? "True" : "False");
        return StoreText(out, FormatSigned(V_BOOL(&from)));
    case VT_R4:
        return StoreText(out, FormatReal(V_R4(&from), 7));
    case VT_R8:
        return StoreText(out, FormatReal(V_R8(&from), 15));
    case VT_DATE: {
        BSTR text = nullptr;
        const HRESULT hr = DateToText(V_DATE(&from), &text);
        if (FAILED(hr))
            return hr;
        V_BSTR(out) = text;
        V_VT(out) = VT_BSTR;
        return S_OK;
    }
    default:
        return StoreText(out, number.kind == Number::Kind::Unsigned ? FormatUnsigned(number.unsignedValue)
                                                                    : FormatSigned(number.signedValue));
    }
}

// The bytes of the 8-, 16- and 32-bit integer types; 0 for any other type.
ULONG IntegerWidthOf(VARTYPE vt)
{
    switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return 4;
    default: return 0;
    }
}

HRESULT FromNumber(const VARIANT& from, VARTYPE to, USHORT flags, VARIANT* out)
{
    Number number;
    if (!ReadNumber(from, number))
        return DISP_E_TYPEMISMATCH;
    // Between the signed and unsigned integer types of one width Windows keeps the bits
    // (VT_I1 -1 is VT_UI1 255 and back) instead of checking the range.
    const ULONG width = IntegerWidthOf(V_VT(&from));
    if (width != 0 && width == IntegerWidthOf(to)) {
        StoreInteger(out, to,
                     number.kind == Number::Kind::Unsigned ? number.unsignedValue
                                                           : static_cast<ULONGLONG>(number.signedValue));
        return S_OK;
    }
    IntegerRange range;
    if (IntegerRangeOf(to, range))
        return ToInteger(number, to, range, out);
    switch (to) {
    case VT_R4:
    case VT_R8:
    case VT_DATE:
        return ToReal(number.AsDouble(), to, out);
    case VT_BOOL:
        StoreBool(out, !number.IsZero());
        return S_OK;
    case VT_BSTR:
        return ToText(from, number, flags, out);
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

WideView TrimBlanks(WideView text)
{
    const auto isBlank = [](WCHAR c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "#TRUE#" and "#FALSE#" exactly, "True" and "False" in any case, else a number.
HRESULT TextToBool(WideView text, VARIANT* out)
{
    const WideView word = TrimBlanks(text);
    if (word == u"#TRUE#" || EqualsIgnoreAsciiCase(word, u"true")) {
        StoreBool(out, true);
        return S_OK;
    }
    if (word == u"#FALSE#" || EqualsIgnoreAsciiCase(word, u"false")) {
        StoreBool(out, false);
        return S_OK;
    }
    DecimalNumber number;
    if (!ParseDecimalNumber(text, number))
        return DISP_E_TYPEMISMATCH;
    StoreBool(out, !number.digits.empty());
    return S_OK;
}

HRESULT FromText(BSTR source, VARTYPE to, VARIANT* out)
{
    // The text ends at its first NUL, as for the VarXxxFromStr functions.
    const WideView text = ViewOf(source);
    if (to == VT_BOOL)
        return TextToBool(text, out);
    if (to == VT_DATE) {
        DATE date = 0;
        const HRESULT hr = TextToDate(text, &date);
        if (FAILED(hr))
            return hr;
        V_DATE(out) = date;
        V_VT(out) = VT_DATE;
        return S_OK;
    }
    IntegerRange range;
    const bool integer = IntegerRangeOf(to, range);
    if (!integer && to != VT_R4 && to != VT_R8)
        return DISP_E_TYPEMISMATCH;

    DecimalNumber number;
    if (!ParseDecimalNumber(text, number))
        return DISP_E_TYPEMISMATCH;
    if (integer) {
        LONGLONG signedValue = 0;
        ULONGLONG unsignedValue = 0;
        const HRESULT hr = DecimalToInteger(number, range.minimum, range.maximum, &signedValue, &unsignedValue);
        if (FAILED(hr))
            return hr;
        StoreInteger(out, to, unsignedValue);
        return S_OK;
    }
    double value = 0.0;
    const HRESULT hr = DecimalToDouble(number, &value);
    return FAILED(hr) ? hr : ToReal(value, to, out);
}

HRESULT FromInterface(const VARIANT& from, VARTYPE to, VARIANT* out)
{
    if (to != VT_UNKNOWN && to != VT_DISPATCH)
        return DISP_E_TYPEMISMATCH;
    IUnknown* object = V_UNKNOWN(&from);
    void* converted = nullptr;
    if (object) {
        const IID& iid = to == VT_DISPATCH ? __uuidof(IDispatch) : __uuidof(IUnknown);
        if (FAILED(object->QueryInterface(iid, &converted)) || !converted)
            return DISP_E_TYPEMISMATCH;
    }
    V_UNKNOWN(out) = static_cast<IUnknown*>(converted);
    V_VT(out) = to;
    return S_OK;
}

// Everything but VT_NULL, VT_ERROR and the non-fundamental types may lose its value by
// becoming VT_EMPTY or VT_NULL; VT_NULL stays VT_NULL.
bool CanBecomeNothing(VARTYPE from)
{
    switch (from) {
    case VT_NULL:
    case VT_ERROR:
    case VT_VARIANT:
    case VT_RECORD:
        return false;
    default:
        return !(from & VT_ARRAY);
    }
}

// 'from' is by value; 'out' is set only on success.
HRESULT Coerce(const VARIANT& from, VARTYPE to, USHORT flags, VARIANT* out)
{
    VariantInit(out);
    const VARTYPE vt = V_VT(&from);
    if (vt == to)
        return VariantCopy(out, &from);
    if ((to & (VT_ARRAY | VT_BYREF)) || (vt & VT_ARRAY))
        return DISP_E_TYPEMISMATCH;  // arrays convert only to their own type
    if (to == VT_EMPTY || to == VT_NULL) {
        if (!CanBecomeNothing(vt))
            return DISP_E_TYPEMISMATCH;
        V_VT(out) = to;
        return S_OK;
    }
    switch (vt) {
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return FromInterface(from, to, out);
    case VT_BSTR:
        return FromText(V_BSTR(&from), to, out);
    default:
        return FromNumber(from, to, flags, out);
    }
}

}  // namespace

}  // namespace lumo::platform::oleaut32

using namespace lumo::platform::oleaut32;

WINOLEAUTAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt)
{
    return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

// The locale is accepted and ignored: the stand-in has one number format.
WINOLEAUTAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags,
                                 VARTYPE vt)
{
    if (!pvargDest || !pvarSrc)
        return E_INVALIDARG;
    if (!IsVariantType(V_VT(pvarSrc)) || !IsVariantType(vt))
        return DISP_E_BADVARTYPE;

    // The result is complete before the destination changes, so a failure leaves it as it
    // was and the source may be the destination.
    VARIANT result;
    HRESULT hr;
    if (V_VT(pvarSrc) == vt || !(V_VT(pvarSrc) & VT_BYREF)) {
        hr = Coerce(*pvarSrc, vt, wFlags, &result);
    } else {
        if (!V_BYREF(pvarSrc))
            return DISP_E_TYPEMISMATCH;
        VARIANT value;
        VariantInit(&value);
        hr = VariantCopyInd(&value, pvarSrc);
        if (FAILED(hr))
            return hr;
        hr = Coerce(value, vt, wFlags, &result);
        VariantClear(&value);
    }
    if (FAILED(hr))
        return hr;

    hr = VariantClear(pvargDest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}
