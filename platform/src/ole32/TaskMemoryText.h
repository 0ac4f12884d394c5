// Texts handed to callers in task memory (they free them with CoTaskMemFree).
#pragma once

#include "common/WideText.h"

namespace lumo::platform {

// A NUL-terminated copy in task memory; null when memory runs out.
LPOLESTR CopyToTaskMemory(WideView text) noexcept;

}  // namespace lumo::platform
