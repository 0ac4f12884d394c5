// Every method of the five classes given what a careless or hostile client passes: null
// strings and out-pointers, variants of every wrong type, out-of-range indexes and counts,
// arrays shorter than the count asked for. Each call ends in the status the method defines,
// and a call that fails leaves its object exactly as it was.
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CountedObject.h"
#include "ItemsTestSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

using BadInputTest = ComponentTest;

// What the platform's two variant copies make of a variant: both copy it; only the copy
// that keeps a reference as the reference does (the dereferencing copy refuses it); neither.
enum class Copies { Always, AsReferenceOnly, Never };

struct OddVariant {
    std::string what;
    VARIANT value;
    Copies copies;
    VARTYPE stored;   // the type a dereferenced copy has
    bool foreign;     // it refers, by value or by reference, to an object of no library of ours
};

// Variants of every type a method does not want, with the storage that the by-reference ones
// point into. The test owns them all: nothing here is cleared by a callee.
class OddVariants {
public:
    OddVariants()
    {
        m_inner.vt = VT_I4;
        m_inner.lVal = 3;
        m_innerReference.vt = VT_BYREF | VT_I4;
        m_innerReference.plVal = &m_long;
        m_doubles = SafeArrayCreateVector(VT_R8, 0, 2);
        m_variants = SafeArrayCreateVector(VT_VARIANT, 0, 2);
        m_strings = SafeArrayCreateVector(VT_BSTR, 0, 1);
        m_integers = SafeArrayCreateVector(VT_I4, 0, 2);
        LONG index = 0;
        BSTR element = SysAllocString(OLESTR("s"));
        SafeArrayPutElement(m_strings, &index, element);
        SysFreeString(element);

        Add("empty", VT_EMPTY, Copies::Always, VT_EMPTY, [](VARIANT&) {});
        Add("null", VT_NULL, Copies::Always, VT_NULL, [](VARIANT&) {});
        Add("error value", VT_ERROR, Copies::Always, VT_ERROR, [](VARIANT& v) { v.scode = E_FAIL; });
        Add("omitted argument", VT_ERROR, Copies::Always, VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; });
        Add("double", VT_R8, Copies::Always, VT_R8, [](VARIANT& v) { v.dblVal = 2.0; });
        Add("date", VT_DATE, Copies::Always, VT_DATE, [](VARIANT& v) { v.date = 45000.25; });
        Add("boolean", VT_BOOL, Copies::Always, VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; });
        Add("null string", VT_BSTR, Copies::Always, VT_BSTR, [](VARIANT& v) { v.bstrVal = nullptr; });
        Add("null IUnknown", VT_UNKNOWN, Copies::Always, VT_UNKNOWN, [](VARIANT& v) { v.punkVal = nullptr; });
        Add("null IDispatch", VT_DISPATCH, Copies::Always, VT_DISPATCH, [](VARIANT& v) { v.pdispVal = nullptr; });
        Add("foreign IDispatch", VT_DISPATCH, Copies::Always, VT_DISPATCH, [&](VARIANT& v) { v.pdispVal = &m_stranger; }, true);
        Add("foreign IUnknown", VT_UNKNOWN, Copies::Always, VT_UNKNOWN, [&](VARIANT& v) { v.punkVal = &m_stranger; }, true);
        Add("array of doubles", VT_ARRAY | VT_R8, Copies::Always, VT_ARRAY | VT_R8, [&](VARIANT& v) { v.parray = m_doubles; });
        Add("array of variants", VT_ARRAY | VT_VARIANT, Copies::Always, VT_ARRAY | VT_VARIANT,
            [&](VARIANT& v) { v.parray = m_variants; });
        Add("array of strings", VT_ARRAY | VT_BSTR, Copies::Always, VT_ARRAY | VT_BSTR, [&](VARIANT& v) { v.parray = m_strings; });
        Add("null array", VT_ARRAY | VT_I4, Copies::Always, VT_ARRAY | VT_I4, [](VARIANT& v) { v.parray = nullptr; });
        Add("by-reference 32-bit integer", VT_BYREF | VT_I4, Copies::Always, VT_I4, [&](VARIANT& v) { v.plVal = &m_long; });
        Add("by-reference double", VT_BYREF | VT_R8, Copies::Always, VT_R8, [&](VARIANT& v) { v.pdblVal = &m_double; });
        Add("by-reference date", VT_BYREF | VT_DATE, Copies::Always, VT_DATE, [&](VARIANT& v) { v.pdate = &m_double; });
        Add("by-reference boolean", VT_BYREF | VT_BOOL, Copies::Always, VT_BOOL, [&](VARIANT& v) { v.pboolVal = &m_boolean; });
        Add("by-reference null string", VT_BYREF | VT_BSTR, Copies::Always, VT_BSTR, [&](VARIANT& v) { v.pbstrVal = &m_string; });
        Add("by-reference error", VT_BYREF | VT_ERROR, Copies::Always, VT_ERROR, [&](VARIANT& v) { v.pscode = &m_scode; });
        Add("by-reference variant", VT_BYREF | VT_VARIANT, Copies::Always, VT_I4, [&](VARIANT& v) { v.pvarVal = &m_inner; });
        Add("by-reference foreign IDispatch", VT_BYREF | VT_DISPATCH, Copies::Always, VT_DISPATCH,
            [&](VARIANT& v) { v.ppdispVal = &m_dispatch; }, true);
        Add("by-reference null IUnknown", VT_BYREF | VT_UNKNOWN, Copies::Always, VT_UNKNOWN,
            [&](VARIANT& v) { v.ppunkVal = &m_nullUnknown; });
        Add("by-reference array", VT_BYREF | VT_ARRAY | VT_I4, Copies::Always, VT_ARRAY | VT_I4,
            [&](VARIANT& v) { v.pparray = &m_integers; });
        Add("by-reference variant holding a reference", VT_BYREF | VT_VARIANT, Copies::AsReferenceOnly, VT_EMPTY,
            [&](VARIANT& v) { v.pvarVal = &m_innerReference; });
        Add("by-reference empty", VT_BYREF | VT_EMPTY, Copies::Never, VT_EMPTY, [&](VARIANT& v) { v.plVal = &m_long; });
        Add("vector", VT_VECTOR | VT_I4, Copies::Never, VT_EMPTY, [](VARIANT&) {});
        Add("no such type", 0x0FFF, Copies::Never, VT_EMPTY, [](VARIANT&) {});
    }

    ~OddVariants()
    {
        SafeArrayDestroy(m_doubles);
        SafeArrayDestroy(m_variants);
        SafeArrayDestroy(m_strings);
        SafeArrayDestroy(m_integers);
    }

    OddVariants(const OddVariants&) = delete;
    OddVariants& operator=(const OddVariants&) = delete;

    const std::vector<OddVariant>& All() const { return m_all; }
    const CountedObject& Stranger() const { return m_stranger; }

private:
    template <class Fill>
    void Add(const char* what, VARTYPE vt, Copies copies, VARTYPE stored, Fill fill, bool foreign = false)
    {
        VARIANT value;
        VariantInit(&value);
        value.llVal = 0;
        value.vt = vt;
        fill(value);
        m_all.push_back({what, value, copies, stored, foreign});
    }

    CountedObject m_stranger;
    IDispatch* m_dispatch = &m_stranger;
    IUnknown* m_nullUnknown = nullptr;
    LONG m_long = 7;
    double m_double = 2.5;
    VARIANT_BOOL m_boolean = VARIANT_FALSE;
    BSTR m_string = nullptr;
    SCODE m_scode = DISP_E_PARAMNOTFOUND;
    VARIANT m_inner{};
    VARIANT m_innerReference{};
    SAFEARRAY* m_doubles = nullptr;
    SAFEARRAY* m_variants = nullptr;
    SAFEARRAY* m_strings = nullptr;
    SAFEARRAY* m_integers = nullptr;
    std::vector<OddVariant> m_all;
};

bool IsMissing(const VARIANT& value)
{
    return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

template <class Collection>
LONG CountOf(const Collection& collection)
{
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    return count;
}

bool IsNonNullObject(const VARIANT& value)
{
    return (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) && value.punkVal;
}

// One call with bad input and what it must give. code: for E_ZO_EXCEPTION, the code of the
// error document's first entry (0 when the platform decides it). changes: a success that
// changes the object, as the call checks for itself; every other call must leave it as it was.
template <class Object>
struct BadCall {
    BadCall(std::string what_, std::function<HRESULT(Object*)> call_, HRESULT status_, LONG code_ = 0,
            bool changes_ = false)
        : what(std::move(what_)), call(std::move(call_)), status(status_), code(code_), changes(changes_)
    {
    }
    std::string what;
    std::function<HRESULT(Object*)> call;
    HRESULT status;
    LONG code;
    bool changes;
};

constexpr bool kChanges = true;
// A status for the calls whose failure the platform words: any failure will do.
constexpr HRESULT kSomeFailure = 0x7FFF0000;

// Each call on a new object from make; snapshot must read the same before and after.
template <class Object, class Make, class Snapshot>
void RunBadCalls(Make make, Snapshot snapshot, const std::vector<BadCall<Object>>& calls)
{
    for (const BadCall<Object>& c : calls) {
        SCOPED_TRACE(c.what);
        CComPtr<Object> object = make();
        ASSERT_TRUE(object);
        const OleString before = snapshot(object.p);
        SetErrorInfo(0, nullptr);
        const HRESULT hr = c.call(object);
        if (c.status == kSomeFailure) {
            EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        } else {
            EXPECT_EQ(hr, c.status);
        }
        const ErrorObjectFields error = TakeThreadErrorObject();
        if (hr == E_ZO_EXCEPTION) {
            EXPECT_TRUE(error.present);
            const std::vector<EntryView> entries = EntriesOfXml(error.description);
            EXPECT_FALSE(entries.empty());
            if (c.code != 0 && !entries.empty()) {
                EXPECT_EQ(entries.front().code, Decimal(c.code));
            }
        } else if (hr == E_POINTER) {
            EXPECT_FALSE(error.present) << "a plain E_POINTER comes without an error object";
        }
        if (!c.changes || FAILED(hr)) {
            EXPECT_EQ(snapshot(object.p), before) << "the object changed";
        }
    }
}

// Readings of an object for comparing before and after.

OleString Quoted(BSTR text)
{
    return text ? OLESTR("\"") + OleString(ViewOfBstr(text)) + OLESTR("\"") : OleString(OLESTR("null"));
}

OleString TextOf(ILumoItemBase* object, const VARIANT& indent = MissingArgument())
{
    CComBSTR text;
    EXPECT_EQ(object->ToString(indent, &text), S_OK);
    return OleString(ViewOfBstr(text));
}

// An element as an enumerator yields it or a collection holds it: objects of the library by
// their own text, anything else by type and display value.
OleString DescriptionOf(const VARIANT& element)
{
    OleString text = OLESTR("[") + Decimal(element.vt) + OLESTR("] ");
    if (IsNonNullObject(element)) {
        CComPtr<ILumoItemBase> object;
        if (SUCCEEDED(element.punkVal->QueryInterface(IID_ILumoItemBase, reinterpret_cast<void**>(&object))))
            return text + TextOf(object);
        return text + OLESTR("object");
    }
    if (element.vt == VT_I4)
        return text + Decimal(element.lVal);
    if (element.vt == VT_BSTR)
        return text + Quoted(element.bstrVal);
    return text;
}

OleString SnapshotOf(ILumoProperty* property)
{
    CComBSTR name, nameSpace;
    CComVariant value;
    VARIANT_BOOL changed = 0;
    EXPECT_EQ(property->get_Name(&name), S_OK);
    EXPECT_EQ(property->get_Namespace(&nameSpace), S_OK);
    EXPECT_EQ(property->get_Value(&value), S_OK);
    EXPECT_EQ(property->get_Changed(&changed), S_OK);
    return TextOf(property) + OLESTR(" | ") + Quoted(name) + OLESTR(" ") + Quoted(nameSpace) + OLESTR(" ") +
           DescriptionOf(value) + OLESTR(" changed ") + Decimal(changed);
}

OleString SnapshotOf(ILumoEnumProperty* properties)
{
    LONG count = -1;
    EXPECT_EQ(properties->get_Count(&count), S_OK);
    OleString text = TextOf(properties) + OLESTR(" | count ") + Decimal(count);
    CComPtr<IUnknown> unknown;
    EXPECT_EQ(properties->get__NewEnum(&unknown), S_OK);
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    if (!enumerator)
        return text + OLESTR(" no enumerator");
    for (CComVariant element; enumerator->Next(1, &element, nullptr) == S_OK; element.Clear()) {
        CComQIPtr<ILumoProperty> property(element.punkVal);
        if (property)
            text += OLESTR("\n  ") + SnapshotOf(property);
    }
    return text;
}

OleString SnapshotOf(ILumoItem* item)
{
    CComBSTR guid, schemaType;
    CComPtr<ILumoEnumProperty> properties;
    EXPECT_EQ(item->get_GUID(&guid), S_OK);
    EXPECT_EQ(item->get_SchemaType(&schemaType), S_OK);
    EXPECT_EQ(item->get_Properties(&properties), S_OK);
    if (!properties)
        return OLESTR("no properties");
    return Quoted(guid) + OLESTR(" ") + Quoted(schemaType) + OLESTR(" collection at ") +
           Decimal(static_cast<long long>(reinterpret_cast<std::uintptr_t>(properties.p))) + OLESTR("\n") +
           SnapshotOf(properties);
}

OleString SnapshotOf(ILumoEnum* collection)
{
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    OleString text = TextOf(collection) + OLESTR(" | count ") + Decimal(count);
    for (LONG i = 0; i < count; ++i) {
        CComVariant key, value;
        EXPECT_EQ(collection->get_Key(i, &key), S_OK);
        EXPECT_EQ(collection->get_Item(CComVariant(i), &value), S_OK);
        text += OLESTR("\n  ") + DescriptionOf(key) + OLESTR(": ") + DescriptionOf(value);
    }
    return text;
}

// What the rest of an enumeration yields, read through a clone so that the enumerator
// itself does not move.
OleString SnapshotOf(IEnumVARIANT* enumerator)
{
    CComPtr<IEnumVARIANT> clone;
    EXPECT_EQ(enumerator->Clone(&clone), S_OK);
    if (!clone)
        return OLESTR("no clone");
    OleString text = OLESTR("remaining:");
    for (CComVariant element; clone->Next(1, &element, nullptr) == S_OK; element.Clear())
        text += OLESTR("\n  ") + DescriptionOf(element);
    return text;
}

// The objects the calls meet: populated so that a change shows.

const OLECHAR kGuid[] = OLESTR("{5A1B2C3D-0000-4000-8000-00000000002A}");
const OLECHAR kNamespace[] = OLESTR("urn:example");

CComPtr<ILumoItem> NewItem()
{
    return CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
}

CComPtr<ILumoEnum> NewEnum()
{
    return CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
}

CComPtr<ILumoEnumProperty> NewPropertyCollection()
{
    return CreateByProgId<ILumoEnumProperty>(OLESTR("LumoItems.LumoEnumProperty"));
}

CComPtr<ILumoProperty> PopulatedProperty()
{
    CComPtr<ILumoProperty> property = NewProperty();
    EXPECT_EQ(property->put_Name(CComBSTR(OLESTR("Title"))), S_OK);
    EXPECT_EQ(property->put_Namespace(CComBSTR(OLESTR("urn:a"))), S_OK);
    EXPECT_EQ(property->put_Value(CComVariant(OLESTR("x"))), S_OK);
    EXPECT_EQ(property->put_Changed(VARIANT_FALSE), S_OK);
    return property;
}

// Age = 42 and Name = Anna (its flag cleared), and Address, a nested item with City = Lakeside.
void Populate(ILumoEnumProperty* properties)
{
    CComPtr<ILumoItem> address = NewItem();
    CComPtr<ILumoEnumProperty> addressProperties;
    EXPECT_EQ(address->put_SchemaType(CComBSTR(OLESTR("PostalAddress"))), S_OK);
    EXPECT_EQ(address->get_Properties(&addressProperties), S_OK);
    EXPECT_EQ(addressProperties->Add(CComVariant(OLESTR("Lakeside")), CComBSTR(OLESTR("City")), CComBSTR(kNamespace)),
              S_OK);
    EXPECT_EQ(properties->Add(CComVariant(42), CComBSTR(OLESTR("Age")), CComBSTR(kNamespace)), S_OK);
    EXPECT_EQ(properties->Add(CComVariant(OLESTR("Anna")), CComBSTR(OLESTR("Name")), CComBSTR(kNamespace)), S_OK);
    EXPECT_EQ(properties->Add(CComVariant(static_cast<IDispatch*>(address.p)), CComBSTR(OLESTR("Address")),
                              CComBSTR(kNamespace)),
              S_OK);
    EXPECT_EQ(properties->SetPropertyChanged(CComBSTR(OLESTR("Name")), CComBSTR(kNamespace), VARIANT_FALSE), S_OK);
}

CComPtr<ILumoEnumProperty> PopulatedPropertyCollection()
{
    CComPtr<ILumoEnumProperty> properties = NewPropertyCollection();
    Populate(properties);
    return properties;
}

CComPtr<ILumoItem> PopulatedItem()
{
    CComPtr<ILumoItem> item = NewItem();
    CComPtr<ILumoEnumProperty> properties;
    EXPECT_EQ(item->put_GUID(CComBSTR(kGuid)), S_OK);
    EXPECT_EQ(item->put_SchemaType(CComBSTR(OLESTR("Contact"))), S_OK);
    EXPECT_EQ(item->get_Properties(&properties), S_OK);
    Populate(properties);
    return item;
}

// 5 under the key "a", the string "x" without key, and an item under the key "it".
constexpr LONG kCount = 3;

CComPtr<ILumoEnum> PopulatedEnum()
{
    CComPtr<ILumoEnum> collection = NewEnum();
    EXPECT_EQ(collection->Add(CComVariant(5), CComVariant(OLESTR("a"))), S_OK);
    EXPECT_EQ(collection->Add(CComVariant(OLESTR("x")), MissingArgument()), S_OK);
    CComPtr<ILumoItem> item = PopulatedItem();
    EXPECT_EQ(collection->Add(CComVariant(static_cast<IDispatch*>(item.p)), CComVariant(OLESTR("it"))), S_OK);
    return collection;
}

// Texts that no reader takes, whether or not it reads documents at all: nothing changes.
struct UnreadableText {
    const char* what;
    const OLECHAR* text;   // null: the null string
};

const UnreadableText kUnreadableTexts[] = {
    {"null string", nullptr},
    {"empty string", OLESTR("")},
    {"not XML", OLESTR("not xml")},
    {"unfinished element", OLESTR("<item progid=\"LumoItemsLib::LumoItem\"")},
    {"two roots", OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/><item/>")},
};

template <class Object>
void AddUnreadableTexts(std::vector<BadCall<Object>>& calls, const std::vector<const OLECHAR*>& wrongDocuments)
{
    for (const UnreadableText& unreadable : kUnreadableTexts) {
        const OLECHAR* text = unreadable.text;
        calls.emplace_back(std::string("LoadXML of ") + unreadable.what,
                           [text](Object* o) { return o->LoadXML(text ? CComBSTR(text).m_str : nullptr); },
                           E_ZO_EXCEPTION);
    }
    for (const OLECHAR* document : wrongDocuments) {
        const std::string narrow(document, document + std::char_traits<OLECHAR>::length(document));
        calls.emplace_back("LoadXML of " + narrow, [document](Object* o) { return o->LoadXML(CComBSTR(document)); },
                           E_ZO_EXCEPTION);
    }
}

// Integers as indents: only their low 32 bits count, and a level below 1 indents nothing
// (nested objects still print one level deeper than the level given).
struct IntegerIndent {
    const char* what;
    CComVariant indent;
    CComVariant sameAs;   // empty: compared by the first line only
};

const IntegerIndent kIntegerIndents[] = {
    {"-1", CComVariant(-1), CComVariant()},
    {"INT_MIN", CComVariant(INT_MIN), CComVariant()},
    {"0xFFFFFFFF as VT_UI4", CComVariant(ULONG(0xFFFFFFFFu)), CComVariant(-1)},
    {"-1 as VT_I8", CComVariant(LONGLONG(-1)), CComVariant(-1)},
    {"2^32 + 1 as VT_I8", CComVariant(LONGLONG(0x100000001LL)), CComVariant(1)},
};

// The calls of ILumoItemBase that every class answers alike: null out-pointers, indents of
// every type that is not an integer and the integers above, and (for the classes that save
// nothing) SaveXML.
template <class Object>
void AddItemBaseCalls(std::vector<BadCall<Object>>& calls, const OddVariants& odd)
{
    calls.emplace_back("ToString into a null pointer", [](Object* o) { return o->ToString(MissingArgument(), nullptr); },
                       E_POINTER);
    calls.emplace_back("SaveXML into a null pointer", [](Object* o) { return o->SaveXML(nullptr); }, E_POINTER);
    for (const OddVariant& indent : odd.All()) {
        const VARIANT value = indent.value;
        calls.emplace_back("ToString with the indent " + indent.what,
                           [value](Object* o) {
                               CComBSTR text;
                               const HRESULT hr = o->ToString(value, &text);
                               EXPECT_EQ(OleString(ViewOfBstr(text)), TextOf(o)) << "no indent";
                               return hr;
                           },
                           S_OK);
    }
    for (const IntegerIndent& i : kIntegerIndents) {
        const CComVariant indent = i.indent;
        const CComVariant sameAs = i.sameAs;
        calls.emplace_back(std::string("ToString with the indent ") + i.what,
                           [indent, sameAs](Object* o) {
                               CComBSTR text;
                               const HRESULT hr = o->ToString(indent, &text);
                               const OleString got(ViewOfBstr(text));
                               if (sameAs.vt != VT_EMPTY) {
                                   EXPECT_EQ(got, TextOf(o, sameAs));
                               } else {
                                   const OleString plain = TextOf(o);
                                   EXPECT_EQ(got.substr(0, got.find('\n')), plain.substr(0, plain.find('\n')));
                               }
                               return hr;
                           },
                           S_OK);
    }
}

template <class Object>
HRESULT SaveFails(Object* object)
{
    BSTR text = nullptr;
    const HRESULT hr = object->SaveXML(&text);
    EXPECT_EQ(text, nullptr) << "a failed SaveXML hands out nothing";
    SysFreeString(text);
    return hr;
}

// LumoProperty

TEST_F(BadInputTest, LumoProperty)
{
    const OddVariants odd;
    std::vector<BadCall<ILumoProperty>> calls;
    AddItemBaseCalls(calls, odd);
    calls.emplace_back("SaveXML", [](ILumoProperty* p) { return SaveFails(p); }, E_ZO_EXCEPTION, 1012);
    AddUnreadableTexts(calls, {OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>")});
    calls.emplace_back("get Name into a null pointer", [](ILumoProperty* p) { return p->get_Name(nullptr); }, E_POINTER);
    calls.emplace_back("get Namespace into a null pointer", [](ILumoProperty* p) { return p->get_Namespace(nullptr); },
                       E_POINTER);
    calls.emplace_back("get Value into a null pointer", [](ILumoProperty* p) { return p->get_Value(nullptr); }, E_POINTER);
    calls.emplace_back("get Changed into a null pointer", [](ILumoProperty* p) { return p->get_Changed(nullptr); },
                       E_POINTER);
    calls.emplace_back("put Name of a null string",
                       [](ILumoProperty* p) {
                           const HRESULT hr = p->put_Name(nullptr);
                           CComBSTR name;
                           VARIANT_BOOL changed = 0;
                           EXPECT_EQ(p->get_Name(&name), S_OK);
                           EXPECT_EQ(name.m_str, nullptr);
                           EXPECT_EQ(p->get_Changed(&changed), S_OK);
                           EXPECT_EQ(changed, VARIANT_TRUE);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    calls.emplace_back("put Namespace of a null string",
                       [](ILumoProperty* p) {
                           const HRESULT hr = p->put_Namespace(nullptr);
                           CComBSTR nameSpace;
                           EXPECT_EQ(p->get_Namespace(&nameSpace), S_OK);
                           EXPECT_EQ(nameSpace.m_str, nullptr);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    // put Value stores a by-reference variant as the value it refers to: types the platform
    // cannot copy and references it cannot read through fail.
    for (const OddVariant& v : odd.All()) {
        const VARIANT value = v.value;
        const VARTYPE stored = v.stored;
        const bool copies = v.copies == Copies::Always;
        calls.emplace_back("put Value of " + v.what,
                           [value, stored, copies](ILumoProperty* p) {
                               const HRESULT hr = p->put_Value(value);
                               if (copies) {
                                   CComVariant readBack;
                                   VARIANT_BOOL changed = 1;
                                   EXPECT_EQ(p->get_Value(&readBack), S_OK);
                                   EXPECT_EQ(readBack.vt, stored);
                                   EXPECT_EQ(p->get_Changed(&changed), S_OK);
                                   EXPECT_EQ(changed, VARIANT_FALSE) << "put Value leaves the flag";
                               }
                               return hr;
                           },
                           copies ? S_OK : E_ZO_EXCEPTION, 0, kChanges);
    }
    RunBadCalls<ILumoProperty>(PopulatedProperty, [](ILumoProperty* p) { return SnapshotOf(p); }, calls);
    EXPECT_EQ(odd.Stranger().References(), 1u) << "every reference to the foreign object given back";
}

// LumoEnumProperty

TEST_F(BadInputTest, LumoEnumProperty)
{
    const OddVariants odd;
    std::vector<BadCall<ILumoEnumProperty>> calls;
    AddItemBaseCalls(calls, odd);
    calls.emplace_back("SaveXML", [](ILumoEnumProperty* p) { return SaveFails(p); }, E_ZO_EXCEPTION, 1012);
    AddUnreadableTexts(calls, {OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>")});
    const CComBSTR age(OLESTR("Age")), nameSpace(kNamespace);
    calls.emplace_back("get Item into a null pointer",
                       [age, nameSpace](ILumoEnumProperty* p) { return p->get_Item(age, nameSpace, nullptr); }, E_POINTER);
    calls.emplace_back("get _NewEnum into a null pointer", [](ILumoEnumProperty* p) { return p->get__NewEnum(nullptr); },
                       E_POINTER);
    calls.emplace_back("get Count into a null pointer", [](ILumoEnumProperty* p) { return p->get_Count(nullptr); },
                       E_POINTER);
    calls.emplace_back("KeyExists into a null pointer",
                       [age, nameSpace](ILumoEnumProperty* p) { return p->KeyExists(age, nameSpace, nullptr); }, E_POINTER);
    calls.emplace_back("IsPropertyChanged into a null pointer",
                       [age, nameSpace](ILumoEnumProperty* p) { return p->IsPropertyChanged(age, nameSpace, nullptr); },
                       E_POINTER);
    calls.emplace_back("get Item of null strings",
                       [](ILumoEnumProperty* p) {
                           CComVariant value(99);
                           const HRESULT hr = p->get_Item(nullptr, nullptr, &value);
                           EXPECT_EQ(value.vt, VT_EMPTY);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("get Item under a null namespace",
                       [age](ILumoEnumProperty* p) {
                           CComVariant value;
                           const HRESULT hr = p->get_Item(age, nullptr, &value);
                           EXPECT_EQ(value.vt, VT_EMPTY) << "a null namespace is not the namespace";
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("Remove of null strings", [](ILumoEnumProperty* p) { return p->Remove(nullptr, nullptr); }, S_OK);
    calls.emplace_back("Remove under a null namespace", [age](ILumoEnumProperty* p) { return p->Remove(age, nullptr); },
                       S_OK);
    calls.emplace_back("KeyExists of null strings",
                       [](ILumoEnumProperty* p) {
                           VARIANT_BOOL exists = 7;
                           const HRESULT hr = p->KeyExists(nullptr, nullptr, &exists);
                           EXPECT_EQ(exists, VARIANT_FALSE);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("IsPropertyChanged of null strings",
                       [](ILumoEnumProperty* p) {
                           VARIANT_BOOL changed = 7;
                           const HRESULT hr = p->IsPropertyChanged(nullptr, nullptr, &changed);
                           EXPECT_EQ(changed, VARIANT_FALSE);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("SetPropertyChanged of null strings",
                       [](ILumoEnumProperty* p) { return p->SetPropertyChanged(nullptr, nullptr, VARIANT_TRUE); },
                       E_ZO_EXCEPTION, 1010);
    calls.emplace_back("SetPropertyChanged under a null namespace",
                       [age](ILumoEnumProperty* p) { return p->SetPropertyChanged(age, nullptr, VARIANT_FALSE); },
                       E_ZO_EXCEPTION, 1010);
    for (const OddVariant& v : odd.All()) {
        const VARIANT value = v.value;
        const VARTYPE stored = v.stored;
        const bool copies = v.copies == Copies::Always;
        const HRESULT status = copies ? S_OK : E_ZO_EXCEPTION;
        calls.emplace_back("Add of " + v.what,
                           [value, stored, copies](ILumoEnumProperty* p) {
                               const CComBSTR name(OLESTR("New"));
                               const HRESULT hr = p->Add(value, name, CComBSTR(kNamespace));
                               if (copies) {
                                   CComVariant readBack;
                                   EXPECT_EQ(p->get_Item(name, CComBSTR(kNamespace), &readBack), S_OK);
                                   EXPECT_EQ(readBack.vt, stored) << "stored as what it refers to";
                                   EXPECT_EQ(CountOf(p), 4);
                               }
                               return hr;
                           },
                           status, 0, kChanges);
        calls.emplace_back("put Item of " + v.what + " over an existing value",
                           [value, stored, copies, age, nameSpace](ILumoEnumProperty* p) {
                               const HRESULT hr = p->put_Item(age, nameSpace, value);
                               if (copies) {
                                   CComVariant readBack;
                                   EXPECT_EQ(p->get_Item(age, nameSpace, &readBack), S_OK);
                                   EXPECT_EQ(readBack.vt, stored);
                                   EXPECT_EQ(CountOf(p), 3);
                               }
                               return hr;
                           },
                           status, 0, kChanges);
    }
    RunBadCalls<ILumoEnumProperty>(PopulatedPropertyCollection, [](ILumoEnumProperty* p) { return SnapshotOf(p); },
                                   calls);
    EXPECT_EQ(odd.Stranger().References(), 1u) << "every reference to the foreign object given back";
}

// What a call that wants a collection of one kind is given instead: nothing, or an object
// that is no such collection.
enum class Given { Null, ForeignObject, Item, ItemCollection, PropertyCollection };

struct GivenObject {
    const char* what;
    Given kind;
};

// The objects behind the kinds, as the test that gives them makes them.
struct GivenObjects {
    IUnknown* foreign = nullptr;
    IUnknown* item = nullptr;
    IUnknown* itemCollection = nullptr;
    IUnknown* propertyCollection = nullptr;

    IUnknown* Of(Given kind) const
    {
        switch (kind) {
        case Given::ForeignObject:
            return foreign;
        case Given::Item:
            return item;
        case Given::ItemCollection:
            return itemCollection;
        case Given::PropertyCollection:
            return propertyCollection;
        case Given::Null:
            break;
        }
        return nullptr;
    }
};

IUnknown* ForeignObjectOf(const OddVariants& odd)
{
    return static_cast<IDispatch*>(const_cast<CountedObject*>(&odd.Stranger()));
}

// LumoItem

// Anything that is not a property collection leaves the item with a new, empty one.
const GivenObject kNotPropertyCollections[] = {
    {"null", Given::Null},
    {"a foreign object", Given::ForeignObject},
    {"an item collection", Given::ItemCollection},
    {"an item", Given::Item},
};

TEST_F(BadInputTest, LumoItem)
{
    const OddVariants odd;
    CountedObject failingQueries(E_UNEXPECTED);
    CComPtr<ILumoItem> bystander = PopulatedItem();
    const OleString bystanderText = TextOf(bystander);
    std::vector<BadCall<ILumoItem>> calls;
    AddItemBaseCalls(calls, odd);
    AddUnreadableTexts(calls, {OLESTR("<enum progid=\"LumoItemsLib::LumoEnum\"/>"), OLESTR("<item/>"),
                               OLESTR("<item progid=\"lumoitemslib::lumoitem\"/>"),
                               OLESTR("<property name=\"Age\" namespace=\"urn:example\" type=\"integer\">1</property>")});
    calls.emplace_back("get GUID into a null pointer", [](ILumoItem* i) { return i->get_GUID(nullptr); }, E_POINTER);
    calls.emplace_back("get SchemaType into a null pointer", [](ILumoItem* i) { return i->get_SchemaType(nullptr); },
                       E_POINTER);
    calls.emplace_back("get Properties into a null pointer", [](ILumoItem* i) { return i->get_Properties(nullptr); },
                       E_POINTER);
    calls.emplace_back("get Changed into a null pointer", [](ILumoItem* i) { return i->get_Changed(nullptr); }, E_POINTER);
    calls.emplace_back("Clone into a null pointer", [](ILumoItem* i) { return i->Clone(MissingArgument(), nullptr); },
                       E_POINTER);
    calls.emplace_back("put GUID of a null string",
                       [](ILumoItem* i) {
                           const HRESULT hr = i->put_GUID(nullptr);
                           CComBSTR guid;
                           EXPECT_EQ(i->get_GUID(&guid), S_OK);
                           EXPECT_EQ(guid.m_str, nullptr);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    calls.emplace_back("put SchemaType of a null string",
                       [](ILumoItem* i) {
                           const HRESULT hr = i->put_SchemaType(nullptr);
                           CComBSTR schemaType;
                           EXPECT_EQ(i->get_SchemaType(&schemaType), S_OK);
                           EXPECT_EQ(schemaType.m_str, nullptr);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    CComPtr<ILumoEnum> collection = NewEnum();
    const GivenObjects objects{.foreign = ForeignObjectOf(odd), .item = bystander.p, .itemCollection = collection.p};
    for (const GivenObject& n : kNotPropertyCollections) {
        IUnknown* object = objects.Of(n.kind);
        calls.emplace_back(std::string("put Properties of ") + n.what,
                           [object](ILumoItem* i) {
                               const HRESULT hr = i->put_Properties(reinterpret_cast<ILumoEnumProperty*>(object));
                               CComPtr<ILumoEnumProperty> properties;
                               EXPECT_EQ(i->get_Properties(&properties), S_OK);
                               EXPECT_NE(static_cast<IUnknown*>(properties.p), object);
                               EXPECT_EQ(properties ? CountOf(properties) : -1, 0);
                               return hr;
                           },
                           S_OK, 0, kChanges);
    }
    IUnknown* failing = &failingQueries;
    calls.emplace_back("put Properties of an object whose query fails",
                       [failing](ILumoItem* i) { return i->put_Properties(reinterpret_cast<ILumoEnumProperty*>(failing)); },
                       E_ZO_EXCEPTION, E_UNEXPECTED);
    // Clone into anything that is not an item makes a new item and touches nothing else.
    auto cloneIntoNewItem = [&](const std::string& what, const VARIANT& target) {
        calls.emplace_back("Clone into " + what,
                           [target, &bystander, &bystanderText](ILumoItem* i) {
                               CComPtr<ILumoItem> copy;
                               const HRESULT hr = i->Clone(target, &copy);
                               EXPECT_TRUE(copy);
                               if (copy) {
                                   EXPECT_NE(copy.p, i);
                                   EXPECT_NE(copy.p, bystander.p);
                                   EXPECT_EQ(TextOf(copy), TextOf(i));
                               }
                               EXPECT_EQ(TextOf(bystander), bystanderText);
                               return hr;
                           },
                           S_OK);
    };
    for (const OddVariant& v : odd.All())
        cloneIntoNewItem(v.what, v.value);
    IDispatch* bystanderDispatch = bystander.p;
    VARIANT itemByReference;
    itemByReference.vt = VT_BYREF | VT_DISPATCH;
    itemByReference.ppdispVal = &bystanderDispatch;
    cloneIntoNewItem("an item by reference", itemByReference);
    CComPtr<ILumoEnumProperty> looseProperties = PopulatedPropertyCollection();
    VARIANT propertiesTarget;
    propertiesTarget.vt = VT_DISPATCH;
    propertiesTarget.pdispVal = looseProperties.p;
    cloneIntoNewItem("a property collection", propertiesTarget);
    VARIANT failingTarget;
    failingTarget.vt = VT_UNKNOWN;
    failingTarget.punkVal = failing;
    calls.emplace_back("Clone into an object whose query fails",
                       [failingTarget](ILumoItem* i) {
                           CComPtr<ILumoItem> copy;
                           const HRESULT hr = i->Clone(failingTarget, &copy);
                           EXPECT_FALSE(copy);
                           return hr;
                       },
                       E_ZO_EXCEPTION, E_UNEXPECTED);
    RunBadCalls<ILumoItem>(PopulatedItem, [](ILumoItem* i) { return SnapshotOf(i); }, calls);

    // An item whose GUID is no GUID cannot be saved, whether or not items save at all.
    std::vector<BadCall<ILumoItem>> unsaveable;
    unsaveable.emplace_back("SaveXML of an item whose GUID is no GUID", [](ILumoItem* i) { return SaveFails(i); },
                            E_ZO_EXCEPTION);
    RunBadCalls<ILumoItem>(
        [] {
            CComPtr<ILumoItem> item = PopulatedItem();
            EXPECT_EQ(item->put_GUID(CComBSTR(OLESTR("hello"))), S_OK);
            return item;
        },
        [](ILumoItem* i) { return SnapshotOf(i); }, unsaveable);
    EXPECT_EQ(odd.Stranger().References(), 1u) << "every reference to the foreign object given back";
    EXPECT_EQ(failingQueries.References(), 1u);
}

// LumoEnum

// Integer indexes outside 0 ... count - 1, and integers that are no 32-bit index, with the
// code each raises.
struct BadIndex {
    const char* what;
    CComVariant index;
    HRESULT code;
};

const BadIndex kBadIndexes[] = {
    {"-1", CComVariant(-1), E_INVALIDARG},
    {"the count", CComVariant(kCount), E_INVALIDARG},
    {"INT_MAX", CComVariant(INT_MAX), E_INVALIDARG},
    {"INT_MIN", CComVariant(INT_MIN), E_INVALIDARG},
    {"-1 as VT_I2", CComVariant(SHORT(-1)), E_INVALIDARG},
    {"200 as VT_UI1", CComVariant(BYTE(200)), E_INVALIDARG},
    {"-1 as VT_I8", CComVariant(LONGLONG(-1)), E_INVALIDARG},
    {"2^31 as VT_UI4", CComVariant(ULONG(0x80000000u)), DISP_E_OVERFLOW},
    {"2^40 as VT_I8", CComVariant(LONGLONG(1) << 40), DISP_E_OVERFLOW},
    {"-2^40 as VT_I8", CComVariant(-(LONGLONG(1) << 40)), DISP_E_OVERFLOW},
    {"the largest VT_UI8", CComVariant(ULONGLONG(~0ULL)), DISP_E_OVERFLOW},
};

// Key positions outside 0 ... count - 1.
const LONG kBadKeyIndexes[] = {-1, kCount, INT_MAX, INT_MIN};

// The two searches: by a property of the items, and by their GUID.
struct SearchKey {
    const OLECHAR* name;
    const OLECHAR* nameSpace;
    const char* by;
};

const SearchKey kSearchKeys[] = {
    {OLESTR("Age"), kNamespace, " by property"},
    {OLESTR("GUID"), ItemNamespaceUri, " by GUID"},
};

// AddAll of anything that is not an item collection adds nothing.
const GivenObject kNotItemCollections[] = {
    {"null", Given::Null},
    {"a foreign object", Given::ForeignObject},
    {"an item", Given::Item},
    {"a property collection", Given::PropertyCollection},
};

TEST_F(BadInputTest, LumoEnum)
{
    const OddVariants odd;
    CountedObject failingQueries(E_UNEXPECTED);
    std::vector<BadCall<ILumoEnum>> calls;
    AddItemBaseCalls(calls, odd);
    calls.emplace_back("SaveXML of a collection holding a number", [](ILumoEnum* e) { return SaveFails(e); },
                       E_ZO_EXCEPTION);
    AddUnreadableTexts(calls, {OLESTR("<item progid=\"LumoItemsLib::LumoItem\"/>"), OLESTR("<enum><item/>")});
    calls.emplace_back("get Item into a null pointer", [](ILumoEnum* e) { return e->get_Item(CComVariant(0), nullptr); },
                       E_POINTER);
    calls.emplace_back("get _NewEnum into a null pointer", [](ILumoEnum* e) { return e->get__NewEnum(nullptr); },
                       E_POINTER);
    calls.emplace_back("get Key into a null pointer", [](ILumoEnum* e) { return e->get_Key(0, nullptr); }, E_POINTER);
    calls.emplace_back("get Count into a null pointer", [](ILumoEnum* e) { return e->get_Count(nullptr); }, E_POINTER);
    calls.emplace_back("KeyExists into a null pointer",
                       [](ILumoEnum* e) { return e->KeyExists(CComVariant(OLESTR("a")), nullptr); }, E_POINTER);
    calls.emplace_back("Find into a null pointer",
                       [](ILumoEnum* e) { return e->Find(CComBSTR(OLESTR("Age")), CComBSTR(kNamespace), CComVariant(42), nullptr); },
                       E_POINTER);
    calls.emplace_back("FindAll into a null pointer",
                       [](ILumoEnum* e) {
                           return e->FindAll(CComBSTR(OLESTR("Age")), CComBSTR(kNamespace), CComVariant(42), nullptr);
                       },
                       E_POINTER);

    for (const BadIndex& i : kBadIndexes) {
        const CComVariant index = i.index;
        calls.emplace_back(std::string("get Item at ") + i.what,
                           [index](ILumoEnum* e) {
                               CComVariant value;
                               const HRESULT hr = e->get_Item(index, &value);
                               EXPECT_EQ(value.vt, VT_EMPTY);
                               return hr;
                           },
                           E_ZO_EXCEPTION, i.code);
        calls.emplace_back(std::string("put Item at ") + i.what,
                           [index](ILumoEnum* e) { return e->put_Item(index, CComVariant(1)); }, E_ZO_EXCEPTION, i.code);
        calls.emplace_back(std::string("Remove at ") + i.what, [index](ILumoEnum* e) { return e->Remove(index); },
                           E_ZO_EXCEPTION, i.code);
    }
    for (const LONG index : kBadKeyIndexes) {
        calls.emplace_back("get Key at " + std::to_string(index),
                           [index](ILumoEnum* e) {
                               CComVariant key(1);
                               const HRESULT hr = e->get_Key(index, &key);
                               EXPECT_EQ(key.vt, VT_EMPTY);
                               return hr;
                           },
                           E_ZO_EXCEPTION, E_INVALIDARG);
    }

    // Indexes and keys of every other type: strings look a key up, objects are removed by
    // identity, anything else is no key.
    for (const OddVariant& v : odd.All()) {
        const VARIANT given = v.value;
        const bool isString = given.vt == VT_BSTR;
        calls.emplace_back("get Item at " + v.what,
                           [given](ILumoEnum* e) {
                               CComVariant value(9);
                               const HRESULT hr = e->get_Item(given, &value);
                               EXPECT_EQ(value.vt, VT_EMPTY);
                               return hr;
                           },
                           isString ? S_FALSE : E_ZO_EXCEPTION, isString ? 0 : 53001);
        calls.emplace_back("put Item at " + v.what, [given](ILumoEnum* e) { return e->put_Item(given, CComVariant(1)); },
                           isString ? S_FALSE : E_ZO_EXCEPTION, isString ? 0 : 53001);
        const bool removable = isString || IsNonNullObject(given);
        calls.emplace_back("Remove at " + v.what, [given](ILumoEnum* e) { return e->Remove(given); },
                           removable ? S_OK : E_ZO_EXCEPTION, removable ? 0 : 53001);
        calls.emplace_back("KeyExists of " + v.what,
                           [given](ILumoEnum* e) {
                               VARIANT_BOOL exists = 7;
                               const HRESULT hr = e->KeyExists(given, &exists);
                               EXPECT_EQ(exists, SUCCEEDED(hr) ? VARIANT_FALSE : 7);
                               return hr;
                           },
                           isString ? S_OK : E_ZO_EXCEPTION, isString ? 0 : 53001);
        const bool isKey = isString || IsMissing(given);
        calls.emplace_back("Add under the key " + v.what,
                           [given, isKey](ILumoEnum* e) {
                               const HRESULT hr = e->Add(CComVariant(1), given);
                               if (isKey) {
                                   EXPECT_EQ(CountOf(e), kCount + 1);
                               }
                               return hr;
                           },
                           isKey ? S_OK : E_ZO_EXCEPTION, isKey ? 0 : 53001, kChanges);

        // Values: stored as what they refer to, objects of no library of ours as IUnknown.
        const bool copies = v.copies == Copies::Always;
        const VARTYPE readType = v.foreign ? VARTYPE(VT_UNKNOWN) : v.stored;
        calls.emplace_back("Add of " + v.what,
                           [given, copies, readType](ILumoEnum* e) {
                               const HRESULT hr = e->Add(given, MissingArgument());
                               if (copies) {
                                   CComVariant readBack;
                                   EXPECT_EQ(CountOf(e), kCount + 1);
                                   EXPECT_EQ(e->get_Item(CComVariant(kCount), &readBack), S_OK);
                                   EXPECT_EQ(readBack.vt, readType);
                               }
                               return hr;
                           },
                           copies ? S_OK : E_ZO_EXCEPTION, 0, kChanges);
        calls.emplace_back("put Item of " + v.what,
                           [given, copies, readType](ILumoEnum* e) {
                               const HRESULT hr = e->put_Item(CComVariant(OLESTR("a")), given);
                               if (copies) {
                                   CComVariant readBack, key;
                                   EXPECT_EQ(CountOf(e), kCount);
                                   EXPECT_EQ(e->get_Item(CComVariant(0), &readBack), S_OK);
                                   EXPECT_EQ(readBack.vt, readType);
                                   EXPECT_EQ(e->get_Key(0, &key), S_OK);
                                   EXPECT_EQ(key.vt, VT_BSTR) << "the key stays";
                               }
                               return hr;
                           },
                           copies ? S_OK : E_ZO_EXCEPTION, 0, kChanges);

        // Search targets: nothing matches, unless the target cannot even be copied.
        const bool searchable = v.copies != Copies::Never;
        for (const SearchKey& key : kSearchKeys) {
            calls.emplace_back("Find of " + v.what + key.by,
                               [given, key](ILumoEnum* e) {
                                   CComPtr<ILumoItemBase> found;
                                   const HRESULT hr = e->Find(CComBSTR(key.name), CComBSTR(key.nameSpace), given, &found);
                                   EXPECT_FALSE(found);
                                   return hr;
                               },
                               searchable ? S_OK : E_ZO_EXCEPTION);
            calls.emplace_back("FindAll of " + v.what + key.by,
                               [given, key, searchable](ILumoEnum* e) {
                                   CComPtr<ILumoEnum> found;
                                   const HRESULT hr = e->FindAll(CComBSTR(key.name), CComBSTR(key.nameSpace), given, &found);
                                   EXPECT_EQ(static_cast<bool>(found), searchable);
                                   if (found) {
                                       EXPECT_EQ(CountOf(found), 0);
                                   }
                                   return hr;
                               },
                               searchable ? S_OK : E_ZO_EXCEPTION);
        }
    }
    calls.emplace_back("Find of null strings",
                       [](ILumoEnum* e) {
                           CComPtr<ILumoItemBase> found;
                           const HRESULT hr = e->Find(nullptr, nullptr, CComVariant(42), &found);
                           EXPECT_FALSE(found);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("FindAll of null strings",
                       [](ILumoEnum* e) {
                           CComPtr<ILumoEnum> found;
                           const HRESULT hr = e->FindAll(nullptr, nullptr, CComVariant(42), &found);
                           EXPECT_EQ(found ? CountOf(found) : -1, 0);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("Find by GUID under a null namespace",
                       [](ILumoEnum* e) {
                           CComPtr<ILumoItemBase> found;
                           const HRESULT hr = e->Find(CComBSTR(OLESTR("GUID")), nullptr, CComVariant(kGuid), &found);
                           EXPECT_FALSE(found);
                           return hr;
                       },
                       S_OK);

    CComPtr<ILumoItem> item = PopulatedItem();
    CComPtr<ILumoEnumProperty> properties = PopulatedPropertyCollection();
    const GivenObjects objects{.foreign = ForeignObjectOf(odd), .item = item.p, .propertyCollection = properties.p};
    for (const GivenObject& n : kNotItemCollections) {
        IUnknown* object = objects.Of(n.kind);
        calls.emplace_back(std::string("AddAll of ") + n.what,
                           [object](ILumoEnum* e) { return e->AddAll(reinterpret_cast<ILumoEnum*>(object)); }, S_OK);
    }
    IUnknown* failing = &failingQueries;
    calls.emplace_back("AddAll of an object whose query fails",
                       [failing](ILumoEnum* e) { return e->AddAll(reinterpret_cast<ILumoEnum*>(failing)); },
                       E_ZO_EXCEPTION, E_UNEXPECTED);
    calls.emplace_back("Add of an object whose query fails",
                       [failing](ILumoEnum* e) {
                           VARIANT value;
                           value.vt = VT_UNKNOWN;
                           value.punkVal = failing;
                           return e->Add(value, MissingArgument());
                       },
                       E_ZO_EXCEPTION, E_UNEXPECTED);
    calls.emplace_back("put Item of an object whose query fails",
                       [failing](ILumoEnum* e) {
                           VARIANT value;
                           value.vt = VT_UNKNOWN;
                           value.punkVal = failing;
                           return e->put_Item(CComVariant(0), value);
                       },
                       E_ZO_EXCEPTION, E_UNEXPECTED);
    calls.emplace_back("Add under a key that exists", [](ILumoEnum* e) { return e->Add(CComVariant(1), CComVariant(OLESTR("it"))); },
                       E_ZO_EXCEPTION, 53002);
    RunBadCalls<ILumoEnum>(PopulatedEnum, [](ILumoEnum* e) { return SnapshotOf(e); }, calls);
    EXPECT_EQ(odd.Stranger().References(), 1u) << "every reference to the foreign object given back";
    EXPECT_EQ(failingQueries.References(), 1u);
}

// LumoEnumVARIANT, over either kind of collection, one member already fetched.

template <class Collection>
CComPtr<IEnumVARIANT> EnumeratorAfterFirst(Collection* collection)
{
    CComPtr<IUnknown> unknown;
    EXPECT_EQ(collection->get__NewEnum(&unknown), S_OK);
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    if (!enumerator)
        return {};
    CComVariant first;
    EXPECT_EQ(enumerator->Next(1, &first, nullptr), S_OK);
    return CComPtr<IEnumVARIANT>(enumerator);
}

// Members 10, 11 and 12 without keys.
CComPtr<ILumoEnum> NumbersEnum()
{
    CComPtr<ILumoEnum> collection = NewEnum();
    for (int i = 10; i < 13; ++i)
        EXPECT_EQ(collection->Add(CComVariant(i), MissingArgument()), S_OK);
    return collection;
}

constexpr LONG kCanary = -99;

// Counts beyond the two members an enumerator has left after the first.
const ULONG kNextCountsBeyondTheEnd[] = {3, 10, INT_MAX, 0x80000000u, 0xFFFFFFFFu};
const ULONG kSkipCountsBeyondTheEnd[] = {3, INT_MAX, 0x80000000u, 0xFFFFFFFFu};

std::vector<BadCall<IEnumVARIANT>> EnumeratorCalls()
{
    std::vector<BadCall<IEnumVARIANT>> calls;
    calls.emplace_back("Next into a null array",
                       [](IEnumVARIANT* e) {
                           ULONG fetched = 7;
                           const HRESULT hr = e->Next(1, nullptr, &fetched);
                           EXPECT_EQ(fetched, 7u);
                           return hr;
                       },
                       E_POINTER);
    calls.emplace_back("Next of none into a null array",
                       [](IEnumVARIANT* e) {
                           ULONG fetched = 7;
                           const HRESULT hr = e->Next(0, nullptr, &fetched);
                           EXPECT_EQ(fetched, 0u);
                           return hr;
                       },
                       S_OK);
    calls.emplace_back("Next of none without a count", [](IEnumVARIANT* e) { return e->Next(0, nullptr, nullptr); }, S_OK);
    calls.emplace_back("Clone into a null pointer", [](IEnumVARIANT* e) { return e->Clone(nullptr); }, E_POINTER);
    calls.emplace_back("Skip of none", [](IEnumVARIANT* e) { return e->Skip(0); }, S_OK);
    // Counts far beyond the members left, into an array that only has room for those: only
    // they are written, and the element after them stays as the caller left it.
    for (const ULONG count : kNextCountsBeyondTheEnd) {
        for (const bool counted : {true, false}) {
            calls.emplace_back("Next of " + std::to_string(count) + (counted ? "" : " without a count") +
                                   " into room for the two left",
                               [count, counted](IEnumVARIANT* e) {
                                   VARIANT elements[3];
                                   for (VARIANT& element : elements) {
                                       element.vt = VT_I4;
                                       element.lVal = kCanary;
                                   }
                                   ULONG fetched = 7;
                                   const HRESULT hr = e->Next(count, elements, counted ? &fetched : nullptr);
                                   EXPECT_EQ(fetched, counted ? 2u : 7u);
                                   EXPECT_NE(elements[0].vt, VT_EMPTY);
                                   EXPECT_NE(elements[1].vt, VT_EMPTY);
                                   EXPECT_EQ(elements[2].vt, VT_I4) << "written past the members left";
                                   EXPECT_EQ(elements[2].lVal, kCanary);
                                   VariantClear(&elements[0]);
                                   VariantClear(&elements[1]);
                                   VARIANT after;
                                   after.vt = VT_I4;
                                   after.lVal = kCanary;
                                   fetched = 7;
                                   EXPECT_EQ(e->Next(1, &after, &fetched), S_FALSE) << "at the end";
                                   EXPECT_EQ(fetched, 0u);
                                   EXPECT_EQ(after.lVal, kCanary);
                                   return hr;
                               },
                               S_FALSE, 0, kChanges);
        }
    }
    for (const ULONG count : kSkipCountsBeyondTheEnd) {
        calls.emplace_back("Skip of " + std::to_string(count),
                           [count](IEnumVARIANT* e) {
                               const HRESULT hr = e->Skip(count);
                               CComVariant element;
                               ULONG fetched = 7;
                               EXPECT_EQ(e->Next(1, &element, &fetched), S_FALSE) << "past the end";
                               EXPECT_EQ(fetched, 0u);
                               EXPECT_EQ(e->Skip(count), S_FALSE) << "and further";
                               EXPECT_EQ(e->Reset(), S_OK);
                               EXPECT_EQ(e->Next(1, &element, &fetched), S_OK) << "Reset brings the first back";
                               return hr;
                           },
                           S_FALSE, 0, kChanges);
    }
    // SetEnumHost trusts its caller; the one call a client can make safely, without a host,
    // leaves an enumerator that fails every call as not initialised.
    calls.emplace_back("SetEnumHost without a host",
                       [](IEnumVARIANT* e) {
                           CComQIPtr<ILumoEnumVARIANT> setup(e);
                           const HRESULT hr = setup ? setup->SetEnumHost(nullptr, nullptr, -1) : E_NOINTERFACE;
                           CComVariant element;
                           ULONG fetched = 7;
                           CComPtr<IEnumVARIANT> clone;
                           EXPECT_EQ(e->Next(1, &element, &fetched), E_ZO_EXCEPTION);
                           EXPECT_EQ(fetched, 7u);
                           EXPECT_EQ(e->Skip(1), E_ZO_EXCEPTION);
                           EXPECT_EQ(e->Reset(), E_ZO_EXCEPTION);
                           EXPECT_EQ(e->Clone(&clone), E_ZO_EXCEPTION);
                           EXPECT_FALSE(clone);
                           SetErrorInfo(0, nullptr);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    calls.emplace_back("Clone after a Skip past the end",
                       [](IEnumVARIANT* e) {
                           EXPECT_EQ(e->Skip(0xFFFFFFFFu), S_FALSE);
                           CComPtr<IEnumVARIANT> clone;
                           const HRESULT hr = e->Clone(&clone);
                           CComVariant element;
                           EXPECT_EQ(clone ? clone->Next(1, &element, nullptr) : E_FAIL, S_FALSE);
                           return hr;
                       },
                       S_OK, 0, kChanges);
    return calls;
}

TEST_F(BadInputTest, LumoEnumVARIANTOverAnItemCollection)
{
    CComPtr<ILumoEnum> collection = NumbersEnum();
    RunBadCalls<IEnumVARIANT>([&] { return EnumeratorAfterFirst(collection.p); },
                              [](IEnumVARIANT* e) { return SnapshotOf(e); }, EnumeratorCalls());
}

TEST_F(BadInputTest, LumoEnumVARIANTOverAPropertyCollection)
{
    CComPtr<ILumoEnumProperty> properties = PopulatedPropertyCollection();
    RunBadCalls<IEnumVARIANT>([&] { return EnumeratorAfterFirst(properties.p); },
                              [](IEnumVARIANT* e) { return SnapshotOf(e); }, EnumeratorCalls());
}

// A collection that shrinks below an enumerator's position: the enumerator yields nothing,
// orderly, and finds the members again after Reset.
TEST_F(BadInputTest, LumoEnumVARIANTAfterItsCollectionShrank)
{
    CComPtr<ILumoEnum> collection = NumbersEnum();
    CComPtr<IEnumVARIANT> enumerator = EnumeratorAfterFirst(collection.p);
    ASSERT_TRUE(enumerator);
    ASSERT_EQ(enumerator->Skip(1), S_OK);
    ASSERT_EQ(collection->Remove(CComVariant(0)), S_OK);
    ASSERT_EQ(collection->Remove(CComVariant(0)), S_OK);
    CComVariant elements[2];
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(2, elements, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(elements[0].vt, VT_EMPTY);
    ASSERT_EQ(collection->Clear(), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_FALSE);
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Next(1, elements, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
}

// IUnknown, ISupportErrorInfo and IDispatch of the four dual classes: calls that need no
// more than an object's IDispatch, the same for each class.

constexpr DISPID kToString = 0xFF01;
constexpr DISPID kLoadXML = 0xFF03;

struct DispatchCall {
    const char* what;
    HRESULT (*call)(IDispatch*);
    HRESULT status;
};

const DispatchCall kUnknownAndDispatchCalls[] = {
    {"QueryInterface into a null pointer", [](IDispatch* o) { return o->QueryInterface(IID_IUnknown, nullptr); },
     E_POINTER},
    {"QueryInterface of an interface it lacks",
     [](IDispatch* o) {
         IUnknown* none = reinterpret_cast<IUnknown*>(o);
         const HRESULT hr = o->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&none));
         EXPECT_EQ(none, nullptr);
         return hr;
     },
     E_NOINTERFACE},
    {"InterfaceSupportsErrorInfo of GUID_NULL",
     [](IDispatch* o) {
         CComQIPtr<ISupportErrorInfo> support(o);
         return support ? support->InterfaceSupportsErrorInfo(GUID_NULL) : E_NOINTERFACE;
     },
     S_FALSE},
    {"GetTypeInfoCount into a null pointer", [](IDispatch* o) { return o->GetTypeInfoCount(nullptr); }, E_POINTER},
    {"GetTypeInfo into a null pointer", [](IDispatch* o) { return o->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr); },
     E_POINTER},
    {"GetTypeInfo of the second type",
     [](IDispatch* o) {
         ITypeInfo* info = nullptr;
         const HRESULT hr = o->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info);
         EXPECT_EQ(info, nullptr);
         return hr;
     },
     DISP_E_BADINDEX},
    {"GetIDsOfNames for another interface",
     [](IDispatch* o) {
         LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("ToString"))};
         DISPID id = 0;
         return o->GetIDsOfNames(IID_ILumoItem, names, 1, LOCALE_USER_DEFAULT, &id);
     },
     DISP_E_UNKNOWNINTERFACE},
    {"GetIDsOfNames of an empty name",
     [](IDispatch* o) {
         LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR(""))};
         DISPID id = 0;
         const HRESULT hr = o->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
         EXPECT_EQ(id, DISPID_UNKNOWN);
         return hr;
     },
     DISP_E_UNKNOWNNAME},
    {"Invoke for another interface",
     [](IDispatch* o) {
         DISPPARAMS none{};
         CComVariant result;
         return o->Invoke(kToString, IID_ILumoItem, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                          nullptr);
     },
     DISP_E_UNKNOWNINTERFACE},
    // No parameters are taken as no arguments, as some script engines pass them.
    {"Invoke without parameters",
     [](IDispatch* o) {
         CComVariant result;
         const HRESULT hr =
             o->Invoke(kToString, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr);
         EXPECT_EQ(result.vt, VT_BSTR);
         return hr;
     },
     S_OK},
    {"Invoke of a member it lacks",
     [](IDispatch* o) {
         Invocation call;
         Invoke(call, o, 0x7777, DISPATCH_METHOD, {});
         return call.status;
     },
     DISP_E_MEMBERNOTFOUND},
    {"Invoke of ToString with three arguments",
     [](IDispatch* o) {
         Invocation call;
         Invoke(call, o, kToString, DISPATCH_METHOD, {CComVariant(1), CComVariant(2), CComVariant(3)});
         return call.status;
     },
     DISP_E_BADPARAMCOUNT},
    {"Invoke of LoadXML without its argument",
     [](IDispatch* o) {
         Invocation call;
         Invoke(call, o, kLoadXML, DISPATCH_METHOD, {});
         return call.status;
     },
     kSomeFailure},
    {"Invoke of LoadXML with an argument that is no string",
     [](IDispatch* o) {
         Invocation call;
         SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, 1);
         VARIANT argument;
         argument.vt = VT_ARRAY | VT_R8;
         argument.parray = array;
         Invoke(call, o, kLoadXML, DISPATCH_METHOD, {argument});
         SafeArrayDestroy(array);
         EXPECT_EQ(call.argumentError, 0u);
         return call.status;
     },
     DISP_E_TYPEMISMATCH},
    {"Invoke of a failing LoadXML without room for the exception",
     [](IDispatch* o) {
         CComVariant argument(OLESTR("not xml"));
         DISPPARAMS parameters{&argument, nullptr, 1, 0};
         return o->Invoke(kLoadXML, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                          nullptr);
     },
     kSomeFailure},
    {"Invoke of ToString without room for the result",
     [](IDispatch* o) {
         DISPPARAMS none{};
         return o->Invoke(kToString, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
     },
     S_OK},
};

template <class Object>
std::vector<BadCall<Object>> UnknownAndDispatchCalls()
{
    std::vector<BadCall<Object>> calls;
    for (const DispatchCall& c : kUnknownAndDispatchCalls)
        calls.emplace_back(c.what, [call = c.call](Object* o) { return call(o); }, c.status);
    return calls;
}

TEST_F(BadInputTest, UnknownAndDispatch)
{
    RunBadCalls<ILumoProperty>(PopulatedProperty, [](ILumoProperty* p) { return SnapshotOf(p); },
                               UnknownAndDispatchCalls<ILumoProperty>());
    RunBadCalls<ILumoEnumProperty>(PopulatedPropertyCollection, [](ILumoEnumProperty* p) { return SnapshotOf(p); },
                                   UnknownAndDispatchCalls<ILumoEnumProperty>());
    RunBadCalls<ILumoItem>(PopulatedItem, [](ILumoItem* i) { return SnapshotOf(i); }, UnknownAndDispatchCalls<ILumoItem>());
    RunBadCalls<ILumoEnum>(PopulatedEnum, [](ILumoEnum* e) { return SnapshotOf(e); }, UnknownAndDispatchCalls<ILumoEnum>());
}

// A by-reference variant whose pointer is null, where the value would be read through it:
// refused, and nothing stored.
TEST_F(BadInputTest, NullReferencesAreRefusedWhereTheyWouldBeRead)
{
    for (const VARTYPE type : {VARTYPE(VT_I4), VARTYPE(VT_BSTR), VARTYPE(VT_VARIANT), VARTYPE(VT_DISPATCH),
                               VARTYPE(VT_ARRAY | VT_I4)}) {
        SCOPED_TRACE(type);
        VARIANT reference;
        reference.vt = VT_BYREF | type;
        reference.byref = nullptr;

        std::vector<BadCall<ILumoEnum>> enumCalls;
        enumCalls.emplace_back("Add", [reference](ILumoEnum* e) { return e->Add(reference, MissingArgument()); },
                               E_ZO_EXCEPTION);
        enumCalls.emplace_back("put Item", [reference](ILumoEnum* e) { return e->put_Item(CComVariant(0), reference); },
                               E_ZO_EXCEPTION);
        RunBadCalls<ILumoEnum>(PopulatedEnum, [](ILumoEnum* e) { return SnapshotOf(e); }, enumCalls);

        std::vector<BadCall<ILumoEnumProperty>> propertyCalls;
        propertyCalls.emplace_back("Add",
                                   [reference](ILumoEnumProperty* p) {
                                       return p->Add(reference, CComBSTR(OLESTR("New")), CComBSTR(kNamespace));
                                   },
                                   E_ZO_EXCEPTION);
        propertyCalls.emplace_back("put Item",
                                   [reference](ILumoEnumProperty* p) {
                                       return p->put_Item(CComBSTR(OLESTR("Age")), CComBSTR(kNamespace), reference);
                                   },
                                   E_ZO_EXCEPTION);
        RunBadCalls<ILumoEnumProperty>(PopulatedPropertyCollection, [](ILumoEnumProperty* p) { return SnapshotOf(p); },
                                       propertyCalls);

        std::vector<BadCall<ILumoProperty>> valueCalls;
        valueCalls.emplace_back("put Value", [reference](ILumoProperty* p) { return p->put_Value(reference); },
                                E_ZO_EXCEPTION);
        RunBadCalls<ILumoProperty>(PopulatedProperty, [](ILumoProperty* p) { return SnapshotOf(p); }, valueCalls);
    }
}

// An indent far beyond any text a string can hold is refused before any text is built; the
// deepest one allowed prints.
TEST_F(BadInputTest, ToStringWithTheLargestIndent)
{
    CComPtr<ILumoProperty> property = PopulatedProperty();
    const OleString before = SnapshotOf(property);
    CComBSTR text;
    EXPECT_EQ(property->ToString(CComVariant(INT_MAX), &text), E_ZO_EXCEPTION);
    EXPECT_EQ(text.m_str, nullptr);
    EXPECT_EQ(SnapshotOf(property), before);
    ASSERT_EQ(property->ToString(CComVariant(65536), &text), S_OK);
    EXPECT_EQ(OleStringView(text.m_str, 4 * 65536), OleString(4 * 65536, OLECHAR(' ')));
}

}  // namespace
