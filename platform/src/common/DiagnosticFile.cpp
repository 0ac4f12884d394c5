#include "common/DiagnosticFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "kernel32/Environment.h"

namespace lumo::platform {

std::string EscapeDiagnosticText(WideView text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : ToUtf8(text)) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

int AppendDiagnosticLine(const char* variable, const std::string& line)
{
    const auto path = ReadEnvironmentVariable(variable);
    if (!path || path->empty())
        return 0;
    const int fd = open(path->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    const std::string record = line + '\n';
    ssize_t written;
    do {
        written = write(fd, record.data(), record.size());
    } while (written < 0 && errno == EINTR);
    const int error = written < 0 ? errno : (static_cast<size_t>(written) == record.size() ? 0 : EIO);
    close(fd);
    return error;
}

}  // namespace lumo::platform
