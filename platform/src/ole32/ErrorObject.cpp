#include "ole32/ErrorObject.h"

#include <new>
#include <utility>

namespace lumo::platform {
namespace {

// Answered only by our own error objects; never leaves the stand-in.
constexpr IID kIID_StandInErrorObject = {0x6c1d3a52, 0x93f4, 0x4b1e, {0xa2, 0x7d, 0x5e, 0x10, 0xc8, 0x4f, 0x3b, 0x96}};

}  // namespace

HRESULT ErrorObject::Create(ICreateErrorInfo** created) noexcept
{
    if (!created)
        return E_INVALIDARG;
    *created = new (std::nothrow) ErrorObject();
    return *created ? S_OK : E_OUTOFMEMORY;
}

bool ErrorObject::IsErrorObject(IErrorInfo* errorInfo) noexcept
{
    void* own = nullptr;
    if (!errorInfo || FAILED(errorInfo->QueryInterface(kIID_StandInErrorObject, &own)) || !own)
        return false;
    static_cast<ErrorObject*>(own)->Release();
    return true;
}

ErrorObject::~ErrorObject()
{
    SysFreeString(m_source);
    SysFreeString(m_description);
    SysFreeString(m_helpFile);
}

STDMETHODIMP ErrorObject::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo)
        *ppv = static_cast<ICreateErrorInfo*>(this);
    else if (riid == IID_IErrorInfo)
        *ppv = static_cast<IErrorInfo*>(this);
    else if (riid == kIID_StandInErrorObject)
        *ppv = this;
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) ErrorObject::AddRef()
{
    return ++m_refs;
}

STDMETHODIMP_(ULONG) ErrorObject::Release()
{
    const ULONG refs = --m_refs;
    if (refs == 0)
        delete this;
    return refs;
}

// A null text is kept as null and read back as null.
HRESULT ErrorObject::StoreText(BSTR& field, LPOLESTR text)
{
    BSTR copy = nullptr;
    if (text) {
        copy = SysAllocString(text);
        if (!copy)
            return E_OUTOFMEMORY;
    }
    std::lock_guard lock(m_lock);
    std::swap(field, copy);
    SysFreeString(copy);
    return S_OK;
}

HRESULT ErrorObject::CopyText(const BSTR& field, BSTR* copy)
{
    if (!copy)
        return E_INVALIDARG;
    std::lock_guard lock(m_lock);
    *copy = field ? SysAllocStringLen(field, SysStringLen(field)) : nullptr;
    return (*copy || !field) ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ErrorObject::SetGUID(REFGUID rguid)
{
    std::lock_guard lock(m_lock);
    m_guid = rguid;
    return S_OK;
}

STDMETHODIMP ErrorObject::SetSource(LPOLESTR szSource)
{
    return StoreText(m_source, szSource);
}

STDMETHODIMP ErrorObject::SetDescription(LPOLESTR szDescription)
{
    return StoreText(m_description, szDescription);
}

STDMETHODIMP ErrorObject::SetHelpFile(LPOLESTR szHelpFile)
{
    return StoreText(m_helpFile, szHelpFile);
}

STDMETHODIMP ErrorObject::SetHelpContext(DWORD dwHelpContext)
{
    std::lock_guard lock(m_lock);
    m_helpContext = dwHelpContext;
    return S_OK;
}

STDMETHODIMP ErrorObject::GetGUID(GUID* pGUID)
{
    if (!pGUID)
        return E_INVALIDARG;
    std::lock_guard lock(m_lock);
    *pGUID = m_guid;
    return S_OK;
}

STDMETHODIMP ErrorObject::GetSource(BSTR* pBstrSource)
{
    return CopyText(m_source, pBstrSource);
}

STDMETHODIMP ErrorObject::GetDescription(BSTR* pBstrDescription)
{
    return CopyText(m_description, pBstrDescription);
}

STDMETHODIMP ErrorObject::GetHelpFile(BSTR* pBstrHelpFile)
{
    return CopyText(m_helpFile, pBstrHelpFile);
}

STDMETHODIMP ErrorObject::GetHelpContext(DWORD* pdwHelpContext)
{
    if (!pdwHelpContext)
        return E_INVALIDARG;
    std::lock_guard lock(m_lock);
    *pdwHelpContext = m_helpContext;
    return S_OK;
}

}  // namespace lumo::platform
