// Aggregated creation: the outer object's identity, delegation both ways, refusals.
#include <gtest/gtest.h>

#include "TestClasses.h"

namespace {

template <class I>
CComPtr<I> Query(IUnknown* object)
{
    CComPtr<I> answer;
    EXPECT_EQ(S_OK, object->QueryInterface(__uuidof(I), reinterpret_cast<void**>(&answer)));
    return answer;
}

CComPtr<IUnknown> NewOuter()
{
    CComPtr<IUnknown> outer;
    EXPECT_EQ(S_OK, CTestOuter::CreateInstance(&outer));
    return outer;
}

TEST(Aggregation, InnerInterfacesBelongToTheOuterObject)
{
    CComPtr<IUnknown> outer = NewOuter();
    CComPtr<ITestAlpha> alpha = Query<ITestAlpha>(outer);
    ASSERT_TRUE(alpha);
    LONG tag = 0;
    alpha->GetAlpha(&tag);
    EXPECT_EQ(kInnerTag, tag);
    // Asked through the inner object's interface: the outer answers, with its own ITestBeta.
    EXPECT_EQ(outer.p, Query<IUnknown>(alpha).p);
    CComPtr<ITestBeta> beta = Query<ITestBeta>(alpha);
    ASSERT_TRUE(beta);
    beta->GetBeta(&tag);
    EXPECT_EQ(kOuterTag, tag);
}

TEST(Aggregation, FirstMatchingEntryAnswers)
{
    CComPtr<IUnknown> outer = NewOuter();
    // The outer's ITestBeta comes before the delegation of ITestBeta to the inner object.
    CComPtr<ITestBeta> beta = Query<ITestBeta>(outer);
    LONG tag = 0;
    beta->GetBeta(&tag);
    EXPECT_EQ(kOuterTag, tag);
}

TEST(Aggregation, OuterHoldsTheInnerNonDelegatingUnknown)
{
    CComPtr<IUnknown> outer = NewOuter();
    CComQIPtr<ITestBeta> outerBeta(outer);
    IUnknown* inner = static_cast<CTestOuter*>(outerBeta.p)->Inner();
    ASSERT_NE(nullptr, inner);
    EXPECT_NE(outer.p, inner);
    // The non-delegating unknown answers IUnknown with itself and the rest from the inner map.
    EXPECT_EQ(inner, Query<IUnknown>(inner).p);
    CComPtr<ITestBeta> innerBeta = Query<ITestBeta>(inner);
    LONG tag = 0;
    innerBeta->GetBeta(&tag);
    EXPECT_EQ(kInnerTag, tag);
    EXPECT_EQ(outer.p, Query<IUnknown>(innerBeta).p);
}

TEST(Aggregation, InnerReferencesCountOnTheOuter)
{
    ScopedTestObjectLog log;
    CComPtr<IUnknown> outer = NewOuter();
    ITestAlpha* alpha = nullptr;
    ASSERT_EQ(S_OK, outer->QueryInterface(__uuidof(ITestAlpha), reinterpret_cast<void**>(&alpha)));
    outer.Release();
    // alpha alone keeps outer and inner alive.
    EXPECT_EQ(0, log.destructions);
    alpha->Release();
    EXPECT_EQ(1, log.finalReleases);
    EXPECT_EQ(1, log.destructions);
}

TEST(Aggregation, MarshalerOfTheInnerObjectHasTheOuterIdentity)
{
    CComPtr<IUnknown> outer = NewOuter();
    CComPtr<IMarshal> marshal = Query<IMarshal>(outer);
    ASSERT_TRUE(marshal);
    EXPECT_EQ(outer.p, Query<IUnknown>(marshal).p);
}

TEST(Aggregation, AnAggregatedObjectHoldsTheModuleToo)
{
    const LONG locks = TestModule().GetLockCount();
    CComPtr<IUnknown> outer = NewOuter();
    EXPECT_EQ(locks + 2, TestModule().GetLockCount());   // the outer and the inner object
    outer.Release();
    EXPECT_EQ(locks, TestModule().GetLockCount());
}

struct RefusalCase {
    const char* what;
    REFCLSID clsid;
    IID iid;
    HRESULT expected;
};

const RefusalCase kRefusalCases[] = {
    {"aggregatable class, interface other than IUnknown", CLSID_TestObject, __uuidof(ITestAlpha),
     CLASS_E_NOAGGREGATION},
    {"not aggregatable class", CLSID_TestSolitary, __uuidof(IUnknown), CLASS_E_NOAGGREGATION},
    {"not aggregatable class, other interface", CLSID_TestSolitary, __uuidof(ITestAlpha), CLASS_E_NOAGGREGATION},
};

TEST(Aggregation, ClassFactoryRefusesWhatCannotBeAggregated)
{
    ScopedTestObjectLog log;
    CComPtr<IUnknown> someOuter = NewOuter();
    const int constructed = log.finalConstructs;
    for (const RefusalCase& c : kRefusalCases) {
        CComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, TestModule().DllGetClassObject(c.clsid, __uuidof(IClassFactory),
                                                       reinterpret_cast<void**>(&factory)));
        void* object = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(c.expected, factory->CreateInstance(someOuter, c.iid, &object)) << c.what;
        EXPECT_EQ(nullptr, object) << c.what;
    }
    EXPECT_EQ(constructed, log.finalConstructs);
}

TEST(Aggregation, ClassFactoryCreatesAggregatedForAnOuterAskingIUnknown)
{
    CComPtr<IUnknown> outer = NewOuter();
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, TestModule().DllGetClassObject(CLSID_TestObject, __uuidof(IClassFactory),
                                                   reinterpret_cast<void**>(&factory)));
    CComPtr<IUnknown> inner;
    ASSERT_EQ(S_OK, factory->CreateInstance(outer, __uuidof(IUnknown), reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(outer.p, Query<IUnknown>(Query<ITestAlpha>(inner)).p);
}

TEST(Aggregation, CreatorsCheckTheOuter)
{
    CComPtr<IUnknown> outer = NewOuter();
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              CComCreator<CComObject<CTestObject>>::CreateInstance(outer, __uuidof(IUnknown), &object));
    EXPECT_EQ(nullptr, object);
    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_INVALIDARG,
              CComCreator<CComAggObject<CTestObject>>::CreateInstance(nullptr, __uuidof(IUnknown), &object));
    EXPECT_EQ(nullptr, object);
}

}   // namespace
