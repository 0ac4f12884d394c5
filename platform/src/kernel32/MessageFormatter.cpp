#include "kernel32/MessageFormatter.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace lumo::platform {

namespace {

constexpr unsigned kNoWrapping = FORMAT_MESSAGE_MAX_WIDTH_MASK;

bool IsDigit(WCHAR c)
{
    return c >= u'0' && c <= u'9';
}

// An insert reference "%N" or "%N!format!" starting at a '%'.
struct InsertReference {
    unsigned number = 0;
    WideView format;      // without the '!' delimiters; empty for the default "s"
    size_t length = 0;    // of the whole reference, '%' included
    bool malformed = false;
};

std::optional<InsertReference> ReadInsertReference(WideView text, size_t at)
{
    if (at + 1 >= text.size() || text[at + 1] < u'1' || text[at + 1] > u'9')
        return std::nullopt;
    InsertReference ref;
    size_t i = at + 1;
    ref.number = text[i++] - u'0';
    if (i < text.size() && IsDigit(text[i]))
        ref.number = ref.number * 10 + (text[i++] - u'0');
    if (i < text.size() && text[i] == u'!') {
        const size_t close = text.find(u'!', i + 1);
        if (close == WideView::npos) {
            ref.malformed = true;
            i = text.size();
        } else {
            ref.format = text.substr(i + 1, close - i - 1);
            i = close + 1;
        }
    }
    ref.length = i - at;
    return ref;
}

unsigned HighestInsert(WideView text)
{
    unsigned highest = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%')
            continue;
        if (const auto ref = ReadInsertReference(text, i)) {
            highest = std::max(highest, ref->number);
            i += ref->length - 1;
        } else if (i + 1 < text.size() && text[i + 1] == u'0') {
            break;  // nothing after %0 is read, so its inserts need no arguments
        } else {
            ++i;  // an escape's second character is never the start of another one
        }
    }
    return highest;
}

// Widths and precisions beyond this are refused rather than padded into huge texts.
constexpr size_t kLargestWidth = 1024;

// The printf-style format of one insert, as FormatMessage reads it: flags, width, precision,
// a size prefix and one conversion. Widths and precisions taken from arguments ("*") are not
// supported.
struct InsertFormat {
    std::string flags;
    std::string width;
    std::string precision;  // with its '.', when given; "." alone is a precision of 0
    enum class Size { Default, Short, Long, LongLong, Pointer } size = Size::Default;
    WCHAR conversion = u's';
};

// The number in a width ("12") or precision (".3"); 0 for none.
size_t CountOf(const std::string& digits)
{
    size_t count = 0;
    for (const char c : digits)
        if (c != '.')
            count = count * 10 + static_cast<size_t>(c - '0');
    return count;
}

std::optional<InsertFormat> ParseInsertFormat(WideView spec)
{
    InsertFormat format;
    if (spec.empty())
        return format;
    size_t i = 0;
    while (i < spec.size() && WideView(u"-+ #0").find(spec[i]) != WideView::npos)
        format.flags.push_back(static_cast<char>(spec[i++]));
    while (i < spec.size() && IsDigit(spec[i]))
        format.width.push_back(static_cast<char>(spec[i++]));
    if (i < spec.size() && spec[i] == u'.') {
        format.precision.push_back('.');
        ++i;
        while (i < spec.size() && IsDigit(spec[i]))
            format.precision.push_back(static_cast<char>(spec[i++]));
    }
    if (format.width.size() > 4 || format.precision.size() > 5 || CountOf(format.width) > kLargestWidth ||
        CountOf(format.precision) > kLargestWidth)
        return std::nullopt;
    const WideView rest = spec.substr(i);
    if (rest.starts_with(u"I64") || rest.starts_with(u"ll")) {
        format.size = InsertFormat::Size::LongLong;
        i += rest.starts_with(u"ll") ? 2 : 3;
    } else if (rest.starts_with(u"I32")) {
        format.size = InsertFormat::Size::Long;
        i += 3;
    } else if (rest.starts_with(u"I")) {
        format.size = InsertFormat::Size::Pointer;
        ++i;
    } else if (rest.starts_with(u"l") || rest.starts_with(u"w")) {
        format.size = InsertFormat::Size::Long;
        ++i;
    } else if (rest.starts_with(u"h")) {
        format.size = InsertFormat::Size::Short;
        ++i;
    }
    if (i + 1 != spec.size())
        return std::nullopt;
    format.conversion = spec[i];
    return format;
}

WideString Pad(WideString text, const InsertFormat& format)
{
    if (!format.precision.empty() && text.size() > CountOf(format.precision))
        text.resize(CountOf(format.precision));
    const size_t width = CountOf(format.width);
    if (text.size() < width) {
        const size_t padding = width - text.size();
        if (format.flags.find('-') != std::string::npos)
            text.append(padding, u' ');
        else
            text.insert(size_t{0}, padding, u' ');
    }
    return text;
}

std::optional<WideString> FormatNumber(const InsertFormat& format, DWORD_PTR value)
{
    const bool isSigned = format.conversion == u'd' || format.conversion == u'i';
    long long number = 0;
    switch (format.size) {
    case InsertFormat::Size::Short:
        number = isSigned ? static_cast<long long>(static_cast<int16_t>(value))
                          : static_cast<long long>(static_cast<uint16_t>(value));
        break;
    case InsertFormat::Size::Default:
    case InsertFormat::Size::Long:  // a Windows long is 32 bits
        number = isSigned ? static_cast<long long>(static_cast<int32_t>(value))
                          : static_cast<long long>(static_cast<uint32_t>(value));
        break;
    case InsertFormat::Size::LongLong:
    case InsertFormat::Size::Pointer:
        number = static_cast<long long>(value);
        break;
    }
    const std::string spec = "%" + format.flags + format.width + format.precision + "ll" +
                             static_cast<char>(format.conversion);
    char buffer[kLargestWidth + 32];
    const int n = std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
    if (n < 0 || static_cast<size_t>(n) >= sizeof buffer)
        return std::nullopt;
    return FromUtf8(std::string_view(buffer, static_cast<size_t>(n)));
}

std::optional<WideString> FormatInsert(WideView spec, DWORD_PTR value)
{
    const auto format = ParseInsertFormat(spec);
    if (!format)
        return std::nullopt;
    // In the wide FormatMessage, s and c are wide unless marked short, S and C the reverse.
    const bool shortMark = format->size == InsertFormat::Size::Short;
    const bool longMark = format->size == InsertFormat::Size::Long;
    switch (format->conversion) {
    case u's':
    case u'S': {
        const bool narrow = format->conversion == u's' ? shortMark : !longMark;
        if (!value)
            return Pad(u"(null)", *format);
        return Pad(narrow ? FromUtf8(reinterpret_cast<const char*>(value))
                          : WideString(reinterpret_cast<const WCHAR*>(value)),
                   *format);
    }
    case u'c':
    case u'C': {
        const bool narrow = format->conversion == u'c' ? shortMark : !longMark;
        return Pad(WideString(1, narrow ? static_cast<WCHAR>(static_cast<unsigned char>(value))
                                        : static_cast<WCHAR>(value)),
                   *format);
    }
    case u'd':
    case u'i':
    case u'u':
    case u'x':
    case u'X':
    case u'o':
        return FormatNumber(*format, value);
    case u'p': {
        // Windows prints a pointer as all its hexadecimal digits.
        InsertFormat pointer;
        pointer.conversion = u'X';
        pointer.size = InsertFormat::Size::Pointer;
        pointer.flags.push_back('0');
        pointer.width = std::to_string(sizeof(void*) * 2);
        return FormatNumber(pointer, value);
    }
    default:
        return std::nullopt;  // floating point is not supported by FormatMessage either
    }
}

std::optional<std::vector<DWORD_PTR>> CollectArguments(const MessageOptions& options, unsigned count)
{
    std::vector<DWORD_PTR> values;
    if (count == 0)
        return values;
    if (options.argumentArray) {
        values.assign(options.argumentArray, options.argumentArray + count);
    } else if (options.argumentList) {
        // Every insert value is passed as one pointer-sized argument, as Windows reads them.
        va_list copy;
        va_copy(copy, *options.argumentList);
        for (unsigned i = 0; i < count; ++i)
            values.push_back(va_arg(copy, DWORD_PTR));
        va_end(copy);
    } else {
        return std::nullopt;
    }
    return values;
}

// Greedy wrapping at spaces; a word longer than the width keeps a line of its own.
std::vector<WideString> Wrap(WideView line, size_t width)
{
    std::vector<WideString> lines(1);
    for (size_t i = 0; i <= line.size();) {
        const size_t end = std::min(line.find(u' ', i), line.size());
        const WideView word = line.substr(i, end - i);
        if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) {
            lines.emplace_back(word);
        } else {
            if (!lines.back().empty())
                lines.back().push_back(u' ');
            lines.back().append(word);
        }
        i = end + 1;
    }
    return lines;
}

}  // namespace

FormattedMessage FormatMessageText(WideView message, const MessageOptions& options)
{
    FormattedMessage result;
    std::vector<DWORD_PTR> arguments;
    if (!options.ignoreInserts) {
        auto collected = CollectArguments(options, HighestInsert(message));
        if (!collected) {
            result.error = ERROR_INVALID_PARAMETER;
            return result;
        }
        arguments = std::move(*collected);
    }

    // Lines split at the hard breaks (%n), which line wrapping keeps.
    std::vector<WideString> lines(1);
    const bool joinWrittenLines = options.maxWidth != 0;
    for (size_t i = 0; i < message.size(); ++i) {
        const WCHAR c = message[i];
        if (c == u'\r' || c == u'\n') {
            if (!joinWrittenLines) {
                lines.back().push_back(c);
            } else {
                if (c == u'\r' && i + 1 < message.size() && message[i + 1] == u'\n')
                    ++i;
                lines.back().push_back(u' ');
            }
            continue;
        }
        if (c != u'%') {
            lines.back().push_back(c);
            continue;
        }
        if (const auto ref = ReadInsertReference(message, i)) {
            if (options.ignoreInserts) {
                lines.back().append(message.substr(i, ref->length));
            } else {
                const auto text = ref->malformed ? std::nullopt : FormatInsert(ref->format, arguments[ref->number - 1]);
                if (!text) {
                    result.error = ERROR_INVALID_PARAMETER;
                    return result;
                }
                lines.back().append(*text);
            }
            i += ref->length - 1;
            continue;
        }
        if (i + 1 >= message.size())
            break;  // a lone '%' at the end
        const WCHAR escape = message[++i];
        if (escape == u'0')
            break;  // ends the message, without a line break
        switch (escape) {
        case u'n':
            lines.emplace_back();
            break;
        case u'r':
            lines.back().push_back(u'\r');
            break;
        case u't':
            lines.back().push_back(u'\t');
            break;
        default:
            // With inserts ignored only %0 %n %r %t are escapes; the rest stays as written.
            if (options.ignoreInserts)
                lines.back().push_back(u'%');
            lines.back().push_back(escape);
            break;
        }
    }

    for (size_t l = 0; l < lines.size(); ++l) {
        if (l > 0)
            result.text.append(u"\r\n");
        if (options.maxWidth == 0 || options.maxWidth == kNoWrapping) {
            result.text.append(lines[l]);
            continue;
        }
        const auto wrapped = Wrap(lines[l], options.maxWidth);
        for (size_t w = 0; w < wrapped.size(); ++w) {
            if (w > 0)
                result.text.append(u"\r\n");
            result.text.append(wrapped[w]);
        }
    }
    return result;
}

}  // namespace lumo::platform
