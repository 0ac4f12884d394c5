// Creators: the functions an object map and a class factory call to make an instance,
// plain or aggregated, and to make a class object.
#pragma once

#include <type_traits>

#include <windows.h>

#include "ComObject.h"

// Makes an instance and hands out iid: outer is the controlling unknown for aggregated
// creation, null for plain creation.
using ATL_CREATORFUNC = HRESULT(WINAPI*)(IUnknown* outer, REFIID iid, void** ppv);
// Makes a class object whose instances come from createInstance.
using ATL_CLASSOBJECT_CREATORFUNC = HRESULT(WINAPI*)(ATL_CREATORFUNC createInstance, REFIID iid, void** ppv);

// Creates the wrapper T: CComObject<Base> (no outer allowed) or CComAggObject<Base> (an
// outer required).
template <class T>
class CComCreator {
public:
    static HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        T* object = nullptr;
        try {
            if constexpr (std::is_constructible_v<T, IUnknown*>) {
                if (!outer)
                    return E_INVALIDARG;
                object = new T(outer);
            } else {
                if (outer)
                    return CLASS_E_NOAGGREGATION;
                object = new T();
            }
        } catch (...) {
            return AtlStatusOfCurrentException();
        }
        HRESULT hr = AtlRunFinalConstruct(object);
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(iid, ppv);
        if (FAILED(hr))
            delete object;   // still at count 0: nothing was handed out
        return hr;
    }
};

// Plain creation through Plain, aggregated (an outer given) through Aggregated.
template <class Plain, class Aggregated>
class CComCreator2 {
public:
    static HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** ppv) noexcept
    {
        return outer ? Aggregated::CreateInstance(outer, iid, ppv) : Plain::CreateInstance(outer, iid, ppv);
    }
};

// Refuses creation with hr.
template <HRESULT hr>
class CComFailCreator {
public:
    static HRESULT WINAPI CreateInstance(IUnknown*, REFIID, void** ppv) noexcept
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        return hr;
    }
};

// Creates a class object of class Factory for the module's cache, which keeps it until the
// module ends; only references beyond the cache's hold the module. Factory takes the instance
// creator through SetCreator.
template <class Factory>
class CComClassObjectCreator {
public:
    static HRESULT WINAPI CreateInstance(ATL_CREATORFUNC createInstance, REFIID iid, void** ppv) noexcept
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        CComObjectCached<Factory>* factory = nullptr;
        HRESULT hr = CComObjectCached<Factory>::CreateInstance(&factory);
        if (FAILED(hr))
            return hr;
        factory->SetCreator(createInstance);
        factory->AddRef();
        hr = factory->QueryInterface(iid, ppv);
        factory->Release();
        return hr;
    }
};

#define DECLARE_AGGREGATABLE(x)                                                     \
public:                                                                             \
    using _CreatorClass = CComCreator2<CComCreator<CComObject<x>>, CComCreator<CComAggObject<x>>>;

#define DECLARE_NOT_AGGREGATABLE(x)                                                 \
public:                                                                             \
    using _CreatorClass = CComCreator2<CComCreator<CComObject<x>>, CComFailCreator<CLASS_E_NOAGGREGATION>>;
