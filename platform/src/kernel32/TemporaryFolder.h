// The temporary folder of the stand-in: TMP, else TEMP, else TMPDIR, else "/tmp".
#pragma once

#include <string>

namespace lumo::platform {

// An absolute host path without a separator at its end (but for "/").
std::string TemporaryFolder();

}  // namespace lumo::platform
