// Tokens, integer text, line ends and code-page bytes of CZoStringHelper.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "ZoBufMalloc.h"
#include "ZoBufSafeArray.h"
#include "ZoString.h"
#include "ZoTestSupport.h"

namespace {

using Tokens = std::vector<OleString>;

TEST(ZoStringTokenize, MatchesTable)
{
    struct Case {
        const char* what;
        OleString text;
        const OLECHAR* separators;
        Tokens tokens;
    };
    const Case cases[] = {
        {"empty text, null separators", OLESTR(""), nullptr, {}},
        {"empty text, empty separators", OLESTR(""), OLESTR(""), {}},
        {"separators around and between", OLESTR(",a,,b,"), OLESTR(","), {OLESTR("a"), OLESTR("b")}},
        {"a lone separator", OLESTR(","), OLESTR(","), {}},
        {"blanks kept", OLESTR(" a , b "), OLESTR(","), {OLESTR(" a "), OLESTR(" b ")}},
        {"each character separates", OLESTR("1;2 3;;4"), OLESTR("; "),
         {OLESTR("1"), OLESTR("2"), OLESTR("3"), OLESTR("4")}},
        {"no separator in text", OLESTR("abc"), OLESTR(","), {OLESTR("abc")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.tokens, CZoStringHelper::TokenizeString(c.text, c.separators)) << c.what;
}

TEST(ZoStringTokenize, TextWithoutSeparatorsIsAnInvalidParameter)
{
    for (const OLECHAR* separators : {static_cast<const OLECHAR*>(nullptr), OLESTR("")}) {
        const auto entries = RaisedEntries([&] { CZoStringHelper::TokenizeString(OLESTR("a"), separators); });
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(Decimal(ZO_ERR_INVALID_PARAMETER), entries[0].code);
        EXPECT_EQ(OLESTR("Invalid function parameter."), entries[0].description);
        EXPECT_EQ(OLESTR(".\\ZoString"), entries[0].file);
        EXPECT_EQ(OLESTR("CZoStringHelper::TokenizeString"), entries[0].function);
    }
}

TEST(ZoStringUnTokenize, MatchesTable)
{
    struct Case {
        const char* what;
        Tokens tokens;
        const OLECHAR* separator;
        OleString text;
    };
    const Case cases[] = {
        {"none", {}, OLESTR(","), OLESTR("")},
        {"one element, no separator", {OLESTR("a")}, OLESTR(","), OLESTR("a")},
        {"between elements only", {OLESTR("a"), OLESTR(""), OLESTR("b")}, OLESTR(", "), OLESTR("a, , b")},
        {"null separator", {OLESTR("a"), OLESTR("b")}, nullptr, OLESTR("ab")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, CZoStringHelper::UnTokenizeString(c.tokens, c.separator)) << c.what;
}

TEST(ZoStringIntToString, WritesDecimal)
{
    EXPECT_EQ(OLESTR("0"), CZoStringHelper::IntToString(0));
    EXPECT_EQ(OLESTR("-2147483648"), CZoStringHelper::IntToString(-2147483647 - 1));
    EXPECT_EQ(OLESTR("2147483647"), CZoStringHelper::IntToString(2147483647));
}

TEST(ZoStringConvertNewlines, EachLineEndOnce)
{
    struct Case {
        const char* what;
        OleString text;
        OleString lineEnd;
        OleString result;
    };
    const Case cases[] = {
        {"CR LF, CR, LF to CR LF", OLESTR("a\r\nb\rc\nd"), OLESTR("\r\n"), OLESTR("a\r\nb\r\nc\r\nd")},
        {"to LF", OLESTR("a\r\n\r\nb\r"), OLESTR("\n"), OLESTR("a\n\nb\n")},
        {"LF CR is two line ends", OLESTR("a\n\rb"), OLESTR("|"), OLESTR("a||b")},
        {"removed", OLESTR("\r\na\nb\r"), OLESTR(""), OLESTR("ab")},
        {"no line ends", OLESTR("abc"), OLESTR("\r\n"), OLESTR("abc")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, CZoStringHelper::ConvertNewlinesTo(c.text, c.lineEnd)) << c.what;
}

std::string BytesOf(CZoBuf& buffer)
{
    CZoLockHolder holder(&buffer);
    const auto size = static_cast<size_t>(buffer.GetSize());
    return size ? std::string(reinterpret_cast<const char*>(buffer.GetBuf()), size) : std::string();
}

TEST(ZoStringToMultiByte, FillsEitherBufferWithExactlyTheBytes)
{
    struct Case {
        const char* what;
        OleString text;
        UINT codePage;
        std::string bytes;
    };
    const Case cases[] = {
        {"ascii, ANSI code page", OLESTR("abc"), CP_ACP, "abc"},
        {"utf-8", OLESTR("\u00e9\u20ac"), CP_UTF8, "\xc3\xa9\xe2\x82\xac"},
        {"embedded NUL kept", OleString(OLESTR("a\0b"), 3), CP_UTF8, std::string("a\0b", 3)},
        {"empty", OLESTR(""), CP_ACP, ""},
    };
    for (const auto& c : cases) {
        CZoBufMalloc heap(7);
        CZoStringHelper::StringToMultiByte(c.text, heap, c.codePage);
        EXPECT_EQ(c.bytes, BytesOf(heap)) << c.what;
        CZoBufSafeArray array;
        CZoStringHelper::StringToMultiByte(c.text, array, c.codePage);
        EXPECT_EQ(c.bytes, BytesOf(array)) << c.what;
    }
}

TEST(ZoStringToMultiByte, AFailedConversionIsNotAnEmptyText)
{
    CZoBufMalloc buffer;
    buffer.Copy("xyz", 3);
    const auto entries = RaisedEntries([&] { CZoStringHelper::StringToMultiByte(OLESTR("abc"), buffer, 59999); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(ZoHResultFromSystemError(ERROR_INVALID_PARAMETER)), entries[0].code);
    EXPECT_EQ(ZoSystemMessageText(ERROR_INVALID_PARAMETER), entries[0].description);
    EXPECT_EQ(OLESTR("CZoStringHelper::StringToMultiByte"), entries[0].function);
}

}  // namespace

namespace {

struct CaseFoldingCase {
    const char* what;
    const OLECHAR* left;
    const OLECHAR* right;
    bool equal;
};

const CaseFoldingCase kCaseFoldingCases[] = {
    {"mixed case", OLESTR("dateTime"), OLESTR("DATETIME"), true},
    {"digits stay", OLESTR("base64Binary"), OLESTR("base64binary"), true},
    {"empty texts", OLESTR(""), OLESTR(""), true},
    {"different lengths", OLESTR("string"), OLESTR("strings"), false},
    {"the neighbours of the letters stay apart", OLESTR("[@]"), OLESTR("{`}"), false},
    {"letters beyond ASCII do not fold", OLESTR("\u00C9t\u00E9"), OLESTR("\u00E9T\u00C9"), false},
};

}  // namespace

TEST(ZoStringEqualIgnoringAsciiCase, OnlyTheLettersAToZFold)
{
    for (const auto& c : kCaseFoldingCases)
        EXPECT_EQ(c.equal, CZoStringHelper::EqualIgnoringAsciiCase(c.left, c.right)) << c.what;
}
