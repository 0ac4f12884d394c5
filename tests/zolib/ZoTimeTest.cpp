// CZoTime: calendar time and automation dates with milliseconds, the W3C text both ways, the
// locale text and the local time.
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include "ZoTestSupport.h"
#include "ZoTime.h"
#include "DateFields.h"

namespace {

constexpr double kMillisecond = 1.0 / 86400000.0;

// The locale text is the user's: pinned to the C locale, which writes as Windows' en-US does.
class ScopedCLocale {
public:
    ScopedCLocale()
    {
        OLECHAR buffer[256];
        const DWORD length = GetEnvironmentVariableW(OLESTR("LC_ALL"), buffer, 256);
        if (length > 0 && length < 256)
            m_saved = OleString(buffer, length);
        SetEnvironmentVariableW(OLESTR("LC_ALL"), OLESTR("C"));
    }
    ~ScopedCLocale() { SetEnvironmentVariableW(OLESTR("LC_ALL"), m_saved ? m_saved->c_str() : nullptr); }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    std::optional<OleString> m_saved;
};

// The raising entry, then one trace entry per frame passed, innermost first.
void ExpectTimeConversionError(const std::vector<EntryView>& entries, const std::vector<const OLECHAR*>& frames,
                               const char* what)
{
    ASSERT_EQ(frames.size() + 1, entries.size()) << what;
    EXPECT_EQ(OLESTR("Time conversion failed."), entries[0].description) << what;
    EXPECT_EQ(OLESTR("2002"), entries[0].code) << what;
    EXPECT_EQ(OLESTR(".\\ZoTime"), entries[0].file) << what;
    EXPECT_EQ(OleString(frames[0]), entries[0].function) << what;
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(OLESTR("1005"), entries[i + 1].code) << what << " frame " << i;
        EXPECT_EQ(OleString(frames[i]), entries[i + 1].function) << what << " frame " << i;
    }
}

struct RoundTripCase {
    const char* what;
    SYSTEMTIME fields;
    const OLECHAR* w3c;
};
const RoundTripCase kRoundTrips[] = {
    {"evening with milliseconds", Fields(2026, 12, 8, 21, 6, 48, 123), OLESTR("2026-12-08T21:06:48Z")},
    {"no milliseconds", Fields(2026, 12, 8, 21, 6, 48, 0), OLESTR("2026-12-08T21:06:48Z")},
    {"last millisecond of a day", Fields(2026, 12, 8, 23, 59, 59, 999), OLESTR("2026-12-08T23:59:59Z")},
    {"day zero", Fields(1899, 12, 30, 0, 0, 0, 0), OLESTR("1899-12-30T00:00:00Z")},
    {"first day", Fields(100, 1, 1, 0, 0, 0, 1), OLESTR("0100-01-01T00:00:00Z")},
    {"last millisecond", Fields(9999, 12, 31, 23, 59, 59, 999), OLESTR("9999-12-31T23:59:59Z")},
    // Before day zero the time of day lies below the day number; the milliseconds go with it.
    {"midnight before day zero", Fields(1899, 12, 29, 0, 0, 0, 0), OLESTR("1899-12-29T00:00:00Z")},
    {"last millisecond before day zero", Fields(1899, 12, 29, 23, 59, 59, 999), OLESTR("1899-12-29T23:59:59Z")},
    {"1800 with half a second", Fields(1800, 1, 1, 12, 0, 0, 500), OLESTR("1800-01-01T12:00:00Z")},
    // Days whose whole-second date a subtraction of the fraction left a unit short.
    {"26 December 1899", Fields(1899, 12, 26, 0, 0, 0, 0), OLESTR("1899-12-26T00:00:00Z")},
    {"5 ms into 29 December 1899", Fields(1899, 12, 29, 0, 0, 0, 5), OLESTR("1899-12-29T00:00:00Z")},
    {"13 April 1810", Fields(1810, 4, 13, 0, 0, 0, 0), OLESTR("1810-04-13T00:00:00Z")},
};

TEST(ZoTimeSystemTime, RoundTripsEveryFieldWithMilliseconds)
{
    for (const auto& c : kRoundTrips) {
        const DATE date = CZoTime::SystemTimeToVariantTime(c.fields);
        SYSTEMTIME back{};
        CZoTime::VariantTimeToSystemTime(date, back);
        EXPECT_TRUE(SameFields(c.fields, back)) << c.what << ": " << Show(back);
        EXPECT_EQ(OleString(c.w3c), CZoTime::FormatW3CDate(date)) << c.what;
    }
}

TEST(ZoTimeSystemTime, AddsHalfAMillisecondToThePlatformDate)
{
    for (int milliseconds : {0, 1, 123, 999}) {
        const SYSTEMTIME fields = Fields(2026, 12, 8, 21, 6, 48, milliseconds);
        EXPECT_EQ(PlatformDate(fields) + (milliseconds + 0.5) * kMillisecond, CZoTime::SystemTimeToVariantTime(fields))
            << milliseconds;
    }
    // Before day zero the platform date moves the other way, so that every other reader of
    // the date (the locale text among them) still sees the same second and day.
    const SYSTEMTIME before = Fields(1899, 12, 29, 0, 0, 0, 0);
    EXPECT_EQ(-1.0 - 0.5 * kMillisecond, CZoTime::SystemTimeToVariantTime(before));
    SYSTEMTIME platformView{};
    ASSERT_TRUE(VariantTimeToSystemTime(CZoTime::SystemTimeToVariantTime(before), &platformView));
    EXPECT_TRUE(SameFields(before, platformView)) << Show(platformView);
}

TEST(ZoTimeSystemTime, InvalidFieldsRaiseTimeConversionFailed)
{
    const RoundTripCase cases[] = {
        {"month 13", Fields(2026, 13, 1), nullptr},
        {"30 February", Fields(2026, 2, 30), nullptr},
        {"29 February 2100", Fields(2100, 2, 29), nullptr},
        {"31 April", Fields(2026, 4, 31), nullptr},
        {"day 0", Fields(2026, 3, 0), nullptr},
        {"year 99", Fields(99, 1, 1), nullptr},
        {"hour 24", Fields(2026, 1, 1, 24), nullptr},
        // It would carry into the seconds and come back as another time.
        {"millisecond 1000", Fields(2026, 1, 1, 0, 0, 0, 1000), nullptr},
    };
    for (const auto& c : cases) {
        const auto entries = RaisedEntries([&] { CZoTime::SystemTimeToVariantTime(c.fields); });
        ExpectTimeConversionError(entries, {OLESTR("CZoTime::SystemTimeToVariantTime")}, c.what);
    }
}

TEST(ZoTimeSystemTime, SplitsTheMillisecondsByTruncation)
{
    struct Case {
        const char* what;
        DATE date;
        SYSTEMTIME fields;
    };
    const Case cases[] = {
        {"a quarter second", kEighthDecember2026 + (76008 + 0.2506) * kSecond, Fields(2026, 12, 8, 21, 6, 48, 250)},
        {"never rounded up to the next second", kEighthDecember2026 + (86399 + 0.9996) * kSecond,
         Fields(2026, 12, 8, 23, 59, 59, 999)},
        // Half of the platform's whole-second dates lie a rounding error below their second.
        {"a platform date a rounding error short", PlatformDate(Fields(2026, 12, 8, 0, 0, 2)),
         Fields(2026, 12, 8, 0, 0, 2, 0)},
        {"the platform date of the evening", PlatformDate(Fields(2026, 12, 8, 21, 6, 48)),
         Fields(2026, 12, 8, 21, 6, 48, 0)},
        {"before day zero", -1.25 - 0.2506 * kSecond, Fields(1899, 12, 29, 6, 0, 0, 250)},
        {"negative time on day zero", -0.25, Fields(1899, 12, 30, 6, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        SYSTEMTIME fields{};
        CZoTime::VariantTimeToSystemTime(c.date, fields);
        EXPECT_TRUE(SameFields(c.fields, fields)) << c.what << ": " << Show(fields);
    }
}

TEST(ZoTimeSystemTime, DatesOutsideThePlatformRangeRaiseTimeConversionFailed)
{
    for (DATE date : {2958466.0, -657435.0, kNaN, std::numeric_limits<double>::infinity()}) {
        const auto entries = RaisedEntries([&] {
            SYSTEMTIME fields{};
            CZoTime::VariantTimeToSystemTime(date, fields);
        });
        ExpectTimeConversionError(entries, {OLESTR("CZoTime::VariantTimeToSystemTime")}, std::to_string(date).c_str());
        const auto w3c = RaisedEntries([&] { CZoTime::FormatW3CDate(date); });
        ExpectTimeConversionError(w3c, {OLESTR("CZoTime::VariantTimeToSystemTime"), OLESTR("CZoTime::FormatW3CDate")},
                                  std::to_string(date).c_str());
    }
}

TEST(ZoTimeW3C, FormatsTheClockFieldsAsTheyStand)
{
    struct Case {
        const char* what;
        DATE date;
        const OLECHAR* text;
    };
    const Case cases[] = {
        {"day zero", 0.0, OLESTR("1899-12-30T00:00:00Z")},
        {"platform date", PlatformDate(Fields(2026, 12, 8, 21, 6, 48)), OLESTR("2026-12-08T21:06:48Z")},
        {"platform date a rounding error short", PlatformDate(Fields(2026, 12, 8, 0, 0, 2)),
         OLESTR("2026-12-08T00:00:02Z")},
        {"milliseconds dropped", CZoTime::SystemTimeToVariantTime(Fields(2026, 12, 8, 21, 6, 48, 999)),
         OLESTR("2026-12-08T21:06:48Z")},
        {"before day zero", -1.25, OLESTR("1899-12-29T06:00:00Z")},
        {"first day", -657434.0, OLESTR("0100-01-01T00:00:00Z")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OleString(c.text), CZoTime::FormatW3CDate(c.date)) << c.what;
}

TEST(ZoTimeW3C, ParsesTheClockFieldsAndIgnoresTheTail)
{
    const DATE evening = PlatformDate(Fields(2026, 12, 8, 21, 6, 48)) + 0.5 * kMillisecond;
    struct Case {
        const char* what;
        const OLECHAR* text;
        DATE date;
    };
    const Case cases[] = {
        {"zone Z", OLESTR("2026-12-08T21:06:48Z"), evening},
        {"offset not applied", OLESTR("2026-12-08T21:06:48+05:00"), evening},
        {"negative offset", OLESTR("2026-12-08T21:06:48-08:00"), evening},
        {"fraction dropped", OLESTR("2026-12-08T21:06:48.250Z"), evening},
        {"text after the tail", OLESTR("2026-12-08T21:06:48Z and more"), evening},
        {"blanks before numbers and tail", OLESTR(" 2026- 12-08T21: 06:48 Z"), evening},
        // The sign counts toward the field's width.
        {"signed month", OLESTR("2026-+1-08T21:06:48Z"),
         PlatformDate(Fields(2026, 1, 8, 21, 6, 48)) + 0.5 * kMillisecond},
        {"signed year too wide", OLESTR("+2026-12-08T21:06:48Z"), 0.0},
        {"short fields", OLESTR("2026-1-8T1:2:3Z"), PlatformDate(Fields(2026, 1, 8, 1, 2, 3)) + 0.5 * kMillisecond},
        {"no tail", OLESTR("2026-12-08T21:06:48"), 0.0},
        {"empty", OLESTR(""), 0.0},
        {"blank", OLESTR("   "), 0.0},
        {"not a date", OLESTR("yesterday"), 0.0},
        {"blank in place of T", OLESTR("2026-12-08 21:06:48Z"), 0.0},
        {"lower-case t", OLESTR("2026-12-08t21:06:48Z"), 0.0},
        {"five-digit year", OLESTR("20261-12-08T21:06:48Z"), 0.0},
        {"three-digit seconds", OLESTR("2026-12-08T21:06:480"), evening},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.date, CZoTime::ParseW3CDate(c.text)) << c.what;
}

TEST(ZoTimeW3C, ParsedDatesFormatBackToTheSameText)
{
    for (const auto& c : kRoundTrips) {
        const DATE parsed = CZoTime::ParseW3CDate(c.w3c);
        EXPECT_EQ(OleString(c.w3c), CZoTime::FormatW3CDate(parsed)) << c.what;
    }
}

TEST(ZoTimeW3C, InvalidFieldsThatScanRaiseTimeConversionFailed)
{
    const OLECHAR* const texts[] = {
        OLESTR("2026-13-01T00:00:00Z"),
        OLESTR("2026-02-30T00:00:00Z"),
        OLESTR("2026-12-08T24:00:00Z"),
        OLESTR("0099-12-31T00:00:00Z"),
        // Scanned as a short into an unsigned field.
        OLESTR("-001-01-01T00:00:00Z"),
    };
    for (const OLECHAR* text : texts) {
        const auto entries = RaisedEntries([&] { CZoTime::ParseW3CDate(text); });
        ExpectTimeConversionError(entries,
                                  {OLESTR("CZoTime::SystemTimeToVariantTime"), OLESTR("CZoTime::ParseW3CDate")},
                                  Narrow(text).c_str());
    }
}

TEST(ZoTimeFormatDate, WritesTheUserLocaleText)
{
    ScopedCLocale locale;
    struct Case {
        const char* what;
        DATE date;
        ULONG flags;
        const OLECHAR* text;
    };
    const Case cases[] = {
        {"date and time", CZoTime::ParseW3CDate(OLESTR("2026-12-08T21:06:48Z")), 0, OLESTR("12/8/2026 9:06:48 PM")},
        {"whole day: the date alone", kEighthDecember2026, 0, OLESTR("12/8/2026")},
        {"parsed midnight: the date alone", CZoTime::ParseW3CDate(OLESTR("2026-12-08T00:00:00Z")), 0,
         OLESTR("12/8/2026")},
        {"between 0 and 1: the time alone", 0.75, 0, OLESTR("6:00:00 PM")},
        {"flags passed through", kEighthDecember2026 + 0.75, VAR_TIMEVALUEONLY, OLESTR("6:00:00 PM")},
        {"parsed midnight before day zero", CZoTime::ParseW3CDate(OLESTR("1899-12-29T00:00:00Z")), 0,
         OLESTR("12/29/1899")},
        {"parsed noon of 1800", CZoTime::ParseW3CDate(OLESTR("1800-01-01T12:00:00Z")), 0,
         OLESTR("1/1/1800 12:00:00 PM")},
        {"beyond the range", 2958466.0, 0, OLESTR("Invalid DateTime")},
        {"not a number", kNaN, 0, OLESTR("Invalid DateTime")},
    };
    for (const auto& c : cases) {
        const OleString text = CZoTime::FormatDate(c.date, c.flags);
        EXPECT_EQ(OleString(c.text), text) << c.what << ": " << Narrow(text);
    }
}

TEST(ZoTimeLocalTime, LiesBetweenTwoReadingsOfTheClock)
{
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const DATE now = CZoTime::GetLocalTimeAsOleDate();
    SYSTEMTIME after{};
    GetLocalTime(&after);
    EXPECT_LE(CZoTime::SystemTimeToVariantTime(before), now);
    EXPECT_GE(CZoTime::SystemTimeToVariantTime(after), now);
    // The half-millisecond bias marks a date made from calendar time with its milliseconds.
    const double milliseconds = std::fmod(now - std::floor(now), kSecond) / kMillisecond;
    EXPECT_NEAR(std::floor(milliseconds) + 0.5, milliseconds, 0.01);
}

}  // namespace
