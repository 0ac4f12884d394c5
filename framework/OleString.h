// The project's one wide string type: UTF-16 on every target.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

using OleString = std::basic_string<OLECHAR>;
using OleStringView = std::basic_string_view<OLECHAR>;

// A BSTR or other OLE text as a view; null reads as empty. BSTRs keep embedded NULs when
// viewed with ViewOfBstr.
inline OleStringView ViewOfOleText(const OLECHAR* text) noexcept
{
    return text ? OleStringView(text) : OleStringView();
}
inline OleStringView ViewOfBstr(BSTR text) noexcept
{
    return text ? OleStringView(text, SysStringLen(text)) : OleStringView();
}
