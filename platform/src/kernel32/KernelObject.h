// Kernel objects behind HANDLE values: processes, the threads of started processes, and the
// named mutexes. CloseHandle and WaitForSingleObject work on all of them through this base.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace lumo::platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;

    // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT; WAIT_FAILED with the last error set.
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

// The process-wide table of open handles. An object lives while a handle names it or a caller
// still holds the pointer it got from Find, so closing a handle during a wait on it is safe.
class HandleTable {
public:
    static HandleTable& Instance();

    HANDLE Insert(std::shared_ptr<KernelObject> object);
    std::shared_ptr<KernelObject> Find(HANDLE handle) const;
    bool Close(HANDLE handle);

    template <class T>
    std::shared_ptr<T> FindAs(HANDLE handle) const
    {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }

private:
    HandleTable() = default;

    mutable std::mutex m_mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> m_objects;
    uintptr_t m_nextValue = 0x100;
};

}  // namespace lumo::platform
