// A new, empty folder under the system's temporary folder for the lifetime of the object;
// removed with everything in it at the end.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include <windows.h>

#include "OleString.h"

inline OleString OleTextOf(const std::filesystem::path& path)
{
    const std::u16string text = path.u16string();
    return OleString(text.begin(), text.end());
}

inline std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ScopedTempFolder {
public:
    ScopedTempFolder()
    {
        static std::atomic<unsigned> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("lumoitems-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
        std::filesystem::create_directories(m_path);
    }
    ~ScopedTempFolder()
    {
        std::error_code ignored;
        // Read-only files must be writable again to be removed on Windows.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Path(const std::string& relative) const { return m_path / relative; }
    // The path of a name in the folder, as the library takes paths.
    OleString Ole(const std::string& relative = {}) const
    {
        return OleTextOf(relative.empty() ? m_path : m_path / relative);
    }

private:
    std::filesystem::path m_path;
};
