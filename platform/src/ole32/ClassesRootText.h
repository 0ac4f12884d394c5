// Reads the texts the runtime keeps under HKEY_CLASSES_ROOT.
#pragma once

#include <optional>

#include "common/WideText.h"

namespace lumo::platform {

// The value 'name' (null: the default value) of HKEY_CLASSES_ROOT\<subKey> when it is a text
// (REG_SZ, or REG_EXPAND_SZ, expanded); nothing when the key or the value is missing or of
// another type.
std::optional<WideString> ReadClassesRootText(const WideString& subKey, const WCHAR* name = nullptr);

}  // namespace lumo::platform
