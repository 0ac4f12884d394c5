// The item and collection documents: the exact texts written, loading them back, the readers'
// errors and the state they leave, nesting, and documents that must not harm the reader.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "ItemsTestSupport.h"
#include "ZoException.h"
#include "ZoFormat.h"
#include "ZoVariant.h"
#include "ZoTestSupport.h"

namespace {

using ItemXmlTest = ComponentTest;

const OLECHAR kExample[] = OLESTR("urn:example");

CComPtr<ILumoItem> NewItem()
{
    return CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
}

CComPtr<ILumoEnum> NewEnum()
{
    return CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
}

CComPtr<ILumoEnumProperty> PropertiesOf(ILumoItem* item)
{
    CComPtr<ILumoEnumProperty> properties;
    EXPECT_EQ(item->get_Properties(&properties), S_OK);
    return properties;
}

void SetProperty(ILumoItem* item, const OLECHAR* name, const VARIANT& value, bool changed,
                 const OLECHAR* nameSpace = kExample)
{
    CComPtr<ILumoEnumProperty> properties = PropertiesOf(item);
    ASSERT_EQ(properties->Add(value, CComBSTR(name), CComBSTR(nameSpace)), S_OK);
    ASSERT_EQ(properties->SetPropertyChanged(CComBSTR(name), CComBSTR(nameSpace), changed ? VARIANT_TRUE : VARIANT_FALSE),
              S_OK);
}

CComVariant ValueOf(ILumoItem* item, const OLECHAR* name, const OLECHAR* nameSpace = kExample)
{
    CComVariant value;
    EXPECT_EQ(PropertiesOf(item)->get_Item(CComBSTR(name), CComBSTR(nameSpace), &value), S_OK);
    return value;
}

LONG CountOf(ILumoEnumProperty* properties)
{
    LONG count = -1;
    EXPECT_EQ(properties->get_Count(&count), S_OK);
    return count;
}

OleString SavedText(ILumoItemBase* object)
{
    CComBSTR xml;
    EXPECT_EQ(object->SaveXML(&xml), S_OK) << ZoOleToAnsi(TakeThreadErrorObject().description);
    return OleString(ViewOfBstr(xml));
}

HRESULT Load(ILumoItemBase* object, const OleString& xml)
{
    return object->LoadXML(CComBSTR(OleStringView(xml)));
}

OleString TextOf(ILumoItemBase* object)
{
    CComBSTR text;
    EXPECT_EQ(object->ToString(MissingArgument(), &text), S_OK);
    return OleString(ViewOfBstr(text));
}

OleString GuidOf(ILumoItem* item)
{
    CComBSTR guid;
    EXPECT_EQ(item->get_GUID(&guid), S_OK);
    return OleString(ViewOfBstr(guid));
}

size_t CountOfDetail(const EntryView& entry, const OLECHAR* name)
{
    size_t count = 0;
    for (const auto& detail : entry.details)
        count += detail.first == name ? 1 : 0;
    return count;
}

const OleString kContactXml = OLESTR(
    "<item progid=\"LumoItemsLib::LumoItem\" guid=\"{5A1B2C3D-0000-4000-8000-00000000002A}\" itemtype=\"Contact\">"
    "<property name=\"Address\" namespace=\"urn:example\" changed=\"0\">"
    "<item progid=\"LumoItemsLib::LumoItem\" itemtype=\"PostalAddress\">"
    "<property name=\"City\" namespace=\"urn:example\" changed=\"1\" type=\"string\">Lakeside</property></item>"
    "</property>"
    "<property name=\"Age\" namespace=\"urn:example\" changed=\"1\" type=\"integer\">42</property>"
    "<property name=\"Name\" namespace=\"urn:example\" changed=\"0\" type=\"string\">Anna</property></item>");

CComPtr<ILumoItem> NewContact()
{
    CComPtr<ILumoItem> address = NewItem();
    EXPECT_EQ(address->put_SchemaType(CComBSTR(OLESTR("PostalAddress"))), S_OK);
    SetProperty(address, OLESTR("City"), CComVariant(OLESTR("Lakeside")), true);

    CComPtr<ILumoItem> contact = NewItem();
    EXPECT_EQ(contact->put_GUID(CComBSTR(OLESTR("5a1b2c3d-0000-4000-8000-00000000002a"))), S_OK);
    EXPECT_EQ(contact->put_SchemaType(CComBSTR(OLESTR("Contact"))), S_OK);
    SetProperty(contact, OLESTR("Name"), CComVariant(OLESTR("Anna")), false);
    SetProperty(contact, OLESTR("Age"), CComVariant(LONG(42)), true);
    SetProperty(contact, OLESTR("Address"), CComVariant(static_cast<IUnknown*>(address.p)), false);
    return contact;
}

TEST_F(ItemXmlTest, TheExampleItemIsWrittenTextForTextAndReadsBack)
{
    CComPtr<ILumoItem> contact = NewContact();
    EXPECT_EQ(SavedText(contact), kContactXml + OLESTR("\r\n"));

    CComPtr<ILumoItem> loaded = NewItem();
    ASSERT_EQ(Load(loaded, kContactXml), S_OK);
    EXPECT_EQ(GuidOf(loaded), OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}"));
    ASSERT_EQ(contact->put_GUID(CComBSTR(OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}"))), S_OK);
    EXPECT_EQ(TextOf(loaded), TextOf(contact));
    EXPECT_EQ(SavedText(loaded), kContactXml + OLESTR("\r\n")) << "same properties, flags, order and nesting";
    const CComVariant address = ValueOf(loaded, OLESTR("Address"));
    EXPECT_EQ(address.vt, VT_UNKNOWN);
    EXPECT_EQ(ValueOf(loaded, OLESTR("Age")).vt, VT_I4);
}

TEST_F(ItemXmlTest, TheExampleCollectionIsWrittenTextForTextAndReadsBackWithoutKeys)
{
    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IUnknown*>(NewContact().p)), CComVariant(OLESTR("anna"))), S_OK);
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IUnknown*>(NewItem().p)), MissingArgument()), S_OK);
    const OleString expected = OLESTR("<enum progid=\"LumoItemsLib::LumoEnum\">") + kContactXml +
                               OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/></enum>");
    EXPECT_EQ(SavedText(collection), expected + OLESTR("\r\n"));

    CComPtr<ILumoEnum> loaded = NewEnum();
    ASSERT_EQ(Load(loaded, expected), S_OK);
    LONG count = 0;
    ASSERT_EQ(loaded->get_Count(&count), S_OK);
    ASSERT_EQ(count, 2);
    CComVariant key;
    ASSERT_EQ(loaded->get_Key(0, &key), S_OK);
    EXPECT_EQ(key.vt, VT_ERROR) << "loaded without keys";
    EXPECT_EQ(SavedText(loaded), expected + OLESTR("\r\n"));
}

TEST_F(ItemXmlTest, GuidAttributeIsTheCanonicalFormOfAValidGuidOnly)
{
    struct Case {
        const OLECHAR* stored;
        const OLECHAR* written;  // nullptr: no attribute
    };
    const Case cases[] = {
        {OLESTR("5a1b2c3d-0000-4000-8000-00000000002a"), OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}")},
        {OLESTR("{5a1b2c3d-0000-4000-8000-00000000002a}"), OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}")},
        {OLESTR("00000000-0000-0000-0000-000000000000"), nullptr},
        {OLESTR(""), nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoItem> item = NewItem();
        ASSERT_EQ(item->put_GUID(CComBSTR(c.stored)), S_OK);
        const OleString expected = c.written ? OleString(OLESTR("<item progid=\"LumoItemsLib::LumoItem\" guid=\"")) +
                                                   c.written + OLESTR("\"/>\r\n")
                                             : OleString(OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>\r\n"));
        EXPECT_EQ(SavedText(item), expected) << ZoOleToAnsi(c.stored ? c.stored : OLESTR("null"));
    }

    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(item->put_GUID(CComBSTR(OLESTR("not a guid"))), S_OK);
    CComBSTR xml;
    EXPECT_EQ(item->SaveXML(&xml), E_ZO_EXCEPTION);
    EXPECT_EQ(xml.m_str, nullptr);
    EXPECT_FALSE(FirstErrorEntry().code.empty());
}

TEST_F(ItemXmlTest, AbsentAttributesLeaveIdentifierAndTypeAndLoadingReplacesEveryProperty)
{
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(item->put_GUID(CComBSTR(OLESTR("kept"))), S_OK);
    ASSERT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Kept"))), S_OK);
    SetProperty(item, OLESTR("Old"), CComVariant(LONG(1)), false);
    ASSERT_EQ(Load(item, OLESTR("<item progid=\"LumoItemsLib::LumoItem\">"
                                "<property name=\"New\" namespace=\"\" type=\"string\">x</property></item>")),
              S_OK);
    EXPECT_EQ(GuidOf(item), OLESTR("kept"));
    CComBSTR schemaType;
    ASSERT_EQ(item->get_SchemaType(&schemaType), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(schemaType)), OLESTR("Kept"));
    CComPtr<ILumoEnumProperty> properties = PropertiesOf(item);
    EXPECT_EQ(CountOf(properties), 1);
    VARIANT_BOOL exists = VARIANT_TRUE;
    ASSERT_EQ(properties->KeyExists(CComBSTR(OLESTR("Old")), CComBSTR(kExample), &exists), S_OK);
    EXPECT_EQ(exists, VARIANT_FALSE);
}

TEST_F(ItemXmlTest, ChangedAttributeSetsTheFlagOnlyForALeadingOne)
{
    struct Case {
        const OLECHAR* attribute;  // the whole attribute, or empty for none
        VARIANT_BOOL changed;
    };
    const Case cases[] = {
        {OLESTR(""), VARIANT_TRUE},
        {OLESTR(" changed=\"0\""), VARIANT_FALSE},
        {OLESTR(" changed=\"false\""), VARIANT_FALSE},
        {OLESTR(" changed=\"\""), VARIANT_FALSE},
        {OLESTR(" changed=\"1\""), VARIANT_TRUE},
        {OLESTR(" changed=\"10\""), VARIANT_TRUE},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoItem> item = NewItem();
        ASSERT_EQ(Load(item, OleString(OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"A\" "
                                              "namespace=\"n\"")) +
                                 c.attribute + OLESTR(" type=\"string\">x</property></item>")),
                  S_OK);
        VARIANT_BOOL changed = 7;
        ASSERT_EQ(PropertiesOf(item)->IsPropertyChanged(CComBSTR(OLESTR("A")), CComBSTR(OLESTR("n")), &changed), S_OK);
        EXPECT_EQ(changed, c.changed) << ZoOleToAnsi(c.attribute);
    }
}

TEST_F(ItemXmlTest, EmptyAndNullValuesAreLeftOutAndNullNamesWrittenEmpty)
{
    CComPtr<ILumoItem> item = NewItem();
    SetProperty(item, OLESTR("Empty"), CComVariant(), true);
    CComVariant null;
    null.vt = VT_NULL;
    SetProperty(item, OLESTR("Null"), null, true);
    CComPtr<ILumoEnumProperty> properties = PropertiesOf(item);
    ASSERT_EQ(properties->Add(CComVariant(true), CComBSTR(OLESTR("Flag")), CComBSTR()), S_OK);
    EXPECT_EQ(SavedText(item), OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"Flag\" namespace=\"\" "
                                      "changed=\"1\" type=\"boolean\">true</property></item>\r\n"));
}

// 100 bytes: 0, 7, 14 and on, modulo 256.
CComVariant HundredBytes()
{
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 100);
    EXPECT_TRUE(bytes);
    for (LONG i = 0; i < 100; ++i) {
        BYTE value = static_cast<BYTE>(i * 7);
        EXPECT_EQ(SafeArrayPutElement(bytes, &i, &value), S_OK);
    }
    CComVariant binary;
    binary.vt = VT_ARRAY | VT_UI1;
    binary.parray = bytes;
    return binary;
}

// "a b" and "c".
CComVariant TwoStrings()
{
    SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
    for (LONG i = 0; i < 2; ++i) {
        CComBSTR piece(i == 0 ? OLESTR("a b") : OLESTR("c"));
        EXPECT_EQ(SafeArrayPutElement(strings, &i, piece.m_str), S_OK);
    }
    CComVariant stringList;
    stringList.vt = VT_ARRAY | VT_BSTR;
    stringList.parray = strings;
    return stringList;
}

// The smallest 32-bit integer, 1000 and 2000.
CComVariant ThreeIntegers()
{
    SAFEARRAY* integers = SafeArrayCreateVector(VT_I4, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        LONG value = i == 0 ? -2147483647L - 1 : i * 1000;
        EXPECT_EQ(SafeArrayPutElement(integers, &i, &value), S_OK);
    }
    CComVariant integerList;
    integerList.vt = VT_ARRAY | VT_I4;
    integerList.parray = integers;
    return integerList;
}

const OLECHAR kControlText[] = {' ', 'a', 0x01, 'b', '\t', ' ', 0};

// A value of each XML Schema type as a property, the type it reads back as, and the text
// the library writes for it.
struct RoundTrip {
    const OLECHAR* name;
    CComVariant (*value)();
    VARTYPE loadedType;
    const OLECHAR* xsdType;
    const OLECHAR* xsdText;
};

const RoundTrip kRoundTrips[] = {
    {OLESTR("Short"), [] { return CComVariant(static_cast<short>(-7)); }, VT_I4, OLESTR("integer"), OLESTR("-7")},
    {OLESTR("MaxI4"), [] { return CComVariant(LONG(2147483647)); }, VT_I4, OLESTR("integer"), OLESTR("2147483647")},
    {OLESTR("MinI4"), [] { return CComVariant(LONG(-2147483647 - 1)); }, VT_I4, OLESTR("integer"),
     OLESTR("-2147483648")},
    {OLESTR("AboveI4"), [] { return CComVariant(2147483648LL); }, VT_I8, OLESTR("integer"), OLESTR("2147483648")},
    {OLESTR("MaxI8"), [] { return CComVariant(9223372036854775807LL); }, VT_I8, OLESTR("integer"),
     OLESTR("9223372036854775807")},
    {OLESTR("MaxUI8"), [] { return CComVariant(ULONGLONG(~0ULL)); }, VT_UI8, OLESTR("integer"),
     OLESTR("18446744073709551615")},
    {OLESTR("Decimal"), [] { return CComVariant(0.125); }, VT_R8, OLESTR("decimal"), OLESTR("0.125000000000000")},
    {OLESTR("True"), [] { return CComVariant(true); }, VT_BOOL, OLESTR("boolean"), OLESTR("true")},
    {OLESTR("False"), [] { return CComVariant(false); }, VT_BOOL, OLESTR("boolean"), OLESTR("false")},
    // 15 March 2023, noon.
    {OLESTR("Date"), [] { return CComVariant(45000.5, VT_DATE); }, VT_DATE, OLESTR("dateTime"),
     OLESTR("2023-03-15T12:00:00Z")},
    {OLESTR("Spaces"), [] { return CComVariant(OLESTR("  both ends \r\n")); }, VT_BSTR, OLESTR("string"),
     OLESTR("  both ends \r\n")},
    {OLESTR("Markup"), [] { return CComVariant(OLESTR("<a href=\"x\">&amp;</a>")); }, VT_BSTR, OLESTR("string"),
     OLESTR("<a href=\"x\">&amp;</a>")},
    {OLESTR("Control"), [] { return CComVariant(kControlText); }, VT_BSTR, OLESTR("string"), OLESTR(" a_b\t ")},
    {OLESTR("Empty"), [] { return CComVariant(OLESTR("")); }, VT_BSTR, OLESTR("string"), OLESTR("")},
    {OLESTR("Binary"), HundredBytes, VT_ARRAY | VT_UI1, OLESTR("base64binary"),
     OLESTR("AAcOFRwjKjE4P0ZNVFtiaXB3foWMk5qhqK+2vcTL0tng5+71/AMKERgfJi00O0JJUFdeZWxzeoGIj5adpKuyucDHztXc4+rx+P8GDRQb"
            "IikwNz5FTFNaYWhvdn2Ei5KZoKeutQ==")},
    {OLESTR("Strings"), TwoStrings, VT_ARRAY | VT_BSTR, OLESTR("stringlist"), OLESTR("a b,c")},
    {OLESTR("Integers"), ThreeIntegers, VT_ARRAY | VT_I4, OLESTR("integerlist"), OLESTR("-2147483648,1000,2000")},
};

// Each XML Schema type through a save and a load, as the conversions rebuild it.
TEST_F(ItemXmlTest, EveryValueTypeRoundTrips)
{
    CComPtr<ILumoItem> item = NewItem();
    for (const RoundTrip& c : kRoundTrips)
        SetProperty(item, c.name, c.value(), false);
    const OleString xml = SavedText(item);
    CComPtr<ILumoItem> loaded = NewItem();
    ASSERT_EQ(Load(loaded, xml), S_OK);
    for (const RoundTrip& c : kRoundTrips) {
        const CComVariant value = ValueOf(loaded, c.name);
        EXPECT_EQ(value.vt, c.loadedType) << ZoOleToAnsi(c.name);
        OleString type;
        EXPECT_EQ(CZoVariant::ToXSDString(value, type), c.xsdText) << ZoOleToAnsi(c.name);
        EXPECT_EQ(type, c.xsdType) << ZoOleToAnsi(c.name);
    }
    EXPECT_EQ(SavedText(loaded), xml);
}

TEST_F(ItemXmlTest, CollectionInsideAnItemInsideACollection)
{
    CComPtr<ILumoItem> inner = NewItem();
    SetProperty(inner, OLESTR("Leaf"), CComVariant(OLESTR("deep")), true);
    CComPtr<ILumoEnum> members = NewEnum();
    ASSERT_EQ(members->Add(CComVariant(static_cast<IUnknown*>(inner.p)), CComVariant(OLESTR("k"))), S_OK);
    CComPtr<ILumoItem> holder = NewItem();
    SetProperty(holder, OLESTR("Members"), CComVariant(static_cast<IUnknown*>(members.p)), false);
    CComPtr<ILumoEnum> outer = NewEnum();
    ASSERT_EQ(outer->Add(CComVariant(static_cast<IUnknown*>(holder.p)), MissingArgument()), S_OK);

    const OleString xml = SavedText(outer);
    EXPECT_EQ(xml, OLESTR("<enum progid=\"LumoItemsLib::LumoEnum\"><item progid=\"LumoItemsLib::LumoItem\">"
                          "<property name=\"Members\" namespace=\"urn:example\" changed=\"0\">"
                          "<enum progid=\"LumoItemsLib::LumoEnum\"><item progid=\"LumoItemsLib::LumoItem\">"
                          "<property name=\"Leaf\" namespace=\"urn:example\" changed=\"1\" type=\"string\">deep"
                          "</property></item></enum></property></item></enum>\r\n"));
    CComPtr<ILumoEnum> loaded = NewEnum();
    ASSERT_EQ(Load(loaded, xml), S_OK);
    EXPECT_EQ(SavedText(loaded), xml);
    CComVariant first;
    ASSERT_EQ(loaded->get_Item(CComVariant(LONG(0)), &first), S_OK);
    CComPtr<ILumoItem> loadedHolder;
    ASSERT_EQ(first.punkVal->QueryInterface(IID_ILumoItem, reinterpret_cast<void**>(&loadedHolder)), S_OK);
    const CComVariant nested = ValueOf(loadedHolder, OLESTR("Members"));
    ASSERT_EQ(nested.vt, VT_UNKNOWN);
    CComPtr<ILumoEnum> loadedMembers;
    EXPECT_EQ(nested.punkVal->QueryInterface(IID_ILumoEnum, reinterpret_cast<void**>(&loadedMembers)), S_OK);
}

// A document the reader refuses: the code it raises, a detail it carries, and whether the
// item is left as it was (failures before the identifier and type are read).
TEST_F(ItemXmlTest, ItemReaderErrors)
{
    const OLECHAR* const head = OLESTR("<item progid=\"LumoItemsLib::LumoItem\" itemtype=\"New\">");
    struct Case {
        const char* what;
        OleString xml;
        const OLECHAR* code;
        const OLECHAR* detailName;
        const OLECHAR* detailValue;
        bool unchanged;
    };
    const Case cases[] = {
        {"not XML", OLESTR("<item"), OLESTR("2003"), nullptr, nullptr, true},
        {"empty text", OLESTR(""), OLESTR("2003"), nullptr, nullptr, true},
        {"a collection's root", OLESTR("<enum progid=\"LumoItemsLib::LumoEnum\"/>"), OLESTR("-2147467261"), nullptr,
         nullptr, true},
        {"progid in other case", OLESTR("<item progid=\"lumoitemslib::lumoitem\"/>"), OLESTR("53003"), nullptr,
         nullptr, true},
        {"no progid", OLESTR("<item/>"), OLESTR("53003"), nullptr, nullptr, true},
        {"no name", OleString(head) + OLESTR("<property namespace=\"\" type=\"string\">x</property></item>"),
         OLESTR("2003"), nullptr, nullptr, false},
        {"no namespace", OleString(head) + OLESTR("<property name=\"a\" type=\"string\">x</property></item>"),
         OLESTR("2003"), nullptr, nullptr, false},
        {"no type", OleString(head) + OLESTR("<property name=\"a\" namespace=\"\">x</property></item>"), OLESTR("2003"),
         nullptr, nullptr, false},
        {"unknown type", OleString(head) + OLESTR("<property name=\"a\" namespace=\"\" type=\"float\">1</property></item>"),
         OLESTR("2018"), OLESTR("XSDType"), OLESTR("float"), false},
        {"unknown nested progid",
         OleString(head) + OLESTR("<property name=\"a\" namespace=\"\"><x progid=\"Other.Thing\"/></property></item>"),
         OLESTR("53004"), OLESTR("progid"), OLESTR("Other.Thing"), false},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoItem> item = NewItem();
        ASSERT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Old"))), S_OK);
        SetProperty(item, OLESTR("Old"), CComVariant(LONG(1)), false);
        const OleString before = TextOf(item);
        EXPECT_EQ(Load(item, c.xml), E_ZO_EXCEPTION) << c.what;
        const EntryView raised = FirstErrorEntry();
        EXPECT_EQ(raised.code, c.code) << c.what;
        EXPECT_EQ(DetailOf(raised, OLESTR("ItemXML")), c.xml) << c.what;
        if (c.detailName) {
            EXPECT_EQ(DetailOf(raised, c.detailName), c.detailValue) << c.what;
        }
        if (c.unchanged) {
            EXPECT_EQ(TextOf(item), before) << c.what;
        } else {
            EXPECT_NE(TextOf(item), before) << c.what << ": loading had begun";
        }
    }
}

TEST_F(ItemXmlTest, ANestedItemsErrorNamesTheNestedTextOnce)
{
    const OleString nested = OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"b\" namespace=\"\">"
                                    "x</property></item>");
    const OleString xml = OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"a\" namespace=\"\">") +
                          nested + OLESTR("</property></item>");
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(Load(item, xml), E_ZO_EXCEPTION);
    const EntryView raised = FirstErrorEntry();
    EXPECT_EQ(raised.code, OLESTR("2003"));
    EXPECT_EQ(CountOfDetail(raised, OLESTR("ItemXML")), 1u);
    EXPECT_EQ(DetailOf(raised, OLESTR("ItemXML")), nested);
}

TEST_F(ItemXmlTest, TheInputDetailIsCutAfter64KiB)
{
    const OleString xml = OLESTR("<item progid=\"x\">") + OleString(100000, OLECHAR('a')) + OLESTR("</item>");
    CComPtr<ILumoItem> item = NewItem();
    ASSERT_EQ(Load(item, xml), E_ZO_EXCEPTION);
    const OleString detail = DetailOf(FirstErrorEntry(), OLESTR("ItemXML"));
    EXPECT_EQ(detail.substr(0, 65536), xml.substr(0, 65536));
    EXPECT_EQ(detail.substr(65536), OLESTR("... [cut: ") + Decimal(static_cast<long long>(xml.size() - 65536)) +
                                        OLESTR(" more characters]"));
}

TEST_F(ItemXmlTest, WriterErrorsNameTheProperty)
{
    CComPtr<ILumoItem> item = NewItem();
    CComPtr<ILumoProperty> property = NewProperty();
    SetProperty(item, OLESTR("Holder"), CComVariant(static_cast<IUnknown*>(property.p)), true, OLESTR("urn:n"));
    CComBSTR xml;
    ASSERT_EQ(item->SaveXML(&xml), E_ZO_EXCEPTION);
    const EntryView raised = FirstErrorEntry();
    EXPECT_EQ(raised.code, OLESTR("1012"));
    EXPECT_EQ(DetailOf(raised, OLESTR("PropName")), OLESTR("Holder"));
    EXPECT_EQ(DetailOf(raised, OLESTR("PropNamespace")), OLESTR("urn:n"));

    CComPtr<ILumoItem> withCurrency = NewItem();
    CComVariant currency;
    currency.vt = VT_CY;
    currency.cyVal.int64 = 10000;
    SetProperty(withCurrency, OLESTR("Price"), currency, true);
    ASSERT_EQ(withCurrency->SaveXML(&xml), E_ZO_EXCEPTION);
    const EntryView unsupported = FirstErrorEntry();
    EXPECT_EQ(unsupported.code, OLESTR("2017"));
    EXPECT_EQ(DetailOf(unsupported, OLESTR("PropName")), OLESTR("Price"));
}

TEST_F(ItemXmlTest, CollectionWriterAndReaderErrors)
{
    CComPtr<ILumoEnum> withText = NewEnum();
    ASSERT_EQ(withText->Add(CComVariant(OLESTR("text")), MissingArgument()), S_OK);
    CComBSTR xml;
    EXPECT_EQ(withText->SaveXML(&xml), E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, OLESTR("1012"));
    CComPtr<ILumoEnum> withCollection = NewEnum();
    ASSERT_EQ(withCollection->Add(CComVariant(static_cast<IUnknown*>(NewEnum().p)), MissingArgument()), S_OK);
    EXPECT_EQ(withCollection->SaveXML(&xml), E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, OLESTR("1012"));

    CComPtr<ILumoEnum> collection = NewEnum();
    ASSERT_EQ(collection->Add(CComVariant(LONG(1)), CComVariant(OLESTR("old"))), S_OK);
    EXPECT_EQ(Load(collection, OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>")), E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, Decimal(E_POINTER));
    EXPECT_EQ(Load(collection, OLESTR("<enum")), E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, OLESTR("2003"));
    LONG count = 0;
    ASSERT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1) << "unchanged by failures before its members are removed";

    EXPECT_EQ(Load(collection, OLESTR("<enum> text <!-- note --><?pi x?><item progid=\"LumoItemsLib::LumoItem\"/>"
                                      "<foo/><item progid=\"LumoItemsLib::LumoItem\"/></enum>")),
              E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, OLESTR("1012"));
    ASSERT_EQ(collection->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1) << "keeps the item read before the foreign element";
}

TEST_F(ItemXmlTest, ObjectsThatContainThemselvesFailToSave)
{
    CComPtr<ILumoItem> item = NewItem();
    SetProperty(item, OLESTR("Self"), CComVariant(static_cast<IUnknown*>(item.p)), true);
    CComBSTR xml;
    EXPECT_EQ(item->SaveXML(&xml), E_ZO_EXCEPTION);
    EXPECT_EQ(DetailOf(FirstErrorEntry(), OLESTR("Reason")), OLESTR("The object contains itself."));

    CComPtr<ILumoEnum> collection = NewEnum();
    CComPtr<ILumoItem> member = NewItem();
    SetProperty(member, OLESTR("Back"), CComVariant(static_cast<IUnknown*>(collection.p)), true);
    ASSERT_EQ(collection->Add(CComVariant(static_cast<IUnknown*>(member.p)), MissingArgument()), S_OK);
    EXPECT_EQ(collection->SaveXML(&xml), E_ZO_EXCEPTION);
    EXPECT_EQ(DetailOf(FirstErrorEntry(), OLESTR("Reason")), OLESTR("The object contains itself."));

    // The cycles are broken so that the objects can go.
    ASSERT_EQ(PropertiesOf(item)->Clear(), S_OK);
    ASSERT_EQ(collection->Clear(), S_OK);
}

// Items nested n deep, each holding the next as "Next".
CComPtr<ILumoItem> NestedItems(int depth)
{
    CComPtr<ILumoItem> top = NewItem();
    CComPtr<ILumoItem> current = top;
    for (int i = 1; i < depth; ++i) {
        CComPtr<ILumoItem> next = NewItem();
        SetProperty(current, OLESTR("Next"), CComVariant(static_cast<IUnknown*>(next.p)), false);
        current = next;
    }
    return top;
}

// Collections nested n deep: each holds one item, whose "Next" holds the next collection.
CComPtr<ILumoEnum> NestedCollections(int depth)
{
    CComPtr<ILumoEnum> top = NewEnum();
    CComPtr<ILumoEnum> current = top;
    for (int i = 1; i < depth; ++i) {
        CComPtr<ILumoItem> holder = NewItem();
        CComPtr<ILumoEnum> next = NewEnum();
        SetProperty(holder, OLESTR("Next"), CComVariant(static_cast<IUnknown*>(next.p)), false);
        EXPECT_EQ(current->Add(CComVariant(static_cast<IUnknown*>(holder.p)), MissingArgument()), S_OK);
        current = next;
    }
    return top;
}

TEST_F(ItemXmlTest, NestingIsWrittenAsFarAsItIsRead)
{
    // Each nested item is two element levels deeper: 256 items make 511 levels.
    CComPtr<ILumoItem> deepest = NestedItems(256);
    const OleString xml = SavedText(deepest);
    CComPtr<ILumoItem> loaded = NewItem();
    EXPECT_EQ(Load(loaded, xml), S_OK);
    EXPECT_EQ(SavedText(loaded), xml);

    // A fault at the bottom travels up through every level as one error with one input detail.
    OleString badBottom = xml;
    const OleString leaf = OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>");
    badBottom.replace(badBottom.find(leaf), leaf.size(), OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property/></item>"));
    EXPECT_EQ(Load(loaded, badBottom), E_ZO_EXCEPTION);
    const EntryView raised = FirstErrorEntry();
    EXPECT_EQ(raised.code, OLESTR("2003"));
    EXPECT_EQ(CountOfDetail(raised, OLESTR("ItemXML")), 1u);

    CComPtr<ILumoItem> tooDeep = NestedItems(258);
    CComBSTR refused;
    EXPECT_EQ(tooDeep->SaveXML(&refused), E_ZO_EXCEPTION);
    EXPECT_EQ(FirstErrorEntry().code, OLESTR("1006"));

    OleString deeper = OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"x\" namespace=\"\">") + xml;
    deeper.resize(deeper.size() - 2);  // without the line end
    deeper += OLESTR("<property/></property></item>");
    EXPECT_EQ(Load(loaded, deeper), E_ZO_EXCEPTION);

    // Each nested collection is three levels deeper ("enum", "item", "property"): 171 make 511.
    const CComPtr<ILumoEnum> collections = NestedCollections(171);
    const OleString collectionsXml = SavedText(collections);
    CComPtr<ILumoEnum> loadedCollections = NewEnum();
    EXPECT_EQ(Load(loadedCollections, collectionsXml), S_OK);
    EXPECT_EQ(SavedText(loadedCollections), collectionsXml);
    CComBSTR refusedCollections;
    EXPECT_EQ(NestedCollections(172)->SaveXML(&refusedCollections), E_ZO_EXCEPTION);
    const EntryView refusal = FirstErrorEntry();
    EXPECT_EQ(refusal.code, OLESTR("1006"));
    EXPECT_EQ(DetailOf(refusal, OLESTR("MaxElementDepth")), OLESTR("512"));
}

// An object of another module that answers ILumoItemBase: a holder writes its document from its
// text, and its SaveXML first runs onSave when given. Owned by the test, which clears every
// holder before it goes.
class ForeignItemBase : public ILumoItemBase {
public:
    explicit ForeignItemBase(OleString xml, std::function<void()> onSave = {})
        : m_xml(std::move(xml)), m_onSave(std::move(onSave))
    {
    }
    ForeignItemBase(const ForeignItemBase&) = delete;
    ForeignItemBase& operator=(const ForeignItemBase&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IDispatch) && riid != __uuidof(ILumoItemBase))
            return E_NOINTERFACE;
        *ppv = static_cast<ILumoItemBase*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP ToString(VARIANT, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SaveXML(BSTR* xml) override
    {
        if (m_onSave)
            m_onSave();
        *xml = CComBSTR(OleStringView(m_xml)).Detach();
        return S_OK;
    }
    STDMETHODIMP LoadXML(BSTR) override { return E_NOTIMPL; }

private:
    OleString m_xml;
    std::function<void()> m_onSave;
};

// count elements "e", each inside the one before.
OleString NestedElements(size_t count)
{
    OleString xml;
    for (size_t i = 0; i < count; ++i)
        xml += OLESTR("<e>");
    for (size_t i = 0; i < count; ++i)
        xml += OLESTR("</e>");
    return xml;
}

TEST_F(ItemXmlTest, AnotherModulesObjectIsWrittenFromItsTextAndCountsItsLevels)
{
    ForeignItemBase foreign(OLESTR("<item progid=\"LumoItemsLib::LumoItem\" itemtype=\"Foreign\"/>"));
    CComPtr<ILumoItem> holder = NewItem();
    SetProperty(holder, OLESTR("Other"), CComVariant(static_cast<IUnknown*>(&foreign)), true);
    EXPECT_EQ(SavedText(holder), OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"Other\" "
                                        "namespace=\"urn:example\" changed=\"1\"><item "
                                        "progid=\"LumoItemsLib::LumoItem\" itemtype=\"Foreign\"/></property></item>\r\n"));

    // Under an item inside an item, the foreign root lies at depth 5: 508 levels of its own
    // reach the limit, 509 pass it.
    struct Depth {
        size_t levels;
        HRESULT status;
    };
    for (const Depth depth : {Depth{508, S_OK}, Depth{509, E_ZO_EXCEPTION}}) {
        ForeignItemBase deep(NestedElements(depth.levels));
        CComPtr<ILumoItem> inner = NewItem();
        SetProperty(inner, OLESTR("Deep"), CComVariant(static_cast<IUnknown*>(&deep)), false);
        CComPtr<ILumoItem> outer = NewItem();
        SetProperty(outer, OLESTR("Inner"), CComVariant(static_cast<IUnknown*>(inner.p)), false);
        CComBSTR xml;
        EXPECT_EQ(outer->SaveXML(&xml), depth.status) << depth.levels;
        if (depth.status != S_OK) {
            EXPECT_EQ(FirstErrorEntry().code, OLESTR("1006")) << depth.levels;
        }
        ASSERT_EQ(PropertiesOf(inner)->Clear(), S_OK);
    }
    ASSERT_EQ(PropertiesOf(holder)->Clear(), S_OK);
}

// The holder's walk over its properties has ended when a nested object is written, so the
// object may change the holder meanwhile: the document is the holder as the save found it.
TEST_F(ItemXmlTest, ANestedObjectThatEmptiesItsHolderWhileItIsWrittenLeavesTheDocumentWhole)
{
    ForeignItemBase quiet(OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>"));
    CComPtr<ILumoItem> holder = NewItem();
    ForeignItemBase emptying(OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>"),
                             [&] { EXPECT_EQ(PropertiesOf(holder)->Clear(), S_OK); });
    CComPtr<ILumoItem> twin = NewItem();
    for (const auto& [item, nested] : {std::pair{holder.p, &emptying}, std::pair{twin.p, &quiet}}) {
        SetProperty(item, OLESTR("A"), CComVariant(1L), false);
        SetProperty(item, OLESTR("B"), CComVariant(static_cast<IUnknown*>(nested)), false);
        SetProperty(item, OLESTR("C"), CComVariant(3L), false);
    }
    const OleString whole = SavedText(twin);
    EXPECT_NE(whole.find(OLESTR("name=\"C\"")), OleString::npos);
    EXPECT_EQ(SavedText(holder), whole);
    LONG count = -1;
    EXPECT_EQ(PropertiesOf(holder)->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(PropertiesOf(twin)->Clear(), S_OK);
}

// An item element with the program id and extra attributes, count in all.
OleString ItemWithAttributes(size_t count)
{
    std::string xml = "<item progid=\"LumoItemsLib::LumoItem\"";
    for (size_t i = 1; i < count; ++i)
        xml += " a" + std::to_string(i) + "=\"\"";
    xml += "/>";
    return OleString(xml.begin(), xml.end());
}

TEST_F(ItemXmlTest, HostileDocumentsEndInAnOrderlyError)
{
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<item progid=\"LumoItemsLib::LumoItem\"><property name=\"a\" namespace=\"\">";
    const OleString item = OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>");
    const struct {
        const char* what;
        OleString xml;
    } cases[] = {
        {"billion laughs",
         OLESTR("<?xml version=\"1.0\"?><!DOCTYPE item [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;"
                "&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><item progid=\"LumoItemsLib::LumoItem\">"
                "<property name=\"a\" namespace=\"\" type=\"string\">&c;</property></item>")},
        {"external entity", OLESTR("<!DOCTYPE item [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><item progid="
                                   "\"LumoItemsLib::LumoItem\"><property name=\"a\" namespace=\"\" type=\"string\">&x;"
                                   "</property></item>")},
        {"external DTD", OLESTR("<!DOCTYPE item SYSTEM \"http://example.invalid/x.dtd\"><item progid="
                                "\"LumoItemsLib::LumoItem\"/>")},
        {"DTD after a comment", OLESTR("<!-- x --><!DOCTYPE item [<!ENTITY x \"y\">]><item progid="
                                       "\"LumoItemsLib::LumoItem\"/>")},
        {"undeclared entity", OLESTR("<item progid=\"LumoItemsLib::LumoItem\">&x;</item>")},
        {"invalid character", OleString(OLESTR("<item progid=\"LumoItemsLib::LumoItem\">")) + OLECHAR(1) +
                                  OLESTR("</item>")},
        {"ten thousand levels", OleString(deep.begin(), deep.end())},
        {"truncated", OLESTR("<item progid=\"LumoItemsLib::LumoItem\"><property name=\"a\"")},
        {"text after the root", item + OLESTR("garbage")},
        {"a NUL and text after the root", item + OLECHAR(0) + OLESTR("garbage")},
        {"a NUL at the end", item + OLECHAR(0)},
        {"257 attributes", ItemWithAttributes(257)},
        {"100,000 attributes", ItemWithAttributes(100000)},
    };
    for (const auto& c : cases) {
        CComPtr<ILumoItem> item = NewItem();
        EXPECT_EQ(Load(item, c.xml), E_ZO_EXCEPTION) << c.what;
        EXPECT_EQ(FirstErrorEntry().code, OLESTR("2003")) << c.what;
        CComPtr<ILumoEnum> collection = NewEnum();
        EXPECT_EQ(Load(collection, c.xml), E_ZO_EXCEPTION) << c.what;
        TakeThreadErrorObject();
    }
}

TEST_F(ItemXmlTest, AnElementMayHave256Attributes)
{
    CComPtr<ILumoItem> item = NewItem();
    EXPECT_EQ(Load(item, ItemWithAttributes(256)), S_OK);
    CComPtr<ILumoEnum> collection = NewEnum();
    const OleString xml = OleString(OLESTR("<enum progid=\"LumoItemsLib::LumoEnum\">")) + ItemWithAttributes(256) +
                          OLESTR("</enum>");
    EXPECT_EQ(Load(collection, xml), S_OK);
}

TEST_F(ItemXmlTest, TwentyMegabytesOfBytesRoundTrip)
{
    const LONG size = 20 * 1024 * 1024;
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, size);
    ASSERT_TRUE(bytes);
    BYTE* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(bytes, reinterpret_cast<void**>(&data)), S_OK);
    for (LONG i = 0; i < size; ++i)
        data[i] = static_cast<BYTE>(i * 31 + (i >> 11));
    SafeArrayUnaccessData(bytes);
    CComVariant value;
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = bytes;
    CComPtr<ILumoItem> item = NewItem();
    SetProperty(item, OLESTR("Blob"), value, false);

    CComBSTR xml;
    ASSERT_EQ(item->SaveXML(&xml), S_OK);
    CComPtr<ILumoItem> loaded = NewItem();
    ASSERT_EQ(loaded->LoadXML(xml), S_OK);
    const CComVariant read = ValueOf(loaded, OLESTR("Blob"));
    ASSERT_EQ(read.vt, VT_ARRAY | VT_UI1);
    LONG upper = -1;
    ASSERT_EQ(SafeArrayGetUBound(read.parray, 1, &upper), S_OK);
    ASSERT_EQ(upper, size - 1);
    BYTE* readData = nullptr;
    ASSERT_EQ(SafeArrayAccessData(read.parray, reinterpret_cast<void**>(&readData)), S_OK);
    BYTE* sourceData = nullptr;
    ASSERT_EQ(SafeArrayAccessData(value.parray, reinterpret_cast<void**>(&sourceData)), S_OK);
    EXPECT_EQ(std::memcmp(readData, sourceData, size), 0);
    SafeArrayUnaccessData(value.parray);
    SafeArrayUnaccessData(read.parray);
}

}  // namespace
