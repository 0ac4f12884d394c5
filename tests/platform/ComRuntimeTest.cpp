// The component runtime: creation through the registry, the class cache, aggregation,
// unloading, initialisation rules, task memory, the free-threaded marshaler.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#include "FreshRegistry.h"
#include "OleString.h"
#include "TestComponent.h"
#include "TestComponentRegistration.h"

namespace {

// {0E9B3F61-58C2-47A4-B1D8-6F2C93A5E017}: never registered anywhere.
const CLSID kUnregisteredClass = {0x0E9B3F61, 0x58C2, 0x47A4, {0xB1, 0xD8, 0x6F, 0x2C, 0x93, 0xA5, 0xE0, 0x17}};

HRESULT CreateCounter(ITestCounter** counter)
{
    return CoCreateInstance(CLSID_LumoTestCounter, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ITestCounter),
                            reinterpret_cast<void**>(counter));
}

LONG CreatedSinceLoad()
{
    ITestCounter* counter = nullptr;
    EXPECT_EQ(S_OK, CreateCounter(&counter));
    if (!counter)
        return -1;
    LONG created = -1;
    EXPECT_EQ(S_OK, counter->get_CreatedSinceLoad(&created));
    counter->Release();
    return created;
}

// A controlling unknown that counts its references and hands the inner object's interfaces out.
class CountingOuter final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == __uuidof(IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (inner)
            return inner->QueryInterface(riid, ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    std::atomic<ULONG> refs{1};
    IUnknown* inner = nullptr;
};

class ComRuntime : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void TearDown() override { CoUninitialize(); }
};

class RegisteredTestComponent : public ComRuntime {
protected:
    void SetUp() override
    {
        ComRuntime::SetUp();
        RegisterTestComponent();
    }

    ScopedFreshRegistry m_registry;
};

TEST_F(RegisteredTestComponent, CreatesByProgIdAndByClassId)
{
    CLSID clsid = GUID_NULL;
    ASSERT_EQ(S_OK, CLSIDFromProgID(kLumoTestCounterProgId, &clsid));
    EXPECT_EQ(CLSID_LumoTestCounter, clsid);

    for (int i = 0; i < 2; ++i) {
        ITestCounter* counter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(ITestCounter),
                                         reinterpret_cast<void**>(&counter)));
        ASSERT_NE(nullptr, counter);
        EXPECT_EQ(S_OK, counter->Add(2));
        EXPECT_EQ(S_OK, counter->Add(40));
        LONG total = 0;
        EXPECT_EQ(S_OK, counter->get_Total(&total));
        EXPECT_EQ(42, total) << "creation " << i;
        counter->Release();
    }
}

TEST_F(RegisteredTestComponent, ClassObjectCreatesInstances)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_LumoTestCounter, CLSCTX_INPROC_SERVER, nullptr, __uuidof(IClassFactory),
                                     reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    IUnknown* object = nullptr;
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(IUnknown), reinterpret_cast<void**>(&object)));
    ASSERT_NE(nullptr, object);
    object->Release();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
}

TEST_F(RegisteredTestComponent, ProgIdOfClassId)
{
    LPOLESTR progId = nullptr;
    ASSERT_EQ(S_OK, ProgIDFromCLSID(CLSID_LumoTestCounter, &progId));
    EXPECT_EQ(OleString(kLumoTestCounterProgId), progId);
    CoTaskMemFree(progId);

    progId = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(REGDB_E_CLASSNOTREG, ProgIDFromCLSID(kUnregisteredClass, &progId));
    EXPECT_EQ(nullptr, progId);
    EXPECT_EQ(E_INVALIDARG, ProgIDFromCLSID(CLSID_LumoTestCounter, nullptr));
}

TEST_F(RegisteredTestComponent, FailedCreationsGiveWindowsStatuses)
{
    // {7A35C0D2-1E84-4B69-A0F3-95D6E2B18C47}: registered, but the module serves no such class.
    const CLSID notServed = {0x7A35C0D2, 0x1E84, 0x4B69, {0xA0, 0xF3, 0x95, 0xD6, 0xE2, 0xB1, 0x8C, 0x47}};
    // {C4F19E08-7B3D-4A52-8E61-0D9A2F7C35B4}: its module file does not exist.
    const CLSID missingModule = {0xC4F19E08, 0x7B3D, 0x4A52, {0x8E, 0x61, 0x0D, 0x9A, 0x2F, 0x7C, 0x35, 0xB4}};
    // {2D8E46B1-90CF-4E37-B5A2-C17F03E96D58}: its module exports no DllGetClassObject.
    const CLSID notAServer = {0x2D8E46B1, 0x90CF, 0x4E37, {0xB5, 0xA2, 0xC1, 0x7F, 0x03, 0xE9, 0x6D, 0x58}};
    RegisterInprocServer(notServed, TestComponentPath());
    RegisterInprocServer(missingModule, TestComponentPath() + OLESTR(".missing"));
#ifdef _WIN32
    RegisterInprocServer(notAServer, OLESTR("kernel32.dll"));
#else
    RegisterInprocServer(notAServer, OLESTR("libm.so.6"));
#endif

    struct Case {
        const char* what;
        CLSID clsid;
        DWORD context;
        HRESULT expected;
    };
    const Case cases[] = {
        {"unregistered class", kUnregisteredClass, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {"null class id", CLSID_NULL, CLSCTX_INPROC_SERVER, REGDB_E_CLASSNOTREG},
        {"class the module does not serve", notServed, CLSCTX_INPROC_SERVER, CLASS_E_CLASSNOTAVAILABLE},
        {"module file missing", missingModule, CLSCTX_INPROC_SERVER, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"module without DllGetClassObject", notAServer, CLSCTX_INPROC_SERVER, CO_E_ERRORINDLL},
        {"local server only", CLSID_LumoTestCounter, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.expected, CoCreateInstance(c.clsid, nullptr, c.context, __uuidof(IUnknown), &object)) << c.what;
        EXPECT_EQ(nullptr, object) << c.what;
        void* factory = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.expected, CoGetClassObject(c.clsid, c.context, nullptr, __uuidof(IClassFactory), &factory))
            << c.what;
        EXPECT_EQ(nullptr, factory) << c.what;
    }
}

TEST_F(RegisteredTestComponent, NullOutPointers)
{
    EXPECT_EQ(E_POINTER,
              CoCreateInstance(CLSID_LumoTestCounter, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IUnknown), nullptr));
    EXPECT_EQ(E_INVALIDARG, CoGetClassObject(CLSID_LumoTestCounter, CLSCTX_INPROC_SERVER, nullptr,
                                             __uuidof(IClassFactory), nullptr));
}

TEST_F(RegisteredTestComponent, InterfaceMissingFromClass)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE,
              CoCreateInstance(CLSID_LumoTestCounter, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IDispatch), &object));
    EXPECT_EQ(nullptr, object);
}

TEST_F(RegisteredTestComponent, AggregatedObjectDelegatesToOuter)
{
    CountingOuter outer;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_LumoTestCounter, &outer, CLSCTX_INPROC_SERVER, __uuidof(IUnknown),
                                     reinterpret_cast<void**>(&outer.inner)));
    ASSERT_NE(nullptr, outer.inner);
    EXPECT_EQ(1u, outer.refs.load()) << "creating the inner object must not hold the outer";

    ITestCounter* counter = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(__uuidof(ITestCounter), reinterpret_cast<void**>(&counter)));
    EXPECT_EQ(2u, outer.refs.load()) << "the inner interface's reference belongs to the outer";
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, counter->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    counter->Release();
    EXPECT_EQ(1u, outer.refs.load());

    EXPECT_EQ(0u, outer.inner->Release());
}

TEST_F(RegisteredTestComponent, AggregationMustAskForIUnknown)
{
    CountingOuter outer;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_LumoTestCounter, &outer, CLSCTX_INPROC_SERVER,
                                                      __uuidof(ITestCounter), &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1u, outer.refs.load());
}

TEST_F(RegisteredTestComponent, CacheNoticesRegistryChanges)
{
    ITestCounter* counter = nullptr;
    ASSERT_EQ(S_OK, CreateCounter(&counter));
    counter->Release();

    RegisterInprocServer(CLSID_LumoTestCounter, TestComponentPath() + OLESTR(".moved"));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), CreateCounter(&counter)) << "re-pointed";

    RegisterInprocServer(CLSID_LumoTestCounter, TestComponentPath());
    ASSERT_EQ(S_OK, CreateCounter(&counter)) << "pointed back";
    counter->Release();

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(CLSID_LumoTestCounter).c_str()));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateCounter(&counter)) << "deleted";
}

TEST_F(RegisteredTestComponent, ExpandsEnvironmentReferencesInModulePath)
{
    const OLECHAR variable[] = OLESTR("LUMO_RUNTIME_TEST_MODULE");
    ASSERT_TRUE(SetEnvironmentVariableW(variable, TestComponentPath().c_str()));
    struct Case {
        const char* what;
        OleString path;
        DWORD type;
        HRESULT expected;
    };
    const Case cases[] = {
        {"expandable", OLESTR("%LUMO_RUNTIME_TEST_MODULE%"), REG_EXPAND_SZ, S_OK},
        {"undefined variable stays", OLESTR("%LUMO_RUNTIME_TEST_UNDEFINED%"), REG_EXPAND_SZ,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"plain text is taken as written", OLESTR("%LUMO_RUNTIME_TEST_MODULE%"), REG_SZ,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
    };
    for (const Case& c : cases) {
        RegisterInprocServer(CLSID_LumoTestCounter, c.path, c.type);
        ITestCounter* counter = nullptr;
        EXPECT_EQ(c.expected, CreateCounter(&counter)) << c.what;
        if (counter)
            counter->Release();
    }
    SetEnvironmentVariableW(variable, nullptr);
}

// Without an unload delay: the test component serves its class with the threading model Both.
TEST_F(RegisteredTestComponent, FreeUnusedLibrariesUnloadsOnlyIdleModules)
{
    CoFreeUnusedLibrariesEx(0, 0);
    const LONG first = CreatedSinceLoad();
    EXPECT_EQ(first + 1, CreatedSinceLoad()) << "the module stays loaded between creations";

    ITestCounter* alive = nullptr;
    ASSERT_EQ(S_OK, CreateCounter(&alive));
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(first + 3, CreatedSinceLoad()) << "a live object keeps its module";
    alive->Release();

    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_LumoTestCounter, CLSCTX_INPROC_SERVER, nullptr, __uuidof(IClassFactory),
                                     reinterpret_cast<void**>(&factory)));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(first + 4, CreatedSinceLoad()) << "a server lock keeps its module";
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_LumoTestCounter, CLSCTX_INPROC_SERVER, nullptr, __uuidof(IClassFactory),
                                     reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();

    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(1, CreatedSinceLoad()) << "an idle module is unloaded and loaded afresh";
}

// A free-threaded module goes only when a call finds it idle the delay after the call that
// first found it so, and any use in between starts the wait again; a module whose classes
// name no such threading model goes at once.
TEST_F(RegisteredTestComponent, FreeThreadedModulesAreUnloadedAfterTheDelay)
{
    constexpr DWORD kDelay = 20;
    CoFreeUnusedLibrariesEx(0, 0);
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(1, CreatedSinceLoad());
    CoFreeUnusedLibraries();
    CoFreeUnusedLibraries();
    EXPECT_EQ(2, CreatedSinceLoad()) << "the default delay is minutes";

    CoFreeUnusedLibrariesEx(kDelay, 0);
    Sleep(2 * kDelay);
    EXPECT_EQ(3, CreatedSinceLoad()) << "a creation makes the module busy again";
    CoFreeUnusedLibrariesEx(kDelay, 0);
    EXPECT_EQ(4, CreatedSinceLoad()) << "found idle anew, it waits the whole delay again";
    CoFreeUnusedLibrariesEx(kDelay, 0);
    Sleep(2 * kDelay);
    CoFreeUnusedLibrariesEx(kDelay, 0);
    EXPECT_EQ(1, CreatedSinceLoad()) << "idle for the delay, it was unloaded";

    CoFreeUnusedLibrariesEx(0, 0);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(CLSID_LumoTestCounter).c_str()));
    RegisterInprocServer(CLSID_LumoTestCounter, TestComponentPath());
    EXPECT_EQ(1, CreatedSinceLoad());
    CoFreeUnusedLibraries();
    EXPECT_EQ(1, CreatedSinceLoad()) << "without a threading model there is no delay";
}

// Creations on many threads (members of the implicit multithreaded apartment) while another
// thread keeps unloading idle modules: every creation succeeds and no object is lost. The
// unload delay is what lets a thread return from an object's last Release before its module
// may go.
TEST_F(RegisteredTestComponent, ConcurrentCreationAndUnloading)
{
    constexpr DWORD kDelay = 50;
    std::atomic<bool> stop{false};
    std::thread unloader([&] {
        while (!stop.load())
            CoFreeUnusedLibrariesEx(kDelay, 0);
    });
    std::atomic<int> failures{0};
    std::vector<std::thread> creators;
    for (int t = 0; t < 4; ++t)
        creators.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                ITestCounter* counter = nullptr;
                LONG total = 0;
                if (CreateCounter(&counter) != S_OK || counter->Add(i) != S_OK || counter->get_Total(&total) != S_OK ||
                    total != i)
                    ++failures;
                if (counter)
                    counter->Release();
                // Now and then every creator pauses longer than the delay, so that the module goes.
                if (i % 50 == 49)
                    Sleep(2 * kDelay);
            }
        });
    for (auto& creator : creators)
        creator.join();
    stop = true;
    unloader.join();
    EXPECT_EQ(0, failures.load());
}

TEST(ComRuntimeInitialisation, CountsAndModelsPerThread)
{
    std::thread([] {
        EXPECT_EQ(E_INVALIDARG, CoInitializeEx(reinterpret_cast<void*>(1), COINIT_MULTITHREADED));
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitialize(nullptr));
        CoUninitialize();
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_MULTITHREADED)) << "one uninitialise balances one";
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(S_OK, CoInitialize(nullptr)) << "fully uninitialised: a new model may be chosen";
        EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
        EXPECT_EQ(RPC_E_CHANGED_MODE, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        CoUninitialize();
        CoUninitialize();  // one too many: ignored
    }).join();
}

HRESULT CreateGlobalInterfaceTable()
{
    IUnknown* table = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                        __uuidof(IUnknown), reinterpret_cast<void**>(&table));
    if (table)
        table->Release();
    return hr;
}

// A thread that never initialised may use the runtime only while some thread of the process
// is in the multithreaded apartment.
TEST(ComRuntimeInitialisation, UninitialisedThreadsJoinTheImplicitMultithreadedApartment)
{
    auto onOtherThread = [](auto action) { std::thread(action).join(); };

    onOtherThread([] { EXPECT_EQ(CO_E_NOTINITIALIZED, CreateGlobalInterfaceTable()) << "no apartment at all"; });

    std::thread apartmentThread;
    std::atomic<int> phase{0};
    apartmentThread = std::thread([&] {
        EXPECT_EQ(S_OK, CoInitialize(nullptr));
        phase = 1;
        while (phase.load() != 2)
            std::this_thread::yield();
        CoUninitialize();
        EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        phase = 3;
        while (phase.load() != 4)
            std::this_thread::yield();
        CoUninitialize();
        phase = 5;
    });
    while (phase.load() != 1)
        std::this_thread::yield();
    onOtherThread([] { EXPECT_EQ(CO_E_NOTINITIALIZED, CreateGlobalInterfaceTable()) << "only a single-threaded one"; });
    phase = 2;
    while (phase.load() != 3)
        std::this_thread::yield();
    onOtherThread([] { EXPECT_EQ(S_OK, CreateGlobalInterfaceTable()) << "a multithreaded apartment exists"; });
    phase = 4;
    while (phase.load() != 5)
        std::this_thread::yield();
    onOtherThread([] { EXPECT_EQ(CO_E_NOTINITIALIZED, CreateGlobalInterfaceTable()) << "it has ended"; });
    apartmentThread.join();

    // A thread that ends without uninitialising leaves the apartment all the same.
    std::thread([] { EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }).join();
    onOtherThread([] { EXPECT_EQ(CO_E_NOTINITIALIZED, CreateGlobalInterfaceTable()) << "its thread has ended"; });
}

TEST(ComRuntimeIds, InterfaceIdsMatchTheirInterfaces)
{
    struct Case {
        const char* what;
        const IID& constant;
        const IID& declared;
        const char* text;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, __uuidof(IUnknown), "{00000000-0000-0000-C000-000000000046}"},
        {"IClassFactory", IID_IClassFactory, __uuidof(IClassFactory), "{00000001-0000-0000-C000-000000000046}"},
        {"IMarshal", IID_IMarshal, __uuidof(IMarshal), "{00000003-0000-0000-C000-000000000046}"},
        {"IGlobalInterfaceTable", IID_IGlobalInterfaceTable, __uuidof(IGlobalInterfaceTable),
         "{00000146-0000-0000-C000-000000000046}"},
        {"IDispatch", IID_IDispatch, __uuidof(IDispatch), "{00020400-0000-0000-C000-000000000046}"},
        {"IEnumVARIANT", IID_IEnumVARIANT, __uuidof(IEnumVARIANT), "{00020404-0000-0000-C000-000000000046}"},
        {"IErrorInfo", IID_IErrorInfo, __uuidof(IErrorInfo), "{1CF2B120-547D-101B-8E65-08002B2BD119}"},
        {"ICreateErrorInfo", IID_ICreateErrorInfo, __uuidof(ICreateErrorInfo),
         "{22F03340-547D-101B-8E65-08002B2BD119}"},
        {"ISupportErrorInfo", IID_ISupportErrorInfo, __uuidof(ISupportErrorInfo),
         "{DF0B3D60-548F-101B-8E65-08002B2BD119}"},
        {"CLSID_StdGlobalInterfaceTable", CLSID_StdGlobalInterfaceTable, CLSID_StdGlobalInterfaceTable,
         "{00000323-0000-0000-C000-000000000046}"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.declared, c.constant) << c.what;
        EXPECT_EQ(WidenUtf8(c.text), GuidText(c.constant)) << c.what;
    }
}

TEST(ComRuntimeTaskMemory, AllocatesReallocatesAndFrees)
{
    void* empty = CoTaskMemAlloc(0);
    EXPECT_NE(nullptr, empty) << "a zero-byte block is still a block";
    CoTaskMemFree(empty);

    auto* bytes = static_cast<BYTE*>(CoTaskMemRealloc(nullptr, 4));
    ASSERT_NE(nullptr, bytes);
    for (BYTE i = 0; i < 4; ++i)
        bytes[i] = i;
    bytes = static_cast<BYTE*>(CoTaskMemRealloc(bytes, 4096));
    ASSERT_NE(nullptr, bytes);
    for (BYTE i = 0; i < 4; ++i)
        EXPECT_EQ(i, bytes[i]) << "kept across growth";
    EXPECT_EQ(nullptr, CoTaskMemRealloc(bytes, 0)) << "resizing to nothing frees";
    CoTaskMemFree(nullptr);
}

TEST(ComRuntimeOleRun, EveryObjectIsRunning)
{
    CountingOuter object;
    EXPECT_EQ(S_OK, OleRun(&object));
    EXPECT_EQ(E_INVALIDARG, OleRun(nullptr));
}

TEST(FreeThreadedMarshaler, AggregatedMarshalerDelegatesToOuter)
{
    CountingOuter outer;
    ASSERT_EQ(S_OK, CoCreateFreeThreadedMarshaler(&outer, &outer.inner));
    ASSERT_NE(nullptr, outer.inner);
    EXPECT_EQ(1u, outer.refs.load());

    IMarshal* marshal = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(__uuidof(IMarshal), reinterpret_cast<void**>(&marshal)));
    EXPECT_EQ(2u, outer.refs.load()) << "IMarshal's reference belongs to the outer";
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, marshal->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    EXPECT_EQ(S_OK, marshal->DisconnectObject(0));
    marshal->Release();
    EXPECT_EQ(1u, outer.refs.load());

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, outer.inner->QueryInterface(__uuidof(IDispatch), &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(0u, outer.inner->Release());
}

TEST(FreeThreadedMarshaler, WithoutOuterIsItsOwnIdentity)
{
    IUnknown* marshaler = nullptr;
    ASSERT_EQ(S_OK, CoCreateFreeThreadedMarshaler(nullptr, &marshaler));
    IMarshal* marshal = nullptr;
    ASSERT_EQ(S_OK, marshaler->QueryInterface(__uuidof(IMarshal), reinterpret_cast<void**>(&marshal)));
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, marshal->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(marshaler, identity);
    identity->Release();
    marshal->Release();
    EXPECT_EQ(0u, marshaler->Release());

    EXPECT_EQ(E_INVALIDARG, CoCreateFreeThreadedMarshaler(nullptr, nullptr));
}

}  // namespace
