#include "ComMap.h"

namespace {

HRESULT Answer(IUnknown* unknown, void** ppv) noexcept
{
    if (!unknown)
        return E_NOINTERFACE;
    unknown->AddRef();
    *ppv = unknown;
    return S_OK;
}

}   // namespace

IUnknown* AtlIdentityOf(void* object, const ATL_INTMAP_ENTRY* entries) noexcept
{
    return entries->piid && entries->pfnInterfaceOf ? entries->pfnInterfaceOf(object) : nullptr;
}

HRESULT AtlInternalQueryInterface(void* object, const ATL_INTMAP_ENTRY* entries, REFIID iid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(iid, __uuidof(IUnknown)))
        return Answer(AtlIdentityOf(object, entries), ppv);
    for (const ATL_INTMAP_ENTRY* entry = entries; entry->piid; ++entry) {
        if (!IsEqualIID(iid, *entry->piid))
            continue;
        // The first matching entry decides, delegated or not.
        return entry->pfnInterfaceOf ? Answer(entry->pfnInterfaceOf(object), ppv)
                                     : entry->pfnDelegate(object, iid, ppv);
    }
    return E_NOINTERFACE;
}
