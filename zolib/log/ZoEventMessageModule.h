// The event message module: a resource-only 32-bit Windows module whose message table
// (language 1033) holds one Unicode message, id 1, "%1\r\n", so that the event viewer shows
// each event's inserted text as it stands.
#pragma once

#include <array>

#include <windows.h>

inline constexpr size_t kZoEventMessageModuleSize = 1536;

const std::array<BYTE, kZoEventMessageModuleSize>& ZoEventMessageModule();
