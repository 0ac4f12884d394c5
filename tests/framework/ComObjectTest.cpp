// The object base, interface maps and plain object wrappers.
#include <gtest/gtest.h>

#include "TestClasses.h"

namespace {

// A new plain CTestObject, held by the returned pointer.
CComPtr<IUnknown> NewTestObject()
{
    CComPtr<IUnknown> object;
    EXPECT_EQ(S_OK, CTestObject::CreateInstance(&object));
    return object;
}

IUnknown* IdentityOf(IUnknown* object)
{
    IUnknown* identity = nullptr;
    EXPECT_EQ(S_OK, object->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&identity)));
    if (identity)
        identity->Release();
    return identity;
}

struct QueryCase {
    const char* what;
    IID iid;
    // The interface expected, as a cast of the implementation class; null for none.
    IUnknown* (*expected)(CTestObject* object);
};

const QueryCase kQueryCases[] = {
    {"IUnknown is the first entry", __uuidof(IUnknown),
     [](CTestObject* o) -> IUnknown* { return static_cast<ITestBeta*>(o); }},
    {"ITestBeta", __uuidof(ITestBeta), [](CTestObject* o) -> IUnknown* { return static_cast<ITestBeta*>(o); }},
    {"ITestAlpha", __uuidof(ITestAlpha), [](CTestObject* o) -> IUnknown* { return static_cast<ITestAlpha*>(o); }},
    {"IDispatch through ITestAlpha", __uuidof(IDispatch),
     [](CTestObject* o) -> IUnknown* { return static_cast<IDispatch*>(static_cast<ITestAlpha*>(o)); }},
    {"ISupportErrorInfo", __uuidof(ISupportErrorInfo),
     [](CTestObject* o) -> IUnknown* { return static_cast<ISupportErrorInfo*>(o); }},
    {"IClassFactory is not answered", __uuidof(IClassFactory), [](CTestObject*) -> IUnknown* { return nullptr; }},
    {"an unknown id is not answered", CLSID_TestUnknownClass, [](CTestObject*) -> IUnknown* { return nullptr; }},
};

TEST(ComObjectQueryInterface, AnswersTheMapEntriesOnly)
{
    CComObject<CTestObject>* object = nullptr;
    ASSERT_EQ(S_OK, CComObject<CTestObject>::CreateInstance(&object));
    object->AddRef();
    for (const QueryCase& c : kQueryCases) {
        void* answer = reinterpret_cast<void*>(0x1);
        const HRESULT hr = object->QueryInterface(c.iid, &answer);
        IUnknown* expected = c.expected(object);
        EXPECT_EQ(expected ? S_OK : E_NOINTERFACE, hr) << c.what;
        EXPECT_EQ(static_cast<void*>(expected), answer) << c.what;
        if (SUCCEEDED(hr))
            static_cast<IUnknown*>(answer)->Release();
    }
    EXPECT_EQ(E_POINTER, object->QueryInterface(__uuidof(ITestAlpha), nullptr));
    EXPECT_EQ(0u, object->Release());
}

TEST(ComObjectQueryInterface, IdentityIsTheSameFromEveryInterface)
{
    CComPtr<IUnknown> object = NewTestObject();
    const IUnknown* identity = IdentityOf(object);
    for (const IID& iid : {__uuidof(ITestAlpha), __uuidof(ITestBeta), __uuidof(IDispatch),
                           __uuidof(ISupportErrorInfo), IID_IMarshal}) {
        CComPtr<IUnknown> other;
        ASSERT_EQ(S_OK, object->QueryInterface(iid, reinterpret_cast<void**>(&other)));
        EXPECT_EQ(identity, IdentityOf(other));
    }
}

TEST(ComObjectQueryInterface, MarshalComesFromTheFreeThreadedMarshaler)
{
    CComPtr<IUnknown> object = NewTestObject();
    CComPtr<IMarshal> marshal;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(&marshal)));
    // The marshaler is a separate inner object whose IUnknown methods go to ours.
    EXPECT_NE(static_cast<void*>(marshal.p), static_cast<void*>(object.p));
    EXPECT_EQ(IdentityOf(object), IdentityOf(marshal));
}

class ComObjectLifetime : public ::testing::Test {
protected:
    ScopedTestObjectLog log;
};

TEST_F(ComObjectLifetime, LastReleaseRunsFinalReleaseOnceThenDestroys)
{
    CComObject<CTestObject>* object = nullptr;
    ASSERT_EQ(S_OK, CComObject<CTestObject>::CreateInstance(&object));
    // Created at count 0, having survived the reference FinalConstruct took on itself.
    EXPECT_EQ(1, log.finalConstructs);
    EXPECT_EQ(0, log.destructions);
    EXPECT_EQ(1u, object->AddRef());
    ITestAlpha* alpha = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(__uuidof(ITestAlpha), reinterpret_cast<void**>(&alpha)));
    EXPECT_EQ(1u, object->Release());
    EXPECT_EQ(0, log.finalReleases);
    EXPECT_EQ(0u, alpha->Release());
    EXPECT_EQ(1, log.finalReleases);
    EXPECT_EQ(1, log.destructions);
}

struct ConstructFailureCase {
    const char* what;
    TestObjectLog::Construct construct;
    HRESULT expected;
};

const ConstructFailureCase kConstructFailureCases[] = {
    {"failing status", TestObjectLog::Construct::Fail, E_ACCESSDENIED},
    {"COM error thrown", TestObjectLog::Construct::ThrowComError, DISP_E_OVERFLOW},
    {"out of memory", TestObjectLog::Construct::ThrowBadAlloc, E_OUTOFMEMORY},
    {"other exception", TestObjectLog::Construct::ThrowOther, E_UNEXPECTED},
};

TEST_F(ComObjectLifetime, FailedFinalConstructFailsCreationAndDestroys)
{
    for (const ConstructFailureCase& c : kConstructFailureCases) {
        for (const bool throughFactory : {false, true}) {
            log.Reset(c.construct);
            const LONG locks = TestModule().GetLockCount();
            void* object = reinterpret_cast<void*>(0x1);
            HRESULT hr;
            if (throughFactory) {
                hr = CTestObject::_CreatorClass::CreateInstance(nullptr, __uuidof(ITestAlpha), &object);
            } else {
                CComObject<CTestObject>* created = reinterpret_cast<CComObject<CTestObject>*>(0x1);
                hr = CComObject<CTestObject>::CreateInstance(&created);
                object = created;
            }
            EXPECT_EQ(c.expected, hr) << c.what << (throughFactory ? " (creator)" : "");
            EXPECT_EQ(nullptr, object) << c.what;
            EXPECT_EQ(1, log.finalReleases) << c.what;
            EXPECT_EQ(1, log.destructions) << c.what;
            EXPECT_EQ(locks, TestModule().GetLockCount()) << c.what;
        }
    }
}

TEST_F(ComObjectLifetime, CreatorDestroysAnObjectThatCannotAnswer)
{
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_NOINTERFACE, CTestObject::_CreatorClass::CreateInstance(nullptr, __uuidof(IClassFactory), &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1, log.destructions);
    EXPECT_EQ(E_POINTER, CTestObject::_CreatorClass::CreateInstance(nullptr, __uuidof(IUnknown), nullptr));
    EXPECT_EQ(E_POINTER, CComObject<CTestObject>::CreateInstance(nullptr));
    EXPECT_EQ(1, log.finalConstructs);
}

TEST(ComObjectModuleLock, EveryInstanceHoldsTheModuleFromConstructionToDestruction)
{
    const LONG locks = TestModule().GetLockCount();
    CComObject<CTestObject>* object = nullptr;
    ASSERT_EQ(S_OK, CComObject<CTestObject>::CreateInstance(&object));
    EXPECT_EQ(locks + 1, TestModule().GetLockCount());
    object->AddRef();
    object->AddRef();
    EXPECT_EQ(locks + 1, TestModule().GetLockCount());
    object->Release();
    object->Release();
    EXPECT_EQ(locks, TestModule().GetLockCount());
}

TEST(ComObjectModuleLock, ObjectsWithoutLockLeaveTheModuleAlone)
{
    const LONG locks = TestModule().GetLockCount();
    CComObjectNoLock<CTestObject>* object = nullptr;
    ASSERT_EQ(S_OK, CComObjectNoLock<CTestObject>::CreateInstance(&object));
    object->AddRef();
    EXPECT_EQ(locks, TestModule().GetLockCount());
    object->Release();
}

}   // namespace
