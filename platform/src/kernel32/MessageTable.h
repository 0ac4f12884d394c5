// The system's message texts: the English Windows texts of the Win32 error numbers and the
// HRESULTs that the library and its platform meet.
#pragma once

#include <windows.h>

#include <optional>

#include "common/WideText.h"

namespace lumo::platform {

// The text as FormatMessageW finds it, ending in CR LF; an HRESULT of FACILITY_WIN32 reads as
// its Win32 number. Empty when the system has no text for the number.
std::optional<WideString> FindSystemMessage(DWORD messageId);

}  // namespace lumo::platform
