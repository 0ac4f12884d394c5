// Lets caches in the stand-in (the runtime's class lookups) notice registry changes cheaply.
#pragma once

#include <cstdint>

namespace lumo::platform {

// A number that changes whenever the registry's content may have changed, in this process
// or in another one sharing the same registry file (or when the file itself is swapped for
// another). Cheap enough to call on every object creation: no database query per call.
uint64_t RegistryChangeStamp() noexcept;

}  // namespace lumo::platform
