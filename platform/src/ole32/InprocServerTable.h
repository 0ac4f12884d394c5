// The in-process servers (modules named by InprocServer32) loaded into this process, and
// which class each registered class id was found in.
//
// A module is loaded once per process and stays loaded until CoFreeUnusedLibraries finds
// that it can be unloaded; one that serves a class of the threading model Free, Both or
// Neutral only once it has stayed idle for the unload delay, so that a thread still returning
// from its last Release is not left in unmapped code. It is never unloaded at process exit (the table is not destroyed),
// so no module code runs after the process has started to tear itself down. The class ids
// found are cached while the registry's change stamp stays the same: repeated creations cost
// no registry query, and any registry change drops the cache (modules stay loaded).
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <shared_mutex>
#include <unordered_map>

#include <objbase.h>

#include "common/WideText.h"

namespace lumo::platform {

struct InprocServer {
    InprocServer(HMODULE module, LPFNGETCLASSOBJECT getClassObject, LPFNCANUNLOADNOW canUnloadNow) noexcept
        : module(module), getClassObject(getClassObject), canUnloadNow(canUnloadNow)
    {
    }

    HMODULE module;
    LPFNGETCLASSOBJECT getClassObject;
    LPFNCANUNLOADNOW canUnloadNow;  // null: the module is never unloaded
    std::atomic<long> pins{0};
    // Set under the table's exclusive lock once a class of the module is found free-threaded.
    bool unloadsAfterDelay = false;
    // When the module was first found idle (GetTickCount64, never 0); 0 while it is in use.
    std::atomic<ULONGLONG> idleSince{0};
};

// Keeps a server's module loaded while its class objects are asked for and used.
class PinnedServer {
public:
    PinnedServer() = default;
    ~PinnedServer();
    PinnedServer(const PinnedServer&) = delete;
    PinnedServer& operator=(const PinnedServer&) = delete;

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const;

private:
    friend class InprocServerTable;
    // Called under the table's lock, so that unloading never races with a new pin.
    void Pin(const std::shared_ptr<InprocServer>& server) noexcept;

    std::shared_ptr<InprocServer> m_server;
};

class InprocServerTable {
public:
    // The process's table; never destroyed.
    static InprocServerTable& Instance();

    // Finds the class's server through the cache or HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32,
    // loading its module when needed.
    HRESULT Pin(REFCLSID clsid, PinnedServer& pinned);

    // Unloads the modules that are not in use and whose DllCanUnloadNow answers S_OK: at once,
    // or, for a free-threaded one, when a call finds it idle 'unloadDelay' milliseconds after
    // the call that first found it so (INFINITE: the default of ten minutes; 0: at once).
    void FreeUnused(DWORD unloadDelay);

private:
    struct GuidHash {
        size_t operator()(const GUID& guid) const noexcept;
    };

    InprocServerTable() = default;
    bool PinCached(REFCLSID clsid, uint64_t stamp, PinnedServer& pinned);
    bool RecordAndPin(REFCLSID clsid, const WideString& path, bool freeThreaded, uint64_t stamp,
                      std::shared_ptr<InprocServer>& loaded, PinnedServer& pinned);

    std::shared_mutex m_lock;
    std::map<WideString, std::shared_ptr<InprocServer>> m_servers;  // by module path
    std::unordered_map<GUID, std::shared_ptr<InprocServer>, GuidHash> m_classes;
    uint64_t m_classesStamp = 0;
};

}  // namespace lumo::platform
