#include "oleaut32/DateCalendar.h"

#include <cmath>

namespace lumo::platform::oleaut32 {
namespace {

constexpr long long kSecondsPerDay = 86400;
// Days from 1 March of year 0 (proleptic) to 30 December 1899, the automation day 0.
constexpr long long kEpochDays = 693899;

bool IsLeapYear(int year) noexcept
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) noexcept
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Counting from March puts the leap day at the end of the year, so each year's day number is
// a closed formula; the 400-year era repeats exactly.
long long DayNumberOf(int year, int month, int day) noexcept
{
    const long long y = month <= 2 ? year - 1 : year;
    const long long era = y / 400;  // years from 100 on are positive
    const long long yearOfEra = y - era * 400;
    const long long monthFromMarch = month > 2 ? month - 3 : month + 9;
    const long long dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - kEpochDays;
}

void SetDateOfDayNumber(long long dayNumber, CivilTime& time) noexcept
{
    const long long z = dayNumber + kEpochDays;
    const long long era = z / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthFromMarch = (5 * dayOfYear + 2) / 153;
    time.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    time.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
    // Day 0 was a Saturday.
    time.dayOfWeek = static_cast<int>(((dayNumber + 6) % 7 + 7) % 7);
}

}  // namespace

bool IsValidCivilTime(const CivilTime& time) noexcept
{
    return time.year >= 100 && time.year <= 9999 && time.month >= 1 && time.month <= 12 && time.day >= 1 &&
           time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 && time.hour <= 23 &&
           time.minute >= 0 && time.minute <= 59 && time.second >= 0 && time.second <= 59;
}

namespace {

DATE DateOfDayAndTime(long long dayNumber, const CivilTime& time) noexcept
{
    const double day = static_cast<double>(dayNumber);
    const double timeOfDay = static_cast<double>(time.hour * 3600 + time.minute * 60 + time.second) /
                             static_cast<double>(kSecondsPerDay);
    // Before day 0 the fraction still counts the time forward, so it lies below the day number.
    return day < 0 ? day - timeOfDay : day + timeOfDay;
}

}  // namespace

bool CivilTimeToDate(const CivilTime& time, DATE& date) noexcept
{
    if (!IsValidCivilTime(time))
        return false;
    date = DateOfDayAndTime(DayNumberOf(time.year, time.month, time.day), time);
    return true;
}

bool CivilTimeToDateFixingDay(const CivilTime& time, DATE& date) noexcept
{
    CivilTime firstOfMonth = time;
    firstOfMonth.day = 1;
    if (time.day < 0 || time.day > 31 || !IsValidCivilTime(firstOfMonth))
        return false;
    const long long dayNumber = DayNumberOf(time.year, time.month, 1) + (time.day - 1);
    if (dayNumber < static_cast<long long>(kFirstDayOfAutomationDates) ||
        dayNumber > static_cast<long long>(kLastDayOfAutomationDates))
        return false;
    date = DateOfDayAndTime(dayNumber, time);
    return true;
}

bool DateToCivilTime(DATE date, CivilTime& time) noexcept
{
    if (!(date > kFirstDayOfAutomationDates - 1.0 && date < kLastDayOfAutomationDates + 1.0))
        return false;
    const double wholeDays = std::trunc(date);
    const long long secondOfDay = std::llround(std::fabs(date - wholeDays) * static_cast<double>(kSecondsPerDay));
    // On the time line the second of day counts forward from the day's start, whatever the sign.
    const long long instant = static_cast<long long>(wholeDays) * kSecondsPerDay + secondOfDay;
    const long long dayNumber =
        instant >= 0 ? instant / kSecondsPerDay : -((-instant + kSecondsPerDay - 1) / kSecondsPerDay);
    const long long second = instant - dayNumber * kSecondsPerDay;
    SetDateOfDayNumber(dayNumber, time);
    time.hour = static_cast<int>(second / 3600);
    time.minute = static_cast<int>(second / 60 % 60);
    time.second = static_cast<int>(second % 60);
    return IsValidCivilTime(time);
}

}  // namespace lumo::platform::oleaut32
