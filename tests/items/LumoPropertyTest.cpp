// LumoProperty through its vtable: values, names, the changed flag, texts and errors.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ItemsTestSupport.h"
#include "ZoException.h"
#include "ZoTestSupport.h"

namespace {

using LumoPropertyTest = ComponentTest;

OleString ToStringOf(ILumoProperty* property, const VARIANT& indent)
{
    CComBSTR text;
    EXPECT_EQ(property->ToString(indent, &text), S_OK);
    return OleString(ViewOfBstr(text));
}

TEST_F(LumoPropertyTest, CreatedByProgIdAndClassId)
{
    EXPECT_TRUE(CreateByProgId<ILumoProperty>(OLESTR("LumoItems.LumoProperty")));
    EXPECT_TRUE(CreateByProgId<ILumoProperty>(OLESTR("LumoItems.LumoProperty.1")));
    CComPtr<ILumoProperty> byClassId;
    EXPECT_EQ(byClassId.CoCreateInstance(CLSID_LumoProperty), S_OK);
}

TEST_F(LumoPropertyTest, AnswersItsInterfacesAsOneObject)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    CComPtr<IUnknown> identity;
    ASSERT_EQ(property->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    for (REFIID iid : {IID_ILumoItemBase, IID_ILumoProperty, IID_IDispatch, IID_ISupportErrorInfo, IID_IMarshal}) {
        CComPtr<IUnknown> part;
        ASSERT_EQ(property->QueryInterface(iid, reinterpret_cast<void**>(&part)), S_OK);
        CComPtr<IUnknown> back;
        part->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back));
        EXPECT_EQ(back.p, identity.p);
    }
    CComPtr<IUnknown> none;
    EXPECT_EQ(property->QueryInterface(IID_ILumoItem, reinterpret_cast<void**>(&none)), E_NOINTERFACE);

    CComQIPtr<ISupportErrorInfo> support(property);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILumoProperty), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ILumoItemBase), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(LumoPropertyTest, ToStringTexts)
{
    struct Case {
        const char* what;
        CComVariant indent;
        const OLECHAR* name;
        const OLECHAR* nameSpace;
        CComVariant value;
        const OLECHAR* expected;
    };
    const Case cases[] = {
        {"fresh object", MissingArgument(), nullptr, nullptr, CComVariant(), OLESTR("LumoProperty  (): empty")},
        {"indent 1", CComVariant(1), OLESTR("Title"), OLESTR("urn:a"), CComVariant(OLESTR("x")),
         OLESTR("    LumoProperty Title (urn:a): x")},
        {"16-bit indent 2", CComVariant(SHORT(2)), OLESTR("n"), OLESTR("ns"), CComVariant(5), OLESTR("        LumoProperty n (ns): 5")},
        {"indent as text", CComVariant(OLESTR("2")), OLESTR("n"), OLESTR("ns"), CComVariant(5),
         OLESTR("LumoProperty n (ns): 5")},
        {"negative indent", CComVariant(-3), OLESTR("n"), OLESTR("ns"), CComVariant(5), OLESTR("LumoProperty n (ns): 5")},
        {"indent of 64 bits takes its low half", CComVariant(LONGLONG(0x100000001)), OLESTR("n"), nullptr,
         CComVariant(true), OLESTR("    LumoProperty n (): true")},
        {"float value", CComVariant(), OLESTR("n"), OLESTR("ns"), CComVariant(0.1), OLESTR("LumoProperty n (ns): 0.1000000000")},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoProperty> property = NewProperty();
        ASSERT_TRUE(property);
        if (c.name) {
            ASSERT_EQ(property->put_Name(CComBSTR(c.name)), S_OK);
        }
        if (c.nameSpace) {
            ASSERT_EQ(property->put_Namespace(CComBSTR(c.nameSpace)), S_OK);
        }
        ASSERT_EQ(property->put_Value(c.value), S_OK);
        EXPECT_EQ(ToStringOf(property, c.indent), OleString(c.expected)) << c.what;
    }
}

TEST_F(LumoPropertyTest, ChangedFlagRules)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    VARIANT_BOOL changed = 7;
    ASSERT_EQ(property->get_Changed(&changed), S_OK);
    EXPECT_EQ(changed, VARIANT_FALSE) << "a directly created property starts unchanged";

    ASSERT_EQ(property->put_Value(CComVariant(1)), S_OK);
    property->get_Changed(&changed);
    EXPECT_EQ(changed, VARIANT_FALSE) << "a new value leaves the flag alone";

    ASSERT_EQ(property->put_Changed(1), S_OK);
    property->get_Changed(&changed);
    EXPECT_EQ(changed, 1) << "stored as given, not made -1";

    ASSERT_EQ(property->put_Changed(VARIANT_FALSE), S_OK);
    ASSERT_EQ(property->put_Name(CComBSTR(OLESTR("n"))), S_OK);
    property->get_Changed(&changed);
    EXPECT_EQ(changed, VARIANT_TRUE);

    ASSERT_EQ(property->put_Changed(VARIANT_FALSE), S_OK);
    ASSERT_EQ(property->put_Namespace(nullptr), S_OK);
    property->get_Changed(&changed);
    EXPECT_EQ(changed, VARIANT_TRUE);
}

TEST_F(LumoPropertyTest, NamesAreStoredUpToTheFirstZeroAndReadBackWhole)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    CComBSTR name;
    ASSERT_EQ(property->get_Name(&name), S_OK);
    EXPECT_EQ(name.m_str, nullptr) << "a fresh name is null";

    const OLECHAR withZero[] = {'a', 0, 'b'};
    ASSERT_EQ(property->put_Name(CComBSTR(3, withZero)), S_OK);
    name.Empty();
    ASSERT_EQ(property->get_Name(&name), S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(name)), OLESTR("a"));

    ASSERT_EQ(property->put_Namespace(CComBSTR(OLESTR(""))), S_OK);
    CComBSTR nameSpace;
    ASSERT_EQ(property->get_Namespace(&nameSpace), S_OK);
    ASSERT_NE(nameSpace.m_str, nullptr) << "empty is not null";
    EXPECT_EQ(nameSpace.Length(), 0u);

    ASSERT_EQ(property->put_Namespace(nullptr), S_OK);
    nameSpace.Empty();
    ASSERT_EQ(property->get_Namespace(&nameSpace), S_OK);
    EXPECT_EQ(nameSpace.m_str, nullptr);
}

TEST_F(LumoPropertyTest, ValuesAreDeepCopies)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    CComVariant text(OLESTR("abc"));
    ASSERT_EQ(property->put_Value(text), S_OK);

    VARIANT first, second;
    ASSERT_EQ(property->get_Value(&first), S_OK);
    ASSERT_EQ(property->get_Value(&second), S_OK);
    ASSERT_EQ(first.vt, VT_BSTR);
    EXPECT_NE(first.bstrVal, text.bstrVal);
    EXPECT_NE(first.bstrVal, second.bstrVal);
    EXPECT_EQ(OleString(ViewOfBstr(first.bstrVal)), OLESTR("abc"));
    VariantClear(&first);
    VariantClear(&second);

    // An object value is shared, with one more reference.
    CComPtr<ILumoProperty> other = NewProperty();
    ASSERT_EQ(property->put_Value(CComVariant(static_cast<IDispatch*>(other.p))), S_OK);
    CComVariant object;
    ASSERT_EQ(property->get_Value(&object), S_OK);
    ASSERT_EQ(object.vt, VT_DISPATCH);
    EXPECT_EQ(object.pdispVal, static_cast<IDispatch*>(other.p));
    object.Clear();
    ASSERT_EQ(property->put_Value(CComVariant()), S_OK);
}

// A by-reference value is stored as the value it refers to: nothing points into the caller's
// memory once put Value has returned. A reference that cannot be read is refused and the old
// value kept.
TEST_F(LumoPropertyTest, ByReferenceValueIsStoredAsTheValueReferredTo)
{
    LONG number = 42;
    CComBSTR text(OLESTR("text"));
    CComVariant inner(7);
    VARIANT innerReference;
    innerReference.vt = VT_BYREF | VT_I4;
    innerReference.plVal = &number;
    const auto byReference = [](VARTYPE vt, void* target) {
        VARIANT reference;
        reference.vt = VT_BYREF | vt;
        reference.byref = target;
        return reference;
    };
    struct Case {
        const char* what;
        VARIANT given;
        HRESULT status;
        const OLECHAR* text;   // ToString after the call, the old value kept where it fails
    };
    const Case cases[] = {
        {"a long", byReference(VT_I4, &number), S_OK, OLESTR("LumoProperty  (): 42")},
        {"a string", byReference(VT_BSTR, &text.m_str), S_OK, OLESTR("LumoProperty  (): text")},
        {"a variant", byReference(VT_VARIANT, &inner), S_OK, OLESTR("LumoProperty  (): 7")},
        {"a variant that is a reference", byReference(VT_VARIANT, &innerReference), E_ZO_EXCEPTION,
         OLESTR("LumoProperty  (): 1")},
        {"nothing", byReference(VT_I4, nullptr), E_ZO_EXCEPTION, OLESTR("LumoProperty  (): 1")},
    };
    for (const Case& c : cases) {
        CComPtr<ILumoProperty> property = NewProperty();
        ASSERT_TRUE(property);
        ASSERT_EQ(property->put_Value(CComVariant(1)), S_OK);
        EXPECT_EQ(property->put_Value(c.given), c.status) << c.what;
        if (FAILED(c.status))
            TakeThreadErrorObject();
        number = 0;
        text = OLESTR("changed");
        inner = 0;
        EXPECT_EQ(ToStringOf(property, MissingArgument()), OleString(c.text)) << c.what;
        CComVariant back;
        ASSERT_EQ(property->get_Value(&back), S_OK);
        EXPECT_EQ(back.vt & VT_BYREF, 0) << c.what;
        number = 42;
        text = OLESTR("text");
        inner = 7;
    }
}

TEST_F(LumoPropertyTest, NullOutPointersGetPlainEPointer)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(property->ToString(MissingArgument(), nullptr), E_POINTER);
    EXPECT_EQ(property->SaveXML(nullptr), E_POINTER);
    EXPECT_EQ(property->get_Name(nullptr), E_POINTER);
    EXPECT_EQ(property->get_Namespace(nullptr), E_POINTER);
    EXPECT_EQ(property->get_Value(nullptr), E_POINTER);
    EXPECT_EQ(property->get_Changed(nullptr), E_POINTER);
    EXPECT_FALSE(TakeThreadErrorObject().present);
}

// The two entries of an unimplemented method: the raise, then the frame's stack-trace entry.
OleString UnimplementedDocument(const OLECHAR* function, const std::vector<EntryView>& entries)
{
    const OleString line0 = entries.size() > 0 ? entries[0].line : OleString();
    const OleString line1 = entries.size() > 1 ? entries[1].line : OleString();
    return OleString(OLESTR("\r\n<error>\r\n\t<errorentry>\r\n\t\t<description>Unimplemented.</description>"
                            "\r\n\t\t<errorcode>1012</errorcode>\r\n\t\t<sourcefile>.\\LumoProperty</sourcefile>"
                            "\r\n\t\t<sourceline>")) +
           line0 + OLESTR("</sourceline>\r\n\t\t<sourcefunction>") + function +
           OLESTR("</sourcefunction>\r\n\t</errorentry>\r\n\t<errorentry>\r\n\t\t<description>Stacktrace.</description>"
                  "\r\n\t\t<errorcode>1005</errorcode>\r\n\t\t<sourcefile>.\\LumoProperty</sourcefile>"
                  "\r\n\t\t<sourceline>") +
           line1 + OLESTR("</sourceline>\r\n\t\t<sourcefunction>") + function +
           OLESTR("</sourcefunction>\r\n\t</errorentry>\r\n</error>");
}

TEST_F(LumoPropertyTest, SaveXmlAndLoadXmlFailWithTheErrorDocument)
{
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    struct Case {
        const OLECHAR* function;
        HRESULT (*call)(ILumoProperty*);
    };
    const Case cases[] = {
        {OLESTR("CLumoProperty::SaveXML"),
         [](ILumoProperty* p) {
             CComBSTR xml;
             return p->SaveXML(&xml);
         }},
        {OLESTR("CLumoProperty::LoadXML"), [](ILumoProperty* p) { return p->LoadXML(CComBSTR(OLESTR("<x/>"))); }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.call(property), E_ZO_EXCEPTION);
        const ErrorObjectFields error = TakeThreadErrorObject();
        ASSERT_TRUE(error.present);
        EXPECT_TRUE(IsEqualGUID(error.guid, IID_ILumoProperty));
        EXPECT_EQ(error.source, OLESTR("LumoItems.LumoProperty.1"));
        const std::vector<EntryView> entries = EntriesOfXml(error.description);
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_LT(std::stoi(std::string(entries[0].line.begin(), entries[0].line.end())),
                  std::stoi(std::string(entries[1].line.begin(), entries[1].line.end())))
            << "the raise stands inside the frame";
        EXPECT_EQ(error.description, UnimplementedDocument(c.function, entries));
    }
}

TEST_F(LumoPropertyTest, AggregatedInsideAnOuterObject)
{
    // A minimal outer object: its identity owns the inner's non-delegating unknown.
    class Outer : public IUnknown {
    public:
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override
        {
            if (iid == IID_IUnknown) {
                *object = this;
                AddRef();
                return S_OK;
            }
            return inner->QueryInterface(iid, object);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
        STDMETHODIMP_(ULONG) Release() override { return --references; }
        ULONG references = 1;
        IUnknown* inner = nullptr;
    } outer;

    ASSERT_EQ(CoCreateInstance(CLSID_LumoProperty, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    CComPtr<ILumoProperty> property;
    ASSERT_EQ(outer.QueryInterface(IID_ILumoProperty, reinterpret_cast<void**>(&property)), S_OK);
    CComPtr<IUnknown> identity;
    property->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
    EXPECT_EQ(identity.p, static_cast<IUnknown*>(&outer));
    ASSERT_EQ(property->put_Name(CComBSTR(OLESTR("n"))), S_OK);
    identity.Release();
    property.Release();
    EXPECT_EQ(outer.references, 1u);
    outer.inner->Release();
}

}  // namespace
