// A module's exported function, as the function type it has.
#pragma once

#include <windows.h>

// Null when the module exports no such name.
template <class Function>
Function GetModuleEntryPoint(HMODULE module, const char* name) noexcept
{
    // Through void(*)(): FARPROC is a function type of its own, as on Windows.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
