// OutputDebugStringW: the host has no debugger channel, so the text goes to syslog and to the
// file named by LUMOITEMS_DEBUGLOG.
#include <windows.h>

#include <syslog.h>

#include "common/DiagnosticFile.h"
#include "kernel32/ApiBoundary.h"

using namespace lumo::platform;

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString)
{
    if (!lpOutputString)
        return;
    // Nothing to report to: the caller's last error stays as it was.
    const DWORD lastError = GetLastError();
    AtApiBoundary<int>(0, [&] {
        const WideView text = ViewOf(lpOutputString);
        // No openlog: that would change the identity of the host process's own messages.
        syslog(LOG_USER | LOG_DEBUG, "%s", ToUtf8(text).c_str());
        AppendDiagnosticLine("LUMOITEMS_DEBUGLOG", EscapeDiagnosticText(text));
        return 0;
    });
    SetLastError(lastError);
}
