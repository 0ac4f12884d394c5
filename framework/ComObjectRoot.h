// The object base every component class derives: reference count, outer unknown for
// aggregation, construction hooks. The IUnknown methods themselves come from the wrapper
// the object is created in (ComObject.h), which knows whether it is aggregated.
#pragma once

#include <windows.h>

#include "ComMap.h"
#include "ComThreadModel.h"

struct ATL_CATMAP_ENTRY;

class CComObjectRootBase {
public:
    CComObjectRootBase() noexcept = default;
    CComObjectRootBase(const CComObjectRootBase&) = delete;
    CComObjectRootBase& operator=(const CComObjectRootBase&) = delete;

    // Called once after construction, before the object is handed out; a failure makes the
    // creation fail and destroys the object. Hidden by the class's own.
    HRESULT FinalConstruct() { return S_OK; }
    // Called once just before destruction, also after a failed FinalConstruct.
    void FinalRelease() {}

    // Per-class start and stop hooks of the module's object map, and the class's component
    // categories (none).
    static void WINAPI ObjectMain(bool /*starting*/) {}
    static const ATL_CATMAP_ENTRY* GetCategoryMap() noexcept { return nullptr; }

    // Count protection around FinalConstruct, off unless the class asks for it with
    // DECLARE_PROTECT_FINAL_CONSTRUCT.
    void InternalFinalConstructAddRef() noexcept {}
    void InternalFinalConstructRelease() noexcept {}

    // The outer object's IUnknown when aggregated, else the object's own; set by the
    // wrapper, so valid from FinalConstruct on. Not AddRef'd.
    IUnknown* GetControllingUnknown() const noexcept { return m_pControllingUnknown; }

    // The outer object's IUnknown methods: valid only for an aggregated object.
    ULONG OuterAddRef() { return m_pOuterUnknown->AddRef(); }
    ULONG OuterRelease() { return m_pOuterUnknown->Release(); }
    HRESULT OuterQueryInterface(REFIID iid, void** ppv) { return m_pOuterUnknown->QueryInterface(iid, ppv); }

    static HRESULT InternalQueryInterface(void* object, const ATL_INTMAP_ENTRY* entries, REFIID iid,
                                          void** ppv) noexcept
    {
        return AtlInternalQueryInterface(object, entries, iid, ppv);
    }

protected:
    LONG m_dwRef = 0;
    IUnknown* m_pOuterUnknown = nullptr;         // set only when aggregated
    IUnknown* m_pControllingUnknown = nullptr;
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
public:
    using _ThreadModel = ThreadModel;

    ULONG InternalAddRef() noexcept { return ThreadModel::Increment(&m_dwRef); }
    ULONG InternalRelease() noexcept { return ThreadModel::Decrement(&m_dwRef); }
};

// Keeps the object alive while FinalConstruct hands out and drops references to itself
// (a QueryInterface and Release on its own interfaces would otherwise destroy it).
#define DECLARE_PROTECT_FINAL_CONSTRUCT()                                \
    void InternalFinalConstructAddRef() noexcept { this->InternalAddRef(); }   \
    void InternalFinalConstructRelease() noexcept { this->InternalRelease(); }

// GetControllingUnknown is always provided by the object base; the declaration keeps it
// public for classes that list it.
#define DECLARE_GET_CONTROLLING_UNKNOWN() \
public:                                   \
    using CComObjectRootBase::GetControllingUnknown;
