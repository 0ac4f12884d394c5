// Mutexes: owned by the thread that took them, re-entrant for it, released by it only. A named
// mutex is shared by every process that opens the name; the prefixes "Global\" (all users)
// and "Local\" (the same as no prefix: the user's own) are accepted. A mutex whose owner
// thread or process ended while holding it is abandoned: the next wait gets it with
// WAIT_ABANDONED. Waits go through WaitForSingleObject, handles close with CloseHandle.
#pragma once

#include "winnt.h"

#define MUTEX_MODIFY_STATE 0x0001
#define MUTEX_ALL_ACCESS 0x001F0001

typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// A named mutex that already exists is opened (bInitialOwner is then ignored) and the last
// error is ERROR_ALREADY_EXISTS. A security descriptor with a null access-control list
// lets any user open the name; without one only the creating user can.
WINBASEAPI HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
WINBASEAPI BOOL WINAPI ReleaseMutex(HANDLE hMutex);
