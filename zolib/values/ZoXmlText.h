// Text as XML 1.0 can carry it. A document the library writes must be one it can read back,
// so every text that goes into one (values, names, attributes) passes through here.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoXmlText {
public:
    CZoXmlText() = delete;

    // Every character XML 1.0 cannot hold becomes "_": those below 0x20 other than TAB, LF and
    // CR, U+FFFE, U+FFFF and unpaired surrogates. The length stays the same.
    static OleString ReplaceInvalidCharacters(OleStringView text);
    static void ReplaceInvalidCharactersInPlace(OleString& text);
    static void ReplaceInvalidCharactersInPlace(OLECHAR* text, size_t size) noexcept;
};
