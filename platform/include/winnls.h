// Locales: the thread's locale and the user's and system's default locales.
//
// The stand-in takes the user's locale from the environment (LC_ALL, else LC_TIME, else
// LANG) and knows the identifiers of a small table of locales; a locale it doesn't know is
// reported as en-US (0x0409), whose formats it also uses when the host lacks the locale.
#pragma once

#include "winnt.h"

// In the flags of the conversions that take a locale: the locale's own settings, not the user's.
#define LOCALE_NOUSEROVERRIDE 0x80000000

WINBASEAPI LCID WINAPI GetUserDefaultLCID();
WINBASEAPI LCID WINAPI GetSystemDefaultLCID();
// The thread's locale starts as the user's default locale.
WINBASEAPI LCID WINAPI GetThreadLocale();
// FALSE with ERROR_INVALID_PARAMETER for a locale the stand-in doesn't know;
// LOCALE_USER_DEFAULT and LOCALE_SYSTEM_DEFAULT stand for the locales they name.
WINBASEAPI BOOL WINAPI SetThreadLocale(LCID Locale);
