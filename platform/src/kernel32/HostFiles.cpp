#include "kernel32/HostFiles.h"

#include <cerrno>

#include "kernel32/HostError.h"

namespace lumo::platform {

namespace {

bool ParentIsDirectory(const std::string& hostPath)
{
    std::string path = hostPath;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    const std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat status {};
    return stat(parent.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

DWORD Win32ErrorOfPath(int error, const std::string& hostPath)
{
    switch (error) {
    case ENOENT:
        return ParentIsDirectory(hostPath) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ELOOP:
        return ERROR_CANT_ACCESS_FILE;
    default:
        return Win32ErrorFromErrno(error);
    }
}

DWORD FileAttributesOf(const struct stat& status, const std::string& name)
{
    DWORD attributes = 0;
    if (S_ISDIR(status.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    else if (IsReadOnlyMode(status.st_mode))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

FILETIME FileTimeOf(const timespec& time) noexcept
{
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    const int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000 +
                          static_cast<int64_t>(time.tv_nsec) / 100;
    const auto value = static_cast<uint64_t>(ticks < 0 ? 0 : ticks);
    return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

std::string LastComponentOf(const std::string& hostPath)
{
    const size_t slash = hostPath.find_last_of('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

}  // namespace lumo::platform
