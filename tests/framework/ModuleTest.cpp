// The module: class objects handed out over the object map, the lock count, start and end.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestClasses.h"
#include "ThreadBarrier.h"

namespace {

CComPtr<IClassFactory> ClassObjectOf(REFCLSID clsid)
{
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(S_OK,
              TestModule().DllGetClassObject(clsid, __uuidof(IClassFactory), reinterpret_cast<void**>(&factory)));
    return factory;
}

struct ClassObjectCase {
    const char* what;
    REFCLSID clsid;
    IID iid;
    HRESULT expected;
};

const ClassObjectCase kClassObjectCases[] = {
    {"class factory", CLSID_TestObject, __uuidof(IClassFactory), S_OK},
    {"its IUnknown", CLSID_TestObject, __uuidof(IUnknown), S_OK},
    {"interface the class object lacks", CLSID_TestObject, __uuidof(ITestAlpha), E_NOINTERFACE},
    {"class not in the map", CLSID_TestUnknownClass, __uuidof(IClassFactory), CLASS_E_CLASSNOTAVAILABLE},
    {"class object answering no pointer", CLSID_TestNullAnswer, __uuidof(ITestAlpha), CLASS_E_CLASSNOTAVAILABLE},
};

TEST(DllGetClassObject, AnswersByClassAndInterface)
{
    for (const ClassObjectCase& c : kClassObjectCases) {
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(c.expected, TestModule().DllGetClassObject(c.clsid, c.iid, &object)) << c.what;
        EXPECT_EQ(c.expected == S_OK, object != nullptr) << c.what;
        if (c.expected == S_OK && object)
            static_cast<IUnknown*>(object)->Release();
    }
    EXPECT_EQ(E_POINTER, TestModule().DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory), nullptr));
}

TEST(DllGetClassObject, HandsOutOneClassObjectPerClass)
{
    CComPtr<IClassFactory> first = ClassObjectOf(CLSID_TestObject);
    CComPtr<IClassFactory> second = ClassObjectOf(CLSID_TestObject);
    EXPECT_EQ(first.p, second.p);
    EXPECT_NE(first.p, ClassObjectOf(CLSID_TestSolitary).p);
}

TEST(DllGetClassObject, ClassObjectCreatesInstances)
{
    ScopedTestObjectLog log;
    CComPtr<IClassFactory> factory = ClassObjectOf(CLSID_TestObject);
    CComPtr<ITestAlpha> alpha;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(ITestAlpha), reinterpret_cast<void**>(&alpha)));
    EXPECT_EQ(1, log.finalConstructs);
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, __uuidof(IClassFactory), &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1, log.destructions);
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, __uuidof(ITestAlpha), nullptr));
}

// A class object in a client's hands holds one lock however many references the client has;
// the module's cache of it holds none.
TEST(ModuleLockCount, CountsInstancesServerLocksAndHeldClassObjects)
{
    ASSERT_EQ(0, TestModule().GetLockCount()) << "an earlier test left objects alive";
    EXPECT_EQ(S_OK, TestModule().DllCanUnloadNow());

    CComPtr<IClassFactory> factory = ClassObjectOf(CLSID_TestObject);
    CComPtr<IClassFactory> again = ClassObjectOf(CLSID_TestObject);
    EXPECT_EQ(1, TestModule().GetLockCount());
    EXPECT_EQ(S_FALSE, TestModule().DllCanUnloadNow());
    again.Release();
    EXPECT_EQ(1, TestModule().GetLockCount());

    CComPtr<IUnknown> object;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, __uuidof(IUnknown), reinterpret_cast<void**>(&object)));
    EXPECT_EQ(2, TestModule().GetLockCount());
    object.Release();
    EXPECT_EQ(1, TestModule().GetLockCount());

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(2, TestModule().GetLockCount());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Release();
    EXPECT_EQ(0, TestModule().GetLockCount());
    EXPECT_EQ(S_OK, TestModule().DllCanUnloadNow());
}

// A second module over its own copy of the object map, as a test's own: the process's module
// stays the first one. The map is a base so that it exists before the module starts.
struct LocalObjectMap {
    ATL_OBJMAP_ENTRY entries[5] = {TEST_OBJECT_MAP_ENTRIES(){}};
};

class LocalModule : private LocalObjectMap, public CAtlDllModuleT<LocalModule> {
public:
    LocalModule() noexcept : CAtlDllModuleT(entries) {}
    void MarkInitFailed() { m_bInitFailed = true; }
};

TEST(LocalModuleTest, LaterModulesDoNotReplaceTheProcessModule)
{
    LocalModule local;
    EXPECT_EQ(static_cast<CAtlModule*>(&TestModule()), _pAtlModule);
}

TEST(LocalModuleTest, ModuleThatFailedToInitialiseRefusesEverything)
{
    LocalModule local;
    EXPECT_TRUE(local.DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    local.MarkInitFailed();
    EXPECT_FALSE(local.DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_UNEXPECTED, local.DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory), &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(E_POINTER, local.DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory), nullptr));
}

TEST(LocalModuleTest, TermReleasesTheCachedClassObjects)
{
    LocalModule local;
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, local.DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory),
                                            reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(3u, factory->AddRef());   // the module's, ours, this one
    factory->Release();
    local.Term();
    EXPECT_EQ(2u, factory->AddRef());
    factory->Release();
    EXPECT_EQ(0u, factory->Release());
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_UNEXPECTED, local.DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory), &object));
    EXPECT_EQ(nullptr, object);
}

TEST(LocalModuleTest, ConcurrentFirstRequestsGetOneClassObject)
{
    LocalModule local;
    constexpr int kThreads = 8;
    std::vector<IUnknown*> answers(kThreads, nullptr);
    ThreadBarrier start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            local.DllGetClassObject(CLSID_TestObject, __uuidof(IUnknown), reinterpret_cast<void**>(&answers[i]));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (IUnknown* answer : answers) {
        EXPECT_NE(nullptr, answer);
        EXPECT_EQ(answers[0], answer);
    }
    for (IUnknown* answer : answers) {
        if (answer)
            answer->Release();
    }
}

}   // namespace
