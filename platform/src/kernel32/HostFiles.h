// What the file, directory and path functions share: the Win32 error of a failed host call
// on a path, and the Windows view of a host file's status.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include <windows.h>

namespace lumo::platform {

// As Windows reports it: a missing file in an existing folder is ERROR_FILE_NOT_FOUND, a
// missing or non-folder parent ERROR_PATH_NOT_FOUND, a folder where a file was wanted
// ERROR_ACCESS_DENIED.
DWORD Win32ErrorOfPath(int error, const std::string& hostPath);

// No write permission for anyone: the read-only attribute.
inline bool IsReadOnlyMode(mode_t mode) noexcept
{
    return (mode & 0222) == 0;
}

// FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_READONLY and FILE_ATTRIBUTE_HIDDEN (a name that
// begins with "."), or FILE_ATTRIBUTE_NORMAL for a file with none of them.
DWORD FileAttributesOf(const struct stat& status, const std::string& name);

// 100-nanosecond ticks since 1 January 1601.
FILETIME FileTimeOf(const timespec& time) noexcept;

// The last component of a host path; the path itself when it has no "/".
std::string LastComponentOf(const std::string& hostPath);

}  // namespace lumo::platform
