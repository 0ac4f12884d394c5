// The C runtime's low-level I/O for wide paths, over the host's descriptors.
#include <io.h>
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <string>

#include "common/WideText.h"
#include "kernel32/HostFiles.h"
#include "kernel32/HostPath.h"

namespace {

using namespace lumo::platform;

// The Windows values of the flags and permissions.
constexpr int kWriteOnly = 0x0001;
constexpr int kReadWrite = 0x0002;
constexpr int kAppend = 0x0008;
constexpr int kCreate = 0x0100;
constexpr int kTruncate = 0x0200;
constexpr int kExclusive = 0x0400;
constexpr int kPermissionWrite = 0x0080;

int HostFlags(int flags)
{
    int host = O_CLOEXEC;
    if (flags & kReadWrite)
        host |= O_RDWR;
    else if (flags & kWriteOnly)
        host |= O_WRONLY;
    else
        host |= O_RDONLY;
    if (flags & kAppend)
        host |= O_APPEND;
    if (flags & kCreate)
        host |= O_CREAT;
    if (flags & kTruncate)
        host |= O_TRUNC;
    if (flags & kExclusive)
        host |= O_EXCL;
    return host;
}

int FailWith(int error)
{
    errno = error;
    return -1;
}

}  // namespace

int _wopen(const WCHAR* filename, int oflag, ...)
{
    int permission = 0;
    if (oflag & kCreate) {
        va_list arguments;
        va_start(arguments, oflag);
        permission = va_arg(arguments, int);
        va_end(arguments);
    }
    if (!filename)
        return FailWith(EINVAL);
    std::string host;
    try {
        host = ToHostPath(ViewOf(filename));
    } catch (...) {
        return FailWith(ENOMEM);
    }
    if (host.empty())
        return FailWith(ENOENT);
    const int flags = HostFlags(oflag);
    struct stat status {};
    if (stat(host.c_str(), &status) == 0) {
        // The runtime answers EACCES for a folder and for a read-only file opened to write.
        if (S_ISDIR(status.st_mode) || ((flags & (O_WRONLY | O_RDWR)) && IsReadOnlyMode(status.st_mode)))
            return FailWith(EACCES);
    }
    const mode_t mode = (permission & kPermissionWrite) ? 0666 : 0444;
    int fd;
    do {
        fd = open(host.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int _wchmod(const WCHAR* filename, int pmode)
{
    if (!filename)
        return FailWith(EINVAL);
    std::string host;
    try {
        host = ToHostPath(ViewOf(filename));
    } catch (...) {
        return FailWith(ENOMEM);
    }
    struct stat status {};
    if (host.empty() || stat(host.c_str(), &status) != 0)
        return FailWith(host.empty() ? ENOENT : errno);
    const mode_t mode = (pmode & kPermissionWrite) ? (status.st_mode | S_IWUSR) : (status.st_mode & ~0222);
    return chmod(host.c_str(), mode & 07777);
}

int _read(int fd, void* buffer, unsigned int count)
{
    ssize_t result;
    do {
        result = read(fd, buffer, count);
    } while (result < 0 && errno == EINTR);
    return static_cast<int>(result);
}

int _write(int fd, const void* buffer, unsigned int count)
{
    const auto* bytes = static_cast<const char*>(buffer);
    unsigned int done = 0;
    while (done < count) {
        const ssize_t result = write(fd, bytes + done, count - done);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return done ? static_cast<int>(done) : -1;
        if (result == 0)
            return done ? static_cast<int>(done) : FailWith(ENOSPC);
        done += static_cast<unsigned int>(result);
    }
    return static_cast<int>(done);
}

int _close(int fd)
{
    return close(fd);
}
