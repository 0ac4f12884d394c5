// Where the registry database of this process lives.
#pragma once

#include <string>

#include <windows.h>

namespace lumo::platform::registry {

// The file named by LUMOITEMS_REGISTRY, or ${XDG_DATA_HOME:-$HOME/.local/share}/lumoitems/registry.db
// when the variable is unset or empty. Read afresh on every call, so that a process can
// switch registries by changing the variable.
std::string CurrentRegistryPath();

// Creates the missing directories above 'path'; ERROR_CANTOPEN when that fails.
LSTATUS PrepareRegistryDirectory(const std::string& path);

}  // namespace lumo::platform::registry
