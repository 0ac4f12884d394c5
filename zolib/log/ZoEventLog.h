// The event-log sink: registers the product as an event source and reports each message it
// takes as one event (id 1, category 0) whose one inserted string is the event text.
#pragma once

#include <windows.h>

#include "OleString.h"
#include "ZoLogBase.h"

class CZoEventLog : public CZoLogBase {
public:
    CZoEventLog() noexcept;
    // Deregisters the event source.
    ~CZoEventLog() override;

    // Deregisters any source, writes the source's registration (InitEventResources) and
    // registers the source named by the product name; without success the sink has no source.
    void Init() override;
    // Errors (level 1) as error events, warnings (2) as warning events, the rest as information.
    void Log(int level, const OleString& text, bool force) override;
    bool IsDebuggingLevel() override;

    // Under HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\EventLog\Application\<source>:
    // "EventMessageFile", the message module's path in the temporary folder, and
    // "TypesSupported" 7; on Windows also the module file itself when it is missing. A failure
    // goes to the debugger output only.
    static void InitEventResources(OleStringView sourceName) noexcept;

    // "<product> <version> (ZoLib 0.8.205)", two line ends, the text.
    static OleString EventText(const CZoLogConfig& config, OleStringView text);

private:
    HANDLE m_eventSource;
};
