// Child processes: CreateProcessW over posix_spawn, and the process handles that wait for them,
// read their exit codes and terminate them.
#include <windows.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "kernel32/ApiBoundary.h"
#include "kernel32/CommandLine.h"
#include "kernel32/Environment.h"
#include "kernel32/HostError.h"
#include "kernel32/HostPath.h"
#include "kernel32/KernelObject.h"
#include "kernel32/ModuleTable.h"

namespace lumo::platform {

namespace {

// The exit code of a child that a signal ended: 128 + the signal's number, as POSIX shells
// report it (so 137 after SIGKILL, 139 after SIGSEGV), unless TerminateProcess asked for one.
constexpr DWORD kSignalExitBase = 128;
// A child reaped by someone else (SIGCHLD ignored, a waitpid(-1) elsewhere) has no known code.
constexpr DWORD kUnknownExitCode = 0xFFFFFFFF;

// A started child, shared by its process and thread handles and by the thread that waits for
// its end. The child is reaped only under the lock, after its exit code is recorded, so a
// TerminateProcess never signals a process id that the system has already given to another.
class ChildProcess {
public:
    explicit ChildProcess(pid_t pid) : m_pid(pid) {}

    void WatchForExit()
    {
        siginfo_t info{};
        int rc;
        do {
            rc = waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT);
        } while (rc != 0 && errno == EINTR);
        std::lock_guard<std::mutex> guard(m_mutex);
        if (rc == 0) {
            m_exitCode = ExitCodeOf(info);
            waitpid(m_pid, nullptr, 0);
        } else {
            m_exitCode = kUnknownExitCode;
        }
        m_hasExited = true;
        m_exited.notify_all();
    }

    DWORD Wait(DWORD milliseconds)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (milliseconds == INFINITE) {
            m_exited.wait(lock, [this] { return m_hasExited; });
            return WAIT_OBJECT_0;
        }
        return m_exited.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_hasExited; })
                   ? WAIT_OBJECT_0
                   : WAIT_TIMEOUT;
    }

    DWORD ExitCode()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_hasExited ? m_exitCode : STILL_ACTIVE;
    }

    bool Terminate(UINT exitCode)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_hasExited)
            return false;
        m_terminatedWith = exitCode;
        kill(m_pid, SIGKILL);
        return true;
    }

private:
    DWORD ExitCodeOf(const siginfo_t& info) const
    {
        if (info.si_code == CLD_EXITED)
            return static_cast<DWORD>(info.si_status);
        if (m_terminatedWith && info.si_status == SIGKILL)
            return *m_terminatedWith;
        return kSignalExitBase + static_cast<DWORD>(info.si_status);
    }

    const pid_t m_pid;
    std::mutex m_mutex;
    std::condition_variable m_exited;
    bool m_hasExited = false;
    DWORD m_exitCode = STILL_ACTIVE;
    std::optional<UINT> m_terminatedWith;
};

class ProcessObject : public KernelObject {
public:
    explicit ProcessObject(std::shared_ptr<ChildProcess> child) : m_child(std::move(child)) {}
    DWORD Wait(DWORD milliseconds) override { return m_child->Wait(milliseconds); }
    ChildProcess& Child() { return *m_child; }

private:
    std::shared_ptr<ChildProcess> m_child;
};

// The child's main thread: signalled when the process ends, which is when it ends here.
class MainThreadObject : public KernelObject {
public:
    explicit MainThreadObject(std::shared_ptr<ChildProcess> child) : m_child(std::move(child)) {}
    DWORD Wait(DWORD milliseconds) override { return m_child->Wait(milliseconds); }

private:
    std::shared_ptr<ChildProcess> m_child;
};

bool IsExecutableFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Programs here have no ".exe"; a Windows spelling of the name still finds them.
std::vector<std::string> SpellingsOf(const std::string& name)
{
    std::vector<std::string> spellings{name};
    if (name.size() > 4) {
        std::string extension = name.substr(name.size() - 4);
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".exe")
            spellings.push_back(name.substr(0, name.size() - 4));
    }
    return spellings;
}

// A program named by the command line without a directory is searched as Windows searches it:
// the directory of the calling executable, the current directory, then PATH.
std::string FindProgram(const std::string& name, bool searchPath)
{
    const std::string absolute = (!name.empty() && name[0] == '/') ? name : CurrentDirectory() + "/" + name;
    if (!searchPath || name.find('/') != std::string::npos) {
        for (const std::string& spelling : SpellingsOf(absolute))
            if (IsExecutableFile(spelling))
                return spelling;
        return absolute;
    }
    std::vector<std::string> directories;
    if (const auto exe = ModuleTable::Instance().PathOf(nullptr))
        directories.push_back(DirectoryOf(*exe));
    directories.push_back(CurrentDirectory());
    const std::string path = ReadEnvironmentVariable("PATH").value_or("");
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find(':', start), path.size());
        directories.push_back(end > start ? path.substr(start, end - start) : std::string("."));
        start = end + 1;
    }
    for (const std::string& directory : directories)
        for (const std::string& spelling : SpellingsOf(directory + "/" + name))
            if (IsExecutableFile(spelling))
                return spelling;
    return absolute;
}

// An environment block: "NAME=value" strings one after another, ended by an empty one. Entries
// whose name starts with '=' are the per-drive current directories of Windows and are dropped.
template <class Char>
std::vector<std::string> ReadEnvironmentBlock(const Char* block)
{
    std::vector<std::string> entries;
    while (*block) {
        size_t n = 0;
        while (block[n])
            ++n;
        std::string entry;
        if constexpr (sizeof(Char) == 1)
            entry.assign(reinterpret_cast<const char*>(block), n);
        else
            entry = ToUtf8(WideView(block, n));
        if (entry[0] != '=')
            entries.push_back(std::move(entry));
        block += n + 1;
    }
    return entries;
}

std::vector<char*> PointersOf(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn attributes of every child: default signal handling and an empty signal mask, and
// only the standard streams open, as a Windows child gets no handles it was not given.
class SpawnSettings {
public:
    SpawnSettings()
    {
        posix_spawn_file_actions_init(&m_actions);
        posix_spawnattr_init(&m_attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigmask(&m_attributes, &none);
        posix_spawnattr_setsigdefault(&m_attributes, &all);
        posix_spawnattr_setflags(&m_attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        posix_spawn_file_actions_addclosefrom_np(&m_actions, STDERR_FILENO + 1);
    }
    ~SpawnSettings()
    {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attributes);
    }
    SpawnSettings(const SpawnSettings&) = delete;
    SpawnSettings& operator=(const SpawnSettings&) = delete;

    void ChangeDirectory(const std::string& directory)
    {
        posix_spawn_file_actions_addchdir_np(&m_actions, directory.c_str());
    }

    int Spawn(pid_t& pid, const std::string& program, std::vector<std::string>& arguments,
              std::vector<std::string>& environment)
    {
        const auto argv = PointersOf(arguments);
        const auto envp = PointersOf(environment);
        return posix_spawn(&pid, program.c_str(), &m_actions, &m_attributes, argv.data(), envp.data());
    }

private:
    posix_spawn_file_actions_t m_actions;
    posix_spawnattr_t m_attributes;
};

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace

}  // namespace lumo::platform

using namespace lumo::platform;

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
    if (!lpStartupInfo || !lpProcessInformation)
        return Fail(ERROR_INVALID_PARAMETER);
    const bool hasApplication = lpApplicationName && *lpApplicationName;
    std::vector<WideString> wideArguments = SplitCommandLine(ViewOf(lpCommandLine));
    if (!hasApplication && wideArguments.empty())
        return Fail(ERROR_INVALID_PARAMETER);
    if (wideArguments.empty())
        wideArguments.emplace_back(ViewOf(lpApplicationName));

    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        // With an application name Windows takes it as given, relative to the current directory;
        // otherwise the command line's first token is searched for.
        const std::string program = hasApplication ? FindProgram(ToHostPath(ViewOf(lpApplicationName)), false)
                                                   : FindProgram(ToHostPath(wideArguments[0]), true);
        SpawnSettings settings;
        if (lpCurrentDirectory) {
            const std::string directory = ToHostPath(ViewOf(lpCurrentDirectory));
            if (!IsDirectory(directory))
                return Fail(ERROR_DIRECTORY);
            settings.ChangeDirectory(directory);
        }
        std::vector<std::string> arguments;
        for (const WideString& argument : wideArguments)
            arguments.push_back(ToUtf8(argument));
        std::vector<std::string> environment =
            !lpEnvironment ? SnapshotEnvironment()
            : (dwCreationFlags & CREATE_UNICODE_ENVIRONMENT)
                ? ReadEnvironmentBlock(static_cast<const WCHAR*>(lpEnvironment))
                : ReadEnvironmentBlock(static_cast<const char*>(lpEnvironment));

        pid_t pid = 0;
        if (const int error = settings.Spawn(pid, program, arguments, environment))
            return Fail(Win32ErrorFromErrno(error));

        auto child = std::make_shared<ChildProcess>(pid);
        try {
            std::thread([child] { child->WatchForExit(); }).detach();
        } catch (...) {
            // Without a thread to reap it the child would be a zombie nobody waits for.
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        HandleTable& handles = HandleTable::Instance();
        lpProcessInformation->hProcess = handles.Insert(std::make_shared<ProcessObject>(child));
        lpProcessInformation->hThread = handles.Insert(std::make_shared<MainThreadObject>(child));
        lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
        lpProcessInformation->dwThreadId = static_cast<DWORD>(pid);  // the main thread's id is the process id
        return TRUE;
    });
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    const auto process = HandleTable::Instance().FindAs<ProcessObject>(hProcess);
    if (!process)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpExitCode)
        return Fail(ERROR_INVALID_PARAMETER);
    *lpExitCode = process->Child().ExitCode();
    return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    const auto process = HandleTable::Instance().FindAs<ProcessObject>(hProcess);
    if (!process)
        return Fail(ERROR_INVALID_HANDLE);
    // Windows refuses to terminate a process that has already ended.
    if (!process->Child().Terminate(uExitCode))
        return Fail(ERROR_ACCESS_DENIED);
    return TRUE;
}
