#include "ZoLock.h"

CZoCOMLock::CZoCOMLock()
{
    InitializeCriticalSection(&m_section);
}

CZoCOMLock::~CZoCOMLock()
{
    DeleteCriticalSection(&m_section);
}

bool CZoCOMLock::Lock()
{
    EnterCriticalSection(&m_section);
    return true;
}

void CZoCOMLock::Unlock()
{
    LeaveCriticalSection(&m_section);
}

// ---------------------------------------------------------------------------------------

CZoLockHolder::CZoLockHolder(CZoLock* lock) : m_locked(false), m_lock(lock)
{
    if (m_lock)
        m_locked = m_lock->Lock();
}

CZoLockHolder::~CZoLockHolder()
{
    if (m_locked)
        m_lock->Unlock();
}
