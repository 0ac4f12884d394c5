#include "kernel32/ModuleTable.h"

#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace lumo::platform {

namespace {

using DllMainFunction = BOOL (*)(HINSTANCE, DWORD, LPVOID);

// Module numbers are spaced like the 64 KB-aligned load addresses of Windows modules.
constexpr unsigned kModuleNumberShift = 16;

HMODULE HandleOf(uintptr_t number)
{
    return reinterpret_cast<HMODULE>(number << kModuleNumberShift);
}

uintptr_t NumberOf(HMODULE module)
{
    return reinterpret_cast<uintptr_t>(module) >> kModuleNumberShift;
}

std::string ExecutablePath()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string Canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

link_map* LinkMapOf(void* native)
{
    link_map* map = nullptr;
    return dlinfo(native, RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

void* BaseOf(const link_map* map)
{
    Dl_info info{};
    return map && dladdr(map->l_ld, &info) ? info.dli_fbase : nullptr;
}

std::string FileNameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "libfoo.so.1" and "libfoo.so" name the module "libfoo"; other files keep their whole name.
WideString ModuleStem(const WideString& fileName)
{
    const size_t so = fileName.find(u".so");
    if (so != WideString::npos && (so + 3 == fileName.size() || fileName[so + 3] == u'.'))
        return fileName.substr(0, so);
    return fileName;
}

bool EndsWithIgnoreCase(WideView text, WideView suffix)
{
    return text.size() >= suffix.size() && EqualsIgnoreAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

// Windows compares module names without regard to case and reads a name without extension as
// ending in ".dll"; a trailing dot means "no extension". Here ".dll" names the module of the
// same stem, so portable code asking for "Name.dll" finds "Name.so".
bool NameMatches(WideView requested, const std::string& path)
{
    const WideString fileName = FromUtf8(FileNameOf(path));
    if (!requested.empty() && requested.back() == u'.')
        return EqualsIgnoreAsciiCase(requested.substr(0, requested.size() - 1), fileName);
    if (EqualsIgnoreAsciiCase(requested, fileName))
        return true;
    WideView stem = requested;
    if (EndsWithIgnoreCase(requested, u".dll"))
        stem = requested.substr(0, requested.size() - 4);
    else if (requested.find(u'.') != WideView::npos)
        return false;
    return EqualsIgnoreAsciiCase(stem, ModuleStem(fileName));
}

// A bare file name is searched for as Windows searches for it: in the executable's folder,
// then where the system keeps its libraries, then in the current folder.
void* OpenNative(const std::string& path)
{
    if (path.find('/') != std::string::npos)
        return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const std::string executable = ExecutablePath();
    const std::string besideExecutable = executable.substr(0, executable.find_last_of('/') + 1) + path;
    if (!executable.empty() && access(besideExecutable.c_str(), F_OK) == 0)
        return dlopen(besideExecutable.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (void* native = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
        return native;
    return dlopen(("./" + path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

ModuleTable& ModuleTable::Instance()
{
    // Never destroyed: modules may still be freed by other libraries' destructors at exit.
    static ModuleTable* table = new ModuleTable;
    return *table;
}

ModuleTable::Module* ModuleTable::Lookup(HMODULE module)
{
    const uintptr_t value = reinterpret_cast<uintptr_t>(module);
    if (value == 0 || (value & ((uintptr_t{1} << kModuleNumberShift) - 1)) != 0)
        return nullptr;
    const auto found = m_modules.find(NumberOf(module));
    return found == m_modules.end() ? nullptr : &found->second;
}

HMODULE ModuleTable::FindByNative(void* native)
{
    for (const auto& [number, module] : m_modules)
        if (module.native == native)
            return HandleOf(number);
    return nullptr;
}

HMODULE ModuleTable::Insert(Module module)
{
    const uintptr_t number = m_nextNumber++;
    m_modules.emplace(number, std::move(module));
    return HandleOf(number);
}

HMODULE ModuleTable::Executable()
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (!m_executable) {
        Module exe;
        exe.native = dlopen(nullptr, RTLD_NOW);
        exe.base = BaseOf(LinkMapOf(exe.native));
        exe.path = ExecutablePath();
        exe.references = 1;  // never unloaded
        exe.attached = true;
        m_executable = Insert(std::move(exe));
    }
    return m_executable;
}

bool ModuleTable::CallDllMain(HMODULE module, DWORD reason)
{
    auto* entry = reinterpret_cast<DllMainFunction>(FindExport(module, "DllMain"));
    if (!entry)
        return true;
    try {
        // A null reserved pointer: the load and unload are dynamic ones.
        return entry(module, reason, nullptr) != FALSE;
    } catch (...) {
        return false;
    }
}

HMODULE ModuleTable::Load(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    void* native = OpenNative(path);
    if (!native) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    HMODULE handle = FindByNative(native);
    if (handle) {
        dlclose(native);  // the entry holds its own reference
    } else {
        const link_map* map = LinkMapOf(native);
        Module module;
        module.native = native;
        module.base = BaseOf(map);
        module.path = Canonical(map && map->l_name && *map->l_name ? map->l_name : path);
        handle = Insert(std::move(module));
    }
    Module* module = Lookup(handle);
    if (module->references++ > 0 || module->attached)
        return handle;
    // The entry is in the table before DllMain runs, so the module can already use its handle.
    if (!CallDllMain(handle, DLL_PROCESS_ATTACH)) {
        CallDllMain(handle, DLL_PROCESS_DETACH);
        module = Lookup(handle);
        void* loaded = module->native;
        m_modules.erase(NumberOf(handle));
        dlclose(loaded);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    Lookup(handle)->attached = true;
    return handle;
}

bool ModuleTable::Free(HMODULE handle)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Module* module = Lookup(handle);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    // The executable, and a module the process loaded by other means and that was only found
    // by GetModuleHandleW, hold no references of ours to drop.
    if (handle == m_executable || module->references == 0)
        return true;
    if (--module->references > 0)
        return true;
    if (module->attached)
        CallDllMain(handle, DLL_PROCESS_DETACH);
    module = Lookup(handle);
    void* native = module->native;
    m_modules.erase(NumberOf(handle));
    dlclose(native);
    return true;
}

void* ModuleTable::FindExport(HMODULE handle, const char* name)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Module* module = handle ? Lookup(handle) : Lookup(Executable());
    if (!module)
        return nullptr;
    dlerror();
    void* symbol = dlsym(module->native, name);
    Dl_info info{};
    if (!symbol || !dladdr(symbol, &info) || info.dli_fbase != module->base)
        return nullptr;
    return symbol;
}

std::optional<std::string> ModuleTable::PathOf(HMODULE handle)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const Module* module = handle ? Lookup(handle) : Lookup(Executable());
    if (!module)
        return std::nullopt;
    return module->path;
}

bool ModuleTable::Contains(HMODULE handle)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return Lookup(handle) != nullptr;
}

HMODULE ModuleTable::AdoptLoaded(const std::string& path)
{
    void* native = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!native)
        return nullptr;
    if (HMODULE known = FindByNative(native)) {
        dlclose(native);
        return known;
    }
    // Held until the module is loaded and freed through the table: a handle that
    // GetModuleHandleW gave out stays usable while the process keeps the module.
    Module module;
    module.native = native;
    module.base = BaseOf(LinkMapOf(native));
    module.path = Canonical(path);
    return Insert(std::move(module));
}

HMODULE ModuleTable::Find(WideView name)
{
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    Executable();
    const std::string narrow = ToUtf8(name);
    if (narrow.find('/') != std::string::npos) {
        const std::string path = Canonical(narrow);
        for (const auto& [number, module] : m_modules)
            if (module.path == path)
                return HandleOf(number);
        return AdoptLoaded(path);
    }
    for (const auto& [number, module] : m_modules)
        if (NameMatches(name, module.path))
            return HandleOf(number);
    std::vector<std::string> loaded;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* paths) {
            if (info->dlpi_name && *info->dlpi_name)
                static_cast<std::vector<std::string>*>(paths)->emplace_back(info->dlpi_name);
            return 0;
        },
        &loaded);
    for (const std::string& path : loaded)
        if (NameMatches(name, path) || NameMatches(name, Canonical(path)))
            return AdoptLoaded(path);
    return nullptr;
}

}  // namespace lumo::platform
