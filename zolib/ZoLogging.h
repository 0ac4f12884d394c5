// The process-wide logger's front: what the library calls where an error cannot be thrown.
// The sinks behind it (event log, text file) and their configuration from the registry come
// later; until then they take every message and do nothing with it.
#pragma once

#include <atomic>
#include <memory>

#include <windows.h>

#include "OleString.h"
#include "ZoLock.h"

enum : int {
    ZO_LOG_NONE = 0,
    ZO_LOG_ERROR = 1,
    ZO_LOG_WARNING = 2,
    ZO_LOG_INFO = 3,
    ZO_LOG_DEBUG = 4,
    ZO_LOG_STACKTRACE = 5,
};

// A message's level and whether it goes to the event log whatever its threshold.
struct CZoLogRequest {
    int level;
    bool force;
};

class CZoLogConfig {
public:
    CZoLogConfig(OleStringView productName, OleStringView productVersion);

    OleString productName;
    OleString productVersion;
    int eventLogLevel;
    int fileLogLevel;
    OleString logFilePath;
    int maxFileSize;
};

// A sink. Its threshold comes from its own copy of the configuration.
class CZoLogBase {
public:
    CZoLogBase();
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

// Test support: sees every message that reaches LogInternal while it is installed.
class CZoLogTestObserver {
public:
    virtual void OnLog(int level, const OleString& text, bool force) = 0;

protected:
    ~CZoLogTestObserver() = default;
};

class CZoLogging {
public:
    // The one logger of the process.
    static CZoLogging& Instance();

    // Formats only when some sink takes the level: messages of the debugging levels (4 and
    // up) are dropped unformatted otherwise. Never throws.
    void Log(CZoLogRequest request, const OLECHAR* format, ...) noexcept;
    void LogInternal(int level, const OleString& text, bool force) noexcept;
    bool IsDebuggingLevelInternal() noexcept;

    // Test support; null removes the observer. The observer must outlive its installation.
    void SetTestObserver(CZoLogTestObserver* observer) noexcept;

    CZoLogging(const CZoLogging&) = delete;
    CZoLogging& operator=(const CZoLogging&) = delete;

private:
    CZoLogging();
    ~CZoLogging();

    void Init() noexcept;

    CZoLogConfig m_config;
    std::unique_ptr<CZoLogBase> m_eventLog;
    std::unique_ptr<CZoLogBase> m_fileLog;
    std::atomic<bool> m_initialised;
    CZoCOMLock m_initLock;
    std::atomic<CZoLogTestObserver*> m_testObserver;
};
