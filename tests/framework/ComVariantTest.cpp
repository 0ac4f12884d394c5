// The owning VARIANT.
#include <functional>

#include <gtest/gtest.h>

#include "TestClasses.h"

namespace {

ULONG CountOf(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

struct ConstructionCase {
    const char* what;
    std::function<CComVariant()> make;
    VARTYPE vt;
    std::function<bool(const VARIANT&)> holds;
};

const OLECHAR kWithNul[] = {u'a', 0, u'b'};

const ConstructionCase kConstructionCases[] = {
    {"default", [] { return CComVariant(); }, VT_EMPTY, [](const VARIANT&) { return true; }},
    {"bool", [] { return CComVariant(true); }, VT_BOOL, [](const VARIANT& v) { return v.boolVal == VARIANT_TRUE; }},
    {"signed char", [] { return CComVariant(static_cast<signed char>(-3)); }, VT_I1,
     [](const VARIANT& v) { return v.cVal == -3; }},
    {"unsigned char", [] { return CComVariant(static_cast<unsigned char>(200)); }, VT_UI1,
     [](const VARIANT& v) { return v.bVal == 200; }},
    {"short", [] { return CComVariant(static_cast<short>(-300)); }, VT_I2,
     [](const VARIANT& v) { return v.iVal == -300; }},
    {"VARIANT_BOOL is a short", [] { return CComVariant(VARIANT_TRUE); }, VT_I2,
     [](const VARIANT& v) { return v.iVal == -1; }},
    {"unsigned short", [] { return CComVariant(static_cast<unsigned short>(60000)); }, VT_UI2,
     [](const VARIANT& v) { return v.uiVal == 60000; }},
    {"int", [] { return CComVariant(-5); }, VT_I4, [](const VARIANT& v) { return v.lVal == -5; }},
    {"LONG", [] { return CComVariant(LONG(-7)); }, VT_I4, [](const VARIANT& v) { return v.lVal == -7; }},
    {"unsigned", [] { return CComVariant(4000000000u); }, VT_UI4,
     [](const VARIANT& v) { return v.ulVal == 4000000000u; }},
    {"int as VT_INT", [] { return CComVariant(9, VT_INT); }, VT_INT, [](const VARIANT& v) { return v.intVal == 9; }},
    {"unsigned as VT_UINT", [] { return CComVariant(9u, VT_UINT); }, VT_UINT,
     [](const VARIANT& v) { return v.uintVal == 9u; }},
    {"status as VT_ERROR", [] { return CComVariant(DISP_E_PARAMNOTFOUND, VT_ERROR); }, VT_ERROR,
     [](const VARIANT& v) { return v.scode == DISP_E_PARAMNOTFOUND; }},
    {"long long", [] { return CComVariant(-(1LL << 40)); }, VT_I8,
     [](const VARIANT& v) { return v.llVal == -(1LL << 40); }},
    {"unsigned long long", [] { return CComVariant(1ULL << 63); }, VT_UI8,
     [](const VARIANT& v) { return v.ullVal == 1ULL << 63; }},
    {"float", [] { return CComVariant(1.5f); }, VT_R4, [](const VARIANT& v) { return v.fltVal == 1.5f; }},
    {"double", [] { return CComVariant(2.25); }, VT_R8, [](const VARIANT& v) { return v.dblVal == 2.25; }},
    {"date", [] { return CComVariant(36526.5, VT_DATE); }, VT_DATE, [](const VARIANT& v) { return v.date == 36526.5; }},
    {"text", [] { return CComVariant(OLESTR("abc")); }, VT_BSTR,
     [](const VARIANT& v) { return ViewOfBstr(v.bstrVal) == OLESTR("abc"); }},
    {"null text", [] { return CComVariant(static_cast<LPCOLESTR>(nullptr)); }, VT_BSTR,
     [](const VARIANT& v) { return v.bstrVal == nullptr; }},
    {"CComBSTR keeps NULs", [] { return CComVariant(CComBSTR(3, kWithNul)); }, VT_BSTR,
     [](const VARIANT& v) { return ViewOfBstr(v.bstrVal) == OleStringView(kWithNul, 3); }},
    {"assigned", [] { CComVariant v(OLESTR("old")); v = 3; return v; }, VT_I4,
     [](const VARIANT& v) { return v.lVal == 3; }},
};

TEST(ComVariant, ConstructorsPickTheTypeOfTheValue)
{
    for (const ConstructionCase& c : kConstructionCases) {
        const CComVariant v = c.make();
        EXPECT_EQ(c.vt, v.vt) << c.what;
        EXPECT_TRUE(c.holds(v)) << c.what;
    }
}

TEST(ComVariant, TypesThatDoNotFitTheValueThrow)
{
    const std::function<void()> kMisfits[] = {
        [] { CComVariant(5, VT_BSTR); },
        [] { CComVariant(static_cast<short>(1), VT_ERROR); },
        [] { CComVariant(5LL, VT_I4); },
        [] { CComVariant(5u, VT_ERROR); },
        [] { CComVariant(2.0, VT_I4); },
        [] { CComVariant(static_cast<const SAFEARRAY*>(nullptr)); },
    };
    for (const auto& misfit : kMisfits) {
        try {
            misfit();
            ADD_FAILURE() << "no exception";
        } catch (const CComError& error) {
            EXPECT_EQ(E_INVALIDARG, error.Error());
        }
    }
}

class ComVariantObjects : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CTestObject::CreateInstance(&object)); }

    CComPtr<IUnknown> object;
};

TEST_F(ComVariantObjects, HoldsAReferenceUntilCleared)
{
    CComQIPtr<IDispatch> dispatch(object);
    const ULONG base = CountOf(object);
    {
        CComVariant unknown(object.p);
        EXPECT_EQ(VT_UNKNOWN, unknown.vt);
        CComVariant asDispatch(dispatch.p);
        EXPECT_EQ(VT_DISPATCH, asDispatch.vt);
        EXPECT_EQ(base + 2, CountOf(object));
        CComVariant copy(unknown);
        EXPECT_EQ(base + 3, CountOf(object));
        CComVariant moved(std::move(copy));
        EXPECT_EQ(VT_EMPTY, copy.vt);
        EXPECT_EQ(base + 3, CountOf(object));
        EXPECT_EQ(S_OK, moved.Clear());
        EXPECT_EQ(VT_EMPTY, moved.vt);
        EXPECT_EQ(base + 2, CountOf(object));
    }
    EXPECT_EQ(base, CountOf(object));
    CComVariant none(static_cast<IUnknown*>(nullptr));
    EXPECT_EQ(VT_UNKNOWN, none.vt);
    EXPECT_EQ(nullptr, none.punkVal);
}

TEST_F(ComVariantObjects, AttachAndDetachMoveTheValue)
{
    const ULONG base = CountOf(object);
    VARIANT raw;
    VariantInit(&raw);
    raw.vt = VT_UNKNOWN;
    raw.punkVal = object;
    object.p->AddRef();

    CComVariant held(OLESTR("replaced"));
    EXPECT_EQ(S_OK, held.Attach(&raw));
    EXPECT_EQ(VT_EMPTY, raw.vt);
    EXPECT_EQ(VT_UNKNOWN, held.vt);
    EXPECT_EQ(base + 1, CountOf(object));

    // Detach clears the target's own value first: its reference is given back.
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_UNKNOWN;
    target.punkVal = object;
    object.p->AddRef();
    EXPECT_EQ(base + 2, CountOf(object));
    EXPECT_EQ(S_OK, held.Detach(&target));
    EXPECT_EQ(VT_EMPTY, held.vt);
    EXPECT_EQ(VT_UNKNOWN, target.vt);
    EXPECT_EQ(base + 1, CountOf(object));
    EXPECT_EQ(S_OK, VariantClear(&target));
    EXPECT_EQ(base, CountOf(object));

    EXPECT_EQ(E_POINTER, held.Attach(nullptr));
    EXPECT_EQ(E_POINTER, held.Detach(nullptr));
}

TEST(ComVariant, CopiesAreDeep)
{
    const CComVariant text(OLESTR("abc"));
    CComVariant copy(text);
    EXPECT_NE(text.bstrVal, copy.bstrVal);
    EXPECT_EQ(ViewOfBstr(text.bstrVal), ViewOfBstr(copy.bstrVal));

    CComVariant assigned(5);
    assigned = static_cast<const VARIANT&>(text);
    EXPECT_EQ(VT_BSTR, assigned.vt);
    EXPECT_NE(text.bstrVal, assigned.bstrVal);

    CComVariant target;
    EXPECT_EQ(S_OK, target.Copy(&text));
    EXPECT_NE(text.bstrVal, target.bstrVal);
    const BSTR held = target.bstrVal;
    EXPECT_EQ(S_OK, target.Copy(&target));   // copying onto itself keeps the value
    EXPECT_EQ(held, target.bstrVal);
    EXPECT_EQ(E_POINTER, target.Copy(nullptr));
}

TEST(ComVariant, CopiesArrays)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 3);
    ASSERT_NE(nullptr, array);
    LONG index = 1;
    LONG value = 42;
    ASSERT_EQ(S_OK, SafeArrayPutElement(array, &index, &value));
    {
        CComVariant v(array);
        EXPECT_EQ(VT_ARRAY | VT_I4, v.vt);
        EXPECT_NE(array, v.parray);
        LONG copied = 0;
        EXPECT_EQ(S_OK, SafeArrayGetElement(v.parray, &index, &copied));
        EXPECT_EQ(42, copied);
    }
    EXPECT_EQ(S_OK, SafeArrayDestroy(array));
}

TEST(ComVariant, ChangeTypeConvertsOrLeavesTheValue)
{
    CComVariant number(42);
    EXPECT_EQ(S_OK, number.ChangeType(VT_BSTR));
    EXPECT_EQ(VT_BSTR, number.vt);
    EXPECT_EQ(OleStringView(OLESTR("42")), ViewOfBstr(number.bstrVal));

    CComVariant text(OLESTR("not a number"));
    EXPECT_EQ(DISP_E_TYPEMISMATCH, text.ChangeType(VT_I4));
    EXPECT_EQ(VT_BSTR, text.vt);
    EXPECT_EQ(OleStringView(OLESTR("not a number")), ViewOfBstr(text.bstrVal));

    const CComVariant source(OLESTR("7"));
    CComVariant converted;
    EXPECT_EQ(S_OK, converted.ChangeType(VT_I4, &source));
    EXPECT_EQ(VT_I4, converted.vt);
    EXPECT_EQ(7, converted.lVal);
    EXPECT_EQ(VT_BSTR, source.vt);
}

}   // namespace
