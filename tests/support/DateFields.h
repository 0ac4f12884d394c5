// Calendar fields and automation dates for the date tests.
#pragma once

#include <limits>
#include <string>

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "OleString.h"

inline constexpr double kSecond = 1.0 / 86400.0;
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr DATE kEighthDecember2026 = 46364.0;

inline SYSTEMTIME Fields(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int milliseconds = 0)
{
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    return time;
}

inline std::string Show(const SYSTEMTIME& t)
{
    return std::to_string(t.wYear) + "-" + std::to_string(t.wMonth) + "-" + std::to_string(t.wDay) + " " +
           std::to_string(t.wHour) + ":" + std::to_string(t.wMinute) + ":" + std::to_string(t.wSecond) + "." +
           std::to_string(t.wMilliseconds) + " dow " + std::to_string(t.wDayOfWeek);
}

inline bool SameFields(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

// The platform's own date for the fields: whole seconds, no bias.
inline DATE PlatformDate(SYSTEMTIME fields)
{
    DATE date = kNaN;
    EXPECT_TRUE(SystemTimeToVariantTime(&fields, &date)) << Show(fields);
    return date;
}

// ASCII text for messages and comparisons.
inline std::string Narrow(const OleString& text)
{
    return std::string(text.begin(), text.end());
}
