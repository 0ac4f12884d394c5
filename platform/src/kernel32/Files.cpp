// File handles over host file descriptors, and the functions that delete, move and describe
// files by name.
#include <windows.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/HostError.h"
#include "kernel32/HostFiles.h"
#include "kernel32/HostPath.h"
#include "kernel32/KernelObject.h"

namespace lumo::platform {

namespace {

class FileObject : public KernelObject {
public:
    FileObject(int descriptor, bool canRead, bool canWrite)
        : m_descriptor(descriptor), m_canRead(canRead), m_canWrite(canWrite)
    {
    }
    ~FileObject() override { close(m_descriptor); }

    // No overlapped I/O here: a file handle is always signalled.
    DWORD Wait(DWORD) override { return WAIT_OBJECT_0; }

    int Descriptor() const noexcept { return m_descriptor; }
    bool CanRead() const noexcept { return m_canRead; }
    bool CanWrite() const noexcept { return m_canWrite; }

private:
    const int m_descriptor;
    const bool m_canRead;
    const bool m_canWrite;
};

bool AsksToRead(DWORD access)
{
    return access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
}

bool AsksToWrite(DWORD access)
{
    return access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
}

template <class Result>
Result Fail(DWORD error, Result result)
{
    SetLastError(error);
    return result;
}

bool Exists(const std::string& hostPath, struct stat& status)
{
    return stat(hostPath.c_str(), &status) == 0;
}

HANDLE OpenFile(LPCWSTR name, DWORD access, DWORD disposition, DWORD flagsAndAttributes)
{
    if (!name)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    const std::string host = ToHostPath(ViewOf(name));
    if (host.empty())
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    const bool read = AsksToRead(access);
    const bool write = AsksToWrite(access);
    if (disposition == TRUNCATE_EXISTING && !write)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);

    struct stat status {};
    const bool existed = Exists(host, status);
    if (existed && S_ISDIR(status.st_mode)) {
        if (!(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || write || disposition == CREATE_ALWAYS ||
            disposition == TRUNCATE_EXISTING)
            return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        if (disposition == CREATE_NEW)
            return Fail(ERROR_ALREADY_EXISTS, INVALID_HANDLE_VALUE);
    }
    if (existed && disposition == CREATE_NEW)
        return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    if (existed && write && IsReadOnlyMode(status.st_mode))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

    int flags = O_CLOEXEC;
    const bool creates = disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
    if (read && write)
        flags |= O_RDWR;
    else if (write)
        flags |= O_WRONLY;
    else if (read || creates)
        flags |= O_RDONLY;
    else
        flags |= O_PATH;  // attributes only: no right to the data is needed
    if (creates)
        flags |= O_CREAT;
    if (disposition == CREATE_NEW)
        flags |= O_EXCL;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)
        flags |= O_TRUNC;
    const mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

    int descriptor;
    do {
        descriptor = open(host.c_str(), flags, mode);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return Fail(errno == EEXIST ? ERROR_FILE_EXISTS : Win32ErrorOfPath(errno, host), INVALID_HANDLE_VALUE);
    const HANDLE handle = HandleTable::Instance().Insert(std::make_shared<FileObject>(descriptor, read, write));
    // As documented: these two dispositions tell whether the file was there before.
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                          : ERROR_SUCCESS);
    return handle;
}

std::shared_ptr<FileObject> FindFile(HANDLE handle)
{
    auto file = HandleTable::Instance().FindAs<FileObject>(handle);
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

BOOL MoveFile(LPCWSTR existingName, LPCWSTR newName, DWORD flags)
{
    if (!existingName || !newName)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::string source = ToHostPath(ViewOf(existingName));
    const std::string destination = ToHostPath(ViewOf(newName));
    if (source.empty() || destination.empty())
        return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    struct stat status {};
    if (lstat(source.c_str(), &status) != 0)
        return Fail(Win32ErrorOfPath(errno, source), FALSE);
    if (flags & MOVEFILE_REPLACE_EXISTING) {
        struct stat target {};
        if (lstat(destination.c_str(), &target) == 0 &&
            (S_ISDIR(target.st_mode) || (!S_ISLNK(target.st_mode) && IsReadOnlyMode(target.st_mode))))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (rename(source.c_str(), destination.c_str()) != 0)
            return Fail(errno == EXDEV ? ERROR_NOT_SAME_DEVICE : Win32ErrorOfPath(errno, destination), FALSE);
        return TRUE;
    }
    if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, destination.c_str(), RENAME_NOREPLACE) == 0)
        return TRUE;
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // A file system without the atomic no-replace rename.
        struct stat target {};
        if (lstat(destination.c_str(), &target) == 0)
            return Fail(ERROR_ALREADY_EXISTS, FALSE);
        if (rename(source.c_str(), destination.c_str()) == 0)
            return TRUE;
        error = errno;
    }
    if (error == EEXIST)
        return Fail(ERROR_ALREADY_EXISTS, FALSE);
    return Fail(error == EXDEV ? ERROR_NOT_SAME_DEVICE : Win32ErrorOfPath(error, destination), FALSE);
}

}  // namespace

}  // namespace lumo::platform

using namespace lumo::platform;

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    return AtApiBoundary<HANDLE>(INVALID_HANDLE_VALUE, [&] {
        return OpenFile(lpFileName, dwDesiredAccess, dwCreationDisposition, dwFlagsAndAttributes);
    });
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = 0;
        const auto file = FindFile(hFile);
        if (!file)
            return FALSE;
        if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead))
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        if (!file->CanRead())
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        ssize_t count;
        do {
            count = read(file->Descriptor(), lpBuffer, nNumberOfBytesToRead);
        } while (count < 0 && errno == EINTR);
        if (count < 0)
            return Fail(Win32ErrorFromErrno(errno), FALSE);
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = static_cast<DWORD>(count);
        return TRUE;
    });
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (lpNumberOfBytesWritten)
            *lpNumberOfBytesWritten = 0;
        const auto file = FindFile(hFile);
        if (!file)
            return FALSE;
        if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite))
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        if (!file->CanWrite())
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        // A file takes the whole write unless the disk is full, as on Windows.
        const auto* bytes = static_cast<const char*>(lpBuffer);
        DWORD done = 0;
        while (done < nNumberOfBytesToWrite) {
            const ssize_t count = write(file->Descriptor(), bytes + done, nNumberOfBytesToWrite - done);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0) {
                if (lpNumberOfBytesWritten)
                    *lpNumberOfBytesWritten = done;
                return Fail(count < 0 ? Win32ErrorFromErrno(errno) : ERROR_DISK_FULL, FALSE);
            }
            done += static_cast<DWORD>(count);
        }
        if (lpNumberOfBytesWritten)
            *lpNumberOfBytesWritten = done;
        return TRUE;
    });
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                             DWORD dwMoveMethod)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        const auto file = FindFile(hFile);
        if (!file)
            return FALSE;
        int whence;
        switch (dwMoveMethod) {
        case FILE_BEGIN:
            whence = SEEK_SET;
            break;
        case FILE_CURRENT:
            whence = SEEK_CUR;
            break;
        case FILE_END:
            whence = SEEK_END;
            break;
        default:
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        }
        const off_t position = lseek(file->Descriptor(), static_cast<off_t>(liDistanceToMove.QuadPart), whence);
        if (position < 0)
            return Fail(errno == EINVAL ? ERROR_NEGATIVE_SEEK : Win32ErrorFromErrno(errno), FALSE);
        if (lpNewFilePointer)
            lpNewFilePointer->QuadPart = static_cast<LONGLONG>(position);
        return TRUE;
    });
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        const auto file = FindFile(hFile);
        if (!file)
            return FALSE;
        if (!lpFileSize)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        struct stat status {};
        if (fstat(file->Descriptor(), &status) != 0)
            return Fail(Win32ErrorFromErrno(errno), FALSE);
        lpFileSize->QuadPart = static_cast<LONGLONG>(status.st_size);
        return TRUE;
    });
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    return AtApiBoundary<DWORD>(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
        if (!lpFileName)
            return Fail(ERROR_INVALID_PARAMETER, INVALID_FILE_ATTRIBUTES);
        const std::string host = ToHostPath(ViewOf(lpFileName));
        if (host.empty())
            return Fail(ERROR_PATH_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
        struct stat status {};
        if (stat(host.c_str(), &status) != 0)
            return Fail(Win32ErrorOfPath(errno, host), INVALID_FILE_ATTRIBUTES);
        return FileAttributesOf(status, LastComponentOf(host));
    });
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpFileName)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        const std::string host = ToHostPath(ViewOf(lpFileName));
        if (host.empty())
            return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        struct stat status {};
        if (lstat(host.c_str(), &status) != 0)
            return Fail(Win32ErrorOfPath(errno, host), FALSE);
        if (S_ISDIR(status.st_mode) || (!S_ISLNK(status.st_mode) && IsReadOnlyMode(status.st_mode)))
            return Fail(ERROR_ACCESS_DENIED, FALSE);
        if (unlink(host.c_str()) != 0)
            return Fail(Win32ErrorOfPath(errno, host), FALSE);
        return TRUE;
    });
}

BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName)
{
    return AtApiBoundary<BOOL>(FALSE, [&] { return MoveFile(lpExistingFileName, lpNewFileName, 0); });
}

BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
    return AtApiBoundary<BOOL>(FALSE, [&] { return MoveFile(lpExistingFileName, lpNewFileName, dwFlags); });
}
