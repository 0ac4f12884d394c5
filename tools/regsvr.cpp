// regsvr: registers an in-process server (calls its DllRegisterServer) or, with /u, removes
// its registration (DllUnregisterServer), as regsvr32 does on Windows.
//
//   regsvr [/u] [/s] MODULE
//
// Exit status, as regsvr32's: 0 done, 1 bad arguments, 3 the module did not load, 4 it has
// no such entry point, 5 the entry point failed.
#include <cctype>
#include <cstdio>
#include <string>

#include <windows.h>

#include "ModuleEntryPoint.h"
#include "OleString.h"
#include "ToolVersion.h"
#include "ZoException.h"
#include "ZoFormat.h"

namespace {

enum ExitStatus { kDone = 0, kBadArguments = 1, kLoadFailed = 3, kNoEntryPoint = 4, kEntryPointFailed = 5 };

struct Options {
    bool unregister = false;
    bool silent = false;
    std::string module;
};

constexpr char kUsage[] =
    "Usage: regsvr [/u] [/s] MODULE\n"
    "       regsvr --version\n"
    "Registers the in-process server MODULE by calling its DllRegisterServer.\n"
    "  /u  unregister: call DllUnregisterServer instead\n"
    "  /s  silent: print nothing on success\n"
    "The options may also be written -u and -s. On failure the status and its text are\n"
    "printed to standard error and the exit status is not zero.\n";

bool IsOption(const std::string& argument, char letter)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           std::tolower(static_cast<unsigned char>(argument[1])) == letter;
}

bool ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (IsOption(argument, 'u'))
            options.unregister = true;
        else if (IsOption(argument, 's'))
            options.silent = true;
        else if (options.module.empty() && !argument.empty())
            options.module = argument;
        else
            return false;
    }
    return !options.module.empty();
}

// "0x80070005 Access is denied."
std::string StatusText(HRESULT hr)
{
    return ZoOleToAnsi(ZoFormat(OLESTR("0x%08X "), static_cast<unsigned>(hr)) +
                       ZoSystemMessageText(static_cast<DWORD>(hr)));
}

int Report(int status, const std::string& message)
{
    std::fprintf(stderr, "regsvr: %s\n", message.c_str());
    return status;
}

int Run(const Options& options)
{
    const char* entryPoint = options.unregister ? "DllUnregisterServer" : "DllRegisterServer";
    HMODULE module = LoadLibraryW(ZoAnsiToOle(options.module.c_str()).c_str());
    if (!module)
        return Report(kLoadFailed, "LoadLibrary(\"" + options.module + "\") failed: " +
                                       StatusText(HRESULT_FROM_WIN32(GetLastError())));

    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    const auto call = GetModuleEntryPoint<EntryPoint>(module, entryPoint);
    int status = kDone;
    if (!call) {
        status = Report(kNoEntryPoint, options.module + " has no entry point " + entryPoint + ".");
    } else if (const HRESULT hr = call(); FAILED(hr)) {
        status = Report(kEntryPointFailed, std::string(entryPoint) + " in " + options.module +
                                               " failed. Return code was: " + StatusText(hr));
    } else if (!options.silent) {
        std::printf("%s in %s succeeded.\n", entryPoint, options.module.c_str());
    }
    FreeLibrary(module);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnsweredVersion(argc, argv, "regsvr"))
        return kDone;
    if (argc == 2 && (std::string(argv[1]) == "--help" || IsOption(argv[1], '?') || IsOption(argv[1], 'h'))) {
        std::fputs(kUsage, stdout);
        return kDone;
    }
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kBadArguments;
    }
    return Run(options);
}
