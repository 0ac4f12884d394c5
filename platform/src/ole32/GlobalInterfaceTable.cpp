#include "ole32/GlobalInterfaceTable.h"

#include <new>

namespace lumo::platform {

HRESULT GlobalInterfaceTable::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    static GlobalInterfaceTable* const table = new (std::nothrow) GlobalInterfaceTable();
    if (!table)
        return E_OUTOFMEMORY;
    return table->QueryInterface(riid, ppv);
}

STDMETHODIMP GlobalInterfaceTable::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable) {
        *ppv = static_cast<IGlobalInterfaceTable*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

// The table outlives all its users, so its count is not kept.
STDMETHODIMP_(ULONG) GlobalInterfaceTable::AddRef()
{
    return 2;
}

STDMETHODIMP_(ULONG) GlobalInterfaceTable::Release()
{
    return 1;
}

// Cookies count upwards and skip zero and those still in use, so a revoked cookie comes back
// only after some four billion registrations.
DWORD GlobalInterfaceTable::NextFreeCookie()
{
    do
        ++m_lastCookie;
    while (m_lastCookie == 0 || m_registrations.count(m_lastCookie) != 0);
    return m_lastCookie;
}

STDMETHODIMP GlobalInterfaceTable::RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie)
{
    if (!pdwCookie)
        return E_INVALIDARG;
    *pdwCookie = 0;
    if (!pUnk)
        return E_INVALIDARG;
    IUnknown* registered = nullptr;
    const HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&registered));
    if (FAILED(hr))
        return hr;
    if (!registered)
        return E_NOINTERFACE;
    std::shared_ptr<Registration> registration;
    try {
        registration = std::make_shared<Registration>(registered);
    } catch (const std::bad_alloc&) {
        registered->Release();
        return E_OUTOFMEMORY;
    }
    try {
        std::lock_guard lock(m_lock);
        // Reserving first means a failed insertion never drops the registration under the lock.
        m_registrations.reserve(m_registrations.size() + 1);
        const DWORD cookie = NextFreeCookie();
        m_registrations.emplace(cookie, std::move(registration));
        *pdwCookie = cookie;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP GlobalInterfaceTable::RevokeInterfaceFromGlobal(DWORD dwCookie)
{
    std::shared_ptr<Registration> revoked;
    {
        std::lock_guard lock(m_lock);
        const auto it = m_registrations.find(dwCookie);
        if (it == m_registrations.end())
            return E_INVALIDARG;
        revoked = std::move(it->second);
        m_registrations.erase(it);
    }
    return S_OK;
}

STDMETHODIMP GlobalInterfaceTable::GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    std::shared_ptr<Registration> registration;
    {
        std::lock_guard lock(m_lock);
        const auto it = m_registrations.find(dwCookie);
        if (it == m_registrations.end())
            return E_INVALIDARG;
        registration = it->second;
    }
    return registration->Registered()->QueryInterface(riid, ppv);
}

}  // namespace lumo::platform
