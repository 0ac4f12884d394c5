// The table of open key handles. An HKEY is a number the table hands out, never a pointer,
// so a stale or made-up handle is looked up, not dereferenced; numbers are not reused.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include <windows.h>

#include "advapi32/RegistryDatabase.h"

namespace lumo::platform::registry {

struct OpenKey {
    std::shared_ptr<RegistryDatabase> database;
    KeyId key = 0;
    REGSAM access = 0;
};

class KeyHandles {
public:
    // The process's one table.
    static KeyHandles& Instance();

    HKEY Insert(OpenKey key);
    bool Find(HKEY handle, OpenKey& key) const;
    bool Remove(HKEY handle);

private:
    mutable std::mutex mutex_;
    std::unordered_map<uintptr_t, OpenKey> keys_;
    // Multiples of four, as Windows handles are, far below the predefined keys' values.
    uintptr_t next_ = 0x1000;
};

}  // namespace lumo::platform::registry
