// UTF-16 text inside the stand-in: conversions to and from the UTF-8 of the host system.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace lumo::platform {

using WideString = std::u16string;
using WideView = std::u16string_view;

// The length of a NUL-terminated UTF-16 text; 0 for null.
size_t WideLength(const WCHAR* text) noexcept;

// A null pointer reads as the empty text.
inline WideView ViewOf(const WCHAR* text) noexcept
{
    return text ? WideView(text, WideLength(text)) : WideView();
}

// Unpaired surrogates become U+FFFD in UTF-8; invalid UTF-8 becomes U+FFFD in UTF-16.
// 'valid', when given, is set to false when any replacement was needed.
std::string ToUtf8(WideView text, bool* valid = nullptr);
WideString FromUtf8(std::string_view text, bool* valid = nullptr);
// The UTF-16 units FromUtf8 makes of text, and the same written to out, which has room for
// them: for a copy made straight into a buffer of its own.
size_t Utf16Length(std::string_view text) noexcept;
void DecodeUtf8Into(std::string_view text, char16_t* out) noexcept;

// Simple case folding of A-Z / a-z only, as the registry and the type library names compare.
WCHAR FoldAscii(WCHAR c) noexcept;
bool EqualsIgnoreAsciiCase(WideView a, WideView b) noexcept;

}  // namespace lumo::platform
