// Expansion of environment variables in text.
#pragma once

#include "winnt.h"

// "%NAME%" becomes the variable's value; names the environment lacks stay as written, except
// TEMP and TMP, which a Windows environment always has: they expand to the temporary folder
// (GetTempPathW without its final separator). Returns the characters needed, NUL included.
WINBASEAPI DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize);
