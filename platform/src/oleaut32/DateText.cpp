#include "oleaut32/DateText.h"

#include <locale.h>
#include <langinfo.h>
#include <time.h>

#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kernel32/Locales.h"
#include "oleaut32/DateCalendar.h"

namespace lumo::platform::oleaut32 {
namespace {

using kernel32::DateStyle;
using kernel32::LocaleForDates;

constexpr CivilTime kDayZero{1899, 12, 30, 0, 0, 0, 6};

struct TextParts {
    bool date;
    bool time;
};

TextParts PartsToWrite(const CivilTime& time, ULONG flags) noexcept
{
    if (flags & VAR_TIMEVALUEONLY)
        return {false, true};
    if (flags & VAR_DATEVALUEONLY)
        return {true, false};
    const bool dayZero = time.year == kDayZero.year && time.month == kDayZero.month && time.day == kDayZero.day;
    if (dayZero)
        return {false, true};
    const bool midnight = time.hour == 0 && time.minute == 0 && time.second == 0;
    return {true, !midnight};
}

std::string Printed(const char* format, int a, int b, int c)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

tm HostFields(const CivilTime& time) noexcept
{
    tm fields{};
    fields.tm_year = time.year - 1900;
    fields.tm_mon = time.month - 1;
    fields.tm_mday = time.day;
    fields.tm_hour = time.hour;
    fields.tm_min = time.minute;
    fields.tm_sec = time.second;
    fields.tm_wday = time.dayOfWeek;
    fields.tm_isdst = -1;
    return fields;
}

// Two-digit years would lose the century, which the date's text has to keep.
std::string HostDateFormat(locale_t locale)
{
    std::string format = nl_langinfo_l(D_FMT, locale);
    if (format.empty())
        return "%m/%d/%Y";
    for (size_t at = format.find("%y"); at != std::string::npos; at = format.find("%y", at + 2))
        format[at + 1] = 'Y';
    return format;
}

std::string HostTimeFormat(locale_t locale)
{
    std::string format = nl_langinfo_l(T_FMT, locale);
    return format.empty() ? "%H:%M:%S" : format;
}

std::string HostText(const CivilTime& time, const std::string& format, locale_t locale)
{
    const tm fields = HostFields(time);
    char buffer[256];
    const size_t length = strftime_l(buffer, sizeof buffer, format.c_str(), &fields, locale);
    return std::string(buffer, length);
}

std::string DateTextOf(const CivilTime& time, const LocaleForDates& locale)
{
    switch (locale.Style()) {
    case DateStyle::Invariant:
        return Printed("%02d/%02d/%04d", time.month, time.day, time.year);
    case DateStyle::Host:
        return HostText(time, HostDateFormat(locale.Handle()), locale.Handle());
    case DateStyle::UnitedStates:
        break;
    }
    return Printed("%d/%d/%d", time.month, time.day, time.year);
}

std::string TimeTextOf(const CivilTime& time, const LocaleForDates& locale)
{
    switch (locale.Style()) {
    case DateStyle::Invariant:
        return Printed("%02d:%02d:%02d", time.hour, time.minute, time.second);
    case DateStyle::Host:
        return HostText(time, HostTimeFormat(locale.Handle()), locale.Handle());
    case DateStyle::UnitedStates:
        break;
    }
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    return Printed("%d:%02d:%02d", hour12, time.minute, time.second) + (time.hour < 12 ? " AM" : " PM");
}

// A cursor over the text being read.
class DateScanner {
public:
    explicit DateScanner(WideView text) noexcept : m_text(text) {}

    bool AtEnd() const noexcept { return m_at == m_text.size(); }

    // Returns whether any blank was skipped.
    bool SkipBlanks() noexcept
    {
        const size_t start = m_at;
        while (m_at < m_text.size() && (m_text[m_at] == u' ' || m_text[m_at] == u'\t'))
            ++m_at;
        return m_at != start;
    }

    bool Literal(WCHAR c) noexcept
    {
        if (m_at < m_text.size() && FoldAscii(m_text[m_at]) == FoldAscii(c)) {
            ++m_at;
            return true;
        }
        return false;
    }

    // The run of ASCII letters here, empty when there is none.
    WideView Letters() noexcept
    {
        const size_t start = m_at;
        while (m_at < m_text.size() && IsAsciiLetter(m_text[m_at]))
            ++m_at;
        return m_text.substr(start, m_at - start);
    }

    bool Number(size_t minDigits, size_t maxDigits, int& value, size_t* digits = nullptr) noexcept
    {
        size_t count = 0;
        int number = 0;
        while (count < maxDigits && m_at < m_text.size() && m_text[m_at] >= u'0' && m_text[m_at] <= u'9') {
            number = number * 10 + (m_text[m_at] - u'0');
            ++m_at;
            ++count;
        }
        if (count < minDigits)
            return false;
        value = number;
        if (digits)
            *digits = count;
        return true;
    }

private:
    static bool IsAsciiLetter(WCHAR c) noexcept { return FoldAscii(c) >= u'a' && FoldAscii(c) <= u'z'; }

    WideView m_text;
    size_t m_at = 0;
};

struct ReadDate {
    CivilTime fields = kDayZero;
    bool date = false;
};

bool ReadIsoDate(DateScanner& scan, CivilTime& fields) noexcept
{
    return scan.Number(4, 4, fields.year) && scan.Literal(u'-') && scan.Number(1, 2, fields.month) &&
           scan.Literal(u'-') && scan.Number(1, 2, fields.day);
}

// h:mm[:ss]
bool ReadIsoClock(DateScanner& scan, CivilTime& fields) noexcept
{
    fields.second = 0;
    if (!(scan.Number(1, 2, fields.hour) && scan.Literal(u':') && scan.Number(2, 2, fields.minute)))
        return false;
    return !scan.Literal(u':') || scan.Number(2, 2, fields.second);
}

std::optional<ReadDate> ReadIsoForm(WideView text) noexcept
{
    DateScanner scan(text);
    ReadDate read;
    if (!ReadIsoDate(scan, read.fields))
        return std::nullopt;
    read.date = true;
    if (scan.Literal(u'T') || scan.Literal(u' ')) {
        if (!ReadIsoClock(scan, read.fields))
            return std::nullopt;
        scan.Literal(u'Z');
    }
    if (!scan.AtEnd())
        return std::nullopt;
    return read;
}

// The English forms are read as numbers, month names and AM or PM, each with the separator
// before it.
enum class Separator { None, Blank, Slash, Dash, Colon };

enum class TokenKind { Number, Month, Meridiem };

struct DateToken {
    TokenKind kind = TokenKind::Number;
    Separator before = Separator::None;
    int value = 0;      // the number, the month from 1 to 12, or the hours AM (0) or PM (12) adds
    size_t digits = 0;  // of a number
};

// A date of three parts and a time of three, with AM or PM.
constexpr size_t kMostDateTokens = 7;

constexpr WideView kMonthNames[12] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                                      u"July",    u"August",   u"September", u"October", u"November", u"December"};

// 1 to 12 for a month's name or its first three letters, 0 for any other word.
int MonthNamed(WideView word) noexcept
{
    for (int month = 1; month <= 12; ++month) {
        const WideView name = kMonthNames[month - 1];
        if (EqualsIgnoreAsciiCase(word, name) || EqualsIgnoreAsciiCase(word, name.substr(0, 3)))
            return month;
    }
    return 0;
}

// The hours AM (or A) and PM (or P) add to an hour from 0 to 11.
std::optional<int> MeridiemHoursNamed(WideView word) noexcept
{
    if (EqualsIgnoreAsciiCase(word, u"AM") || EqualsIgnoreAsciiCase(word, u"A"))
        return 0;
    if (EqualsIgnoreAsciiCase(word, u"PM") || EqualsIgnoreAsciiCase(word, u"P"))
        return 12;
    return std::nullopt;
}

std::optional<DateToken> ReadDateToken(DateScanner& scan) noexcept
{
    DateToken token;
    if (scan.Number(1, 4, token.value, &token.digits))
        return token;
    const WideView word = scan.Letters();
    if (const int month = MonthNamed(word)) {
        token.kind = TokenKind::Month;
        token.value = month;
        return token;
    }
    if (const std::optional<int> hours = MeridiemHoursNamed(word)) {
        token.kind = TokenKind::Meridiem;
        token.value = *hours;
        return token;
    }
    return std::nullopt;
}

Separator ReadMark(DateScanner& scan) noexcept
{
    if (scan.Literal(u'/'))
        return Separator::Slash;
    if (scan.Literal(u'-'))
        return Separator::Dash;
    if (scan.Literal(u':'))
        return Separator::Colon;
    return Separator::None;
}

// Blanks and commas, or one of / - : with blanks around it or not.
Separator ReadSeparator(DateScanner& scan) noexcept
{
    bool blank = false;
    while (scan.SkipBlanks() || scan.Literal(u','))
        blank = true;
    const Separator mark = ReadMark(scan);
    if (mark == Separator::None)
        return blank ? Separator::Blank : Separator::None;
    scan.SkipBlanks();
    return mark;
}

// Nothing for text with any other character, or with more tokens than a date and a time have.
std::optional<std::vector<DateToken>> DateTokensOf(WideView text)
{
    DateScanner scan(text);
    std::vector<DateToken> tokens;
    Separator before = Separator::None;
    while (tokens.size() < kMostDateTokens) {
        std::optional<DateToken> token = ReadDateToken(scan);
        if (!token)
            return std::nullopt;
        token->before = before;
        tokens.push_back(*token);
        if (scan.AtEnd())
            return tokens;
        before = ReadSeparator(scan);
    }
    return std::nullopt;
}

// Tokens [first, end) of a text's tokens.
struct TokenRange {
    size_t first = 0;
    size_t end = 0;
};

// The first time among the tokens: h:m[:s] with AM or PM or without, or h with AM or PM.
// Empty when there is none.
TokenRange ClockRange(std::span<const DateToken> tokens) noexcept
{
    for (size_t first = 0; first < tokens.size(); ++first) {
        if (tokens[first].kind != TokenKind::Number)
            continue;
        size_t end = first + 1;
        while (end < tokens.size() && end - first < 3 && tokens[end].kind == TokenKind::Number &&
               tokens[end].before == Separator::Colon)
            ++end;
        if (end < tokens.size() && tokens[end].kind == TokenKind::Meridiem)
            ++end;
        if (end - first > 1)
            return {first, end};
    }
    return {};
}

struct DateAndClock {
    std::span<const DateToken> date;
    std::span<const DateToken> clock;
};

// The time comes before the date or after it, a blank between them.
std::optional<DateAndClock> SplitDateAndClock(std::span<const DateToken> tokens) noexcept
{
    const TokenRange clock = ClockRange(tokens);
    if (clock.first == clock.end)
        return DateAndClock{tokens, {}};
    if (clock.first > 0 && clock.end < tokens.size())
        return std::nullopt;
    const size_t secondPart = clock.first > 0 ? clock.first : clock.end;
    if (secondPart < tokens.size() && tokens[secondPart].before != Separator::Blank)
        return std::nullopt;
    const std::span<const DateToken> date = clock.first > 0 ? tokens.first(clock.first) : tokens.subspan(clock.end);
    return DateAndClock{date, tokens.subspan(clock.first, clock.end - clock.first)};
}

// AM and PM change the hours 0 to 12 only: 13:00 PM is 13:00, as Windows reads it.
bool ReadClockTokens(std::span<const DateToken> clock, CivilTime& fields) noexcept
{
    const bool meridiem = clock.back().kind == TokenKind::Meridiem;
    const std::span<const DateToken> numbers = meridiem ? clock.first(clock.size() - 1) : clock;
    int parts[3] = {0, 0, 0};
    for (size_t i = 0; i < numbers.size(); ++i)
        parts[i] = numbers[i].value;
    fields.hour = meridiem && parts[0] <= 12 ? parts[0] % 12 + clock.back().value : parts[0];
    fields.minute = parts[1];
    fields.second = parts[2];
    return fields.hour <= 23 && fields.minute <= 59 && fields.second <= 59;
}

enum class DatePart { Month, Day, Year };

// The parts of a date's numbers in the order they are written; only as many as there are
// numbers count.
using PartOrder = std::array<DatePart, 3>;

// The orders a date's numbers are tried in, en-US's own first. A date without a year is in
// the current year, one without a day on the month's first.
constexpr PartOrder kThreeNumberOrders[] = {{DatePart::Month, DatePart::Day, DatePart::Year},
                                            {DatePart::Year, DatePart::Month, DatePart::Day},
                                            {DatePart::Day, DatePart::Month, DatePart::Year}};
constexpr PartOrder kTwoNumberOrders[] = {{DatePart::Month, DatePart::Day},
                                          {DatePart::Day, DatePart::Month},
                                          {DatePart::Month, DatePart::Year},
                                          {DatePart::Year, DatePart::Month}};
// With the month named, its one or two numbers are the day and the year.
constexpr PartOrder kNamedMonthOrders[] = {{DatePart::Day, DatePart::Year}, {DatePart::Year, DatePart::Day}};

std::span<const PartOrder> PartOrdersFor(size_t numbers, bool monthNamed) noexcept
{
    if (monthNamed)
        return numbers == 1 || numbers == 2 ? kNamedMonthOrders : std::span<const PartOrder>();
    if (numbers == 2)
        return kTwoNumberOrders;
    if (numbers == 3)
        return kThreeNumberOrders;
    return {};
}

// Up to two digits name a year from 1930 to 2029, as Windows' default window does.
int YearOf(const DateToken& number) noexcept
{
    if (number.digits > 2)
        return number.value;
    return number.value + (number.value < 30 ? 2000 : 1900);
}

void SetDatePart(DatePart part, const DateToken& number, CivilTime& date) noexcept
{
    switch (part) {
    case DatePart::Year:
        date.year = YearOf(number);
        return;
    case DatePart::Month:
        date.month = number.value;
        return;
    case DatePart::Day:
        date.day = number.value;
        return;
    }
}

bool DateInOrder(std::span<const DateToken> numbers, const PartOrder& order, CivilTime& date) noexcept
{
    for (size_t i = 0; i < numbers.size(); ++i)
        SetDatePart(order[i], numbers[i], date);
    return IsValidCivilTime(date);
}

int CurrentYear() noexcept
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now.wYear;
}

bool JoinsDateParts(Separator separator) noexcept
{
    return separator == Separator::Blank || separator == Separator::Slash || separator == Separator::Dash;
}

// A date's numbers, and its month when it is named.
struct DateNumbers {
    DateToken numbers[3];
    size_t count = 0;
    int namedMonth = 0;
};

// Up to three numbers and one month name, apart by blanks, slashes or dashes.
std::optional<DateNumbers> DateNumbersOf(std::span<const DateToken> tokens) noexcept
{
    DateNumbers date;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const DateToken& token = tokens[i];
        if (token.kind == TokenKind::Meridiem || (i > 0 && !JoinsDateParts(token.before)))
            return std::nullopt;
        if (token.kind == TokenKind::Month) {
            if (date.namedMonth != 0)
                return std::nullopt;
            date.namedMonth = token.value;
        } else {
            if (date.count == 3)
                return std::nullopt;
            date.numbers[date.count++] = token;
        }
    }
    return date;
}

// The first order of the numbers that gives a real date wins.
bool ReadCalendarTokens(std::span<const DateToken> tokens, CivilTime& fields) noexcept
{
    const std::optional<DateNumbers> written = DateNumbersOf(tokens);
    if (!written)
        return false;
    CivilTime unwritten;
    unwritten.year = CurrentYear();
    unwritten.month = written->namedMonth;
    unwritten.day = 1;
    const std::span<const DateToken> numbers(written->numbers, written->count);
    for (const PartOrder& order : PartOrdersFor(written->count, written->namedMonth != 0)) {
        CivilTime date = unwritten;
        if (DateInOrder(numbers, order, date)) {
            fields.year = date.year;
            fields.month = date.month;
            fields.day = date.day;
            return true;
        }
    }
    return false;
}

// The forms en-US and the invariant locale read: a date, a time, or both.
std::optional<ReadDate> ReadEnglishForm(WideView text)
{
    const std::optional<std::vector<DateToken>> tokens = DateTokensOf(text);
    if (!tokens)
        return std::nullopt;
    const std::optional<DateAndClock> parts = SplitDateAndClock(*tokens);
    if (!parts)
        return std::nullopt;
    ReadDate read;
    if (!parts->clock.empty() && !ReadClockTokens(parts->clock, read.fields))
        return std::nullopt;
    if (parts->date.empty())
        return read;
    read.date = true;
    if (!ReadCalendarTokens(parts->date, read.fields))
        return std::nullopt;
    return read;
}

std::optional<ReadDate> ReadHostForm(WideView text, locale_t locale)
{
    const std::string narrow = ToUtf8(text);
    const std::string dateFormat = HostDateFormat(locale);
    const std::string timeFormat = HostTimeFormat(locale);
    const struct {
        std::string format;
        bool date;
    } forms[] = {{dateFormat + " " + timeFormat, true}, {dateFormat, true}, {timeFormat, false}};
    for (const auto& form : forms) {
        tm fields = HostFields(kDayZero);
        const char* end = strptime_l(narrow.c_str(), form.format.c_str(), &fields, locale);
        if (!end || *end != '\0')
            continue;
        ReadDate read;
        read.date = form.date;
        read.fields.year = fields.tm_year + 1900;
        read.fields.month = fields.tm_mon + 1;
        read.fields.day = fields.tm_mday;
        read.fields.hour = fields.tm_hour;
        read.fields.minute = fields.tm_min;
        read.fields.second = fields.tm_sec;
        return read;
    }
    return std::nullopt;
}

WideView TrimBlanks(WideView text) noexcept
{
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

HRESULT DateToText(DATE date, LCID lcid, ULONG flags, BSTR* text)
{
    if (!text)
        return E_INVALIDARG;
    *text = nullptr;
    CivilTime time;
    if (!DateToCivilTime(date, time))
        return E_INVALIDARG;
    const LocaleForDates locale = LocaleForDates::Open(lcid);
    const TextParts parts = PartsToWrite(time, flags);
    std::string written;
    if (parts.date)
        written = DateTextOf(time, locale);
    if (parts.time)
        written += (parts.date ? " " : "") + TimeTextOf(time, locale);
    const WideString wide = FromUtf8(written);
    *text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT DateToText(DATE date, BSTR* text)
{
    return DateToText(date, LOCALE_USER_DEFAULT, 0, text);
}

HRESULT TextToDate(WideView text, LCID lcid, ULONG flags, DATE* date)
{
    if (!date)
        return E_INVALIDARG;
    const WideView trimmed = TrimBlanks(text);
    const LocaleForDates locale = LocaleForDates::Open(lcid);
    std::optional<ReadDate> read =
        locale.Style() == DateStyle::Host ? ReadHostForm(trimmed, locale.Handle()) : ReadEnglishForm(trimmed);
    if (!read)
        read = ReadIsoForm(trimmed);
    if (!read)
        return DISP_E_TYPEMISMATCH;
    CivilTime fields = read->fields;
    if ((flags & VAR_TIMEVALUEONLY) || !read->date) {
        fields.year = kDayZero.year;
        fields.month = kDayZero.month;
        fields.day = kDayZero.day;
    } else if (flags & VAR_DATEVALUEONLY) {
        fields.hour = fields.minute = fields.second = 0;
    }
    DATE result = 0;
    if (!CivilTimeToDate(fields, result))
        return DISP_E_TYPEMISMATCH;
    *date = result;
    return S_OK;
}

HRESULT TextToDate(WideView text, DATE* date)
{
    return TextToDate(text, LOCALE_USER_DEFAULT, 0, date);
}

}  // namespace lumo::platform::oleaut32
