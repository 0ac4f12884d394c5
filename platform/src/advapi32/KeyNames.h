// Key paths and the names of keys and values as the registry compares and stores them.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform::registry {

// Raw bytes as kept in the database (names, class texts, value data).
using Bytes = std::string;

// The components of a relative key path; views into the caller's text.
using KeyPath = std::vector<WideView>;

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// Splits 'text' (null reads as empty) at backslashes. A leading backslash is
// ERROR_BAD_PATHNAME; one trailing backslash is ignored; any other empty component and
// components longer than kMaxKeyNameLength are ERROR_INVALID_PARAMETER.
LSTATUS ParseKeyPath(const WCHAR* text, KeyPath& path);

// The name as stored: UTF-16LE code units exactly as given (unpaired surrogates survive).
Bytes EncodeName(WideView name);
WideString DecodeName(const Bytes& bytes);

// The lookup form of a name: A-Z and a-z folded to upper case (the order in which Windows
// sorts subkeys), UTF-16BE so that comparing bytes compares code units.
Bytes FoldName(WideView name);

}  // namespace lumo::platform::registry
