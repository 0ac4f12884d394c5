// GetModuleHandleExW: finds a module by name or by an address inside it.
#include <dlfcn.h>

#include <windows.h>

#include "common/WideText.h"
#include "kernel32/ApiBoundary.h"
#include "kernel32/HostPath.h"
#include "kernel32/ModuleTable.h"

using namespace lumo::platform;

BOOL WINAPI GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
{
    return AtApiBoundary<BOOL>(FALSE, [&]() -> BOOL {
        if (!phModule) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *phModule = nullptr;
        ModuleTable& modules = ModuleTable::Instance();
        HMODULE module = nullptr;
        if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
            Dl_info info{};
            if (dladdr(lpModuleName, &info) && info.dli_fname)
                module = modules.Find(FromUtf8(info.dli_fname));
        } else {
            module = lpModuleName ? modules.Find(FromUtf8(ToHostPath(ViewOf(lpModuleName)))) : modules.Executable();
        }
        if (!module) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        // A handle with a reference is the same module taken once more, as LoadLibraryW does.
        if (!(dwFlags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN))) {
            const auto path = modules.PathOf(module);
            if (path && module != modules.Executable())
                module = modules.Load(*path);
        }
        *phModule = module;
        return module ? TRUE : FALSE;
    });
}
