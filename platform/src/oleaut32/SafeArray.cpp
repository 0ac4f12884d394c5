// Safe arrays. SafeArrayCreate takes the bounds left-most dimension first and the descriptor
// keeps them the other way round, as Windows does: rgsabound[0] is the right-most
// dimension, the one SafeArrayRedim changes. Indexes (rgIndices) come left-most first, and
// the data is laid out in column-major order: the left-most index varies fastest.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include <oleauto.h>

#include "oleaut32/BStr.h"
#include "oleaut32/SafeArrayElements.h"

namespace lumo::platform::oleaut32 {

namespace {

// The lock count is a plain ULONG of the public structure; every change goes through an
// atomic view of it so that threads locking the same array never lose a count.
std::atomic_ref<ULONG> LockCountOf(SAFEARRAY* psa) noexcept { return std::atomic_ref<ULONG>(psa->cLocks); }

bool IsLocked(SAFEARRAY* psa) noexcept { return LockCountOf(psa).load() != 0; }

// Arrays whose memory belongs to someone else: only their elements are released.
bool OwnsMemory(const SAFEARRAY* psa) noexcept
{
    return !(psa->fFeatures & (FADF_AUTO | FADF_STATIC | FADF_EMBEDDED));
}

// Windows marks the arrays that its vector creators make with this bit of FADF_RESERVED,
// which its headers leave unnamed; callers see it in fFeatures.
constexpr USHORT kCreateVector = 0x2000;

// Windows allows at most this many outstanding locks.
constexpr ULONG kMaxLocks = 0xFFFF;

bool MultiplyChecked(size_t a, size_t b, size_t& product) noexcept
{
    return !__builtin_mul_overflow(a, b, &product);
}

// The bytes the data of these bounds takes, or false when they cannot be counted.
bool DataBytes(ULONG elementSize, const SAFEARRAYBOUND* bounds, UINT cDims, size_t& bytes) noexcept
{
    bytes = elementSize;
    for (UINT i = 0; i < cDims; ++i) {
        if (!MultiplyChecked(bytes, bounds[i].cElements, bytes))
            return false;
    }
    return true;
}

void* AllocateData(size_t bytes) noexcept
{
    // Never null for a valid array, so that an empty array still hands out a data pointer.
    return std::calloc(1, bytes ? bytes : 1);
}

// The array of 'vt' with bounds in SafeArrayCreate's order; 'extra' as for
// SafeArrayCreateVectorEx.
SAFEARRAY* CreateArray(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds, const void* extra) noexcept
{
    if (cDims == 0 || cDims > 0xFFFF || !bounds)
        return nullptr;
    IRecordInfo* recordInfo = nullptr;
    ULONG elementSize = 0;
    if (vt == VT_RECORD) {
        recordInfo = static_cast<IRecordInfo*>(const_cast<void*>(extra));
        if (!recordInfo || FAILED(recordInfo->GetSize(&elementSize)) || elementSize == 0)
            return nullptr;
    } else {
        elementSize = ElementSizeOf(vt);
        if (elementSize == 0)
            return nullptr;
    }
    size_t bytes;
    if (!DataBytes(elementSize, bounds, cDims, bytes))
        return nullptr;

    SAFEARRAY* psa = AllocateDescriptor(cDims);
    if (!psa)
        return nullptr;
    psa->pvData = AllocateData(bytes);
    if (!psa->pvData) {
        FreeDescriptor(psa);
        return nullptr;
    }
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesOf(vt);
    psa->cbElements = elementSize;
    for (UINT i = 0; i < cDims; ++i)
        psa->rgsabound[cDims - 1 - i] = bounds[i];

    if (vt == VT_RECORD) {
        recordInfo->AddRef();
        StoreRecordInfo(psa, recordInfo);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
        const IID* iid = static_cast<const IID*>(extra);
        StoreIid(psa, iid ? *iid : (vt == VT_DISPATCH ? __uuidof(IDispatch) : __uuidof(IUnknown)));
    } else {
        StoreVartype(psa, vt);
    }
    return psa;
}

// The element's place in the data, or DISP_E_BADINDEX when an index lies outside its
// dimension. rgIndices[i] indexes the i-th dimension from the left.
HRESULT OffsetOf(const SAFEARRAY* psa, const LONG* rgIndices, size_t& offset) noexcept
{
    offset = 0;
    size_t stride = 1;
    const UINT cDims = psa->cDims;
    for (UINT i = 0; i < cDims; ++i) {
        const SAFEARRAYBOUND& bound = psa->rgsabound[cDims - 1 - i];
        const long long position = static_cast<long long>(rgIndices[i]) - bound.lLbound;
        if (position < 0 || position >= static_cast<long long>(bound.cElements))
            return DISP_E_BADINDEX;
        offset += static_cast<size_t>(position) * stride;
        stride *= bound.cElements;
    }
    offset *= psa->cbElements;
    return S_OK;
}

// Holds the array's lock for the duration of an element access.
class ArrayLock {
public:
    explicit ArrayLock(SAFEARRAY* psa) noexcept : m_psa(psa), m_hr(SafeArrayLock(psa)) {}
    ~ArrayLock()
    {
        if (SUCCEEDED(m_hr))
            SafeArrayUnlock(m_psa);
    }
    ArrayLock(const ArrayLock&) = delete;
    ArrayLock& operator=(const ArrayLock&) = delete;

    HRESULT Status() const noexcept { return m_hr; }

private:
    SAFEARRAY* m_psa;
    HRESULT m_hr;
};

HRESULT StoreElement(SAFEARRAY* psa, void* element, void* pv) noexcept
{
    const USHORT features = psa->fFeatures;
    if (features & FADF_BSTR) {
        // A BSTR (not a pointer to one) is passed; null stores null.
        BSTR copy;
        const HRESULT hr = CopyBstr(static_cast<BSTR>(pv), &copy);
        if (FAILED(hr))
            return hr;
        BSTR* slot = static_cast<BSTR*>(element);
        SysFreeString(*slot);
        *slot = copy;
        return S_OK;
    }
    if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
        // Likewise the interface pointer itself.
        IUnknown* object = static_cast<IUnknown*>(pv);
        if (object)
            object->AddRef();
        IUnknown** slot = static_cast<IUnknown**>(element);
        if (*slot)
            (*slot)->Release();
        *slot = object;
        return S_OK;
    }
    if (!pv)
        return E_INVALIDARG;
    if (features & FADF_VARIANT)
        return VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(pv));
    if (features & FADF_RECORD) {
        IRecordInfo* info = StoredRecordInfo(psa);
        return info ? info->RecordCopy(pv, element) : E_INVALIDARG;
    }
    std::memcpy(element, pv, psa->cbElements);
    return S_OK;
}

// Same shape: element kind and size, dimensions and counts (lower bounds may differ).
bool SameShape(const SAFEARRAY* a, const SAFEARRAY* b) noexcept
{
    constexpr USHORT kElementKinds = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD;
    if (a->cDims != b->cDims || a->cbElements != b->cbElements ||
        (a->fFeatures & kElementKinds) != (b->fFeatures & kElementKinds))
        return false;
    for (USHORT i = 0; i < a->cDims; ++i) {
        if (a->rgsabound[i].cElements != b->rgsabound[i].cElements)
            return false;
    }
    return true;
}

}  // namespace

}  // namespace lumo::platform::oleaut32

using namespace lumo::platform::oleaut32;

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound)
{
    return CreateArray(vt, cDims, rgsabound, nullptr);
}

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements)
{
    return SafeArrayCreateVectorEx(vt, lLbound, cElements, nullptr);
}

WINOLEAUTAPI_(SAFEARRAY*) SafeArrayCreateVectorEx(VARTYPE vt, LONG lLbound, ULONG cElements, PVOID pvExtra)
{
    const SAFEARRAYBOUND bound = {cElements, lLbound};
    SAFEARRAY* psa = CreateArray(vt, 1, &bound, pvExtra);
    if (psa)
        psa->fFeatures |= kCreateVector;
    return psa;
}

WINOLEAUTAPI SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (IsLocked(psa))
        return DISP_E_ARRAYISLOCKED;
    if (psa->pvData)
        ReleaseElements(psa, psa->pvData, ElementCountOf(psa));
    if (!OwnsMemory(psa))
        return S_OK;
    std::free(psa->pvData);
    if (psa->fFeatures & FADF_RECORD) {
        if (IRecordInfo* info = StoredRecordInfo(psa))
            info->Release();
    }
    FreeDescriptor(psa);
    return S_OK;
}

WINOLEAUTAPI_(UINT) SafeArrayGetDim(SAFEARRAY* psa)
{
    return psa ? psa->cDims : 0;
}

WINOLEAUTAPI_(UINT) SafeArrayGetElemsize(SAFEARRAY* psa)
{
    return psa ? psa->cbElements : 0;
}

WINOLEAUTAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims)
        return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
    // An empty dimension answers one below its lower bound, as Windows does.
    *plUbound = static_cast<LONG>(static_cast<long long>(bound.lLbound) + bound.cElements - 1);
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    if (psa->fFeatures & FADF_RECORD)
        *pvt = VT_RECORD;
    else if (psa->fFeatures & FADF_HAVEIID)
        *pvt = (psa->fFeatures & FADF_DISPATCH) ? VT_DISPATCH : VT_UNKNOWN;
    else if (psa->fFeatures & FADF_HAVEVARTYPE)
        *pvt = StoredVartype(psa);
    else
        return E_INVALIDARG;
    return S_OK;
}

WINOLEAUTAPI SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    auto locks = LockCountOf(psa);
    ULONG current = locks.load();
    do {
        if (current >= kMaxLocks)
            return E_UNEXPECTED;
    } while (!locks.compare_exchange_weak(current, current + 1));
    return S_OK;
}

WINOLEAUTAPI SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    auto locks = LockCountOf(psa);
    ULONG current = locks.load();
    do {
        if (current == 0)
            return E_UNEXPECTED;
    } while (!locks.compare_exchange_weak(current, current - 1));
    return S_OK;
}

WINOLEAUTAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

WINOLEAUTAPI SafeArrayUnaccessData(SAFEARRAY* psa)
{
    return SafeArrayUnlock(psa);
}

WINOLEAUTAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData)
{
    if (!psa || !rgIndices || !ppvData)
        return E_INVALIDARG;
    size_t offset;
    const HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    *ppvData = static_cast<char*>(psa->pvData) + offset;
    return S_OK;
}

WINOLEAUTAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices || !pv)
        return E_INVALIDARG;
    ArrayLock lock(psa);
    if (FAILED(lock.Status()))
        return lock.Status();
    size_t offset;
    const HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    std::memset(pv, 0, psa->cbElements);
    return CopyElements(psa, static_cast<char*>(psa->pvData) + offset, pv, 1);
}

WINOLEAUTAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv)
{
    if (!psa || !rgIndices)
        return E_INVALIDARG;
    ArrayLock lock(psa);
    if (FAILED(lock.Status()))
        return lock.Status();
    size_t offset;
    const HRESULT hr = OffsetOf(psa, rgIndices, offset);
    if (FAILED(hr))
        return hr;
    return StoreElement(psa, static_cast<char*>(psa->pvData) + offset, pv);
}

WINOLEAUTAPI SafeArrayRedim(SAFEARRAY* psa, SAFEARRAYBOUND* psaboundNew)
{
    if (!psa || !psaboundNew)
        return E_INVALIDARG;
    if (IsLocked(psa))
        return DISP_E_ARRAYISLOCKED;
    // Windows answers for a fixed-size array as for a locked one.
    if (psa->fFeatures & FADF_FIXEDSIZE)
        return DISP_E_ARRAYISLOCKED;
    if (!OwnsMemory(psa))
        return E_INVALIDARG;

    // The right-most dimension varies slowest, so its elements form whole blocks at the end
    // of the data: growing appends zeroed blocks, shrinking drops the last ones.
    const size_t oldCount = ElementCountOf(psa);
    size_t blockElements = 1;
    for (USHORT i = 1; i < psa->cDims; ++i)
        blockElements *= psa->rgsabound[i].cElements;
    size_t newCount;
    size_t newBytes;
    if (!MultiplyChecked(blockElements, psaboundNew->cElements, newCount) ||
        !MultiplyChecked(newCount, psa->cbElements, newBytes))
        return E_OUTOFMEMORY;

    void* data = AllocateData(newBytes);
    if (!data)
        return E_OUTOFMEMORY;
    const size_t kept = newCount < oldCount ? newCount : oldCount;
    if (oldCount > kept)
        ReleaseElements(psa, static_cast<char*>(psa->pvData) + kept * psa->cbElements, oldCount - kept);
    if (kept)
        std::memcpy(data, psa->pvData, kept * psa->cbElements);
    std::free(psa->pvData);
    psa->pvData = data;
    psa->rgsabound[0] = *psaboundNew;
    return S_OK;
}

WINOLEAUTAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;

    SAFEARRAY* copy = AllocateDescriptor(psa->cDims ? psa->cDims : 1);
    if (!copy)
        return E_OUTOFMEMORY;
    CopyTypeInformation(psa, copy);
    copy->cDims = psa->cDims;
    copy->fFeatures = psa->fFeatures & ~(FADF_AUTO | FADF_STATIC | FADF_EMBEDDED);
    copy->cbElements = psa->cbElements;
    std::memcpy(copy->rgsabound, psa->rgsabound, psa->cDims * sizeof(SAFEARRAYBOUND));
    if (copy->fFeatures & FADF_RECORD) {
        if (IRecordInfo* info = StoredRecordInfo(copy))
            info->AddRef();
    }

    if (psa->pvData) {
        const size_t count = ElementCountOf(psa);
        copy->pvData = AllocateData(count * psa->cbElements);
        HRESULT hr = copy->pvData ? S_OK : E_OUTOFMEMORY;
        if (SUCCEEDED(hr))
            hr = CopyElements(psa, psa->pvData, copy->pvData, count);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

WINOLEAUTAPI SafeArrayCopyData(SAFEARRAY* psaSource, SAFEARRAY* psaTarget)
{
    if (!psaSource || !psaTarget || !psaSource->pvData || !psaTarget->pvData)
        return E_INVALIDARG;
    if (psaSource == psaTarget)
        return S_OK;
    if (!SameShape(psaSource, psaTarget))
        return E_INVALIDARG;
    const size_t count = ElementCountOf(psaTarget);
    ReleaseElements(psaTarget, psaTarget->pvData, count);
    return CopyElements(psaSource, psaSource->pvData, psaTarget->pvData, count);
}
