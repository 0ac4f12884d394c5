#include "oleaut32/DateText.h"

#include <locale.h>
#include <langinfo.h>
#include <time.h>

#include <cstdio>
#include <optional>
#include <string>

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
    size_t Position() const noexcept { return m_at; }
    void MoveTo(size_t position) noexcept { m_at = position; }

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

    bool Word(WideView word) noexcept
    {
        if (m_text.size() - m_at < word.size() || !EqualsIgnoreAsciiCase(m_text.substr(m_at, word.size()), word))
            return false;
        m_at += word.size();
        return true;
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

bool ReadSlashDate(DateScanner& scan, CivilTime& fields) noexcept
{
    size_t yearDigits = 0;
    if (!(scan.Number(1, 2, fields.month) && scan.Literal(u'/') && scan.Number(1, 2, fields.day) &&
          scan.Literal(u'/') && scan.Number(1, 4, fields.year, &yearDigits)))
        return false;
    if (yearDigits <= 2)
        fields.year += fields.year < 30 ? 2000 : 1900;
    return true;
}

// h:mm[:ss], and with a meridiem allowed, an optional AM or PM after optional blanks.
bool ReadClock(DateScanner& scan, CivilTime& fields, bool meridiemAllowed) noexcept
{
    fields.second = 0;
    if (!(scan.Number(1, 2, fields.hour) && scan.Literal(u':') && scan.Number(2, 2, fields.minute)))
        return false;
    if (scan.Literal(u':') && !scan.Number(2, 2, fields.second))
        return false;
    if (!meridiemAllowed)
        return true;
    const size_t beforeBlanks = scan.Position();
    scan.SkipBlanks();
    const bool am = scan.Word(u"AM");
    const bool pm = !am && scan.Word(u"PM");
    if (!am && !pm) {
        scan.MoveTo(beforeBlanks);
        return true;
    }
    if (fields.hour < 1 || fields.hour > 12)
        return false;
    fields.hour = fields.hour % 12 + (pm ? 12 : 0);
    return true;
}

std::optional<ReadDate> ReadIsoForm(WideView text) noexcept
{
    DateScanner scan(text);
    ReadDate read;
    if (!ReadIsoDate(scan, read.fields))
        return std::nullopt;
    read.date = true;
    if (scan.Literal(u'T') || scan.Literal(u' ')) {
        if (!ReadClock(scan, read.fields, false))
            return std::nullopt;
        scan.Literal(u'Z');
    }
    if (!scan.AtEnd())
        return std::nullopt;
    return read;
}

std::optional<ReadDate> ReadMonthFirstForm(WideView text) noexcept
{
    DateScanner scan(text);
    ReadDate read;
    if (ReadSlashDate(scan, read.fields)) {
        read.date = true;
        if (scan.SkipBlanks()) {
            if (!ReadClock(scan, read.fields, true))
                return std::nullopt;
        }
    } else {
        scan.MoveTo(0);
        read.fields = kDayZero;
        if (!ReadClock(scan, read.fields, true))
            return std::nullopt;
    }
    if (!scan.AtEnd())
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
        locale.Style() == DateStyle::Host ? ReadHostForm(trimmed, locale.Handle()) : ReadMonthFirstForm(trimmed);
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
