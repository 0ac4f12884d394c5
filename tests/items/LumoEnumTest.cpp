// LumoEnum through its vtable: members with optional keys, positions, removal, search,
// merging, texts and the errors of bad keys and indexes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ItemsTestSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

using LumoEnumTest = ComponentTest;

CComPtr<ILumoEnum> NewEnum()
{
    return CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
}

CComPtr<ILumoItem> NewItem()
{
    return CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
}

LONG CountOf(ILumoEnum* collection)
{
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    return count;
}

OleString TextOf(ILumoItemBase* object, const VARIANT& indent = MissingArgument())
{
    CComBSTR text;
    EXPECT_EQ(object->ToString(indent, &text), S_OK);
    return OleString(ViewOfBstr(text));
}

TEST_F(LumoEnumTest, NewCollectionIsEmpty)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_TRUE(collection);
    EXPECT_EQ(CountOf(collection), 0);
    EXPECT_EQ(TextOf(collection), OLESTR("LumoEnum\n"));
}

TEST_F(LumoEnumTest, MembersKeepOrderAndOptionalKeys)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(OLESTR("v")), MissingArgument()), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(OLESTR("v")), MissingArgument()), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(3), CComVariant(OLESTR("k"))), S_OK);
    EXPECT_EQ(CountOf(collection), 3);

    CComVariant key;
    ASSERT_EQ(collection->get_Key(0, &key), S_OK);
    EXPECT_EQ(key.vt, VT_ERROR);
    EXPECT_EQ(key.scode, DISP_E_PARAMNOTFOUND);
    key.Clear();
    ASSERT_EQ(collection->get_Key(2, &key), S_OK);
    ASSERT_EQ(key.vt, VT_BSTR);
    EXPECT_EQ(OleString(ViewOfBstr(key.bstrVal)), OLESTR("k"));

    CComVariant byKey, byIndex;
    ASSERT_EQ(collection->get_Item(CComVariant(OLESTR("k")), &byKey), S_OK);
    ASSERT_EQ(collection->get_Item(CComVariant(SHORT(2)), &byIndex), S_OK);
    EXPECT_EQ(byKey.lVal, 3);
    EXPECT_EQ(byIndex.lVal, 3);
}

TEST_F(LumoEnumTest, KeysAreExactTexts)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(1), CComVariant(OLESTR("K"))), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(2), CComVariant(OLESTR("k"))), S_OK) << "keys are case-sensitive";
    CComVariant nullKey;
    nullKey.vt = VT_BSTR;
    nullKey.bstrVal = nullptr;
    ASSERT_EQ(collection->Add(CComVariant(3), nullKey), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(4), CComVariant(OLESTR(""))), S_OK) << "empty differs from null";
    const OLECHAR withZero[] = {'k', 0, 'x'};
    CComVariant truncated(CComBSTR(3, withZero));
    EXPECT_EQ(collection->Add(CComVariant(5), truncated), E_ZO_EXCEPTION) << "a key is its text up to the zero";
    const EntryView entry = FirstErrorEntry();
    EXPECT_EQ(entry.code, OLESTR("53002"));
    EXPECT_EQ(entry.description, OLESTR("Enumerator key already exists."));
    EXPECT_EQ(DetailOf(entry, OLESTR("Key")), OLESTR("k"));
    EXPECT_EQ(CountOf(collection), 4);

    VARIANT_BOOL exists = VARIANT_FALSE;
    ASSERT_EQ(collection->KeyExists(nullKey, &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_TRUE);
    CComVariant value;
    ASSERT_EQ(collection->get_Item(CComVariant(OLESTR("")), &value), S_OK);
    EXPECT_EQ(value.lVal, 4);
}

TEST_F(LumoEnumTest, BadKeysAndIndexesLeaveTheCollectionUnchanged)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(collection->Add(CComVariant(i), MissingArgument()), S_OK);
    struct Case {
        const char* what;
        HRESULT (*call)(ILumoEnum*);
        const OLECHAR* code;
        const OLECHAR* type;
    };
    const Case cases[] = {
        {"integer key to Add", [](ILumoEnum* c) { return c->Add(CComVariant(1), CComVariant(5)); }, OLESTR("53001"),
         OLESTR("3")},
        {"16-bit key to KeyExists",
         [](ILumoEnum* c) {
             VARIANT_BOOL b;
             return c->KeyExists(CComVariant(SHORT(0)), &b);
         },
         OLESTR("53001"), OLESTR("2")},
        {"double index",
         [](ILumoEnum* c) {
             CComVariant v;
             return c->get_Item(CComVariant(2.0), &v);
         },
         OLESTR("53001"), OLESTR("5")},
        {"index past the end",
         [](ILumoEnum* c) {
             CComVariant v;
             return c->get_Item(CComVariant(5), &v);
         },
         OLESTR("-2147024809"), nullptr},
        {"negative Key", [](ILumoEnum* c) {
             CComVariant v;
             return c->get_Key(-1, &v);
         },
         OLESTR("-2147024809"), nullptr},
        {"Remove past the end", [](ILumoEnum* c) { return c->Remove(CComVariant(3)); }, OLESTR("-2147024809"), nullptr},
        {"by-reference index",
         [](ILumoEnum* c) {
             LONG index = 0;
             VARIANT reference;
             reference.vt = VT_BYREF | VT_I4;
             reference.plVal = &index;
             return c->Remove(reference);
         },
         OLESTR("53001"), OLESTR("16387")},
        {"index above 32 bits", [](ILumoEnum* c) { return c->Remove(CComVariant(ULONG(4000000000u))); },
         OLESTR("-2147352566"), nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(collection), E_ZO_EXCEPTION) << c.what;
        const EntryView entry = FirstErrorEntry();
        EXPECT_EQ(entry.code, OleString(c.code)) << c.what;
        if (c.type) {
            EXPECT_EQ(DetailOf(entry, OLESTR("Type")), OleString(c.type)) << c.what;
        }
        EXPECT_EQ(CountOf(collection), 3) << c.what;
    }
}

TEST_F(LumoEnumTest, AbsentKeysAreNotErrors)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(1), CComVariant(OLESTR("a"))), S_OK);
    CComVariant value(7);
    EXPECT_EQ(collection->get_Item(CComVariant(OLESTR("missing")), &value), S_FALSE);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(collection->put_Item(CComVariant(OLESTR("missing")), CComVariant(2)), S_FALSE);
    EXPECT_EQ(collection->Remove(CComVariant(OLESTR("missing"))), S_OK);
    CComPtr<ILumoItem> stranger = NewItem();
    EXPECT_EQ(collection->Remove(CComVariant(static_cast<IDispatch*>(stranger.p))), S_OK);
    EXPECT_EQ(CountOf(collection), 1);
}

TEST_F(LumoEnumTest, RemovalMovesLaterMembersDownWithTheirKeys)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    for (const OLECHAR* key : {OLESTR("a"), OLESTR("b"), OLESTR("c")})
        ASSERT_EQ(collection->Add(CComVariant(key), CComVariant(key)), S_OK);
    ASSERT_EQ(collection->Remove(CComVariant(0)), S_OK);
    CComVariant first, key;
    ASSERT_EQ(collection->get_Item(CComVariant(0), &first), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(first.bstrVal)), OLESTR("b"));
    ASSERT_EQ(collection->get_Key(1, &key), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(key.bstrVal)), OLESTR("c"));
    CComVariant byKey;
    ASSERT_EQ(collection->get_Item(CComVariant(OLESTR("c")), &byKey), S_OK) << "the index follows the move";
    EXPECT_EQ(OleString(ViewOfBstr(byKey.bstrVal)), OLESTR("c"));
    ASSERT_EQ(collection->Add(CComVariant(1), CComVariant(OLESTR("a"))), S_OK) << "a removed key is free again";

    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(item.p)), MissingArgument()), S_OK);
    ASSERT_EQ(collection->Remove(CComVariant(static_cast<IDispatch*>(item.p))), S_OK) << "by the object added";
    EXPECT_EQ(CountOf(collection), 3);
}

TEST_F(LumoEnumTest, StoredValues)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(INT(7), VT_INT), MissingArgument()), S_OK);
    LONG referenced = 9;
    VARIANT reference;
    reference.vt = VT_BYREF | VT_I4;
    reference.plVal = &referenced;
    ASSERT_EQ(collection->Add(reference, MissingArgument()), S_OK);
    referenced = 10;

    CComVariant first, second;
    ASSERT_EQ(collection->get_Item(CComVariant(0), &first), S_OK);
    EXPECT_EQ(first.vt, VT_I4) << "VT_INT is stored as VT_I4";
    EXPECT_EQ(first.lVal, 7);
    ASSERT_EQ(collection->get_Item(CComVariant(1), &second), S_OK);
    EXPECT_EQ(second.vt, VT_I4) << "a value by reference is stored as what it referred to";
    EXPECT_EQ(second.lVal, 9);
}

// An object of no library of ours, answering IDispatch only.
class ForeignObject : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&references); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    LONG references = 1;
};

TEST_F(LumoEnumTest, ForeignObjectsComeBackAsUnknown)
{
    ForeignObject foreign;
    {
        CComPtr<ILumoEnum> collection = NewEnum();
        ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(&foreign)), CComVariant(OLESTR("f"))), S_OK);
        CComVariant value;
        ASSERT_EQ(collection->get_Item(CComVariant(OLESTR("f")), &value), S_OK);
        ASSERT_EQ(value.vt, VT_UNKNOWN);
        CComPtr<IUnknown> identity;
        value.punkVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        EXPECT_EQ(identity.p, static_cast<IUnknown*>(&foreign));
        identity.Release();
        char address[32];
        std::snprintf(address, sizeof address, "%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(value.punkVal)));
        const OleString text = TextOf(collection);
        EXPECT_EQ(text, OleString(OLESTR("LumoEnum\nf: IUnknown object at 0x")) + OleString(address, address + std::strlen(address)) + OLESTR("\n"));
    }
    EXPECT_EQ(foreign.references, 1) << "the collection gave back every reference it took";
}

TEST_F(LumoEnumTest, ToStringTexts)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(5), CComVariant(OLESTR("a"))), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(OLESTR("x")), MissingArgument()), S_OK);
    EXPECT_EQ(TextOf(collection), OLESTR("LumoEnum\na: 5\nIndex 1: x\n"));
    EXPECT_EQ(TextOf(collection, CComVariant(OLESTR("1"))), OLESTR("LumoEnum\na: 5\nIndex 1: x\n"));

    CComPtr<ILumoEnum> outer = NewEnum();
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Contact"))), S_OK);
    ASSERT_EQ(outer->Add(CComVariant(static_cast<IDispatch*>(item.p)), CComVariant(OLESTR("a"))), S_OK);
    EXPECT_EQ(TextOf(outer, CComVariant(1)), OLESTR("    LumoEnum\n    a: \n        LumoItem\n        GUID: \n"
                                                     "        SchemaType: Contact\n            LumoEnumProperty\n"));
}

TEST_F(LumoEnumTest, CollectionContainingItselfFailsToPrint)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(collection.p)), MissingArgument()), S_OK);
    CComBSTR text;
    EXPECT_EQ(collection->ToString(MissingArgument(), &text), E_ZO_EXCEPTION);
    const EntryView entry = FirstErrorEntry();
    EXPECT_EQ(entry.code, OLESTR("1010"));
    EXPECT_EQ(DetailOf(entry, OLESTR("Reason")), OLESTR("The object contains itself."));
    ASSERT_EQ(collection->Clear(), S_OK) << "breaks the cycle, so that the collection is freed";
}

TEST_F(LumoEnumTest, AddAllMergesByKey)
{
    CComPtr<ILumoEnum> source = NewEnum();
    CComPtr<ILumoEnum> target = NewEnum();
    ASSERT_EQ(source->Add(CComVariant(1), CComVariant(OLESTR("a"))), S_OK);
    ASSERT_EQ(source->Add(CComVariant(2), CComVariant(OLESTR("b"))), S_OK);
    ASSERT_EQ(source->Add(CComVariant(3), MissingArgument()), S_OK);
    ASSERT_EQ(target->Add(CComVariant(20), CComVariant(OLESTR("b"))), S_OK);
    ASSERT_EQ(target->AddAll(source), S_OK);
    EXPECT_EQ(TextOf(target), OLESTR("LumoEnum\nb: 2\na: 1\nIndex 2: 3\n"));

    ASSERT_EQ(target->AddAll(nullptr), S_OK);
    ASSERT_EQ(source->AddAll(source), S_OK) << "into itself: ends, with the members it had";
    EXPECT_EQ(TextOf(source), OLESTR("LumoEnum\na: 1\nb: 2\nIndex 2: 3\nIndex 3: 3\n"));
}

TEST_F(LumoEnumTest, ForEachLateBoundSeesMembersAddedAfterItBegan)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(1), CComVariant(OLESTR("a"))), S_OK);
    CComQIPtr<IDispatch> dispatch(collection);
    DISPPARAMS none{};
    CComVariant result;
    ASSERT_EQ(dispatch->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                               &none, &result, nullptr, nullptr),
              S_OK);
    ASSERT_TRUE(result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH);
    CComQIPtr<IEnumVARIANT> enumerator(result.punkVal);
    ASSERT_TRUE(enumerator);
    ASSERT_EQ(collection->Add(CComVariant(2), MissingArgument()), S_OK);

    CComVariant elements[3];
    ULONG fetched = 0;
    EXPECT_EQ(enumerator->Next(3, elements, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(elements[0].lVal, 1);
    EXPECT_EQ(elements[1].lVal, 2);
}

TEST_F(LumoEnumTest, NullOutPointersGetPlainEPointer)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(collection->get_Item(CComVariant(0), nullptr), E_POINTER);
    EXPECT_EQ(collection->get__NewEnum(nullptr), E_POINTER);
    EXPECT_EQ(collection->get_Key(0, nullptr), E_POINTER);
    EXPECT_EQ(collection->get_Count(nullptr), E_POINTER);
    EXPECT_EQ(collection->KeyExists(CComVariant(OLESTR("k")), nullptr), E_POINTER);
    EXPECT_EQ(collection->Find(nullptr, nullptr, CComVariant(), nullptr), E_POINTER);
    EXPECT_EQ(collection->FindAll(nullptr, nullptr, CComVariant(), nullptr), E_POINTER);
    EXPECT_EQ(collection->ToString(MissingArgument(), nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

}  // namespace
