#include "ZoMutexLock.h"

#include "ZoFrame.h"
#include "ZoLogReporter.h"
#include "ZoSystem.h"

ZO_SOURCE_FILE(".\\ZoLock")

CZoMutexLock::CZoMutexLock(DWORD waitTimeout) : m_waitTimeout(waitTimeout), m_mutex(nullptr), m_locked(false) {}

CZoMutexLock::~CZoMutexLock()
{
    ZO_DESTRUCTOR(OLESTR("CZoMutexLock::~CZoMutexLock"))
    {
        Clear();
    }
    ZO_DESTRUCTOR_END
    if (m_mutex)
        CloseHandle(m_mutex);
}

void CZoMutexLock::Init(OleStringView name, bool global)
{
    ZO_FUNCTION(OLESTR("CZoMutexLock::Init"))
    {
        Clear();
        OleString kernelName;
        HANDLE mutex;
        if (!name.empty()) {
            kernelName = CZoSystem::MakeKernelObjectName(name, global);
            // A null access-control list: every user's process may open the mutex.
            SECURITY_DESCRIPTOR descriptor;
            InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
            SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
            SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
            mutex = CreateMutexW(&attributes, FALSE, kernelName.c_str());
        } else {
            mutex = CreateMutexW(nullptr, FALSE, nullptr);
        }
        if (mutex == INVALID_HANDLE_VALUE)
            mutex = nullptr;
        if (!mutex) {
            CZoException error = ZO_LAST_ERROR_EXCEPTION();
            error.AddInfo(OLESTR("MutexName"), kernelName);
            throw error;
        }
        m_mutex = mutex;
    }
    ZO_FUNCTION_END
}

bool CZoMutexLock::Lock()
{
    ZO_FUNCTION(OLESTR("CZoMutexLock::Lock"))
    {
        if (!m_mutex)
            Init(OLESTR(""), true);
        switch (WaitForSingleObject(m_mutex, m_waitTimeout)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:
            m_locked = true;
            return true;
        case WAIT_TIMEOUT:
            return false;
        default:
            throw ZO_LAST_ERROR_EXCEPTION();
        }
    }
    ZO_FUNCTION_END
}

void CZoMutexLock::Unlock()
{
    ZO_FUNCTION(OLESTR("CZoMutexLock::Unlock"))
    {
        if (!m_mutex)
            return;
        // Before the release: the next owner, on another thread, sets it as soon as it may.
        m_locked = false;
        if (!ReleaseMutex(m_mutex)) {
            CZoException error = ZO_LAST_ERROR_EXCEPTION();
            error.AddInfo(OLESTR("ThreadID"), static_cast<LONG>(GetCurrentThreadId()), false);
            ZoReportToLog(ZO_LOG_WARNING, OLESTR("%s\n"), error.GetDescription().c_str());
        }
    }
    ZO_FUNCTION_END
}

void CZoMutexLock::Clear()
{
    ZO_FUNCTION(OLESTR("CZoMutexLock::Clear"))
    {
        if (m_locked)
            Unlock();
        if (m_mutex)
            CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
    ZO_FUNCTION_END
}
