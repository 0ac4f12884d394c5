// The full path of a module's file.
#pragma once

#include <windows.h>

#include "OleString.h"

// The path GetModuleFileNameW gives into a MAX_PATH buffer. A path that fills the buffer may
// have been cut short, so it fails with HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
HRESULT GetModulePath(HINSTANCE module, OleString& path) noexcept;
