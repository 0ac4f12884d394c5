#include "advapi32/KeyHandles.h"

namespace lumo::platform::registry {

KeyHandles& KeyHandles::Instance()
{
    // Never destroyed: handles may be closed by other objects' destructors at exit.
    static auto* handles = new KeyHandles;
    return *handles;
}

HKEY KeyHandles::Insert(OpenKey key)
{
    std::lock_guard lock(mutex_);
    const uintptr_t handle = next_;
    next_ += 4;
    keys_.emplace(handle, std::move(key));
    return reinterpret_cast<HKEY>(handle);
}

bool KeyHandles::Find(HKEY handle, OpenKey& key) const
{
    std::lock_guard lock(mutex_);
    const auto found = keys_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == keys_.end())
        return false;
    key = found->second;
    return true;
}

bool KeyHandles::Remove(HKEY handle)
{
    std::unique_lock lock(mutex_);
    const auto found = keys_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == keys_.end())
        return false;
    // The last handle into a file closes it; do that outside the table's lock.
    OpenKey closing = std::move(found->second);
    keys_.erase(found);
    lock.unlock();
    return true;
}

}  // namespace lumo::platform::registry
