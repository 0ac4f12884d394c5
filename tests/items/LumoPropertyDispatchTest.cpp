// LumoProperty late-bound, as scripts call it: names, the default member, omitted and
// by-reference arguments, wrong types and failing methods.
#include <gtest/gtest.h>

#include "ItemsTestSupport.h"
#include "ZoException.h"

namespace {

using LumoPropertyDispatchTest = ComponentTest;

CComPtr<IDispatch> NewDispatchProperty()
{
    return CreateByProgId<IDispatch>(OLESTR("LumoItems.LumoProperty"));
}

TEST_F(LumoPropertyDispatchTest, PropertiesByNameWithoutRegardToCase)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    ASSERT_TRUE(property);
    Invocation put;
    Invoke(put, property, DispIdOf(property, OLESTR("name")), DISPATCH_PROPERTYPUT, {CComVariant(OLESTR("Title"))});
    ASSERT_EQ(put.status, S_OK);

    Invocation get;
    Invoke(get, property, DispIdOf(property, OLESTR("NAME")), DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(get.status, S_OK);
    ASSERT_EQ(get.result.vt, VT_BSTR);
    EXPECT_EQ(OleString(ViewOfBstr(get.result.bstrVal)), OLESTR("Title"));

    Invocation changed;
    Invoke(changed, property, DispIdOf(property, OLESTR("Changed")), DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(changed.result.vt, VT_BOOL);
    EXPECT_EQ(changed.result.boolVal, VARIANT_TRUE);

    EXPECT_EQ(DispIdOf(property, OLESTR("Namespace")), 3);
    EXPECT_EQ(DispIdOf(property, OLESTR("tostring")), 0xFF01);
}

TEST_F(LumoPropertyDispatchTest, DefaultMemberIsTheValue)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    ASSERT_TRUE(property);
    Invocation put;
    Invoke(put, property, DISPID_VALUE, DISPATCH_PROPERTYPUT, {CComVariant(12)});
    ASSERT_EQ(put.status, S_OK);
    Invocation get;
    Invoke(get, property, DISPID_VALUE, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(get.status, S_OK);
    EXPECT_EQ(get.result.vt, VT_I4);
    EXPECT_EQ(get.result.lVal, 12);
    EXPECT_EQ(DispIdOf(property, OLESTR("Value")), DISPID_VALUE);
}

TEST_F(LumoPropertyDispatchTest, ToStringWithOmittedAndByReferenceIndent)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    ASSERT_TRUE(property);
    const DISPID toString = DispIdOf(property, OLESTR("ToString"));
    Invocation omitted;
    Invoke(omitted, property, toString, DISPATCH_METHOD, {});
    ASSERT_EQ(omitted.status, S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(omitted.result.bstrVal)), OLESTR("LumoProperty  (): empty"));

    // A script's variable: a VARIANT by reference holding the 16-bit integer 1.
    CComVariant indent(SHORT(1));
    VARIANT reference;
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = &indent;
    Invocation byReference;
    Invoke(byReference, property, toString, DISPATCH_METHOD, {reference});
    ASSERT_EQ(byReference.status, S_OK);
    EXPECT_EQ(OleString(ViewOfBstr(byReference.result.bstrVal)), OLESTR("    LumoProperty  (): empty"));
}

TEST_F(LumoPropertyDispatchTest, PutRefServesAsThePut)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    CComPtr<IDispatch> other = NewDispatchProperty();
    ASSERT_TRUE(property && other);
    Invocation putRef;
    Invoke(putRef, property, DISPID_VALUE, DISPATCH_PROPERTYPUTREF, {CComVariant(other.p)});
    ASSERT_EQ(putRef.status, S_OK);
    Invocation get;
    Invoke(get, property, DISPID_VALUE, DISPATCH_PROPERTYGET, {});
    ASSERT_EQ(get.result.vt, VT_DISPATCH);
    EXPECT_EQ(get.result.pdispVal, other.p);
    get.result.Clear();
    Invocation clear;
    Invoke(clear, property, DISPID_VALUE, DISPATCH_PROPERTYPUT, {CComVariant()});
}

TEST_F(LumoPropertyDispatchTest, WrongArgumentTypeAndUnknownName)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    ASSERT_TRUE(property);
    Invocation wrongType;
    Invoke(wrongType, property, DispIdOf(property, OLESTR("Changed")), DISPATCH_PROPERTYPUT,
           {CComVariant(OLESTR("not a boolean"))});
    EXPECT_EQ(wrongType.status, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrongType.argumentError, 0u);

    LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Colour"))};
    DISPID id = 0;
    EXPECT_EQ(property->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    Invocation unknownId;
    Invoke(unknownId, property, 77, DISPATCH_METHOD, {});
    EXPECT_EQ(unknownId.status, DISP_E_MEMBERNOTFOUND);
}

TEST_F(LumoPropertyDispatchTest, FailingMethodFillsTheExceptionInfo)
{
    CComPtr<IDispatch> property = NewDispatchProperty();
    ASSERT_TRUE(property);
    Invocation save;
    Invoke(save, property, DispIdOf(property, OLESTR("SaveXML")), DISPATCH_METHOD, {});
    ASSERT_EQ(save.status, DISP_E_EXCEPTION);
    EXPECT_EQ(save.exception.scode, E_ZO_EXCEPTION);
    EXPECT_EQ(OleString(ViewOfBstr(save.exception.bstrSource)), OLESTR("LumoItems.LumoProperty.1"));
    const OleString description(ViewOfBstr(save.exception.bstrDescription));
    EXPECT_TRUE(CZoException::IsErrorDocument(description.c_str()));
    EXPECT_NE(description.find(OLESTR("<description>Unimplemented.</description>")), OleString::npos);
}

}  // namespace
