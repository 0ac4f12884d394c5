// Long and short path forms. The host has no short (8.3) names, so both forms of an existing
// path are the path as given.
#include <windows.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/HostFiles.h"
#include "kernel32/HostPath.h"

namespace {

using namespace lumo::platform;

DWORD SameFormIfExists(LPCWSTR path, LPWSTR buffer, DWORD length)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WideString text(ViewOf(path));
    const std::string host = ToHostPath(text);
    struct stat status {};
    if (host.empty() || stat(host.c_str(), &status) != 0) {
        SetLastError(host.empty() ? ERROR_PATH_NOT_FOUND : Win32ErrorOfPath(errno, host));
        return 0;
    }
    if (!buffer || length <= text.size())
        return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);  // the buffer may be the path itself
    buffer[text.size()] = u'\0';
    return static_cast<DWORD>(text.size());
}

}  // namespace

DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer)
{
    return AtApiBoundary<DWORD>(0, [&] { return SameFormIfExists(lpszShortPath, lpszLongPath, cchBuffer); });
}

DWORD WINAPI GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer)
{
    return AtApiBoundary<DWORD>(0, [&] { return SameFormIfExists(lpszLongPath, lpszShortPath, cchBuffer); });
}
