// Several threads on one collection and one item at once: no crash, no lost member, no torn
// value, and every object gone at the end.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ItemsTestSupport.h"
#include "ThreadBarrier.h"
#include "ZoTestSupport.h"

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
template <class Collection>
bool Enumerate(Collection* collection)
{
    CComPtr<IUnknown> unknown;
    if (FAILED(collection->get__NewEnum(&unknown)))
        return false;
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    if (!enumerator)
        return false;
    HRESULT hr;
    do {
        // Next writes its elements as out-parameters: each step's are released before the next.
        CComVariant elements[8];
        ULONG fetched = 0;
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
                if (!Enumerate(collection.p) || FAILED(collection->ToString(MissingArgument(), &text)))
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

// The shared item, its property collection and a collection of items (the shared item among
// them), used by every thread at once, early- and late-bound. Each round has two phases:
// in the first the threads add, replace, remove, read, search and print; in the second,
// where nothing is removed, they enumerate, clone, save and add through IDispatch, so that
// a walk that counts first and reads after never meets a member that has just gone.
constexpr int kStressRounds = 24;

OleString Widened(const std::string& text)
{
    return OleString(text.begin(), text.end());
}

CComBSTR PropertyName(const char* prefix, int thread, int round)
{
    return CComBSTR(OleStringView(Widened(prefix + std::to_string(thread) + "-" + std::to_string(round))));
}

LONG PropertyValue(int thread, int round)
{
    return thread * 1000 + round;
}

// A GUID text of its own for every item a thread adds.
CComBSTR ItemGuid(int thread, int round)
{
    char text[40];
    std::snprintf(text, sizeof text, "{00000000-0000-4000-8000-%06d%06d}", thread, round);
    return CComBSTR(OleStringView(Widened(text)));
}

// A call by name as a script makes it: the name looked up, then invoked.
HRESULT CallByName(IDispatch* object, const OLECHAR* name, WORD flags, std::vector<VARIANT> arguments,
                   VARTYPE resultType = VT_EMPTY)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    Invocation call;
    Invoke(call, object, id, flags, std::move(arguments));
    if (SUCCEEDED(call.status) && call.result.vt != resultType)
        return E_UNEXPECTED;
    return call.status;
}

// Saving succeeds where it is implemented, and fails as unimplemented (1012) where not yet.
bool SavedAsExpected(ILumoItemBase* object, bool implemented)
{
    CComBSTR text;
    const HRESULT hr = object->SaveXML(&text);
    if (implemented)
        return hr == S_OK && text.Length() > 0;
    if (hr != E_ZO_EXCEPTION || text.m_str)
        return false;
    const std::vector<EntryView> entries = EntriesOfXml(TakeThreadErrorObject().description);
    return !entries.empty() && entries.front().code == OLESTR("1012");
}

bool SavesXml(ILumoItemBase* object)
{
    CComBSTR text;
    const bool saved = SUCCEEDED(object->SaveXML(&text));
    SetErrorInfo(0, nullptr);
    return saved;
}

enum class Shared { Item, Properties, Items };

// The shared objects as scripts reach them.
struct SharedDispatch {
    IDispatch* item;
    IDispatch* properties;
    IDispatch* items;

    IDispatch* Of(Shared object) const
    {
        switch (object) {
        case Shared::Item:
            return item;
        case Shared::Properties:
            return properties;
        case Shared::Items:
            return items;
        }
        return nullptr;
    }
};

// A property read by name, with at most one argument, and the type of what it gives.
struct LateBoundRead {
    Shared object;
    const OLECHAR* name;
    const OLECHAR* argument;   // null: none
    VARTYPE resultType;
};

HRESULT ReadByName(const SharedDispatch& objects, const LateBoundRead& read)
{
    const CComVariant argument(read.argument);
    std::vector<VARIANT> arguments;
    if (read.argument)
        arguments.push_back(argument);
    return CallByName(objects.Of(read.object), read.name, DISPATCH_PROPERTYGET, std::move(arguments), read.resultType);
}

// What every thread reads late-bound in the first phase of each round.
const LateBoundRead kFirstPhaseReads[] = {
    {Shared::Properties, OLESTR("Count"), nullptr, VT_I4},
    {Shared::Items, OLESTR("Item"), OLESTR("shared-item"), VT_DISPATCH},
    {Shared::Item, OLESTR("properties"), nullptr, VT_DISPATCH},
};

TEST_F(ConcurrentItemsTest, OneItemItsPropertiesAndACollectionFromManyThreads)
{
    const CComBSTR nameSpace(OLESTR("urn:stress"));
    const CComBSTR sharedName(OLESTR("shared"));
    CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    CComPtr<ILumoEnum> items = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    ASSERT_TRUE(item && items);
    ASSERT_EQ(item->put_GUID(CComBSTR(OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}"))), S_OK);
    ASSERT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Stress"))), S_OK);
    CComPtr<ILumoEnumProperty> properties;
    ASSERT_EQ(item->get_Properties(&properties), S_OK);
    ASSERT_EQ(items->Add(CComVariant(static_cast<IDispatch*>(item.p)), CComVariant(OLESTR("shared-item"))), S_OK);
    CComQIPtr<IDispatch> itemDispatch(item);
    CComQIPtr<IDispatch> itemsDispatch(items);
    CComQIPtr<IDispatch> propertiesDispatch(properties);
    ASSERT_TRUE(itemDispatch && itemsDispatch && propertiesDispatch);
    const SharedDispatch lateBound{itemDispatch, propertiesDispatch, itemsDispatch};

    // Whether SaveXML is there yet, asked of objects that save once it is.
    const bool itemsSave = SavesXml(CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem")));
    const bool collectionsSave = SavesXml(CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum")));

    ThreadBarrier phase(kThreads);
    std::vector<int> failures(kThreads, 0);
    RunThreads([&](int t) {
        auto expect = [&](bool ok) { failures[t] += ok ? 0 : 1; };
        for (int round = 0; round < kStressRounds; ++round) {
            // Adding, replacing, removing, reading, searching and printing.
            const CComBSTR name = PropertyName("p", t, round);
            const LONG value = PropertyValue(t, round);
            expect(properties->Add(CComVariant(value), name, nameSpace) == S_OK);
            CComVariant read;
            expect(properties->get_Item(name, nameSpace, &read) == S_OK && read.vt == VT_I4 && read.lVal == value);
            expect(properties->put_Item(sharedName, nameSpace, CComVariant(value)) == S_OK);
            if (round % 3 == 0)
                expect(properties->Remove(name, nameSpace) == S_OK);

            CComPtr<ILumoItem> member = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
            const CComVariant key(PropertyName("i", t, round));
            expect(member && member->put_GUID(ItemGuid(t, round)) == S_OK);
            expect(items->Add(CComVariant(static_cast<IDispatch*>(member.p)), key) == S_OK);
            CComPtr<ILumoEnum> found;
            expect(items->FindAll(CComBSTR(OLESTR("GUID")), CComBSTR(ItemNamespaceUri), CComVariant(ItemGuid(t, round)),
                                  &found) == S_OK &&
                   found);
            LONG foundCount = 0;
            expect(found && found->get_Count(&foundCount) == S_OK && foundCount == 1);
            if (round % 4 == 0)
                expect(items->Remove(key) == S_OK);

            CComBSTR text;
            expect(SUCCEEDED(round % 2 ? item->ToString(MissingArgument(), &text)
                                       : items->ToString(CComVariant(1), &text)));
            for (const LateBoundRead& read : kFirstPhaseReads)
                expect(ReadByName(lateBound, read) == S_OK);
            phase.arrive_and_wait();

            // Walking, cloning, saving and adding late-bound, with nothing removed meanwhile.
            expect(Enumerate(properties.p) && Enumerate(items.p));
            CComPtr<ILumoItem> copy;
            CComBSTR copyGuid;
            expect(item->Clone(MissingArgument(), &copy) == S_OK && copy && copy->get_GUID(&copyGuid) == S_OK &&
                   copyGuid == OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}"));
            VARIANT_BOOL changed = VARIANT_FALSE;
            expect(item->get_Changed(&changed) == S_OK);
            expect(SavedAsExpected(item, itemsSave));
            expect(SavedAsExpected(items, collectionsSave));
            if (round % 2 == 0) {
                expect(CallByName(propertiesDispatch, OLESTR("Add"), DISPATCH_METHOD,
                                  {CComVariant(value), CComVariant(PropertyName("d", t, round)), CComVariant(nameSpace)}) ==
                       S_OK);
            }
            expect(CallByName(itemDispatch, OLESTR("ToString"), DISPATCH_METHOD, {CComVariant(SHORT(1))}, VT_BSTR) ==
                   S_OK);
            phase.arrive_and_wait();
        }
    });
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << "thread " << t;

    // Every member a thread left is there with its value; every one it removed is gone.
    LONG expectedProperties = 1;
    LONG expectedItems = 1;
    for (int t = 0; t < kThreads; ++t) {
        for (int round = 0; round < kStressRounds; ++round) {
            const LONG value = PropertyValue(t, round);
            CComVariant read;
            ASSERT_EQ(properties->get_Item(PropertyName("p", t, round), nameSpace, &read), S_OK);
            if (round % 3 == 0) {
                EXPECT_EQ(read.vt, VT_EMPTY) << "p" << t << "-" << round;
            } else {
                ++expectedProperties;
                EXPECT_EQ(read.vt == VT_I4 ? read.lVal : -1, value) << "p" << t << "-" << round;
            }
            read.Clear();
            ASSERT_EQ(properties->get_Item(PropertyName("d", t, round), nameSpace, &read), S_OK);
            if (round % 2 == 0) {
                ++expectedProperties;
                EXPECT_EQ(read.vt == VT_I4 ? read.lVal : -1, value) << "d" << t << "-" << round;
            } else {
                EXPECT_EQ(read.vt, VT_EMPTY);
            }

            CComVariant member;
            const HRESULT hr = items->get_Item(CComVariant(PropertyName("i", t, round)), &member);
            if (round % 4 == 0) {
                EXPECT_EQ(hr, S_FALSE) << "i" << t << "-" << round;
                continue;
            }
            ++expectedItems;
            ASSERT_EQ(hr, S_OK) << "i" << t << "-" << round;
            CComQIPtr<ILumoItem> memberItem(member.punkVal);
            CComBSTR guid;
            ASSERT_TRUE(memberItem);
            ASSERT_EQ(memberItem->get_GUID(&guid), S_OK);
            EXPECT_EQ(OleString(ViewOfBstr(guid)), OleString(ViewOfBstr(ItemGuid(t, round))));
        }
    }
    CComVariant shared;
    ASSERT_EQ(properties->get_Item(sharedName, nameSpace, &shared), S_OK);
    ASSERT_EQ(shared.vt, VT_I4);
    EXPECT_TRUE(shared.lVal / 1000 < kThreads && shared.lVal % 1000 == kStressRounds - 1)
        << "the last value one of the threads wrote: " << shared.lVal;
    LONG count = 0;
    ASSERT_EQ(properties->get_Count(&count), S_OK);
    EXPECT_EQ(count, expectedProperties);
    ASSERT_EQ(items->get_Count(&count), S_OK);
    EXPECT_EQ(count, expectedItems);
    CComBSTR schemaType;
    ASSERT_EQ(item->get_SchemaType(&schemaType), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(schemaType)), OLESTR("Stress"));
}

}  // namespace
