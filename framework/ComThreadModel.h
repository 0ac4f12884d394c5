// Threading models of the object base: how a reference count changes and which lock guards
// shared data.
#pragma once

#include <windows.h>

// A kernel critical section with an explicit, fallible initialisation. Term may be called
// whether or not Init succeeded, and more than once.
class CComCriticalSection {
public:
    CComCriticalSection() noexcept = default;
    ~CComCriticalSection() = default;   // deliberately not Term: the owner decides when
    CComCriticalSection(const CComCriticalSection&) = delete;
    CComCriticalSection& operator=(const CComCriticalSection&) = delete;

    HRESULT Init() noexcept
    {
        if (m_initialized)
            return S_OK;
        if (!InitializeCriticalSectionAndSpinCount(&m_section, 0)) {
            const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            return FAILED(hr) ? hr : E_OUTOFMEMORY;
        }
        m_initialized = true;
        return S_OK;
    }
    void Term() noexcept
    {
        if (m_initialized) {
            DeleteCriticalSection(&m_section);
            m_initialized = false;
        }
    }
    bool IsInitialized() const noexcept { return m_initialized; }
    void Lock() noexcept { EnterCriticalSection(&m_section); }
    void Unlock() noexcept { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section{};
    bool m_initialized = false;
};

// The lock of a single-threaded model: nothing to guard.
class CComFakeCriticalSection {
public:
    HRESULT Init() noexcept { return S_OK; }
    void Term() noexcept {}
    bool IsInitialized() const noexcept { return true; }
    void Lock() noexcept {}
    void Unlock() noexcept {}
};

// Holds a lock for a scope.
template <class TLock>
class CComCritSecLock {
public:
    explicit CComCritSecLock(TLock& lock) noexcept : m_lock(lock) { m_lock.Lock(); }
    ~CComCritSecLock() { m_lock.Unlock(); }
    CComCritSecLock(const CComCritSecLock&) = delete;
    CComCritSecLock& operator=(const CComCritSecLock&) = delete;

private:
    TLock& m_lock;
};

// Objects called from several threads at once: interlocked counts, real locks.
class CComMultiThreadModel {
public:
    static ULONG WINAPI Increment(LONG volatile* count) noexcept
    {
        return static_cast<ULONG>(InterlockedIncrement(count));
    }
    static ULONG WINAPI Decrement(LONG volatile* count) noexcept
    {
        return static_cast<ULONG>(InterlockedDecrement(count));
    }
    using CriticalSection = CComCriticalSection;
};

// Objects confined to one thread: plain counts, no locks.
class CComSingleThreadModel {
public:
    static ULONG WINAPI Increment(LONG volatile* count) noexcept
    {
        *count = *count + 1;
        return static_cast<ULONG>(*count);
    }
    static ULONG WINAPI Decrement(LONG volatile* count) noexcept
    {
        *count = *count - 1;
        return static_cast<ULONG>(*count);
    }
    using CriticalSection = CComFakeCriticalSection;
};
