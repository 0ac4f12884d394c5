// The test server module, written in plain COM: its own class factory, aggregation through a
// non-delegating inner unknown, and counts of live objects and server locks behind
// DllCanUnloadNow.
#include "TestComponent.h"

#include <atomic>
#include <new>

#ifdef _WIN32
#define LUMO_TEST_EXPORT extern "C"
#else
#define LUMO_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::atomic<LONG> g_liveObjects{0};
std::atomic<LONG> g_serverLocks{0};
std::atomic<LONG> g_createdSinceLoad{0};

class Counter final : public ITestCounter {
public:
    // A null outer makes the object its own controlling unknown.
    explicit Counter(IUnknown* outer) noexcept : m_inner(*this), m_outer(outer ? outer : &m_inner)
    {
        ++g_liveObjects;
        ++g_createdSinceLoad;
    }
    ~Counter() { --g_liveObjects; }
    Counter(const Counter&) = delete;
    Counter& operator=(const Counter&) = delete;

    IUnknown* InnerUnknown() noexcept { return &m_inner; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_outer->Release(); }

    STDMETHODIMP Add(LONG value) override
    {
        m_total += value;
        return S_OK;
    }
    STDMETHODIMP get_Total(LONG* total) override
    {
        if (!total)
            return E_POINTER;
        *total = m_total.load();
        return S_OK;
    }
    STDMETHODIMP get_CreatedSinceLoad(LONG* created) override
    {
        if (!created)
            return E_POINTER;
        *created = g_createdSinceLoad.load();
        return S_OK;
    }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(Counter& owner) noexcept : m_owner(owner) {}

        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
        {
            if (!ppv)
                return E_POINTER;
            if (riid == __uuidof(IUnknown)) {
                *ppv = static_cast<IUnknown*>(this);
                AddRef();
            } else if (riid == __uuidof(ITestCounter)) {
                *ppv = static_cast<ITestCounter*>(&m_owner);
                m_owner.AddRef();
            } else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
        STDMETHODIMP_(ULONG) Release() override
        {
            const ULONG refs = --m_refs;
            if (refs == 0)
                delete &m_owner;
            return refs;
        }

    private:
        Counter& m_owner;
        std::atomic<ULONG> m_refs{1};
    };

    Inner m_inner;
    IUnknown* m_outer;
    std::atomic<LONG> m_total{0};
};

// One factory for the module's lifetime; it holds no count of its own, so clients that keep
// it must lock the server, as COM asks of them.
class CounterFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter && riid != __uuidof(IUnknown))
            return CLASS_E_NOAGGREGATION;
        auto* counter = new (std::nothrow) Counter(pUnkOuter);
        if (!counter)
            return E_OUTOFMEMORY;
        IUnknown* inner = counter->InnerUnknown();
        const HRESULT hr = inner->QueryInterface(riid, ppvObject);
        inner->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override
    {
        if (fLock)
            ++g_serverLocks;
        else
            --g_serverLocks;
        return S_OK;
    }
};

CounterFactory g_factory;

}  // namespace

LUMO_TEST_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

LUMO_TEST_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_LumoTestCounter)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

LUMO_TEST_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_liveObjects.load() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE;
}
