#include "ZoLogging.h"

#include <cstdarg>

#include "ZoFormat.h"

namespace {

// Trivially destructible, so that it can still be read after the logger is gone: the last
// destructors of the process (the logger's own members among them) may log.
constinit std::atomic<bool> g_loggerGone{false};

thread_local bool t_logging = false;

// Linked into a program, the logger takes the error core's reports from the program's start.
// Trivially destructible, so that it still answers while the last destructors run.
class ReportsToLogger final : public IZoLogReporter {
public:
    ReportsToLogger() noexcept { ZoInstallLogReporter(this); }

    void Report(int level, const OLECHAR* format, va_list args) noexcept override
    {
        CZoLogging::Instance().LogV({level, false}, format, args);
    }
};

[[maybe_unused]] ReportsToLogger g_reportsToLogger;

class LoggingOnThisThread {
public:
    LoggingOnThisThread() noexcept { t_logging = true; }
    ~LoggingOnThisThread() { t_logging = false; }
    LoggingOnThisThread(const LoggingOnThisThread&) = delete;
    LoggingOnThisThread& operator=(const LoggingOnThisThread&) = delete;
};

}  // namespace

CZoLogging& CZoLogging::Instance()
{
    static CZoLogging instance;
    return instance;
}

CZoLogging::CZoLogging() noexcept
    : m_config(OLESTR("Tavrin software"), OLESTR("")), m_initialised(false), m_testObserver(nullptr)
{
    ZoLoggingGuard(OLESTR("CZoLogging::CZoLogging"), [&] {
        m_productName = OLESTR("Tavrin software");
        m_initLock.Init(OLESTR(""), false);
    });
}

CZoLogging::~CZoLogging()
{
    g_loggerGone.store(true);
}

void CZoLogging::SetProductInfo(OleStringView name, OleStringView version) noexcept
{
    CZoLogging& logging = Instance();
    ZoLoggingGuard(OLESTR("CZoLogging::SetProductInfo"), [&] {
        CZoLockHolder holder(&logging.m_initLock);
        logging.m_productName = name;
        logging.m_productVersion = version;
        logging.m_initialised.store(false);
    });
}

void CZoLogging::Reinitialize() noexcept
{
    ZoLoggingGuard(OLESTR("CZoLogging::Reinitialize"), [&] {
        CZoLockHolder holder(&m_initLock);
        m_initialised.store(false);
    });
}

void CZoLogging::Init() noexcept
{
    ZoLoggingGuard(OLESTR("CZoLogging::Init"), [&] {
        CZoLockHolder holder(&m_initLock);
        if (m_initialised.load())
            return;
        // The product information is copied here rather than at every message: it is set once,
        // at load, and the configuration is shared by every thread that logs.
        CZoLogConfig config(m_productName, m_productVersion);
        config.ReadConfig();
        m_config = config;
        m_eventLog.SetConfig(m_config);
        m_fileLog.SetConfig(m_config);
        m_eventLog.Init();
        m_fileLog.Init();
        m_initialised.store(true);
    });
}

void CZoLogging::Log(CZoLogRequest request, const OLECHAR* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    LogV(request, format, args);
    va_end(args);
}

void CZoLogging::LogV(CZoLogRequest request, const OLECHAR* format, va_list args) noexcept
{
    if (g_loggerGone.load())
        return;
    if (request.level >= ZO_LOG_DEBUG && !IsDebuggingLevelInternal())
        return;
    OleString text;
    try {
        text = ZoFormatV(format, args);
    } catch (...) {
        ZoReportLoggingFailure(OLESTR("CZoLogging::Log"));
        return;
    }
    LogInternal(request.level, text, request.force);
}

void CZoLogging::LogInternal(int level, const OleString& text, bool force) noexcept
{
    if (g_loggerGone.load())
        return;
    if (t_logging) {
        // From inside a sink: writing it there again could go round without end.
        ZoDebugOutput(text);
        return;
    }
    const LoggingOnThisThread logging;
    ZoLoggingGuard(OLESTR("CZoLogging::LogInternal"), [&] {
        if (!m_initialised.load())
            Init();
        if (CZoLogTestObserver* observer = m_testObserver.load())
            observer->OnLog(level, text, force);
        // Until initialisation succeeds the configuration may be changing on another thread.
        if (!m_initialised.load())
            return;
        if (m_config.eventLogLevel >= level || force)
            m_eventLog.Log(level, text, force);
        if (m_config.fileLogLevel >= level && !m_config.logFilePath.empty())
            m_fileLog.Log(level, text, false);
    });
}

bool CZoLogging::IsDebuggingLevelInternal() noexcept
{
    if (g_loggerGone.load())
        return false;
    bool debugging = false;
    ZoLoggingGuard(OLESTR("CZoLogging::IsDebuggingLevelInternal"), [&] {
        if (!m_initialised.load())
            Init();
        if (m_initialised.load())
            debugging = m_eventLog.IsDebuggingLevel() || m_fileLog.IsDebuggingLevel();
    });
    return debugging;
}

void CZoLogging::SetTestObserver(CZoLogTestObserver* observer) noexcept
{
    m_testObserver.store(observer);
}
