// A failed COM call: the status and, when the callee set one, its error object.
// Thrown by the checked-call helpers and caught by the error frame; the same class on every
// target, in place of the compiler's COM support class.
#pragma once

#include <utility>

#include <windows.h>

// The calling thread's last error as an HRESULT; E_FAIL where the call set none.
inline HRESULT AtlHresultFromLastError() noexcept
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

class CComError {
public:
    // Takes over one reference to errorInfo (which may be null).
    explicit CComError(HRESULT hr, IErrorInfo* errorInfo = nullptr) noexcept : m_hr(hr), m_errorInfo(errorInfo) {}
    CComError(const CComError& other) noexcept : m_hr(other.m_hr), m_errorInfo(other.m_errorInfo)
    {
        if (m_errorInfo)
            m_errorInfo->AddRef();
    }
    CComError(CComError&& other) noexcept
        : m_hr(other.m_hr), m_errorInfo(std::exchange(other.m_errorInfo, nullptr))
    {
    }
    CComError& operator=(CComError other) noexcept
    {
        std::swap(m_hr, other.m_hr);
        std::swap(m_errorInfo, other.m_errorInfo);
        return *this;
    }
    ~CComError()
    {
        if (m_errorInfo)
            m_errorInfo->Release();
    }

    HRESULT Error() const noexcept { return m_hr; }
    // Not AddRef'd: valid while this object lives; null when the callee set none.
    IErrorInfo* ErrorInfo() const noexcept { return m_errorInfo; }

private:
    HRESULT m_hr;
    IErrorInfo* m_errorInfo;
};
