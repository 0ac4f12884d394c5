#include "ProcessMemory.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

long long StatusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0) {
            std::istringstream value(line.substr(field.size() + 1));
            long long kilobytes = -1;
            value >> kilobytes;
            return kilobytes;
        }
    }
    return -1;
}

}  // namespace

long long ResidentKilobytes()
{
    return StatusKilobytes("VmRSS");
}

long long PeakResidentKilobytes()
{
    return StatusKilobytes("VmHWM");
}

bool ResetPeakResident()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return !clear.fail();
}

std::optional<std::string> OutputOf(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string output;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, read);
    return pclose(pipe) == 0 ? std::optional<std::string>(output) : std::nullopt;
}

std::string OwnProgramPath()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}
