// LumoEnumVARIANT over a property collection: Next, Skip, Reset and Clone, live reading,
// the caller's variants, and an enumerator that has no collection.
#include <algorithm>
#include <limits>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "CountedObject.h"
#include "LumoEnumHost.h"
#include "PropertyCollectionSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

using LumoEnumVARIANTTest = ComponentTest;

CComPtr<IEnumVARIANT> NewDetachedEnumerator()
{
    return CreateByProgId<IEnumVARIANT>(OLESTR("LumoItems.LumoEnumVARIANT"));
}

std::vector<KeyText> NamesIn(const VARIANT* elements, ULONG count)
{
    std::vector<KeyText> names;
    for (ULONG i = 0; i < count; ++i) {
        if (CComPtr<ILumoProperty> property = PropertyIn(elements[i]))
            names.push_back(KeyOf(property).name);
    }
    return names;
}

std::vector<KeyText> Names(std::initializer_list<const OLECHAR*> names)
{
    std::vector<KeyText> texts;
    for (const OLECHAR* name : names)
        texts.push_back(KeyTextOf(name));
    return texts;
}

TEST_F(LumoEnumVARIANTTest, AnswersItsInterfacesAsOneObject)
{
    CComPtr<IEnumVARIANT> enumerator = NewDetachedEnumerator();
    ASSERT_TRUE(enumerator);
    CComPtr<IUnknown> identity;
    ASSERT_EQ(enumerator->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    for (REFIID iid : {IID_ILumoEnumVARIANT, IID_IEnumVARIANT, IID_ISupportErrorInfo, IID_IMarshal}) {
        CComPtr<IUnknown> part;
        ASSERT_EQ(enumerator->QueryInterface(iid, reinterpret_cast<void**>(&part)), S_OK);
        CComPtr<IUnknown> back;
        part->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
        EXPECT_EQ(back.p, identity.p);
    }
    CComPtr<IUnknown> none;
    EXPECT_EQ(enumerator->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&none)), E_NOINTERFACE);

    CComQIPtr<ISupportErrorInfo> support(enumerator);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEnumVARIANT), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILumoEnumVARIANT), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
}

TEST_F(LumoEnumVARIANTTest, WithoutACollectionEveryCallFailsAsNotInitialized)
{
    struct Case {
        const OLECHAR* function;
        HRESULT (*call)(IEnumVARIANT*);
    };
    const Case cases[] = {
        {OLESTR("CLumoEnumVARIANT::Next"),
         [](IEnumVARIANT* e) {
             CComVariant element;
             ULONG fetched = 7;
             const HRESULT hr = e->Next(1, &element, &fetched);
             EXPECT_EQ(fetched, 7u);
             return hr;
         }},
        {OLESTR("CLumoEnumVARIANT::Skip"), [](IEnumVARIANT* e) { return e->Skip(1); }},
        {OLESTR("CLumoEnumVARIANT::Reset"), [](IEnumVARIANT* e) { return e->Reset(); }},
        {OLESTR("CLumoEnumVARIANT::Clone"),
         [](IEnumVARIANT* e) {
             CComPtr<IEnumVARIANT> clone;
             const HRESULT hr = e->Clone(&clone);
             EXPECT_FALSE(clone);
             return hr;
         }},
    };
    CComPtr<IEnumVARIANT> enumerator = NewDetachedEnumerator();
    ASSERT_TRUE(enumerator);
    for (int attached = 0; attached < 2; ++attached) {
        if (attached) {
            // Attaching no host leaves the enumerator as it was.
            CComQIPtr<ILumoEnumVARIANT> setup(enumerator);
            ASSERT_EQ(setup->SetEnumHost(nullptr, nullptr, 0), S_OK);
        }
        for (const Case& c : cases) {
            EXPECT_EQ(c.call(enumerator), E_ZO_EXCEPTION);
            ExpectFrameError(IID_IEnumVARIANT, OLESTR("LumoItems.LumoEnumVARIANT.1"), OLESTR(".\\LumoEnumVARIANT"),
                             c.function, 1013, OLESTR("Object not initialized."));
        }
    }
}

TEST_F(LumoEnumVARIANTTest, NextSkipAndReset)
{
    enum class Op { Next, NextUncounted, Skip, Reset };
    struct Step {
        Op op;
        ULONG count;
        HRESULT status;
        std::vector<KeyText> names;   // what Next yields
    };
    struct Case {
        const char* what;
        std::vector<const OLECHAR*> members;
        std::vector<Step> steps;
    };
    constexpr ULONG kLargestIndex = std::numeric_limits<LONG>::max();
    constexpr ULONG kLargestCount = std::numeric_limits<ULONG>::max();
    const Case cases[] = {
        {"Next beyond the end",
         {OLESTR("a"), OLESTR("b")},
         {{Op::Next, 3, S_FALSE, Names({OLESTR("a"), OLESTR("b")})}, {Op::Next, 1, S_FALSE, {}}}},
        {"Next of none", {OLESTR("a"), OLESTR("b")}, {{Op::Next, 0, S_OK, {}}, {Op::Next, 1, S_OK, Names({OLESTR("a")})}}},
        {"Next without a fetched count still moves",
         {OLESTR("a"), OLESTR("b")},
         {{Op::NextUncounted, 1, S_OK, Names({OLESTR("a")})}, {Op::Next, 1, S_OK, Names({OLESTR("b")})}}},
        {"Next of an empty collection", {}, {{Op::Next, 1, S_FALSE, {}}}},
        {"Skip to the end, then past it",
         {OLESTR("a"), OLESTR("b"), OLESTR("c")},
         {{Op::Skip, 3, S_OK, {}}, {Op::Next, 1, S_FALSE, {}}, {Op::Skip, 1, S_FALSE, {}}}},
        {"Skip past the end, then Reset",
         {OLESTR("a"), OLESTR("b"), OLESTR("c")},
         {{Op::Skip, 5, S_FALSE, {}}, {Op::Reset, 0, S_OK, {}}, {Op::Next, 1, S_OK, Names({OLESTR("a")})}}},
        {"Skip, then Next",
         {OLESTR("a"), OLESTR("b"), OLESTR("c")},
         {{Op::Skip, 1, S_OK, {}}, {Op::Next, 2, S_OK, Names({OLESTR("b"), OLESTR("c")})}}},
        {"Skip beyond the range of a 32-bit index does not wrap round",
         {OLESTR("a")},
         {{Op::Skip, kLargestIndex, S_FALSE, {}},
          {Op::Skip, kLargestIndex, S_FALSE, {}},
          {Op::Next, 1, S_FALSE, {}},
          {Op::Skip, kLargestCount, S_FALSE, {}},
          {Op::Next, 1, S_FALSE, {}},
          {Op::Reset, 0, S_OK, {}},
          {Op::Next, 1, S_OK, Names({OLESTR("a")})}}},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoEnumProperty> collection = CollectionOf(c.members);
        CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
        ASSERT_TRUE(enumerator) << c.what;
        for (size_t s = 0; s < c.steps.size(); ++s) {
            const Step& step = c.steps[s];
            switch (step.op) {
            case Op::Next:
            case Op::NextUncounted: {
                std::vector<CComVariant> elements(step.count + 1);
                ULONG fetched = 99;
                const HRESULT hr = enumerator->Next(step.count, elements.data(),
                                                    step.op == Op::Next ? &fetched : nullptr);
                EXPECT_EQ(hr, step.status) << c.what << ", step " << s;
                const ULONG yielded = step.op == Op::Next ? fetched : static_cast<ULONG>(step.names.size());
                EXPECT_EQ(yielded, step.names.size()) << c.what << ", step " << s;
                EXPECT_EQ(NamesIn(elements.data(), std::min<ULONG>(yielded, step.count)), step.names)
                    << c.what << ", step " << s;
                EXPECT_EQ(elements[yielded].vt, VT_EMPTY) << c.what << ", step " << s << ": written past the fetched";
                break;
            }
            case Op::Skip:
                EXPECT_EQ(enumerator->Skip(step.count), step.status) << c.what << ", step " << s;
                break;
            case Op::Reset:
                EXPECT_EQ(enumerator->Reset(), step.status) << c.what << ", step " << s;
                break;
            }
        }
    }
}

TEST_F(LumoEnumVARIANTTest, NextInitialisesTheCallersVariantsInsteadOfClearingThem)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a"), OLESTR("b")});
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    // What uninitialised memory may happen to hold: references that are not the caller's.
    CountedObject stranger;
    VARIANT elements[2];
    for (VARIANT& element : elements) {
        element.vt = VT_DISPATCH;
        element.pdispVal = &stranger;
    }
    ULONG fetched = 0;
    ASSERT_EQ(enumerator->Next(2, elements, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(stranger.References(), 1u) << "nothing released that Next did not own";
    EXPECT_EQ(NamesIn(elements, 2), Names({OLESTR("a"), OLESTR("b")}));
    for (VARIANT& element : elements)
        VariantClear(&element);
}

TEST_F(LumoEnumVARIANTTest, MembersAddedAfterNewEnumAreReturned)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("b")});
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    ASSERT_EQ(collection->Add(CComVariant(2), CComBSTR(OLESTR("c")), CComBSTR(OLESTR("ns"))), S_OK);
    CComVariant first;
    ASSERT_EQ(enumerator->Next(1, &first, nullptr), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(3), CComBSTR(OLESTR("d")), CComBSTR(OLESTR("ns"))), S_OK);
    std::vector<KeyText> rest;
    for (const PropertyKeyText& key : RemainingKeys(enumerator))
        rest.push_back(key.name);
    EXPECT_EQ(rest, Names({OLESTR("c"), OLESTR("d")}));
}

TEST_F(LumoEnumVARIANTTest, CloneStartsAtTheSamePositionAndMovesOnItsOwn)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a"), OLESTR("b"), OLESTR("c")});
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    CComVariant first;
    ASSERT_EQ(enumerator->Next(1, &first, nullptr), S_OK);

    CComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    ASSERT_TRUE(clone);
    EXPECT_NE(clone.p, enumerator.p);
    CComVariant fromClone[2];
    ULONG fetched = 0;
    ASSERT_EQ(clone->Next(2, fromClone, &fetched), S_OK);
    EXPECT_EQ(NamesIn(fromClone, fetched), Names({OLESTR("b"), OLESTR("c")}));

    CComVariant second;
    ASSERT_EQ(enumerator->Next(1, &second, nullptr), S_OK);
    EXPECT_EQ(NamesIn(&second, 1), Names({OLESTR("b")})) << "the clone's steps do not move the original";

    // A clone of a clone is attached to the same collection.
    CComPtr<IEnumVARIANT> again;
    ASSERT_EQ(clone->Clone(&again), S_OK);
    ASSERT_EQ(again->Reset(), S_OK);
    EXPECT_EQ(RemainingKeys(again).size(), 3u);
}

TEST_F(LumoEnumVARIANTTest, NullPointersGetPlainEPointer)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(enumerator->Clone(nullptr), E_POINTER);
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(fetched, 7u);
    EXPECT_FALSE(TakeThreadErrorObject().present);
    EXPECT_EQ(enumerator->Next(0, nullptr, &fetched), S_OK) << "no element asked for, none needed";
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(RemainingKeys(enumerator).size(), 1u) << "the position did not move";
}

TEST_F(LumoEnumVARIANTTest, TheEnumeratorKeepsItsCollectionAlive)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a"), OLESTR("b")});
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    collection.Release();
    std::vector<KeyText> names;
    for (const PropertyKeyText& key : RemainingKeys(enumerator))
        names.push_back(key.name);
    EXPECT_EQ(names, Names({OLESTR("a"), OLESTR("b")}));
    CComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    enumerator.Release();
    ASSERT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(RemainingKeys(clone).size(), 2u);
}

}  // namespace

// A collection that has lost members to another thread between the enumerator's reading of its
// count and of its members: it counts three, but holds only the first.
class ShrunkCollection : public CLumoEnumHost {
public:
    LONG HostGetCount() override { return 3; }
    bool HostGetAt(LONG index, VARIANT* destination) override
    {
        if (index > 0)
            return false;
        destination->vt = VT_I4;
        destination->lVal = 7;
        return true;
    }
};

TEST_F(LumoEnumVARIANTTest, MembersRemovedDuringNextEndTheWalkThere)
{
    ShrunkCollection collection;
    CComPtr<IEnumVARIANT> enumerator = NewDetachedEnumerator();
    CComQIPtr<ILumoEnumVARIANT> setup(enumerator);
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->SetEnumHost(nullptr, static_cast<CLumoEnumHost*>(&collection), 0), S_OK);
    CComVariant elements[3];
    ULONG fetched = 99;
    EXPECT_EQ(enumerator->Next(3, elements, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(elements[0].vt, VT_I4);
    EXPECT_EQ(elements[1].vt, VT_EMPTY);
    EXPECT_EQ(enumerator->Next(1, elements, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}
