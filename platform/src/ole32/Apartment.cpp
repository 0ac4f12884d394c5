#include "ole32/Apartment.h"

#include <atomic>

#include <objbase.h>

namespace lumo::platform {
namespace {

// Threads currently initialised as multithreaded: while it is above zero, every thread of the
// process belongs to the implicit multithreaded apartment.
std::atomic<long> g_multithreadedThreads{0};

class ThreadApartment {
public:
    ThreadApartment() = default;
    ThreadApartment(const ThreadApartment&) = delete;
    ThreadApartment& operator=(const ThreadApartment&) = delete;

    // A thread that ends without balancing its initialisations leaves the apartment here.
    ~ThreadApartment()
    {
        if (m_initCount > 0 && m_multithreaded)
            g_multithreadedThreads.fetch_sub(1);
    }

    HRESULT Enter(bool multithreaded) noexcept
    {
        if (m_initCount > 0) {
            if (multithreaded != m_multithreaded)
                return RPC_E_CHANGED_MODE;
            ++m_initCount;
            return S_FALSE;
        }
        m_initCount = 1;
        m_multithreaded = multithreaded;
        if (multithreaded)
            g_multithreadedThreads.fetch_add(1);
        return S_OK;
    }

    void Leave() noexcept
    {
        if (m_initCount == 0)
            return;
        if (--m_initCount == 0 && m_multithreaded)
            g_multithreadedThreads.fetch_sub(1);
    }

    bool Initialised() const noexcept { return m_initCount > 0; }

private:
    unsigned long m_initCount = 0;
    bool m_multithreaded = false;
};

ThreadApartment& CurrentThreadApartment() noexcept
{
    thread_local ThreadApartment apartment;
    return apartment;
}

}  // namespace

bool ComRuntimeUsableOnThisThread() noexcept
{
    return CurrentThreadApartment().Initialised() || g_multithreadedThreads.load() > 0;
}

}  // namespace lumo::platform

using lumo::platform::CurrentThreadApartment;

WINOLEAPI CoInitialize(LPVOID pvReserved)
{
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

WINOLEAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved)
        return E_INVALIDARG;
    return CurrentThreadApartment().Enter((dwCoInit & COINIT_APARTMENTTHREADED) == 0);
}

WINOLEAPI_(void) CoUninitialize()
{
    CurrentThreadApartment().Leave();
}
