// Serializes the registrations and removals of one set of classes across processes, so that
// each applies as a whole with respect to the others: two registrars at once would otherwise
// write into keys the other is rebuilding, and a removal racing a registration could leave
// half of either. The lock is a named mutex named after the first class of the module.
#pragma once

#include <windows.h>

class CRegistrationLock {
public:
    // Waits at most 'timeoutMs' for a registrar of the same classes to finish.
    explicit CRegistrationLock(REFCLSID firstClass, DWORD timeoutMs = 60000) noexcept;
    ~CRegistrationLock();
    CRegistrationLock(const CRegistrationLock&) = delete;
    CRegistrationLock& operator=(const CRegistrationLock&) = delete;

    // S_OK once held; the failure otherwise (HRESULT_FROM_WIN32(ERROR_TIMEOUT) after the wait).
    HRESULT Status() const noexcept { return m_status; }

private:
    HANDLE m_mutex = nullptr;
    HRESULT m_status = E_FAIL;
};
