// Directories: creating and removing them, and the search handles of FindFirstFileW.
#include <windows.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/HostError.h"
#include "kernel32/HostFiles.h"
#include "kernel32/HostPath.h"
#include "kernel32/KernelObject.h"

namespace lumo::platform {

namespace {

// The entries a search found, handed out one by one. Not a waitable object.
class FindObject : public KernelObject {
public:
    explicit FindObject(std::vector<WIN32_FIND_DATAW> entries) : m_entries(std::move(entries)) {}

    DWORD Wait(DWORD) override
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }

    bool Next(WIN32_FIND_DATAW& data)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_next >= m_entries.size())
            return false;
        data = m_entries[m_next++];
        return true;
    }

private:
    std::mutex m_mutex;
    std::vector<WIN32_FIND_DATAW> m_entries;
    size_t m_next = 0;
};

template <class Result>
Result Fail(DWORD error, Result result)
{
    SetLastError(error);
    return result;
}

bool HasWildcard(WideView name)
{
    return name.find_first_of(u"*?") != WideView::npos;
}

// "*" any run of characters, "?" any one; ASCII letters match either case.
bool Matches(WideView pattern, WideView name)
{
    size_t p = 0, n = 0, starAt = WideView::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != WideView::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

WIN32_FIND_DATAW EntryOf(const struct stat& status, const std::string& name)
{
    WIN32_FIND_DATAW data{};
    data.dwFileAttributes = FileAttributesOf(status, name);
    data.ftCreationTime = FileTimeOf(status.st_ctim);
    data.ftLastAccessTime = FileTimeOf(status.st_atim);
    data.ftLastWriteTime = FileTimeOf(status.st_mtim);
    if (!S_ISDIR(status.st_mode)) {
        const auto size = static_cast<uint64_t>(status.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    }
    const WideString wide = FromUtf8(name);
    const size_t length = std::min(wide.size(), static_cast<size_t>(MAX_PATH - 1));
    std::memcpy(data.cFileName, wide.data(), length * sizeof(WCHAR));
    return data;
}

// A link that leads nowhere is still found, as the link itself.
bool StatusOf(const std::string& path, struct stat& status)
{
    return stat(path.c_str(), &status) == 0 || lstat(path.c_str(), &status) == 0;
}

DWORD Search(const std::string& host, std::vector<WIN32_FIND_DATAW>& entries)
{
    if (host.empty())
        return ERROR_PATH_NOT_FOUND;
    if (host.back() == '/')
        return ERROR_FILE_NOT_FOUND;
    const size_t slash = host.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : host.substr(0, slash));
    const std::string last = LastComponentOf(host);
    const WideString pattern = FromUtf8(last);
    if (!HasWildcard(pattern)) {
        struct stat status {};
        if (!StatusOf(host, status))
            return Win32ErrorOfPath(errno, host);
        entries.push_back(EntryOf(status, last));
        return ERROR_SUCCESS;
    }
    DIR* directory = opendir(folder.c_str());
    if (!directory)
        return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32ErrorFromErrno(errno);
    std::vector<std::string> names;
    // "*.*" is every name, dots or not, as the system has always read it.
    const WideView effective = pattern == u"*.*" ? WideView(u"*") : WideView(pattern);
    while (const dirent* entry = readdir(directory)) {
        if (Matches(effective, FromUtf8(entry->d_name)))
            names.emplace_back(entry->d_name);
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        struct stat status {};
        if (StatusOf(folder + "/" + name, status))
            entries.push_back(EntryOf(status, name));
    }
    return entries.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

}  // namespace

}  // namespace lumo::platform

using namespace lumo::platform;

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpPathName)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        const std::string host = ToHostPath(ViewOf(lpPathName));
        if (host.empty())
            return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        if (mkdir(host.c_str(), 0777) != 0) {
            if (errno == EEXIST)
                return Fail(ERROR_ALREADY_EXISTS, FALSE);
            // A missing parent is a missing path, whatever the leaf.
            return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : Win32ErrorOfPath(errno, host), FALSE);
        }
        return TRUE;
    });
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!lpPathName)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        const std::string host = ToHostPath(ViewOf(lpPathName));
        if (host.empty())
            return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        if (rmdir(host.c_str()) != 0) {
            if (errno == ENOTDIR)
                return Fail(ERROR_DIRECTORY, FALSE);
            return Fail(Win32ErrorOfPath(errno, host), FALSE);
        }
        return TRUE;
    });
}

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    return AtApiBoundary<HANDLE>(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
        if (!lpFileName || !lpFindFileData)
            return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
        std::vector<WIN32_FIND_DATAW> entries;
        if (const DWORD error = Search(ToHostPath(ViewOf(lpFileName)), entries); error != ERROR_SUCCESS)
            return Fail(error, INVALID_HANDLE_VALUE);
        auto search = std::make_shared<FindObject>(std::move(entries));
        search->Next(*lpFindFileData);
        return HandleTable::Instance().Insert(std::move(search));
    });
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        const auto search = HandleTable::Instance().FindAs<FindObject>(hFindFile);
        if (!search)
            return Fail(ERROR_INVALID_HANDLE, FALSE);
        if (!lpFindFileData)
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        if (!search->Next(*lpFindFileData))
            return Fail(ERROR_NO_MORE_FILES, FALSE);
        return TRUE;
    });
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!HandleTable::Instance().FindAs<FindObject>(hFindFile) || !HandleTable::Instance().Close(hFindFile))
            return Fail(ERROR_INVALID_HANDLE, FALSE);
        return TRUE;
    });
}
