#include "RegistrationLock.h"

#include <objbase.h>

#include "ComError.h"

CRegistrationLock::CRegistrationLock(REFCLSID firstClass, DWORD timeoutMs) noexcept
{
    OLECHAR name[64] = OLESTR("LumoRegistration");
    constexpr int kPrefix = 16;
    if (StringFromGUID2(firstClass, name + kPrefix, 64 - kPrefix) == 0) {
        m_status = E_UNEXPECTED;
        return;
    }
    m_mutex = CreateMutexW(nullptr, FALSE, name);
    if (!m_mutex) {
        m_status = AtlHresultFromLastError();
        return;
    }
    switch (WaitForSingleObject(m_mutex, timeoutMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // a registrar died midway: this one writes the whole script again
        m_status = S_OK;
        break;
    case WAIT_TIMEOUT:
        m_status = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        break;
    default:
        m_status = AtlHresultFromLastError();
        break;
    }
}

CRegistrationLock::~CRegistrationLock()
{
    if (m_status == S_OK)
        ReleaseMutex(m_mutex);
    if (m_mutex)
        CloseHandle(m_mutex);
}
