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

// Character types and case mappings, from the host's Unicode tables (C.UTF-8); without them
// only ASCII letters and digits are classified and mapped.
#define CT_CTYPE1 0x00000001
#define C1_UPPER 0x0001
#define C1_LOWER 0x0002
#define C1_DIGIT 0x0004
#define C1_SPACE 0x0008
#define C1_PUNCT 0x0010
#define C1_CNTRL 0x0020
#define C1_BLANK 0x0040
#define C1_XDIGIT 0x0080
#define C1_ALPHA 0x0100
#define C1_DEFINED 0x0200
#define LCMAP_LOWERCASE 0x00000100
#define LCMAP_UPPERCASE 0x00000200

// CT_CTYPE1 only; other kinds fail with ERROR_INVALID_FLAGS.
WINBASEAPI BOOL WINAPI GetStringTypeW(DWORD dwInfoType, LPCWSTR lpSrcStr, int cchSrc, LPWORD lpCharType);
// LCMAP_UPPERCASE or LCMAP_LOWERCASE, one character for one, whatever the locale.
WINBASEAPI int WINAPI LCMapStringW(LCID Locale, DWORD dwMapFlags, LPCWSTR lpSrcStr, int cchSrc, LPWSTR lpDestStr,
                                   int cchDest);
