// The process's one global interface table (CLSID_StdGlobalInterfaceTable).
//
// Interfaces are kept as the registering caller gave them: with no apartments in the stand-in
// there is nothing to marshal, and every thread gets the same object back. The table lives
// until the process ends and is never destroyed: the references it still holds then may point
// into modules that are no longer loaded, so they are left alone rather than released.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include <objbase.h>

namespace lumo::platform {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
public:
    // Every creation yields the same table; it cannot be aggregated.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) override;
    STDMETHODIMP RevokeInterfaceFromGlobal(DWORD dwCookie) override;
    STDMETHODIMP GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override;

private:
    // One registered interface; its reference is released when the last user lets go, which
    // is never under the table's lock.
    class Registration {
    public:
        explicit Registration(IUnknown* registered) noexcept : m_registered(registered) {}
        ~Registration() { m_registered->Release(); }
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        IUnknown* Registered() const noexcept { return m_registered; }

    private:
        IUnknown* m_registered;
    };

    GlobalInterfaceTable() = default;
    DWORD NextFreeCookie();

    std::mutex m_lock;
    std::unordered_map<DWORD, std::shared_ptr<Registration>> m_registrations;
    DWORD m_lastCookie = 0;
};

}  // namespace lumo::platform
