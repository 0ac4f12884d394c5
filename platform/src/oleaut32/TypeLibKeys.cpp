#include "oleaut32/TypeLibKeys.h"

namespace lumo::platform {

WideString GuidKeyText(REFGUID guid)
{
    OLECHAR text[40];
    const int length = StringFromGUID2(guid, text, 40);
    return WideString(text, length > 0 ? length - 1 : 0);
}

WideString HexText(unsigned value)
{
    static const char digits[] = "0123456789abcdef";
    WideString text;
    do {
        text.insert(text.begin(), static_cast<WCHAR>(digits[value % 16]));
        value /= 16;
    } while (value);
    return text;
}

WideString SysKindKeyText(SYSKIND kind)
{
    switch (kind) {
    case SYS_WIN16: return u"win16";
    case SYS_WIN32: return u"win32";
    case SYS_MAC: return u"mac";
    case SYS_WIN64: return u"win64";
    default: return {};
    }
}

WideString LibraryVersionKey(REFGUID libid, WORD major, WORD minor)
{
    return u"TypeLib\\" + GuidKeyText(libid) + u"\\" + HexText(major) + u"." + HexText(minor);
}

}  // namespace lumo::platform
