// Whether to wait for a lock that a previous wait found held elsewhere: after a wait times
// out, callers go on at once without the lock, and one caller in each retry interval waits
// again, until a wait succeeds. Thread-safe.
#pragma once

#include <windows.h>

#include "ZoLock.h"

class CZoLockWaitGate {
public:
    // retryInterval: the least time between two waits while the lock is held elsewhere, in
    // the milliseconds of the clock the callers pass (GetTickCount64).
    explicit CZoLockWaitGate(ULONGLONG retryInterval);
    CZoLockWaitGate(const CZoLockWaitGate&) = delete;
    CZoLockWaitGate& operator=(const CZoLockWaitGate&) = delete;

    // True when the lock is not known to be held elsewhere, or when the retry interval has
    // passed since the last timed-out wait; the caller then has this interval's retry.
    bool MayWait(ULONGLONG now);
    // Records a timed-out wait; true when it is the first since the lock was last obtained.
    bool OnTimeout(ULONGLONG now);
    // The lock was obtained (or is another lock now): the next caller waits.
    void Clear();

private:
    const ULONGLONG m_retryInterval;
    CZoCOMLock m_lock;
    bool m_heldElsewhere;
    // When the last timed-out wait ended or the last retry began.
    ULONGLONG m_lastAttempt;
};
