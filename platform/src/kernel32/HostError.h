// Host errno values as the Win32 error numbers that Windows gives for the same failures.
#pragma once

#include <windows.h>

namespace lumo::platform {

DWORD Win32ErrorFromErrno(int error) noexcept;

}  // namespace lumo::platform
