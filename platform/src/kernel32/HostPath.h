// Windows path spellings to host paths: "\" and "/" both separate, and a "\\?\" prefix is
// dropped; POSIX paths pass unchanged.
#pragma once

#include <string>

#include "common/WideText.h"

namespace lumo::platform {

std::string ToHostPath(WideView path);

}  // namespace lumo::platform
