// The global interface table: one per process, shared by all threads.
#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// An object answering IUnknown and IClassFactory that counts its references.
class CountedObject final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    std::atomic<ULONG> refs{1};
};

class GlobalInterfaceTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                         __uuidof(IGlobalInterfaceTable), reinterpret_cast<void**>(&m_table)));
        ASSERT_NE(nullptr, m_table);
    }
    void TearDown() override
    {
        if (m_table)
            m_table->Release();
        CoUninitialize();
    }

    IGlobalInterfaceTable* m_table = nullptr;
};

TEST_F(GlobalInterfaceTable, OnePerProcess)
{
    IGlobalInterfaceTable* other = nullptr;
    std::thread([&] {
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                         __uuidof(IGlobalInterfaceTable), reinterpret_cast<void**>(&other)));
    }).join();
    EXPECT_EQ(m_table, other);
    if (other)
        other->Release();

    CountedObject outer;
    void* aggregated = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_StdGlobalInterfaceTable, &outer, CLSCTX_INPROC_SERVER,
                                                      __uuidof(IUnknown), &aggregated));
    EXPECT_EQ(nullptr, aggregated);
}

TEST_F(GlobalInterfaceTable, RegisterGetRevoke)
{
    CountedObject object;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, m_table->RegisterInterfaceInGlobal(&object, __uuidof(IClassFactory), &cookie));
    EXPECT_NE(0u, cookie);
    EXPECT_EQ(2u, object.refs.load()) << "the table holds a reference";

    IClassFactory* got = nullptr;
    ASSERT_EQ(S_OK, m_table->GetInterfaceFromGlobal(cookie, __uuidof(IClassFactory), reinterpret_cast<void**>(&got)));
    EXPECT_EQ(static_cast<IClassFactory*>(&object), got);
    EXPECT_EQ(3u, object.refs.load()) << "the caller gets its own reference";
    got->Release();

    void* missing = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, m_table->GetInterfaceFromGlobal(cookie, __uuidof(IDispatch), &missing));
    EXPECT_EQ(nullptr, missing);

    ASSERT_EQ(S_OK, m_table->RevokeInterfaceFromGlobal(cookie));
    EXPECT_EQ(1u, object.refs.load()) << "revoking releases the table's reference";
    void* revoked = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, m_table->GetInterfaceFromGlobal(cookie, __uuidof(IUnknown), &revoked));
    EXPECT_EQ(nullptr, revoked);
    EXPECT_EQ(E_INVALIDARG, m_table->RevokeInterfaceFromGlobal(cookie));
}

TEST_F(GlobalInterfaceTable, RefusesBadArguments)
{
    CountedObject object;
    DWORD cookie = 5;
    EXPECT_EQ(E_INVALIDARG, m_table->RegisterInterfaceInGlobal(nullptr, __uuidof(IUnknown), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(E_INVALIDARG, m_table->RegisterInterfaceInGlobal(&object, __uuidof(IUnknown), nullptr));
    cookie = 5;
    EXPECT_EQ(E_NOINTERFACE, m_table->RegisterInterfaceInGlobal(&object, __uuidof(IDispatch), &cookie));
    EXPECT_EQ(0u, cookie);
    EXPECT_EQ(1u, object.refs.load()) << "nothing kept from failed registrations";

    EXPECT_EQ(E_INVALIDARG, m_table->GetInterfaceFromGlobal(0, __uuidof(IUnknown), nullptr));
    void* unknown = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, m_table->GetInterfaceFromGlobal(0, __uuidof(IUnknown), &unknown));
    EXPECT_EQ(nullptr, unknown);
    EXPECT_EQ(E_INVALIDARG, m_table->RevokeInterfaceFromGlobal(0));
}

TEST_F(GlobalInterfaceTable, CookiesAreUniqueAndNotReusedAtOnce)
{
    CountedObject object;
    std::set<DWORD> cookies;
    for (int i = 0; i < 16; ++i) {
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, m_table->RegisterInterfaceInGlobal(&object, __uuidof(IUnknown), &cookie));
        EXPECT_NE(0u, cookie);
        EXPECT_TRUE(cookies.insert(cookie).second) << "cookie " << cookie << " given twice";
        ASSERT_EQ(S_OK, m_table->RevokeInterfaceFromGlobal(cookie));
    }
    EXPECT_EQ(1u, object.refs.load());
}

// Registered on one thread, fetched on several others at once (members of the implicit
// multithreaded apartment), revoked on yet another.
TEST_F(GlobalInterfaceTable, SharedAcrossThreads)
{
    CountedObject object;
    DWORD cookie = 0;
    std::thread([&] {
        EXPECT_EQ(S_OK, m_table->RegisterInterfaceInGlobal(&object, __uuidof(IUnknown), &cookie));
    }).join();
    ASSERT_NE(0u, cookie);

    std::atomic<int> failures{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                IUnknown* got = nullptr;
                if (m_table->GetInterfaceFromGlobal(cookie, __uuidof(IUnknown), reinterpret_cast<void**>(&got)) !=
                        S_OK ||
                    got != static_cast<IUnknown*>(&object))
                    ++failures;
                if (got)
                    got->Release();
                // Registrations of their own at the same time must not disturb the shared one.
                DWORD own = 0;
                if (m_table->RegisterInterfaceInGlobal(&object, __uuidof(IUnknown), &own) != S_OK || own == cookie ||
                    m_table->RevokeInterfaceFromGlobal(own) != S_OK)
                    ++failures;
            }
        });
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(2u, object.refs.load());

    std::thread([&] { EXPECT_EQ(S_OK, m_table->RevokeInterfaceFromGlobal(cookie)); }).join();
    EXPECT_EQ(1u, object.refs.load());
}

}  // namespace
