// Thread and process identity, the per-thread last error, sleeping and the tick counts.
#include <windows.h>

#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

ULONGLONG MonotonicMilliseconds() noexcept
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u + static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

}  // namespace

DWORD WINAPI GetCurrentThreadId()
{
    // The kernel's thread id: unique among the live threads of the system, as on Windows.
    static thread_local const DWORD id = static_cast<DWORD>(gettid());
    return id;
}

DWORD WINAPI GetCurrentProcessId()
{
    return static_cast<DWORD>(getpid());
}

DWORD WINAPI GetLastError()
{
    return t_lastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    t_lastError = dwErrCode;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD WINAPI GetTickCount()
{
    // Wraps after 49.7 days, as on Windows.
    return static_cast<DWORD>(MonotonicMilliseconds());
}

ULONGLONG WINAPI GetTickCount64()
{
    return MonotonicMilliseconds();
}
