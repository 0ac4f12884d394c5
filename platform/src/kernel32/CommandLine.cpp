#include "kernel32/CommandLine.h"

namespace lumo::platform {

namespace {

bool IsBlank(WCHAR c)
{
    return c == u' ' || c == u'\t';
}

size_t SkipBlanks(WideView text, size_t i)
{
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i;
}

}  // namespace

std::vector<WideString> SplitCommandLine(WideView commandLine)
{
    std::vector<WideString> arguments;
    size_t i = SkipBlanks(commandLine, 0);
    if (i == commandLine.size())
        return arguments;

    WideString program;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || !IsBlank(commandLine[i])); ++i) {
        if (commandLine[i] == u'"')
            quoted = !quoted;
        else
            program.push_back(commandLine[i]);
    }
    arguments.push_back(std::move(program));

    for (i = SkipBlanks(commandLine, i); i < commandLine.size(); i = SkipBlanks(commandLine, i)) {
        WideString argument;
        quoted = false;
        while (i < commandLine.size() && (quoted || !IsBlank(commandLine[i]))) {
            size_t backslashes = 0;
            while (i < commandLine.size() && commandLine[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < commandLine.size() && commandLine[i] == u'"') {
                argument.append(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    argument.push_back(u'"');
                } else if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == u'"') {
                    argument.push_back(u'"');
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, u'\\');
                if (i < commandLine.size() && (quoted || !IsBlank(commandLine[i])))
                    argument.push_back(commandLine[i++]);
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace lumo::platform
