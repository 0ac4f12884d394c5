// IDispatch of a framework class through its type library: names, calls, coercion, errors and
// the script-client allowances of IDispatchImpl.
#include "DispatchTestSupport.h"

namespace {

class LateBound : public RegisteredModule {
protected:
    void SetUp() override
    {
        RegisteredModule::SetUp();
        RegisterLibrary();
        ASSERT_EQ(CoCreateInstance(CLSID_TestRecord, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&m_object)),
                  S_OK);
    }
    void TearDown() override
    {
        m_object->Release();
        RegisteredModule::TearDown();
    }

    DISPID IdOf(const OLECHAR* name)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        EXPECT_EQ(m_object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << std::string(name, name + 4);
        return id;
    }

    // Arguments in call order; stored reversed, as DISPPARAMS holds them.
    HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result = nullptr,
                 UINT* argError = nullptr, EXCEPINFO* exception = nullptr)
    {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        UINT ignored = 0;
        return m_object->Invoke(id, IID_NULL, 0, flags, &params, result, exception, argError ? argError : &ignored);
    }

    static VARIANT I4(LONG value)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    }
    // The caller keeps ownership: tests free what they make.
    static VARIANT Text(const OLECHAR* text)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        return v;
    }
    static OleString TextOf(VARIANT& v)
    {
        EXPECT_EQ(V_VT(&v), VT_BSTR);
        OleString text = V_VT(&v) == VT_BSTR ? OleString(V_BSTR(&v), SysStringLen(V_BSTR(&v))) : OleString();
        VariantClear(&v);
        return text;
    }

    IDispatch* m_object = nullptr;
};

TEST_F(LateBound, NamesAreFoundWithoutRegardToCase)
{
    struct Case { const OLECHAR* name; DISPID id; };
    const Case cases[] = {
        {OLESTR("Value"), DISPID_VALUE}, {OLESTR("NAME"), 1}, {OLESTR("count"), 2}, {OLESTR("fOrMaT"), 4},
        {OLESTR("_NewEnum"), DISPID_NEWENUM}, {OLESTR("describe"), 0x100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IdOf(c.name), c.id);

    LPOLESTR withParams[] = {const_cast<LPOLESTR>(OLESTR("format")), const_cast<LPOLESTR>(OLESTR("VFILL")),
                             const_cast<LPOLESTR>(OLESTR("nWidth"))};
    DISPID ids[3] = {};
    ASSERT_EQ(m_object->GetIDsOfNames(IID_NULL, withParams, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(OLESTR("Nothing"))};
    DISPID id = 0;
    EXPECT_EQ(m_object->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(LateBound, PropertiesRoundTripThroughPutAndGet)
{
    VARIANT name = Text(OLESTR("rec"));
    ASSERT_EQ(Call(1, DISPATCH_PROPERTYPUT, {name}), S_OK);
    VariantClear(&name);
    ASSERT_EQ(Call(2, DISPATCH_PROPERTYPUT, {I4(7)}), S_OK);
    VARIANT flag;
    VariantInit(&flag);
    V_VT(&flag) = VT_BOOL;
    V_BOOL(&flag) = VARIANT_TRUE;
    ASSERT_EQ(Call(3, DISPATCH_PROPERTYPUT, {flag}), S_OK);

    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Call(1, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(TextOf(result), OLESTR("rec"));
    ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 7);
    ASSERT_EQ(Call(3, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    // The inherited member, called the way scripts call: method or property get.
    ASSERT_EQ(Call(0x100, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(TextOf(result), OLESTR("record rec"));
}

TEST_F(LateBound, DefaultMemberTakesAnyVariant)
{
    VARIANT value = Text(OLESTR("x"));
    ASSERT_EQ(Call(DISPID_VALUE, DISPATCH_PROPERTYPUT, {value}), S_OK);
    VariantClear(&value);
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Call(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(TextOf(result), OLESTR("x"));
}

TEST_F(LateBound, ArgumentsAreMappedAndCoerced)
{
    VARIANT omitted;
    VariantInit(&omitted);
    V_VT(&omitted) = VT_ERROR;
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    VARIANT fortyTwo = Text(OLESTR("42"));
    VARIANT fill = Text(OLESTR("-"));
    LONG width = 9;
    VARIANT widthRef;
    VariantInit(&widthRef);
    V_VT(&widthRef) = VT_BYREF | VT_I4;
    V_I4REF(&widthRef) = &width;
    VARIANT inner = I4(5);
    VARIANT variantRef;
    VariantInit(&variantRef);
    V_VT(&variantRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&variantRef) = &inner;

    struct Case { const char* what; std::vector<VARIANT> args; const OLECHAR* text; };
    const Case cases[] = {
        {"optional argument left out", {I4(3)}, OLESTR("3|omitted")},
        {"optional argument passed as missing", {I4(3), omitted}, OLESTR("3|omitted")},
        {"string coerced to long", {fortyTwo, fill}, OLESTR("42|8")},
        // By-reference arguments reach a VARIANT parameter dereferenced (IDispatchImpl).
        {"VT_BYREF | VT_I4", {widthRef, widthRef}, OLESTR("9|3")},
        {"VT_BYREF | VT_VARIANT", {variantRef, variantRef}, OLESTR("5|3")},
    };
    for (const Case& c : cases) {
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(Call(4, DISPATCH_METHOD, c.args, &result), S_OK) << c.what;
        EXPECT_EQ(TextOf(result), c.text) << c.what;
    }
    // The caller's variants are untouched.
    EXPECT_EQ(V_VT(&variantRef), VT_BYREF | VT_VARIANT);
    EXPECT_EQ(V_VT(&fortyTwo), VT_BSTR);
    VariantClear(&fortyTwo);
    VariantClear(&fill);
}

TEST_F(LateBound, BadCallsGetTheDispatchStatuses)
{
    VARIANT word = Text(OLESTR("wide"));
    VARIANT huge;
    VariantInit(&huge);
    V_VT(&huge) = VT_R8;
    V_R8(&huge) = 1e20;
    struct Case { const char* what; DISPID id; WORD flags; std::vector<VARIANT> args; HRESULT hr; UINT argError; };
    const Case cases[] = {
        {"wrong type, first argument", 4, DISPATCH_METHOD, {word, I4(1)}, DISP_E_TYPEMISMATCH, 1},
        {"overflow", 4, DISPATCH_METHOD, {huge}, DISP_E_OVERFLOW, 0},
        {"too many arguments", 4, DISPATCH_METHOD, {I4(1), I4(2), I4(3)}, DISP_E_BADPARAMCOUNT, 0},
        {"required argument missing", 4, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT, 0},
        {"unknown member", 77, DISPATCH_METHOD, {}, DISP_E_MEMBERNOTFOUND, 0},
        {"method called as a put", 5, DISPATCH_PROPERTYPUT, {I4(1)}, DISP_E_MEMBERNOTFOUND, 0},
    };
    for (const Case& c : cases) {
        VARIANT result;
        VariantInit(&result);
        UINT argError = 99;
        EXPECT_EQ(Call(c.id, c.flags, c.args, &result, &argError), c.hr) << c.what;
        if (c.hr == DISP_E_TYPEMISMATCH || c.hr == DISP_E_OVERFLOW) {
            EXPECT_EQ(argError, c.argError) << c.what;
        }
        VariantClear(&result);
    }
    VariantClear(&word);

    // A put without the named DISPID_PROPERTYPUT argument.
    VARIANT seven = I4(7);
    DISPPARAMS unnamed{&seven, nullptr, 1, 0};
    UINT argError = 0;
    EXPECT_EQ(m_object->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, &argError),
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(m_object->Invoke(2, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &unnamed, nullptr, nullptr, &argError),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(LateBound, FailingMethodReportsTheErrorObject)
{
    EXCEPINFO exception{};
    ASSERT_EQ(Call(5, DISPATCH_METHOD, {}, nullptr, nullptr, &exception), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, static_cast<SCODE>(0x80045D53L));  // E_ZO_EXCEPTION
    ASSERT_NE(exception.bstrDescription, nullptr);
    EXPECT_NE(OleString(exception.bstrDescription).find(OLESTR("Unimplemented.")), OleString::npos);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    // Without an EXCEPINFO the method's own status comes back.
    EXPECT_EQ(Call(5, DISPATCH_METHOD, {}), static_cast<HRESULT>(0x80045D53L));
}

TEST_F(LateBound, PutRefIsServedAsThePut)
{
    VARIANT self;
    VariantInit(&self);
    V_VT(&self) = VT_DISPATCH;
    V_DISPATCH(&self) = m_object;
    ASSERT_EQ(Call(DISPID_VALUE, DISPATCH_PROPERTYPUTREF, {self}), S_OK);
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Call(DISPID_VALUE, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&result), m_object);
    // Break the cycle the object now holds on itself.
    VariantClear(&result);
    ASSERT_EQ(Call(DISPID_VALUE, DISPATCH_PROPERTYPUT, {I4(0)}), S_OK);
}

TEST_F(LateBound, InterfaceArgumentsAndEnumerator)
{
    VARIANT self;
    VariantInit(&self);
    V_VT(&self) = VT_DISPATCH;
    V_DISPATCH(&self) = m_object;
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Call(6, DISPATCH_METHOD, {self}, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    EXPECT_EQ(Call(6, DISPATCH_METHOD, {I4(1)}, &result), DISP_E_TYPEMISMATCH);

    ASSERT_EQ(Call(DISPID_NEWENUM, DISPATCH_METHOD, {}, &result), S_OK) << "a property read called as a method";
    VariantClear(&result);
    ASSERT_EQ(Call(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(V_VT(&result), VT_UNKNOWN);
    IEnumVARIANT* enumerator = nullptr;
    EXPECT_EQ(V_UNKNOWN(&result)->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&enumerator)), S_OK);
    enumerator->Release();
    VariantClear(&result);
}

TEST_F(RegisteredModule, UnregisteredLibraryIsReadFromTheModuleItself)
{
    IDispatch* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TestRecord, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&object)),
              S_OK);
    UINT count = 0;
    EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(object->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, IID_ITestRecord);
    info->ReleaseTypeAttr(attributes);
    info->Release();
    EXPECT_EQ(object->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    object->Release();
}

}  // namespace
