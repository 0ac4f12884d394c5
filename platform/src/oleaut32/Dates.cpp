// Automation dates: to and from calendar time and text.
#include <windows.h>
#include <oleauto.h>

#include "oleaut32/DateCalendar.h"
#include "oleaut32/DateText.h"

using lumo::platform::oleaut32::CivilTime;

INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime)
{
    if (!lpSystemTime || !pvtime)
        return FALSE;
    // The milliseconds are ignored: automation dates resolve to the second.
    CivilTime fields;
    fields.year = lpSystemTime->wYear;
    // Windows reads years 0 to 99 as two-digit years: 00-49 in this century, 50-99 in the last.
    if (fields.year < 100)
        fields.year += fields.year < 50 ? 2000 : 1900;
    fields.month = lpSystemTime->wMonth;
    fields.day = lpSystemTime->wDay;
    fields.hour = lpSystemTime->wHour;
    fields.minute = lpSystemTime->wMinute;
    fields.second = lpSystemTime->wSecond;
    return lumo::platform::oleaut32::CivilTimeToDateFixingDay(fields, *pvtime) ? TRUE : FALSE;
}

INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime)
{
    if (!lpSystemTime)
        return FALSE;
    CivilTime fields;
    if (!lumo::platform::oleaut32::DateToCivilTime(vtime, fields))
        return FALSE;
    lpSystemTime->wYear = static_cast<WORD>(fields.year);
    lpSystemTime->wMonth = static_cast<WORD>(fields.month);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(fields.dayOfWeek);
    lpSystemTime->wDay = static_cast<WORD>(fields.day);
    lpSystemTime->wHour = static_cast<WORD>(fields.hour);
    lpSystemTime->wMinute = static_cast<WORD>(fields.minute);
    lpSystemTime->wSecond = static_cast<WORD>(fields.second);
    lpSystemTime->wMilliseconds = 0;
    return TRUE;
}

HRESULT WINAPI VarBstrFromDate(DATE dateIn, LCID lcid, ULONG dwFlags, BSTR* pbstrOut)
{
    try {
        return lumo::platform::oleaut32::DateToText(dateIn, lcid, dwFlags, pbstrOut);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI VarDateFromStr(LPCOLESTR strIn, LCID lcid, ULONG dwFlags, DATE* pdateOut)
{
    // A missing text names no date, as Windows answers.
    if (!strIn)
        return DISP_E_TYPEMISMATCH;
    try {
        return lumo::platform::oleaut32::TextToDate(lumo::platform::ViewOf(strIn), lcid, dwFlags, pdateOut);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
