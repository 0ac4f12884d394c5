// Display text, numbers, type tests, array counts and vectors of CZoVariant.
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "ComVariant.h"
#include "ZoFormat.h"
#include "ZoTestSupport.h"
#include "ZoVariant.h"

namespace {

using Make = std::function<CComVariant()>;

template <class T>
Make Of(T value)
{
    return [value] { return CComVariant(value); };
}

template <class Integer>
Make Typed(Integer value, VARTYPE vt)
{
    return [value, vt] { return CComVariant(value, vt); };
}

Make Bool(short raw)
{
    return [raw] {
        CComVariant v;
        v.vt = VT_BOOL;
        v.boolVal = raw;
        return v;
    };
}

Make Bstr(OleStringView text)
{
    const OleString copy(text);
    return [copy] { return CComVariant(CComBSTR(OleStringView(copy))); };
}

Make NullBstr()
{
    return [] {
        CComVariant v;
        v.vt = VT_BSTR;
        v.bstrVal = nullptr;
        return v;
    };
}

Make Raw(VARTYPE vt)
{
    return [vt] {
        CComVariant v;
        v.vt = vt;
        v.llVal = 0;
        return v;
    };
}

Make Date(double date)
{
    return [date] { return CComVariant(date, VT_DATE); };
}

// A one-dimensional array of elementType with the given bounds, elements left as created.
CComVariant ArrayVariant(VARTYPE elementType, LONG lowerBound, ULONG count, VARTYPE variantType = VT_EMPTY)
{
    CComVariant v;
    v.parray = SafeArrayCreateVector(elementType, lowerBound, count);
    v.vt = variantType == VT_EMPTY ? static_cast<VARTYPE>(VT_ARRAY | elementType) : variantType;
    return v;
}

Make Ints(CZoIntVector values)
{
    return [values] { return CZoVariant::IntVectorToVariant(values); };
}

Make Strings(CZoStringVector values)
{
    return [values] { return CZoVariant::StringVectorToVariant(values); };
}

struct DisplayCase {
    const char* what;
    Make value;
    OleString text;
};

TEST(ZoVariantToString, MatchesTable)
{
    const DisplayCase cases[] = {
        {"empty", Raw(VT_EMPTY), OLESTR("empty")},
        {"null", Raw(VT_NULL), OLESTR("Unsupported VARIANT type 1")},
        {"error", Typed(LONG(DISP_E_PARAMNOTFOUND), VT_ERROR), OLESTR("Unsupported VARIANT type 10")},
        {"bool 1", Bool(1), OLESTR("true")},
        {"bool -1", Bool(-1), OLESTR("true")},
        {"bool 0", Bool(0), OLESTR("false")},
        {"i1 -5", Of<signed char>(-5), OLESTR("-5")},
        {"i2 -32768", Of<short>(-32768), OLESTR("-32768")},
        {"i4 -5", Of<LONG>(-5), OLESTR("-5")},
        {"int -7", Typed(LONG(-7), VT_INT), OLESTR("-7")},
        {"ui1 255", Of<BYTE>(255), OLESTR("255")},
        {"ui2 65535", Of<USHORT>(65535), OLESTR("65535")},
        {"ui4 max", Of<ULONG>(4294967295u), OLESTR("4294967295")},
        {"uint max", Typed(ULONG(4294967295u), VT_UINT), OLESTR("4294967295")},
        {"i8 -9000000000", Of<LONGLONG>(-9000000000LL), OLESTR("-9000000000")},
        {"i8 min", Of<LONGLONG>(std::numeric_limits<LONGLONG>::min()), OLESTR("-9223372036854775808")},
        // Shown as the unsigned number it is, not as ToInt's signed reading (-1).
        {"ui8 max", Of<ULONGLONG>(std::numeric_limits<ULONGLONG>::max()), OLESTR("18446744073709551615")},
        {"r8 0.1", Of(0.1), OLESTR("0.1000000000")},
        {"r4 0.1", Of(0.1f), OLESTR("0.1000000015")},
        {"r8 1e20", Of(1e20), OLESTR("100000000000000000000.0000000000")},
        {"r8 -2.5", Of(-2.5), OLESTR("-2.5000000000")},
        {"r8 nan", Of(std::numeric_limits<double>::quiet_NaN()), OLESTR("NaN")},
        {"r8 +inf", Of(std::numeric_limits<double>::infinity()), OLESTR("INF")},
        {"r4 -inf", Of(-std::numeric_limits<float>::infinity()), OLESTR("-INF")},
        {"bstr", Bstr(OLESTR("a b")), OLESTR("a b")},
        {"bstr up to its first NUL", Bstr(OleStringView(OLESTR("ab\0cd"), 5)), OLESTR("ab")},
        {"empty bstr", Bstr(OLESTR("")), OLESTR("")},
        {"null bstr", NullBstr(), OLESTR("(null)")},
        {"null dispatch", Of(static_cast<IDispatch*>(nullptr)), OLESTR("IDispatch object at 0x0")},
        {"byref i4", Raw(VT_BYREF | VT_I4), OLESTR("Unsupported VARIANT type 16387")},
        {"array of variant", [] { return ArrayVariant(VT_VARIANT, 0, 1); }, OLESTR("Unsupported VARIANT type 8204")},
        {"currency", Raw(VT_CY), OLESTR("Unsupported VARIANT type 6")},
        {"ints", Ints({1, -2, 3}), OLESTR("1,-2,3")},
        {"no ints", Ints({}), OLESTR("")},
        {"strings, quotes and commas kept", Strings({OLESTR("a"), OLESTR("b,c"), OLESTR("\"")}),
         OLESTR("\"a\",\"b,c\",\"\"\"")},
        {"one empty string", Strings({OLESTR("")}), OLESTR("\"\"")},
        {"no strings", Strings({}), OLESTR("")},
    };
    for (const auto& c : cases) {
        const CComVariant value = c.value();
        EXPECT_EQ(c.text, CZoVariant::ToString(value)) << c.what;
    }
}

TEST(ZoVariantToString, ObjectsShowTheirWholeAddressInLowerCaseHex)
{
    // An address beyond 32 bits where pointers have them, so that truncation would show.
    const auto address = static_cast<std::uintptr_t>(sizeof(void*) > 4 ? 0x1234ABCD5678EF00ull : 0xABCD5678u);
    VARIANT value;
    value.vt = VT_UNKNOWN;
    value.punkVal = reinterpret_cast<IUnknown*>(address);
    const OleString hex = ZoFormat(OLESTR("%I64x"), static_cast<ULONGLONG>(address));
    EXPECT_EQ(OLESTR("IUnknown object at 0x") + hex, CZoVariant::ToString(value));
    value.vt = VT_DISPATCH;
    EXPECT_EQ(OLESTR("IDispatch object at 0x") + hex, CZoVariant::ToString(value));
}

TEST(ZoVariantToString, DatesAreFormattedForTheUserLocale)
{
    // Time alone on day 0, date alone at midnight, both.
    for (double date : {0.5, 36526.0, 36526.75}) {
        CComBSTR expected;
        ASSERT_EQ(S_OK, VarBstrFromDate(date, 0x0400, 0, &expected)) << date;
        EXPECT_EQ(OleString(ViewOfBstr(expected)), CZoVariant::ToString(Date(date)())) << date;
    }
    EXPECT_EQ(OLESTR("Invalid DateTime"), CZoVariant::ToString(Date(1e10)()));
}

TEST(ZoVariantToString, AnUnreadableArrayFailsThroughToString)
{
    const CComVariant ints = ArrayVariant(VT_I4, 1, 2);
    const auto entries = RaisedEntries([&] { CZoVariant::ToString(ints); });
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(Decimal(DISP_E_BADINDEX), entries[0].code);
    EXPECT_EQ(WithoutTrailingSpace(RawSystemMessage(DISP_E_BADINDEX)), entries[0].description);
    EXPECT_EQ(OLESTR(".\\ZoVariant"), entries[0].file);
    EXPECT_EQ(OLESTR("CZoVariant::VariantToIntVector"), entries[0].function);
    EXPECT_EQ(OLESTR("CZoVariant::VariantToIntVector"), entries[1].function);
    EXPECT_EQ(Decimal(ZO_ERR_STACKTRACE), entries[1].code);
    EXPECT_EQ(OLESTR("CZoVariant::ToString"), entries[2].function);
}

struct IntCase {
    const char* what;
    Make value;
    LONGLONG result;
};

TEST(ZoVariantToInt, WidensEachIntegerType)
{
    const IntCase cases[] = {
        {"i1 sign-extended", Of<signed char>(-128), -128},
        {"i2 sign-extended", Of<short>(-2), -2},
        {"i4 sign-extended", Of<LONG>(std::numeric_limits<LONG>::min()), std::numeric_limits<LONG>::min()},
        {"int sign-extended", Typed(LONG(-3), VT_INT), -3},
        {"ui1 zero-extended", Of<BYTE>(0xFF), 0xFF},
        {"ui2 zero-extended", Of<USHORT>(0xFFFF), 0xFFFF},
        {"ui4 zero-extended", Of<ULONG>(0xFFFFFFFFu), 0xFFFFFFFFLL},
        {"uint zero-extended", Typed(ULONG(0x80000000u), VT_UINT), 0x80000000LL},
        {"i8 all 64 bits", Of<LONGLONG>(-9000000000LL), -9000000000LL},
        {"ui8 as its signed bits", Of<ULONGLONG>(0x8000000000000001ull), std::numeric_limits<LONGLONG>::min() + 1},
    };
    for (const auto& c : cases) {
        const CComVariant value = c.value();
        EXPECT_EQ(c.result, CZoVariant::ToInt(value)) << c.what;
    }
}

TEST(ZoVariantNumbers, OtherTypesAreInvalidParameters)
{
    struct Case {
        const char* what;
        std::function<void(const VARIANT&)> call;
        Make value;
    };
    const auto toInt = [](const VARIANT& v) { CZoVariant::ToInt(v); };
    const auto toFloat = [](const VARIANT& v) { CZoVariant::ToFloat(v); };
    const Case cases[] = {
        {"ToInt of r8", toInt, Of(1.0)},
        {"ToInt of bstr", toInt, Bstr(OLESTR("1"))},
        {"ToInt of bool", toInt, Bool(-1)},
        {"ToInt of byref i4", toInt, Raw(VT_BYREF | VT_I4)},
        {"ToFloat of i4", toFloat, Of<LONG>(1)},
        {"ToFloat of date", toFloat, Date(1.0)},
        {"ToFloat of byref r8", toFloat, Raw(VT_BYREF | VT_R8)},
    };
    for (const auto& c : cases) {
        const CComVariant value = c.value();
        const auto entries = RaisedEntries([&] { c.call(value); });
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(Decimal(ZO_ERR_INVALID_PARAMETER), entries[0].code) << c.what;
        EXPECT_EQ(OLESTR("Invalid function parameter."), entries[0].description) << c.what;
    }
}

TEST(ZoVariantToFloat, WidensSinglePrecision)
{
    EXPECT_EQ(static_cast<double>(0.1f), CZoVariant::ToFloat(CComVariant(0.1f)));
    EXPECT_EQ(-2.5e300, CZoVariant::ToFloat(CComVariant(-2.5e300)));
}

TEST(ZoVariantTests, MatchTable)
{
    IUnknown* const someObject = reinterpret_cast<IUnknown*>(static_cast<std::uintptr_t>(0x1000));
    struct Case {
        const char* what;
        VARTYPE vt;
        LONGLONG bits;
        bool integer, floating, missing, object;
    };
    const Case cases[] = {
        {"i4", VT_I4, 1, true, false, false, false},
        {"ui8", VT_UI8, 1, true, false, false, false},
        {"uint", VT_UINT, 1, true, false, false, false},
        {"byref i4", VT_BYREF | VT_I4, 0, false, false, false, false},
        {"r4", VT_R4, 0, false, true, false, false},
        {"byref r8", VT_BYREF | VT_R8, 0, false, false, false, false},
        {"bool", VT_BOOL, 0, false, false, false, false},
        {"omitted argument", VT_ERROR, DISP_E_PARAMNOTFOUND, false, false, true, false},
        {"other error", VT_ERROR, DISP_E_TYPEMISMATCH, false, false, false, false},
        {"error 0", VT_ERROR, 0, false, false, false, false},
        {"null dispatch", VT_DISPATCH, 0, false, false, false, false},
        {"dispatch", VT_DISPATCH, 1, false, false, false, true},
        {"unknown", VT_UNKNOWN, 1, false, false, false, true},
        {"byref unknown", VT_BYREF | VT_UNKNOWN, 1, false, false, false, false},
    };
    for (const auto& c : cases) {
        VARIANT v;
        v.vt = c.vt;
        v.llVal = 0;
        if (c.vt == VT_ERROR)
            v.scode = static_cast<SCODE>(c.bits);
        else if ((c.vt & VT_TYPEMASK) == VT_DISPATCH || (c.vt & VT_TYPEMASK) == VT_UNKNOWN)
            v.punkVal = c.bits ? someObject : nullptr;
        EXPECT_EQ(c.integer, CZoVariant::IsInteger(v)) << c.what;
        EXPECT_EQ(c.floating, CZoVariant::IsFloat(v)) << c.what;
        EXPECT_EQ(c.missing, CZoVariant::IsMissing(v)) << c.what;
        EXPECT_EQ(c.object, CZoVariant::IsObject(v)) << c.what;
    }
}

TEST(ZoVariantGetSafeArraySize, CountsDimensionOne)
{
    EXPECT_EQ(3, CZoVariant::GetSafeArraySize(ArrayVariant(VT_I4, -1, 3)));
    EXPECT_EQ(0, CZoVariant::GetSafeArraySize(ArrayVariant(VT_UI1, 0, 0)));
    EXPECT_EQ(2, CZoVariant::GetSafeArraySize(ArrayVariant(VT_VARIANT, 7, 2)));
}

TEST(ZoVariantGetSafeArraySize, RejectsWhatIsNotAOneDimensionalArray)
{
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
    CComVariant twoDimensions;
    twoDimensions.parray = SafeArrayCreate(VT_I4, 2, bounds);
    twoDimensions.vt = VT_ARRAY | VT_I4;
    const CComVariant vector = ArrayVariant(VT_I4, 0, 2);
    SAFEARRAY* array = vector.parray;

    struct Case {
        const char* what;
        VARIANT value;
    };
    VARIANT notArray, nullArray, byRef, both;
    notArray.vt = VT_I4;
    notArray.lVal = 1;
    nullArray.vt = VT_ARRAY | VT_I4;
    nullArray.parray = nullptr;
    // A by-reference array holds the address of the array pointer, not the array.
    byRef.vt = VT_BYREF | VT_ARRAY | VT_I4;
    byRef.pparray = &array;
    both = twoDimensions;
    const Case cases[] = {
        {"not an array", notArray},
        {"null array", nullArray},
        {"by reference", byRef},
        {"two dimensions", both},
    };
    for (const auto& c : cases) {
        const auto entries = RaisedEntries([&] { CZoVariant::GetSafeArraySize(c.value); });
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(Decimal(ZO_ERR_INVALID_VARIANT_TYPE), entries[0].code) << c.what;
        EXPECT_EQ(OLESTR("Invalid variant type"), entries[0].description) << c.what;
        EXPECT_EQ(OLESTR("CZoVariant::GetSafeArraySize"), entries[0].function) << c.what;
    }
}

TEST(ZoVariantVectors, RoundTripElementForElement)
{
    const CZoIntVector ints[] = {
        {}, {0}, {1, -2, 3}, {std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()}};
    for (const auto& values : ints) {
        const CComVariant v = CZoVariant::IntVectorToVariant(values);
        EXPECT_EQ(VT_ARRAY | VT_I4, v.vt);
        LONG lower = -1;
        ASSERT_EQ(S_OK, SafeArrayGetLBound(v.parray, 1, &lower));
        EXPECT_EQ(0, lower);
        EXPECT_EQ(values, CZoVariant::VariantToIntVector(v));
    }
    const CZoStringVector strings[] = {
        {},
        {OLESTR("")},
        {OLESTR("a"), OLESTR(""), OLESTR("b c"), OLESTR("")},
        {OleString(OLESTR("x\0y"), 3)},
    };
    for (const auto& values : strings) {
        const CComVariant v = CZoVariant::StringVectorToVariant(values);
        EXPECT_EQ(VT_ARRAY | VT_BSTR, v.vt);
        EXPECT_EQ(values, CZoVariant::VariantToStringVector(v));
    }
}

TEST(ZoVariantVectors, NullStringElementsReadAsEmpty)
{
    const CComVariant v = ArrayVariant(VT_BSTR, 0, 2);
    EXPECT_EQ((CZoStringVector{OLESTR(""), OLESTR("")}), CZoVariant::VariantToStringVector(v));
}

TEST(ZoVariantVectors, RejectWrongTypes)
{
    struct Case {
        const char* what;
        std::function<CComVariant()> value;
        bool wantInts;
        HRESULT code;
    };
    const Case cases[] = {
        {"ints from a string array", [] { return ArrayVariant(VT_BSTR, 0, 1); }, true, ZO_ERR_INVALID_VARIANT_TYPE},
        {"strings from an int array", [] { return ArrayVariant(VT_I4, 0, 1); }, false, ZO_ERR_INVALID_VARIANT_TYPE},
        {"ints from a scalar", [] { return CComVariant(LONG(1)); }, true, ZO_ERR_INVALID_VARIANT_TYPE},
        {"ints typed i4 holding strings", [] { return ArrayVariant(VT_BSTR, 0, 1, VT_ARRAY | VT_I4); }, true,
         ZO_ERR_INVALID_VARIANT_TYPE},
        {"strings typed bstr holding ui1", [] { return ArrayVariant(VT_UI1, 0, 1, VT_ARRAY | VT_BSTR); }, false,
         ZO_ERR_INVALID_VARIANT_TYPE},
        {"ints from a by-reference array", [] { return Raw(VT_BYREF | VT_ARRAY | VT_I4)(); }, true,
         ZO_ERR_INVALID_VARIANT_TYPE},
        {"ints, lower bound 1", [] { return ArrayVariant(VT_I4, 1, 1); }, true, DISP_E_BADINDEX},
        {"strings, lower bound 1", [] { return ArrayVariant(VT_BSTR, 1, 1); }, false, DISP_E_BADINDEX},
    };
    for (const auto& c : cases) {
        const CComVariant value = c.value();
        const auto entries = RaisedEntries([&] {
            if (c.wantInts)
                CZoVariant::VariantToIntVector(value);
            else
                CZoVariant::VariantToStringVector(value);
        });
        ASSERT_FALSE(entries.empty()) << c.what;
        EXPECT_EQ(Decimal(c.code), entries[0].code) << c.what;
    }
}

}  // namespace
