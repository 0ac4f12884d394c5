#include "ZoLockWaitGate.h"

CZoLockWaitGate::CZoLockWaitGate(ULONGLONG retryInterval)
    : m_retryInterval(retryInterval), m_heldElsewhere(false), m_lastAttempt(0)
{
}

bool CZoLockWaitGate::MayWait(ULONGLONG now)
{
    CZoLockHolder holder(&m_lock);
    if (!m_heldElsewhere)
        return true;
    // Not now - m_lastAttempt: another thread may have recorded a tick read after this one.
    if (now < m_lastAttempt + m_retryInterval)
        return false;
    m_lastAttempt = now;
    return true;
}

bool CZoLockWaitGate::OnTimeout(ULONGLONG now)
{
    CZoLockHolder holder(&m_lock);
    const bool first = !m_heldElsewhere;
    m_heldElsewhere = true;
    m_lastAttempt = now;
    return first;
}

void CZoLockWaitGate::Clear()
{
    CZoLockHolder holder(&m_lock);
    m_heldElsewhere = false;
}
