#include "oleaut32/SafeArrayElements.h"

#include <cstdlib>
#include <cstring>

#include <oleauto.h>

#include "oleaut32/BStr.h"
#include "oleaut32/VarType.h"

namespace lumo::platform::oleaut32 {

namespace {

// As on Windows: the vartype in the last 4 bytes, an IID in all 16, an IRecordInfo pointer
// in the last pointer-sized slot.
constexpr size_t kPrefixBytes = 16;

char* PrefixEnd(SAFEARRAY* psa) noexcept { return reinterpret_cast<char*>(psa); }
const char* PrefixEnd(const SAFEARRAY* psa) noexcept { return reinterpret_cast<const char*>(psa); }

char* ElementAt(void* first, size_t index, ULONG size) noexcept
{
    return static_cast<char*>(first) + index * size;
}
const char* ElementAt(const void* first, size_t index, ULONG size) noexcept
{
    return static_cast<const char*>(first) + index * size;
}

HRESULT CopyOne(const SAFEARRAY* psa, const void* source, void* target) noexcept
{
    const USHORT features = psa->fFeatures;
    if (features & FADF_BSTR) {
        BSTR copy;
        const HRESULT hr = CopyBstr(*static_cast<const BSTR*>(source), &copy);
        *static_cast<BSTR*>(target) = copy;
        return hr;
    }
    if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* object = *static_cast<IUnknown* const*>(source);
        if (object)
            object->AddRef();
        *static_cast<IUnknown**>(target) = object;
        return S_OK;
    }
    if (features & FADF_VARIANT)
        return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
    if (features & FADF_RECORD) {
        IRecordInfo* info = StoredRecordInfo(psa);
        return info ? info->RecordCopy(const_cast<void*>(source), target) : E_INVALIDARG;
    }
    std::memcpy(target, source, psa->cbElements);
    return S_OK;
}

}  // namespace

ULONG ElementSizeOf(VARTYPE vt) noexcept
{
    if (const size_t scalar = ScalarSizeOf(vt))
        return static_cast<ULONG>(scalar);
    switch (vt) {
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
        return sizeof(void*);
    case VT_DECIMAL:
        return sizeof(DECIMAL);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

USHORT FeaturesOf(VARTYPE vt) noexcept
{
    switch (vt) {
    case VT_BSTR:
        return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT:
        return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN:
        return FADF_HAVEIID | FADF_UNKNOWN;
    case VT_DISPATCH:
        return FADF_HAVEIID | FADF_DISPATCH;
    case VT_RECORD:
        return FADF_RECORD;
    default:
        return FADF_HAVEVARTYPE;
    }
}

SAFEARRAY* AllocateDescriptor(UINT cDims) noexcept
{
    const size_t size = kPrefixBytes + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    char* block = static_cast<char*>(std::calloc(1, size));
    return block ? reinterpret_cast<SAFEARRAY*>(block + kPrefixBytes) : nullptr;
}

void FreeDescriptor(SAFEARRAY* psa) noexcept
{
    if (psa)
        std::free(PrefixEnd(psa) - kPrefixBytes);
}

void StoreVartype(SAFEARRAY* psa, VARTYPE vt) noexcept
{
    const DWORD value = vt;
    std::memcpy(PrefixEnd(psa) - sizeof value, &value, sizeof value);
}

VARTYPE StoredVartype(const SAFEARRAY* psa) noexcept
{
    DWORD value;
    std::memcpy(&value, PrefixEnd(psa) - sizeof value, sizeof value);
    return static_cast<VARTYPE>(value);
}

void StoreIid(SAFEARRAY* psa, const IID& iid) noexcept
{
    std::memcpy(PrefixEnd(psa) - sizeof(IID), &iid, sizeof(IID));
}

IID StoredIid(const SAFEARRAY* psa) noexcept
{
    IID iid;
    std::memcpy(&iid, PrefixEnd(psa) - sizeof(IID), sizeof(IID));
    return iid;
}

void CopyTypeInformation(const SAFEARRAY* from, SAFEARRAY* to) noexcept
{
    std::memcpy(PrefixEnd(to) - kPrefixBytes, PrefixEnd(from) - kPrefixBytes, kPrefixBytes);
}

void StoreRecordInfo(SAFEARRAY* psa, IRecordInfo* info) noexcept
{
    std::memcpy(PrefixEnd(psa) - sizeof info, &info, sizeof info);
}

IRecordInfo* StoredRecordInfo(const SAFEARRAY* psa) noexcept
{
    IRecordInfo* info;
    std::memcpy(&info, PrefixEnd(psa) - sizeof info, sizeof info);
    return info;
}

size_t ElementCountOf(const SAFEARRAY* psa) noexcept
{
    size_t count = 1;
    for (USHORT i = 0; i < psa->cDims; ++i)
        count *= psa->rgsabound[i].cElements;
    return count;
}

void ReleaseElements(const SAFEARRAY* psa, void* first, size_t count) noexcept
{
    const USHORT features = psa->fFeatures;
    const ULONG size = psa->cbElements;
    if (features & FADF_BSTR) {
        for (size_t i = 0; i < count; ++i)
            SysFreeString(*reinterpret_cast<BSTR*>(ElementAt(first, i, size)));
    } else if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
        for (size_t i = 0; i < count; ++i) {
            if (IUnknown* object = *reinterpret_cast<IUnknown**>(ElementAt(first, i, size)))
                object->Release();
        }
    } else if (features & FADF_VARIANT) {
        for (size_t i = 0; i < count; ++i)
            VariantClear(reinterpret_cast<VARIANT*>(ElementAt(first, i, size)));
    } else if (features & FADF_RECORD) {
        if (IRecordInfo* info = StoredRecordInfo(psa)) {
            for (size_t i = 0; i < count; ++i)
                info->RecordClear(ElementAt(first, i, size));
        }
    }
    std::memset(first, 0, count * size);
}

HRESULT CopyElements(const SAFEARRAY* psa, const void* source, void* target, size_t count) noexcept
{
    const ULONG size = psa->cbElements;
    for (size_t i = 0; i < count; ++i) {
        const HRESULT hr = CopyOne(psa, ElementAt(source, i, size), ElementAt(target, i, size));
        if (FAILED(hr)) {
            ReleaseElements(psa, target, i);
            std::memset(ElementAt(target, i, size), 0, size);
            return hr;
        }
    }
    return S_OK;
}

}  // namespace lumo::platform::oleaut32
