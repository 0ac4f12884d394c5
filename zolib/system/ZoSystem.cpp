#include "ZoSystem.h"

#include <vector>

#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoSystem")

namespace {

constexpr size_t kMaxNameLength = 260;
constexpr OLECHAR kGlobalPrefix[] = OLESTR("Global\\");

bool IsLetterOrDigit(OLECHAR c)
{
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &c, 1, &type) && (type & (C1_ALPHA | C1_DIGIT));
}

OLECHAR UpperCase(OLECHAR c)
{
    OLECHAR upper = c;
    return LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, &c, 1, &upper, 1) == 1 ? upper : c;
}

}  // namespace

OleString CZoSystem::MakeKernelObjectName(OleStringView name, bool global)
{
    ZO_FUNCTION(OLESTR("CZoSystem::MakeKernelObjectName"))
    {
        OleString converted;
        converted.reserve(name.size());
        for (const OLECHAR c : name)
            converted.push_back(IsLetterOrDigit(c) ? UpperCase(c) : OLECHAR('_'));
        const size_t limit = global ? kMaxNameLength - (sizeof kGlobalPrefix / sizeof kGlobalPrefix[0] - 1)
                                    : kMaxNameLength;
        if (converted.size() > limit)
            converted.erase(0, converted.size() - limit);
        return global ? kGlobalPrefix + converted : converted;
    }
    ZO_FUNCTION_END
}

OleString CZoSystem::ExpandEnvironment(OleStringView text, DWORD maxLength)
{
    ZO_FUNCTION(OLESTR("CZoSystem::ExpandEnvironment"))
    {
        const OleString source(text);
        std::vector<OLECHAR> expanded(maxLength ? maxLength : 1);
        const DWORD needed =
            ExpandEnvironmentStringsW(source.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0)
            throw ZO_LAST_ERROR_EXCEPTION();
        if (needed > expanded.size())
            throw ZO_SYSTEM_EXCEPTION(ERROR_INSUFFICIENT_BUFFER);
        return OleString(expanded.data(), needed - 1);
    }
    ZO_FUNCTION_END
}
