#include "ZoLogging.h"

#include <cstdarg>

#include "ZoFormat.h"

namespace {

// Stands in for the event log and file sinks until they exist: takes nothing.
class CZoSilentLog : public CZoLogBase {
public:
    void Log(int, const OleString&, bool) override {}
    bool IsDebuggingLevel() override { return false; }
};

}  // namespace

CZoLogConfig::CZoLogConfig(OleStringView name, OleStringView version)
    : productName(name), productVersion(version), eventLogLevel(2), fileLogLevel(0), maxFileSize(0x100000)
{
}

CZoLogBase::CZoLogBase() : m_config(OLESTR("Tavrin software"), OLESTR("")) {}

CZoLogBase::~CZoLogBase() = default;

void CZoLogBase::Init() {}

void CZoLogBase::SetConfig(const CZoLogConfig& config)
{
    m_config = config;
}

// ---------------------------------------------------------------------------------------

CZoLogging& CZoLogging::Instance()
{
    static CZoLogging instance;
    return instance;
}

CZoLogging::CZoLogging()
    : m_config(OLESTR("Tavrin software"), OLESTR("")),
      m_eventLog(std::make_unique<CZoSilentLog>()),
      m_fileLog(std::make_unique<CZoSilentLog>()),
      m_initialised(false),
      m_testObserver(nullptr)
{
}

CZoLogging::~CZoLogging() = default;

void CZoLogging::Init() noexcept
{
    try {
        CZoLockHolder holder(&m_initLock);
        if (m_initialised.load())
            return;
        m_eventLog->SetConfig(m_config);
        m_fileLog->SetConfig(m_config);
        m_eventLog->Init();
        m_fileLog->Init();
        m_initialised.store(true);
    } catch (...) {
        // Left uninitialised: the next message tries again.
    }
}

void CZoLogging::Log(CZoLogRequest request, const OLECHAR* format, ...) noexcept
{
    try {
        if (request.level >= ZO_LOG_DEBUG && !IsDebuggingLevelInternal())
            return;
        va_list args;
        va_start(args, format);
        OleString text;
        try {
            text = ZoFormatV(format, args);
        } catch (...) {
            va_end(args);
            throw;
        }
        va_end(args);
        LogInternal(request.level, text, request.force);
    } catch (...) {
        // Logging never fails outward.
    }
}

void CZoLogging::LogInternal(int level, const OleString& text, bool force) noexcept
{
    try {
        if (!m_initialised.load())
            Init();
        if (CZoLogTestObserver* observer = m_testObserver.load())
            observer->OnLog(level, text, force);
        if (m_config.eventLogLevel >= level || force)
            m_eventLog->Log(level, text, force);
        if (m_config.fileLogLevel >= level && !m_config.logFilePath.empty())
            m_fileLog->Log(level, text, false);
    } catch (...) {
        // Logging never fails outward.
    }
}

bool CZoLogging::IsDebuggingLevelInternal() noexcept
{
    try {
        if (!m_initialised.load())
            Init();
        return m_eventLog->IsDebuggingLevel() || m_fileLog->IsDebuggingLevel();
    } catch (...) {
        return false;
    }
}

void CZoLogging::SetTestObserver(CZoLogTestObserver* observer) noexcept
{
    m_testObserver.store(observer);
}
