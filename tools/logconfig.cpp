// logconfig: shows and sets the logging configuration of the current user, the values under
// HKEY_CURRENT_USER\Software\Tavrin\Logging\<product>.
//
//   logconfig [/product NAME] [/clear] [NAME VALUE]...
//
// NAME is EventLogLevel, FileLogLevel, File or FileMaxSize; /clear first removes every value.
// The configuration in effect is printed after any change. Exit status: 0 done, 1 bad arguments, 2 the registry failed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>

#include "OleString.h"
#include "ToolVersion.h"
#include "ZoException.h"
#include "ZoFileUtilities.h"
#include "ZoFormat.h"
#include "ZoLogConfig.h"
#include "ZoRegistry.h"

namespace {

enum ExitStatus { kDone = 0, kBadArguments = 1, kRegistryFailed = 2 };

constexpr OLECHAR kLoggingKey[] = OLESTR("HKEY_CURRENT_USER\\Software\\Tavrin\\Logging");
constexpr char kDefaultProduct[] = "Tavrin Lumo Platform";

constexpr char kUsage[] =
    "Usage: logconfig [/product NAME] [/clear] [NAME VALUE]...\n"
    "       logconfig --version\n"
    "Shows the logging configuration of the current user and sets the values named:\n"
    "  EventLogLevel N   messages up to level N go to the event log (default 2)\n"
    "  FileLogLevel N    messages up to level N go to the log file (default 0)\n"
    "  File PATH         the log file; %VARIABLES% are expanded when it is read (default none)\n"
    "  FileMaxSize N     bytes after which the file is moved to its _old name (default 1048576)\n"
    "Levels: 0 none, 1 error, 2 warning, 3 information, 4 debug, 5 stack trace.\n"
    "  /product NAME     the product whose configuration it is (default \"Tavrin Lumo Platform\")\n"
    "  /clear            first removes the product's configuration: every value at its default\n";

struct Setting {
    std::string name;
    std::string value;
};

struct Options {
    std::string product = kDefaultProduct;
    bool clear = false;
    std::vector<Setting> settings;
};

bool IsOption(const std::string& argument, const char* name)
{
    return (argument[0] == '/' || argument[0] == '-') && argument.compare(1, std::string::npos, name) == 0;
}

bool IsNumberName(const std::string& name)
{
    return name == "EventLogLevel" || name == "FileLogLevel" || name == "FileMaxSize";
}

bool IsDecimal(const std::string& text)
{
    if (text.empty() || text.size() > 10)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return std::strtoull(text.c_str(), nullptr, 10) <= 0xFFFFFFFFull;
}

bool ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.empty())
            return false;
        if (IsOption(argument, "product") && i + 1 < argc) {
            options.product = argv[++i];
        } else if (IsOption(argument, "clear")) {
            options.clear = true;
        } else if ((IsNumberName(argument) || argument == "File") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (IsNumberName(argument) && !IsDecimal(value))
                return false;
            options.settings.push_back({argument, value});
        } else {
            return false;
        }
    }
    return !options.product.empty();
}

OleString Widen(const std::string& text)
{
    return ZoAnsiToOle(text.c_str());
}

void Apply(const OleString& key, const Setting& setting)
{
    const OleString name = Widen(setting.name);
    if (IsNumberName(setting.name))
        CZoRegistry::SetValue(key, name, static_cast<DWORD>(std::strtoul(setting.value.c_str(), nullptr, 10)));
    else
        CZoRegistry::SetValue(key, name, Widen(setting.value).c_str());
}

OleString ProductSubkey(const std::string& product)
{
    return OleString(OLESTR("Software\\Tavrin\\Logging\\")) + Widen(product);
}

// Success, or a missing key (the defaults apply), is all a caller may go on from.
void RequireFound(LSTATUS status, const OleString& what, int line, const OLECHAR* function)
{
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw CZoException(what + OLESTR(": ") + ZoSystemMessageText(static_cast<DWORD>(status)),
                           ZoHResultFromSystemError(status), OLESTR(".\\logconfig"), line, function);
}

void Clear(const OleString& key, const std::string& product)
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, ProductSubkey(product).c_str());
    RequireFound(status, OLESTR("Cannot remove ") + key, __LINE__, OLESTR("Clear"));
}

// The configuration reader takes any registry failure for the defaults; the values shown
// must be the configuration, so the key is opened first and a failure reported.
void RequireReadable(const OleString& key, const std::string& product)
{
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, ProductSubkey(product).c_str(), 0, KEY_READ, &opened);
    if (status == ERROR_SUCCESS)
        RegCloseKey(opened);
    RequireFound(status, OLESTR("Cannot read ") + key, __LINE__, OLESTR("Show"));
}

void Show(const OleString& key, const std::string& product)
{
    RequireReadable(key, product);
    const OleString file = CZoRegistry::GetStringValue(key, OLESTR("File"), OLESTR(""), false);
    CZoLogConfig config(Widen(product), OLESTR(""));
    config.ReadConfig();
    std::printf("%s\n", ZoOleToAnsi(key).c_str());
    std::printf("  EventLogLevel = %d\n", config.eventLogLevel);
    std::printf("  FileLogLevel  = %d\n", config.fileLogLevel);
    if (file.empty())
        std::printf("  File          = (none)\n");
    else if (file == config.logFilePath)
        std::printf("  File          = %s\n", ZoOleToAnsi(file).c_str());
    else
        std::printf("  File          = %s (%s)\n", ZoOleToAnsi(file).c_str(), ZoOleToAnsi(config.logFilePath).c_str());
    std::printf("  FileMaxSize   = %lu\n", static_cast<unsigned long>(config.maxFileSize));
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnsweredVersion(argc, argv, "logconfig"))
        return kDone;
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return kBadArguments;
    }
    try {
        const OleString key = CZoFileUtilities::ConcatPathname(kLoggingKey, Widen(options.product));
        if (options.clear)
            Clear(key, options.product);
        for (const Setting& setting : options.settings)
            Apply(key, setting);
        Show(key, options.product);
    } catch (const CZoException& error) {
        std::fprintf(stderr, "logconfig: %s\n", ZoOleToAnsi(error.GetDescription()).c_str());
        return kRegistryFailed;
    }
    return kDone;
}
