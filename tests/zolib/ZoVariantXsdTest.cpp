// XML Schema texts of CZoVariant: the written pairs, the values read back, the errors.
#include <cmath>
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
    const char16_t* type;
    const char16_t* text;
};

TEST(XsdWrite, MatchesTable)
{
    const WriteCase cases[] = {
        {"i2 negative", Typed(VT_I2, -7), u"integer", u"-7"},
        {"i8 beyond 32 bits", Typed(VT_I8, 5000000000LL), u"integer", u"5000000000"},
        {"ui4 max", Typed(VT_UI4, 4294967295LL), u"integer", u"4294967295"},
        {"ui8 above 2^63 is signed", Typed(VT_UI8, std::numeric_limits<LONGLONG>::min()), u"integer",
         u"-9223372036854775808"},
        {"r4 half", Real(VT_R4, 0.5), u"decimal", u"0.500000000000000"},
        {"r8 tiny", Real(VT_R8, 1e-20), u"decimal", u"0.000000000000000"},
        {"r8 negative", Real(VT_R8, -2.25), u"decimal", u"-2.250000000000000"},
        {"r8 infinity", Real(VT_R8, -std::numeric_limits<double>::infinity()), u"decimal", u"-INF"},
        {"string with BEL and TAB", Text(u"a\x07" u"b\tc\r\n"), u"string", u"a_b\tc\r\n"},
        {"string up to its NUL", Text(OleStringView(u"ab\0cd", 5)), u"string", u"ab"},
        {"string with unpaired surrogate", Text(u"x\xD800y\xFFFF"), u"string", u"x_y_"},
        {"bool 1", CComVariant(true), u"boolean", u"true"},
        {"bool 0", CComVariant(false), u"boolean", u"false"},
        {"bytes", Bytes({0x00, 0xFF, 0x10}), u"base64binary", u"AP8Q"},
        {"no bytes", Bytes({}), u"base64binary", u""},
        {"strings", CZoVariant::StringVectorToVariant({u"a", u"", u"b\x01"}), u"stringlist", u"a,,b_"},
        {"integers", CZoVariant::IntVectorToVariant({1, -2}), u"integerlist", u"1,-2"},
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
    EXPECT_EQ(written.text.find_first_of(u"\r\n "), OleString::npos);
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
        OleString type = u"before";
        const auto entries = RaisedEntries([&] { CZoVariant::ToXSDString(value, type); });
        ASSERT_FALSE(entries.empty()) << what;
        EXPECT_EQ(entries.front().code, u"2017") << what;
        ASSERT_EQ(entries.front().details.size(), 1u) << what;
        EXPECT_EQ(entries.front().details[0].first, u"VarType") << what;
        EXPECT_EQ(entries.front().details[0].second, Decimal(value.vt)) << what;
        EXPECT_EQ(type, u"before") << what;
    }
}

TEST(XsdWrite, CommaInStringListFailsAfterNamingTheType)
{
    OleString type;
    const auto entries =
        RaisedEntries([&] { CZoVariant::ToXSDString(CZoVariant::StringVectorToVariant({u"x,y"}), type); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, u"2021");
    EXPECT_EQ(entries.front().description, u"Invalid character found in string array value, \",\" is not allowed.");
    EXPECT_EQ(type, u"stringlist");
}

TEST(XsdWrite, NullByteArrayFailsWith1015)
{
    CComVariant v;
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = nullptr;
    OleString type;
    const auto entries = RaisedEntries([&] { CZoVariant::ToXSDString(v, type); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, u"1015");
}

struct IntegerCase {
    const char16_t* text;
    VARTYPE vt;
    LONGLONG value;
};

TEST(XsdRead, IntegersAtThe32And64BitEdges)
{
    const IntegerCase cases[] = {
        {u"2147483647", VT_I4, 2147483647LL},
        {u"2147483648", VT_I8, 2147483648LL},
        {u"-2147483648", VT_I4, -2147483648LL},
        {u"-2147483649", VT_I8, -2147483649LL},
        {u"9223372036854775807", VT_I8, std::numeric_limits<LONGLONG>::max()},
        {u"99999999999999999999", VT_I8, std::numeric_limits<LONGLONG>::max()},
        {u"-99999999999999999999", VT_I8, std::numeric_limits<LONGLONG>::min()},
        {u" \t+42xyz", VT_I4, 42},
        {u"abc", VT_I4, 0},
        {u"", VT_I4, 0},
        {u"- 5", VT_I4, 0},
        {u"0x10", VT_I4, 0},
    };
    for (const auto& c : cases) {
        const CComVariant v = CZoVariant::FromXSDString(c.text, u"integer");
        ASSERT_EQ(v.vt, c.vt) << ZoOleToAnsi(c.text);
        EXPECT_EQ(CZoVariant::ToInt(v), c.value) << ZoOleToAnsi(c.text);
    }
}

TEST(XsdRead, DecimalsAsTheCReaderTakesThem)
{
    const std::pair<const char16_t*, double> cases[] = {
        {u"0.500000000000000", 0.5},   {u"  -1.25e2x", -125.0},  {u".5", 0.5},
        {u"abc", 0.0},                 {u"", 0.0},               {u"1e400", std::numeric_limits<double>::infinity()},
        {u"1e-400", 0.0},              {u"0x1p3", 8.0},          {u"INF", std::numeric_limits<double>::infinity()},
        {u"+-1", 0.0},                 {u"1,5", 1.0},
    };
    for (const auto& [text, expected] : cases) {
        const CComVariant v = CZoVariant::FromXSDString(text, u"decimal");
        ASSERT_EQ(v.vt, VT_R8);
        EXPECT_EQ(v.dblVal, expected) << ZoOleToAnsi(text);
    }
    EXPECT_TRUE(std::isnan(CZoVariant::FromXSDString(u"NaN", u"decimal").dblVal));
}

TEST(XsdRead, BooleansTrueOnlyForTrueOrOne)
{
    const std::pair<const char16_t*, bool> cases[] = {{u"true", true},  {u"TRUE", true},   {u"1", true},
                                                      {u"True ", false}, {u"false", false}, {u"0", false},
                                                      {u"yes", false},   {u"", false},      {u"10", false}};
    for (const auto& [text, expected] : cases) {
        const CComVariant v = CZoVariant::FromXSDString(text, u"boolean");
        ASSERT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal, expected ? VARIANT_TRUE : VARIANT_FALSE) << ZoOleToAnsi(text);
    }
}

TEST(XsdRead, TypeNamesIgnoreAsciiCase)
{
    EXPECT_EQ(CZoVariant::FromXSDString(u"3", u"Integer").vt, VT_I4);
    EXPECT_EQ(CZoVariant::FromXSDString(u"2001-02-03T04:05:06Z", u"DATETIME").vt, VT_DATE);
    EXPECT_EQ(CZoVariant::FromXSDString(u"AP8Q", u"base64Binary").vt, VT_ARRAY | VT_UI1);
    EXPECT_EQ(CZoVariant::FromXSDString(u"a", u"STRINGLIST").vt, VT_ARRAY | VT_BSTR);
}

TEST(XsdRead, UnknownTypeFailsWithItsName)
{
    const auto entries = RaisedEntries([] { CZoVariant::FromXSDString(u"1", u"float"); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, u"2018");
    EXPECT_EQ(entries.front().description, u"Unsupported XSD type for VARIANT conversion.");
    ASSERT_EQ(entries.front().details.size(), 1u);
    EXPECT_EQ(entries.front().details[0].first, u"XSDType");
    EXPECT_EQ(entries.front().details[0].second, u"float");
    EXPECT_EQ(entries.back().function, u"CZoVariant::FromXSDString");
}

TEST(XsdRead, Base64SkipsLineBreaksAndBlanks)
{
    EXPECT_EQ(BytesOf(CZoVariant::FromXSDString(u"AP8Q", u"base64binary")), (std::vector<BYTE>{0x00, 0xFF, 0x10}));
    const std::vector<BYTE> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(BytesOf(CZoVariant::FromXSDString(u"AQID\r\nBAUG \tBwgJ\r\n", u"base64binary")), bytes);
    EXPECT_TRUE(BytesOf(CZoVariant::FromXSDString(u"", u"base64binary")).empty());
    EXPECT_TRUE(BytesOf(CZoVariant::FromXSDString(u"!!\x00e9", u"base64binary")).empty());
}

TEST(XsdRead, ListsDropEmptyPieces)
{
    EXPECT_EQ(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(u"a,,b", u"stringlist")),
              (CZoStringVector{u"a", u"b"}));
    EXPECT_TRUE(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(u"", u"stringlist")).empty());
    EXPECT_EQ(CZoVariant::VariantToStringVector(CZoVariant::FromXSDString(u" a , b", u"stringlist")),
              (CZoStringVector{u" a ", u" b"}));
    EXPECT_EQ(CZoVariant::VariantToIntVector(CZoVariant::FromXSDString(u" 3 ,4", u"integerlist")),
              (CZoIntVector{3, 4}));
    // List pieces saturate at 32 bits: no 64-bit reading.
    EXPECT_EQ(CZoVariant::VariantToIntVector(CZoVariant::FromXSDString(u"5000000000,-5000000000", u"integerlist")),
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
        Text(u" blanks at the ends \r\n"),
        CComVariant(true),
        Bytes({0, 1, 2, 250, 251, 252, 253, 254, 255}),
        CZoVariant::StringVectorToVariant({u"x", u"y z"}),
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
    date.date = CZoVariant::FromXSDString(u"2024-02-29T23:59:58Z", u"dateTime").date;
    EXPECT_EQ(Write(date).text, u"2024-02-29T23:59:58Z");
    EXPECT_EQ(Write(date).type, u"dateTime");
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
    EXPECT_EQ(CZoXmlText::ReplaceInvalidCharacters(u"\x01\x1F\t\n\r \xFFFE\xFFFD"), u"__\t\n\r _\xFFFD");
    // A surrogate pair is one character XML carries; a lone low half is not.
    EXPECT_EQ(CZoXmlText::ReplaceInvalidCharacters(u"\xD83D\xDE00\xDE00"), u"\xD83D\xDE00_");
}

}  // namespace
