// The module functions, over the process's module table.
#include <windows.h>

#include "kernel32/ApiBoundary.h"
#include "kernel32/HostPath.h"
#include "kernel32/ModuleTable.h"

using namespace lumo::platform;

namespace {

bool IsOrdinal(LPCSTR name)
{
    // MAKEINTRESOURCE: a pointer value below 64 K is an export's number, not its name.
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

}  // namespace

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName)
{
    return AtApiBoundary<HMODULE>(nullptr, [&]() -> HMODULE {
        if (!lpLibFileName || !*lpLibFileName) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        return ModuleTable::Instance().Load(ToHostPath(ViewOf(lpLibFileName)));
    });
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        return ModuleTable::Instance().Free(hLibModule) ? TRUE : FALSE;
    });
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    return AtApiBoundary<FARPROC>(nullptr, [&]() -> FARPROC {
        ModuleTable& modules = ModuleTable::Instance();
        if (hModule && !modules.Contains(hModule)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        if (IsOrdinal(lpProcName)) {
            // Shared libraries export by name only.
            SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        void* symbol = modules.FindExport(hModule, lpProcName);
        if (!symbol)
            SetLastError(ERROR_PROC_NOT_FOUND);
        return reinterpret_cast<FARPROC>(symbol);
    });
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    return AtApiBoundary<HMODULE>(nullptr, [&]() -> HMODULE {
        ModuleTable& modules = ModuleTable::Instance();
        if (!lpModuleName)
            return modules.Executable();
        const WideString name = FromUtf8(ToHostPath(ViewOf(lpModuleName)));
        HMODULE module = modules.Find(name);
        if (!module)
            SetLastError(ERROR_MOD_NOT_FOUND);
        return module;
    });
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    return AtApiBoundary<DWORD>(0, [&]() -> DWORD {
        const auto path = ModuleTable::Instance().PathOf(hModule);
        if (!path) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        if (!lpFilename && nSize > 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        const WideString wide = FromUtf8(*path);
        if (wide.size() < nSize) {
            wide.copy(lpFilename, wide.size());
            lpFilename[wide.size()] = u'\0';
            return static_cast<DWORD>(wide.size());
        }
        // Truncated to nSize characters including the terminating NUL, as Windows Vista and later do.
        if (nSize > 0) {
            wide.copy(lpFilename, nSize - 1);
            lpFilename[nSize - 1] = u'\0';
        }
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    });
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule)
{
    // Thread attach and detach notifications are never sent here, so there is nothing to turn off.
    if (!ModuleTable::Instance().Contains(hLibModule)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
