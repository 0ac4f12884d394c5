// The library's one formatting helper: printf-style formatting with a wide format string.
//
// The conventions are those of the Windows wide printf family on every target:
//   %s  wide string (const OLECHAR*)     %S  narrow string (const char*, ANSI code page)
//   %c  wide character                   %C  narrow character
//   %hs %hc narrow, %ls %ws %lc %wc wide, whatever the conversion letter
//   %d %i %u %x %X %o     int (32-bit); "l" and "I32" are also 32-bit, as LONG is on Windows;
//                         "h" is short; "ll" and "I64" are 64-bit
//   %f %e %E %g %G        double
//   %%                    a percent sign
// with the flags "-", "+", "0", "#" and space, a width and a precision, each of which may be
// "*" (taken from the arguments; a negative width means left alignment, a negative precision
// none). Numbers are formatted by the C library and always with "." as the decimal point.
// A null string prints "(null)". A conversion not listed here is copied to the output as it
// stands and takes no argument. Widths and precisions above 65535 are taken as 65535.
#pragma once

#include <cstdarg>
#include <string>

#include <windows.h>

#include "OleString.h"

OleString ZoFormat(const OLECHAR* format, ...);
OleString ZoFormatV(const OLECHAR* format, va_list args);

// Text in the ANSI code page as wide text; null reads as empty.
OleString ZoAnsiToOle(const char* text);
// Wide text in the ANSI code page; characters it lacks become the code page's default.
std::string ZoOleToAnsi(OleStringView text);
