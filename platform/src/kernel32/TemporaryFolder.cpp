#include "kernel32/TemporaryFolder.h"

#include <windows.h>

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/Environment.h"

namespace lumo::platform {

namespace {

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

}  // namespace

std::string TemporaryFolder()
{
    std::string folder;
    for (const char* variable : {"TMP", "TEMP", "TMPDIR"}) {
        folder = ReadEnvironmentVariable(variable).value_or(std::string());
        if (!folder.empty())
            break;
    }
    if (folder.empty())
        folder = "/tmp";
    // Windows makes a relative value a full path, against the current directory.
    if (folder.front() != '/') {
        const std::string current = CurrentDirectory();
        if (!current.empty())
            folder = current + (current.back() == '/' ? "" : "/") + folder;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

}  // namespace lumo::platform

using namespace lumo::platform;

DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        std::string folder = TemporaryFolder();
        if (folder.back() != '/')
            folder += '/';
        const WideString wide = FromUtf8(folder);
        if (!lpBuffer || nBufferLength <= wide.size())
            return static_cast<DWORD>(wide.size() + 1);
        wide.copy(lpBuffer, wide.size());
        lpBuffer[wide.size()] = u'\0';
        return static_cast<DWORD>(wide.size());
    });
}
