// Creation by class id through the runtime, directly and through a class-object cache.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include "ComPtr.h"
#include "FreshRegistry.h"
#include "TestComponentRegistration.h"
#include "ZoCOMClassFactory.h"
#include "ZoCOMUtilities.h"
#include "ZoGUID.h"
#include "ZoTestSupport.h"

namespace {

// {0E9B3F62-58C2-47A4-B1D8-6F2C93A5E018}: never registered anywhere.
const CLSID kUnregisteredClass = {0x0E9B3F62, 0x58C2, 0x47A4, {0xB1, 0xD8, 0x6F, 0x2C, 0x93, 0xA5, 0xE0, 0x18}};
const OLECHAR kUnregisteredClassText[] = OLESTR("0E9B3F62-58C2-47A4-B1D8-6F2C93A5E018");
const OLECHAR kCounterLabel[] = OLESTR("LumoTestLib::Counter");

class CreationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        RegisterTestComponent();
    }
    void TearDown() override { CoUninitialize(); }

    static void Unregister()
    {
        ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey(CLSID_LumoTestCounter).c_str()));
    }

    // The counter's running total, proving a working object of the class.
    static LONG TotalAfterAdding(const CComPtr<IUnknown>& object, LONG value)
    {
        CComPtr<ITestCounter> counter;
        EXPECT_EQ(S_OK, object->QueryInterface(__uuidof(ITestCounter), reinterpret_cast<void**>(&counter)));
        if (!counter)
            return -1;
        LONG total = -1;
        counter->Add(value);
        counter->get_Total(&total);
        return total;
    }

    ScopedFreshRegistry m_registry;
};

std::vector<std::pair<OleString, OleString>> ClassNotRegisteredDetails(const std::vector<EntryView>& entries,
                                                                       const char* what)
{
    EXPECT_FALSE(entries.empty()) << what;
    if (entries.empty())
        return {};
    EXPECT_EQ(Decimal(REGDB_E_CLASSNOTREG), entries[0].code) << what;
    EXPECT_EQ(ZoSystemMessageText(static_cast<DWORD>(REGDB_E_CLASSNOTREG)), entries[0].description) << what;
    EXPECT_EQ(OLESTR(".\\ZoCOMUtilities"), entries[0].file) << what;
    EXPECT_EQ(OLESTR("CZoCOMUtils::CreateObject"), entries[0].function) << what;
    return entries[0].details;
}

using Details = std::vector<std::pair<OleString, OleString>>;

TEST_F(CreationTest, CreatesARegisteredClassInEveryContext)
{
    for (DWORD context : {DWORD(CLSCTX_ALL), DWORD(CLSCTX_INPROC_SERVER)}) {
        const CComPtr<IUnknown> object = CZoCOMUtils::CreateObject(CLSID_LumoTestCounter, kCounterLabel, context);
        ASSERT_NE(nullptr, object.p) << context;
        EXPECT_EQ(5, TotalAfterAdding(object, 5)) << context;
    }
}

TEST_F(CreationTest, FailureNamesTheClass)
{
    struct Case {
        const char* what;
        const OLECHAR* progId;
        Details details;
    };
    const Case cases[] = {
        {"with a label",
         kCounterLabel,
         {{OLESTR("ClassID"), kUnregisteredClassText}, {OLESTR("ProgID"), kCounterLabel}}},
        {"without a label", nullptr, {{OLESTR("ClassID"), kUnregisteredClassText}}},
    };
    for (const auto& c : cases) {
        const auto entries =
            RaisedEntries([&] { CZoCOMUtils::CreateObject(kUnregisteredClass, c.progId, CLSCTX_ALL); });
        EXPECT_EQ(c.details, ClassNotRegisteredDetails(entries, c.what));
        ASSERT_EQ(2u, entries.size()) << c.what;
        EXPECT_EQ(Decimal(ZO_ERR_STACKTRACE), entries[1].code) << c.what;
    }
}

TEST_F(CreationTest, CacheLooksTheClassObjectUpOnce)
{
    CZoCOMClassFactory cache;
    EXPECT_EQ(1, TotalAfterAdding(cache.CreateObject(CLSID_LumoTestCounter, kCounterLabel), 1));
    // Without its registration the class can only come from the cached class object.
    Unregister();
    EXPECT_FALSE(RaisedEntries([] { CZoCOMUtils::CreateObject(CLSID_LumoTestCounter, nullptr, CLSCTX_ALL); }).empty());
    EXPECT_EQ(2, TotalAfterAdding(cache.CreateObject(CLSID_LumoTestCounter, kCounterLabel), 2));

    cache.Clear();
    const auto entries = RaisedEntries([&] { cache.CreateObject(CLSID_LumoTestCounter, kCounterLabel); });
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(Decimal(REGDB_E_CLASSNOTREG), entries[0].code);
    EXPECT_EQ(OLESTR("CZoCOMClassFactory::CreateObject"), entries.back().function);
}

TEST_F(CreationTest, CacheReportsTheFallbacksFailureAndTriesAgain)
{
    CZoCOMClassFactory cache;
    Unregister();
    const auto entries = RaisedEntries([&] { cache.CreateObject(CLSID_LumoTestCounter, kCounterLabel); });
    const Details expected = {{OLESTR("ClassID"), CZoGUID::GUIDToString(CLSID_LumoTestCounter, true)},
                              {OLESTR("ProgID"), kCounterLabel}};
    EXPECT_EQ(expected, ClassNotRegisteredDetails(entries, "unregistered"));
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(OLESTR("CZoCOMUtils::CreateObject"), entries[1].function);
    EXPECT_EQ(OLESTR("CZoCOMClassFactory::CreateObject"), entries[2].function);

    // The failed lookup is not remembered.
    RegisterTestComponent();
    EXPECT_EQ(3, TotalAfterAdding(cache.CreateObject(CLSID_LumoTestCounter, kCounterLabel), 3));
}

TEST_F(CreationTest, ClearOfAnEmptyCacheDoesNothing)
{
    CZoCOMClassFactory cache;
    cache.Clear();
    cache.Clear();
    EXPECT_EQ(4, TotalAfterAdding(cache.CreateObject(CLSID_LumoTestCounter, nullptr), 4));
}

TEST(ZoCOMClassFactoryOrder, KeepsClassesApart)
{
    // Class ids that differ only in one field each, so a comparison that skipped a field
    // would take two of them for one.
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    {
        ScopedFreshRegistry registry;
        RegisterTestComponent();
        CLSID nearby[] = {CLSID_LumoTestCounter, CLSID_LumoTestCounter, CLSID_LumoTestCounter, CLSID_LumoTestCounter};
        nearby[0].Data2 ^= 0x8000;
        nearby[1].Data3 ^= 1;
        nearby[2].Data4[7] ^= 0x80;
        nearby[3].Data1 ^= 0x80000000u;
        CZoCOMClassFactory cache;
        for (const CLSID& other : nearby) {
            EXPECT_NE(nullptr, cache.CreateObject(CLSID_LumoTestCounter, nullptr).p);
            EXPECT_FALSE(RaisedEntries([&] { cache.CreateObject(other, nullptr); }).empty());
        }
    }
    CoUninitialize();
}

}  // namespace
