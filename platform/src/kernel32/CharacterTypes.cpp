// GetStringTypeW (CT_CTYPE1) and the case mappings of LCMapStringW, from the host's Unicode
// tables. UTF-16 code units are taken one by one; a surrogate has no type and no case.
#include <windows.h>

#include <locale.h>
#include <wctype.h>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"

namespace {

using namespace lumo::platform;

// The C.UTF-8 locale's character tables; null when the host lacks the locale.
locale_t UnicodeLocale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

bool IsSurrogate(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

WORD TypeOf(WCHAR c)
{
    const locale_t locale = UnicodeLocale();
    if (IsSurrogate(c) || (!locale && c > 0x7F))
        return 0;
    const auto wide = static_cast<wint_t>(c);
    const auto is = [&](int (*test)(wint_t, locale_t), int (*ascii)(wint_t)) {
        return locale ? test(wide, locale) != 0 : ascii(wide) != 0;
    };
    WORD type = C1_DEFINED;
    if (is(iswupper_l, iswupper))
        type |= C1_UPPER;
    if (is(iswlower_l, iswlower))
        type |= C1_LOWER;
    if (is(iswdigit_l, iswdigit))
        type |= C1_DIGIT;
    if (is(iswspace_l, iswspace))
        type |= C1_SPACE;
    if (is(iswpunct_l, iswpunct))
        type |= C1_PUNCT;
    if (is(iswcntrl_l, iswcntrl))
        type |= C1_CNTRL;
    if (is(iswblank_l, iswblank))
        type |= C1_BLANK;
    if (is(iswxdigit_l, iswxdigit))
        type |= C1_XDIGIT;
    if (is(iswalpha_l, iswalpha))
        type |= C1_ALPHA;
    return type;
}

WCHAR Mapped(WCHAR c, bool upper)
{
    if (IsSurrogate(c))
        return c;
    const locale_t locale = UnicodeLocale();
    if (!locale)
        return c > 0x7F ? c : static_cast<WCHAR>(upper ? towupper(c) : towlower(c));
    const wint_t mapped = upper ? towupper_l(static_cast<wint_t>(c), locale) : towlower_l(static_cast<wint_t>(c), locale);
    // A mapping that leaves the 16-bit range keeps the character.
    return mapped <= 0xFFFF && !IsSurrogate(static_cast<WCHAR>(mapped)) ? static_cast<WCHAR>(mapped) : c;
}

// A length of -1: the text and its NUL.
int LengthOf(LPCWSTR text, int length)
{
    return length < 0 ? static_cast<int>(WideLength(text)) + 1 : length;
}

}  // namespace

BOOL WINAPI GetStringTypeW(DWORD dwInfoType, LPCWSTR lpSrcStr, int cchSrc, LPWORD lpCharType)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpSrcStr || !lpCharType || cchSrc == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (dwInfoType != CT_CTYPE1) {
            SetLastError(ERROR_INVALID_FLAGS);
            return FALSE;
        }
        const int length = LengthOf(lpSrcStr, cchSrc);
        for (int i = 0; i < length; ++i)
            lpCharType[i] = TypeOf(lpSrcStr[i]);
        return TRUE;
    });
}

int WINAPI LCMapStringW(LCID Locale, DWORD dwMapFlags, LPCWSTR lpSrcStr, int cchSrc, LPWSTR lpDestStr, int cchDest)
{
    return AtApiBoundary<int>(0, [&]() -> int {
        if (!lpSrcStr || cchSrc == 0 || cchDest < 0 || (cchDest > 0 && !lpDestStr)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (dwMapFlags != LCMAP_UPPERCASE && dwMapFlags != LCMAP_LOWERCASE) {
            SetLastError(ERROR_INVALID_FLAGS);
            return 0;
        }
        const int length = LengthOf(lpSrcStr, cchSrc);
        if (cchDest == 0)
            return length;
        if (cchDest < length) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        const bool upper = dwMapFlags == LCMAP_UPPERCASE;
        for (int i = 0; i < length; ++i)
            lpDestStr[i] = Mapped(lpSrcStr[i], upper);
        return length;
    });
}
