// Several threads on one collection and one item at once: no crash, no lost member, no torn
// value, and every object gone at the end.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ItemsTestSupport.h"

namespace {

using ConcurrentItemsTest = ComponentTest;

constexpr int kThreads = 4;
constexpr int kRounds = 200;

CComVariant KeyOf(int thread, int round)
{
    const std::string key = "t" + std::to_string(thread) + "-" + std::to_string(round);
    return CComVariant(CComBSTR(OleStringView(OleString(key.begin(), key.end()))));
}

// Walks the collection through a new enumerator; false when a step fails.
bool Enumerate(ILumoEnum* collection)
{
    CComPtr<IUnknown> unknown;
    if (FAILED(collection->get__NewEnum(&unknown)))
        return false;
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    CComVariant elements[8];
    ULONG fetched = 0;
    HRESULT hr;
    do {
        hr = enumerator->Next(8, elements, &fetched);
    } while (hr == S_OK);
    return hr == S_FALSE;
}

template <class Work>
void RunThreads(Work work)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &work] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            work(t);
            CoUninitialize();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

TEST_F(ConcurrentItemsTest, OneCollectionFromManyThreads)
{
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    ASSERT_TRUE(collection);
    std::vector<int> failures(kThreads, 0);
    RunThreads([&](int t) {
        for (int round = 0; round < kRounds; ++round) {
            const CComVariant key = KeyOf(t, round);
            const LONG value = t * 100000 + round;
            if (FAILED(collection->Add(CComVariant(value), key)))
                ++failures[t];
            CComVariant read;
            if (collection->get_Item(key, &read) != S_OK || read.vt != VT_I4 || read.lVal != value)
                ++failures[t];
            if (round % 3 == 0 && FAILED(collection->Remove(key)))
                ++failures[t];
            if (round % 20 == 0) {
                CComBSTR text;
                if (!Enumerate(collection) || FAILED(collection->ToString(MissingArgument(), &text)))
                    ++failures[t];
            }
        }
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;

    LONG count = 0;
    ASSERT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, kThreads * (kRounds - (kRounds + 2) / 3));
    for (int t = 0; t < kThreads; ++t) {
        for (int round = 0; round < kRounds; ++round) {
            CComVariant read;
            const HRESULT hr = collection->get_Item(KeyOf(t, round), &read);
            if (round % 3 == 0) {
                EXPECT_EQ(hr, S_FALSE);
            } else {
                ASSERT_EQ(hr, S_OK);
                EXPECT_EQ(read.lVal, t * 100000 + round);
            }
        }
    }
}

TEST_F(ConcurrentItemsTest, OneItemFromManyThreads)
{
    CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    ASSERT_TRUE(item);
    std::vector<int> failures(kThreads, 0);
    RunThreads([&](int t) {
        const std::string name = "p" + std::to_string(t);
        const CComBSTR propertyName(OleStringView(OleString(name.begin(), name.end())));
        const CComBSTR nameSpace(OLESTR("urn:stress"));
        for (int round = 0; round < kRounds; ++round) {
            CComPtr<ILumoEnumProperty> properties;
            if (FAILED(item->get_Properties(&properties)) ||
                FAILED(properties->Add(CComVariant(round), propertyName, nameSpace)))
                ++failures[t];
            CComVariant read;
            if (FAILED(properties->get_Item(propertyName, nameSpace, &read)) || read.lVal != round)
                ++failures[t];
            VARIANT_BOOL changed;
            if (FAILED(item->get_Changed(&changed)))
                ++failures[t];
            if (round % 25 == 0) {
                CComPtr<ILumoItem> copy;
                CComBSTR text;
                if (FAILED(item->Clone(MissingArgument(), &copy)) || FAILED(item->ToString(MissingArgument(), &text)))
                    ++failures[t];
            }
        }
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    CComPtr<ILumoEnumProperty> properties;
    ASSERT_EQ(item->get_Properties(&properties), S_OK);
    LONG count = 0;
    ASSERT_EQ(properties->get_Count(&count), S_OK);
    EXPECT_EQ(count, kThreads);
}

// Two collections added into each other, and two items cloned into each other, at once.
TEST_F(ConcurrentItemsTest, CrossedAddAllAndCloneDoNotWaitOnEachOther)
{
    CComPtr<ILumoEnum> left = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    CComPtr<ILumoEnum> right = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    CComPtr<ILumoItem> first = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    CComPtr<ILumoItem> second = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    for (int i = 0; i < 20; ++i) {
        left->Add(CComVariant(i), MissingArgument());
        right->Add(CComVariant(i), MissingArgument());
    }
    std::vector<int> failures(kThreads, 0);
    RunThreads([&](int t) {
        for (int round = 0; round < 3; ++round) {
            CComPtr<ILumoItem> result;
            const bool even = t % 2 == 0;
            if (FAILED((even ? left : right)->AddAll(even ? right : left)))
                ++failures[t];
            if (FAILED((even ? first : second)->Clone(CComVariant(static_cast<IDispatch*>((even ? second : first).p)), &result)))
                ++failures[t];
        }
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    LONG count = 0;
    ASSERT_EQ(left->get_Count(&count), S_OK);
    EXPECT_GT(count, 20);
}

}  // namespace
