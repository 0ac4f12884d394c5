#include "ZoTime.h"

#include <cmath>

#include <oleauto.h>

#include "ZoFormat.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoTime")

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr WORD kLastMillisecond = 999;

// The seconds into the day with their fraction. Before 30 December 1899 an automation date's
// fraction still counts the time forward from the day's start, but lies below the day
// number (-1.25 is 29 December 06:00), so the part of the day is taken by magnitude.
double SecondsIntoDay(DATE date)
{
    const double seconds = std::fabs(date - std::trunc(date)) * kSecondsPerDay;
    // Rounded to the microsecond, far below the milliseconds kept and far above the error of a
    // double: a date that arithmetic left a rounding error short of a whole second is read as
    // that second, not as its 999th millisecond before.
    return std::round(seconds * 1e6) / 1e6;
}

// Moves a date along the time of its own day; see SecondsIntoDay for why the sign matters.
DATE ShiftedWithinDay(DATE date, double days)
{
    return date < 0 ? date - days : date + days;
}

// The standard scanning of one "%Nhd" field: leading blanks, an optional sign, then digits,
// at most N characters in all, sign included.
class W3CScanner {
public:
    explicit W3CScanner(OleStringView text) : m_text(text.substr(0, text.find(OLECHAR(0)))) {}

    bool Number(size_t width, WORD& field)
    {
        SkipBlanks();
        size_t used = 0;
        bool negative = false;
        if (used < width && (Peek() == OLECHAR('+') || Peek() == OLECHAR('-'))) {
            negative = Peek() == OLECHAR('-');
            ++m_at;
            ++used;
        }
        int value = 0;
        size_t digits = 0;
        while (used < width && Peek() >= OLECHAR('0') && Peek() <= OLECHAR('9')) {
            value = value * 10 + (Peek() - OLECHAR('0'));
            ++m_at;
            ++used;
            ++digits;
        }
        if (digits == 0)
            return false;
        // Scanned as a short into an unsigned field: "-1" arrives as 65535 and fails as a field.
        field = static_cast<WORD>(static_cast<short>(negative ? -value : value));
        return true;
    }

    bool Literal(OLECHAR c)
    {
        if (Peek() != c)
            return false;
        ++m_at;
        return true;
    }

    // "%Nls": leading blanks, then 1 to N characters up to the next blank.
    bool Word(size_t width)
    {
        SkipBlanks();
        size_t used = 0;
        while (used < width && m_at < m_text.size() && !IsBlank(m_text[m_at])) {
            ++m_at;
            ++used;
        }
        return used > 0;
    }

private:
    static bool IsBlank(OLECHAR c) { return c == OLECHAR(' ') || (c >= OLECHAR('\t') && c <= OLECHAR('\r')); }

    OLECHAR Peek() const { return m_at < m_text.size() ? m_text[m_at] : OLECHAR(0); }

    void SkipBlanks()
    {
        while (m_at < m_text.size() && IsBlank(m_text[m_at]))
            ++m_at;
    }

    OleStringView m_text;
    size_t m_at = 0;
};

// The number of fields "%04hd-%02hd-%02hdT%02hd:%02hd:%02hd%06ls" reads, as the standard
// scanning counts them: it stops at the first field or literal that doesn't match.
int ScanW3CFields(OleStringView text, SYSTEMTIME& time)
{
    W3CScanner scan(text);
    const struct {
        size_t width;
        WORD* field;
        OLECHAR literalAfter;
    } numbers[] = {
        {4, &time.wYear, OLECHAR('-')},   {2, &time.wMonth, OLECHAR('-')}, {2, &time.wDay, OLECHAR('T')},
        {2, &time.wHour, OLECHAR(':')},   {2, &time.wMinute, OLECHAR(':')}, {2, &time.wSecond, OLECHAR(0)},
    };
    int fields = 0;
    for (const auto& number : numbers) {
        if (!scan.Number(number.width, *number.field))
            return fields;
        ++fields;
        if (number.literalAfter && !scan.Literal(number.literalAfter))
            return fields;
    }
    // The tail (a zone designator, an offset, a fraction of a second) is read and dropped.
    return scan.Word(6) ? fields + 1 : fields;
}

// Whether the fields name a real time in the years automation dates cover. Platforms are
// lenient in different ways (Windows moves 30 February into March, Wine takes the year 99),
// and either would read an invalid time as another one.
bool IsValidCalendarTime(const SYSTEMTIME& time)
{
    static constexpr WORD kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.wYear < 100 || time.wYear > 9999 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 ||
        time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59)
        return false;
    const bool leapYear = (time.wYear % 4 == 0 && time.wYear % 100 != 0) || time.wYear % 400 == 0;
    const WORD days = time.wMonth == 2 && leapYear ? WORD(29) : kDaysInMonth[time.wMonth - 1];
    return time.wDay <= days;
}

}  // namespace

DATE CZoTime::SystemTimeToVariantTime(const SYSTEMTIME& systemTime)
{
    ZO_FUNCTION(OLESTR("CZoTime::SystemTimeToVariantTime"))
    {
        SYSTEMTIME fields = systemTime;
        DATE date = 0;
        // The platform ignores the milliseconds; one beyond 999 would carry into the seconds
        // and come back as another time, so it is an invalid field like the others.
        if (!IsValidCalendarTime(systemTime) || !::SystemTimeToVariantTime(&fields, &date) ||
            systemTime.wMilliseconds > kLastMillisecond)
            ZO_RAISE(ZO_ERR_TIME_CONVERSION);
        // Half a millisecond more, so that the truncating split gives back the same millisecond.
        return ShiftedWithinDay(date, (systemTime.wMilliseconds + 0.5) / kMillisecondsPerDay);
    }
    ZO_FUNCTION_END
}

void CZoTime::VariantTimeToSystemTime(DATE date, SYSTEMTIME& systemTime)
{
    ZO_FUNCTION(OLESTR("CZoTime::VariantTimeToSystemTime"))
    {
        const double seconds = SecondsIntoDay(date);
        const double fraction = seconds - std::floor(seconds);
        // Without its part of a second, so that the platform can't round it up to the next one.
        // Built from the day and the whole seconds: taking the fraction off the date itself can
        // come out a unit of the double short, which before day 0 the platform reads as the
        // day's end.
        const DATE dayStart = std::trunc(date);
        const double wholeDays = std::floor(seconds) / kSecondsPerDay;
        const DATE wholeSeconds = date < 0 ? dayStart - wholeDays : dayStart + wholeDays;
        SYSTEMTIME fields{};
        if (!std::isfinite(date) || !::VariantTimeToSystemTime(wholeSeconds, &fields))
            ZO_RAISE(ZO_ERR_TIME_CONVERSION);
        fields.wMilliseconds = static_cast<WORD>(std::floor(fraction * 1000.0));
        systemTime = fields;
    }
    ZO_FUNCTION_END
}

OleString CZoTime::FormatDate(DATE date, ULONG flags)
{
    ZO_FRAME_NAME(OLESTR("CZoTime::FormatDate"));
    return ZoDetailingFrame(
        zoFunctionName, zoSourceFile, __LINE__,
        [&] {
            BSTR text = nullptr;
            if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, flags, &text)))
                return OleString(OLESTR("Invalid DateTime"));
            OleString result;
            try {
                result = ViewOfBstr(text);
            } catch (...) {
                SysFreeString(text);
                throw;
            }
            SysFreeString(text);
            return result;
        },
        [&](CZoException& error) { error.AddInfo(OLESTR("Date"), ZoFormat(OLESTR("%0.16f"), date)); });
}

OleString CZoTime::FormatW3CDate(DATE date)
{
    ZO_FUNCTION(OLESTR("CZoTime::FormatW3CDate"))
    {
        SYSTEMTIME fields{};
        VariantTimeToSystemTime(date, fields);
        // "Z" although the clock fields are whatever clock the date came from: no conversion.
        return ZoFormat(OLESTR("%04d-%02d-%02dT%02d:%02d:%02d%s"), int(fields.wYear), int(fields.wMonth),
                        int(fields.wDay), int(fields.wHour), int(fields.wMinute), int(fields.wSecond), OLESTR("Z"));
    }
    ZO_FUNCTION_END
}

DATE CZoTime::ParseW3CDate(OleStringView text)
{
    ZO_FUNCTION(OLESTR("CZoTime::ParseW3CDate"))
    {
        SYSTEMTIME fields{};
        if (ScanW3CFields(text, fields) != 7)
            return DATE(0.0);
        return SystemTimeToVariantTime(fields);
    }
    ZO_FUNCTION_END
}

DATE CZoTime::GetLocalTimeAsOleDate()
{
    ZO_FUNCTION(OLESTR("CZoTime::GetLocalTimeAsOleDate"))
    {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return SystemTimeToVariantTime(now);
    }
    ZO_FUNCTION_END
}
