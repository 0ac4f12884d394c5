// XML Schema texts of CZoVariant: the written pairs, the values read back, the errors.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "ComBSTR.h"
#include "ComVariant.h"
#include "ZoFormat.h"
#include "ZoTestSupport.h"
#include "ZoVariant.h"
#include "ZoXmlText.h"

namespace {

CComVariant Typed(VARTYPE vt, LONGLONG value)
{
    CComVariant v;
    v.vt = vt;
    v.llVal = 0;
    switch (vt) {
    case VT_I2: v.iVal = static_cast<SHORT>(value); break;
    case VT_I4: v.lVal = static_cast<LONG>(value); break;
    case VT_UI4: v.ulVal = static_cast<ULONG>(value); break;
    default: v.llVal = value; break;
    }
    return v;
}

CComVariant Real(VARTYPE vt, double value)
{
    CComVariant v;
    v.vt = vt;
    if (vt == VT_R4)
        v.fltVal = static_cast<float>(value);
    else
        v.dblVal = value;
    return v;
}

CComVariant Text(OleStringView text)
{
    return CComVariant(CComBSTR(text));
}

CComVariant Bytes(const std::vector<BYTE>& bytes)
{
    CComVariant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    SafeArrayAccessData(v.parray, &data);
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(v.parray);
    return v;
}

std::vector<BYTE> BytesOf(const VARIANT& v)
{
    const LONG count = CZoVariant::GetSafeArraySize(v);
    std::vector<BYTE> bytes(static_cast<size_t>(count));
    void* data = nullptr;
    SafeArrayAccessData(v.parray, &data);
    if (count > 0)
        std::memcpy(bytes.data(), data, bytes.size());
    SafeArrayUnaccessData(v.parray);
    return bytes;
}

struct Written {
    OleString type;
    OleString text;
};

Written Write(const VARIANT& value)
{
    Written written;
    written.text = CZoVariant::ToXSDString(value, written.type);
    return written;
}

struct WriteCase {
    const char* what;
    CComVariant value;
    const OLECHAR* type;
    const OLECHAR* text;
};

TEST(XsdWrite, MatchesTable)
{
    const WriteCase cases[] = {
        {"i2 negative", Typed(VT_I2, -7), OLESTR("integer"), OLESTR("-7")},
        {"i8 beyond 32 bits", Typed(VT_I8, 5000000000LL), OLESTR("integer"), OLESTR("5000000000")},
        {"ui4 max", Typed(VT_UI4, 4294967295LL), OLESTR("integer"), OLESTR("4294967295")},
        {"ui8 2^63 is unsigned", Typed(VT_UI8, std::numeric_limits<LONGLONG>::min()), OLESTR("integer"),
         OLESTR("9223372036854775808")},
        {"ui8 max", Typed(VT_UI8, -1), OLESTR("integer"), OLESTR("18446744073709551615")},
        {"r4 half", Real(VT_R4, 0.5), OLESTR("decimal"), OLESTR("0.500000000000000")},
        {"r8 tiny", Real(VT_R8, 1e-20), OLESTR("decimal"), OLESTR("0.000000000000000")},
        {"r8 negative", Real(VT_R8, -2.25), OLESTR("decimal"), OLESTR("-2.250000000000000")},
        {"r8 infinity", Real(VT_R8, -std::numeric_limits<double>::infinity()), OLESTR("decimal"), OLESTR("-INF")},
        {"string with BEL and TAB", Text(OLESTR("a\x07") OLESTR("b\tc\r\n")), OLESTR("string"), OLESTR("a_b\tc\r\n")},
        {"string up to its NUL", Text(OleStringView(OLESTR("ab\0cd"), 5)), OLESTR("string"), OLESTR("ab")},
        {"string with unpaired surrogate", Text(OLESTR("x\xD800y\xFFFF")), OLESTR("string"), OLESTR("x_y_")},
        {"bool 1", CComVariant(true), OLESTR("boolean"), OLESTR("true")},
        {"bool 0", CComVariant(false), OLESTR("boolean"), OLESTR("false")},
        {"bytes", Bytes({0x00, 0xFF, 0x10}), OLESTR("base64binary"), OLESTR("AP8Q")},
        {"no bytes", Bytes({}), OLESTR("base64binary"), OLESTR("")},
        {"strings", CZoVariant::StringVectorToVariant({OLESTR("a"), OLESTR(""), OLESTR("b\x01")}), OLESTR("stringlist"), OLESTR("a,,b_")},
        {"integers", CZoVariant::IntVectorToVariant({1, -2}), OLESTR("integerlist"), OLESTR("1,-2")},
    };
    for (const auto& c : cases) {
        const Written written = Write(c.value);
        EXPECT_EQ(written.type, c.type) << c.what;
        EXPECT_EQ(written.text, c.text) << c.what;
    }
}

TEST(XsdWrite, LongBase64HasNoLineBreaks)
{
    const Written written = Write(Bytes(std::vector<BYTE>(300, 0xAB)));
    EXPECT_EQ(written.text.size(), 400u);
    EXPECT_EQ(written.text.find_first_of(OLESTR("\r\n ")), OleString::npos);
}

TEST(XsdWrite, UnsupportedTypeFailsWithItsNumber)
{
    CComVariant byRef;
    LONG target = 1;
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &target;
    CComVariant null;
    null.vt = VT_NULL;
    CComVariant currency;
    currency.vt = VT_CY;
    const std::pair<const char*, CComVariant> cases[] = {
        {"null", null}, {"empty", CComVariant()}, {"currency", currency}, {"by reference", byRef}};
    for (const auto& [what, value] : cases) {
        OleString type = OLESTR("before");
        const auto entries = RaisedEntries([&] { CZoVariant::ToXSDString(value, type); });
        ASSERT_FALSE(entries.empty()) << what;
        EXPECT_EQ(entries.front().code, OLESTR("2017")) << what;
        ASSERT_EQ(entries.front().details.size(), 1u) << what;
        EXPECT_EQ(entries.front().details[0].first, OLESTR("VarType")) << what;
        EXPECT_EQ(entries.front().details[0].second, Decimal(value.vt)) << what;
        EXPECT_EQ(type, OLESTR("before")) << what;
    }
}

TEST(XsdWrite, CommaInStringListFailsAfterNamingTheType)
{
    OleString type;
    const auto entries =
        RaisedEntries([&] { CZoVariant::ToXSDString(CZoVariant::StringVectorToVariant({OLESTR("x,y")}), type); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, OLESTR("2021"));
    EXPECT_EQ(entries.front().description, OLESTR("Invalid character found in string array value, \",\" is not allowed."));
    EXPECT_EQ(type, OLESTR("stringlist"));
}

TEST(XsdWrite, NullByteArrayFailsWith1015)
{
    CComVariant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = nullptr;
    OleString type;
    const auto entries = RaisedEntries([&] { CZoVariant::ToXSDString(v, type); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, OLESTR("1015"));
}

struct IntegerCase {
    const OLECHAR* text;
    VARTYPE vt;
    const OLECHAR* value;   // the decimal text of the value read
};

TEST(XsdRead, IntegersAtThe32And64BitEdges)
{
    const IntegerCase cases[] = {
        {OLESTR("2147483647"), VT_I4, OLESTR("2147483647")},
        {OLESTR("2147483648"), VT_I8, OLESTR("2147483648")},
        {OLESTR("-2147483648"), VT_I4, OLESTR("-2147483648")},
        {OLESTR("-2147483649"), VT_I8, OLESTR("-2147483649")},
        {OLESTR("9223372036854775807"), VT_I8, OLESTR("9223372036854775807")},
        {OLESTR("-9223372036854775808"), VT_I8, OLESTR("-9223372036854775808")},
        {OLESTR("9223372036854775808"), VT_UI8, OLESTR("9223372036854775808")},
        {OLESTR("18446744073709551615"), VT_UI8, OLESTR("18446744073709551615")},
        {OLESTR("99999999999999999999"), VT_UI8, OLESTR("18446744073709551615")},
        {OLESTR("-99999999999999999999"), VT_I8, OLESTR("-9223372036854775808")},
        {OLESTR(" \t+42xyz"), VT_I4, OLESTR("42")},
        {OLESTR("abc"), VT_I4, OLESTR("0")},
        {OLESTR(""), VT_I4, OLESTR("0")},
        {OLESTR("- 5"), VT_I4, OLESTR("0")},
        {OLESTR("0x10"), VT_I4, OLESTR("0")},
    };
    for (const auto& c : cases) {
        const CComVariant v = CZoVariant::FromXSDString(c.text, OLESTR("integer"));
        ASSERT_EQ(v.vt, c.vt) << ZoOleToAnsi(c.text);
        EXPECT_EQ(CZoVariant::IntegerText(v), c.value) << ZoOleToAnsi(c.text);
    }
}

// Every 64-bit value written as "integer" reads back as the same number.
TEST(XsdRead, SixtyFourBitIntegersSurviveTheirText)
{
    const CComVariant values[] = {Typed(VT_I8, std::numeric_limits<LONGLONG>::min()),
                                  Typed(VT_I8, std::numeric_limits<LONGLONG>::max()),
                                  Typed(VT_UI8, std::numeric_limits<LONGLONG>::min()), Typed(VT_UI8, -1)};
    for (const CComVariant& value : values) {
        const Written written = Write(value);
        const CComVariant back = CZoVariant::FromXSDString(written.text, written.type);
        ASSERT_EQ(back.vt, value.vt) << ZoOleToAnsi(written.text);
        EXPECT_EQ(back.ullVal, value.ullVal) << ZoOleToAnsi(written.text);
    }
}

TEST(XsdRead, DecimalsAsTheCReaderTakesThem)
{
    const std::pair<const OLECHAR*, double> cases[] = {
        {OLESTR("0.500000000000000"), 0.5},   {OLESTR("  -1.25e2x"), -125.0},  {OLESTR(".5"), 0.5},
        {OLESTR("abc"), 0.0},                 {OLESTR(""), 0.0},               {OLESTR("1e400"), std::numeric_limits<double>::infinity()},
        {OLESTR("1e-400"), 0.0},              {OLESTR("0x1p3"), 8.0},          {OLESTR("INF"), std::numeric_limits<double>::infinity()},
        {OLESTR("+-1"), 0.0},                 {OLESTR("1,5"), 1.0},
    };
    for (const auto& [text, expected] : cases) {
        const CComVariant v = CZoVariant::FromXSDString(text, OLESTR("decimal"));
        ASSERT_EQ(v.vt, VT_R8);
        EXPECT_EQ(v.dblVal, expected) << ZoOleToAnsi(text);
    }
    EXPECT_TRUE(std::isnan(CZoVariant::FromXSDString(OLESTR("NaN"), OLESTR("decimal")).dblVal));
}

TEST(XsdRead, BooleansTrueOnlyForTrueOrOne)
{
    const std::pair<const OLECHAR*, bool> cases[] = {{OLESTR("true"), true},  {OLESTR("TRUE"), true},   {OLESTR("1"), true},
                                                      {OLESTR("True "), false}, {OLESTR("false"), false}, {OLESTR("0"), false},
                                                      {OLESTR("yes"), false},   {OLESTR(""), false},      {OLESTR("10"), false}};
    for (const auto& [text, expected] : cases) {
        const CComVariant v = CZoVariant::FromXSDString(text, OLESTR("boolean"));
        ASSERT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal, expected ? VARIANT_TRUE : VARIANT_FALSE) << ZoOleToAnsi(text);
    }
}

TEST(XsdRead, TypeNamesIgnoreAsciiCase)
{
    EXPECT_EQ(CZoVariant::FromXSDString(OLESTR("3"), OLESTR("Integer")).vt, VT_I4);
    EXPECT_EQ(CZoVariant::FromXSDString(OLESTR("2001-02-03T04:05:06Z"), OLESTR("DATETIME")).vt, VT_DATE);
    EXPECT_EQ(CZoVariant::FromXSDString(OLESTR("AP8Q"), OLESTR("base64Binary")).vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(CZoVariant::FromXSDString(OLESTR("a"), OLESTR("STRINGLIST")).vt, VT_ARRAY | VT_BSTR);
}

TEST(XsdRead, UnknownTypeFailsWithItsName)
{
    const auto entries = RaisedEntries([] { CZoVariant::FromXSDString(OLESTR("1"), OLESTR("float")); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, OLESTR("2018"));
    EXPECT_EQ(entries.front().description, OLESTR("Unsupported XSD type for VARIANT conversion."));
    ASSERT_EQ(entries.front().details.size(), 1u);
    EXPECT_EQ(entries.front().details[0].first, OLESTR("XSDType"));
    EXPECT_EQ(entries.front().details[0].second, OLESTR("float"));
    EXPECT_EQ(entries.back().function, OLESTR("CZoVariant::FromXSDString"));
}

TEST(XsdRead, Base64SkipsLineBreaksAndBlanks)
{
    EXPECT_EQ(BytesOf(CZoVariant::FromXSDString(OLESTR("AP8Q"), OLESTR("base64binary"))), (std::vector<BYTE>{0x00, 0xFF, 0x10}));
    const std::vector<BYTE> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(BytesOf(CZoVariant::FromXSDString(OLESTR("AQID\r\nBAUG \tBwgJ\r\n"), OLESTR("base64binary"))), bytes);
    EXPECT_TRUE(BytesOf(CZoVariant::FromXSDString(OLESTR(""), OLESTR("base64binary"))).empty());
    EXPECT_TRUE(BytesOf(CZoVariant::FromXSDString(OLESTR("!!\x00e9"), OLESTR("base64binary"))).empty());
}

TEST(XsdRead, ListsDropEmptyPieces)
{
    EXPECT_EQ(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(OLESTR("a,,b"), OLESTR("stringlist"))),
              (CZoStringVector{OLESTR("a"), OLESTR("b")}));
    EXPECT_TRUE(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(OLESTR(""), OLESTR("stringlist"))).empty());
    EXPECT_EQ(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(OLESTR(" a , b"), OLESTR("stringlist"))),
              (CZoStringVector{OLESTR(" a "), OLESTR(" b")}));
    EXPECT_EQ(CZoVariant::VariantToIntVector(CZoVariant::FromXSDString(OLESTR(" 3 ,4"), OLESTR("integerlist"))),
              (CZoIntVector{3, 4}));
    // List pieces saturate at 32 bits: no 64-bit reading.
    EXPECT_EQ(CZoVariant::VariantToIntVector(CZoVariant::FromXSDString(OLESTR("5000000000,-5000000000"), OLESTR("integerlist"))),
              (CZoIntVector{2147483647, -2147483647 - 1}));
}

// What ToXSDString writes, FromXSDString reads back as the variant the table names.
TEST(XsdRoundTrip, EveryTypeComesBack)
{
    const CComVariant values[] = {
        Typed(VT_I4, 2147483647),
        Typed(VT_I4, -2147483647 - 1),
        Typed(VT_I8, std::numeric_limits<LONGLONG>::max()),
        Typed(VT_I8, std::numeric_limits<LONGLONG>::min()),
        Real(VT_R8, 1234.5),
        Text(OLESTR(" blanks at the ends \r\n")),
        CComVariant(true),
        Bytes({0, 1, 2, 250, 251, 252, 253, 254, 255}),
        CZoVariant::StringVectorToVariant({OLESTR("x"), OLESTR("y z")}),
        CZoVariant::IntVectorToVariant({0, -1, 2147483647, -2147483647 - 1}),
    };
    for (const CComVariant& value : values) {
        const Written written = Write(value);
        const CComVariant back = CZoVariant::FromXSDString(written.text, written.type);
        EXPECT_EQ(back.vt, value.vt) << static_cast<int>(value.vt);
        EXPECT_EQ(CZoVariant::ToString(back), CZoVariant::ToString(value)) << static_cast<int>(value.vt);
    }
    // A date: the W3C form has no milliseconds.
    CComVariant date;
    date.vt = VT_DATE;
    date.date = CZoVariant::FromXSDString(OLESTR("2024-02-29T23:59:58Z"), OLESTR("dateTime")).date;
    EXPECT_EQ(Write(date).text, OLESTR("2024-02-29T23:59:58Z"));
    EXPECT_EQ(Write(date).type, OLESTR("dateTime"));
}

TEST(XsdRoundTrip, LargeByteArrayComesBackWhole)
{
    std::vector<BYTE> bytes(3 * 1024 * 1024 + 1);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<BYTE>(i * 7 + i / 251);
    const Written written = Write(Bytes(bytes));
    EXPECT_EQ(BytesOf(CZoVariant::FromXSDString(written.text, written.type)), bytes);
}

TEST(XmlText, ReplacesWhatXmlCannotCarry)
{
    EXPECT_EQ(CZoXmlText::ReplaceInvalidCharacters(OLESTR("\x01\x1F\t\n\r \xFFFE\xFFFD")), OLESTR("__\t\n\r _\xFFFD"));
    // A surrogate pair is one character XML carries; a lone low half is not.
    EXPECT_EQ(CZoXmlText::ReplaceInvalidCharacters(OLESTR("\xD83D\xDE00\xDE00")), OLESTR("\xD83D\xDE00_"));
}

}  // namespace
