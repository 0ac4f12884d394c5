// The locks: the interface a lock holder takes, the per-object lock that interface methods
// hold while they run, and the scoped holder. The named mutex lock is in ZoMutexLock.h.
#pragma once

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
