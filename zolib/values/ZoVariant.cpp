#include "ZoVariant.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <oleauto.h>

#include "ComBSTR.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoString.h"
#include "ZoTime.h"

ZO_SOURCE_FILE(".\\ZoVariant")

namespace {

constexpr VARTYPE kIntArrayType = VT_ARRAY | VT_I4;
constexpr VARTYPE kStringArrayType = VT_ARRAY | VT_BSTR;

OleString ObjectText(const OLECHAR* format, const void* reference)
{
    // The whole address, also where pointers are wider than the 32 bits of "%x".
    return ZoFormat(format, static_cast<ULONGLONG>(reinterpret_cast<std::uintptr_t>(reference)));
}

// "%.10f" would give the C library's own spelling of these, which differs between runtimes.
OleString FloatText(double value)
{
    if (std::isnan(value))
        return OLESTR("NaN");
    if (std::isinf(value))
        return value < 0 ? OLESTR("-INF") : OLESTR("INF");
    return ZoFormat(OLESTR("%.10f"), value);
}

OleString JoinIntegers(const CZoIntVector& values)
{
    OleString text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += OLESTR(",");
        text += CZoStringHelper::IntToString(values[i]);
    }
    return text;
}

OleString QuotedStrings(const CZoStringVector& values)
{
    if (values.empty())
        return {};
    return OLESTR("\"") + CZoStringHelper::UnTokenizeString(values, OLESTR("\",\"")) + OLESTR("\"");
}

OleString DisplayText(const VARIANT& value)
{
    if (CZoVariant::IsInteger(value))
        return CZoVariant::IntegerText(value);
    if (CZoVariant::IsFloat(value))
        return FloatText(CZoVariant::ToFloat(value));
    switch (value.vt) {
    case VT_BSTR:
        return value.bstrVal ? OleString(ViewOfOleText(value.bstrVal)) : OleString(OLESTR("(null)"));
    case VT_BOOL:
        return value.boolVal == 0 ? OLESTR("false") : OLESTR("true");
    case VT_EMPTY:
        return OLESTR("empty");
    case VT_DATE:
        return CZoTime::FormatDate(value.date, 0);
    case VT_UNKNOWN:
        return ObjectText(OLESTR("IUnknown object at 0x%I64x"), value.punkVal);
    case VT_DISPATCH:
        return ObjectText(OLESTR("IDispatch object at 0x%I64x"), value.pdispVal);
    case kStringArrayType:
        return QuotedStrings(CZoVariant::VariantToStringVector(value));
    case kIntArrayType:
        return JoinIntegers(CZoVariant::VariantToIntVector(value));
    default:
        return ZoFormat(OLESTR("Unsupported VARIANT type %u"), static_cast<unsigned>(value.vt));
    }
}

}  // namespace

OleString CZoVariant::ToString(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::ToString"))
    {
        return DisplayText(value);
    }
    ZO_FUNCTION_END
}

LONGLONG CZoVariant::ToInt(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::ToInt"))
    {
        switch (value.vt) {
        case VT_I1:
            return static_cast<LONGLONG>(value.cVal);
        case VT_I2:
            return static_cast<LONGLONG>(value.iVal);
        case VT_I4:
            return static_cast<LONGLONG>(value.lVal);
        case VT_INT:
            return static_cast<LONGLONG>(value.intVal);
        case VT_UI1:
            return static_cast<LONGLONG>(value.bVal);
        case VT_UI2:
            return static_cast<LONGLONG>(value.uiVal);
        case VT_UI4:
            return static_cast<LONGLONG>(value.ulVal);
        case VT_UINT:
            return static_cast<LONGLONG>(value.uintVal);
        case VT_I8:
            return value.llVal;
        case VT_UI8:
            return static_cast<LONGLONG>(value.ullVal);
        default:
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        }
    }
    ZO_FUNCTION_END
}

OleString CZoVariant::IntegerText(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::IntegerText"))
    {
        // The signed reading of ToInt would give the upper half of VT_UI8 as negative numbers.
        if (value.vt == VT_UI8)
            return ZoFormat(OLESTR("%I64u"), value.ullVal);
        return ZoFormat(OLESTR("%I64d"), ToInt(value));
    }
    ZO_FUNCTION_END
}

double CZoVariant::ToFloat(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::ToFloat"))
    {
        if (value.vt == VT_R4)
            return static_cast<double>(value.fltVal);
        if (value.vt == VT_R8)
            return value.dblVal;
        ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
    }
    ZO_FUNCTION_END
}

bool CZoVariant::IsInteger(const VARIANT& value)
{
    switch (value.vt) {
    case VT_I2:
    case VT_I4:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
        return true;
    default:
        return false;
    }
}

bool CZoVariant::IsFloat(const VARIANT& value)
{
    return value.vt == VT_R4 || value.vt == VT_R8;
}

bool CZoVariant::IsMissing(const VARIANT& value)
{
    return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

bool CZoVariant::IsObject(const VARIANT& value)
{
    return (value.vt == VT_DISPATCH && value.pdispVal) || (value.vt == VT_UNKNOWN && value.punkVal);
}

LONG CZoVariant::GetSafeArraySize(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::GetSafeArraySize"))
    {
        // A by-reference array holds a pointer to the array pointer, not the array; and the
        // count of dimension 1 alone is not the size of an array of more dimensions.
        if ((value.vt & VT_ARRAY) == 0 || (value.vt & VT_BYREF) != 0 || !value.parray ||
            SafeArrayGetDim(value.parray) != 1)
            ZO_RAISE(ZO_ERR_INVALID_VARIANT_TYPE);
        LONG lower = 0;
        LONG upper = 0;
        HRESULT hr = SafeArrayGetLBound(value.parray, 1, &lower);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        hr = SafeArrayGetUBound(value.parray, 1, &upper);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        const LONGLONG count = static_cast<LONGLONG>(upper) - lower + 1;
        if (count < 0 || count > std::numeric_limits<LONG>::max())
            ZO_THROW_HR(DISP_E_OVERFLOW);
        return static_cast<LONG>(count);
    }
    ZO_FUNCTION_END
}

namespace {

// An empty variant holding a new vector of count elements of type elementType.
CComVariant NewVectorVariant(VARTYPE elementType, size_t count, const OLECHAR* zoFunctionName)
{
    if (count > static_cast<size_t>(std::numeric_limits<LONG>::max()))
        ZO_THROW_HR(E_OUTOFMEMORY);
    SAFEARRAY* array = SafeArrayCreateVectorEx(elementType, 0, static_cast<ULONG>(count), nullptr);
    if (!array) {
        const DWORD lastError = GetLastError();
        // No last error would make a code of 0, which reads as success.
        if (lastError == ERROR_SUCCESS)
            ZO_THROW_HR(E_OUTOFMEMORY);
        ZO_THROW_SYSTEM_ERROR(lastError);
    }
    CComVariant result;
    result.vt = VT_ARRAY | elementType;
    result.parray = array;
    return result;
}

void PutElement(SAFEARRAY* array, LONG index, void* element, const OLECHAR* zoFunctionName)
{
    const HRESULT hr = SafeArrayPutElement(array, &index, element);
    if (FAILED(hr))
        ZO_THROW_HR(hr);
}

// The array of a variant of exactly arrayType whose elements are of exactly its element type.
SAFEARRAY* CheckedArray(const VARIANT& value, VARTYPE arrayType, const OLECHAR* zoFunctionName)
{
    if (value.vt != arrayType)
        ZO_RAISE(ZO_ERR_INVALID_VARIANT_TYPE);
    VARTYPE elementType = VT_EMPTY;
    const HRESULT hr = SafeArrayGetVartype(value.parray, &elementType);
    if (FAILED(hr))
        ZO_THROW_HR(hr);
    if (elementType != (arrayType & VT_TYPEMASK))
        ZO_RAISE(ZO_ERR_INVALID_VARIANT_TYPE);
    return value.parray;
}

void GetElement(SAFEARRAY* array, LONG index, void* element, const OLECHAR* zoFunctionName)
{
    const HRESULT hr = SafeArrayGetElement(array, &index, element);
    if (FAILED(hr))
        ZO_THROW_HR(hr);
}

}  // namespace

CComVariant CZoVariant::IntVectorToVariant(const CZoIntVector& values)
{
    ZO_FUNCTION(OLESTR("CZoVariant::IntVectorToVariant"))
    {
        CComVariant result = NewVectorVariant(VT_I4, values.size(), zoFunctionName);
        for (size_t i = 0; i < values.size(); ++i) {
            LONG element = values[i];
            PutElement(result.parray, static_cast<LONG>(i), &element, zoFunctionName);
        }
        return result;
    }
    ZO_FUNCTION_END
}

CComVariant CZoVariant::StringVectorToVariant(const CZoStringVector& values)
{
    ZO_FUNCTION(OLESTR("CZoVariant::StringVectorToVariant"))
    {
        CComVariant result = NewVectorVariant(VT_BSTR, values.size(), zoFunctionName);
        for (size_t i = 0; i < values.size(); ++i) {
            // Every character, embedded NULs included, so that the strings come back whole.
            CComBSTR element{OleStringView(values[i])};
            PutElement(result.parray, static_cast<LONG>(i), static_cast<BSTR>(element), zoFunctionName);
        }
        return result;
    }
    ZO_FUNCTION_END
}

CZoIntVector CZoVariant::VariantToIntVector(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::VariantToIntVector"))
    {
        SAFEARRAY* array = CheckedArray(value, kIntArrayType, zoFunctionName);
        const LONG count = GetSafeArraySize(value);
        CZoIntVector values;
        values.reserve(static_cast<size_t>(count));
        for (LONG i = 0; i < count; ++i) {
            LONG element = 0;
            GetElement(array, i, &element, zoFunctionName);
            values.push_back(element);
        }
        return values;
    }
    ZO_FUNCTION_END
}

CZoStringVector CZoVariant::VariantToStringVector(const VARIANT& value)
{
    ZO_FUNCTION(OLESTR("CZoVariant::VariantToStringVector"))
    {
        SAFEARRAY* array = CheckedArray(value, kStringArrayType, zoFunctionName);
        const LONG count = GetSafeArraySize(value);
        CZoStringVector values;
        for (LONG i = 0; i < count; ++i) {
            CComBSTR element;
            GetElement(array, i, &element, zoFunctionName);
            values.emplace_back(ViewOfBstr(element));
        }
        return values;
    }
    ZO_FUNCTION_END
}
