#include "ItemText.h"

#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE(".\\ItemText")

LONG IndentLevel(const VARIANT& indent)
{
    ZO_FUNCTION(OLESTR("IndentLevel"))
    {
        if (!CZoVariant::IsInteger(indent))
            return LONG(0);
        const LONG level = static_cast<LONG>(static_cast<ULONG>(static_cast<ULONGLONG>(CZoVariant::ToInt(indent))));
        if (level > kMaxIndentLevel)
            ZO_RAISE_WITH_INFO(ZO_ERR_INVALID_PARAMETER, OLESTR("Reason"),
                               OLESTR("The indent is deeper than 65536 levels."));
        return level;
    }
    ZO_FUNCTION_END
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

CComBSTR CopyUpToFirstZero(BSTR text)
{
    return text ? CComBSTR(ViewOfOleText(text)) : CComBSTR();
}

namespace {

// The error of a walk over an object that contains itself.
CZoException ContainsItselfError(const OLECHAR* sourceFile, int sourceLine, const OLECHAR* function)
{
    CZoException error(ZO_ERR_INVALID_PARAMETER, sourceFile, sourceLine, function);
    error.AddInfo(OLESTR("Reason"), OLESTR("The object contains itself."));
    return error;
}

}  // namespace

CWalkScope::CWalkScope(bool& walking, const OLECHAR* sourceFile, int sourceLine, const OLECHAR* function)
    : m_walking(walking)
{
    if (m_walking)
        throw ContainsItselfError(sourceFile, sourceLine, function);
    m_walking = true;
}
