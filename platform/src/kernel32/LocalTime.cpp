// The current time as calendar time, local and UTC.
#include <windows.h>

#include <time.h>

namespace {

void FillSystemTime(const tm& fields, long nanoseconds, SYSTEMTIME& time) noexcept
{
    time.wYear = static_cast<WORD>(fields.tm_year + 1900);
    time.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    time.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
    time.wDay = static_cast<WORD>(fields.tm_mday);
    time.wHour = static_cast<WORD>(fields.tm_hour);
    time.wMinute = static_cast<WORD>(fields.tm_min);
    // A leap second reads as the last second of its minute, as SYSTEMTIME allows no 60.
    time.wSecond = static_cast<WORD>(fields.tm_sec > 59 ? 59 : fields.tm_sec);
    time.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

template <class Split>
void ReadClock(LPSYSTEMTIME lpSystemTime, Split split) noexcept
{
    // Windows faults on a null pointer; the stand-in leaves it alone.
    if (!lpSystemTime)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm fields{};
    split(&now.tv_sec, &fields);
    FillSystemTime(fields, now.tv_nsec, *lpSystemTime);
}

}  // namespace

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime)
{
    ReadClock(lpSystemTime, localtime_r);
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime)
{
    ReadClock(lpSystemTime, gmtime_r);
}
