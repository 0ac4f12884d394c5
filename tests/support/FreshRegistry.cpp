#include "FreshRegistry.h"

#include <atomic>
#include <filesystem>
#include <string>

#include <windows.h>

#ifdef _WIN32

#include <set>
#include <vector>

#include "OleString.h"

namespace {

struct Container {
    HKEY root;
    const OLECHAR* path;
};
const Container kContainers[] = {
    {HKEY_CLASSES_ROOT, OLESTR("")},
    {HKEY_CLASSES_ROOT, OLESTR("CLSID")},
    {HKEY_CLASSES_ROOT, OLESTR("Interface")},
    {HKEY_CLASSES_ROOT, OLESTR("TypeLib")},
    {HKEY_CLASSES_ROOT, OLESTR("AppID")},
    {HKEY_CURRENT_USER, OLESTR("Software\\Classes")},
    {HKEY_CURRENT_USER, OLESTR("Software\\Classes\\CLSID")},
    {HKEY_CURRENT_USER, OLESTR("Software\\Classes\\Interface")},
    {HKEY_CURRENT_USER, OLESTR("Software\\Classes\\TypeLib")},
    {HKEY_CURRENT_USER, OLESTR("Software\\Classes\\AppID")},
    {HKEY_CURRENT_USER, OLESTR("Software")},
    {HKEY_LOCAL_MACHINE, OLESTR("Software")},
};

// Subkey names without regard to case, as the registry compares them.
struct NoCase {
    bool operator()(const OleString& a, const OleString& b) const
    {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                    TRUE) == CSTR_LESS_THAN;
    }
};
using KeyNames = std::set<OleString, NoCase>;

// The names of the container's subkeys; false when the container doesn't exist.
bool ReadSubkeys(const Container& container, KeyNames& names)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(container.root, container.path, 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
        return false;
    OLECHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace(name, length);
    }
    RegCloseKey(key);
    return true;
}

}  // namespace

struct ScopedFreshRegistry::KeysBefore {
    // Per container; a container absent at construction is left to the one above it.
    std::vector<std::pair<const Container*, KeyNames>> containers;
};

ScopedFreshRegistry::ScopedFreshRegistry() : m_keysBefore(std::make_unique<KeysBefore>())
{
    for (const Container& container : kContainers) {
        KeyNames names;
        if (ReadSubkeys(container, names))
            m_keysBefore->containers.emplace_back(&container, std::move(names));
    }
}

ScopedFreshRegistry::~ScopedFreshRegistry()
{
    for (const auto& [container, before] : m_keysBefore->containers) {
        KeyNames now;
        if (!ReadSubkeys(*container, now))
            continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(container->root, container->path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        for (const OleString& name : now) {
            if (!before.count(name))
                RegDeleteTreeW(key, name.c_str());
        }
        RegCloseKey(key);
    }
}

#else

struct ScopedFreshRegistry::KeysBefore {};   // unused: each registry is a file of its own

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
