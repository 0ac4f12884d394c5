#include "ole32/InprocServerTable.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "common/RegistryChanges.h"
#include "ole32/ClassesRootText.h"
#include "ole32/GuidText.h"

namespace lumo::platform {
namespace {

constexpr ULONGLONG kDefaultUnloadDelay = 10 * 60 * 1000;

WideString InprocServerKey(REFCLSID clsid)
{
    return WideString(u"CLSID\\").append(FormatGuid(clsid).View()).append(u"\\InprocServer32");
}

// The threading models whose objects any thread may be releasing when the module turns idle.
bool IsFreeThreaded(const std::optional<WideString>& threadingModel)
{
    if (!threadingModel)
        return false;
    for (const WideView model : {WideView(u"Free"), WideView(u"Both"), WideView(u"Neutral")}) {
        if (EqualsIgnoreAsciiCase(*threadingModel, model))
            return true;
    }
    return false;
}

// Runs the module's DllMain: called without any of the table's locks held.
HRESULT LoadInprocServer(const WideString& path, std::shared_ptr<InprocServer>& loaded)
{
    SetLastError(ERROR_SUCCESS);
    const HMODULE module = LoadLibraryW(path.c_str());
    if (!module) {
        const DWORD error = GetLastError();
        return HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND);
    }
    const auto getClassObject = reinterpret_cast<LPFNGETCLASSOBJECT>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    if (!getClassObject) {
        FreeLibrary(module);
        return CO_E_ERRORINDLL;
    }
    const auto canUnloadNow = reinterpret_cast<LPFNCANUNLOADNOW>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    try {
        loaded = std::make_shared<InprocServer>(module, getClassObject, canUnloadNow);
    } catch (const std::bad_alloc&) {
        FreeLibrary(module);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace

PinnedServer::~PinnedServer()
{
    if (m_server)
        m_server->pins.fetch_sub(1);
}

void PinnedServer::Pin(const std::shared_ptr<InprocServer>& server) noexcept
{
    server->pins.fetch_add(1);
    server->idleSince.store(0);
    m_server = server;
}

HRESULT PinnedServer::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) const
{
    if (!m_server)
        return E_UNEXPECTED;
    return m_server->getClassObject(clsid, riid, ppv);
}

size_t InprocServerTable::GuidHash::operator()(const GUID& guid) const noexcept
{
    uint64_t halves[2];
    std::memcpy(halves, &guid, sizeof halves);
    return std::hash<uint64_t>()(halves[0] ^ (halves[1] * 0x9E3779B97F4A7C15ull));
}

InprocServerTable& InprocServerTable::Instance()
{
    static InprocServerTable* const table = new InprocServerTable();
    return *table;
}

bool InprocServerTable::PinCached(REFCLSID clsid, uint64_t stamp, PinnedServer& pinned)
{
    std::shared_lock lock(m_lock);
    if (m_classesStamp != stamp)
        return false;
    const auto it = m_classes.find(clsid);
    if (it == m_classes.end())
        return false;
    pinned.Pin(it->second);
    return true;
}

// A lookup that read the registry before a newer one still records under its own, older
// stamp: the cache then no longer matches the current stamp and is rebuilt on the next call.
bool InprocServerTable::RecordAndPin(REFCLSID clsid, const WideString& path, bool freeThreaded, uint64_t stamp,
                                     std::shared_ptr<InprocServer>& loaded, PinnedServer& pinned)
{
    std::unique_lock lock(m_lock);
    auto it = m_servers.find(path);
    if (it == m_servers.end()) {
        if (!loaded)
            return false;
        it = m_servers.emplace(path, std::move(loaded)).first;
    }
    if (m_classesStamp != stamp) {
        m_classes.clear();
        m_classesStamp = stamp;
    }
    m_classes[clsid] = it->second;
    it->second->unloadsAfterDelay = it->second->unloadsAfterDelay || freeThreaded;
    pinned.Pin(it->second);
    return true;
}

HRESULT InprocServerTable::Pin(REFCLSID clsid, PinnedServer& pinned)
{
    const uint64_t stamp = RegistryChangeStamp();
    if (PinCached(clsid, stamp, pinned))
        return S_OK;
    const WideString key = InprocServerKey(clsid);
    LSTATUS unreadable = ERROR_SUCCESS;
    const std::optional<WideString> path = ReadClassesRootText(key, nullptr, &unreadable);
    if (!path || path->empty())
        return LookupFailure(unreadable, REGDB_E_CLASSNOTREG);
    const bool freeThreaded = IsFreeThreaded(ReadClassesRootText(key, u"ThreadingModel"));
    std::shared_ptr<InprocServer> loaded;
    if (RecordAndPin(clsid, *path, freeThreaded, stamp, loaded, pinned))
        return S_OK;
    const HRESULT hr = LoadInprocServer(*path, loaded);
    if (FAILED(hr))
        return hr;
    try {
        RecordAndPin(clsid, *path, freeThreaded, stamp, loaded, pinned);
    } catch (const std::bad_alloc&) {
        if (loaded)
            FreeLibrary(loaded->module);
        throw;
    }
    // Another thread loaded the same module meanwhile: ours is one load reference too many.
    if (loaded)
        FreeLibrary(loaded->module);
    return S_OK;
}

// DllCanUnloadNow is asked under the exclusive lock, so no creation can pin a module between
// its answer and its removal; it only reads the module's counts and must not call back into
// the runtime. Unloading (DllMain) happens after the lock is released.
void InprocServerTable::FreeUnused(DWORD unloadDelay)
{
    const ULONGLONG delay = unloadDelay == INFINITE ? kDefaultUnloadDelay : unloadDelay;
    const ULONGLONG now = std::max<ULONGLONG>(GetTickCount64(), 1);
    std::vector<HMODULE> unloaded;
    {
        std::unique_lock lock(m_lock);
        unloaded.reserve(m_servers.size());
        for (auto it = m_servers.begin(); it != m_servers.end();) {
            const auto server = it->second;
            if (server->pins.load() != 0 || !server->canUnloadNow || server->canUnloadNow() != S_OK) {
                server->idleSince.store(0);
                ++it;
                continue;
            }
            if (server->unloadsAfterDelay && delay != 0) {
                const ULONGLONG idleSince = server->idleSince.load();
                if (idleSince == 0)
                    server->idleSince.store(now);
                if (idleSince == 0 || now - idleSince < delay) {
                    ++it;
                    continue;
                }
            }
            std::erase_if(m_classes, [&](const auto& entry) { return entry.second == server; });
            unloaded.push_back(server->module);
            it = m_servers.erase(it);
        }
    }
    for (const HMODULE module : unloaded)
        FreeLibrary(module);
}

}  // namespace lumo::platform
