// Owning interface pointers.
#include <gtest/gtest.h>

#include "FreshRegistry.h"
#include "TestClasses.h"

namespace {

ULONG CountOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// A plain CTestObject held by its creator's one reference, as ITestAlpha.
class ComPtrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CComObject<CTestObject>* object = nullptr;
        ASSERT_EQ(S_OK, CComObject<CTestObject>::CreateInstance(&object));
        alpha = object;
        alpha->AddRef();
    }
    void TearDown() override { EXPECT_EQ(0u, alpha->Release()); }

    ITestAlpha* alpha = nullptr;
};

TEST_F(ComPtrTest, HoldsOneReferencePerOwner)
{
    {
        CComPtr<ITestAlpha> first(alpha);
        EXPECT_EQ(2u, CountOf(alpha));
        CComPtr<ITestAlpha> copy(first);
        EXPECT_EQ(3u, CountOf(alpha));
        CComPtr<ITestAlpha> moved(std::move(copy));
        EXPECT_EQ(nullptr, copy.p);
        EXPECT_EQ(3u, CountOf(alpha));
        moved = moved;   // self-assignment keeps the reference
        EXPECT_EQ(3u, CountOf(alpha));
        moved = nullptr;
        EXPECT_EQ(2u, CountOf(alpha));
        copy = first;
        EXPECT_EQ(3u, CountOf(alpha));
    }
    EXPECT_EQ(1u, CountOf(alpha));
}

TEST_F(ComPtrTest, AttachDetachAndCopyToTransferOwnership)
{
    alpha->AddRef();
    CComPtr<ITestAlpha> held;
    held.Attach(alpha);   // takes the reference just added
    EXPECT_EQ(2u, CountOf(alpha));
    ITestAlpha* copied = nullptr;
    EXPECT_EQ(S_OK, held.CopyTo(&copied));
    EXPECT_EQ(alpha, copied);
    EXPECT_EQ(3u, CountOf(alpha));
    copied->Release();
    EXPECT_EQ(E_POINTER, held.CopyTo(nullptr));
    ITestAlpha* detached = held.Detach();
    EXPECT_EQ(nullptr, held.p);
    EXPECT_EQ(2u, CountOf(alpha));
    detached->Release();
}

TEST_F(ComPtrTest, AddressOfIsAnOutParameter)
{
    CComPtr<ITestAlpha> out;
    EXPECT_EQ(S_OK, alpha->QueryInterface(__uuidof(ITestAlpha), reinterpret_cast<void**>(&out)));
    EXPECT_EQ(alpha, out.p);
    EXPECT_EQ(2u, CountOf(alpha));
#ifdef NDEBUG
    // Misuse on a held pointer: the reference is given back, not leaked.
    EXPECT_EQ(nullptr, *&out);
    EXPECT_EQ(1u, CountOf(alpha));
#endif
}

TEST_F(ComPtrTest, QueryInterfaceAndIdentity)
{
    CComPtr<ITestAlpha> held(alpha);
    CComPtr<ITestBeta> beta;
    EXPECT_EQ(S_OK, held.QueryInterface(&beta));
    EXPECT_TRUE(beta);
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(E_NOINTERFACE, held.QueryInterface(&factory));
    EXPECT_FALSE(factory);
    CComPtr<ITestBeta> empty;
    EXPECT_EQ(E_POINTER, empty.QueryInterface(&factory));

    EXPECT_TRUE(held.IsEqualObject(beta));
    EXPECT_TRUE(empty.IsEqualObject(nullptr));
    EXPECT_FALSE(held.IsEqualObject(nullptr));
    CComPtr<IUnknown> other;
    ASSERT_EQ(S_OK, CTestObject::CreateInstance(&other));
    EXPECT_FALSE(held.IsEqualObject(other));
}

TEST_F(ComPtrTest, QIPtrQueriesFromAnyInterface)
{
    CComQIPtr<ITestBeta> beta(alpha);
    ASSERT_TRUE(beta);
    EXPECT_EQ(2u, CountOf(alpha));   // the fixture's and beta's
    CComQIPtr<IClassFactory> none(alpha);
    EXPECT_FALSE(none);
    // For IUnknown the query gives the identity, which for this class is not ITestAlpha.
    CComQIPtr<IUnknown> identity(alpha);
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<ITestBeta*>(static_cast<CTestObject*>(alpha))), identity.p);
    EXPECT_NE(static_cast<IUnknown*>(alpha), identity.p);
    CComQIPtr<ITestBeta> same(beta.p);   // already a ITestBeta: no query needed
    EXPECT_EQ(beta.p, same.p);
    beta = static_cast<IUnknown*>(nullptr);
    EXPECT_FALSE(beta);
}

TEST(ComPtrCoCreate, CreatesThroughTheRuntime)
{
    ScopedFreshRegistry registry;
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
        CComPtr<IGlobalInterfaceTable> table;
        EXPECT_EQ(S_OK, table.CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER));
        EXPECT_TRUE(table);
        CComPtr<IUnknown> missing;
        EXPECT_EQ(REGDB_E_CLASSNOTREG, missing.CoCreateInstance(CLSID_TestUnknownClass));
        EXPECT_FALSE(missing);
    }
    CoUninitialize();
}

}   // namespace
