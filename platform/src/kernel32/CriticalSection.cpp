// Critical sections: a heap-allocated mutex behind DebugInfo, made re-entrant by recording the
// owner in the section itself. Only the owning thread ever writes its own id into OwningThread,
// so a thread that reads its own id there is the owner, whatever other threads are doing.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace {

HANDLE CurrentOwnerValue() noexcept
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
}

bool OwnedByCaller(LPCRITICAL_SECTION section) noexcept
{
    return __atomic_load_n(&section->OwningThread, __ATOMIC_RELAXED) == CurrentOwnerValue();
}

void ResetFields(LPCRITICAL_SECTION section, std::mutex* lock, DWORD spinCount) noexcept
{
    section->DebugInfo = lock;
    section->LockCount = -1;
    section->RecursionCount = 0;
    section->OwningThread = nullptr;
    section->LockSemaphore = nullptr;
    section->SpinCount = spinCount;
}

bool Initialize(LPCRITICAL_SECTION section, DWORD spinCount) noexcept
{
    auto* lock = new (std::nothrow) std::mutex;
    ResetFields(section, lock, spinCount);
    return lock != nullptr;
}

// A section whose lock could not be allocated at initialisation (InitializeCriticalSection
// cannot report it), or one that is all zeros, gets its lock at first use. If that fails too the
// process stops with a message: running on without mutual exclusion would corrupt state quietly.
std::mutex& LockOf(LPCRITICAL_SECTION section, const char* caller) noexcept
{
    auto* lock = static_cast<std::mutex*>(__atomic_load_n(&section->DebugInfo, __ATOMIC_ACQUIRE));
    if (lock)
        return *lock;
    auto* fresh = new (std::nothrow) std::mutex;
    if (!fresh) {
        std::fprintf(stderr, "%s: no memory for the lock of critical section %p\n", caller,
                     static_cast<void*>(section));
        std::abort();
    }
    void* expected = nullptr;
    if (__atomic_compare_exchange_n(&section->DebugInfo, &expected, fresh, false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
        return *fresh;
    delete fresh;
    return *static_cast<std::mutex*>(expected);
}

void TakeOwnership(LPCRITICAL_SECTION section) noexcept
{
    __atomic_store_n(&section->OwningThread, CurrentOwnerValue(), __ATOMIC_RELAXED);
    section->RecursionCount = 1;
}

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (lpCriticalSection)
        Initialize(lpCriticalSection, 0);
}

BOOL WINAPI InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount)
{
    if (!lpCriticalSection) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!Initialize(lpCriticalSection, dwSpinCount)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI InitializeCriticalSectionEx(LPCRITICAL_SECTION lpCriticalSection, DWORD dwSpinCount, DWORD Flags)
{
    // The flags only select debug information on Windows; the spin count is the same value.
    return InitializeCriticalSectionAndSpinCount(lpCriticalSection, dwSpinCount);
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!lpCriticalSection)
        return;
    if (OwnedByCaller(lpCriticalSection)) {
        ++lpCriticalSection->RecursionCount;
        return;
    }
    std::mutex& lock = LockOf(lpCriticalSection, "EnterCriticalSection");
    __atomic_add_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_RELAXED);
    lock.lock();
    TakeOwnership(lpCriticalSection);
}

BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!lpCriticalSection)
        return FALSE;
    if (OwnedByCaller(lpCriticalSection)) {
        ++lpCriticalSection->RecursionCount;
        return TRUE;
    }
    if (!LockOf(lpCriticalSection, "TryEnterCriticalSection").try_lock())
        return FALSE;
    __atomic_add_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_RELAXED);
    TakeOwnership(lpCriticalSection);
    return TRUE;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    // Leaving a section the caller does not own is a fault on Windows with undefined results;
    // here it is ignored rather than unlocking another thread's mutex.
    if (!lpCriticalSection || !OwnedByCaller(lpCriticalSection))
        return;
    if (--lpCriticalSection->RecursionCount > 0)
        return;
    __atomic_store_n(&lpCriticalSection->OwningThread, nullptr, __ATOMIC_RELAXED);
    __atomic_sub_fetch(&lpCriticalSection->LockCount, 1, __ATOMIC_RELAXED);
    static_cast<std::mutex*>(lpCriticalSection->DebugInfo)->unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection)
{
    if (!lpCriticalSection)
        return;
    delete static_cast<std::mutex*>(
        __atomic_exchange_n(&lpCriticalSection->DebugInfo, nullptr, __ATOMIC_ACQ_REL));
    ResetFields(lpCriticalSection, nullptr, 0);
}
