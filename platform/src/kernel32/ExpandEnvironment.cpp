// ExpandEnvironmentStringsW over the process environment.
#include <windows.h>

#include <optional>
#include <string>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/Environment.h"
#include "kernel32/TemporaryFolder.h"

namespace {

using namespace lumo::platform;

// Windows names compare without regard to case: an exact match first, then any other.
std::optional<std::string> VariableNamed(WideView name)
{
    const std::string narrow = ToUtf8(name);
    if (auto value = ReadEnvironmentVariable(narrow))
        return value;
    for (const std::string& entry : SnapshotEnvironment()) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && EqualsIgnoreAsciiCase(FromUtf8(entry.substr(0, equals)), name))
            return entry.substr(equals + 1);
    }
    // Always set on Windows; a host environment often lacks them.
    if (EqualsIgnoreAsciiCase(name, u"TEMP") || EqualsIgnoreAsciiCase(name, u"TMP"))
        return TemporaryFolder();
    return std::nullopt;
}

WideString Expanded(WideView text)
{
    WideString result;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find(u'%', at);
        if (open == WideView::npos) {
            result += text.substr(at);
            break;
        }
        result += text.substr(at, open - at);
        const size_t close = text.find(u'%', open + 1);
        if (close == WideView::npos) {
            result += text.substr(open);
            break;
        }
        const WideView name = text.substr(open + 1, close - open - 1);
        const auto value = name.empty() ? std::nullopt : VariableNamed(name);
        if (value) {
            result += FromUtf8(*value);
            at = close + 1;
        } else {
            // Left as written; the closing "%" may open the next name.
            result += u'%';
            result += name;
            at = close;
        }
    }
    return result;
}

}  // namespace

DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        if (!lpSrc) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const WideString expanded = Expanded(ViewOf(lpSrc));
        const auto needed = static_cast<DWORD>(expanded.size() + 1);
        if (lpDst && nSize >= needed) {
            expanded.copy(lpDst, expanded.size());
            lpDst[expanded.size()] = u'\0';
        }
        return needed;
    });
}
