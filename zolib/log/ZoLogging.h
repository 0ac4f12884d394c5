// The process-wide logger: the front that the library calls where an error cannot be thrown,
// and its two sinks, the event log and the log file, configured per user in the registry.
// Logging never fails outward and never waits without end: every failure inside it goes to
// the debugger output only.
#pragma once

#include <atomic>
#include <cstdarg>

#include <windows.h>

#include "OleString.h"
#include "ZoEventLog.h"
#include "ZoFileLog.h"
#include "ZoLock.h"
#include "ZoMutexLock.h"
#include "ZoLogBase.h"
#include "ZoLogConfig.h"

// A message's level and whether it goes to the event log whatever its threshold.
struct CZoLogRequest {
    int level;
    bool force;
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

    // The product information: it names the configuration key and the event source and
    // appears in every event text; ("Tavrin software", "") until it is set. Set once, when the
    // module loads, before anything logs. A logger that has read its configuration already
    // reads it again at the next message.
    static void SetProductInfo(OleStringView name, OleStringView version) noexcept;

    // Formats only when some sink takes the level: messages of the debugging levels (4 and
    // up) are dropped unformatted otherwise.
    void Log(CZoLogRequest request, const OLECHAR* format, ...) noexcept;
    void LogV(CZoLogRequest request, const OLECHAR* format, va_list args) noexcept;
    // Reads the configuration at the first message of the process. A message logged while
    // the same thread is logging (a failure inside a sink, say) goes to the debugger output.
    void LogInternal(int level, const OleString& text, bool force) noexcept;
    bool IsDebuggingLevelInternal() noexcept;

    // Test support; null removes the observer. The observer must outlive its installation.
    void SetTestObserver(CZoLogTestObserver* observer) noexcept;
    // Test support: the next message reads the configuration again and initialises the sinks
    // anew. Not while other threads log.
    void Reinitialize() noexcept;

    CZoLogging(const CZoLogging&) = delete;
    CZoLogging& operator=(const CZoLogging&) = delete;

private:
    CZoLogging() noexcept;
    ~CZoLogging();

    void Init() noexcept;

    CZoLogConfig m_config;
    CZoEventLog m_eventLog;
    CZoFileLog m_fileLog;
    std::atomic<bool> m_initialised;
    // Made with the logger, so that two first messages at once find it in place.
    CZoMutexLock m_initLock;
    std::atomic<CZoLogTestObserver*> m_testObserver;
    // The product information, guarded by m_initLock.
    OleString m_productName;
    OleString m_productVersion;
};
