// The wrappers a component class is created in. They supply the IUnknown methods the class
// leaves pure:
//   CComObject<Base>         a plain object, counted in the module lock;
//   CComObjectNoLock<Base>   a plain object that does not hold the module;
//   CComObjectCached<Base>   a class object the module caches: only references beyond the
//                            cache's own hold the module;
//   CComAggObject<Base>      an object aggregated in an outer one: its own IUnknown is the
//                            non-delegating one the outer holds, and the contained Base
//                            delegates its IUnknown methods to the outer.
// Each wrapper calls FinalRelease exactly once before destruction, with the count pinned far
// from zero so that references taken and dropped inside FinalRelease cannot destroy again.
#pragma once

#include <limits>
#include <new>

#include <windows.h>

#include "AtlModule.h"
#include "ComError.h"
#include "ComObjectRoot.h"

inline constexpr LONG kAtlDestructionPinnedCount = -(std::numeric_limits<LONG>::max() / 2);

// The status of the exception being handled, for creation code that must not let one out.
inline HRESULT AtlStatusOfCurrentException() noexcept
{
    try {
        throw;
    } catch (const CComError& error) {
        return error.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Runs FinalConstruct inside the class's count protection; an exception becomes its status.
template <class TObject>
HRESULT AtlRunFinalConstruct(TObject* object) noexcept
{
    HRESULT hr;
    object->InternalFinalConstructAddRef();
    try {
        hr = object->FinalConstruct();
    } catch (...) {
        hr = AtlStatusOfCurrentException();
    }
    object->InternalFinalConstructRelease();
    return hr;
}

// A lifetime that follows the reference count.
template <class Lifetime>
concept CountWatchingLifetime = requires(Lifetime& lifetime, ULONG count) {
    lifetime.CountRaisedTo(count);
    lifetime.CountDroppedTo(count);
};

// Counts, answers and destroys a plain object; the wrappers differ only in how they hold the
// module. Lifetime is a base constructed before Base and destroyed after it.
template <class Base, class Lifetime>
class CComPlainObject final : private Lifetime, public Base {
public:
    CComPlainObject() { this->m_pControllingUnknown = this->GetUnknown(); }
    CComPlainObject(const CComPlainObject&) = delete;
    CComPlainObject& operator=(const CComPlainObject&) = delete;
    ~CComPlainObject()
    {
        this->m_dwRef = kAtlDestructionPinnedCount;
        this->FinalRelease();
    }

    STDMETHOD_(ULONG, AddRef)() override
    {
        const ULONG count = this->InternalAddRef();
        if constexpr (CountWatchingLifetime<Lifetime>)
            this->CountRaisedTo(count);
        return count;
    }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = this->InternalRelease();
        if (count == 0)
            delete this;
        else if constexpr (CountWatchingLifetime<Lifetime>)
            this->CountDroppedTo(count);
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override { return this->_InternalQueryInterface(iid, ppv); }

    // A new object with a count of 0 after FinalConstruct succeeded: the caller's first
    // AddRef owns it. On failure *pp is null and the object is gone.
    static HRESULT WINAPI CreateInstance(CComPlainObject** pp) noexcept;
};

// No module lock.
class CAtlNoModuleLock {};

// The module's cache holds the first reference, which does not hold the module; a reference
// beyond it holds one lock until the count is back at the cache's, so that DllCanUnloadNow
// answers S_FALSE while a client keeps a class object.
class CAtlCachedModuleLock {
public:
    CAtlCachedModuleLock() noexcept : m_module(_pAtlModule) {}
    CAtlCachedModuleLock(const CAtlCachedModuleLock&) = delete;
    CAtlCachedModuleLock& operator=(const CAtlCachedModuleLock&) = delete;

    void CountRaisedTo(ULONG count) noexcept
    {
        if (count == 2 && m_module)
            m_module->Lock();
    }
    void CountDroppedTo(ULONG count) noexcept
    {
        if (count == 1 && m_module && m_module == _pAtlModule)
            m_module->Unlock();
    }

private:
    CAtlModule* const m_module;
};

template <class Base>
using CComObject = CComPlainObject<Base, CAtlModuleLockHolder>;
template <class Base>
using CComObjectNoLock = CComPlainObject<Base, CAtlNoModuleLock>;
template <class Base>
using CComObjectCached = CComPlainObject<Base, CAtlCachedModuleLock>;

// The Base inside an aggregated object: its IUnknown is the outer object's.
template <class Base>
class CComContainedObject : public Base {
public:
    explicit CComContainedObject(IUnknown* outer) noexcept
    {
        this->m_pOuterUnknown = outer;
        this->m_pControllingUnknown = outer;
    }

    STDMETHOD_(ULONG, AddRef)() override { return this->OuterAddRef(); }
    STDMETHOD_(ULONG, Release)() override { return this->OuterRelease(); }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override { return this->OuterQueryInterface(iid, ppv); }
};

template <class Base>
class CComAggObject final : private CAtlModuleLockHolder, public IUnknown {
public:
    explicit CComAggObject(IUnknown* outer) : m_contained(outer) {}
    ~CComAggObject()
    {
        m_dwRef = kAtlDestructionPinnedCount;
        m_contained.FinalRelease();
    }
    CComAggObject(const CComAggObject&) = delete;
    CComAggObject& operator=(const CComAggObject&) = delete;

    // Construction hooks as the creators call them. References the contained Base takes on
    // itself go to the outer object, so there is no count of ours to protect.
    void InternalFinalConstructAddRef() noexcept {}
    void InternalFinalConstructRelease() noexcept {}
    HRESULT FinalConstruct() { return m_contained.FinalConstruct(); }

    // The non-delegating IUnknown: IUnknown is this object, everything else the contained
    // Base's map.
    STDMETHOD_(ULONG, AddRef)() override { return ThreadModel::Increment(&m_dwRef); }
    STDMETHOD_(ULONG, Release)() override
    {
        const ULONG count = ThreadModel::Decrement(&m_dwRef);
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (IsEqualIID(iid, __uuidof(IUnknown))) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained._InternalQueryInterface(iid, ppv);
    }

    CComContainedObject<Base> m_contained;

private:
    using ThreadModel = typename Base::_ThreadModel;
    LONG m_dwRef = 0;
};

template <class Base, class Lifetime>
HRESULT WINAPI CComPlainObject<Base, Lifetime>::CreateInstance(CComPlainObject** pp) noexcept
{
    if (!pp)
        return E_POINTER;
    *pp = nullptr;
    CComPlainObject* object = nullptr;
    try {
        object = new CComPlainObject();
    } catch (...) {
        return AtlStatusOfCurrentException();
    }
    const HRESULT hr = AtlRunFinalConstruct(object);
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    *pp = object;
    return S_OK;
}
