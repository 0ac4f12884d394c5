// Where a mutex lives: a robust, recursive pthread mutex, in private memory for an unnamed
// mutex or in a shared-memory segment for a named one.
//
// Robust: when the owning thread ends (or its process dies) holding the mutex, the kernel
// marks it, and the next waiter gets it as abandoned. The memory of a mutex that a thread of
// this process still holds is never freed or unmapped, not even when its last handle closes:
// the kernel's list of the thread's robust mutexes still points into it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform {

// The mutex and who holds it, in the memory the mutex lives in. The owner's thread id and
// recursion depth are written only by the owner, while it holds the mutex; they let a release
// by another thread be refused before it reaches the pthread mutex, which does not allow it.
struct RobustMutex {
    pthread_mutex_t mutex;
    uint32_t ownerThread;  // 0 when free; read by any thread
    uint32_t depth;
};

class MutexStore {
public:
    virtual ~MutexStore() = default;

    // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT; WAIT_FAILED with the last error set.
    DWORD Wait(DWORD milliseconds);
    // False (ERROR_NOT_OWNER) when the calling thread does not hold the mutex.
    bool Release();

protected:
    explicit MutexStore(RobustMutex* mutex) : m_mutex(mutex) {}
    // Whether a thread of this process holds the mutex.
    bool HeldHere() const noexcept { return m_heldHere.load() > 0; }

private:
    void TakeOwnership(bool abandoned) noexcept;

    RobustMutex* const m_mutex;
    // The recursion depth of the owner when it is a thread of this process, else 0; only the
    // owner changes it.
    std::atomic<long> m_heldHere{0};
};

// An unnamed mutex: private to the process.
std::shared_ptr<MutexStore> CreatePrivateMutex(DWORD& error);

// The named mutex of this name, created when no process has it open. anyUser: a new mutex may
// be opened by processes of any user (else of the creating user only). Names may begin with
// "Global\" (one namespace for all users) or "Local\" (the user's own, as without a prefix);
// no other "\" is allowed.
std::shared_ptr<MutexStore> OpenNamedMutex(WideView name, bool anyUser, bool& created, DWORD& error);

}  // namespace lumo::platform
