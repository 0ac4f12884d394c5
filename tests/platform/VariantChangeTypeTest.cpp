// VariantChangeType(Ex): conversions among the fundamental types, rounding, overflow,
// booleans, text in the invariant number format, in-place changes, failures.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include "OleString.h"

#include "CountedObject.h"

namespace {

// One variant value, written as data so that tables can hold it.
struct Value {
    VARTYPE vt = VT_EMPTY;
    LONGLONG integer = 0;
    ULONGLONG unsignedInteger = 0;
    double real = 0.0;
    const OLECHAR* text = nullptr;
};

Value Empty() { return Value{VT_EMPTY}; }
Value Null() { return Value{VT_NULL}; }
Value I1(LONGLONG v) { return Value{VT_I1, v}; }
Value I2(LONGLONG v) { return Value{VT_I2, v}; }
Value I4(LONGLONG v) { return Value{VT_I4, v}; }
Value I8(LONGLONG v) { return Value{VT_I8, v}; }
Value Int(LONGLONG v) { return Value{VT_INT, v}; }
Value Bool(LONGLONG v) { return Value{VT_BOOL, v}; }
Value Error(LONGLONG v) { return Value{VT_ERROR, v}; }
Value UI1(ULONGLONG v) { return Value{VT_UI1, 0, v}; }
Value UI2(ULONGLONG v) { return Value{VT_UI2, 0, v}; }
Value UI4(ULONGLONG v) { return Value{VT_UI4, 0, v}; }
Value UI8(ULONGLONG v) { return Value{VT_UI8, 0, v}; }
Value UInt(ULONGLONG v) { return Value{VT_UINT, 0, v}; }
Value R4(double v) { return Value{VT_R4, 0, 0, v}; }
Value R8(double v) { return Value{VT_R8, 0, 0, v}; }
Value Date(double v) { return Value{VT_DATE, 0, 0, v}; }
Value Str(const OLECHAR* text) { return Value{VT_BSTR, 0, 0, 0.0, text}; }

VARIANT Make(const Value& value)
{
    VARIANT v;
    std::memset(&v, 0, sizeof v);
    V_VT(&v) = value.vt;
    switch (value.vt) {
    case VT_I1: V_I1(&v) = static_cast<CHAR>(value.integer); break;
    case VT_I2: V_I2(&v) = static_cast<SHORT>(value.integer); break;
    case VT_I4: V_I4(&v) = static_cast<LONG>(value.integer); break;
    case VT_INT: V_INT(&v) = static_cast<INT>(value.integer); break;
    case VT_I8: V_I8(&v) = value.integer; break;
    case VT_BOOL: V_BOOL(&v) = static_cast<VARIANT_BOOL>(value.integer); break;
    case VT_ERROR: V_ERROR(&v) = static_cast<SCODE>(value.integer); break;
    case VT_UI1: V_UI1(&v) = static_cast<BYTE>(value.unsignedInteger); break;
    case VT_UI2: V_UI2(&v) = static_cast<USHORT>(value.unsignedInteger); break;
    case VT_UI4: V_UI4(&v) = static_cast<ULONG>(value.unsignedInteger); break;
    case VT_UINT: V_UINT(&v) = static_cast<UINT>(value.unsignedInteger); break;
    case VT_UI8: V_UI8(&v) = value.unsignedInteger; break;
    case VT_R4: V_R4(&v) = static_cast<FLOAT>(value.real); break;
    case VT_R8: V_R8(&v) = value.real; break;
    case VT_DATE: V_DATE(&v) = value.real; break;
    case VT_BSTR: V_BSTR(&v) = SysAllocString(value.text); break;
    default: break;
    }
    return v;
}

std::string Narrow(OleStringView text)
{
    std::string out;
    for (OLECHAR c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string Describe(const VARIANT& v)
{
    std::string text = "vt " + std::to_string(V_VT(&v)) + " value ";
    switch (V_VT(&v)) {
    case VT_I1: return text + std::to_string(V_I1(&v));
    case VT_I2: return text + std::to_string(V_I2(&v));
    case VT_I4: return text + std::to_string(V_I4(&v));
    case VT_INT: return text + std::to_string(V_INT(&v));
    case VT_I8: return text + std::to_string(V_I8(&v));
    case VT_BOOL: return text + std::to_string(V_BOOL(&v));
    case VT_ERROR: return text + std::to_string(V_ERROR(&v));
    case VT_UI1: return text + std::to_string(V_UI1(&v));
    case VT_UI2: return text + std::to_string(V_UI2(&v));
    case VT_UI4: return text + std::to_string(V_UI4(&v));
    case VT_UINT: return text + std::to_string(V_UINT(&v));
    case VT_UI8: return text + std::to_string(V_UI8(&v));
    case VT_R4: return text + std::to_string(V_R4(&v));
    case VT_R8: return text + std::to_string(V_R8(&v));
    case VT_DATE: return text + std::to_string(V_DATE(&v));
    case VT_BSTR: return text + "\"" + Narrow(ViewOfBstr(V_BSTR(&v))) + "\"";
    default: return text + "-";
    }
}

bool Matches(const VARIANT& v, const Value& expected)
{
    if (V_VT(&v) != expected.vt)
        return false;
    switch (expected.vt) {
    case VT_I1: return V_I1(&v) == expected.integer;
    case VT_I2: return V_I2(&v) == expected.integer;
    case VT_I4: return V_I4(&v) == expected.integer;
    case VT_INT: return V_INT(&v) == expected.integer;
    case VT_I8: return V_I8(&v) == expected.integer;
    case VT_BOOL: return V_BOOL(&v) == expected.integer;
    case VT_ERROR: return V_ERROR(&v) == expected.integer;
    case VT_UI1: return V_UI1(&v) == expected.unsignedInteger;
    case VT_UI2: return V_UI2(&v) == expected.unsignedInteger;
    case VT_UI4: return V_UI4(&v) == expected.unsignedInteger;
    case VT_UINT: return V_UINT(&v) == expected.unsignedInteger;
    case VT_UI8: return V_UI8(&v) == expected.unsignedInteger;
    case VT_R4: return V_R4(&v) == static_cast<FLOAT>(expected.real);
    case VT_R8: return V_R8(&v) == expected.real;
    case VT_DATE: return V_DATE(&v) == expected.real;
    case VT_BSTR: return V_BSTR(&v) && ViewOfBstr(V_BSTR(&v)) == OleStringView(expected.text);
    default: return true;
    }
}

struct ChangeCase {
    const char* what;
    Value from;
    VARTYPE to;
    USHORT flags;
    HRESULT hr;
    Value expected;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const ChangeCase kChangeCases[] = {
    // Floating values round half to even into integers.
    {"r8 0.5 -> i4", R8(0.5), VT_I4, 0, S_OK, I4(0)},
    {"r8 1.5 -> i4", R8(1.5), VT_I4, 0, S_OK, I4(2)},
    {"r8 2.5 -> i4", R8(2.5), VT_I4, 0, S_OK, I4(2)},
    {"r8 0.6 -> i4", R8(0.6), VT_I4, 0, S_OK, I4(1)},
    {"r8 -0.5 -> i4", R8(-0.5), VT_I4, 0, S_OK, I4(0)},
    {"r8 -1.5 -> i4", R8(-1.5), VT_I4, 0, S_OK, I4(-2)},
    {"r8 -0.6 -> i4", R8(-0.6), VT_I4, 0, S_OK, I4(-1)},
    {"r4 1.5 -> i2", R4(1.5), VT_I2, 0, S_OK, I2(2)},
    {"r4 -128.5 -> i1", R4(-128.5), VT_I1, 0, S_OK, I1(-128)},
    {"date 2.5 -> i4", Date(2.5), VT_I4, 0, S_OK, I4(2)},
    {"date 3.5 -> ui2", Date(3.5), VT_UI2, 0, S_OK, UI2(4)},

    // Out of range after rounding is an overflow.
    {"r8 i4 max + 0.49", R8(2147483647.49), VT_I4, 0, S_OK, I4(2147483647)},
    {"r8 i4 max + 0.5", R8(2147483647.5), VT_I4, 0, DISP_E_OVERFLOW, {}},
    {"r8 i4 min - 0.5", R8(-2147483648.5), VT_I4, 0, S_OK, I4(-2147483647LL - 1)},
    {"r8 i4 min - 0.51", R8(-2147483648.51), VT_I4, 0, DISP_E_OVERFLOW, {}},
    {"r8 -0.5 -> ui1", R8(-0.5), VT_UI1, 0, S_OK, UI1(0)},
    {"r8 -0.51 -> ui1", R8(-0.51), VT_UI1, 0, DISP_E_OVERFLOW, {}},
    {"r8 255.5 -> ui1", R8(255.5), VT_UI1, 0, DISP_E_OVERFLOW, {}},
    {"r8 2^63 -> i8", R8(9223372036854775808.0), VT_I8, 0, DISP_E_OVERFLOW, {}},
    {"r8 -2^63 -> i8", R8(-9223372036854775808.0), VT_I8, 0, S_OK, I8(-9223372036854775807LL - 1)},
    {"r8 2^64 -> ui8", R8(18446744073709551616.0), VT_UI8, 0, DISP_E_OVERFLOW, {}},
    {"r8 2^53 -> ui8", R8(9007199254740992.0), VT_UI8, 0, S_OK, UI8(9007199254740992ull)},
    {"r8 NaN -> i4", R8(kNaN), VT_I4, 0, DISP_E_OVERFLOW, {}},
    {"r8 3.5e38 -> r4", R8(3.5e38), VT_R4, 0, DISP_E_OVERFLOW, {}},
    {"r8 -3.5e38 -> r4", R8(-3.5e38), VT_R4, 0, DISP_E_OVERFLOW, {}},
    {"r8 1e38 -> r4", R8(1e38), VT_R4, 0, S_OK, R4(1e38)},

    // Integers between types.
    {"i4 127 -> i1", I4(127), VT_I1, 0, S_OK, I1(127)},
    {"i4 128 -> i1", I4(128), VT_I1, 0, DISP_E_OVERFLOW, {}},
    {"i4 -129 -> i1", I4(-129), VT_I1, 0, DISP_E_OVERFLOW, {}},
    {"i2 -1 -> ui4", I2(-1), VT_UI4, 0, DISP_E_OVERFLOW, {}},
    {"i4 -1 -> ui8", I4(-1), VT_UI8, 0, DISP_E_OVERFLOW, {}},
    {"ui4 max -> i2", UI4(4294967295u), VT_I2, 0, DISP_E_OVERFLOW, {}},
    {"ui2 max -> i4", UI2(65535), VT_I4, 0, S_OK, I4(65535)},
    {"ui4 max -> i8", UI4(4294967295u), VT_I8, 0, S_OK, I8(4294967295LL)},

    // Between the signed and unsigned types of one width the bits are kept.
    {"i1 -1 -> ui1", I1(-1), VT_UI1, 0, S_OK, UI1(255)},
    {"ui1 255 -> i1", UI1(255), VT_I1, 0, S_OK, I1(-1)},
    {"i2 -1 -> ui2", I2(-1), VT_UI2, 0, S_OK, UI2(65535)},
    {"ui2 max -> i2", UI2(65535), VT_I2, 0, S_OK, I2(-1)},
    {"i4 -1 -> ui4", I4(-1), VT_UI4, 0, S_OK, UI4(4294967295u)},
    {"ui4 max -> i4", UI4(4294967295u), VT_I4, 0, S_OK, I4(-1)},
    {"ui4 2^31 -> i4", UI4(2147483648u), VT_I4, 0, S_OK, I4(-2147483647LL - 1)},
    {"uint max -> int", UInt(4294967295u), VT_INT, 0, S_OK, Int(-1)},
    {"int -1 -> uint", Int(-1), VT_UINT, 0, S_OK, UInt(4294967295u)},
    {"uint max -> i4", UInt(4294967295u), VT_I4, 0, S_OK, I4(-1)},
    {"i4 -1 -> uint", I4(-1), VT_UINT, 0, S_OK, UInt(4294967295u)},
    {"int -1 -> ui4", Int(-1), VT_UI4, 0, S_OK, UI4(4294967295u)},
    {"ui4 max -> int", UI4(4294967295u), VT_INT, 0, S_OK, Int(-1)},
    {"i4 -1 -> int", I4(-1), VT_INT, 0, S_OK, Int(-1)},

    {"ui8 max -> i8", UI8(0xFFFFFFFFFFFFFFFFull), VT_I8, 0, DISP_E_OVERFLOW, {}},
    {"i8 -1 -> ui8", I8(-1), VT_UI8, 0, DISP_E_OVERFLOW, {}},
    {"ui8 255 -> ui1", UI8(255), VT_UI1, 0, S_OK, UI1(255)},
    {"ui8 256 -> ui1", UI8(256), VT_UI1, 0, DISP_E_OVERFLOW, {}},
    {"i8 i4 min -> int", I8(-2147483648LL), VT_INT, 0, S_OK, Int(-2147483648LL)},
    {"uint 7 -> i2", UInt(7), VT_I2, 0, S_OK, I2(7)},
    {"i1 -5 -> r8", I1(-5), VT_R8, 0, S_OK, R8(-5.0)},
    {"ui8 max -> r4", UI8(0xFFFFFFFFFFFFFFFFull), VT_R4, 0, S_OK, R4(18446744073709551616.0)},
    {"i4 -> r8", I4(-2147483647LL - 1), VT_R8, 0, S_OK, R8(-2147483648.0)},

    // Booleans: true is -1, wrapping into unsigned types; any non-zero number is true.
    {"true -> i4", Bool(VARIANT_TRUE), VT_I4, 0, S_OK, I4(-1)},
    {"true -> i2", Bool(VARIANT_TRUE), VT_I2, 0, S_OK, I2(-1)},
    {"true -> ui1", Bool(VARIANT_TRUE), VT_UI1, 0, S_OK, UI1(255)},
    {"true -> ui2", Bool(VARIANT_TRUE), VT_UI2, 0, S_OK, UI2(65535)},
    {"true -> r8", Bool(VARIANT_TRUE), VT_R8, 0, S_OK, R8(-1.0)},
    {"false -> i4", Bool(VARIANT_FALSE), VT_I4, 0, S_OK, I4(0)},
    {"i4 5 -> bool", I4(5), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"i4 -1 -> bool", I4(-1), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"ui8 0 -> bool", UI8(0), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"r8 0.1 -> bool", R8(0.1), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"r8 -0.0 -> bool", R8(-0.0), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"date 1 -> bool", Date(1.0), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"bool 1 stays 1", Bool(1), VT_BOOL, 0, S_OK, Bool(1)},

    // Booleans as text: numbers unless words are asked for.
    {"true -> bstr", Bool(VARIANT_TRUE), VT_BSTR, 0, S_OK, Str(OLESTR("-1"))},
    {"false -> bstr", Bool(VARIANT_FALSE), VT_BSTR, 0, S_OK, Str(OLESTR("0"))},
    {"true -> bstr alpha", Bool(VARIANT_TRUE), VT_BSTR, VARIANT_ALPHABOOL, S_OK, Str(OLESTR("True"))},
    {"false -> bstr alpha", Bool(VARIANT_FALSE), VT_BSTR, VARIANT_ALPHABOOL, S_OK, Str(OLESTR("False"))},
    {"true -> bstr local", Bool(VARIANT_TRUE), VT_BSTR, VARIANT_LOCALBOOL, S_OK, Str(OLESTR("True"))},

    // Numbers as text.
    {"i4 -42", I4(-42), VT_BSTR, 0, S_OK, Str(OLESTR("-42"))},
    {"ui1 200", UI1(200), VT_BSTR, 0, S_OK, Str(OLESTR("200"))},
    {"i8 min", I8(-9223372036854775807LL - 1), VT_BSTR, 0, S_OK, Str(OLESTR("-9223372036854775808"))},
    {"ui8 max", UI8(0xFFFFFFFFFFFFFFFFull), VT_BSTR, 0, S_OK, Str(OLESTR("18446744073709551615"))},
    {"r8 1.5", R8(1.5), VT_BSTR, 0, S_OK, Str(OLESTR("1.5"))},
    {"r8 100", R8(100.0), VT_BSTR, 0, S_OK, Str(OLESTR("100"))},
    {"r8 0.1", R8(0.1), VT_BSTR, 0, S_OK, Str(OLESTR("0.1"))},
    {"r8 123.456", R8(123.456), VT_BSTR, 0, S_OK, Str(OLESTR("123.456"))},
    {"r8 -2.75", R8(-2.75), VT_BSTR, 0, S_OK, Str(OLESTR("-2.75"))},
    {"r8 1/3", R8(1.0 / 3.0), VT_BSTR, 0, S_OK, Str(OLESTR("0.333333333333333"))},
    {"r8 2/3", R8(2.0 / 3.0), VT_BSTR, 0, S_OK, Str(OLESTR("0.666666666666667"))},
    {"r8 0.1 + 0.2", R8(0.1 + 0.2), VT_BSTR, 0, S_OK, Str(OLESTR("0.3"))},
    {"r8 15 digits", R8(123456789012345.0), VT_BSTR, 0, S_OK, Str(OLESTR("123456789012345"))},
    {"r8 16 digits", R8(1234567890123456.0), VT_BSTR, 0, S_OK, Str(OLESTR("1.23456789012346E+15"))},
    {"r8 1e15", R8(1e15), VT_BSTR, 0, S_OK, Str(OLESTR("1E+15"))},
    {"r8 1e100", R8(1e100), VT_BSTR, 0, S_OK, Str(OLESTR("1E+100"))},
    {"r8 1e-5", R8(1e-5), VT_BSTR, 0, S_OK, Str(OLESTR("0.00001"))},
    {"r8 1e-15", R8(1e-15), VT_BSTR, 0, S_OK, Str(OLESTR("0.000000000000001"))},
    {"r8 1e-16", R8(1e-16), VT_BSTR, 0, S_OK, Str(OLESTR("1E-16"))},
    {"r8 many decimals", R8(0.0199999997764826), VT_BSTR, 0, S_OK, Str(OLESTR("1.99999997764826E-02"))},
    {"r8 -2.5e-20", R8(-2.5e-20), VT_BSTR, 0, S_OK, Str(OLESTR("-2.5E-20"))},
    {"r8 -0", R8(-0.0), VT_BSTR, 0, S_OK, Str(OLESTR("0"))},
    {"r8 max", R8(1.7976931348623157e308), VT_BSTR, 0, S_OK, Str(OLESTR("1.79769313486232E+308"))},
    {"r4 0.1", R4(0.1), VT_BSTR, 0, S_OK, Str(OLESTR("0.1"))},
    {"r4 1/3", R4(1.0f / 3.0f), VT_BSTR, 0, S_OK, Str(OLESTR("0.3333333"))},
    {"r4 7 digits", R4(1234567.0), VT_BSTR, 0, S_OK, Str(OLESTR("1234567"))},
    {"r4 8 digits", R4(16777216.0), VT_BSTR, 0, S_OK, Str(OLESTR("1.677722E+07"))},

    // Text as numbers: blanks, sign, digits, a point, an exponent.
    {"'42'", Str(OLESTR("42")), VT_I4, 0, S_OK, I4(42)},
    {"blanks", Str(OLESTR("  42  ")), VT_I4, 0, S_OK, I4(42)},
    {"tabs", Str(OLESTR("\t7\r\n")), VT_UI1, 0, S_OK, UI1(7)},
    {"minus", Str(OLESTR("-17")), VT_I2, 0, S_OK, I2(-17)},
    {"plus", Str(OLESTR("+3")), VT_I4, 0, S_OK, I4(3)},
    {"leading zeros", Str(OLESTR("007")), VT_I4, 0, S_OK, I4(7)},
    {"rounds 1.5", Str(OLESTR("1.5")), VT_I4, 0, S_OK, I4(2)},
    {"rounds 2.5", Str(OLESTR("2.5")), VT_I4, 0, S_OK, I4(2)},
    {"rounds -2.5", Str(OLESTR("-2.5")), VT_I4, 0, S_OK, I4(-2)},
    {"rounds 2.500001", Str(OLESTR("2.500001")), VT_I4, 0, S_OK, I4(3)},
    {"rounds 0.05", Str(OLESTR("0.05")), VT_I4, 0, S_OK, I4(0)},
    {"-0.5 -> ui1", Str(OLESTR("-0.5")), VT_UI1, 0, S_OK, UI1(0)},
    {"exponent", Str(OLESTR("1e3")), VT_I4, 0, S_OK, I4(1000)},
    {"negative exponent", Str(OLESTR("25e-1")), VT_I4, 0, S_OK, I4(2)},
    {"r8 exponent", Str(OLESTR("1.5E2")), VT_R8, 0, S_OK, R8(150.0)},
    {"point first", Str(OLESTR(".5")), VT_R8, 0, S_OK, R8(0.5)},
    {"point last", Str(OLESTR("5.")), VT_R8, 0, S_OK, R8(5.0)},
    {"r8 text", Str(OLESTR(" -0.125 ")), VT_R8, 0, S_OK, R8(-0.125)},
    {"r4 text", Str(OLESTR("3.4e38")), VT_R4, 0, S_OK, R4(3.4e38)},
    {"i8 max", Str(OLESTR("9223372036854775807")), VT_I8, 0, S_OK, I8(9223372036854775807LL)},
    {"i8 min", Str(OLESTR("-9223372036854775808")), VT_I8, 0, S_OK, I8(-9223372036854775807LL - 1)},
    {"i8 max + 1", Str(OLESTR("9223372036854775808")), VT_I8, 0, DISP_E_OVERFLOW, {}},
    {"ui8 max", Str(OLESTR("18446744073709551615")), VT_UI8, 0, S_OK, UI8(0xFFFFFFFFFFFFFFFFull)},
    {"ui8 max + 1", Str(OLESTR("18446744073709551616")), VT_UI8, 0, DISP_E_OVERFLOW, {}},
    {"huge integer", Str(OLESTR("1e30")), VT_I8, 0, DISP_E_OVERFLOW, {}},
    {"ui1 256", Str(OLESTR("256")), VT_UI1, 0, DISP_E_OVERFLOW, {}},
    {"ui1 -1", Str(OLESTR("-1")), VT_UI1, 0, DISP_E_OVERFLOW, {}},
    {"r8 1e400", Str(OLESTR("1e400")), VT_R8, 0, DISP_E_OVERFLOW, {}},
    {"r8 1e-400", Str(OLESTR("1e-400")), VT_R8, 0, S_OK, R8(0.0)},
    {"r4 1e39", Str(OLESTR("1e39")), VT_R4, 0, DISP_E_OVERFLOW, {}},
    {"empty text", Str(OLESTR("")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"blank text", Str(OLESTR("   ")), VT_R8, 0, DISP_E_TYPEMISMATCH, {}},
    {"letters", Str(OLESTR("abc")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"trailing letters", Str(OLESTR("12abc")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"inner blank", Str(OLESTR("1 2")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"thousands separator", Str(OLESTR("1,000")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"comma decimal", Str(OLESTR("1,5")), VT_R8, 0, DISP_E_TYPEMISMATCH, {}},
    {"two points", Str(OLESTR("1.2.3")), VT_R8, 0, DISP_E_TYPEMISMATCH, {}},
    {"lone point", Str(OLESTR(".")), VT_R8, 0, DISP_E_TYPEMISMATCH, {}},
    {"two signs", Str(OLESTR("--1")), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"exponent without digits", Str(OLESTR("1e")), VT_R8, 0, DISP_E_TYPEMISMATCH, {}},
    {"null string", Str(nullptr), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},

    // Text as booleans.
    {"'true'", Str(OLESTR("true")), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"'FALSE'", Str(OLESTR("FALSE")), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"'#TRUE#'", Str(OLESTR("#TRUE#")), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"'#FALSE#'", Str(OLESTR("#FALSE#")), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"'#True#'", Str(OLESTR("#True#")), VT_BOOL, 0, DISP_E_TYPEMISMATCH, {}},
    {"'0'", Str(OLESTR("0")), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"'-1'", Str(OLESTR("-1")), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"'0.1'", Str(OLESTR("0.1")), VT_BOOL, 0, S_OK, Bool(VARIANT_TRUE)},
    {"'yes'", Str(OLESTR("yes")), VT_BOOL, 0, DISP_E_TYPEMISMATCH, {}},

    // Empty is 0, "" and false.
    {"empty -> i4", Empty(), VT_I4, 0, S_OK, I4(0)},
    {"empty -> ui8", Empty(), VT_UI8, 0, S_OK, UI8(0)},
    {"empty -> r8", Empty(), VT_R8, 0, S_OK, R8(0.0)},
    {"empty -> date", Empty(), VT_DATE, 0, S_OK, Date(0.0)},
    {"empty -> bool", Empty(), VT_BOOL, 0, S_OK, Bool(VARIANT_FALSE)},
    {"empty -> bstr", Empty(), VT_BSTR, 0, S_OK, Str(OLESTR(""))},
    {"empty -> null", Empty(), VT_NULL, 0, S_OK, Null()},
    {"empty -> error", Empty(), VT_ERROR, 0, DISP_E_TYPEMISMATCH, {}},
    {"empty -> dispatch", Empty(), VT_DISPATCH, 0, DISP_E_TYPEMISMATCH, {}},
    {"empty -> unknown", Empty(), VT_UNKNOWN, 0, DISP_E_TYPEMISMATCH, {}},

    // Null converts to nothing but itself.
    {"null -> i4", Null(), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"null -> bstr", Null(), VT_BSTR, 0, DISP_E_TYPEMISMATCH, {}},
    {"null -> bool", Null(), VT_BOOL, 0, DISP_E_TYPEMISMATCH, {}},
    {"null -> empty", Null(), VT_EMPTY, 0, DISP_E_TYPEMISMATCH, {}},
    {"null -> null", Null(), VT_NULL, 0, S_OK, Null()},

    // Values may be dropped into VT_EMPTY and VT_NULL; errors only stay errors.
    {"i4 -> empty", I4(5), VT_EMPTY, 0, S_OK, Empty()},
    {"bstr -> empty", Str(OLESTR("x")), VT_EMPTY, 0, S_OK, Empty()},
    {"r8 -> null", R8(1.0), VT_NULL, 0, S_OK, Null()},
    {"error -> error", Error(DISP_E_PARAMNOTFOUND), VT_ERROR, 0, S_OK, Error(DISP_E_PARAMNOTFOUND)},
    {"error -> i4", Error(1), VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"error -> empty", Error(1), VT_EMPTY, 0, DISP_E_TYPEMISMATCH, {}},
    {"i4 -> error", I4(1), VT_ERROR, 0, DISP_E_TYPEMISMATCH, {}},

    // Dates are the double itself, within the automation date range.
    {"r8 -> date", R8(36526.25), VT_DATE, 0, S_OK, Date(36526.25)},
    {"date -> r8", Date(1.5), VT_R8, 0, S_OK, R8(1.5)},
    {"date -> r4", Date(1.5), VT_R4, 0, S_OK, R4(1.5)},
    {"latest date", R8(2958465.99), VT_DATE, 0, S_OK, Date(2958465.99)},
    {"after the latest date", R8(2958466.0), VT_DATE, 0, DISP_E_OVERFLOW, {}},
    {"earliest date", R8(-657434.0), VT_DATE, 0, S_OK, Date(-657434.0)},
    {"time on the earliest date", R8(-657434.5), VT_DATE, 0, S_OK, Date(-657434.5)},
    {"before the earliest date", R8(-657435.0), VT_DATE, 0, DISP_E_OVERFLOW, {}},
    {"i4 -> date", I4(40000), VT_DATE, 0, S_OK, Date(40000.0)},
    {"i4 beyond dates", I4(3000000), VT_DATE, 0, DISP_E_OVERFLOW, {}},
    {"true -> date", Bool(VARIANT_TRUE), VT_DATE, 0, S_OK, Date(-1.0)},

    // Same type: a copy.
    {"bstr -> bstr", Str(OLESTR("same")), VT_BSTR, 0, S_OK, Str(OLESTR("same"))},
    {"i4 -> i4", I4(9), VT_I4, 0, S_OK, I4(9)},

    // Types a variant cannot hold, and types nothing converts to.
    {"-> void", I4(1), VT_VOID, 0, DISP_E_BADVARTYPE, {}},
    {"-> 15", I4(1), 15, 0, DISP_E_BADVARTYPE, {}},
    {"-> lpstr", I4(1), VT_LPSTR, 0, DISP_E_BADVARTYPE, {}},
    {"-> clsid", I4(1), VT_CLSID, 0, DISP_E_BADVARTYPE, {}},
    {"-> vector", I4(1), VT_VECTOR | VT_I4, 0, DISP_E_BADVARTYPE, {}},
    {"-> byref null", I4(1), VT_BYREF | VT_NULL, 0, DISP_E_BADVARTYPE, {}},
    {"-> variant", I4(1), VT_VARIANT, 0, DISP_E_TYPEMISMATCH, {}},
    {"-> record", I4(1), VT_RECORD, 0, DISP_E_TYPEMISMATCH, {}},
    {"-> byref i4", I4(1), VT_BYREF | VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"-> array of i4", I4(1), VT_ARRAY | VT_I4, 0, DISP_E_TYPEMISMATCH, {}},
    {"-> dispatch", I4(1), VT_DISPATCH, 0, DISP_E_TYPEMISMATCH, {}},
    {"-> unknown", Str(OLESTR("x")), VT_UNKNOWN, 0, DISP_E_TYPEMISMATCH, {}},
};

TEST(VariantChangeType, ConvertsAsTheTableSays)
{
    for (const ChangeCase& c : kChangeCases) {
        VARIANT source = Make(c.from);
        VARIANT destination;
        VariantInit(&destination);
        const HRESULT hr = VariantChangeTypeEx(&destination, &source, LOCALE_USER_DEFAULT, c.flags, c.to);
        EXPECT_EQ(hr, c.hr) << c.what;
        if (SUCCEEDED(hr) && SUCCEEDED(c.hr)) {
            EXPECT_TRUE(Matches(destination, c.expected)) << c.what << ": got " << Describe(destination);
        }
        if (FAILED(hr)) {
            EXPECT_EQ(V_VT(&destination), VT_EMPTY) << c.what;
        }
        VariantClear(&destination);
        VariantClear(&source);
    }
}

#ifndef _WIN32
// Where the stand-in differs from oleaut32: Windows converts VT_CY/VT_DECIMAL, which the
// stand-in does not hold.
const ChangeCase kStandInCases[] = {
    {"i4 -> currency", I4(1), VT_CY, 0, DISP_E_TYPEMISMATCH, {}},
    {"i4 -> decimal", I4(1), VT_DECIMAL, 0, DISP_E_TYPEMISMATCH, {}},
};

TEST(VariantChangeType, StandInConvertsToNoCurrencyOrDecimal)
{
    for (const ChangeCase& c : kStandInCases) {
        VARIANT source = Make(c.from);
        VARIANT destination;
        VariantInit(&destination);
        EXPECT_EQ(VariantChangeType(&destination, &source, c.flags, c.to), c.hr) << c.what;
        VariantClear(&destination);
    }
}
#endif

TEST(VariantChangeType, ChangesInPlace)
{
    VARIANT v = Make(Str(OLESTR(" 12 ")));
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_TRUE(Matches(v, I4(12))) << Describe(v);

    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
    EXPECT_TRUE(Matches(v, Str(OLESTR("12")))) << Describe(v);
    VariantClear(&v);
}

TEST(VariantChangeType, FailureLeavesTheDestinationAsItWas)
{
    VARIANT source = Make(Str(OLESTR("not a number")));
    VARIANT destination = Make(Str(OLESTR("keep")));
    const BSTR kept = V_BSTR(&destination);
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(V_VT(&destination), VT_BSTR);
    EXPECT_EQ(V_BSTR(&destination), kept);

    VARIANT big = Make(R8(1e10));
    EXPECT_EQ(VariantChangeType(&destination, &big, 0, VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(V_BSTR(&destination), kept);

    // In place, the source survives its failed change.
    const BSTR text = V_BSTR(&source);
    EXPECT_EQ(VariantChangeType(&source, &source, 0, VT_R8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(V_VT(&source), VT_BSTR);
    EXPECT_EQ(V_BSTR(&source), text);

    VariantClear(&destination);
    VariantClear(&source);
}

TEST(VariantChangeType, DestinationThatCannotBeClearedIsLeft)
{
    VARIANT source = Make(I4(3));
    VARIANT destination;
    std::memset(&destination, 0, sizeof destination);
    V_VT(&destination) = 0xFF;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), DISP_E_BADVARTYPE);
    EXPECT_EQ(V_VT(&destination), 0xFF);
}

TEST(VariantChangeType, RejectsBadArguments)
{
    VARIANT source = Make(I4(3));
    VARIANT destination;
    VariantInit(&destination);
    EXPECT_EQ(VariantChangeType(nullptr, &source, 0, VT_I2), E_INVALIDARG);
    EXPECT_EQ(VariantChangeType(&destination, nullptr, 0, VT_I2), E_INVALIDARG);
    V_VT(&source) = 15;
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_I2), DISP_E_BADVARTYPE);
    EXPECT_EQ(V_VT(&destination), VT_EMPTY);
}

TEST(VariantChangeType, DereferencesTheSource)
{
    LONG number = 7;
    VARIANT reference;
    V_VT(&reference) = VT_BYREF | VT_I4;
    V_I4REF(&reference) = &number;
    VARIANT destination;
    VariantInit(&destination);
    ASSERT_EQ(VariantChangeType(&destination, &reference, 0, VT_R8), S_OK);
    EXPECT_TRUE(Matches(destination, R8(7.0))) << Describe(destination);
    EXPECT_EQ(V_VT(&reference), VT_BYREF | VT_I4);

    // The way script clients pass their variables: a reference to a variant.
    VARIANT inner = Make(Str(OLESTR("5")));
    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = &inner;
    ASSERT_EQ(VariantChangeType(&destination, &reference, 0, VT_I4), S_OK);
    EXPECT_TRUE(Matches(destination, I4(5))) << Describe(destination);
    EXPECT_TRUE(Matches(inner, Str(OLESTR("5"))));

    // Changed in place, the reference becomes the value; the referenced variant stays.
    ASSERT_EQ(VariantChangeType(&reference, &reference, 0, VT_BSTR), S_OK);
    EXPECT_TRUE(Matches(reference, Str(OLESTR("5"))));
    EXPECT_NE(V_BSTR(&reference), V_BSTR(&inner));
    VariantClear(&reference);

    V_VT(&reference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&reference) = nullptr;
    EXPECT_EQ(VariantChangeType(&destination, &reference, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(Matches(destination, I4(5)));

    VariantClear(&inner);
    VariantClear(&destination);
}

VARIANT Holding(VARTYPE vt, IUnknown* object)
{
    VARIANT v;
    V_VT(&v) = vt;
    V_UNKNOWN(&v) = object;
    if (object)
        object->AddRef();
    return v;
}

TEST(VariantChangeType, ObjectsChangeInterfaceThroughQueryInterface)
{
    CountedObject object;
    VARIANT source = Holding(VT_UNKNOWN, &object);
    VARIANT destination;
    VariantInit(&destination);
    ASSERT_EQ(VariantChangeType(&destination, &source, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(V_VT(&destination), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&destination), static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.References(), 3u);
    VariantClear(&destination);

    // In place the old reference goes as the new one comes.
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(V_VT(&source), VT_DISPATCH);
    EXPECT_EQ(object.References(), 2u);
    ASSERT_EQ(VariantChangeType(&source, &source, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(V_VT(&source), VT_UNKNOWN);
    EXPECT_EQ(object.References(), 2u);
    VariantClear(&source);
    EXPECT_EQ(object.References(), 1u);
}

TEST(VariantChangeType, ObjectsConvertToNothingElse)
{
    CountedObject plain(false);
    VARIANT source = Holding(VT_UNKNOWN, &plain);
    VARIANT destination;
    VariantInit(&destination);
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&destination, &source, VARIANT_NOVALUEPROP, VT_BOOL), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&destination, &source, 0, VT_EMPTY), S_OK);
    EXPECT_EQ(V_VT(&destination), VT_EMPTY);
    EXPECT_EQ(plain.References(), 2u);
    VariantClear(&source);
    EXPECT_EQ(plain.References(), 1u);

    VARIANT nothing = Holding(VT_UNKNOWN, nullptr);
    ASSERT_EQ(VariantChangeType(&destination, &nothing, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(V_VT(&destination), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&destination), nullptr);
}

TEST(VariantChangeType, SuccessReleasesTheDestinationsOldValue)
{
    CountedObject object;
    VARIANT destination = Holding(VT_DISPATCH, &object);
    VARIANT source = Make(I2(4));
    ASSERT_EQ(VariantChangeType(&destination, &source, 0, VT_I4), S_OK);
    EXPECT_TRUE(Matches(destination, I4(4)));
    EXPECT_EQ(object.References(), 1u);
}

TEST(VariantChangeType, SameTypeGivesAnIndependentCopy)
{
    VARIANT source = Make(Str(OLESTR("copy")));
    VARIANT destination;
    VariantInit(&destination);
    ASSERT_EQ(VariantChangeType(&destination, &source, 0, VT_BSTR), S_OK);
    EXPECT_NE(V_BSTR(&destination), V_BSTR(&source));
    EXPECT_TRUE(Matches(destination, Str(OLESTR("copy"))));
    VariantClear(&destination);
    VariantClear(&source);
}

}  // namespace
