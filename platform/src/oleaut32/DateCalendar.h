// The calendar arithmetic of automation dates, shared by the date functions and date texts.
#pragma once

#include <windows.h>

namespace lumo::platform::oleaut32 {

// A proleptic Gregorian date and a time of day to the second.
struct CivilTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 0;  // 0 = Sunday; filled by DateToCivilTime, ignored on input
};

// Whether the fields name a real date and time in the years 100 to 9999.
bool IsValidCivilTime(const CivilTime& time) noexcept;

// False for fields IsValidCivilTime rejects.
bool CivilTimeToDate(const CivilTime& time, DATE& date) noexcept;
// As Windows converts a system time: a day from 0 to 31 that the month doesn't have is fixed,
// a day beyond the month's last moving into the next month and day 0 naming the last day of
// the previous one. False for other invalid fields and for dates outside the years 100 to 9999.
bool CivilTimeToDateFixingDay(const CivilTime& time, DATE& date) noexcept;

// Rounded to the nearest second, as Windows resolves dates; false for NaN and for dates that
// don't round into the years 100 to 9999.
bool DateToCivilTime(DATE date, CivilTime& time) noexcept;

// The day numbers of the first and the last day automation dates can name.
inline constexpr DATE kFirstDayOfAutomationDates = -657434.0;  // 1 January 100
inline constexpr DATE kLastDayOfAutomationDates = 2958465.0;   // 31 December 9999

}  // namespace lumo::platform::oleaut32
