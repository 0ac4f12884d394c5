// Safe arrays: creation and bounds, the type information before the descriptor, element
// access and layout, locks, Redim, copies.
#include <cstring>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include "OleString.h"

#include "CountedObject.h"

namespace {

// Destroys the array when the test ends; the test may take it over first.
class OwnedArray {
public:
    explicit OwnedArray(SAFEARRAY* psa = nullptr) : m_psa(psa) {}
    ~OwnedArray()
    {
        if (m_psa)
            SafeArrayDestroy(m_psa);
    }
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;

    SAFEARRAY* get() const { return m_psa; }
    SAFEARRAY** address() { return &m_psa; }
    SAFEARRAY* release() { SAFEARRAY* psa = m_psa; m_psa = nullptr; return psa; }

private:
    SAFEARRAY* m_psa;
};

OleString Contents(BSTR text) { return OleString(ViewOfBstr(text)); }

LONG LowerBound(SAFEARRAY* psa, UINT dim)
{
    LONG bound = 0x7777;
    EXPECT_EQ(SafeArrayGetLBound(psa, dim, &bound), S_OK) << dim;
    return bound;
}

LONG UpperBound(SAFEARRAY* psa, UINT dim)
{
    LONG bound = 0x7777;
    EXPECT_EQ(SafeArrayGetUBound(psa, dim, &bound), S_OK) << dim;
    return bound;
}

// The documented feature flags; Windows adds private ones of its own.
USHORT DocumentedFeatures(const SAFEARRAY* psa)
{
    return psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE | FADF_RECORD | FADF_HAVEIID |
                             FADF_HAVEVARTYPE | FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT);
}

// The bit of FADF_RESERVED with which Windows marks the arrays of its vector creators.
constexpr USHORT kCreateVector = 0x2000;

template <class T>
T* DataOf(SAFEARRAY* psa)
{
    return static_cast<T*>(psa->pvData);
}

struct BoundsCase {
    const char* what;
    std::vector<SAFEARRAYBOUND> bounds;  // left-most dimension first
};

const BoundsCase kBoundsCases[] = {
    {"vector", {{5, 0}}},
    {"vector from one", {{3, 1}}},
    {"negative lower bound", {{4, -2}}},
    {"two dimensions", {{2, 1}, {3, -1}}},
    {"three dimensions", {{2, 0}, {3, 10}, {4, -5}}},
    {"empty dimension", {{0, 0}}},
    {"empty and negative", {{0, -3}, {2, 0}}},
};

TEST(SafeArray, ReportsBoundsLeftMostDimensionFirst)
{
    for (const BoundsCase& c : kBoundsCases) {
        std::vector<SAFEARRAYBOUND> bounds = c.bounds;
        const UINT dims = static_cast<UINT>(bounds.size());
        OwnedArray psa(SafeArrayCreate(VT_I4, dims, bounds.data()));
        ASSERT_NE(psa.get(), nullptr) << c.what;
        EXPECT_EQ(SafeArrayGetDim(psa.get()), dims) << c.what;
        EXPECT_EQ(SafeArrayGetElemsize(psa.get()), 4u) << c.what;
        EXPECT_NE(psa.get()->pvData, nullptr) << c.what;
        for (UINT dim = 1; dim <= dims; ++dim) {
            const SAFEARRAYBOUND& b = c.bounds[dim - 1];
            EXPECT_EQ(LowerBound(psa.get(), dim), b.lLbound) << c.what << " dim " << dim;
            EXPECT_EQ(UpperBound(psa.get(), dim), b.lLbound + static_cast<LONG>(b.cElements) - 1)
                << c.what << " dim " << dim;
            // The descriptor keeps the right-most dimension first, as Windows does.
            EXPECT_EQ(psa.get()->rgsabound[dims - dim].cElements, b.cElements) << c.what << " dim " << dim;
        }
    }
}

TEST(SafeArray, BoundQueriesCheckTheirArguments)
{
    SAFEARRAYBOUND bounds[] = {{2, 0}, {3, 0}};
    OwnedArray psa(SafeArrayCreate(VT_I2, 2, bounds));
    LONG bound = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa.get(), 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(psa.get(), 3, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa.get(), 0, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(psa.get(), 3, &bound), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetLBound(psa.get(), 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetUBound(psa.get(), 1, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
    EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
    VARTYPE vt;
    EXPECT_EQ(SafeArrayGetVartype(nullptr, &vt), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetVartype(psa.get(), nullptr), E_INVALIDARG);
}

struct TypeCase {
    VARTYPE vt;
    ULONG size;
    USHORT features;
};

const TypeCase kTypeCases[] = {
    {VT_I1, 1, FADF_HAVEVARTYPE},
    {VT_UI1, 1, FADF_HAVEVARTYPE},
    {VT_I2, 2, FADF_HAVEVARTYPE},
    {VT_UI2, 2, FADF_HAVEVARTYPE},
    {VT_BOOL, 2, FADF_HAVEVARTYPE},
    {VT_I4, 4, FADF_HAVEVARTYPE},
    {VT_UI4, 4, FADF_HAVEVARTYPE},
    {VT_INT, 4, FADF_HAVEVARTYPE},
    {VT_UINT, 4, FADF_HAVEVARTYPE},
    {VT_R4, 4, FADF_HAVEVARTYPE},
    {VT_ERROR, 4, FADF_HAVEVARTYPE},
    {VT_I8, 8, FADF_HAVEVARTYPE},
    {VT_UI8, 8, FADF_HAVEVARTYPE},
    {VT_R8, 8, FADF_HAVEVARTYPE},
    {VT_DATE, 8, FADF_HAVEVARTYPE},
    {VT_CY, 8, FADF_HAVEVARTYPE},
    {VT_DECIMAL, sizeof(DECIMAL), FADF_HAVEVARTYPE},
    {VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
    {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
    {VT_UNKNOWN, sizeof(IUnknown*), FADF_HAVEIID | FADF_UNKNOWN},
    {VT_DISPATCH, sizeof(IDispatch*), FADF_HAVEIID | FADF_DISPATCH},
};

TEST(SafeArray, ElementTypeDecidesSizeFeaturesAndVartype)
{
    for (const TypeCase& c : kTypeCases) {
        for (SAFEARRAY* created : {SafeArrayCreateVector(c.vt, 0, 2), SafeArrayCreateVectorEx(c.vt, 0, 2, nullptr)}) {
            OwnedArray psa(created);
            ASSERT_NE(psa.get(), nullptr) << c.vt;
            EXPECT_EQ(SafeArrayGetElemsize(psa.get()), c.size) << c.vt;
            EXPECT_EQ(DocumentedFeatures(psa.get()), c.features) << c.vt;
            EXPECT_EQ(psa.get()->fFeatures & kCreateVector, kCreateVector) << c.vt;
            VARTYPE vt = VT_EMPTY;
            EXPECT_EQ(SafeArrayGetVartype(psa.get(), &vt), S_OK) << c.vt;
            EXPECT_EQ(vt, c.vt);
        }
    }
}

// The whole of fFeatures, private bits included, as Windows gives it; a copy of data into a
// vector keeps the vector's features.
TEST(SafeArray, VectorFeaturesAsWindowsSetsThem)
{
    OwnedArray vector(SafeArrayCreateVector(VT_UI1, 0, 2));
    OwnedArray vectorEx(SafeArrayCreateVectorEx(VT_UI1, 0, 2, nullptr));
    EXPECT_EQ(vector.get()->fFeatures, FADF_HAVEVARTYPE | kCreateVector);
    EXPECT_EQ(vectorEx.get()->fFeatures, FADF_HAVEVARTYPE | kCreateVector);

    SAFEARRAYBOUND bound = {2, 0};
    OwnedArray plain(SafeArrayCreate(VT_UI1, 1, &bound));
    DataOf<BYTE>(plain.get())[1] = 0x5A;
    ASSERT_EQ(SafeArrayCopyData(plain.get(), vector.get()), S_OK);
    EXPECT_EQ(DataOf<BYTE>(vector.get())[1], 0x5A);
    EXPECT_EQ(vector.get()->fFeatures, FADF_HAVEVARTYPE | kCreateVector);
}

TEST(SafeArray, TypeInformationLiesBeforeTheDescriptor)
{
    OwnedArray numbers(SafeArrayCreateVector(VT_R8, 0, 1));
    DWORD stored = 0;
    std::memcpy(&stored, reinterpret_cast<const char*>(numbers.get()) - 4, sizeof stored);
    EXPECT_EQ(stored, static_cast<DWORD>(VT_R8));

    const IID custom = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    OwnedArray objects(SafeArrayCreateVectorEx(VT_UNKNOWN, 0, 1, const_cast<IID*>(&custom)));
    IID iid;
    std::memcpy(&iid, reinterpret_cast<const char*>(objects.get()) - 16, sizeof iid);
    EXPECT_TRUE(IsEqualGUID(iid, custom));

    OwnedArray dispatches(SafeArrayCreateVector(VT_DISPATCH, 0, 1));
    std::memcpy(&iid, reinterpret_cast<const char*>(dispatches.get()) - 16, sizeof iid);
    EXPECT_TRUE(IsEqualGUID(iid, __uuidof(IDispatch)));

    OwnedArray unknowns(SafeArrayCreateVector(VT_UNKNOWN, 0, 1));
    std::memcpy(&iid, reinterpret_cast<const char*>(unknowns.get()) - 16, sizeof iid);
    EXPECT_TRUE(IsEqualGUID(iid, __uuidof(IUnknown)));
}

TEST(SafeArray, RefusesTypesAndShapesItCannotHold)
{
    const VARTYPE badTypes[] = {VT_EMPTY, VT_NULL, 15, VT_VOID, VT_LPSTR, VT_BYREF | VT_I4, VT_ARRAY | VT_I4,
                                VT_VECTOR | VT_I4, VT_RECORD};
    for (VARTYPE vt : badTypes) {
        EXPECT_EQ(SafeArrayCreateVector(vt, 0, 1), nullptr) << vt;
        SAFEARRAYBOUND bound = {1, 0};
        EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    }
    SAFEARRAYBOUND bound = {1, 0};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
    EXPECT_EQ(SafeArrayCreateVectorEx(VT_RECORD, 0, 1, nullptr), nullptr);
    // More elements than memory can count.
    SAFEARRAYBOUND huge[] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_VARIANT, 3, huge), nullptr);
}

TEST(SafeArray, DataIsColumnMajorWithTheLeftMostIndexFastest)
{
    SAFEARRAYBOUND bounds[] = {{2, 1}, {3, -1}};
    OwnedArray psa(SafeArrayCreate(VT_I4, 2, bounds));
    for (LONG i = 1; i <= 2; ++i) {
        for (LONG j = -1; j <= 1; ++j) {
            LONG indices[] = {i, j};
            LONG value = 10 * i + j;
            ASSERT_EQ(SafeArrayPutElement(psa.get(), indices, &value), S_OK);
        }
    }
    const LONG* data = DataOf<LONG>(psa.get());
    for (LONG i = 1; i <= 2; ++i) {
        for (LONG j = -1; j <= 1; ++j) {
            EXPECT_EQ(data[(j + 1) * 2 + (i - 1)], 10 * i + j) << i << "," << j;
            LONG indices[] = {i, j};
            void* element = nullptr;
            ASSERT_EQ(SafeArrayPtrOfIndex(psa.get(), indices, &element), S_OK);
            EXPECT_EQ(*static_cast<LONG*>(element), 10 * i + j);
            LONG value = 0;
            ASSERT_EQ(SafeArrayGetElement(psa.get(), indices, &value), S_OK);
            EXPECT_EQ(value, 10 * i + j);
        }
    }
}

TEST(SafeArray, IndexesOutsideTheBoundsAreRefused)
{
    SAFEARRAYBOUND bounds[] = {{2, 1}, {3, -1}};
    OwnedArray psa(SafeArrayCreate(VT_I4, 2, bounds));
    const LONG badIndexes[][2] = {{0, 0}, {3, 0}, {1, -2}, {1, 2}, {-2147483647 - 1, 0}, {1, 2147483647}};
    for (const auto& bad : badIndexes) {
        LONG indices[] = {bad[0], bad[1]};
        LONG value = 5;
        void* element = nullptr;
        EXPECT_EQ(SafeArrayPutElement(psa.get(), indices, &value), DISP_E_BADINDEX) << bad[0] << "," << bad[1];
        EXPECT_EQ(SafeArrayGetElement(psa.get(), indices, &value), DISP_E_BADINDEX) << bad[0] << "," << bad[1];
        EXPECT_EQ(SafeArrayPtrOfIndex(psa.get(), indices, &element), DISP_E_BADINDEX) << bad[0] << "," << bad[1];
    }
    EXPECT_EQ(psa.get()->cLocks, 0u);

    OwnedArray empty(SafeArrayCreateVector(VT_I4, 0, 0));
    LONG index = 0;
    LONG value = 0;
    EXPECT_EQ(SafeArrayGetElement(empty.get(), &index, &value), DISP_E_BADINDEX);
}

TEST(SafeArray, ElementAccessChecksItsArguments)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 2));
    LONG index = 0;
    LONG value = 1;
    void* element = nullptr;
    EXPECT_EQ(SafeArrayGetElement(nullptr, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa.get(), nullptr, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayGetElement(psa.get(), &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(nullptr, &index, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(psa.get(), nullptr, &value), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPutElement(psa.get(), &index, nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPtrOfIndex(nullptr, &index, &element), E_INVALIDARG);
    EXPECT_EQ(SafeArrayPtrOfIndex(psa.get(), &index, nullptr), E_INVALIDARG);
}

TEST(SafeArray, StringElementsAreCopiedInAndOut)
{
    OwnedArray psa(SafeArrayCreateVector(VT_BSTR, 0, 2));
    BSTR text = SysAllocStringLen(OLESTR("a\0b"), 3);
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, text), S_OK);
    BSTR stored = DataOf<BSTR>(psa.get())[0];
    EXPECT_NE(stored, text);
    EXPECT_EQ(Contents(stored), OleString(OLESTR("a\0b"), 3));
    SysFreeString(text);

    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa.get(), &index, &out), S_OK);
    EXPECT_NE(out, stored);
    EXPECT_EQ(Contents(out), OleString(OLESTR("a\0b"), 3));
    SysFreeString(out);

    // A null string stores null, replacing (and freeing) what was there.
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, nullptr), S_OK);
    EXPECT_EQ(DataOf<BSTR>(psa.get())[0], nullptr);
    out = SysAllocString(OLESTR("overwritten"));
    SysFreeString(out);
    ASSERT_EQ(SafeArrayGetElement(psa.get(), &index, &out), S_OK);
    EXPECT_EQ(out, nullptr);
}

TEST(SafeArray, ObjectElementsAreCountedThroughTheirLife)
{
    CountedObject first;
    CountedObject second;
    OwnedArray psa(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, static_cast<IUnknown*>(&first)), S_OK);
    EXPECT_EQ(first.References(), 2u);

    IUnknown* out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa.get(), &index, &out), S_OK);
    EXPECT_EQ(out, &first);
    EXPECT_EQ(first.References(), 3u);
    out->Release();

    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, static_cast<IUnknown*>(&second)), S_OK);
    EXPECT_EQ(first.References(), 1u);
    EXPECT_EQ(second.References(), 2u);

    EXPECT_EQ(SafeArrayDestroy(psa.release()), S_OK);
    EXPECT_EQ(second.References(), 1u);
}

TEST(SafeArray, VariantElementsAreCopiedWithVariantCopy)
{
    CountedObject object;
    OwnedArray psa(SafeArrayCreateVector(VT_VARIANT, 0, 2));
    VARIANT in;
    V_VT(&in) = VT_BSTR;
    V_BSTR(&in) = SysAllocString(OLESTR("inside"));
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, &in), S_OK);
    VARIANT* stored = DataOf<VARIANT>(psa.get());
    EXPECT_EQ(V_VT(&stored[0]), VT_BSTR);
    EXPECT_NE(V_BSTR(&stored[0]), V_BSTR(&in));
    VariantClear(&in);

    V_VT(&in) = VT_UNKNOWN;
    V_UNKNOWN(&in) = &object;
    index = 1;
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, &in), S_OK);
    EXPECT_EQ(object.References(), 2u);

    VARIANT out;
    index = 0;
    ASSERT_EQ(SafeArrayGetElement(psa.get(), &index, &out), S_OK);
    ASSERT_EQ(V_VT(&out), VT_BSTR);
    EXPECT_NE(V_BSTR(&out), V_BSTR(&stored[0]));
    EXPECT_EQ(Contents(V_BSTR(&out)), OleString(OLESTR("inside")));
    VariantClear(&out);

    EXPECT_EQ(SafeArrayDestroy(psa.release()), S_OK);
    EXPECT_EQ(object.References(), 1u);
}

TEST(SafeArray, LocksAreCounted)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 1));
    EXPECT_EQ(SafeArrayUnlock(psa.get()), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayLock(psa.get()), S_OK);
    EXPECT_EQ(SafeArrayLock(psa.get()), S_OK);
    EXPECT_EQ(psa.get()->cLocks, 2u);
    EXPECT_EQ(SafeArrayUnlock(psa.get()), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa.get()), S_OK);
    EXPECT_EQ(SafeArrayUnlock(psa.get()), E_UNEXPECTED);
    EXPECT_EQ(psa.get()->cLocks, 0u);
    EXPECT_EQ(SafeArrayLock(nullptr), E_INVALIDARG);
    EXPECT_EQ(SafeArrayUnlock(nullptr), E_INVALIDARG);
}

TEST(SafeArray, LockedArrayCannotBeDestroyedOrResized)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 4));
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(psa.get(), &data), S_OK);
    EXPECT_EQ(data, psa.get()->pvData);
    EXPECT_EQ(SafeArrayDestroy(psa.get()), DISP_E_ARRAYISLOCKED);
    SAFEARRAYBOUND bigger = {8, 0};
    EXPECT_EQ(SafeArrayRedim(psa.get(), &bigger), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(UpperBound(psa.get(), 1), 3);
    ASSERT_EQ(SafeArrayUnaccessData(psa.get()), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(psa.get()), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayRedim(psa.get(), &bigger), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa.release()), S_OK);

    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, LockCountSurvivesConcurrentLocking)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 1));
    constexpr int kThreads = 4;
    constexpr int kRounds = 5000;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                if (FAILED(SafeArrayLock(psa.get())) || FAILED(SafeArrayUnlock(psa.get())))
                    ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(failures[t], 0) << t;
    EXPECT_EQ(psa.get()->cLocks, 0u);
}

TEST(SafeArrayRedim, GrowingKeepsValuesAndZeroFills)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 2));
    DataOf<LONG>(psa.get())[0] = 11;
    DataOf<LONG>(psa.get())[1] = 22;
    SAFEARRAYBOUND bigger = {5, -1};
    ASSERT_EQ(SafeArrayRedim(psa.get(), &bigger), S_OK);
    EXPECT_EQ(LowerBound(psa.get(), 1), -1);
    EXPECT_EQ(UpperBound(psa.get(), 1), 3);
    const LONG* data = DataOf<LONG>(psa.get());
    EXPECT_EQ(data[0], 11);
    EXPECT_EQ(data[1], 22);
    EXPECT_EQ(data[2], 0);
    EXPECT_EQ(data[4], 0);
}

TEST(SafeArrayRedim, ShrinkingReleasesTheDroppedElements)
{
    CountedObject objects[3];
    OwnedArray psa(SafeArrayCreateVector(VT_UNKNOWN, 0, 3));
    for (LONG i = 0; i < 3; ++i)
        ASSERT_EQ(SafeArrayPutElement(psa.get(), &i, static_cast<IUnknown*>(&objects[i])), S_OK);
    SAFEARRAYBOUND smaller = {1, 0};
    ASSERT_EQ(SafeArrayRedim(psa.get(), &smaller), S_OK);
    EXPECT_EQ(objects[0].References(), 2u);
    EXPECT_EQ(objects[1].References(), 1u);
    EXPECT_EQ(objects[2].References(), 1u);
    EXPECT_EQ(UpperBound(psa.get(), 1), 0);

    SAFEARRAYBOUND none = {0, 0};
    ASSERT_EQ(SafeArrayRedim(psa.get(), &none), S_OK);
    EXPECT_EQ(objects[0].References(), 1u);
    EXPECT_EQ(UpperBound(psa.get(), 1), -1);
}

TEST(SafeArrayRedim, ChangesTheRightMostDimension)
{
    SAFEARRAYBOUND bounds[] = {{2, 0}, {3, 0}};
    OwnedArray psa(SafeArrayCreate(VT_BSTR, 2, bounds));
    for (LONG i = 0; i < 2; ++i) {
        for (LONG j = 0; j < 3; ++j) {
            LONG indices[] = {i, j};
            OLECHAR text[] = {static_cast<OLECHAR>('a' + i), static_cast<OLECHAR>('0' + j), 0};
            BSTR value = SysAllocString(text);
            ASSERT_EQ(SafeArrayPutElement(psa.get(), indices, value), S_OK);
            SysFreeString(value);
        }
    }
    SAFEARRAYBOUND fewerColumns = {2, 1};
    ASSERT_EQ(SafeArrayRedim(psa.get(), &fewerColumns), S_OK);
    EXPECT_EQ(UpperBound(psa.get(), 1), 1);
    EXPECT_EQ(LowerBound(psa.get(), 2), 1);
    EXPECT_EQ(UpperBound(psa.get(), 2), 2);
    // Columns keep their place in memory; the last one went.
    LONG indices[] = {1, 2};
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(psa.get(), indices, &out), S_OK);
    EXPECT_EQ(Contents(out), OleString(OLESTR("b1")));
    SysFreeString(out);
    LONG gone[] = {0, 3};
    EXPECT_EQ(SafeArrayGetElement(psa.get(), gone, &out), DISP_E_BADINDEX);
}

TEST(SafeArrayRedim, ChecksItsArguments)
{
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 1));
    SAFEARRAYBOUND bound = {2, 0};
    EXPECT_EQ(SafeArrayRedim(nullptr, &bound), E_INVALIDARG);
    EXPECT_EQ(SafeArrayRedim(psa.get(), nullptr), E_INVALIDARG);

    // A fixed-size array answers as a locked one.
    psa.get()->fFeatures |= FADF_FIXEDSIZE;
    EXPECT_EQ(SafeArrayRedim(psa.get(), &bound), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(UpperBound(psa.get(), 1), 0);
    psa.get()->fFeatures &= ~FADF_FIXEDSIZE;
}

TEST(SafeArrayCopy, CopiesDeeplyWithTheTypeInformation)
{
    CountedObject object;
    const IID custom = {0xCAFE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    OwnedArray objects(SafeArrayCreateVectorEx(VT_UNKNOWN, 3, 2, const_cast<IID*>(&custom)));
    LONG index = 4;
    SafeArrayPutElement(objects.get(), &index, static_cast<IUnknown*>(&object));
    SafeArrayLock(objects.get());

    OwnedArray copy;
    ASSERT_EQ(SafeArrayCopy(objects.get(), copy.address()), S_OK);
    ASSERT_NE(copy.get(), nullptr);
    EXPECT_NE(copy.get(), objects.get());
    EXPECT_NE(copy.get()->pvData, objects.get()->pvData);
    EXPECT_EQ(copy.get()->cLocks, 0u);
    EXPECT_EQ(DocumentedFeatures(copy.get()), DocumentedFeatures(objects.get()));
    EXPECT_EQ(LowerBound(copy.get(), 1), 3);
    EXPECT_EQ(UpperBound(copy.get(), 1), 4);
    EXPECT_EQ(DataOf<IUnknown*>(copy.get())[1], &object);
    EXPECT_EQ(object.References(), 3u);
    IID iid;
    std::memcpy(&iid, reinterpret_cast<const char*>(copy.get()) - 16, sizeof iid);
    EXPECT_TRUE(IsEqualGUID(iid, custom));
    SafeArrayUnlock(objects.get());

    OwnedArray strings(SafeArrayCreateVector(VT_BSTR, 0, 1));
    index = 0;
    BSTR text = SysAllocString(OLESTR("copied"));
    SafeArrayPutElement(strings.get(), &index, text);
    SysFreeString(text);
    OwnedArray stringCopy;
    ASSERT_EQ(SafeArrayCopy(strings.get(), stringCopy.address()), S_OK);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(stringCopy.get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);
    EXPECT_NE(DataOf<BSTR>(stringCopy.get())[0], DataOf<BSTR>(strings.get())[0]);
    EXPECT_EQ(Contents(DataOf<BSTR>(stringCopy.get())[0]), OleString(OLESTR("copied")));
}

TEST(SafeArrayCopy, NullSourceGivesNull)
{
    SAFEARRAY* out = reinterpret_cast<SAFEARRAY*>(&out);
    EXPECT_EQ(SafeArrayCopy(nullptr, &out), S_OK);
    EXPECT_EQ(out, nullptr);
    OwnedArray psa(SafeArrayCreateVector(VT_I4, 0, 1));
    EXPECT_EQ(SafeArrayCopy(psa.get(), nullptr), E_INVALIDARG);
}

TEST(SafeArrayCopyData, ReplacesTheTargetsElements)
{
    CountedObject kept;
    CountedObject replaced;
    OwnedArray source(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    OwnedArray target(SafeArrayCreateVector(VT_UNKNOWN, 5, 2));
    LONG index = 0;
    SafeArrayPutElement(source.get(), &index, static_cast<IUnknown*>(&kept));
    index = 5;
    SafeArrayPutElement(target.get(), &index, static_cast<IUnknown*>(&replaced));

    ASSERT_EQ(SafeArrayCopyData(source.get(), target.get()), S_OK);
    EXPECT_EQ(replaced.References(), 1u);
    EXPECT_EQ(kept.References(), 3u);
    EXPECT_EQ(DataOf<IUnknown*>(target.get())[0], &kept);
    EXPECT_EQ(LowerBound(target.get(), 1), 5);
}

TEST(SafeArrayCopyData, NeedsTheSameShape)
{
    OwnedArray source(SafeArrayCreateVector(VT_I4, 0, 2));
    OwnedArray longer(SafeArrayCreateVector(VT_I4, 0, 3));
    OwnedArray wider(SafeArrayCreateVector(VT_R8, 0, 2));
    OwnedArray strings(SafeArrayCreateVector(VT_BSTR, 0, 2));
    OwnedArray objects(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    EXPECT_EQ(SafeArrayCopyData(source.get(), longer.get()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(source.get(), wider.get()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(strings.get(), objects.get()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(nullptr, source.get()), E_INVALIDARG);
    EXPECT_EQ(SafeArrayCopyData(source.get(), nullptr), E_INVALIDARG);
}

// A record type of two fields, a number and a string, that counts its copies and clears.
struct Pair {
    LONG number;
    BSTR text;
};

class PairRecordInfo : public IRecordInfo {
public:
    ULONG References() const { return m_references; }
    int Copies() const { return m_copies; }
    int Clears() const { return m_clears; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override { return --m_references; }
    STDMETHODIMP RecordInit(PVOID pvNew) override
    {
        std::memset(pvNew, 0, sizeof(Pair));
        return S_OK;
    }
    STDMETHODIMP RecordClear(PVOID pvExisting) override
    {
        ++m_clears;
        Pair* pair = static_cast<Pair*>(pvExisting);
        SysFreeString(pair->text);
        pair->text = nullptr;
        return S_OK;
    }
    STDMETHODIMP RecordCopy(PVOID pvExisting, PVOID pvNew) override
    {
        ++m_copies;
        const Pair* from = static_cast<const Pair*>(pvExisting);
        Pair* to = static_cast<Pair*>(pvNew);
        SysFreeString(to->text);
        to->number = from->number;
        to->text = SysAllocString(from->text);
        return S_OK;
    }
    STDMETHODIMP GetGuid(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSize(ULONG* pcbSize) override
    {
        *pcbSize = sizeof(Pair);
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetField(PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFieldNoCopy(PVOID, LPCOLESTR, VARIANT*, PVOID*) override { return E_NOTIMPL; }
    STDMETHODIMP PutField(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP PutFieldNoCopy(ULONG, PVOID, LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFieldNames(ULONG*, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP_(BOOL) IsMatchingType(IRecordInfo* other) override { return other == this; }
    STDMETHODIMP_(PVOID) RecordCreate() override { return nullptr; }
    STDMETHODIMP RecordCreateCopy(PVOID, PVOID*) override { return E_NOTIMPL; }
    STDMETHODIMP RecordDestroy(PVOID) override { return E_NOTIMPL; }

private:
    ULONG m_references = 1;
    int m_copies = 0;
    int m_clears = 0;
};

TEST(SafeArray, RecordElementsGoThroughTheirRecordInfo)
{
    PairRecordInfo info;
    OwnedArray psa(SafeArrayCreateVectorEx(VT_RECORD, 0, 2, static_cast<IRecordInfo*>(&info)));
    ASSERT_NE(psa.get(), nullptr);
    EXPECT_EQ(info.References(), 2u);
    EXPECT_EQ(SafeArrayGetElemsize(psa.get()), sizeof(Pair));
    EXPECT_EQ(psa.get()->fFeatures & FADF_RECORD, FADF_RECORD);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(psa.get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_RECORD);

    Pair in = {7, SysAllocString(OLESTR("seven"))};
    LONG index = 1;
    ASSERT_EQ(SafeArrayPutElement(psa.get(), &index, &in), S_OK);
    SysFreeString(in.text);
    Pair out = {};
    ASSERT_EQ(SafeArrayGetElement(psa.get(), &index, &out), S_OK);
    EXPECT_EQ(out.number, 7);
    EXPECT_EQ(Contents(out.text), OleString(OLESTR("seven")));
    SysFreeString(out.text);
    EXPECT_EQ(info.Copies(), 2);

    OwnedArray copy;
    ASSERT_EQ(SafeArrayCopy(psa.get(), copy.address()), S_OK);
    EXPECT_EQ(info.References(), 3u);
    EXPECT_EQ(SafeArrayDestroy(copy.release()), S_OK);
    EXPECT_EQ(SafeArrayDestroy(psa.release()), S_OK);
    EXPECT_EQ(info.Clears(), 4);
    EXPECT_EQ(info.References(), 1u);
}

}  // namespace
