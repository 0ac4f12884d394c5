// Where the error core reports what it cannot throw: an error a destructor frame caught, a
// mutex that would not be released. The core does not log by itself; the logger installs
// itself as the one reporter of the process when it is linked in, and until a reporter is
// installed such lines go nowhere.
#pragma once

#include <cstdarg>

#include <windows.h>

// A message has one level; a sink takes the messages whose level is at most its threshold.
// 4 and 5 are the debugging levels.
enum : int {
    ZO_LOG_NONE = 0,
    ZO_LOG_ERROR = 1,
    ZO_LOG_WARNING = 2,
    ZO_LOG_INFO = 3,
    ZO_LOG_DEBUG = 4,
    ZO_LOG_STACKTRACE = 5,
};

// Takes one message: its level and a format with its arguments, as ZoFormat reads them.
class IZoLogReporter {
public:
    virtual void Report(int level, const OLECHAR* format, va_list args) noexcept = 0;

protected:
    ~IZoLogReporter() = default;
};

// Installs the process's reporter, which must live as long as it is installed; null removes
// it. Safe from any thread.
void ZoInstallLogReporter(IZoLogReporter* reporter) noexcept;

// Hands a message to the installed reporter, if there is one.
void ZoReportToLog(int level, const OLECHAR* format, ...) noexcept;
