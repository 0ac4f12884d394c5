#include "oleaut32/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace lumo::platform::oleaut32 {

namespace {

bool IsBlank(WCHAR c) noexcept { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(WCHAR c) noexcept { return c >= u'0' && c <= u'9'; }

// Exponents beyond this already put any number far outside every automation type.
constexpr long long kExponentLimit = 1000000000LL;

class TextReader {
public:
    explicit TextReader(WideView text) noexcept : m_text(text) {}

    bool AtEnd() const noexcept { return m_pos >= m_text.size(); }
    WCHAR Peek() const noexcept { return AtEnd() ? 0 : m_text[m_pos]; }
    void Advance() noexcept { ++m_pos; }
    bool Accept(WCHAR c) noexcept
    {
        if (AtEnd() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    void SkipBlanks() noexcept
    {
        while (!AtEnd() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }

private:
    WideView m_text;
    size_t m_pos = 0;
};

bool ReadSign(TextReader& reader) noexcept
{
    if (reader.Accept(u'-'))
        return true;
    reader.Accept(u'+');
    return false;
}

bool ReadExponent(TextReader& reader, long long& exponent) noexcept
{
    const WCHAR marker = reader.Peek();
    if (marker != u'e' && marker != u'E')
        return true;
    reader.Advance();
    const bool negative = ReadSign(reader);
    if (!IsDigit(reader.Peek()))
        return false;
    long long value = 0;
    while (IsDigit(reader.Peek())) {
        if (value < kExponentLimit)
            value = value * 10 + (reader.Peek() - u'0');
        reader.Advance();
    }
    exponent = negative ? -value : value;
    return true;
}

void TrimTrailingZeros(DecimalNumber& number)
{
    size_t kept = number.digits.size();
    while (kept > 0 && number.digits[kept - 1] == '0')
        --kept;
    number.exponent += static_cast<long long>(number.digits.size() - kept);
    number.digits.resize(kept);
    if (number.digits.empty())
        number.exponent = 0;
}

// Digits before the decimal point (may be zero or negative for values below 1).
long long IntegerDigitCount(const DecimalNumber& number) noexcept
{
    return static_cast<long long>(number.digits.size()) + number.exponent;
}

bool RoundsUp(const DecimalNumber& number, long long integerDigits, bool magnitudeIsOdd) noexcept
{
    const long long size = static_cast<long long>(number.digits.size());
    if (integerDigits >= size)
        return false;
    if (integerDigits < 0)
        return false;  // below 0.1: the first decimal is a zero
    const char first = number.digits[static_cast<size_t>(integerDigits)];
    if (first != '5')
        return first > '5';
    // Trailing zeros are trimmed, so any digit after the 5 makes it more than a half.
    if (integerDigits + 1 < size)
        return true;
    return magnitudeIsOdd;
}

}  // namespace

bool ParseDecimalNumber(WideView text, DecimalNumber& number)
{
    number = DecimalNumber();
    TextReader reader(text);
    reader.SkipBlanks();
    number.negative = ReadSign(reader);

    bool anyDigit = false;
    bool seenPoint = false;
    long long exponent = 0;
    for (;;) {
        const WCHAR c = reader.Peek();
        if (IsDigit(c)) {
            anyDigit = true;
            if (!number.digits.empty() || c != u'0')
                number.digits.push_back(static_cast<char>(c));
            if (seenPoint)
                --exponent;
            reader.Advance();
        } else if (c == u'.' && !seenPoint) {
            seenPoint = true;
            reader.Advance();
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;

    long long written = 0;
    if (!ReadExponent(reader, written))
        return false;
    reader.SkipBlanks();
    if (!reader.AtEnd())
        return false;

    number.exponent = exponent + written;
    TrimTrailingZeros(number);
    return true;
}

HRESULT DecimalToInteger(const DecimalNumber& number, LONGLONG minimum, ULONGLONG maximum, LONGLONG* signedValue,
                         ULONGLONG* unsignedValue)
{
    using Wide = unsigned __int128;
    const long long integerDigits = IntegerDigitCount(number);
    if (integerDigits > 20)
        return DISP_E_OVERFLOW;

    Wide magnitude = 0;
    for (long long i = 0; i < integerDigits; ++i) {
        const size_t index = static_cast<size_t>(i);
        const int digit = index < number.digits.size() ? number.digits[index] - '0' : 0;
        magnitude = magnitude * 10 + static_cast<Wide>(digit);
    }
    if (RoundsUp(number, integerDigits, (magnitude & 1) != 0))
        magnitude += 1;

    const Wide upper = number.negative ? static_cast<Wide>(-static_cast<__int128>(minimum)) : static_cast<Wide>(maximum);
    if (magnitude > upper)
        return DISP_E_OVERFLOW;
    const __int128 value = number.negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
    *signedValue = static_cast<LONGLONG>(value);
    *unsignedValue = static_cast<ULONGLONG>(value);
    return S_OK;
}

HRESULT DecimalToDouble(const DecimalNumber& number, double* value)
{
    if (number.digits.empty()) {
        *value = number.negative ? -0.0 : 0.0;
        return S_OK;
    }
    const long long leadingExponent = IntegerDigitCount(number) - 1;
    if (leadingExponent > 400)
        return DISP_E_OVERFLOW;
    double magnitude = 0.0;
    if (leadingExponent >= -400) {
        const std::string text = number.digits + "e" + std::to_string(number.exponent);
        const auto parsed = std::from_chars(text.data(), text.data() + text.size(), magnitude);
        if (parsed.ec == std::errc::result_out_of_range) {
            if (leadingExponent > 0)
                return DISP_E_OVERFLOW;
            magnitude = 0.0;
        }
    }
    *value = number.negative ? -magnitude : magnitude;
    return S_OK;
}

std::string FormatSigned(LONGLONG value)
{
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

std::string FormatUnsigned(ULONGLONG value)
{
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

namespace {

// The decimal digits of |value| (first digit non-zero) and the power of ten of the first.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
};

// Rounded half away from zero to 'count' digits. The extra digits asked of to_chars make the
// rounding decision on the value itself rather than on an already rounded text.
DecimalDigits SignificantDigits(double magnitude, int count)
{
    constexpr int kGuardDigits = 24;
    char buffer[128];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                                       count - 1 + kGuardDigits);
    const std::string text(buffer, written.ptr);
    const size_t marker = text.find('e');

    DecimalDigits result;
    for (size_t i = 0; i < marker; ++i) {
        if (text[i] != '.')
            result.digits.push_back(text[i]);
    }
    result.exponent = std::atoi(text.c_str() + marker + 1);

    const bool roundUp = result.digits[static_cast<size_t>(count)] >= '5';
    result.digits.resize(static_cast<size_t>(count));
    if (roundUp) {
        int i = count - 1;
        while (i >= 0 && result.digits[static_cast<size_t>(i)] == '9')
            result.digits[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++result.digits[static_cast<size_t>(i)];
        } else {
            result.digits.insert(result.digits.begin(), '1');
            result.digits.pop_back();
            ++result.exponent;
        }
    }
    while (result.digits.size() > 1 && result.digits.back() == '0')
        result.digits.pop_back();
    return result;
}

std::string FixedNotation(const DecimalDigits& d)
{
    const int count = static_cast<int>(d.digits.size());
    if (d.exponent < 0)
        return "0." + std::string(static_cast<size_t>(-d.exponent - 1), '0') + d.digits;
    if (count <= d.exponent + 1)
        return d.digits + std::string(static_cast<size_t>(d.exponent + 1 - count), '0');
    return d.digits.substr(0, static_cast<size_t>(d.exponent + 1)) + "." +
           d.digits.substr(static_cast<size_t>(d.exponent + 1));
}

std::string ScientificNotation(const DecimalDigits& d)
{
    std::string text(1, d.digits[0]);
    if (d.digits.size() > 1)
        text += "." + d.digits.substr(1);
    text += d.exponent < 0 ? "E-" : "E+";
    const int magnitude = d.exponent < 0 ? -d.exponent : d.exponent;
    if (magnitude < 10)
        text += '0';
    text += std::to_string(magnitude);
    return text;
}

}  // namespace

std::string FormatReal(double value, int significantDigits)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0.0)
        return "0";  // never "-0"

    const DecimalDigits d = SignificantDigits(std::fabs(value), significantDigits);
    const int decimals = static_cast<int>(d.digits.size()) - 1 - d.exponent;
    const bool fixed = d.exponent < significantDigits && decimals <= significantDigits;
    const std::string text = fixed ? FixedNotation(d) : ScientificNotation(d);
    return value < 0 ? "-" + text : text;
}

}  // namespace lumo::platform::oleaut32
