// The thread's current error object: CreateErrorInfo, SetErrorInfo, GetErrorInfo.
#include <utility>

#include <oleauto.h>

#include "ole32/ErrorObject.h"

namespace {

using lumo::platform::ErrorObject;

// What a thread still holds when it ends is released then only if it is one of our own error
// objects: another module's object may outlive its code (the module may be unloaded by the
// time the thread ends), so it is left unreleased rather than called.
class ThreadErrorSlot {
public:
    ThreadErrorSlot() = default;
    ThreadErrorSlot(const ThreadErrorSlot&) = delete;
    ThreadErrorSlot& operator=(const ThreadErrorSlot&) = delete;
    ~ThreadErrorSlot()
    {
        if (m_current && m_ours)
            m_current->Release();
    }

    // Takes over one reference; returns the previous object, whose reference the caller drops.
    IErrorInfo* Replace(IErrorInfo* errorInfo) noexcept
    {
        const bool ours = ErrorObject::IsErrorObject(errorInfo);
        m_ours = ours;
        return std::exchange(m_current, errorInfo);
    }

private:
    IErrorInfo* m_current = nullptr;
    bool m_ours = false;
};

ThreadErrorSlot& CurrentThreadErrorSlot() noexcept
{
    thread_local ThreadErrorSlot slot;
    return slot;
}

}  // namespace

WINOLEAUTAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo)
{
    return ErrorObject::Create(pperrinfo);
}

WINOLEAUTAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo)
{
    if (dwReserved != 0)
        return E_INVALIDARG;
    if (perrinfo)
        perrinfo->AddRef();
    // The previous object is released after the slot has changed: its destructor may set an
    // error object of its own.
    if (IErrorInfo* previous = CurrentThreadErrorSlot().Replace(perrinfo))
        previous->Release();
    return S_OK;
}

WINOLEAUTAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo)
{
    if (!pperrinfo)
        return E_INVALIDARG;
    *pperrinfo = nullptr;
    if (dwReserved != 0)
        return E_INVALIDARG;
    *pperrinfo = CurrentThreadErrorSlot().Replace(nullptr);
    return *pperrinfo ? S_OK : S_FALSE;
}
