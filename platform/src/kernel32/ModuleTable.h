// The process's table of loaded modules. HMODULE values are this table's own numbers, not
// dlopen handles; a module keeps one number from its first load until its last reference goes,
// and numbers are never reused.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "common/WideText.h"

namespace lumo::platform {

class ModuleTable {
public:
    static ModuleTable& Instance();

    // LoadLibraryW: one more reference; the first one calls DllMain(DLL_PROCESS_ATTACH).
    // Null with the last error set on failure.
    HMODULE Load(const std::string& path);
    // FreeLibrary: the last reference calls DllMain(DLL_PROCESS_DETACH) and unloads.
    bool Free(HMODULE module);

    // An export of the module itself, not of the libraries it depends on.
    void* FindExport(HMODULE module, const char* name);
    // Null names the executable.
    std::optional<std::string> PathOf(HMODULE module);
    bool Contains(HMODULE module);

    // GetModuleHandleW: a module of the process by path or file name, without a reference.
    HMODULE Find(WideView name);
    HMODULE Executable();

private:
    struct Module {
        std::string path;
        void* native = nullptr;  // one dlopen reference, held by this entry
        void* base = nullptr;    // the load address, to tell the module's own symbols apart
        unsigned references = 0;
        bool attached = false;   // DllMain(DLL_PROCESS_ATTACH) returned TRUE
    };

    ModuleTable() = default;

    Module* Lookup(HMODULE module);
    HMODULE FindByNative(void* native);
    HMODULE Insert(Module module);
    HMODULE AdoptLoaded(const std::string& path);
    bool CallDllMain(HMODULE module, DWORD reason);

    // The loader lock: held while DllMain runs, so a module's attach and detach never overlap
    // another load, and DllMain may itself load modules on the same thread.
    std::recursive_mutex m_lock;
    std::map<uintptr_t, Module> m_modules;
    uintptr_t m_nextNumber = 1;
    HMODULE m_executable = nullptr;
};

}  // namespace lumo::platform
