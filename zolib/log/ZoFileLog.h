// The file sink: appends each message it takes as one line to the log file (UTF-16
// little-endian with its mark), moving a file that has grown past the size limit to its
// "_old" name first. Writes and rotation are serialised across threads and processes by a
// global mutex named after the file. Once a wait for that mutex times out, lines are dropped
// at once, with one note to the debugger output, until a wait succeeds again; the wait is
// retried once in each retry interval.
#pragma once

#include <windows.h>

#include "OleString.h"
#include "ZoLock.h"
#include "ZoLockWaitGate.h"
#include "ZoMutexLock.h"
#include "ZoLogBase.h"

class CZoFileLog : public CZoLogBase {
public:
    // How long a message waits for the file's mutex before it is dropped: any process can
    // open the mutex, so an unbounded wait would let one stop every logger.
    static constexpr DWORD kDefaultMutexTimeout = 5000;
    // While the mutex is held elsewhere, how often a message waits for it again.
    static constexpr ULONGLONG kDefaultRetryInterval = 60000;

    explicit CZoFileLog(DWORD mutexTimeout = kDefaultMutexTimeout,
                        ULONGLONG retryInterval = kDefaultRetryInterval) noexcept;

    // Opens the file's mutex; the next message waits for it.
    void Init() override;
    void Log(int level, const OleString& text, bool force) override;
    void SetConfig(const CZoLogConfig& config) override;
    bool IsDebuggingLevel() override;

    // "<local time> [<level name, ten columns>] TID:<thread id> : <text>" with CR LF line ends.
    static OleString FormatLine(int level, OleStringView text);
    // The file name without its extension, "_old" and the extension, in the same folder; the
    // extension is what follows the name's last dot after its first character (".first"
    // gives ".first_old").
    static OleString OldFileName(OleStringView path);

private:
    CZoMutexLock m_fileLock;
    CZoLockWaitGate m_fileLockWait;
};
