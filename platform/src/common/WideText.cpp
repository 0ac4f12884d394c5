#include "common/WideText.h"

namespace lumo::platform {

size_t WideLength(const WCHAR* text) noexcept
{
    if (!text)
        return 0;
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string ToUtf8(WideView text, bool* valid)
{
    std::string out;
    out.reserve(text.size());
    bool ok = true;
    for (size_t i = 0; i < text.size(); ++i) {
        // A run of ASCII, the usual text, is copied without the general path.
        size_t run = i;
        while (run < text.size() && text[run] < 0x80)
            ++run;
        if (run > i) {
            const size_t at = out.size();
            out.resize(at + (run - i));
            for (size_t k = i; k < run; ++k)
                out[at + (k - i)] = static_cast<char>(text[k]);
            i = run - 1;
            continue;
        }
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
            ok = false;
        }
        AppendUtf8(out, c);
    }
    if (valid)
        *valid = ok;
    return out;
}

namespace {

// Decodes text, handing each UTF-16 unit to emit; whether no replacement was needed.
template <class Emit>
bool DecodeUtf8(std::string_view text, Emit&& emit)
{
    bool ok = true;
    const auto emitCodePoint = [&](char32_t cp) {
        if (cp < 0x10000) {
            emit(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000;
            emit(static_cast<char16_t>(0xD800 + (cp >> 10)));
            emit(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        }
    };
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            emit(static_cast<char16_t>(b));
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if ((b & 0xE0) == 0xC0) {
            extra = 1, cp = b & 0x1F, minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F, minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, cp = b & 0x07, minimum = 0x10000;
        } else {
            emitCodePoint(kReplacement);
            ok = false;
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= static_cast<size_t>(extra); ++j) {
            if (i + j >= text.size() || (static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
        }
        if (j <= static_cast<size_t>(extra) || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            emitCodePoint(kReplacement);
            ok = false;
            i += j;
            continue;
        }
        emitCodePoint(cp);
        i += j;
    }
    return ok;
}

}  // namespace

WideString FromUtf8(std::string_view text, bool* valid)
{
    WideString out;
    out.reserve(text.size());
    const bool ok = DecodeUtf8(text, [&](char16_t unit) { out.push_back(unit); });
    if (valid)
        *valid = ok;
    return out;
}

size_t Utf16Length(std::string_view text) noexcept
{
    size_t length = 0;
    DecodeUtf8(text, [&](char16_t) { ++length; });
    return length;
}

void DecodeUtf8Into(std::string_view text, char16_t* out) noexcept
{
    DecodeUtf8(text, [&](char16_t unit) { *out++ = unit; });
}

WCHAR FoldAscii(WCHAR c) noexcept
{
    return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c - u'A' + u'a') : c;
}

bool EqualsIgnoreAsciiCase(WideView a, WideView b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

}  // namespace lumo::platform
