// Automation dates as text: VarBstrFromDate and VarDateFromStr, and VariantChangeType between
// VT_DATE and VT_BSTR.
//
// Written forms, by locale (see kernel32/Locales.h for which locale an identifier names):
//   en-US, C, POSIX, and any locale the host lacks   12/8/2026 9:06:48 PM (1/1/100: no zeros
//                                                    before the year)
//   invariant (LOCALE_INVARIANT)                     12/08/2026 21:06:48
//   any other host locale                            its own date form, with the year in full,
//                                                    and its own time form
// With no flags: the date alone when the time, rounded to the second, is 00:00:00; the time
// alone on 30 December 1899 (day 0). VAR_TIMEVALUEONLY gives the time alone, else
// VAR_DATEVALUEONLY the date alone; the other flags change nothing (Gregorian calendar,
// years in full always).
//
// Read forms, blanks around the text allowed, letters in any case:
//   2026-12-08, 2026-12-08T21:06[:48][Z], 2026-12-08 21:06[:48]     (ISO: four-digit year)
// and, for a host locale of its own, that locale's written forms; for the others, as Windows
// reads en-US, a date, a time (alone: on day 0), or both a blank apart in either order:
//   numbers apart by '/', '-', or blanks and commas; the first reading that is a real date:
//     three: month first (12/8/2026), year first (2026-12-8), day first (13-1-2026)
//     two: month and day of the current year (12/8), day and month (13 1), month and year,
//          year and month on the month's first (2 30, 30 2: 1 February 1930)
//   a month's name or its first three letters with the day and year (8 December, 2026;
//     Dec 8 2026), or with one number: the day in the current year (Dec 8), else the year
//     on the month's first (Jan 35: 1 January 1935)
//   times h:m[:s] (9:6 is 9:06), with AM or PM (A, P) or without, and h with AM or PM
//     (1 am); AM and PM change the hours 0 to 12 only (0:30 AM, 13:00 PM is 13:00)
// A two-digit year means 1930 to 2029, as Windows' default window does.
#pragma once

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform::oleaut32 {

HRESULT DateToText(DATE date, LCID lcid, ULONG flags, BSTR* text);
// For the user's default locale with no flags, as VariantChangeType converts.
HRESULT DateToText(DATE date, BSTR* text);

HRESULT TextToDate(WideView text, LCID lcid, ULONG flags, DATE* date);
HRESULT TextToDate(WideView text, DATE* date);

}  // namespace lumo::platform::oleaut32
