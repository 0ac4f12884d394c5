// Points in time in the three forms the library handles: calendar time (SYSTEMTIME), the
// automation date (a double counting days from 30 December 1899, no time zone) and text.
//
// Milliseconds travel through automation dates with a half-millisecond bias: a date made
// from a calendar time lies half a millisecond past its millisecond, so that splitting it
// again (which truncates) gives back the same millisecond.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoTime {
public:
    CZoTime() = delete;

    // Error 2002 "Time conversion failed." for invalid fields or a year outside 100..9999.
    static DATE SystemTimeToVariantTime(const SYSTEMTIME& systemTime);
    // Error 2002 "Time conversion failed." for a date outside the platform's range.
    static void VariantTimeToSystemTime(DATE date, SYSTEMTIME& systemTime);

    // The date in the user's default locale, flags as VarBstrFromDate takes them; with flags 0
    // the date alone at midnight and the time alone on 30 December 1899. A date the platform
    // can't write gives "Invalid DateTime".
    static OleString FormatDate(DATE date, ULONG flags);
    // "YYYY-MM-DDThh:mm:ssZ", the clock fields as they stand (no conversion to UTC).
    static OleString FormatW3CDate(DATE date);
    // The inverse of FormatW3CDate; whatever follows the seconds is ignored. Text that doesn't
    // scan gives 0.0; fields that scan but are invalid raise error 2002.
    static DATE ParseW3CDate(OleStringView text);
    static DATE GetLocalTimeAsOleDate();
};
