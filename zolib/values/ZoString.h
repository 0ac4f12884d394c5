// String helpers: tokens, integer text, line ends, ASCII case, and wide text as bytes of a
// code page.
#pragma once

#include <vector>

#include <windows.h>

#include "OleString.h"

class CZoBuf;

class CZoStringHelper {
public:
    CZoStringHelper() = delete;

    // Every character of separators separates; tokens are never empty. An empty text gives
    // no tokens; a non-empty text with null or empty separators fails with 1010.
    static std::vector<OleString> TokenizeString(OleStringView text, const OLECHAR* separators);
    // separator may be null, which joins without one.
    static OleString UnTokenizeString(const std::vector<OleString>& tokens, const OLECHAR* separator);
    static OleString IntToString(LONG value);
    // Equal texts, the letters A to Z matching either case; no other character folds.
    static bool EqualIgnoringAsciiCase(OleStringView left, OleStringView right) noexcept;
    // CR LF, a lone CR and a lone LF each become one lineEnd.
    static OleString ConvertNewlinesTo(OleStringView text, OleStringView lineEnd);
    // The buffer then holds exactly the converted bytes, with no terminating zero.
    static void StringToMultiByte(OleStringView text, CZoBuf& buffer, UINT codePage);
};
