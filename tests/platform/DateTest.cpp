// Automation dates: calendar time, text in the user's locale and back, the local time and the
// thread's locale.
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include "OleString.h"
#include "DateFields.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr LCID kEnglishUS = 0x0409;
constexpr LCID kGerman = 0x0407;
constexpr LCID kFrench = 0x040C;
constexpr LCID kEnglishUK = 0x0809;

// The text VarBstrFromDate gives, or nothing with its status.
struct TextResult {
    HRESULT hr;
    OleString text;
};

TextResult DateText(DATE date, LCID lcid = LOCALE_USER_DEFAULT, ULONG flags = 0)
{
    BSTR text = nullptr;
    const HRESULT hr = VarBstrFromDate(date, lcid, flags, &text);
    TextResult result{hr, OleString(ViewOfBstr(text))};
    SysFreeString(text);
    return result;
}

// Sets the locale variables for as long as it lives and restores them after.
class ScopedLocaleEnvironment {
public:
    ScopedLocaleEnvironment(const OLECHAR* all, const OLECHAR* time = nullptr, const OLECHAR* lang = nullptr)
    {
        const OLECHAR* values[3] = {all, time, lang};
        for (int i = 0; i < 3; ++i) {
            OLECHAR buffer[256];
            const DWORD length = GetEnvironmentVariableW(kNames[i], buffer, 256);
            if (length > 0 && length < 256)
                m_saved[i] = OleString(buffer, length);
            SetEnvironmentVariableW(kNames[i], values[i]);
        }
    }
    ~ScopedLocaleEnvironment()
    {
        for (int i = 0; i < 3; ++i)
            SetEnvironmentVariableW(kNames[i], m_saved[i] ? m_saved[i]->c_str() : nullptr);
    }
    ScopedLocaleEnvironment(const ScopedLocaleEnvironment&) = delete;
    ScopedLocaleEnvironment& operator=(const ScopedLocaleEnvironment&) = delete;

private:
    static constexpr const OLECHAR* kNames[3] = {OLESTR("LC_ALL"), OLESTR("LC_TIME"), OLESTR("LANG")};
    std::optional<OleString> m_saved[3];
};

// Texts depend on the user's locale: these tests pin it to the C locale, which writes as
// Windows' en-US does.
class DateTextTest : public ::testing::Test {
protected:
    ScopedLocaleEnvironment m_locale{OLESTR("C")};
};

TEST(SystemTimeToVariantTime, ConvertsValidFields)
{
    struct Case {
        const char* what;
        SYSTEMTIME fields;
        DATE date;
    };
    const Case cases[] = {
        {"day zero", Fields(1899, 12, 30), 0.0},
        {"noon of 1 January 1900", Fields(1900, 1, 1, 12), 2.5},
        {"6 am of 2 January 1900", Fields(1900, 1, 2, 6), 3.25},
        // Before day zero the fraction counts the time forward below the day number.
        {"6 am of 29 December 1899", Fields(1899, 12, 29, 6), -1.25},
        {"6 pm of 28 December 1899", Fields(1899, 12, 28, 18), -2.75},
        {"first day", Fields(100, 1, 1), -657434.0},
        {"last day", Fields(9999, 12, 31), 2958465.0},
        {"leap day of 2024", Fields(2024, 2, 29), 45351.0},
        {"leap day of 2000", Fields(2000, 2, 29), 36585.0},
        // Years 0 to 99 are two-digit years: 00-49 are 2000-2049, 50-99 are 1950-1999.
        {"year 0 is 2000", Fields(0, 1, 1), 36526.0},
        {"year 49 is 2049", Fields(49, 12, 31), 54788.0},
        {"year 50 is 1950", Fields(50, 1, 1), 18264.0},
        {"year 99 is 1999", Fields(99, 12, 31), 36525.0},
        {"milliseconds ignored", Fields(2026, 12, 8, 0, 0, 0, 999), kEighthDecember2026},
        // Days the month lacks are fixed, as Windows does.
        {"30 February 2024 is 1 March", Fields(2024, 2, 30), 45352.0},
        {"29 February 2026 is 1 March", Fields(2026, 2, 29), 46082.0},
        {"31 April is 1 May", Fields(2026, 4, 31), 46143.0},
        {"day 0 is the last of the previous month", Fields(2026, 3, 0), 46081.0},
        {"day 0 of January is 31 December", Fields(2026, 1, 0, 12), 46022.5},
    };
    for (const auto& c : cases) {
        SYSTEMTIME fields = c.fields;
        DATE date = kNaN;
        ASSERT_TRUE(SystemTimeToVariantTime(&fields, &date)) << c.what;
        EXPECT_DOUBLE_EQ(c.date, date) << c.what;
    }
}

TEST(SystemTimeToVariantTime, RejectsInvalidFields)
{
    struct Case {
        const char* what;
        SYSTEMTIME fields;
    };
    const Case cases[] = {
        {"year 10000", Fields(10000, 1, 1)},
        {"month 0", Fields(2026, 0, 1)},
        {"month 13", Fields(2026, 13, 1)},
        {"day 32", Fields(2026, 1, 32)},
        {"day 0 of the first month", Fields(100, 1, 0)},
        {"hour 24", Fields(2026, 1, 1, 24)},
        {"minute 60", Fields(2026, 1, 1, 0, 60)},
        {"second 60", Fields(2026, 1, 1, 0, 0, 60)},
    };
    for (const auto& c : cases) {
        SYSTEMTIME fields = c.fields;
        DATE date = 123.0;
        EXPECT_FALSE(SystemTimeToVariantTime(&fields, &date)) << c.what;
    }
    DATE date = 0;
    EXPECT_FALSE(SystemTimeToVariantTime(nullptr, &date));
    SYSTEMTIME fields = Fields(2026, 1, 1);
    EXPECT_FALSE(SystemTimeToVariantTime(&fields, nullptr));
}

TEST(VariantTimeToSystemTime, SplitsAndRoundsToTheSecond)
{
    struct Case {
        const char* what;
        DATE date;
        SYSTEMTIME fields;
        int dayOfWeek;
    };
    const Case cases[] = {
        {"day zero", 0.0, Fields(1899, 12, 30), 6},
        {"noon of 1 January 1900", 2.5, Fields(1900, 1, 1, 12), 1},
        {"before day zero", -1.25, Fields(1899, 12, 29, 6), 5},
        {"negative time on day zero", -0.25, Fields(1899, 12, 30, 6), 6},
        {"evening of 8 December 2026", kEighthDecember2026 + 76008 * kSecond, Fields(2026, 12, 8, 21, 6, 48), 2},
        {"0.4 s rounds down", kEighthDecember2026 + 76008.4 * kSecond, Fields(2026, 12, 8, 21, 6, 48), 2},
        {"0.6 s rounds up", kEighthDecember2026 + 76008.6 * kSecond, Fields(2026, 12, 8, 21, 6, 49), 2},
        {"rounds into the next day", kEighthDecember2026 + 86399.6 * kSecond, Fields(2026, 12, 9), 3},
        {"rounds into the next day before day zero", -1.0 - 86399.6 * kSecond, Fields(1899, 12, 30), 6},
        {"first day", -657434.0, Fields(100, 1, 1), 5},
        {"last second", 2958465.0 + 86399 * kSecond, Fields(9999, 12, 31, 23, 59, 59), 5},
    };
    for (const auto& c : cases) {
        SYSTEMTIME fields{};
        fields.wMilliseconds = 77;
        ASSERT_TRUE(VariantTimeToSystemTime(c.date, &fields)) << c.what;
        EXPECT_TRUE(SameFields(c.fields, fields)) << c.what << ": " << Show(fields);
        EXPECT_EQ(c.dayOfWeek, fields.wDayOfWeek) << c.what;
    }
}

TEST(VariantTimeToSystemTime, RejectsDatesOutsideTheYears100To9999)
{
    struct Case {
        const char* what;
        DATE date;
    };
    const Case cases[] = {
        {"day before the first", -657435.0},
        {"rounds into year 10000", 2958465.0 + 86399.7 * kSecond},
        {"day after the last", 2958466.0},
        {"not a number", kNaN},
        {"infinity", kInfinity},
        {"minus infinity", -kInfinity},
    };
    for (const auto& c : cases) {
        SYSTEMTIME fields{};
        EXPECT_FALSE(VariantTimeToSystemTime(c.date, &fields)) << c.what;
    }
    EXPECT_FALSE(VariantTimeToSystemTime(0.0, nullptr));
}

// Every day of the range, at a time of day that moves with it, comes back as it went in.
TEST(VariantTimeToSystemTime, InvertsSystemTimeToVariantTimeOverTheWholeRange)
{
    for (int day = -657434; day <= 2958465; day += 97) {
        const int second = static_cast<int>((static_cast<long long>(day) * 7919 % 86400 + 86400) % 86400);
        SYSTEMTIME split{};
        const DATE date = day < 0 ? day - second * kSecond : day + second * kSecond;
        ASSERT_TRUE(VariantTimeToSystemTime(date, &split)) << day;
        SYSTEMTIME fields = split;
        DATE back = kNaN;
        ASSERT_TRUE(SystemTimeToVariantTime(&fields, &back)) << day;
        ASSERT_EQ(date, back) << day << " " << Show(split);
        ASSERT_EQ(second, split.wHour * 3600 + split.wMinute * 60 + split.wSecond) << day << " " << Show(split);
    }
}

TEST_F(DateTextTest, WritesTheUserLocaleForms)
{
    const DATE evening = kEighthDecember2026 + 76008 * kSecond;
    struct Case {
        const char* what;
        DATE date;
        LCID lcid;
        ULONG flags;
        const OLECHAR* text;
    };
    const Case cases[] = {
        {"date and time", evening, LOCALE_USER_DEFAULT, 0, OLESTR("12/8/2026 9:06:48 PM")},
        {"midnight: the date alone", kEighthDecember2026, LOCALE_USER_DEFAULT, 0, OLESTR("12/8/2026")},
        {"rounds to midnight: the date alone", kEighthDecember2026 + 0.2 * kSecond, LOCALE_USER_DEFAULT, 0,
         OLESTR("12/8/2026")},
        {"day zero: the time alone", 76008 * kSecond, LOCALE_USER_DEFAULT, 0, OLESTR("9:06:48 PM")},
        {"day zero at midnight", 0.0, LOCALE_USER_DEFAULT, 0, OLESTR("12:00:00 AM")},
        {"noon", kEighthDecember2026 + 0.5, LOCALE_USER_DEFAULT, 0, OLESTR("12/8/2026 12:00:00 PM")},
        {"a minute past midnight", kEighthDecember2026 + 60 * kSecond, LOCALE_USER_DEFAULT, 0,
         OLESTR("12/8/2026 12:01:00 AM")},
        {"before day zero", -1.25, LOCALE_USER_DEFAULT, 0, OLESTR("12/29/1899 6:00:00 AM")},
        {"year without leading zeros", -657434.0, LOCALE_USER_DEFAULT, 0, OLESTR("1/1/100")},
        {"date value only", evening, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, OLESTR("12/8/2026")},
        {"date value only on day zero", 0.5, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, OLESTR("12/30/1899")},
        {"time value only", evening, LOCALE_USER_DEFAULT, VAR_TIMEVALUEONLY, OLESTR("9:06:48 PM")},
        {"time value only at midnight", kEighthDecember2026, LOCALE_USER_DEFAULT, VAR_TIMEVALUEONLY,
         OLESTR("12:00:00 AM")},
        {"other flags change nothing", evening, LOCALE_USER_DEFAULT, VAR_FOURDIGITYEARS | LOCALE_NOUSEROVERRIDE,
         OLESTR("12/8/2026 9:06:48 PM")},
        {"system default", evening, LOCALE_SYSTEM_DEFAULT, 0, OLESTR("12/8/2026 9:06:48 PM")},
        {"en-US", evening, kEnglishUS, 0, OLESTR("12/8/2026 9:06:48 PM")},
        {"invariant", evening, LOCALE_INVARIANT, 0, OLESTR("12/08/2026 21:06:48")},
        {"invariant date", kEighthDecember2026, LOCALE_INVARIANT, 0, OLESTR("12/08/2026")},
        {"invariant time", 0.25, LOCALE_INVARIANT, 0, OLESTR("06:00:00")},
        {"unknown locale writes as en-US", evening, 0x7C7C, 0, OLESTR("12/8/2026 9:06:48 PM")},
    };
    for (const auto& c : cases) {
        const TextResult result = DateText(c.date, c.lcid, c.flags);
        EXPECT_EQ(S_OK, result.hr) << c.what;
        EXPECT_EQ(OleString(c.text), result.text) << c.what << ": " << Narrow(result.text);
    }
}

TEST_F(DateTextTest, RejectsDatesOutsideTheRange)
{
    for (DATE date : {-657435.0, 2958466.0, 2958465.0 + 86399.7 * kSecond, kNaN, kInfinity}) {
        const TextResult result = DateText(date);
        EXPECT_EQ(E_INVALIDARG, result.hr) << date;
        EXPECT_TRUE(result.text.empty()) << date;
    }
    EXPECT_EQ(E_INVALIDARG, VarBstrFromDate(0.0, LOCALE_USER_DEFAULT, 0, nullptr));
}

TEST(DateTextLocale, TheCLocaleFamilyAndUnavailableLocalesWriteAsEnUS)
{
    const DATE evening = kEighthDecember2026 + 76008 * kSecond;
    struct Case {
        const char* what;
        const OLECHAR* all;
        const OLECHAR* time;
        const OLECHAR* lang;
    };
    const Case cases[] = {
        {"nothing set", nullptr, nullptr, nullptr},
        {"POSIX", OLESTR("POSIX"), nullptr, nullptr},
        {"C.UTF-8 in LANG", nullptr, nullptr, OLESTR("C.UTF-8")},
        {"en_US in LC_TIME", nullptr, OLESTR("en_US.UTF-8"), nullptr},
        {"a locale no host has", OLESTR("xx_YY.UTF-8"), nullptr, nullptr},
    };
    for (const auto& c : cases) {
        ScopedLocaleEnvironment locale(c.all, c.time, c.lang);
        EXPECT_EQ(OleString(OLESTR("12/8/2026 9:06:48 PM")), DateText(evening).text) << c.what;
    }
}

// Only where the host has the German locale: its own forms, with a four-digit year.
TEST(DateTextLocale, AHostLocaleWritesItsOwnForms)
{
    ScopedLocaleEnvironment locale(OLESTR("de_DE.UTF-8"));
    const TextResult result = DateText(kEighthDecember2026 + 76008 * kSecond);
    if (result.text == OLESTR("12/8/2026 9:06:48 PM"))
        GTEST_SKIP() << "the host lacks de_DE.UTF-8";
    EXPECT_EQ(OleString(OLESTR("08.12.2026 21:06:48")), result.text);
    DATE back = 0;
    ASSERT_EQ(S_OK, VarDateFromStr(result.text.c_str(), LOCALE_USER_DEFAULT, 0, &back));
    EXPECT_DOUBLE_EQ(kEighthDecember2026 + 76008 * kSecond, back);
}

TEST_F(DateTextTest, ReadsTheWrittenAndTheIsoForms)
{
    const DATE evening = PlatformDate(Fields(2026, 12, 8, 21, 6, 48));
    struct Case {
        const char* what;
        const OLECHAR* text;
        LCID lcid;
        ULONG flags;
        DATE date;
    };
    const Case cases[] = {
        {"date and time", OLESTR("12/8/2026 9:06:48 PM"), LOCALE_USER_DEFAULT, 0, evening},
        {"date alone", OLESTR("12/8/2026"), LOCALE_USER_DEFAULT, 0, kEighthDecember2026},
        {"time alone is on day zero", OLESTR("9:06:48 PM"), LOCALE_USER_DEFAULT, 0, 76008 * kSecond},
        {"midnight", OLESTR("12:00:00 AM"), LOCALE_USER_DEFAULT, 0, 0.0},
        {"half past noon without seconds", OLESTR("12:30 pm"), LOCALE_USER_DEFAULT, 0, 0.5 + 1800 * kSecond},
        {"24-hour clock", OLESTR("12/8/2026 21:06:48"), LOCALE_USER_DEFAULT, 0, evening},
        {"invariant form", OLESTR("12/08/2026 21:06:48"), LOCALE_INVARIANT, 0, evening},
        {"blanks around", OLESTR("  12/8/2026   9:06:48PM "), LOCALE_USER_DEFAULT, 0, evening},
        {"two-digit year up to 29", OLESTR("12/8/26"), LOCALE_USER_DEFAULT, 0, kEighthDecember2026},
        {"two-digit year from 30", OLESTR("1/1/30"), LOCALE_USER_DEFAULT, 0, PlatformDate(Fields(1930, 1, 1))},
        {"before day zero", OLESTR("12/29/1899 6:00:00 AM"), LOCALE_USER_DEFAULT, 0, -1.25},
        {"ISO date", OLESTR("2026-12-08"), LOCALE_USER_DEFAULT, 0, kEighthDecember2026},
        {"ISO date and time", OLESTR("2026-12-08T21:06:48"), LOCALE_USER_DEFAULT, 0, evening},
        {"ISO with Z", OLESTR("2026-12-08T21:06:48Z"), LOCALE_USER_DEFAULT, 0, evening},
        {"ISO with a blank", OLESTR("2026-12-08 21:06:48"), LOCALE_USER_DEFAULT, 0, evening},
        {"date value only", OLESTR("12/8/2026 9:06:48 PM"), LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY,
         kEighthDecember2026},
        {"time value only", OLESTR("12/8/2026 9:06:48 PM"), LOCALE_USER_DEFAULT, VAR_TIMEVALUEONLY, 76008 * kSecond},
    };
    for (const auto& c : cases) {
        DATE date = kNaN;
        EXPECT_EQ(S_OK, VarDateFromStr(c.text, c.lcid, c.flags, &date)) << c.what;
        EXPECT_DOUBLE_EQ(c.date, date) << c.what;
    }
}

// The time of day as a fraction of the day.
constexpr double Clock(int hour, int minute, int second = 0)
{
    return (hour * 3600 + minute * 60 + second) * kSecond;
}

struct TextAndDate {
    const char* what;
    const OLECHAR* text;
    DATE date;
};

// What Windows reads with en-US; day 0 is 30 December 1899.
const TextAndDate kEnglishUSShapes[] = {
    // Three numbers: month first, else year first, else day first.
    {"slashes", OLESTR("1/2/1970"), 25570.0},
    {"dashes", OLESTR("1-2-1970"), 25570.0},
    {"blanks", OLESTR("1 2 1970"), 25570.0},
    {"day first when the first number is no month", OLESTR("13-1-1970"), 25581.0},
    {"day first with slashes", OLESTR("13/1/2026"), 46035.0},
    {"year first", OLESTR("1970-1-13"), 25581.0},
    {"two-digit year last", OLESTR("1 2 3"), 37623.0},
    {"two-digit day", OLESTR("2 14 3"), 37666.0},
    {"two-digit year first when it is no month", OLESTR("14 2 3"), 41673.0},
    {"two-digit year 14 last", OLESTR("2 3 14"), 41673.0},
    {"two-digit year 32 first", OLESTR("32 2 3"), 11722.0},
    {"two-digit year 32 last", OLESTR("2 3 32"), 11722.0},
    {"two-digit year 29 is 2029", OLESTR("1 2 29"), 47120.0},
    {"two-digit year 30 is 1930", OLESTR("1 2 30"), 10960.0},
    {"two-digit year 31 is 1931", OLESTR("1 2 31"), 11325.0},
    // Two numbers that can't be a month and a day: a month and a year, on the month's first.
    {"year and month", OLESTR("30 2"), 10990.0},
    {"month and year", OLESTR("2 30"), 10990.0},
    // Month names, in full or by their first three letters.
    {"day, month, comma and year", OLESTR("2 January, 1970"), 25570.0},
    {"day, month and year", OLESTR("2 January 1970"), 25570.0},
    {"abbreviated month", OLESTR("2 Jan 1970"), 25570.0},
    {"abbreviated month with slashes", OLESTR("2/Jan/1970"), 25570.0},
    {"abbreviated month with dashes", OLESTR("2-Jan-1970"), 25570.0},
    {"month first", OLESTR("January 2, 1970"), 25570.0},
    {"month name in capitals", OLESTR("2 JANUARY 1970"), 25570.0},
    // A month name with a number that can't be a day: the year, on the month's first.
    {"month, year", OLESTR("Jan 35"), 12785.0},
    {"year, month", OLESTR("35 Jan"), 12785.0},
    {"month-year", OLESTR("Jan-35"), 12785.0},
    {"year-month", OLESTR("35-Jan"), 12785.0},
    {"month/year", OLESTR("Jan/35"), 12785.0},
    {"year/month", OLESTR("35/Jan"), 12785.0},
    // Times alone, on day 0. AM and PM change the hours 0 to 12 only.
    {"hour with am", OLESTR("1 am"), 1.0 / 24},
    {"one-digit minutes", OLESTR("3:5"), Clock(3, 5)},
    {"hour 0", OLESTR("0:1"), Clock(0, 1)},
    {"hour 0 AM", OLESTR("00:00 AM"), 0.0},
    {"A", OLESTR("00:00 a"), 0.0},
    {"half past hour 0 AM", OLESTR("0:30 AM"), Clock(0, 30)},
    {"12 AM is hour 0", OLESTR("12:59 AM"), Clock(0, 59)},
    {"12 A", OLESTR("12:59 A"), Clock(0, 59)},
    {"hour 0 PM is noon", OLESTR("00:00 pm"), 0.5},
    {"P", OLESTR("00:00 p"), 0.5},
    {"12 PM is noon", OLESTR("12:59 pm"), Clock(12, 59)},
    {"12 P", OLESTR("12:59 p"), Clock(12, 59)},
    {"AM after hour 13", OLESTR("13:00 AM"), Clock(13, 0)},
    {"PM after hour 13", OLESTR("13:00 PM"), Clock(13, 0)},
    // A date and a time.
    {"24-hour time", OLESTR("6/30/2011 01:20:34"), 40724.0 + Clock(1, 20, 34)},
    {"AM time", OLESTR("6/30/2011 01:20:34 AM"), 40724.0 + Clock(1, 20, 34)},
    {"PM time", OLESTR("6/30/2011 01:20:34 PM"), 40724.0 + Clock(13, 20, 34)},
    {"PM after hour 13 with a date", OLESTR("12/8/2026 13:00 PM"), kEighthDecember2026 + Clock(13, 0)},
    {"year first and time", OLESTR("2013-05-14 02:04:12"), 41408.0 + Clock(2, 4, 12)},
    {"month name and time", OLESTR("December 8, 2026 9:06 PM"), kEighthDecember2026 + Clock(21, 6)},
    {"abbreviated month and time", OLESTR("8-Dec-2026 21:06:48"), kEighthDecember2026 + Clock(21, 6, 48)},
};

TEST_F(DateTextTest, ReadsTheEnglishUSShapesWindowsReads)
{
    for (const auto& c : kEnglishUSShapes) {
        DATE date = kNaN;
        EXPECT_EQ(S_OK, VarDateFromStr(c.text, kEnglishUS, 0, &date)) << c.what;
        EXPECT_DOUBLE_EQ(c.date, date) << c.what;
    }
}

struct TextAndDayOfTheYear {
    const char* what;
    const OLECHAR* text;
    int month;
    int day;
    int hour;
};

// Dates without a year, which Windows reads in the current year.
const TextAndDayOfTheYear kDatesWithoutAYear[] = {
    {"month first", OLESTR("1 2"), 1, 2, 0},
    {"month first, both can be months", OLESTR("2 1"), 2, 1, 0},
    {"day first when the first number is no month", OLESTR("14 1"), 1, 14, 0},
    {"month and day past 12", OLESTR("1 14"), 1, 14, 0},
    {"slashes", OLESTR("12/8"), 12, 8, 0},
    {"month name and day", OLESTR("Jan 2"), 1, 2, 0},
    {"day and month name", OLESTR("2 Jan"), 1, 2, 0},
    {"time first", OLESTR("3 am 1 2"), 1, 2, 3},
    {"time last", OLESTR("1 2 3 am"), 1, 2, 3},
};

TEST_F(DateTextTest, ReadsADateWithoutAYearInTheCurrentYear)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    for (const auto& c : kDatesWithoutAYear) {
        DATE date = kNaN;
        EXPECT_EQ(S_OK, VarDateFromStr(c.text, kEnglishUS, 0, &date)) << c.what;
        EXPECT_DOUBLE_EQ(PlatformDate(Fields(now.wYear, c.month, c.day, c.hour)), date) << c.what;
    }
}

// Text Windows reads as no date with en-US.
const OLECHAR* const kTextsThatNameNoDate[] = {
    OLESTR(""),
    OLESTR("   "),
    OLESTR("tomorrow"),
    OLESTR("True"),
    OLESTR("2/30/2026"),
    OLESTR("12/8/2026x"),
    OLESTR("25:00"),
    OLESTR("24:00"),
    OLESTR("0:60"),
    OLESTR("2026-13-01"),
    OLESTR("2026-12-08T25:00"),
    OLESTR("10000-01-01"),
    // A number alone, and AM or PM where there is no time for it.
    OLESTR("0"),
    OLESTR("1"),
    OLESTR("12345"),
    OLESTR("1 2 am"),
    OLESTR("1 am 2"),
    OLESTR("1 2 am 3"),
    OLESTR("1 2 3 am 4"),
    // Numbers that make no date.
    OLESTR("2 32 3"),
    OLESTR("32 49"),
    OLESTR("0 49"),
    OLESTR("1 2 3 4"),
    // Characters that part no date's numbers.
    OLESTR("1;2;3"),
    OLESTR("1*2*3"),
    OLESTR("(1:2)"),
    OLESTR("-1.1"),
    OLESTR("1.1-"),
    OLESTR("02.01.1970"),
    OLESTR("02.01.1970 00:00:00"),
    OLESTR("2013-05-14 02:04:12.017000000"),
};

TEST_F(DateTextTest, RejectsTextThatNamesNoDate)
{
    for (const OLECHAR* text : kTextsThatNameNoDate) {
        DATE date = 5.0;
        EXPECT_EQ(DISP_E_TYPEMISMATCH, VarDateFromStr(text, kEnglishUS, 0, &date)) << Narrow(text);
        EXPECT_EQ(5.0, date) << Narrow(text);
    }
    DATE date = 0;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VarDateFromStr(nullptr, LOCALE_USER_DEFAULT, 0, &date));
    EXPECT_EQ(E_INVALIDARG, VarDateFromStr(OLESTR("12/8/2026"), LOCALE_USER_DEFAULT, 0, nullptr));
}

TEST_F(DateTextTest, WrittenTextReadsBackAsTheSameDate)
{
    const DATE dates[] = {0.0, 0.75, kEighthDecember2026, PlatformDate(Fields(2026, 12, 8, 21, 6, 48)), -1.25,
                          PlatformDate(Fields(100, 1, 1, 23, 59, 59)), PlatformDate(Fields(9999, 12, 31, 12, 0, 1))};
    for (LCID lcid : {LCID(LOCALE_USER_DEFAULT), LCID(LOCALE_INVARIANT)}) {
        for (DATE date : dates) {
            const TextResult written = DateText(date, lcid);
            ASSERT_EQ(S_OK, written.hr) << date;
            DATE back = kNaN;
            EXPECT_EQ(S_OK, VarDateFromStr(written.text.c_str(), lcid, 0, &back)) << Narrow(written.text);
            EXPECT_DOUBLE_EQ(date, back) << Narrow(written.text);
        }
    }
}

TEST_F(DateTextTest, VariantChangeTypeConvertsBetweenDateAndText)
{
    VARIANT date;
    VariantInit(&date);
    V_VT(&date) = VT_DATE;
    V_DATE(&date) = PlatformDate(Fields(2026, 12, 8, 21, 6, 48));
    VARIANT text;
    VariantInit(&text);
    ASSERT_EQ(S_OK, VariantChangeType(&text, &date, 0, VT_BSTR));
    ASSERT_EQ(VT_BSTR, V_VT(&text));
    EXPECT_EQ(OleString(OLESTR("12/8/2026 9:06:48 PM")), OleString(ViewOfBstr(V_BSTR(&text))));

    VARIANT back;
    VariantInit(&back);
    ASSERT_EQ(S_OK, VariantChangeType(&back, &text, 0, VT_DATE));
    ASSERT_EQ(VT_DATE, V_VT(&back));
    EXPECT_DOUBLE_EQ(V_DATE(&date), V_DATE(&back));

    VariantClear(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(OLESTR("not a date"));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantChangeType(&back, &text, 0, VT_DATE));
    V_DATE(&date) = 2958466.0;
    VARIANT failed;
    VariantInit(&failed);
    EXPECT_EQ(E_INVALIDARG, VariantChangeType(&failed, &date, 0, VT_BSTR));
    EXPECT_EQ(VT_EMPTY, V_VT(&failed));
    VariantClear(&text);
}

TEST(LocalTime, GivesValidFieldsWithTheirDayOfWeek)
{
    for (auto read : {&GetLocalTime, &GetSystemTime}) {
        SYSTEMTIME now{};
        now.wMonth = 13;
        read(&now);
        EXPECT_LE(now.wMilliseconds, 999);
        SYSTEMTIME fields = now;
        DATE date = 0;
        ASSERT_TRUE(SystemTimeToVariantTime(&fields, &date)) << Show(now);
        SYSTEMTIME split{};
        ASSERT_TRUE(VariantTimeToSystemTime(date, &split));
        EXPECT_EQ(split.wDayOfWeek, now.wDayOfWeek) << Show(now);
        EXPECT_GE(now.wYear, 2024);
    }
    GetLocalTime(nullptr);
}

TEST(Locales, TheUserLocaleComesFromTheEnvironment)
{
    struct Case {
        const char* what;
        const OLECHAR* all;
        const OLECHAR* time;
        const OLECHAR* lang;
        LCID lcid;
    };
    const Case cases[] = {
        {"nothing set", nullptr, nullptr, nullptr, kEnglishUS},
        {"C", OLESTR("C"), nullptr, nullptr, kEnglishUS},
        {"LANG", nullptr, nullptr, OLESTR("en_GB.UTF-8"), kEnglishUK},
        {"LC_TIME before LANG", nullptr, OLESTR("fr_FR.UTF-8"), OLESTR("en_GB.UTF-8"), kFrench},
        {"LC_ALL before LC_TIME", OLESTR("de_DE.UTF-8"), OLESTR("fr_FR.UTF-8"), OLESTR("en_GB.UTF-8"), kGerman},
        {"modifier", OLESTR("de_DE@euro"), nullptr, nullptr, kGerman},
        {"unknown name", OLESTR("xx_YY"), nullptr, nullptr, kEnglishUS},
    };
    for (const auto& c : cases) {
        ScopedLocaleEnvironment locale(c.all, c.time, c.lang);
        EXPECT_EQ(c.lcid, GetUserDefaultLCID()) << c.what;
        EXPECT_EQ(c.lcid, GetSystemDefaultLCID()) << c.what;
    }
}

// On a thread of its own, so that the test's thread keeps following the user's locale.
TEST(Locales, EachThreadHasItsOwnLocale)
{
    ScopedLocaleEnvironment userLocale(OLESTR("en_GB.UTF-8"));
    std::thread([] {
        EXPECT_EQ(kEnglishUK, GetThreadLocale());
        ASSERT_TRUE(SetThreadLocale(kGerman));
        EXPECT_EQ(kGerman, GetThreadLocale());
        std::thread([] { EXPECT_EQ(kEnglishUK, GetThreadLocale()); }).join();

        SetLastError(0);
        EXPECT_FALSE(SetThreadLocale(0x7C7C));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
        EXPECT_EQ(kGerman, GetThreadLocale());

        ASSERT_TRUE(SetThreadLocale(LOCALE_INVARIANT));
        EXPECT_EQ(static_cast<LCID>(LOCALE_INVARIANT), GetThreadLocale());
        ASSERT_TRUE(SetThreadLocale(LOCALE_USER_DEFAULT));
        EXPECT_EQ(kEnglishUK, GetThreadLocale());
    }).join();
}

}  // namespace
