// The fuzz input as text: its bytes read as UTF-8, as the library's callers widen theirs.
#pragma once

#include <cstddef>

#include <windows.h>

#include "OleString.h"

inline OleString WidenUtf8(const char* bytes, size_t size)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
    OleString text(static_cast<size_t>(length), OLESTR('\0'));
    MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), text.data(), length);
    return text;
}
