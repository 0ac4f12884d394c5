// Debugger output: each text goes to syslog (priority LOG_DEBUG) and, when the environment
// variable LUMOITEMS_DEBUGLOG names a file, is appended to it as one UTF-8 line in which "\",
// tab, CR and LF are written "\\", "\t", "\r" and "\n".
#pragma once

#include "winnt.h"

WINBASEAPI void WINAPI OutputDebugStringW(LPCWSTR lpOutputString);
