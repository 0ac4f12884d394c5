// VARIANT lifetime: VariantInit, VariantClear, VariantCopy, VariantCopyInd.
#include <cstring>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include "OleString.h"

#include "CountedObject.h"

namespace {

// Clears the variant when the test ends.
struct OwnedVariant {
    VARIANT value;
    OwnedVariant() { VariantInit(&value); }
    ~OwnedVariant() { VariantClear(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    VARIANT* operator&() { return &value; }
};

OleString Contents(BSTR text) { return OleString(ViewOfBstr(text)); }

void SetString(VARIANT* v, const OLECHAR* text, UINT chars)
{
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = SysAllocStringLen(text, chars);
}

SAFEARRAY* StringVector(const OLECHAR* first, const OLECHAR* second)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_BSTR, 0, 2);
    const OLECHAR* texts[] = {first, second};
    for (LONG index = 0; index < 2; ++index) {
        BSTR text = SysAllocString(texts[index]);
        SafeArrayPutElement(psa, &index, text);  // stores a copy
        SysFreeString(text);
    }
    return psa;
}

OleString StringAt(SAFEARRAY* psa, LONG index)
{
    BSTR* data = nullptr;
    SafeArrayAccessData(psa, reinterpret_cast<void**>(&data));
    OleString text = Contents(data[index]);
    SafeArrayUnaccessData(psa);
    return text;
}

TEST(Variant, InitMakesEmpty)
{
    VARIANT v;
    std::memset(&v, 0xAB, sizeof v);
    VariantInit(&v);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
}

TEST(VariantClear, ReleasesWhatItOwns)
{
    CountedObject object;
    VARIANT v;
    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    EXPECT_EQ(object.References(), 1u);

    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = &object;
    object.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(object.References(), 1u);

    SetString(&v, OLESTR("text"), 4);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);

    V_VT(&v) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&v) = StringVector(OLESTR("a"), OLESTR("b"));
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);

    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = nullptr;
    EXPECT_EQ(VariantClear(&v), S_OK);
}

TEST(VariantClear, LeavesReferencedValuesAlone)
{
    CountedObject object;
    IUnknown* unknown = &object;
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_UNKNOWN;
    V_UNKNOWNREF(&v) = &unknown;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_EMPTY);
    EXPECT_EQ(object.References(), 1u);

    BSTR text = SysAllocString(OLESTR("still mine"));
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = &text;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(Contents(text), OleString(OLESTR("still mine")));
    SysFreeString(text);
}

TEST(VariantClear, LockedArrayStaysInPlace)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 3);
    ASSERT_EQ(SafeArrayLock(psa), S_OK);
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_I4;
    V_ARRAY(&v) = psa;
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_I4);
    EXPECT_EQ(V_ARRAY(&v), psa);
    ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
}

const VARTYPE kBadVariantTypes[] = {
    15, VT_VOID, VT_HRESULT, VT_PTR, VT_SAFEARRAY, VT_LPSTR, VT_LPWSTR, VT_FILETIME, VT_CLSID, VT_BSTR_BLOB,
    VT_VECTOR | VT_I4, VT_RESERVED | VT_I4, VT_BYREF | VT_EMPTY, VT_BYREF | VT_NULL, VT_ARRAY | VT_EMPTY,
    VT_ARRAY | VT_NULL, 0x0FFF,
};

TEST(VariantClear, RejectsInvalidTypesAndNull)
{
    for (VARTYPE vt : kBadVariantTypes) {
        VARIANT v;
        V_VT(&v) = vt;
        V_I4(&v) = 42;
        EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(V_VT(&v), vt) << vt;
    }
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(VariantCopy, CopiesPlainValues)
{
    struct Case {
        const char* what;
        VARTYPE vt;
        LONGLONG bits;
    };
    const Case cases[] = {
        {"i4", VT_I4, -7},
        {"r8 2.5", VT_R8, 0x4004000000000000LL},
        {"bool", VT_BOOL, 0xFFFF},
        {"ui8", VT_UI8, -1},
        {"error", VT_ERROR, DISP_E_PARAMNOTFOUND},
        {"currency", VT_CY, 123456},
    };
    for (const Case& c : cases) {
        VARIANT source;
        V_VT(&source) = c.vt;
        source.llVal = c.bits;
        OwnedVariant copy;
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK) << c.what;
        EXPECT_EQ(V_VT(&copy), c.vt) << c.what;
        EXPECT_EQ(copy.value.llVal, c.bits) << c.what;
    }

    // The decimal fills the whole variant but its type field.
    VARIANT decimal;
    std::memset(&decimal, 0, sizeof decimal);
    V_DECIMAL(&decimal).Lo64 = 12345;
    V_DECIMAL(&decimal).Hi32 = 7;
    V_DECIMAL(&decimal).scale = 2;
    V_VT(&decimal) = VT_DECIMAL;
    OwnedVariant copy;
    ASSERT_EQ(VariantCopy(&copy, &decimal), S_OK);
    EXPECT_EQ(V_VT(&copy), VT_DECIMAL);
    EXPECT_EQ(V_DECIMAL(&copy).Lo64, 12345u);
    EXPECT_EQ(V_DECIMAL(&copy).Hi32, 7u);
    EXPECT_EQ(V_DECIMAL(&copy).scale, 2);
}

TEST(VariantCopy, DuplicatesStringsWithTheirByteLength)
{
    struct Case {
        const char* what;
        const char* bytes;
        UINT length;
    };
    const Case cases[] = {
        {"text", "T\0e\0x\0t\0", 8},
        {"embedded NUL", "a\0\0\0b\0", 6},
        {"odd byte length", "abc", 3},
        {"empty", "", 0},
    };
    for (const Case& c : cases) {
        OwnedVariant source;
        V_VT(&source) = VT_BSTR;
        V_BSTR(&source) = SysAllocStringByteLen(c.bytes, c.length);
        OwnedVariant copy;
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK) << c.what;
        ASSERT_EQ(V_VT(&copy), VT_BSTR) << c.what;
        EXPECT_NE(V_BSTR(&copy), V_BSTR(&source)) << c.what;
        ASSERT_EQ(SysStringByteLen(V_BSTR(&copy)), c.length) << c.what;
        EXPECT_EQ(std::memcmp(V_BSTR(&copy), c.bytes, c.length), 0) << c.what;
    }

    OwnedVariant nullString;
    V_VT(&nullString) = VT_BSTR;
    V_BSTR(&nullString) = nullptr;
    OwnedVariant copy;
    ASSERT_EQ(VariantCopy(&copy, &nullString), S_OK);
    EXPECT_EQ(V_VT(&copy), VT_BSTR);
    EXPECT_EQ(V_BSTR(&copy), nullptr);
}

TEST(VariantCopy, AddRefsObjects)
{
    CountedObject object;
    {
        OwnedVariant source;
        V_VT(&source) = VT_DISPATCH;
        V_DISPATCH(&source) = &object;
        object.AddRef();
        OwnedVariant copy;
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
        EXPECT_EQ(V_DISPATCH(&copy), &object);
        EXPECT_EQ(object.References(), 3u);
    }
    EXPECT_EQ(object.References(), 1u);
}

TEST(VariantCopy, CopiesArraysDeeply)
{
    OwnedVariant source;
    V_VT(&source) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&source) = StringVector(OLESTR("one"), OLESTR("two"));
    OwnedVariant copy;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    ASSERT_EQ(V_VT(&copy), VT_ARRAY | VT_BSTR);
    EXPECT_NE(V_ARRAY(&copy), V_ARRAY(&source));
    EXPECT_EQ(StringAt(V_ARRAY(&copy), 0), OleString(OLESTR("one")));
    EXPECT_EQ(StringAt(V_ARRAY(&copy), 1), OleString(OLESTR("two")));

    BSTR* sourceData = nullptr;
    BSTR* copyData = nullptr;
    SafeArrayAccessData(V_ARRAY(&source), reinterpret_cast<void**>(&sourceData));
    SafeArrayAccessData(V_ARRAY(&copy), reinterpret_cast<void**>(&copyData));
    EXPECT_NE(sourceData[0], copyData[0]);
    SafeArrayUnaccessData(V_ARRAY(&copy));
    SafeArrayUnaccessData(V_ARRAY(&source));
}

TEST(VariantCopy, CopiesAReferenceAsTheReference)
{
    CountedObject object;
    IUnknown* unknown = &object;
    VARIANT source;
    V_VT(&source) = VT_BYREF | VT_UNKNOWN;
    V_UNKNOWNREF(&source) = &unknown;
    OwnedVariant copy;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    EXPECT_EQ(V_VT(&copy), VT_BYREF | VT_UNKNOWN);
    EXPECT_EQ(V_UNKNOWNREF(&copy), &unknown);
    EXPECT_EQ(object.References(), 1u);
}

TEST(VariantCopy, ClearsTheDestinationFirst)
{
    CountedObject object;
    OwnedVariant destination;
    V_VT(&destination) = VT_UNKNOWN;
    V_UNKNOWN(&destination) = &object;
    object.AddRef();
    VARIANT source;
    V_VT(&source) = VT_I2;
    V_I2(&source) = 5;
    ASSERT_EQ(VariantCopy(&destination, &source), S_OK);
    EXPECT_EQ(V_VT(&destination), VT_I2);
    EXPECT_EQ(V_I2(&destination), 5);
    EXPECT_EQ(object.References(), 1u);
}

TEST(VariantCopy, OntoItselfChangesNothing)
{
    OwnedVariant v;
    SetString(&v, OLESTR("same"), 4);
    const BSTR before = V_BSTR(&v);
    EXPECT_EQ(VariantCopy(&v, &v), S_OK);
    EXPECT_EQ(V_BSTR(&v), before);
    EXPECT_EQ(Contents(V_BSTR(&v)), OleString(OLESTR("same")));
}

TEST(VariantCopy, RejectsInvalidSourcesAndLeavesTheDestination)
{
    for (VARTYPE vt : kBadVariantTypes) {
        VARIANT source;
        V_VT(&source) = vt;
        OwnedVariant destination;
        V_VT(&destination) = VT_I4;
        V_I4(&destination) = 9;
        EXPECT_EQ(VariantCopy(&destination, &source), DISP_E_BADVARTYPE) << vt;
        EXPECT_EQ(V_VT(&destination), VT_I4) << vt;
        EXPECT_EQ(V_I4(&destination), 9) << vt;
    }
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(VariantCopy(nullptr, &v), E_INVALIDARG);
    EXPECT_EQ(VariantCopy(&v, nullptr), E_INVALIDARG);
}

TEST(VariantCopy, DestinationWithALockedArrayIsNotOverwritten)
{
    SAFEARRAY* psa = SafeArrayCreateVector(VT_I4, 0, 1);
    SafeArrayLock(psa);
    VARIANT destination;
    V_VT(&destination) = VT_ARRAY | VT_I4;
    V_ARRAY(&destination) = psa;
    VARIANT source;
    V_VT(&source) = VT_I4;
    V_I4(&source) = 1;
    EXPECT_EQ(VariantCopy(&destination, &source), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(V_ARRAY(&destination), psa);
    SafeArrayUnlock(psa);
    EXPECT_EQ(VariantClear(&destination), S_OK);
}

TEST(VariantCopyInd, DereferencesScalars)
{
    CHAR i1 = -5;
    BYTE ui1 = 200;
    SHORT i2 = -300;
    USHORT ui2 = 60000;
    LONG i4 = -70000;
    ULONG ui4 = 4000000000u;
    LONGLONG i8 = -5000000000LL;
    ULONGLONG ui8 = 0xFFFFFFFFFFFFFFFFull;
    INT intValue = -1;
    UINT uintValue = 7;
    FLOAT r4 = 1.25f;
    DOUBLE r8 = -2.75;
    DATE date = 36526.5;
    VARIANT_BOOL boolean = VARIANT_TRUE;
    SCODE error = E_FAIL;
    CY currency;
    currency.int64 = 123456;
    DECIMAL decimal;
    std::memset(&decimal, 0, sizeof decimal);
    decimal.Lo64 = 99;
    decimal.sign = DECIMAL_NEG;

    struct Case {
        VARTYPE vt;
        void* referenced;
        size_t size;
    };
    const Case cases[] = {
        {VT_I1, &i1, sizeof i1},       {VT_UI1, &ui1, sizeof ui1},          {VT_I2, &i2, sizeof i2},
        {VT_UI2, &ui2, sizeof ui2},    {VT_I4, &i4, sizeof i4},             {VT_UI4, &ui4, sizeof ui4},
        {VT_I8, &i8, sizeof i8},       {VT_UI8, &ui8, sizeof ui8},          {VT_INT, &intValue, sizeof intValue},
        {VT_UINT, &uintValue, sizeof uintValue}, {VT_R4, &r4, sizeof r4}, {VT_R8, &r8, sizeof r8},
        {VT_DATE, &date, sizeof date}, {VT_BOOL, &boolean, sizeof boolean}, {VT_ERROR, &error, sizeof error},
        {VT_CY, &currency, sizeof currency},
    };
    for (const Case& c : cases) {
        VARIANT source;
        V_VT(&source) = VT_BYREF | c.vt;
        V_BYREF(&source) = c.referenced;
        OwnedVariant copy;
        ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK) << c.vt;
        EXPECT_EQ(V_VT(&copy), c.vt) << c.vt;
        EXPECT_EQ(std::memcmp(&copy.value.llVal, c.referenced, c.size), 0) << c.vt;
    }

    VARIANT source;
    V_VT(&source) = VT_BYREF | VT_DECIMAL;
    V_DECIMALREF(&source) = &decimal;
    OwnedVariant copy;
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_EQ(V_VT(&copy), VT_DECIMAL);
    EXPECT_EQ(V_DECIMAL(&copy).Lo64, 99u);
    EXPECT_EQ(V_DECIMAL(&copy).sign, DECIMAL_NEG);
}

TEST(VariantCopyInd, CopiesReferencedStringsObjectsAndArrays)
{
    BSTR text = SysAllocString(OLESTR("referenced"));
    VARIANT source;
    V_VT(&source) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&source) = &text;
    {
        OwnedVariant copy;
        ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
        ASSERT_EQ(V_VT(&copy), VT_BSTR);
        EXPECT_NE(V_BSTR(&copy), text);
        EXPECT_EQ(Contents(V_BSTR(&copy)), OleString(OLESTR("referenced")));
    }
    SysFreeString(text);

    CountedObject object;
    IDispatch* dispatch = &object;
    V_VT(&source) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&source) = &dispatch;
    {
        OwnedVariant copy;
        ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
        EXPECT_EQ(V_VT(&copy), VT_DISPATCH);
        EXPECT_EQ(V_DISPATCH(&copy), dispatch);
        EXPECT_EQ(object.References(), 2u);
    }
    EXPECT_EQ(object.References(), 1u);

    SAFEARRAY* psa = StringVector(OLESTR("x"), OLESTR("y"));
    V_VT(&source) = VT_BYREF | VT_ARRAY | VT_BSTR;
    V_ARRAYREF(&source) = &psa;
    {
        OwnedVariant copy;
        ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
        ASSERT_EQ(V_VT(&copy), VT_ARRAY | VT_BSTR);
        EXPECT_NE(V_ARRAY(&copy), psa);
        EXPECT_EQ(StringAt(V_ARRAY(&copy), 1), OleString(OLESTR("y")));
    }
    SafeArrayDestroy(psa);
}

TEST(VariantCopyInd, DereferencesOneVariantLevel)
{
    OwnedVariant inner;
    SetString(&inner, OLESTR("inner"), 5);
    VARIANT source;
    V_VT(&source) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&source) = &inner.value;
    OwnedVariant copy;
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    ASSERT_EQ(V_VT(&copy), VT_BSTR);
    EXPECT_NE(V_BSTR(&copy), V_BSTR(&inner));
    EXPECT_EQ(Contents(V_BSTR(&copy)), OleString(OLESTR("inner")));

    // A variant reference may not lead to another reference.
    LONG number = 3;
    VARIANT referenceToNumber;
    V_VT(&referenceToNumber) = VT_BYREF | VT_I4;
    V_I4REF(&referenceToNumber) = &number;
    V_VARIANTREF(&source) = &referenceToNumber;
    EXPECT_EQ(VariantCopyInd(&copy, &source), E_INVALIDARG);
    EXPECT_EQ(V_VT(&copy), VT_BSTR);
}

TEST(VariantCopyInd, InPlaceReplacesTheReferenceByTheValue)
{
    CountedObject object;
    IUnknown* unknown = &object;
    OwnedVariant v;
    V_VT(&v) = VT_BYREF | VT_UNKNOWN;
    V_UNKNOWNREF(&v) = &unknown;
    ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_UNKNOWN);
    EXPECT_EQ(V_UNKNOWN(&v), unknown);
    EXPECT_EQ(object.References(), 2u);
}

TEST(VariantCopyInd, CopiesByValueSourcesLikeVariantCopy)
{
    OwnedVariant source;
    SetString(&source, OLESTR("value"), 5);
    OwnedVariant copy;
    ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
    EXPECT_NE(V_BSTR(&copy), V_BSTR(&source));
    EXPECT_EQ(Contents(V_BSTR(&copy)), OleString(OLESTR("value")));

    VARIANT bad;
    V_VT(&bad) = VT_BYREF | VT_NULL;
    EXPECT_EQ(VariantCopyInd(&copy, &bad), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopyInd(nullptr, &source), E_INVALIDARG);
    EXPECT_EQ(VariantCopyInd(&copy, nullptr), E_INVALIDARG);
}

}  // namespace
