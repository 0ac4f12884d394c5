#include "FreshRegistry.h"

#include <atomic>
#include <filesystem>
#include <string>

#include <windows.h>

namespace {

std::u16string Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::u16string& text)
{
    if (text.empty())
        return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

constexpr char16_t kRegistryVariable[] = u"LUMOITEMS_REGISTRY";

}  // namespace

#ifdef _WIN32

ScopedFreshRegistry::ScopedFreshRegistry() = default;
ScopedFreshRegistry::~ScopedFreshRegistry() = default;

#else

ScopedFreshRegistry::ScopedFreshRegistry()
{
    static std::atomic<unsigned> counter{0};
    WCHAR previous[4096];
    const DWORD n = GetEnvironmentVariableW(kRegistryVariable, previous, 4096);
    if (n > 0 && n < 4096) {
        m_hadPrevious = true;
        m_previous = Narrow(std::u16string(previous, n));
    }
    const auto dir = std::filesystem::temp_directory_path() / "lumoitems-tests";
    std::filesystem::create_directories(dir);
    const auto file = dir / ("registry-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".db");
    std::filesystem::remove(file);
    m_path = file.string();
    SetEnvironmentVariableW(kRegistryVariable, Widen(m_path).c_str());
}

ScopedFreshRegistry::~ScopedFreshRegistry()
{
    SetEnvironmentVariableW(kRegistryVariable, m_hadPrevious ? Widen(m_previous).c_str() : nullptr);
    std::error_code ignored;
    for (const char* suffix : {"", "-journal", "-wal", "-shm", ".stamp"})
        std::filesystem::remove(m_path + suffix, ignored);
}

#endif
