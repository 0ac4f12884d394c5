// The user's, the system's and each thread's locale identifier.
#include <windows.h>

#include "kernel32/Locales.h"

namespace {

// 0 until the thread sets its locale: it then follows the user's locale.
thread_local LCID t_threadLocale = 0;

}  // namespace

LCID WINAPI GetUserDefaultLCID()
{
    return lumo::platform::kernel32::LcidOfEnvironment();
}

// A Linux host has no system locale apart from the environment's.
LCID WINAPI GetSystemDefaultLCID()
{
    return lumo::platform::kernel32::LcidOfEnvironment();
}

LCID WINAPI GetThreadLocale()
{
    return t_threadLocale ? t_threadLocale : GetUserDefaultLCID();
}

BOOL WINAPI SetThreadLocale(LCID Locale)
{
    if (Locale == LOCALE_USER_DEFAULT || Locale == LOCALE_SYSTEM_DEFAULT)
        Locale = GetUserDefaultLCID();
    if (!lumo::platform::kernel32::IsKnownLcid(Locale)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    t_threadLocale = Locale;
    return TRUE;
}
