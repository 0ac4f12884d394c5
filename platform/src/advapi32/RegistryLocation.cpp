#include "advapi32/RegistryLocation.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include <pwd.h>
#include <unistd.h>

#include "kernel32/Environment.h"

namespace lumo::platform::registry {

namespace {

// Through the kernel's accessor: it serializes against SetEnvironmentVariableW's setenv.
std::string NonEmptyVariable(const char* name)
{
    return ReadEnvironmentVariable(name).value_or(std::string());
}

std::string HomeDirectory()
{
    std::string home = NonEmptyVariable("HOME");
    if (!home.empty())
        return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string DataDirectory()
{
    // XDG asks to ignore a relative XDG_DATA_HOME.
    const std::string xdg = NonEmptyVariable("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return xdg;
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + "/.local/share";
}

}  // namespace

std::string CurrentRegistryPath()
{
    std::string path = NonEmptyVariable("LUMOITEMS_REGISTRY");
    if (!path.empty())
        return path;
    const std::string data = DataDirectory();
    return data.empty() ? std::string() : data + "/lumoitems/registry.db";
}

LSTATUS PrepareRegistryDirectory(const std::string& path)
{
    if (path.empty())
        return ERROR_CANTOPEN;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty())
        return ERROR_SUCCESS;
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (error || !std::filesystem::is_directory(parent, error))
        return ERROR_CANTOPEN;
    return ERROR_SUCCESS;
}

}  // namespace lumo::platform::registry
