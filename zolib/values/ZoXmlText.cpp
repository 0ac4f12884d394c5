#include "ZoXmlText.h"

namespace {

constexpr OLECHAR kReplacement = OLESTR('_');

bool IsHighSurrogate(OLECHAR c) noexcept
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(OLECHAR c) noexcept
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsInvalidSingle(OLECHAR c) noexcept
{
    if (c < 0x20)
        return c != 0x09 && c != 0x0A && c != 0x0D;
    return c == 0xFFFE || c == 0xFFFF;
}

}  // namespace

OleString CZoXmlText::ReplaceInvalidCharacters(OleStringView text)
{
    OleString result(text);
    ReplaceInvalidCharactersInPlace(result);
    return result;
}

void CZoXmlText::ReplaceInvalidCharactersInPlace(OleString& text)
{
    ReplaceInvalidCharactersInPlace(text.data(), text.size());
}

void CZoXmlText::ReplaceInvalidCharactersInPlace(OLECHAR* text, size_t size) noexcept
{
    for (size_t i = 0; i < size; ++i) {
        const OLECHAR c = text[i];
        if (IsHighSurrogate(c) && i + 1 < size && IsLowSurrogate(text[i + 1])) {
            ++i;
            continue;
        }
        if (IsInvalidSingle(c) || IsHighSurrogate(c) || IsLowSurrogate(c))
            text[i] = kReplacement;
    }
}
