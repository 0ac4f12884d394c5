#include "kernel32/Environment.h"

#include <windows.h>

#include <cstdlib>
#include <mutex>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"

extern char** environ;

namespace lumo::platform {

namespace {

std::mutex& EnvironmentMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Windows names never contain '=' (past the first character, which the hidden per-drive
// variables use) and are never empty; the C library's names must not contain '=' at all.
bool IsValidName(const std::string& name)
{
    return !name.empty() && name.find('=') == std::string::npos;
}

}  // namespace

std::optional<std::string> ReadEnvironmentVariable(const std::string& name)
{
    if (!IsValidName(name))
        return std::nullopt;
    std::lock_guard<std::mutex> guard(EnvironmentMutex());
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

bool WriteEnvironmentVariable(const std::string& name, const std::optional<std::string>& value)
{
    if (!IsValidName(name))
        return false;
    std::lock_guard<std::mutex> guard(EnvironmentMutex());
    return (value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str())) == 0;
}

std::vector<std::string> SnapshotEnvironment()
{
    std::lock_guard<std::mutex> guard(EnvironmentMutex());
    std::vector<std::string> entries;
    for (char** entry = environ; entry && *entry; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

}  // namespace lumo::platform

using namespace lumo::platform;

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        if (!lpName) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const auto value = ReadEnvironmentVariable(ToUtf8(ViewOf(lpName)));
        if (!value) {
            SetLastError(ERROR_ENVVAR_NOT_FOUND);
            return 0;
        }
        const WideString wide = FromUtf8(*value);
        if (!lpBuffer || wide.size() >= nSize)
            return static_cast<DWORD>(wide.size() + 1);
        wide.copy(lpBuffer, wide.size());
        lpBuffer[wide.size()] = u'\0';
        // An empty value returns 0 like a failure; the cleared error tells the two apart.
        if (wide.empty())
            SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(wide.size());
    });
}

BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpName) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        std::optional<std::string> value;
        if (lpValue)
            value = ToUtf8(ViewOf(lpValue));
        const std::string name = ToUtf8(ViewOf(lpName));
        if (!WriteEnvironmentVariable(name, value)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return TRUE;
    });
}
