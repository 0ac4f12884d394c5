// Child entries run in a copy of the test program, started through the Windows API so that the
// same code starts them on every target.
#include "ChildProcess.h"

#include <map>
#include <string>

#include <windows.h>

namespace {

using WideText = std::basic_string<WCHAR>;

std::map<std::string, TestChildEntry>& ChildEntries()
{
    static std::map<std::string, TestChildEntry> entries;
    return entries;
}

WideText Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    WideText wide(static_cast<size_t>(n), WCHAR());
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

WideText OwnProgramPath()
{
    WideText path(260, WCHAR());
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Quotes one argument so that the child's C runtime splits it back to the same text: 2n
// backslashes before a quote stand for n, and one more escapes the quote itself.
void AppendQuoted(WideText& commandLine, const WideText& argument)
{
    if (!argument.empty() && argument.find_first_of(OLESTR(" \t\n\v\"")) == WideText::npos) {
        commandLine += argument;
        return;
    }
    commandLine += WCHAR('"');
    size_t backslashes = 0;
    for (const WCHAR c : argument) {
        if (c == WCHAR('\\')) {
            ++backslashes;
            continue;
        }
        if (c == WCHAR('"'))
            commandLine.append(backslashes * 2 + 1, WCHAR('\\'));
        else
            commandLine.append(backslashes, WCHAR('\\'));
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, WCHAR('\\'));
    commandLine += WCHAR('"');
}

}  // namespace

bool RegisterTestChild(const char* name, TestChildEntry entry)
{
    ChildEntries()[name] = entry;
    return true;
}

TestChildEntry FindTestChild(const std::string& name)
{
    const auto found = ChildEntries().find(name);
    return found == ChildEntries().end() ? nullptr : found->second;
}

namespace {

int RunCommandLine(const WideText& program, WideText commandLine, unsigned timeoutMs)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    CloseHandle(process.hThread);

    int result;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, INFINITE);
        result = -2;
    } else {
        DWORD exitCode = 0;
        result = GetExitCodeProcess(process.hProcess, &exitCode) ? static_cast<int>(exitCode) : -1;
    }
    CloseHandle(process.hProcess);
    return result;
}

// The program name is quoted whole: the runtime reads the first token without escapes.
WideText CommandLineOf(const WideText& program, const std::vector<std::string>& args)
{
    WideText commandLine = WCHAR('"') + program + WCHAR('"');
    for (const std::string& arg : args) {
        commandLine += WCHAR(' ');
        AppendQuoted(commandLine, Widen(arg));
    }
    return commandLine;
}

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& args, unsigned timeoutMs)
{
    const WideText path = Widen(program);
    return RunCommandLine(path, CommandLineOf(path, args), timeoutMs);
}

int RunTestChild(const std::string& name, const std::vector<std::string>& args, unsigned timeoutMs)
{
    const WideText program = OwnProgramPath();
    if (program.empty())
        return -1;
    std::vector<std::string> childArgs{"--lumo-child", name};
    childArgs.insert(childArgs.end(), args.begin(), args.end());
    return RunCommandLine(program, CommandLineOf(program, childArgs), timeoutMs);
}
