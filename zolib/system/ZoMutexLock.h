// The named mutex lock shared across processes.
#pragma once

#include <atomic>

#include <windows.h>

#include "OleString.h"
#include "ZoLock.h"

// A system mutex, optionally named so that several processes share it. Owned by the thread
// that took it and re-entrant for that thread; an abandoned mutex (its owner ended holding it)
// counts as taken. Init and Lock raise what goes wrong; Unlock and Clear log a failed release
// and go on, so that they are safe in clean-up paths. One object serves one owner at a time.
class CZoMutexLock : public CZoLock {
public:
    // waitTimeout: how long Lock waits, in milliseconds; INFINITE waits without limit.
    explicit CZoMutexLock(DWORD waitTimeout = INFINITE);
    ~CZoMutexLock();
    CZoMutexLock(const CZoMutexLock&) = delete;
    CZoMutexLock& operator=(const CZoMutexLock&) = delete;

    // Releases and closes any mutex held so far, then creates or opens the mutex: a private one
    // for an empty name, else the one named CZoSystem::MakeKernelObjectName(name, global),
    // which any user's process may open.
    void Init(OleStringView name, bool global);
    // A private mutex is made first when there is none. False when the wait timed out.
    bool Lock() override;
    void Unlock() override;
    void Clear();

private:
    const DWORD m_waitTimeout;
    HANDLE m_mutex;
    // Whether this object holds the mutex. Atomic because the owners follow one another on
    // different threads.
    std::atomic<bool> m_locked;
};
