#include "kernel32/KernelObject.h"

namespace lumo::platform {

HandleTable& HandleTable::Instance()
{
    // Never destroyed: waiter threads of running children may still close handles at exit.
    static HandleTable* table = new HandleTable;
    return *table;
}

HANDLE HandleTable::Insert(std::shared_ptr<KernelObject> object)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    // Multiples of four, as Windows hands them out; values are never reused, so a stale handle
    // fails instead of reaching a newer object.
    const uintptr_t value = m_nextValue;
    m_nextValue += 4;
    m_objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> HandleTable::Find(HANDLE handle) const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    return found == m_objects.end() ? nullptr : found->second;
}

bool HandleTable::Close(HANDLE handle)
{
    std::shared_ptr<KernelObject> closed;  // destroyed outside the lock
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    if (found == m_objects.end())
        return false;
    closed = std::move(found->second);
    m_objects.erase(found);
    return true;
}

}  // namespace lumo::platform

using lumo::platform::HandleTable;

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!HandleTable::Instance().Close(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    const auto object = HandleTable::Instance().Find(hHandle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return object->Wait(dwMilliseconds);
}
