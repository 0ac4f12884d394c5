#include "ItemText.h"

#include "ZoVariant.h"

LONG IndentLevel(const VARIANT& indent)
{
    if (!CZoVariant::IsInteger(indent))
        return 0;
    return static_cast<LONG>(static_cast<ULONG>(static_cast<ULONGLONG>(CZoVariant::ToInt(indent))));
}

OleString IndentText(LONG level)
{
    OleString text;
    for (LONG i = 0; i < level; ++i)
        text += OLESTR("    ");
    return text;
}

CComVariant NestedIndent(LONG level)
{
    // Wraps like the 32-bit arithmetic it stands for.
    return CComVariant(static_cast<INT>(static_cast<ULONG>(level) + 1u), VT_INT);
}

OleStringView TextUpToFirstZero(BSTR text)
{
    return ViewOfOleText(text);
}

CComBSTR CopyUpToFirstZero(BSTR text)
{
    return text ? CComBSTR(TextUpToFirstZero(text)) : CComBSTR();
}

CZoException ContainsItselfError(const OLECHAR* sourceFile, int sourceLine, const OLECHAR* function)
{
    CZoException error(OLESTR("Invalid function parameter."), ZO_ERR_INVALID_PARAMETER, sourceFile, sourceLine,
                       function);
    error.AddInfo(OLESTR("Reason"), OLESTR("The object contains itself."));
    return error;
}
