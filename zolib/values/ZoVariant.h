// Conversions of automation variants: display text, numbers, type tests, element counts of
// safe arrays, and integer and string vectors to and from one-dimensional array variants.
//
// No operation follows a by-reference variant (VT_BYREF): it is treated as a type the
// operation does not handle.
#pragma once

#include <vector>

#include <windows.h>

#include "ComVariant.h"
#include "OleString.h"

using CZoIntVector = std::vector<LONG>;
using CZoStringVector = std::vector<OleString>;

class CZoVariant {
public:
    CZoVariant() = delete;

    // The display text; never fails for a type it does not know ("Unsupported VARIANT type %d").
    static OleString ToString(const VARIANT& value);
    // Integer types only (1010 otherwise); VT_UI8 is taken as its signed 64 bits.
    static LONGLONG ToInt(const VARIANT& value);
    // The decimal text of an integer-class value, VT_UI8 unsigned (1010 for another type).
    static OleString IntegerText(const VARIANT& value);
    // VT_R4 and VT_R8 only (1010 otherwise).
    static double ToFloat(const VARIANT& value);

    static bool IsInteger(const VARIANT& value);
    static bool IsFloat(const VARIANT& value);
    // The marker of an omitted optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
    static bool IsMissing(const VARIANT& value);
    // VT_DISPATCH or VT_UNKNOWN with a non-null reference.
    static bool IsObject(const VARIANT& value);

    // Elements of a one-dimensional array variant (1015 for anything else).
    static LONG GetSafeArraySize(const VARIANT& value);

    // New one-dimensional arrays with lower bound 0.
    static CComVariant IntVectorToVariant(const CZoIntVector& values);
    static CComVariant StringVectorToVariant(const CZoStringVector& values);
    // Exactly VT_ARRAY | VT_I4 (resp. VT_BSTR) with that element type; elements 0 to count-1.
    static CZoIntVector VariantToIntVector(const VARIANT& value);
    static CZoStringVector VariantToStringVector(const VARIANT& value);

    // The XML Schema form of a value: returns the text and sets typeName ("integer",
    // "decimal", "string", "boolean", "dateTime", "base64binary", "stringlist",
    // "integerlist") as soon as the value's class is known. Text that XML cannot carry is
    // replaced (CZoXmlText), in list elements too. 2017 for another type, 2021 for a comma in
    // a string-array element, E_OUTOFMEMORY for a byte array above kMaxXSDBinarySize.
    static OleString ToXSDString(const VARIANT& value, OleString& typeName);
    // The value back from its text; typeName compared without regard to ASCII case (2018 for
    // an unknown one). Numbers are read as far as they are numbers; "integer" is VT_I4 when
    // the number fits 32 bits, else VT_I8, and VT_UI8 above the signed 64-bit range,
    // saturating at -2^63 and 2^64-1.
    static CComVariant FromXSDString(OleStringView text, OleStringView typeName);
    // The same, a string's text taken into the value rather than copied.
    static CComVariant TakeXSDString(CComBSTR&& text, OleStringView typeName);

    // The largest byte array written as "base64binary"; its text stays well within what the
    // XML reader takes in one text node.
    static constexpr LONG kMaxXSDBinarySize = 256 * 1024 * 1024;
};
