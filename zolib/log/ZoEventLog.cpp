#include "ZoEventLog.h"

#include "ZoEventMessageModule.h"
#include "ZoFile.h"
#include "ZoFileUtilities.h"
#include "ZoFormat.h"
#include "ZoRegistry.h"

namespace {

constexpr OLECHAR kLibraryVersion[] = OLESTR("0.8.205");
constexpr OLECHAR kEventSourcesKey[] = OLESTR("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application");
constexpr OLECHAR kMessageModuleName[] = OLESTR("ZoEventMessages.dll");
constexpr DWORD kTypesSupported = 7;  // error, warning, information
constexpr DWORD kEventId = 1;

WORD EventTypeOf(int level)
{
    switch (level) {
    case ZO_LOG_ERROR:
        return EVENTLOG_ERROR_TYPE;
    case ZO_LOG_WARNING:
        return EVENTLOG_WARNING_TYPE;
    default:
        return EVENTLOG_INFORMATION_TYPE;
    }
}

void WriteMessageModule(const OleString& path)
{
    // The stand-in's event log takes its text from the inserted strings: no module needed there.
#ifdef _WIN32
    if (CZoFileUtilities::FileExists(path))
        return;
    const auto& image = ZoEventMessageModule();
    CZoFile file;
    file.Open(path, true);
    file.WriteBytes(image.data(), static_cast<LONG>(image.size()));
    file.Close();
#else
    (void)path;
#endif
}

}  // namespace

CZoEventLog::CZoEventLog() noexcept : m_eventSource(nullptr) {}

CZoEventLog::~CZoEventLog()
{
    ZoLoggingGuard(OLESTR("CZoEventLog::~CZoEventLog"), [&] {
        if (m_eventSource)
            DeregisterEventSource(m_eventSource);
        m_eventSource = nullptr;
    });
}

void CZoEventLog::Init()
{
    ZoLoggingGuard(OLESTR("CZoEventLog::Init"), [&] {
        if (m_eventSource) {
            DeregisterEventSource(m_eventSource);
            m_eventSource = nullptr;
        }
        InitEventResources(m_config.productName);
        m_eventSource = RegisterEventSourceW(nullptr, m_config.productName.c_str());
    });
}

void CZoEventLog::InitEventResources(OleStringView sourceName) noexcept
{
    ZoLoggingGuard(OLESTR("CZoEventLog::InitEventResources"), [&] {
        try {
            const OleString key = CZoFileUtilities::ConcatPathname(kEventSourcesKey, sourceName);
            const OleString module =
                CZoFileUtilities::ConcatPathname(CZoFileUtilities::GetTempDirectory(), kMessageModuleName);
            CZoRegistry::SetValue(key, OLESTR("EventMessageFile"), module.c_str());
            CZoRegistry::SetValue(key, OLESTR("TypesSupported"), kTypesSupported);
            WriteMessageModule(module);
        } catch (...) {
            ZoDebugOutput(OLESTR("CZoEventLog: Failed to create event source file and registry resources"));
        }
    });
}

void CZoEventLog::Log(int level, const OleString& text, bool force)
{
    ZoLoggingGuard(OLESTR("CZoEventLog::Log"), [&] {
        if ((level > m_config.eventLogLevel || !m_eventSource) && !force)
            return;
        const OleString eventText = EventText(m_config, text);
        LPCWSTR strings[] = {eventText.c_str()};
        if (!ReportEventW(m_eventSource, EventTypeOf(level), 0, kEventId, nullptr, 1, 0, strings, nullptr))
            ZoDebugOutput(ZoFormat(OLESTR("ReportEvent failed, error: %u"), static_cast<unsigned>(GetLastError())));
    });
}

bool CZoEventLog::IsDebuggingLevel()
{
    return m_config.eventLogLevel > ZO_LOG_INFO;
}

OleString CZoEventLog::EventText(const CZoLogConfig& config, OleStringView text)
{
    const OleString message(text);
    return ZoFormat(OLESTR("%s %s (ZoLib %s)\n\n%s"), config.productName.c_str(), config.productVersion.c_str(),
                    kLibraryVersion, message.c_str());
}
