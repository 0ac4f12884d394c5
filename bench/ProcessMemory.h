// The resident memory of this process as Linux's /proc reports it, and a child process run for
// its output: the memory goals measure each load in a process of its own.
#pragma once

#include <optional>
#include <string>

// Resident now, in KiB; -1 when /proc cannot say.
long long ResidentKilobytes();
// The most resident since the process began or since the last ResetPeakResident, in KiB.
long long PeakResidentKilobytes();
// Makes the peak the resident size of now; false where the system does not allow it.
bool ResetPeakResident();

// Runs the command through the shell; its standard output, or nothing when it fails.
std::optional<std::string> OutputOf(const std::string& command);
// The path of this process's program.
std::string OwnProgramPath();
