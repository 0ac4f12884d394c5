// The files that the event log and the debugger output of the stand-in also write to, so that
// a test or a user can read them back: one UTF-8 line per record, appended in one write, so
// that several processes may share a file without tearing each other's lines.
#pragma once

#include <string>

#include "common/WideText.h"

namespace lumo::platform {

// "\", tab, CR and LF written as "\\", "\t", "\r" and "\n"; everything else as UTF-8.
std::string EscapeDiagnosticText(WideView text);

// Appends line and a LF to the file that the environment variable names, when it names one.
// Returns 0, or the errno of the failed open or write.
int AppendDiagnosticLine(const char* variable, const std::string& line);

}  // namespace lumo::platform
