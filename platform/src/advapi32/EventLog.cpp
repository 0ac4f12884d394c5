// The event log of the stand-in: event sources report to syslog and, for reading back, to the
// file named by LUMOITEMS_EVENTLOG. There is no message module to format an event with: the
// inserted strings are the event's text.
#include <windows.h>

#include <syslog.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/DiagnosticFile.h"
#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/HostError.h"

namespace lumo::platform {

namespace {

// The registered sources. A source handle is not a kernel handle, as on Windows: only
// DeregisterEventSource closes it.
class EventSources {
public:
    static EventSources& Instance()
    {
        static EventSources* sources = new EventSources;  // sources may be closed during exit
        return *sources;
    }

    HANDLE Add(WideString name)
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        const uintptr_t value = m_next;
        m_next += 4;
        m_names.emplace(value, std::move(name));
        return reinterpret_cast<HANDLE>(value);
    }

    bool Find(HANDLE handle, WideString& name)
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        const auto found = m_names.find(reinterpret_cast<uintptr_t>(handle));
        if (found == m_names.end())
            return false;
        name = found->second;
        return true;
    }

    bool Remove(HANDLE handle)
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_names.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
    }

private:
    EventSources() = default;

    std::mutex m_mutex;
    std::unordered_map<uintptr_t, WideString> m_names;
    uintptr_t m_next = 0x7E000;  // apart from the kernel's and the registry's handle numbers
};

struct EventType {
    const char* name;
    int priority;
};

bool TypeOf(WORD type, EventType& result)
{
    switch (type) {
    case EVENTLOG_SUCCESS:
        result = {"success", LOG_INFO};
        return true;
    case EVENTLOG_ERROR_TYPE:
        result = {"error", LOG_ERR};
        return true;
    case EVENTLOG_WARNING_TYPE:
        result = {"warning", LOG_WARNING};
        return true;
    case EVENTLOG_INFORMATION_TYPE:
        result = {"information", LOG_INFO};
        return true;
    case EVENTLOG_AUDIT_SUCCESS:
        result = {"audit-success", LOG_NOTICE};
        return true;
    case EVENTLOG_AUDIT_FAILURE:
        result = {"audit-failure", LOG_NOTICE};
        return true;
    default:
        return false;
    }
}

template <class Result>
Result Fail(DWORD error, Result result)
{
    SetLastError(error);
    return result;
}

}  // namespace

}  // namespace lumo::platform

using namespace lumo::platform;

HANDLE WINAPI RegisterEventSourceW(LPCWSTR lpUNCServerName, LPCWSTR lpSourceName)
{
    return AtApiBoundary<HANDLE>(nullptr, [&]() -> HANDLE {
        if (!ViewOf(lpUNCServerName).empty())
            return Fail(ERROR_NOT_SUPPORTED, static_cast<HANDLE>(nullptr));
        if (!lpSourceName)
            return Fail(ERROR_INVALID_PARAMETER, static_cast<HANDLE>(nullptr));
        return EventSources::Instance().Add(WideString(ViewOf(lpSourceName)));
    });
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        return EventSources::Instance().Remove(hEventLog) ? TRUE : Fail(ERROR_INVALID_HANDLE, FALSE);
    });
}

BOOL WINAPI ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                         WORD wNumStrings, DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID lpRawData)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        WideString source;
        if (!EventSources::Instance().Find(hEventLog, source))
            return Fail(ERROR_INVALID_HANDLE, FALSE);
        EventType type{};
        if (!TypeOf(wType, type) || (wNumStrings && !lpStrings) || (dwDataSize && !lpRawData))
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        std::string message = ToUtf8(source) + ":";
        std::string record = EscapeDiagnosticText(source) + '\t' + type.name + '\t' + std::to_string(wCategory) +
                             '\t' + std::to_string(dwEventID);
        for (WORD i = 0; i < wNumStrings; ++i) {
            const WideView text = ViewOf(lpStrings[i]);
            message += ' ';
            message += ToUtf8(text);
            record += '\t';
            record += EscapeDiagnosticText(text);
        }
        // No openlog: that would change the identity of the host process's own messages.
        syslog(LOG_USER | type.priority, "%s", message.c_str());
        if (const int error = AppendDiagnosticLine("LUMOITEMS_EVENTLOG", record))
            return Fail(Win32ErrorFromErrno(error), FALSE);
        return TRUE;
    });
}
