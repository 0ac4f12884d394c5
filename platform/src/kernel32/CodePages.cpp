// Code-page conversions. The ANSI, OEM and thread code pages are all UTF-8 here; Windows-1252
// and US-ASCII are offered for data that names them.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"

using namespace lumo::platform;

namespace {

constexpr UINT kCodePageWindows1252 = 1252;
constexpr UINT kCodePageAscii = 20127;
constexpr WCHAR kReplacementCharacter = 0xFFFD;

enum class CodePage { Utf8, Windows1252, Ascii };

std::optional<CodePage> CodePageOf(UINT codePage)
{
    switch (codePage) {
    case CP_ACP:
    case CP_OEMCP:
    case CP_THREAD_ACP:
    case CP_UTF8:
        return CodePage::Utf8;
    case kCodePageWindows1252:
        return CodePage::Windows1252;
    case kCodePageAscii:
        return CodePage::Ascii;
    default:
        return std::nullopt;
    }
}

// Bytes 0x80..0x9F of Windows-1252; the five bytes Windows leaves unassigned map to the C1
// control of the same number, as Windows maps them.
constexpr WCHAR kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

WideString DecodeSingleByte(CodePage page, std::string_view bytes, bool& valid)
{
    WideString out;
    out.reserve(bytes.size());
    valid = true;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(b);
        } else if (page == CodePage::Ascii) {
            out.push_back(kReplacementCharacter);
            valid = false;
        } else {
            out.push_back(b < 0xA0 ? kWindows1252High[b - 0x80] : static_cast<WCHAR>(b));
        }
    }
    return out;
}

std::optional<char> EncodeSingleByte(CodePage page, WCHAR c)
{
    if (c < 0x80)
        return static_cast<char>(c);
    if (page == CodePage::Ascii)
        return std::nullopt;
    if (c >= 0xA0 && c <= 0xFF)
        return static_cast<char>(c);
    for (size_t i = 0; i < 32; ++i)
        if (kWindows1252High[i] == c)
            return static_cast<char>(0x80 + i);
    return std::nullopt;
}

std::string EncodeSingleByte(CodePage page, WideView text, char defaultChar, bool& usedDefault)
{
    std::string out;
    out.reserve(text.size());
    usedDefault = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const WCHAR c = text[i];
        if (const auto b = EncodeSingleByte(page, c)) {
            out.push_back(*b);
            continue;
        }
        // A surrogate pair is one character and gets one default character.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        out.push_back(defaultChar);
        usedDefault = true;
    }
    return out;
}

// Copies a converted text to the caller's buffer with the documented size rules: a zero size
// asks for the length; a smaller one fails.
template <class Char, class Text>
int Deliver(const Text& converted, Char* out, int outSize)
{
    const int needed = static_cast<int>(converted.size());
    if (outSize == 0)
        return needed;
    if (needed > outSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
    return needed;
}

template <class Char>
bool ValidArguments(const Char* in, int inLength, const void* out, int outSize)
{
    return in && inLength != 0 && inLength >= -1 && outSize >= 0 && (out || outSize == 0) &&
           static_cast<const void*>(in) != out;
}

template <class Char>
size_t LengthOf(const Char* in, int inLength)
{
    if (inLength != -1)
        return static_cast<size_t>(inLength);
    size_t n = 0;
    while (in[n])
        ++n;
    return n + 1;  // the terminating NUL is converted too
}

constexpr DWORD kSingleByteDecodeFlags = MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS;
constexpr DWORD kSingleByteEncodeFlags = WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR |
                                                WC_NO_BEST_FIT_CHARS;

}  // namespace

UINT WINAPI GetACP()
{
    return CP_UTF8;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    return AtApiBoundary<int>(0, [&]() -> int {
        const auto page = CodePageOf(CodePage);
        if (!page || !ValidArguments(lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const DWORD accepted = *page == CodePage::Utf8 ? MB_ERR_INVALID_CHARS : kSingleByteDecodeFlags;
        if (dwFlags & ~accepted) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        const std::string_view bytes(lpMultiByteStr, LengthOf(lpMultiByteStr, cbMultiByte));
        bool valid = true;
        const WideString wide =
            *page == CodePage::Utf8 ? FromUtf8(bytes, &valid) : DecodeSingleByte(*page, bytes, valid);
        if (!valid && (dwFlags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        return Deliver(wide, lpWideCharStr, cchWideChar);
    });
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    return AtApiBoundary<int>(0, [&]() -> int {
        const auto page = CodePageOf(CodePage);
        if (!page || !ValidArguments(lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const WideView text(lpWideCharStr, LengthOf(lpWideCharStr, cchWideChar));
        if (*page == CodePage::Utf8) {
            // UTF-8 has no default character: Windows requires both pointers to be null.
            if (lpDefaultChar || lpUsedDefaultChar) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
                SetLastError(ERROR_INVALID_FLAGS);
                return 0;
            }
            bool valid = true;
            const std::string bytes = ToUtf8(text, &valid);
            if (!valid && (dwFlags & WC_ERR_INVALID_CHARS)) {
                SetLastError(ERROR_NO_UNICODE_TRANSLATION);
                return 0;
            }
            return Deliver(bytes, lpMultiByteStr, cbMultiByte);
        }
        if (dwFlags & ~kSingleByteEncodeFlags) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        bool usedDefault = false;
        const std::string bytes = EncodeSingleByte(*page, text, lpDefaultChar ? *lpDefaultChar : '?', usedDefault);
        if (lpUsedDefaultChar)
            *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
        return Deliver(bytes, lpMultiByteStr, cbMultiByte);
    });
}
