// LumoItem through its vtable: identifier and type, the lazily created collection, sharing,
// Clone, the derived changed flag and the texts.
#include <gtest/gtest.h>

#include "ItemsTestSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

using LumoItemTest = ComponentTest;

CComPtr<ILumoItem> NewItem()
{
    return CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
}

CComPtr<ILumoEnumProperty> PropertiesOf(ILumoItem* item)
{
    CComPtr<ILumoEnumProperty> properties;
    EXPECT_EQ(item->get_Properties(&properties), S_OK);
    return properties;
}

void AddProperty(ILumoItem* item, const OLECHAR* name, const VARIANT& value, const OLECHAR* nameSpace = OLESTR("urn:example"))
{
    EXPECT_EQ(PropertiesOf(item)->Add(value, CComBSTR(name), CComBSTR(nameSpace)), S_OK);
}

CComVariant PropertyValue(ILumoItem* item, const OLECHAR* name, const OLECHAR* nameSpace = OLESTR("urn:example"))
{
    CComVariant value;
    EXPECT_EQ(PropertiesOf(item)->get_Item(CComBSTR(name), CComBSTR(nameSpace), &value), S_OK);
    return value;
}

OleString TextOf(ILumoItemBase* object, const VARIANT& indent = MissingArgument())
{
    CComBSTR text;
    EXPECT_EQ(object->ToString(indent, &text), S_OK);
    return OleString(ViewOfBstr(text));
}

OleString GuidOf(ILumoItem* item)
{
    CComBSTR guid;
    EXPECT_EQ(item->get_GUID(&guid), S_OK);
    return guid.m_str ? OleString(ViewOfBstr(guid)) : OleString(OLESTR("<null>"));
}

bool ChangedOf(ILumoItem* item)
{
    VARIANT_BOOL changed = 7;
    EXPECT_EQ(item->get_Changed(&changed), S_OK);
    EXPECT_TRUE(changed == VARIANT_TRUE || changed == VARIANT_FALSE);
    return changed == VARIANT_TRUE;
}

TEST_F(LumoItemTest, NewItemHasNothing)
{
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_TRUE(item);
    EXPECT_EQ(GuidOf(item), OLESTR("<null>"));
    EXPECT_FALSE(ChangedOf(item));
    LONG count = -1;
    ASSERT_EQ(PropertiesOf(item)->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(TextOf(item), OLESTR("LumoItem\nGUID: \nSchemaType: \n    LumoEnumProperty\n"));
}

TEST_F(LumoItemTest, TextsAreStoredUpToTheFirstZero)
{
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(item->put_GUID(CComBSTR(OLESTR("hello"))), S_OK);
    EXPECT_EQ(GuidOf(item), OLESTR("hello"));
    const OLECHAR withZero[] = {'C', 0, 'x'};
    ASSERT_EQ(item->put_SchemaType(CComBSTR(3, withZero)), S_OK);
    CComBSTR schemaType;
    ASSERT_EQ(item->get_SchemaType(&schemaType), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(schemaType)), OLESTR("C"));
    ASSERT_EQ(item->put_GUID(nullptr), S_OK);
    EXPECT_EQ(GuidOf(item), OLESTR("<null>"));
}

TEST_F(LumoItemTest, ToStringTexts)
{
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(item->put_GUID(CComBSTR(OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}"))), S_OK);
    ASSERT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Contact"))), S_OK);
    AddProperty(item, OLESTR("Age"), CComVariant(42));
    EXPECT_EQ(TextOf(item), OLESTR("LumoItem\nGUID: {5A1B2C3D-0000-4000-8000-00000000002A}\nSchemaType: Contact\n"
                                   "    LumoEnumProperty\n    Age (urn:example): 42\n"));

    CComPtr<ILumoItem> contact = NewItem();
    CComPtr<ILumoItem> address = NewItem();
    ASSERT_EQ(contact->put_SchemaType(CComBSTR(OLESTR("Contact"))), S_OK);
    ASSERT_EQ(address->put_SchemaType(CComBSTR(OLESTR("PostalAddress"))), S_OK);
    AddProperty(address, OLESTR("City"), CComVariant(OLESTR("Lakeside")));
    AddProperty(contact, OLESTR("Address"), CComVariant(static_cast<IDispatch*>(address.p)));
    AddProperty(contact, OLESTR("Age"), CComVariant(42));
    EXPECT_EQ(TextOf(contact), OLESTR("LumoItem\n"
                                      "GUID: \n"
                                      "SchemaType: Contact\n"
                                      "    LumoEnumProperty\n"
                                      "    Address (urn:example): \n"
                                      "        LumoItem\n"
                                      "        GUID: \n"
                                      "        SchemaType: PostalAddress\n"
                                      "            LumoEnumProperty\n"
                                      "            City (urn:example): Lakeside\n"
                                      "\n"
                                      "    Age (urn:example): 42\n"));
    EXPECT_EQ(TextOf(item, CComVariant(OLESTR("2"))).substr(0, 9), OLESTR("LumoItem\n")) << "a text is no indent";
}

TEST_F(LumoItemTest, ChangedIsDerivedFromTheProperties)
{
    CComPtr<ILumoItem> item = NewItem();
    AddProperty(item, OLESTR("a"), CComVariant(1));
    EXPECT_TRUE(ChangedOf(item));
    ASSERT_EQ(item->put_Changed(VARIANT_FALSE), S_OK);
    EXPECT_FALSE(ChangedOf(item));
    AddProperty(item, OLESTR("b"), CComVariant(2));
    EXPECT_TRUE(ChangedOf(item));
    ASSERT_EQ(item->put_Changed(5), S_OK);
    VARIANT_BOOL flag = VARIANT_FALSE;
    ASSERT_EQ(PropertiesOf(item)->IsPropertyChanged(CComBSTR(OLESTR("a")), CComBSTR(OLESTR("urn:example")), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_TRUE);
}

TEST_F(LumoItemTest, PropertiesAreSharedAndReplaced)
{
    CComPtr<ILumoItem> first = NewItem();
    CComPtr<ILumoItem> second = NewItem();
    ASSERT_EQ(second->put_Properties(PropertiesOf(first)), S_OK);
    AddProperty(first, OLESTR("a"), CComVariant(1));
    EXPECT_EQ(PropertyValue(second, OLESTR("a")).lVal, 1) << "one collection, seen from both";

    ASSERT_EQ(second->put_Properties(nullptr), S_OK);
    LONG count = -1;
    ASSERT_EQ(PropertiesOf(second)->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0) << "a new empty collection after null";
}

TEST_F(LumoItemTest, CloneIntoANewItemIsOneLevelDeep)
{
    CComPtr<ILumoItem> source = NewItem();
    CComPtr<ILumoItem> nested = NewItem();
    ASSERT_EQ(source->put_GUID(CComBSTR(OLESTR("g"))), S_OK);
    ASSERT_EQ(source->put_SchemaType(CComBSTR(OLESTR("T"))), S_OK);
    AddProperty(source, OLESTR("text"), CComVariant(OLESTR("one")));
    AddProperty(source, OLESTR("nested"), CComVariant(static_cast<IDispatch*>(nested.p)));
    ASSERT_EQ(PropertiesOf(source)->SetPropertyChanged(CComBSTR(OLESTR("text")), CComBSTR(OLESTR("urn:example")),
                                                       VARIANT_FALSE),
              S_OK);

    CComPtr<ILumoItem> copy;
    ASSERT_EQ(source->Clone(MissingArgument(), &copy), S_OK);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.p, source.p);
    EXPECT_EQ(TextOf(copy), TextOf(source));
    VARIANT_BOOL flag = 7;
    ASSERT_EQ(PropertiesOf(copy)->IsPropertyChanged(CComBSTR(OLESTR("text")), CComBSTR(OLESTR("urn:example")), &flag), S_OK);
    EXPECT_EQ(flag, VARIANT_FALSE) << "flags are copied";

    AddProperty(copy, OLESTR("text"), CComVariant(OLESTR("two")));
    EXPECT_EQ(OleString(ViewOfBstr(PropertyValue(source, OLESTR("text")).bstrVal)), OLESTR("one"));
    EXPECT_EQ(PropertyValue(copy, OLESTR("nested")).pdispVal, static_cast<IDispatch*>(nested.p)) << "shared";
}

TEST_F(LumoItemTest, CloneTargets)
{
    CComPtr<ILumoItem> source = NewItem();
    ASSERT_EQ(source->put_GUID(CComBSTR(OLESTR("g"))), S_OK);
    AddProperty(source, OLESTR("a"), CComVariant(1));
    const OleString sourceText = TextOf(source);

    CComPtr<ILumoItem> target = NewItem();
    AddProperty(target, OLESTR("old"), CComVariant(9));
    CComPtr<ILumoItem> result;
    ASSERT_EQ(source->Clone(CComVariant(static_cast<IDispatch*>(target.p)), &result), S_OK);
    EXPECT_EQ(result.p, target.p);
    EXPECT_EQ(TextOf(target), sourceText) << "the old properties are gone";
    result.Release();

    CComPtr<ILumoEnum> notAnItem = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    ASSERT_EQ(source->Clone(CComVariant(static_cast<IDispatch*>(notAnItem.p)), &result), S_OK);
    EXPECT_NE(result.p, source.p);
    EXPECT_EQ(TextOf(result), sourceText);
    result.Release();

    ASSERT_EQ(source->Clone(CComVariant(static_cast<IDispatch*>(source.p)), &result), S_OK) << "into itself";
    EXPECT_EQ(result.p, source.p);
    EXPECT_EQ(TextOf(source), sourceText);
    result.Release();

    CComPtr<ILumoItem> sharing = NewItem();
    ASSERT_EQ(sharing->put_Properties(PropertiesOf(source)), S_OK);
    ASSERT_EQ(source->Clone(CComVariant(static_cast<IDispatch*>(sharing.p)), &result), S_OK)
        << "into an item that shares the collection";
    EXPECT_EQ(TextOf(source), sourceText);
}

TEST_F(LumoItemTest, ItemContainingItselfFailsToPrint)
{
    CComPtr<ILumoItem> item = NewItem();
    AddProperty(item, OLESTR("self"), CComVariant(static_cast<IDispatch*>(item.p)));
    CComBSTR text;
    EXPECT_EQ(item->ToString(MissingArgument(), &text), E_ZO_EXCEPTION);
    const auto entries = EntriesOfXml(TakeThreadErrorObject().description);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().code, OLESTR("1010"));
    ASSERT_EQ(PropertiesOf(item)->Clear(), S_OK) << "breaks the cycle";
}

TEST_F(LumoItemTest, NullOutPointersGetPlainEPointer)
{
    CComPtr<ILumoItem> item = NewItem();
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(item->get_GUID(nullptr), E_POINTER);
    EXPECT_EQ(item->get_SchemaType(nullptr), E_POINTER);
    EXPECT_EQ(item->get_Properties(nullptr), E_POINTER);
    EXPECT_EQ(item->get_Changed(nullptr), E_POINTER);
    EXPECT_EQ(item->Clone(MissingArgument(), nullptr), E_POINTER);
    EXPECT_EQ(item->ToString(MissingArgument(), nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

}  // namespace
