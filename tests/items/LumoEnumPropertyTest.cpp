// LumoEnumProperty: key order, values and changed flags, snapshots, the enumeration cursor,
// texts, errors, late binding and several threads on one collection.
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "CountedObject.h"
#include "PropertyCollectionSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"
#include "ZoVariant.h"

namespace {

using LumoEnumPropertyTest = ComponentTest;

const OLECHAR kNs[] = OLESTR("ns");

// The strings of a key as a caller passes them; null stays null.
CComBSTR Text(const OLECHAR* text)
{
    return text ? CComBSTR(text) : CComBSTR();
}

CComVariant ItemOf(ILumoEnumProperty* collection, const OLECHAR* name, const OLECHAR* nameSpace = kNs)
{
    CComVariant value;
    EXPECT_EQ(collection->get_Item(Text(name), Text(nameSpace), &value), S_OK);
    return value;
}

bool IsChanged(ILumoEnumProperty* collection, const OLECHAR* name, const OLECHAR* nameSpace = kNs)
{
    VARIANT_BOOL changed = 7;
    EXPECT_EQ(collection->IsPropertyChanged(Text(name), Text(nameSpace), &changed), S_OK);
    EXPECT_TRUE(changed == VARIANT_TRUE || changed == VARIANT_FALSE) << changed;
    return changed == VARIANT_TRUE;
}

bool Exists(ILumoEnumProperty* collection, const OLECHAR* name, const OLECHAR* nameSpace = kNs)
{
    VARIANT_BOOL exists = 7;
    EXPECT_EQ(collection->KeyExists(Text(name), Text(nameSpace), &exists), S_OK);
    EXPECT_TRUE(exists == VARIANT_TRUE || exists == VARIANT_FALSE) << exists;
    return exists == VARIANT_TRUE;
}

OleString TextOf(ILumoItemBase* object, const VARIANT& indent)
{
    CComBSTR text;
    EXPECT_EQ(object->ToString(indent, &text), S_OK);
    return OleString(ViewOfBstr(text));
}

OleString DisplayText(const VARIANT& value)
{
    return CZoVariant::ToString(value);
}

void ExpectCollectionError(const OLECHAR* function, LONG code, const OLECHAR* message)
{
    ExpectFrameError(IID_ILumoEnumProperty, OLESTR("LumoItems.LumoEnumProperty.1"), OLESTR(".\\LumoEnumProperty"),
                     function, code, message);
}

TEST_F(LumoEnumPropertyTest, AnswersItsInterfacesAsOneObject)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_TRUE(collection);
    CComPtr<IUnknown> identity;
    ASSERT_EQ(collection->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    for (REFIID iid : {IID_ILumoEnumProperty, IID_IDispatch, IID_ILumoItemBase, IID_ISupportErrorInfo, IID_IMarshal}) {
        CComPtr<IUnknown> part;
        ASSERT_EQ(collection->QueryInterface(iid, reinterpret_cast<void**>(&part)), S_OK);
        CComPtr<IUnknown> back;
        part->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
        EXPECT_EQ(back.p, identity.p);
    }
    CComPtr<IUnknown> none;
    EXPECT_EQ(collection->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&none)), E_NOINTERFACE);

    CComQIPtr<ISupportErrorInfo> support(collection);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILumoEnumProperty), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILumoItemBase), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(LumoEnumPropertyTest, AddOfAnExistingKeyReplacesItsValueAndSetsItsFlag)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_EQ(collection->Add(CComVariant(1), Text(OLESTR("a")), Text(kNs)), S_OK);
    ASSERT_EQ(collection->put_Changed(VARIANT_FALSE), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(2), Text(OLESTR("a")), Text(kNs)), S_OK);
    EXPECT_EQ(CountOf(collection), 1);
    const CComVariant value = ItemOf(collection, OLESTR("a"));
    ASSERT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 2);
    EXPECT_TRUE(IsChanged(collection, OLESTR("a")));

    ASSERT_EQ(collection->put_Item(Text(OLESTR("a")), Text(kNs), CComVariant(OLESTR("three"))), S_OK);
    EXPECT_EQ(CountOf(collection), 1);
    EXPECT_EQ(DisplayText(ItemOf(collection, OLESTR("a"))), OLESTR("three"));
}

TEST_F(LumoEnumPropertyTest, KeysEnumerateInKeyOrder)
{
    const OLECHAR fullwidthA[] = {0xFF21, 0};
    const OLECHAR beyondBmp[] = {0xD800, 0xDC00, 0};   // U+10000, above U+FF21 as a code point
    const OLECHAR highUnit[] = {0x8000, 0};            // negative as a signed 16-bit number
    const OLECHAR del[] = {0x7F, 0};
    struct Case {
        const char* what;
        std::vector<std::pair<const OLECHAR*, const OLECHAR*>> added;   // in this order
        std::vector<std::pair<const OLECHAR*, const OLECHAR*>> expected;
    };
    const Case cases[] = {
        {"upper case first, a prefix before the longer name",
         {{OLESTR("b"), kNs}, {OLESTR("B"), kNs}, {OLESTR("a"), kNs}, {OLESTR("ab"), kNs}},
         {{OLESTR("B"), kNs}, {OLESTR("a"), kNs}, {OLESTR("ab"), kNs}, {OLESTR("b"), kNs}}},
        {"a null namespace before the empty one",
         {{OLESTR("a"), OLESTR("")}, {OLESTR("a"), nullptr}},
         {{OLESTR("a"), nullptr}, {OLESTR("a"), OLESTR("")}}},
        {"a null name before the empty one",
         {{OLESTR("a"), kNs}, {OLESTR(""), kNs}, {nullptr, kNs}},
         {{nullptr, kNs}, {OLESTR(""), kNs}, {OLESTR("a"), kNs}}},
        {"the namespace decides only between equal names",
         {{OLESTR("b"), OLESTR("a")}, {OLESTR("a"), OLESTR("z")}, {OLESTR("a"), OLESTR("y")}},
         {{OLESTR("a"), OLESTR("y")}, {OLESTR("a"), OLESTR("z")}, {OLESTR("b"), OLESTR("a")}}},
        {"code units compared unsigned",
         {{fullwidthA, kNs}, {highUnit, kNs}, {del, kNs}, {OLESTR("a"), kNs}},
         {{OLESTR("a"), kNs}, {del, kNs}, {highUnit, kNs}, {fullwidthA, kNs}}},
        {"UTF-16 code units, not code points", {{fullwidthA, kNs}, {beyondBmp, kNs}},
         {{beyondBmp, kNs}, {fullwidthA, kNs}}},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
        ASSERT_TRUE(collection);
        for (const auto& [name, nameSpace] : c.added)
            ASSERT_EQ(collection->Add(CComVariant(1), Text(name), Text(nameSpace)), S_OK) << c.what;
        std::vector<PropertyKeyText> expected;
        for (const auto& [name, nameSpace] : c.expected)
            expected.push_back({KeyTextOf(name), KeyTextOf(nameSpace)});
        const std::vector<PropertyKeyText> keys = KeysInOrder(collection);
        EXPECT_EQ(keys, expected) << c.what << ": " << Printable(keys);
    }
}

TEST_F(LumoEnumPropertyTest, KeysAreTakenUpToTheirFirstZero)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    const OLECHAR withZero[] = {'a', 0, 'b'};
    ASSERT_EQ(collection->Add(CComVariant(1), CComBSTR(3, withZero), Text(kNs)), S_OK);
    EXPECT_EQ(ItemOf(collection, OLESTR("a")).lVal, 1);
    EXPECT_EQ(KeysInOrder(collection), (std::vector<PropertyKeyText>{{KeyTextOf(OLESTR("a")), KeyTextOf(kNs)}}));
}

TEST_F(LumoEnumPropertyTest, AnEmptyValueIsCountedButDoesNotExist)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_EQ(collection->Add(CComVariant(), Text(OLESTR("x")), Text(kNs)), S_OK);
    EXPECT_EQ(CountOf(collection), 1);
    EXPECT_FALSE(Exists(collection, OLESTR("x")));
    EXPECT_EQ(ItemOf(collection, OLESTR("x")).vt, VT_EMPTY);
    EXPECT_EQ(KeysInOrder(collection).size(), 1u);

    ASSERT_EQ(collection->Add(CComVariant(0), Text(OLESTR("x")), Text(kNs)), S_OK);
    EXPECT_TRUE(Exists(collection, OLESTR("x")));
    EXPECT_FALSE(Exists(collection, OLESTR("x"), nullptr)) << "another key";
}

TEST_F(LumoEnumPropertyTest, MissingKeysAreNoError)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(ItemOf(collection, OLESTR("b")).vt, VT_EMPTY);
    EXPECT_FALSE(IsChanged(collection, OLESTR("b")));
    EXPECT_FALSE(Exists(collection, OLESTR("b")));
    EXPECT_EQ(collection->Remove(Text(OLESTR("b")), Text(kNs)), S_OK);
    EXPECT_EQ(CountOf(collection), 1) << "reading never creates an entry";
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

TEST_F(LumoEnumPropertyTest, RemoveAndClear)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a"), OLESTR("b"), OLESTR("c")});
    ASSERT_EQ(collection->Remove(Text(OLESTR("b")), Text(kNs)), S_OK);
    EXPECT_EQ(KeysInOrder(collection),
              (std::vector<PropertyKeyText>{{KeyTextOf(OLESTR("a")), KeyTextOf(kNs)},
                                            {KeyTextOf(OLESTR("c")), KeyTextOf(kNs)}}));
    ASSERT_EQ(collection->Clear(), S_OK);
    EXPECT_EQ(CountOf(collection), 0);
    EXPECT_TRUE(KeysInOrder(collection).empty());
}

// How Add and put Item store a value: a copy in every case, VT_INT as VT_I4, and what a
// by-reference variant refers to rather than the reference.
TEST_F(LumoEnumPropertyTest, StoredValues)
{
    LONG number = 42;
    INT integer = 7;
    CComBSTR referencedText(OLESTR("text"));
    CComVariant innerInt(7, VT_INT);

    struct Case {
        const char* what;
        std::function<CComVariant()> make;
        VARTYPE storedType;
        const OLECHAR* storedText;
    };
    const auto byReference = [](VARTYPE vt, void* target) {
        CComVariant reference;
        reference.vt = VT_BYREF | vt;
        reference.byref = target;
        return reference;
    };
    const Case cases[] = {
        {"VT_INT becomes VT_I4", [] { return CComVariant(7, VT_INT); }, VT_I4, OLESTR("7")},
        {"VT_UINT keeps its type", [] { return CComVariant(7u, VT_UINT); }, VT_UINT, OLESTR("7")},
        {"a string", [] { return CComVariant(OLESTR("abc")); }, VT_BSTR, OLESTR("abc")},
        {"a reference to a long", [&] { return byReference(VT_I4, &number); }, VT_I4, OLESTR("42")},
        {"a reference to an int", [&] { return byReference(VT_INT, &integer); }, VT_I4, OLESTR("7")},
        {"a reference to a string", [&] { return byReference(VT_BSTR, &referencedText.m_str); }, VT_BSTR,
         OLESTR("text")},
        {"a reference to a variant holding VT_INT", [&] { return byReference(VT_VARIANT, &innerInt); }, VT_I4,
         OLESTR("7")},
    };
    using Store = HRESULT (*)(ILumoEnumProperty*, const VARIANT&);
    const std::pair<const char*, Store> stores[] = {
        {"Add", [](ILumoEnumProperty* c, const VARIANT& v) { return c->Add(v, Text(OLESTR("v")), Text(kNs)); }},
        {"put Item",
         [](ILumoEnumProperty* c, const VARIANT& v) { return c->put_Item(Text(OLESTR("v")), Text(kNs), v); }},
    };
    for (const auto& [storeName, store] : stores) {
        for (const Case& c : cases) {
            CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
            const CComVariant given = c.make();
            ASSERT_EQ(store(collection, given), S_OK) << storeName << ": " << c.what;
            const CComVariant stored = ItemOf(collection, OLESTR("v"));
            EXPECT_EQ(stored.vt, c.storedType) << storeName << ": " << c.what;
            EXPECT_EQ(DisplayText(stored), OleString(c.storedText)) << storeName << ": " << c.what;
            if (given.vt == VT_BSTR) {
                EXPECT_NE(stored.bstrVal, given.bstrVal) << storeName << ": " << c.what;
            }
        }
    }

    // Nothing points into the caller's memory once the call has returned.
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_EQ(collection->Add(byReference(VT_I4, &number), Text(OLESTR("n")), Text(kNs)), S_OK);
    number = 0;
    EXPECT_EQ(DisplayText(ItemOf(collection, OLESTR("n"))), OLESTR("42"));
}

TEST_F(LumoEnumPropertyTest, AnObjectValueIsSharedAndReleasedWithItsEntry)
{
    CountedObject object;
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(&object)), Text(OLESTR("o")), Text(kNs)), S_OK);
    EXPECT_EQ(object.References(), 2u);
    ASSERT_EQ(collection->Add(CComVariant(1), Text(OLESTR("o")), Text(kNs)), S_OK);
    EXPECT_EQ(object.References(), 1u) << "a replaced value is released";

    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(&object)), Text(OLESTR("o")), Text(kNs)), S_OK);
    ASSERT_EQ(collection->Remove(Text(OLESTR("o")), Text(kNs)), S_OK);
    EXPECT_EQ(object.References(), 1u);

    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(&object)), Text(OLESTR("o")), Text(kNs)), S_OK);
    ASSERT_EQ(collection->Clear(), S_OK);
    EXPECT_EQ(object.References(), 1u);

    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(&object)), Text(OLESTR("o")), Text(kNs)), S_OK);
    collection.Release();
    EXPECT_EQ(object.References(), 1u);
}

TEST_F(LumoEnumPropertyTest, AValueThatCannotBeCopiedLeavesTheCollectionUnchanged)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    LONG number = 5;
    VARIANT inner;
    inner.vt = VT_BYREF | VT_I4;
    inner.plVal = &number;
    VARIANT nested;   // a reference to a variant that is itself a reference
    nested.vt = VT_BYREF | VT_VARIANT;
    nested.pvarVal = &inner;
    ASSERT_EQ(collection->Add(nested, Text(OLESTR("a")), Text(kNs)), E_ZO_EXCEPTION);
    const ErrorObjectFields error = TakeThreadErrorObject();
    const std::vector<EntryView> entries = EntriesOfXml(error.description);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].code, Decimal(E_INVALIDARG));
    EXPECT_EQ(entries.back().function, OLESTR("CLumoEnumProperty::Add"));
    EXPECT_EQ(CountOf(collection), 1);
    EXPECT_EQ(DisplayText(ItemOf(collection, OLESTR("a"))), OLESTR("1"));
}

TEST_F(LumoEnumPropertyTest, ChangedFlags)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a"), OLESTR("b"), OLESTR("c")});
    for (const OLECHAR* name : {OLESTR("a"), OLESTR("b"), OLESTR("c")})
        EXPECT_TRUE(IsChanged(collection, name)) << "set by Add";

    ASSERT_EQ(collection->put_Changed(VARIANT_FALSE), S_OK);
    for (const OLECHAR* name : {OLESTR("a"), OLESTR("b"), OLESTR("c")})
        EXPECT_FALSE(IsChanged(collection, name));

    ASSERT_EQ(collection->SetPropertyChanged(Text(OLESTR("b")), Text(kNs), VARIANT_TRUE), S_OK);
    EXPECT_FALSE(IsChanged(collection, OLESTR("a")));
    EXPECT_TRUE(IsChanged(collection, OLESTR("b")));
    EXPECT_FALSE(IsChanged(collection, OLESTR("c")));
    EXPECT_EQ(DisplayText(ItemOf(collection, OLESTR("b"))), OLESTR("2")) << "the value is not touched";

    ASSERT_EQ(collection->put_Changed(1), S_OK);
    EXPECT_TRUE(IsChanged(collection, OLESTR("a"))) << "any non-zero boolean is true";
    ASSERT_EQ(collection->SetPropertyChanged(Text(OLESTR("a")), Text(kNs), VARIANT_FALSE), S_OK);
    EXPECT_FALSE(IsChanged(collection, OLESTR("a")));
    EXPECT_TRUE(IsChanged(collection, OLESTR("c")));
}

TEST_F(LumoEnumPropertyTest, SetPropertyChangedOfAMissingKeyFails)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    ASSERT_EQ(collection->put_Changed(VARIANT_FALSE), S_OK);
    EXPECT_EQ(collection->SetPropertyChanged(Text(OLESTR("a")), nullptr, VARIANT_TRUE), E_ZO_EXCEPTION);
    ExpectCollectionError(OLESTR("CLumoEnumProperty::SetPropertyChanged"), 1010,
                          OLESTR("Invalid function parameter."));
    EXPECT_EQ(CountOf(collection), 1);
    EXPECT_FALSE(IsChanged(collection, OLESTR("a")));
}

TEST_F(LumoEnumPropertyTest, SaveXmlAndLoadXmlAreUnimplemented)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    CComBSTR xml;
    EXPECT_EQ(collection->SaveXML(&xml), E_ZO_EXCEPTION);
    ExpectCollectionError(OLESTR("CLumoEnumProperty::SaveXML"), 1012, OLESTR("Unimplemented."));
    EXPECT_EQ(xml.m_str, nullptr);
    EXPECT_EQ(collection->LoadXML(CComBSTR(OLESTR("<item/>"))), E_ZO_EXCEPTION);
    ExpectCollectionError(OLESTR("CLumoEnumProperty::LoadXML"), 1012, OLESTR("Unimplemented."));
    EXPECT_EQ(CountOf(collection), 1);
}

TEST_F(LumoEnumPropertyTest, NullOutPointersGetPlainEPointer)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    SetErrorInfo(0, nullptr);
    const CComBSTR a(OLESTR("a")), ns(kNs);
    EXPECT_EQ(collection->ToString(MissingArgument(), nullptr), E_POINTER);
    EXPECT_EQ(collection->SaveXML(nullptr), E_POINTER);
    EXPECT_EQ(collection->get_Item(a, ns, nullptr), E_POINTER);
    EXPECT_EQ(collection->get__NewEnum(nullptr), E_POINTER);
    EXPECT_EQ(collection->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(collection->KeyExists(a, ns, nullptr), E_POINTER);
    EXPECT_EQ(collection->IsPropertyChanged(a, ns, nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

TEST_F(LumoEnumPropertyTest, GetItemOverwritesTheCallersVariantWithoutClearingIt)
{
    CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("a")});
    CountedObject object;
    VARIANT out;
    out.vt = VT_DISPATCH;   // as uninitialised memory may happen to read
    out.pdispVal = &object;
    ASSERT_EQ(collection->get_Item(Text(OLESTR("a")), Text(kNs), &out), S_OK);
    EXPECT_EQ(object.References(), 1u);
    EXPECT_EQ(out.vt, VT_I4);
}

TEST_F(LumoEnumPropertyTest, EnumeratedPropertiesAreSnapshots)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_EQ(collection->Add(CComVariant(OLESTR("x")), Text(OLESTR("clean")), Text(kNs)), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(2.5), Text(OLESTR("dirty")), Text(kNs)), S_OK);
    ASSERT_EQ(collection->SetPropertyChanged(Text(OLESTR("clean")), Text(kNs), VARIANT_FALSE), S_OK);

    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    CComVariant elements[2];
    ULONG fetched = 0;
    ASSERT_EQ(enumerator->Next(2, elements, &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    const std::pair<const OLECHAR*, VARIANT_BOOL> expected[] = {{OLESTR("x"), VARIANT_FALSE},
                                                                {OLESTR("2.5000000000"), VARIANT_TRUE}};
    for (int i = 0; i < 2; ++i) {
        CComPtr<ILumoProperty> property = PropertyIn(elements[i]);
        ASSERT_TRUE(property);
        CComVariant value;
        ASSERT_EQ(property->get_Value(&value), S_OK);
        EXPECT_EQ(DisplayText(value), OleString(expected[i].first));
        VARIANT_BOOL changed = 7;
        ASSERT_EQ(property->get_Changed(&changed), S_OK);
        EXPECT_EQ(changed, expected[i].second) << "the entry's flag, whatever setting the name did";
    }

    CComPtr<ILumoProperty> first = PropertyIn(elements[0]);
    ASSERT_EQ(first->put_Value(CComVariant(OLESTR("changed"))), S_OK);
    ASSERT_EQ(first->put_Name(CComBSTR(OLESTR("renamed"))), S_OK);
    EXPECT_EQ(DisplayText(ItemOf(collection, OLESTR("clean"))), OLESTR("x"));
    EXPECT_FALSE(IsChanged(collection, OLESTR("clean")));
    EXPECT_EQ(CountOf(collection), 2);
}

// An enumeration step after a change between two steps reads the collection as it now is:
// the cursor of the earlier step is not used after the change.
TEST_F(LumoEnumPropertyTest, ChangesBetweenStepsAreSeenByTheNextStep)
{
    struct Case {
        const char* what;
        std::function<void(ILumoEnumProperty*)> change;
        const OLECHAR* second;   // null: the walk has ended
    };
    const auto add = [](const OLECHAR* name) {
        return [name](ILumoEnumProperty* c) { EXPECT_EQ(c->Add(CComVariant(0), Text(name), Text(kNs)), S_OK); };
    };
    const Case cases[] = {
        {"nothing", [](ILumoEnumProperty*) {}, OLESTR("c")},
        {"the first entry removed", [](ILumoEnumProperty* c) { c->Remove(Text(OLESTR("b")), Text(kNs)); },
         OLESTR("d")},
        {"a missing key removed", [](ILumoEnumProperty* c) { c->Remove(Text(OLESTR("zz")), Text(kNs)); },
         OLESTR("c")},
        {"an entry added before", add(OLESTR("a")), OLESTR("b")},
        {"an entry added between", add(OLESTR("bb")), OLESTR("bb")},
        {"an entry replaced",
         [](ILumoEnumProperty* c) { c->put_Item(Text(OLESTR("c")), Text(kNs), CComVariant(9)); }, OLESTR("c")},
        {"cleared and refilled",
         [](ILumoEnumProperty* c) {
             c->Clear();
             c->Add(CComVariant(0), Text(OLESTR("z")), Text(kNs));
         },
         nullptr},
        {"flags changed", [](ILumoEnumProperty* c) { c->put_Changed(VARIANT_FALSE); }, OLESTR("c")},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoEnumProperty> collection = CollectionOf({OLESTR("b"), OLESTR("c"), OLESTR("d")});
        CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
        CComVariant first;
        ASSERT_EQ(enumerator->Next(1, &first, nullptr), S_OK) << c.what;
        ASSERT_EQ(KeyOf(PropertyIn(first)).name, KeyTextOf(OLESTR("b"))) << c.what;
        c.change(collection);
        const std::vector<PropertyKeyText> rest = RemainingKeys(enumerator);
        if (!c.second) {
            EXPECT_TRUE(rest.empty()) << c.what;
        } else {
            ASSERT_FALSE(rest.empty()) << c.what;
            EXPECT_EQ(rest.front().name, KeyTextOf(c.second)) << c.what;
        }
    }
}

TEST_F(LumoEnumPropertyTest, ToStringTexts)
{
    // The example: an integer and a string in one namespace, the indent omitted.
    CComPtr<ILumoEnumProperty> person = NewPropertyCollection();
    ASSERT_EQ(person->Add(CComVariant(OLESTR("Anna")), Text(OLESTR("Name")), Text(OLESTR("urn:example"))), S_OK);
    ASSERT_EQ(person->Add(CComVariant(42), Text(OLESTR("Age")), Text(OLESTR("urn:example"))), S_OK);

    CComPtr<ILumoEnumProperty> inner = CollectionOf({OLESTR("x")});
    CComPtr<ILumoEnumProperty> outer = NewPropertyCollection();
    ASSERT_EQ(outer->Add(CComVariant(static_cast<IDispatch*>(inner.p)), Text(OLESTR("Inner")), Text(kNs)), S_OK);
    ASSERT_EQ(outer->Add(CComVariant(OLESTR("end")), Text(OLESTR("Z")), Text(kNs)), S_OK);

    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_EQ(property->put_Name(CComBSTR(OLESTR("n"))), S_OK);
    ASSERT_EQ(property->put_Value(CComVariant(5)), S_OK);
    CComPtr<ILumoEnumProperty> holder = NewPropertyCollection();
    ASSERT_EQ(holder->Add(CComVariant(static_cast<IUnknown*>(property.p)), Text(OLESTR("P")), nullptr), S_OK);

    CountedObject foreign;
    CComPtr<ILumoEnumProperty> withForeign = NewPropertyCollection();
    const CComVariant foreignValue(static_cast<IDispatch*>(&foreign));
    ASSERT_EQ(withForeign->Add(foreignValue, nullptr, nullptr), S_OK);
    const OleString foreignText = OLESTR("LumoEnumProperty\n (): ") + DisplayText(foreignValue) + OLESTR("\n");

    CComPtr<ILumoEnumProperty> empty = NewPropertyCollection();

    struct Case {
        const char* what;
        ILumoEnumProperty* collection;
        CComVariant indent;
        OleString expected;
    };
    const Case cases[] = {
        {"the example", person, MissingArgument(),
         OLESTR("LumoEnumProperty\nAge (urn:example): 42\nName (urn:example): Anna\n")},
        {"indent 1", person, CComVariant(1),
         OLESTR("    LumoEnumProperty\n    Age (urn:example): 42\n    Name (urn:example): Anna\n")},
        {"indent given as the string 1", person, CComVariant(OLESTR("1")),
         OLESTR("LumoEnumProperty\nAge (urn:example): 42\nName (urn:example): Anna\n")},
        {"negative indent", person, CComVariant(-2),
         OLESTR("LumoEnumProperty\nAge (urn:example): 42\nName (urn:example): Anna\n")},
        {"empty collection", empty, MissingArgument(), OLESTR("LumoEnumProperty\n")},
        {"nested collection one level deeper, then an empty line", outer, MissingArgument(),
         OLESTR("LumoEnumProperty\nInner (ns): \n    LumoEnumProperty\n    x (ns): 1\n\nZ (ns): end\n")},
        {"nested collection at indent 1", outer, CComVariant(SHORT(1)),
         OLESTR("    LumoEnumProperty\n    Inner (ns): \n        LumoEnumProperty\n        x (ns): 1\n\n"
                "    Z (ns): end\n")},
        {"nested property, whose text has no line break of its own", holder, MissingArgument(),
         OLESTR("LumoEnumProperty\nP (): \n    LumoProperty n (): 5\n")},
        {"foreign object and null key", withForeign, MissingArgument(), foreignText},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextOf(c.collection, c.indent), c.expected) << c.what;
}

// An object value whose query for ILumoItemBase fails with something other than "no such
// interface".
class BrokenQueryObject : public CountedObject {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_ILumoItemBase) {
            *ppv = nullptr;
            return E_UNEXPECTED;
        }
        return CountedObject::QueryInterface(riid, ppv);
    }
};

TEST_F(LumoEnumPropertyTest, ANestedFailureCarriesItsTraceThroughEveryToString)
{
    BrokenQueryObject broken;
    CComPtr<ILumoEnumProperty> inner = NewPropertyCollection();
    ASSERT_EQ(inner->Add(CComVariant(static_cast<IDispatch*>(&broken)), Text(OLESTR("b")), Text(kNs)), S_OK);
    CComPtr<ILumoEnumProperty> outer = NewPropertyCollection();
    ASSERT_EQ(outer->Add(CComVariant(static_cast<IDispatch*>(inner.p)), Text(OLESTR("i")), Text(kNs)), S_OK);

    BSTR text = reinterpret_cast<BSTR>(static_cast<INT_PTR>(1));
    EXPECT_EQ(outer->ToString(MissingArgument(), &text), E_ZO_EXCEPTION);
    EXPECT_EQ(text, reinterpret_cast<BSTR>(static_cast<INT_PTR>(1))) << "nothing left behind";
    const ErrorObjectFields error = TakeThreadErrorObject();
    const std::vector<EntryView> entries = EntriesOfXml(error.description);
    ASSERT_EQ(entries.size(), 3u) << "the failed query, the inner frame, the outer frame";
    EXPECT_EQ(entries[0].code, Decimal(E_UNEXPECTED));
    for (size_t i : {1u, 2u}) {
        EXPECT_EQ(entries[i].code, OLESTR("1005"));
        EXPECT_EQ(entries[i].function, OLESTR("CLumoEnumProperty::ToString"));
    }
    ASSERT_EQ(outer->Remove(Text(OLESTR("i")), Text(kNs)), S_OK);
    ASSERT_EQ(inner->Clear(), S_OK);
}

TEST_F(LumoEnumPropertyTest, ACollectionThatContainsItselfFailsToPrint)
{
    CComPtr<ILumoEnumProperty> first = CollectionOf({OLESTR("a")});
    CComPtr<ILumoEnumProperty> second = CollectionOf({OLESTR("b")});
    ASSERT_EQ(second->Add(CComVariant(static_cast<IDispatch*>(first.p)), Text(OLESTR("first")), Text(kNs)), S_OK);
    struct Case {
        const char* what;
        ILumoEnumProperty* container;
        ILumoEnumProperty* printed;
        size_t entries;   // the raise and one frame per ToString on the way out
    };
    const Case cases[] = {
        {"directly", first, first, 3},
        {"through another collection", first, second, 4},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.container->Add(CComVariant(static_cast<IDispatch*>(c.printed)), Text(OLESTR("self")), Text(kNs)),
                  S_OK);
        BSTR text = nullptr;
        EXPECT_EQ(c.printed->ToString(MissingArgument(), &text), E_ZO_EXCEPTION) << c.what;
        EXPECT_EQ(text, nullptr) << c.what;
        const std::vector<EntryView> entries = EntriesOfXml(TakeThreadErrorObject().description);
        ASSERT_EQ(entries.size(), c.entries) << c.what;
        EXPECT_EQ(entries[0].code, OLESTR("1010")) << c.what;
        EXPECT_EQ(entries[0].function, OLESTR("CLumoEnumProperty::ToString")) << c.what;
        EXPECT_EQ(entries[0].details,
                  (std::vector<std::pair<OleString, OleString>>{{OLESTR("Reason"), OLESTR("The object contains itself.")}}))
            << c.what;
        ASSERT_EQ(c.container->Remove(Text(OLESTR("self")), Text(kNs)), S_OK) << "breaks the cycle";
        EXPECT_EQ(CountOf(c.printed), c.printed == first.p ? 1 : 2) << c.what;
        CComBSTR again;
        EXPECT_EQ(c.printed->ToString(MissingArgument(), &again), S_OK) << c.what << ": printable once more";
    }
}

TEST_F(LumoEnumPropertyTest, LateBoundForEachAndMembers)
{
    CComPtr<IDispatch> collection = CreateByProgId<IDispatch>(OLESTR("LumoItems.LumoEnumProperty"));
    ASSERT_TRUE(collection);
    const CComVariant ns(kNs);
    for (const OLECHAR* name : {OLESTR("b"), OLESTR("a")}) {
        Invocation add;
        Invoke(add, collection, DispIdOf(collection, OLESTR("add")), DISPATCH_METHOD,
               {CComVariant(name), CComVariant(name), ns});
        ASSERT_EQ(add.status, S_OK);
    }
    Invocation put;
    Invoke(put, collection, DISPID_VALUE, DISPATCH_PROPERTYPUT, {CComVariant(OLESTR("c")), ns, CComVariant(3)});
    ASSERT_EQ(put.status, S_OK);

    Invocation count;
    Invoke(count, collection, DispIdOf(collection, OLESTR("Count")), DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(count.status, S_OK);
    EXPECT_EQ(DisplayText(count.result), OLESTR("3"));

    Invocation item;
    Invoke(item, collection, DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {CComVariant(OLESTR("c")), ns});
    ASSERT_EQ(item.status, S_OK);
    EXPECT_EQ(DisplayText(item.result), OLESTR("3"));

    // For each: _NewEnum, then IEnumVARIANT.
    Invocation newEnum;
    Invoke(newEnum, collection, DISPID_NEWENUM, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {});
    ASSERT_EQ(newEnum.status, S_OK);
    ASSERT_TRUE(newEnum.result.vt == VT_UNKNOWN || newEnum.result.vt == VT_DISPATCH) << newEnum.result.vt;
    CComQIPtr<IEnumVARIANT> enumerator(newEnum.result.punkVal);
    ASSERT_TRUE(enumerator);
    std::vector<OleString> values;
    for (;;) {
        CComVariant element;
        if (enumerator->Next(1, &element, nullptr) != S_OK)
            break;
        ASSERT_EQ(element.vt, VT_DISPATCH);
        Invocation value;
        Invoke(value, element.pdispVal, DISPID_VALUE, DISPATCH_PROPERTYGET, {});
        ASSERT_EQ(value.status, S_OK);
        values.push_back(DisplayText(value.result));
    }
    EXPECT_EQ(values, (std::vector<OleString>{OLESTR("a"), OLESTR("b"), OLESTR("3")}));
}

TEST_F(LumoEnumPropertyTest, LateBoundByReferenceValueAndKeyOfTheWrongType)
{
    CComPtr<IDispatch> collection = CreateByProgId<IDispatch>(OLESTR("LumoItems.LumoEnumProperty"));
    ASSERT_TRUE(collection);
    const DISPID add = DispIdOf(collection, OLESTR("Add"));

    // A script variable arrives as a reference to a variant.
    CComVariant variable(5);
    VARIANT reference;
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = &variable;
    Invocation byReference;
    Invoke(byReference, collection, add, DISPATCH_METHOD, {reference, CComVariant(OLESTR("v")), CComVariant(kNs)});
    ASSERT_EQ(byReference.status, S_OK);
    variable = CComVariant(6);
    CComQIPtr<ILumoEnumProperty> early(collection);
    const CComVariant stored = ItemOf(early, OLESTR("v"));
    EXPECT_EQ(stored.vt, VT_I4);
    EXPECT_EQ(DisplayText(stored), OLESTR("5"));

    // A name that cannot become a string.
    CountedObject object(false);
    Invocation wrongKey;
    Invoke(wrongKey, collection, add, DISPATCH_METHOD,
           {CComVariant(1), CComVariant(static_cast<IUnknown*>(&object)), CComVariant(kNs)});
    EXPECT_EQ(wrongKey.status, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrongKey.argumentError, 1u) << "the name, second of three";
    EXPECT_EQ(CountOf(early), 1);
}

// Several threads on one collection: each writer adds its own keys and rewrites a shared
// one, a remover adds and removes keys of its own, a reader and an enumerator check every
// value they meet. Values are the text of their key, so a torn entry shows.
TEST_F(LumoEnumPropertyTest, ConcurrentAddReadRemoveAndEnumerate)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    ASSERT_TRUE(collection);
    constexpr int kWriters = 2;
    constexpr int kPerThread = 150;
    const auto keyText = [](char prefix, int thread, int i) {
        const std::string narrow = prefix + std::to_string(thread) + "-" + std::to_string(i);
        return OleString(narrow.begin(), narrow.end());
    };
    const auto expectValueMatchesKey = [](const CComBSTR& name, const VARIANT& value) {
        const OleString key(ViewOfBstr(name));
        if (key == OLESTR("shared")) {
            EXPECT_EQ(DisplayText(value).rfind(OLESTR("shared-by-"), 0), 0u);
        } else {
            EXPECT_EQ(DisplayText(value), key);
        }
    };
    std::atomic<int> writersLeft{kWriters + 1};
    std::atomic<int> walks{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t) {
        threads.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            const CComBSTR shared(OLESTR("shared"));
            const OleString sharedValue = keyText('s', t, 0).replace(0, 1, OLESTR("shared-by-"));
            for (int i = 0; i < kPerThread; ++i) {
                const OleString key = keyText('w', t, i);
                EXPECT_EQ(collection->Add(CComVariant(key.c_str()), CComBSTR(key.c_str()), CComBSTR(kNs)), S_OK);
                EXPECT_EQ(collection->put_Item(shared, CComBSTR(kNs), CComVariant(sharedValue.c_str())), S_OK);
            }
            --writersLeft;
            CoUninitialize();
        });
    }
    threads.emplace_back([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (int i = 0; i < kPerThread; ++i) {
            const CComBSTR key(keyText('r', 0, i).c_str());
            EXPECT_EQ(collection->Add(CComVariant(key.m_str), key, CComBSTR(kNs)), S_OK);
            EXPECT_EQ(collection->Remove(key, CComBSTR(kNs)), S_OK);
        }
        --writersLeft;
        CoUninitialize();
    });
    threads.emplace_back([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (int i = 0; writersLeft > 0; i = (i + 1) % kPerThread) {
            for (const CComBSTR& key : {CComBSTR(keyText('w', 0, i).c_str()), CComBSTR(OLESTR("shared"))}) {
                CComVariant value;
                EXPECT_EQ(collection->get_Item(key, CComBSTR(kNs), &value), S_OK);
                if (value.vt != VT_EMPTY)
                    expectValueMatchesKey(key, value);
            }
        }
        CoUninitialize();
    });
    threads.emplace_back([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        do {
            CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
            for (;;) {
                CComVariant element;
                const HRESULT hr = enumerator->Next(1, &element, nullptr);
                if (hr == E_ZO_EXCEPTION) {
                    // The collection shrank between the count and the read: the documented 1010.
                    const std::vector<EntryView> entries = EntriesOfXml(TakeThreadErrorObject().description);
                    ASSERT_FALSE(entries.empty());
                    EXPECT_EQ(entries[0].code, OLESTR("1010"));
                    continue;
                }
                ASSERT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
                if (hr == S_FALSE)
                    break;
                CComPtr<ILumoProperty> property = PropertyIn(element);
                ASSERT_TRUE(property);
                CComBSTR name;
                CComVariant value;
                ASSERT_EQ(property->get_Name(&name), S_OK);
                ASSERT_EQ(property->get_Value(&value), S_OK);
                expectValueMatchesKey(name, value);
            }
            ++walks;
        } while (writersLeft > 0);
        CoUninitialize();
    });
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_GE(walks.load(), 1);
    EXPECT_EQ(CountOf(collection), kWriters * kPerThread + 1) << "every writer's key and the shared one";
    for (int t = 0; t < kWriters; ++t) {
        for (int i = 0; i < kPerThread; ++i) {
            const OleString key = keyText('w', t, i);
            EXPECT_EQ(DisplayText(ItemOf(collection, key.c_str())), key);
        }
    }
}

}  // namespace
