// The sink interface and the guard that keeps every logging failure inside logging. The levels
// are the error core's (ZoLogReporter.h).
#pragma once

#include <windows.h>

#include "OleString.h"
#include "ZoLogConfig.h"
#include "ZoLogReporter.h"

// A sink. Its thresholds come from its own copy of the configuration.
class CZoLogBase {
public:
    CZoLogBase() noexcept;
    virtual ~CZoLogBase();
    CZoLogBase(const CZoLogBase&) = delete;
    CZoLogBase& operator=(const CZoLogBase&) = delete;

    virtual void Init();
    virtual void Log(int level, const OleString& text, bool force) = 0;
    virtual void SetConfig(const CZoLogConfig& config);
    virtual bool IsDebuggingLevel() = 0;

protected:
    CZoLogConfig m_config;
};

// Writes a message to the debugger output; never throws.
void ZoDebugOutput(OleStringView text) noexcept;

// Called inside a catch clause of the logging function named: the debugger output gets
// "Error in logging function <name> : " and the description of a CZoException, or
// "Access violation in logging function <name>" for anything else.
void ZoReportLoggingFailure(const OLECHAR* function) noexcept;

// Runs body; whatever it throws is reported under the function's name and goes no further.
template <class Body>
void ZoLoggingGuard(const OLECHAR* function, Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
        ZoReportLoggingFailure(function);
    }
}
