// CZoVariant's XML Schema conversions, apart from the rest of the class because only they
// need Crypto++.
#include "ZoVariant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include <cryptopp/base64.h>

#include "ZoBufMalloc.h"
#include "ZoBufSafeArray.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoString.h"
#include "ZoTime.h"
#include "ZoXmlText.h"

ZO_SOURCE_FILE(".\\ZoVariant")

namespace {

constexpr VARTYPE kByteArrayType = VT_ARRAY | VT_UI1;
constexpr VARTYPE kIntArrayType = VT_ARRAY | VT_I4;
constexpr VARTYPE kStringArrayType = VT_ARRAY | VT_BSTR;

constexpr OLECHAR kListSeparator[] = OLESTR(",");

// The blanks the C library's number readers skip.
bool IsCBlank(OLECHAR c) noexcept
{
    return c == OLESTR(' ') || (c >= OLESTR('\t') && c <= OLESTR('\r'));
}

size_t SkipBlanks(OleStringView text) noexcept
{
    size_t i = 0;
    while (i < text.size() && IsCBlank(text[i]))
        ++i;
    return i;
}

bool IsDigit(OLECHAR c) noexcept
{
    return c >= OLESTR('0') && c <= OLESTR('9');
}

// Decimal text as the C library's text-to-integer readers take it: blanks, a sign, digits up
// to the first non-digit; none gives 0. Done here rather than by strtol, whose range follows
// the width of long.
struct DecimalNumber {
    bool negative = false;
    ULONGLONG magnitude = 0;   // saturated at the largest 64-bit unsigned number
};

DecimalNumber ReadDecimal(OleStringView text) noexcept
{
    DecimalNumber number;
    size_t i = SkipBlanks(text);
    if (i < text.size() && (text[i] == OLESTR('+') || text[i] == OLESTR('-'))) {
        number.negative = text[i] == OLESTR('-');
        ++i;
    }
    constexpr ULONGLONG kLimit = std::numeric_limits<ULONGLONG>::max();
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const auto digit = static_cast<ULONGLONG>(text[i] - OLESTR('0'));
        number.magnitude = number.magnitude > (kLimit - digit) / 10 ? kLimit : number.magnitude * 10 + digit;
    }
    return number;
}

// The number within [minimum, maximum], saturating at the limit on its side.
LONGLONG Saturated(const DecimalNumber& number, LONGLONG minimum, LONGLONG maximum, bool& saturated) noexcept
{
    const ULONGLONG limit =
        number.negative ? static_cast<ULONGLONG>(-(minimum + 1)) + 1 : static_cast<ULONGLONG>(maximum);
    saturated = number.magnitude > limit;
    if (saturated)
        return number.negative ? minimum : maximum;
    return number.negative ? static_cast<LONGLONG>(0 - number.magnitude) : static_cast<LONGLONG>(number.magnitude);
}

LONG ReadInteger32(OleStringView text) noexcept
{
    bool saturated = false;
    return static_cast<LONG>(
        Saturated(ReadDecimal(text), std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(), saturated));
}

// VT_I4 where the number fits 32 bits, else VT_I8; a positive number above the signed 64-bit
// range is VT_UI8, so that every VT_UI8 written reads back as itself.
CComVariant IntegerFromText(OleStringView text)
{
    const DecimalNumber number = ReadDecimal(text);
    CComVariant result;
    bool saturated = false;
    const LONGLONG narrow =
        Saturated(number, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(), saturated);
    if (!saturated) {
        result.vt = VT_I4;
        result.lVal = static_cast<LONG>(narrow);
        return result;
    }
    const LONGLONG wide =
        Saturated(number, std::numeric_limits<LONGLONG>::min(), std::numeric_limits<LONGLONG>::max(), saturated);
    if (saturated && !number.negative) {
        result.vt = VT_UI8;
        result.ullVal = number.magnitude;
    } else {
        result.vt = VT_I8;
        result.llVal = wide;
    }
    return result;
}

// Text as the C library's text-to-double reader takes it, full stop as decimal separator in
// every locale: blanks, then the longest number (decimal or hexadecimal, with exponent,
// "inf", "infinity", "nan"); none gives 0. Out of range: infinity, or 0 for an underflow.
double ReadDouble(OleStringView text)
{
    size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == OLESTR('+') || text[i] == OLESTR('-'))) {
        negative = text[i] == OLESTR('-');
        ++i;
    }
    std::string ascii;
    for (; i < text.size() && text[i] > 0x20 && text[i] < 0x7F; ++i)
        ascii += static_cast<char>(text[i]);
    // from_chars takes no sign of its own; a second one is no number.
    if (!ascii.empty() && (ascii[0] == '+' || ascii[0] == '-'))
        return 0.0;
    const char* begin = ascii.data();
    const char* end = begin + ascii.size();
    auto format = std::chars_format::general;
    if (ascii.size() >= 2 && ascii[0] == '0' && (ascii[1] == 'x' || ascii[1] == 'X')) {
        begin += 2;
        format = std::chars_format::hex;
        if (begin == end || *begin == '+' || *begin == '-')
            return negative ? -0.0 : 0.0;  // "0x" alone reads as the 0 before it
    }
    double value = 0.0;
    const auto [stop, error] = std::from_chars(begin, end, value, format);
    if (error == std::errc::invalid_argument)
        return format == std::chars_format::hex ? (negative ? -0.0 : 0.0) : 0.0;
    if (error == std::errc::result_out_of_range) {
        const std::string_view number(begin, static_cast<size_t>(stop - begin));
        const size_t exponent = number.find_first_of(format == std::chars_format::hex ? "pP" : "eE");
        bool tiny = exponent != std::string_view::npos && exponent + 1 < number.size() && number[exponent + 1] == '-';
        if (exponent == std::string_view::npos)
            tiny = number.find_first_not_of("0.") == std::string_view::npos ||
                   (number.size() > 1 && number[0] == '0' && number[1] == '.');
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

// XML Schema's spelling of the values "%.15f" has none for.
OleString DecimalText(double value)
{
    if (std::isnan(value))
        return OLESTR("NaN");
    if (std::isinf(value))
        return value < 0 ? OLESTR("-INF") : OLESTR("INF");
    return ZoFormat(OLESTR("%.15f"), value);
}

OleString Base64Text(const VARIANT& value, const OLECHAR* zoFunctionName)
{
    CComVariant copy(value);
    CZoBufSafeArray buffer;
    buffer.Attach(copy, false);
    CZoLockHolder holder(&buffer);
    const LONGLONG size = buffer.GetSize();
    if (size > CZoVariant::kMaxXSDBinarySize)
        ZO_THROW_HR(E_OUTOFMEMORY);
    CryptoPP::Base64Encoder encoder(nullptr, false, 72);
    encoder.Put(buffer.GetBuf(), static_cast<size_t>(size));
    encoder.MessageEnd();
    const auto count = static_cast<LONGLONG>(encoder.MaxRetrievable());
    CZoBufMalloc text(count + 1);
    char* bytes = reinterpret_cast<char*>(text.GetBuf());
    encoder.Get(reinterpret_cast<CryptoPP::byte*>(bytes), static_cast<size_t>(count));
    bytes[count] = '\0';
    // The Base64 alphabet is ASCII: each byte widens to one character.
    return OleString(bytes, bytes + count);
}

CComVariant BytesFromBase64(OleStringView text)
{
    CZoBufMalloc bytes;
    CZoStringHelper::StringToMultiByte(text, bytes, 0);
    CryptoPP::Base64Decoder decoder;
    if (bytes.GetSize() > 0)
        decoder.Put(bytes.GetBuf(), static_cast<size_t>(bytes.GetSize()));
    decoder.MessageEnd();
    const auto count = static_cast<LONGLONG>(decoder.MaxRetrievable());
    CZoBufSafeArray result;
    result.Alloc(count);
    {
        CZoLockHolder holder(&result);
        if (count > 0)
            decoder.Get(result.GetBuf(), static_cast<size_t>(count));
    }
    return result.Detach();
}

OleString StringListText(const VARIANT& value, const OLECHAR* zoFunctionName)
{
    CZoStringVector strings = CZoVariant::VariantToStringVector(value);
    for (OleString& element : strings) {
        if (element.find(OLESTR(',')) != OleString::npos)
            ZO_RAISE(ZO_ERR_INVALID_STRING_ARRAY_CHAR);
        CZoXmlText::ReplaceInvalidCharactersInPlace(element);
    }
    return CZoStringHelper::UnTokenizeString(strings, kListSeparator);
}

OleString IntegerListText(const VARIANT& value)
{
    const CZoIntVector integers = CZoVariant::VariantToIntVector(value);
    CZoStringVector texts;
    texts.reserve(integers.size());
    for (LONG integer : integers)
        texts.push_back(CZoStringHelper::IntToString(integer));
    return CZoStringHelper::UnTokenizeString(texts, kListSeparator);
}

}  // namespace

OleString CZoVariant::ToXSDString(const VARIANT& value, OleString& typeName)
{
    ZO_FUNCTION(OLESTR("CZoVariant::ToXSDString"))
    {
        if (IsInteger(value)) {
            typeName = OLESTR("integer");
            return IntegerText(value);
        }
        if (IsFloat(value)) {
            typeName = OLESTR("decimal");
            return DecimalText(ToFloat(value));
        }
        switch (value.vt) {
        case VT_BSTR:
            typeName = OLESTR("string");
            // Up to the first NUL, as the text of "%s" ends there.
            return CZoXmlText::ReplaceInvalidCharacters(ViewOfOleText(value.bstrVal));
        case VT_BOOL:
            typeName = OLESTR("boolean");
            return OleString(value.boolVal != 0 ? OLESTR("true") : OLESTR("false"));
        case VT_DATE:
            typeName = OLESTR("dateTime");
            return CZoTime::FormatW3CDate(value.date);
        case kByteArrayType:
            typeName = OLESTR("base64binary");
            return Base64Text(value, zoFunctionName);
        case kStringArrayType:
            typeName = OLESTR("stringlist");
            return StringListText(value, zoFunctionName);
        case kIntArrayType:
            typeName = OLESTR("integerlist");
            return IntegerListText(value);
        default:
            ZO_RAISE_WITH_INFO(ZO_ERR_UNSUPPORTED_VARIANT_TO_XSD, OLESTR("VarType"),
                               CZoStringHelper::IntToString(static_cast<LONG>(value.vt)));
        }
    }
    ZO_FUNCTION_END
}

CComVariant CZoVariant::TakeXSDString(CComBSTR&& text, OleStringView typeName)
{
    if (!CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("string")))
        return FromXSDString(ViewOfBstr(text), typeName);
    CComVariant result;
    result.vt = VT_BSTR;
    result.bstrVal = text.m_str ? text.Detach() : CComBSTR(OLESTR("")).Detach();
    return result;
}

CComVariant CZoVariant::FromXSDString(OleStringView text, OleStringView typeName)
{
    ZO_FUNCTION(OLESTR("CZoVariant::FromXSDString"))
    {
        CComVariant result;
        if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("integer"))) {
            result = IntegerFromText(text);
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("decimal"))) {
            result.vt = VT_R8;
            result.dblVal = ReadDouble(text);
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("string"))) {
            result = CComVariant(CComBSTR(text));
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("boolean"))) {
            const bool truth = CZoStringHelper::EqualIgnoringAsciiCase(text, OLESTR("true")) || text == OLESTR("1");
            result.vt = VT_BOOL;
            result.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("datetime"))) {
            result.vt = VT_DATE;
            result.date = CZoTime::ParseW3CDate(text);
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("base64binary"))) {
            result = BytesFromBase64(text);
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("integerlist"))) {
            CZoIntVector integers;
            for (const OleString& piece : CZoStringHelper::TokenizeString(text, kListSeparator))
                integers.push_back(ReadInteger32(piece));
            result = IntVectorToVariant(integers);
        } else if (CZoStringHelper::EqualIgnoringAsciiCase(typeName, OLESTR("stringlist"))) {
            result = StringVectorToVariant(CZoStringHelper::TokenizeString(text, kListSeparator));
        } else {
            ZO_RAISE_WITH_INFO(ZO_ERR_UNSUPPORTED_XSD_TO_VARIANT, OLESTR("XSDType"), OleString(typeName));
        }
        return result;
    }
    ZO_FUNCTION_END
}
