// lumoitems: shows, searches and checks the XML documents of items and item collections, by
// creating the library's objects through the runtime as any client does.
//
//   lumoitems show FILE
//   lumoitems find FILE NAME NAMESPACE VALUE [--type TYPE]
//   lumoitems check FILE
//
// The usage text below is the reference for the commands, options and exit statuses.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "DocumentText.h"
#include "ItemDocument.h"
#include "ToolVersion.h"
#include "ZoFormat.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE(".\\lumoitems")

namespace {

enum ExitStatus { kDone = 0, kFailed = 1, kBadArguments = 2 };

constexpr char kUsage[] =
    "Usage: lumoitems show FILE\n"
    "       lumoitems find FILE NAME NAMESPACE VALUE [--type TYPE]\n"
    "       lumoitems check FILE\n"
    "       lumoitems --help\n"
    "       lumoitems --version\n"
    "\n"
    "Works with the XML documents of LumoItems items (root element \"item\") and item\n"
    "collections (root element \"enum\"). FILE is a UTF-8 file, or - for standard input.\n"
    "\n"
    "Commands:\n"
    "  show FILE    prints the ToString text of the item or collection in FILE.\n"
    "  find FILE NAME NAMESPACE VALUE [--type TYPE]\n"
    "               loads the collection in FILE and prints, as a collection, the items\n"
    "               whose property NAME in the namespace NAMESPACE equals VALUE (FindAll).\n"
    "               No type conversion is made: VALUE matches values of its own type only.\n"
    "               With NAME GUID and NAMESPACE urn:lumoitems:item, VALUE is compared with\n"
    "               the items' GUIDs, without regard to case.\n"
    "  check FILE   loads FILE and prints whether it is a valid item or collection document.\n"
    "\n"
    "Options:\n"
    "  --type TYPE  (find) the XML Schema type as which VALUE is read: string (the default),\n"
    "               integer, decimal, boolean, dateTime, base64binary, stringlist or\n"
    "               integerlist, without regard to case.\n"
    "  --           ends the options, so that an operand may begin with --.\n"
    "  --help, -h   prints this text.\n"
    "  --version    prints the version of the tool.\n"
    "\n"
    "Exit status:\n"
    "  0  done; for check: the document is valid.\n"
    "  1  a failure: the file could not be read, the document did not load (for check: it\n"
    "     is not valid), the value could not be read, or the library could not be reached.\n"
    "     The error's text goes to standard error.\n"
    "  2  bad arguments: this text goes to standard error.\n"
    "\n"
    "The classes are found in the registry (on Linux the file that LUMOITEMS_REGISTRY names):\n"
    "register the module with regsvr first.\n";

struct SCommandLine {
    std::string command;
    std::vector<std::string> operands;
    std::optional<std::string> type;
};

int Show(const SCommandLine& line)
{
    ZO_FUNCTION(OLESTR("Show"))
    {
        const SItemDocument document = LoadItemDocument(ReadDocumentText(line.operands[0]));
        WriteText(stdout, ObjectText(document.object));
        return kDone;
    }
    ZO_FUNCTION_END
}

int Find(const SCommandLine& line)
{
    ZO_FUNCTION(OLESTR("Find"))
    {
        const CComVariant value = CZoVariant::FromXSDString(ZoAnsiToOle(line.operands[3].c_str()),
                                                            ZoAnsiToOle(line.type.value_or("string").c_str()));
        const SItemDocument document = LoadItemDocument(ReadDocumentText(line.operands[0]));
        if (document.kind != DocumentKind::Collection)
            ZO_THROW_WITH_INFO(OLESTR("find needs a collection document (root element \"enum\")."), E_INVALIDARG,
                               OLESTR("Root"), OLESTR("item"));
        const CComPtr<ILumoEnum> found = FindAllItems(document.object, ZoAnsiToOle(line.operands[1].c_str()),
                                                      ZoAnsiToOle(line.operands[2].c_str()), value);
        WriteText(stdout, ObjectText(found));
        return kDone;
    }
    ZO_FUNCTION_END
}

void ReportError(const CZoException& error)
{
    // The description doubles every "%" so that it can serve as a format: formatting it gives
    // the text back.
    WriteText(stderr, OLESTR("lumoitems: ") + ZoFormat(error.GetDescription().c_str()));
}

int Check(const SCommandLine& line)
{
    const std::string& path = line.operands[0];
    const std::string name = path == "-" ? "standard input" : path;
    try {
        const SItemDocument document = LoadItemDocument(ReadDocumentText(path));
        std::printf("%s: valid %s document\n", name.c_str(),
                    document.kind == DocumentKind::Item ? "item" : "collection");
        return kDone;
    } catch (const CZoException& error) {
        std::printf("%s: not valid\n", name.c_str());
        std::fflush(stdout);
        ReportError(error);
        return kFailed;
    }
}

struct SCommand {
    const char* name;
    size_t operandCount;
    bool takesType;
    int (*run)(const SCommandLine&);
};

constexpr SCommand kCommands[] = {
    {"show", 1, false, Show},
    {"find", 4, true, Find},
    {"check", 1, false, Check},
};

struct SParsedCommandLine {
    bool help = false;
    // Null for arguments that name no command or don't fit it.
    const SCommand* command = nullptr;
    SCommandLine line;
};

bool IsHelp(const std::string& argument)
{
    return argument == "--help" || argument == "-h" || argument == "/?";
}

SParsedCommandLine ParseCommandLine(int argc, char** argv)
{
    SParsedCommandLine parsed;
    SCommandLine& line = parsed.line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options && IsHelp(argument)) {
            parsed.help = true;
            return parsed;
        }
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--type") {
            if (line.type || i + 1 == argc)
                return parsed;
            line.type = argv[++i];
        } else if (options && argument.starts_with("--")) {
            return parsed;
        } else if (line.command.empty()) {
            line.command = argument;
        } else {
            line.operands.push_back(argument);
        }
    }
    for (const SCommand& command : kCommands) {
        if (line.command == command.name && line.operands.size() == command.operandCount &&
            (command.takesType || !line.type))
            parsed.command = &command;
    }
    return parsed;
}

int Run(const SCommand& command, const SCommandLine& line)
{
    try {
        return command.run(line);
    } catch (const CZoException& error) {
        ReportError(error);
        return kFailed;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnsweredVersion(argc, argv, "lumoitems"))
        return kDone;
    const SParsedCommandLine parsed = ParseCommandLine(argc, argv);
    if (parsed.help) {
        std::fputs(kUsage, stdout);
        return kDone;
    }
    if (!parsed.command) {
        std::fputs(kUsage, stderr);
        return kBadArguments;
    }
    if (const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr)) {
        std::fprintf(stderr, "lumoitems: CoInitializeEx failed: 0x%08X %s\n", static_cast<unsigned>(hr),
                     ZoOleToAnsi(ZoSystemMessageText(static_cast<DWORD>(hr))).c_str());
        return kFailed;
    }
    const int status = Run(*parsed.command, parsed.line);
    CoUninitialize();
    return status;
}
