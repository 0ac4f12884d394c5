// The process environment, shared with the C library (getenv) and with started children.
// setenv is not thread-safe, so every access of the stand-in goes through these functions.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumo::platform {

std::optional<std::string> ReadEnvironmentVariable(const std::string& name);
bool WriteEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

// "NAME=value" entries, for a child's environment.
std::vector<std::string> SnapshotEnvironment();

}  // namespace lumo::platform
