// Find and FindAll: items by a property's value, and by their own GUID in ItemNamespaceUri.
#include <gtest/gtest.h>

#include "ItemsTestSupport.h"

namespace {

using LumoEnumFindTest = ComponentTest;

// A collection of three items: GUIDs G1 to G3, property City in urn:a with the values
// Lakeside, Hilltop and Lakeside, and a number and a string without keys between them.
class Catalogue {
public:
    Catalogue()
    {
        collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
        const OLECHAR* cities[] = {OLESTR("Lakeside"), OLESTR("Hilltop"), OLESTR("Lakeside")};
        const OLECHAR* guids[] = {OLESTR("{AB-1}"), OLESTR("{AB-2}"), OLESTR("{AB-3}")};
        for (int i = 0; i < 3; ++i) {
            items[i] = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
            items[i]->put_GUID(CComBSTR(guids[i]));
            CComPtr<ILumoEnumProperty> properties;
            items[i]->get_Properties(&properties);
            properties->Add(CComVariant(cities[i]), CComBSTR(OLESTR("City")), CComBSTR(OLESTR("urn:a")));
            collection->Add(CComVariant(static_cast<IDispatch*>(items[i].p)), MissingArgument());
            collection->Add(CComVariant(i), MissingArgument());
        }
    }

    // The identity of the object found (the catalogue keeps it alive); null for none.
    IUnknown* Find(const OLECHAR* name, const OLECHAR* nameSpace, const VARIANT& value)
    {
        CComPtr<ILumoItemBase> found;
        EXPECT_EQ(collection->Find(CComBSTR(name), CComBSTR(nameSpace), value, &found), S_OK);
        return found ? IdentityOf(found) : nullptr;
    }

    IUnknown* Identity(int i) { return IdentityOf(items[i]); }

    static IUnknown* IdentityOf(IUnknown* object)
    {
        CComPtr<IUnknown> identity;
        object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        return identity.p;
    }

    CComPtr<ILumoEnum> collection;
    CComPtr<ILumoItem> items[3];
};

TEST_F(LumoEnumFindTest, FindsTheFirstItemWithThePropertyValue)
{
    Catalogue catalogue;
    EXPECT_EQ(catalogue.Find(OLESTR("City"), OLESTR("urn:a"), CComVariant(OLESTR("Hilltop"))), catalogue.Identity(1));
    EXPECT_EQ(catalogue.Find(OLESTR("City"), OLESTR("urn:a"), CComVariant(OLESTR("Lakeside"))), catalogue.Identity(0));
    EXPECT_EQ(catalogue.Find(OLESTR("City"), OLESTR("urn:a"), CComVariant(OLESTR("lakeside"))), static_cast<IUnknown*>(nullptr))
        << "values compare exactly";
    EXPECT_EQ(catalogue.Find(OLESTR("City"), OLESTR("urn:b"), CComVariant(OLESTR("Hilltop"))), nullptr);
    EXPECT_EQ(catalogue.Find(OLESTR("City"), OLESTR("urn:a"), CComVariant()), nullptr) << "empty never matches";
}

TEST_F(LumoEnumFindTest, NumbersMatchOnlyTheirOwnType)
{
    Catalogue catalogue;
    CComPtr<ILumoEnumProperty> properties;
    catalogue.items[2]->get_Properties(&properties);
    properties->Add(CComVariant(5), CComBSTR(OLESTR("Size")), CComBSTR(OLESTR("urn:a")));
    EXPECT_EQ(catalogue.Find(OLESTR("Size"), OLESTR("urn:a"), CComVariant(5)), catalogue.Identity(2));
    EXPECT_EQ(catalogue.Find(OLESTR("Size"), OLESTR("urn:a"), CComVariant(INT(5), VT_INT)), catalogue.Identity(2))
        << "VT_INT reads as VT_I4";
    EXPECT_EQ(catalogue.Find(OLESTR("Size"), OLESTR("urn:a"), CComVariant(SHORT(5))), nullptr);
}

TEST_F(LumoEnumFindTest, GuidInTheItemNamespaceMatchesTheItemsOwnGuid)
{
    Catalogue catalogue;
    EXPECT_EQ(catalogue.Find(OLESTR("GUID"), ItemNamespaceUri, CComVariant(OLESTR("{ab-2}"))), catalogue.Identity(1));
    EXPECT_EQ(catalogue.Find(OLESTR("guid"), ItemNamespaceUri, CComVariant(OLESTR("{AB-2}"))), static_cast<IUnknown*>(nullptr))
        << "the name compares exactly";
    EXPECT_EQ(catalogue.Find(OLESTR("GUID"), OLESTR("urn:a"), CComVariant(OLESTR("{AB-2}"))), static_cast<IUnknown*>(nullptr))
        << "another namespace searches the properties named GUID";

    CComPtr<ILumoEnumProperty> properties;
    catalogue.items[0]->get_Properties(&properties);
    properties->Add(CComVariant(OLESTR("{AB-2}")), CComBSTR(OLESTR("GUID")), CComBSTR(OLESTR("urn:a")));
    EXPECT_EQ(catalogue.Find(OLESTR("GUID"), OLESTR("urn:a"), CComVariant(OLESTR("{AB-2}"))), catalogue.Identity(0));
}

TEST_F(LumoEnumFindTest, NullStringsFindNothing)
{
    Catalogue catalogue;
    CComPtr<ILumoItemBase> found;
    EXPECT_EQ(catalogue.collection->Find(nullptr, nullptr, CComVariant(OLESTR("Hilltop")), &found), S_OK);
    EXPECT_FALSE(found);
    CComVariant nullText;
    nullText.vt = VT_BSTR;
    nullText.bstrVal = nullptr;
    EXPECT_EQ(catalogue.collection->Find(CComBSTR(OLESTR("GUID")), CComBSTR(ItemNamespaceUri), nullText, &found), S_OK);
    EXPECT_FALSE(found);
}

TEST_F(LumoEnumFindTest, FindAllCollectsEveryMatchInOrder)
{
    Catalogue catalogue;
    CComPtr<ILumoEnum> all;
    ASSERT_EQ(catalogue.collection->FindAll(CComBSTR(OLESTR("City")), CComBSTR(OLESTR("urn:a")),
                                            CComVariant(OLESTR("Lakeside")), &all),
              S_OK);
    ASSERT_TRUE(all);
    LONG count = 0;
    ASSERT_EQ(all->get_Count(&count), S_OK);
    ASSERT_EQ(count, 2);
    for (LONG i = 0; i < 2; ++i) {
        CComVariant member, key;
        ASSERT_EQ(all->get_Item(CComVariant(i), &member), S_OK);
        EXPECT_EQ(member.vt, VT_UNKNOWN);
        CComPtr<IUnknown> identity;
        member.punkVal->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        EXPECT_EQ(identity.p, catalogue.Identity(i * 2));
        ASSERT_EQ(all->get_Key(i, &key), S_OK);
        EXPECT_EQ(key.vt, VT_ERROR) << "no key";
    }

    CComPtr<ILumoEnum> none;
    ASSERT_EQ(catalogue.collection->FindAll(CComBSTR(OLESTR("City")), CComBSTR(OLESTR("urn:a")),
                                            CComVariant(OLESTR("Nowhere")), &none),
              S_OK);
    ASSERT_TRUE(none) << "an empty collection, not null";
    ASSERT_EQ(none->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(LumoEnumFindTest, PropertyCollectionsAsMembersAreSearchedToo)
{
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    CComPtr<ILumoEnumProperty> properties = CreateByProgId<ILumoEnumProperty>(OLESTR("LumoItems.LumoEnumProperty"));
    properties->Add(CComVariant(1), CComBSTR(OLESTR("n")), CComBSTR(OLESTR("ns")));
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(properties.p)), MissingArgument()), S_OK);
    CComPtr<ILumoItemBase> found;
    ASSERT_EQ(collection->Find(CComBSTR(OLESTR("n")), CComBSTR(OLESTR("ns")), CComVariant(1), &found), S_OK);
    CComPtr<IUnknown> identity, expected;
    ASSERT_TRUE(found);
    found->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    properties->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&expected));
    EXPECT_EQ(identity.p, expected.p);
}

}  // namespace
