// The error object CreateErrorInfo makes: filled through ICreateErrorInfo, read through
// IErrorInfo, from any thread.
#pragma once

#include <atomic>
#include <mutex>

#include <oleauto.h>

namespace lumo::platform {

class ErrorObject final : public ICreateErrorInfo, public IErrorInfo {
public:
    static HRESULT Create(ICreateErrorInfo** created) noexcept;

    // Whether the object is one of ours, asked while the object's module is surely loaded.
    static bool IsErrorObject(IErrorInfo* errorInfo) noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP SetGUID(REFGUID rguid) override;
    STDMETHODIMP SetSource(LPOLESTR szSource) override;
    STDMETHODIMP SetDescription(LPOLESTR szDescription) override;
    STDMETHODIMP SetHelpFile(LPOLESTR szHelpFile) override;
    STDMETHODIMP SetHelpContext(DWORD dwHelpContext) override;

    STDMETHODIMP GetGUID(GUID* pGUID) override;
    STDMETHODIMP GetSource(BSTR* pBstrSource) override;
    STDMETHODIMP GetDescription(BSTR* pBstrDescription) override;
    STDMETHODIMP GetHelpFile(BSTR* pBstrHelpFile) override;
    STDMETHODIMP GetHelpContext(DWORD* pdwHelpContext) override;

private:
    ErrorObject() = default;
    ~ErrorObject();
    HRESULT StoreText(BSTR& field, LPOLESTR text);
    HRESULT CopyText(const BSTR& field, BSTR* copy);

    std::atomic<ULONG> m_refs{1};
    std::mutex m_lock;
    GUID m_guid = GUID_NULL;
    BSTR m_source = nullptr;
    BSTR m_description = nullptr;
    BSTR m_helpFile = nullptr;
    DWORD m_helpContext = 0;
};

}  // namespace lumo::platform
