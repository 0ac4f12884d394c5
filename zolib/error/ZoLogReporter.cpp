#include "ZoLogReporter.h"

#include <atomic>

namespace {

// Constant-initialised, so that a reporter installed while other objects are still being
// constructed at load is never overwritten.
constinit std::atomic<IZoLogReporter*> g_reporter{nullptr};

}  // namespace

void ZoInstallLogReporter(IZoLogReporter* reporter) noexcept
{
    g_reporter.store(reporter);
}

void ZoReportToLog(int level, const OLECHAR* format, ...) noexcept
{
    IZoLogReporter* const reporter = g_reporter.load();
    if (!reporter)
        return;
    va_list args;
    va_start(args, format);
    reporter->Report(level, format, args);
    va_end(args);
}
