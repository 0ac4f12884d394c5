// The database behind the predefined root keys: the file the environment names now.
#pragma once

#include <memory>

#include <windows.h>

#include "advapi32/RegistryDatabase.h"

namespace lumo::platform::registry {

// Each file is opened once per process and shared by every handle into it. When the
// environment names another file, or the file was deleted or replaced, the next call opens
// the new one; handles opened earlier keep the file they were opened in.
LSTATUS CurrentRegistryDatabase(std::shared_ptr<RegistryDatabase>& database);

}  // namespace lumo::platform::registry
