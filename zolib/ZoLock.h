// The locks: the per-object lock that interface methods hold while they run, the named
// mutex lock shared across processes, and the scoped holder that takes either.
#pragma once

#include <atomic>

#include <windows.h>

#include "OleString.h"

// A lock that CZoLockHolder can take and release. Implementations are not deleted through
// this base.
class CZoLock {
public:
    // True when the lock was taken.
    virtual bool Lock() = 0;
    virtual void Unlock() = 0;

protected:
    CZoLock() = default;
    ~CZoLock() = default;
    CZoLock(const CZoLock&) = default;
    CZoLock& operator=(const CZoLock&) = default;
};

// One critical section, re-entrant for the thread that holds it, so that a method may call
// other methods of its own object.
class CZoCOMLock : public CZoLock {
public:
    CZoCOMLock();
    ~CZoCOMLock();
    CZoCOMLock(const CZoCOMLock&) = delete;
    CZoCOMLock& operator=(const CZoCOMLock&) = delete;

    bool Lock() override;
    void Unlock() override;

private:
    CRITICAL_SECTION m_section;
};

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

// Takes the lock for its own lifetime. A null lock is accepted and never taken, which is
// what the frame of an object without an object lock uses.
class CZoLockHolder {
public:
    explicit CZoLockHolder(CZoLock* lock);
    virtual ~CZoLockHolder();
    CZoLockHolder(const CZoLockHolder&) = delete;
    CZoLockHolder& operator=(const CZoLockHolder&) = delete;

    // Whether the lock was taken (a lock with a time-out may refuse).
    bool IsLocked() const noexcept { return m_locked; }

private:
    bool m_locked;
    CZoLock* m_lock;
};
