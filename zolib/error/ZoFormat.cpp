#include "ZoFormat.h"

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kMaxWidth = 65535;

enum class ArgumentSize { Default, Short, Wide, Bits32, Bits64 };

struct ConversionSpec {
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool zeroPad = false;
    bool alternate = false;
    bool widthFromArguments = false;
    bool precisionFromArguments = false;
    int width = -1;
    int precision = -1;
    ArgumentSize size = ArgumentSize::Default;
    OLECHAR conversion = 0;
};

bool IsDigit(OLECHAR c) { return c >= '0' && c <= '9'; }

int ReadNumber(const OLECHAR*& p)
{
    int value = 0;
    while (IsDigit(*p)) {
        value = value * 10 + (*p - '0');
        if (value > kMaxWidth)
            value = kMaxWidth;
        ++p;
    }
    return value;
}

bool IsSupportedConversion(OLECHAR c)
{
    switch (c) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
    case 'f': case 'e': case 'E': case 'g': case 'G':
    case 'c': case 'C': case 's': case 'S': case '%':
        return true;
    default:
        return false;
    }
}

// Reads a conversion specification that starts after its "%". Returns false (with p left
// anywhere) when it is not one this helper formats.
bool ParseSpec(const OLECHAR*& p, ConversionSpec& spec)
{
    for (;; ++p) {
        if (*p == '-')
            spec.leftAlign = true;
        else if (*p == '+')
            spec.plusSign = true;
        else if (*p == ' ')
            spec.spaceSign = true;
        else if (*p == '0')
            spec.zeroPad = true;
        else if (*p == '#')
            spec.alternate = true;
        else
            break;
    }
    if (*p == '*') {
        spec.widthFromArguments = true;
        ++p;
    } else if (IsDigit(*p)) {
        spec.width = ReadNumber(p);
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            spec.precisionFromArguments = true;
            ++p;
        } else {
            spec.precision = ReadNumber(p);
        }
    }
    if (*p == 'h') {
        spec.size = ArgumentSize::Short;
        ++p;
    } else if (*p == 'w') {
        spec.size = ArgumentSize::Wide;
        ++p;
    } else if (*p == 'l') {
        ++p;
        if (*p == 'l') {
            spec.size = ArgumentSize::Bits64;
            ++p;
        } else {
            spec.size = ArgumentSize::Bits32;
        }
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        spec.size = ArgumentSize::Bits64;
        p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        spec.size = ArgumentSize::Bits32;
        p += 3;
    }
    if (!IsSupportedConversion(*p))
        return false;
    spec.conversion = *p++;
    return true;
}

class Formatter {
public:
    explicit Formatter(va_list& args) : m_args(args) {}

    OleString Run(const OLECHAR* format)
    {
        const OLECHAR* p = format;
        while (*p) {
            if (*p != '%') {
                m_out.push_back(*p++);
                continue;
            }
            const OLECHAR* start = p++;
            ConversionSpec spec;
            if (!ParseSpec(p, spec)) {
                // Copied as it stands, including the character that ended it.
                if (*p)
                    ++p;
                m_out.append(start, p);
                continue;
            }
            Convert(spec);
        }
        return std::move(m_out);
    }

private:
    void Convert(ConversionSpec& spec)
    {
        if (spec.widthFromArguments) {
            const int width = va_arg(m_args, int);
            spec.leftAlign = spec.leftAlign || width < 0;
            spec.width = width < 0 ? (width < -kMaxWidth ? kMaxWidth : -width) : (width > kMaxWidth ? kMaxWidth : width);
        }
        if (spec.precisionFromArguments) {
            const int precision = va_arg(m_args, int);
            spec.precision = precision < 0 ? -1 : (precision > kMaxWidth ? kMaxWidth : precision);
        }
        switch (spec.conversion) {
        case '%':
            m_out.push_back('%');
            break;
        case 'd':
        case 'i':
            FormatSigned(spec);
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            FormatUnsigned(spec);
            break;
        case 'c':
        case 'C':
            FormatCharacter(spec);
            break;
        case 's':
        case 'S':
            FormatString(spec);
            break;
        default:
            FormatFloating(spec);
            break;
        }
    }

    // Whether a %c/%s argument is narrow: the upper-case letters are, unless "l" or "w" says
    // otherwise; "h" makes either narrow.
    static bool IsNarrowText(const ConversionSpec& spec)
    {
        if (spec.size == ArgumentSize::Short)
            return true;
        if (spec.size == ArgumentSize::Wide || spec.size == ArgumentSize::Bits32)
            return false;
        return spec.conversion == 'C' || spec.conversion == 'S';
    }

    void FormatSigned(const ConversionSpec& spec)
    {
        long long value;
        if (spec.size == ArgumentSize::Bits64)
            value = va_arg(m_args, long long);
        else if (spec.size == ArgumentSize::Short)
            value = static_cast<short>(va_arg(m_args, int));
        else
            value = va_arg(m_args, int);
        AppendNarrow(FormatNumber(spec, "ll", value));
    }

    void FormatUnsigned(const ConversionSpec& spec)
    {
        unsigned long long value;
        if (spec.size == ArgumentSize::Bits64)
            value = va_arg(m_args, unsigned long long);
        else if (spec.size == ArgumentSize::Short)
            value = static_cast<unsigned short>(va_arg(m_args, unsigned int));
        else
            value = va_arg(m_args, unsigned int);
        AppendNarrow(FormatNumber(spec, "ll", value));
    }

    void FormatFloating(const ConversionSpec& spec)
    {
        const double value = va_arg(m_args, double);
        std::string text = FormatNumber(spec, "", value);
        // The C library follows the program's locale; the output is always in the C locale's.
        const char* point = std::localeconv()->decimal_point;
        if (point && std::strcmp(point, ".") != 0 && *point) {
            const size_t at = text.find(point);
            if (at != std::string::npos)
                text.replace(at, std::strlen(point), ".");
        }
        AppendNarrow(text);
    }

    void FormatCharacter(const ConversionSpec& spec)
    {
        OleString text;
        if (IsNarrowText(spec)) {
            const char narrow[2] = {static_cast<char>(va_arg(m_args, int)), 0};
            text = narrow[0] ? ZoAnsiToOle(narrow) : OleString(1, OLECHAR(0));
        } else {
            text.push_back(static_cast<OLECHAR>(va_arg(m_args, int)));
        }
        AppendPadded(spec, text);
    }

    void FormatString(const ConversionSpec& spec)
    {
        OleString text;
        if (IsNarrowText(spec)) {
            const char* narrow = va_arg(m_args, const char*);
            text = narrow ? ZoAnsiToOle(narrow) : OleString(OLESTR("(null)"));
        } else {
            const OLECHAR* wide = va_arg(m_args, const OLECHAR*);
            text = wide ? OleString(wide) : OleString(OLESTR("(null)"));
        }
        if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision))
            text.resize(static_cast<size_t>(spec.precision));
        AppendPadded(spec, text);
    }

    template <class T>
    static std::string FormatNumber(const ConversionSpec& spec, const char* lengthModifier, T value)
    {
        std::string format = "%";
        if (spec.leftAlign)
            format += '-';
        if (spec.plusSign)
            format += '+';
        if (spec.spaceSign)
            format += ' ';
        if (spec.zeroPad)
            format += '0';
        if (spec.alternate)
            format += '#';
        if (spec.width >= 0)
            format += std::to_string(spec.width);
        if (spec.precision >= 0)
            format += "." + std::to_string(spec.precision);
        format += lengthModifier;
        format += static_cast<char>(spec.conversion);

        char small[64];
        const int needed = std::snprintf(small, sizeof small, format.c_str(), value);
        if (needed < 0)
            return {};
        if (static_cast<size_t>(needed) < sizeof small)
            return std::string(small, static_cast<size_t>(needed));
        std::string large(static_cast<size_t>(needed) + 1, '\0');
        std::snprintf(large.data(), large.size(), format.c_str(), value);
        large.resize(static_cast<size_t>(needed));
        return large;
    }

    void AppendNarrow(const std::string& text)
    {
        for (char c : text)
            m_out.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c)));
    }

    void AppendPadded(const ConversionSpec& spec, const OleString& text)
    {
        const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
        const size_t padding = width > text.size() ? width - text.size() : 0;
        if (!spec.leftAlign)
            m_out.append(padding, ' ');
        m_out += text;
        if (spec.leftAlign)
            m_out.append(padding, ' ');
    }

    va_list& m_args;
    OleString m_out;
};

}  // namespace

OleString ZoFormatV(const OLECHAR* format, va_list args)
{
    if (!format)
        return {};
    va_list copy;
    va_copy(copy, args);
    OleString result;
    try {
        result = Formatter(copy).Run(format);
    } catch (...) {
        va_end(copy);
        throw;
    }
    va_end(copy);
    return result;
}

OleString ZoFormat(const OLECHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    OleString result;
    try {
        result = ZoFormatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return result;
}

OleString ZoAnsiToOle(const char* text)
{
    if (!text || !*text)
        return {};
    const int length = static_cast<int>(std::strlen(text));
    const int needed = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (needed <= 0)
        return {};
    OleString wide(static_cast<size_t>(needed), OLECHAR(0));
    const int written = MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), needed);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return wide;
}

std::string ZoOleToAnsi(OleStringView text)
{
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return {};
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string narrow(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return narrow;
}
