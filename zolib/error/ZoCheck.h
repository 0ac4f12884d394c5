// Checked calls: a failed status becomes a thrown CComError that the error frame turns into
// an entry (and, for E_ZO_EXCEPTION from another object of this library, into the callee's
// whole error document).
//
//   ZoCheck(item->get_Name(&name), item);                  // the interface of the pointer
//   ZoCheck(unknown->QueryInterface(...), unknown, iid);   // the interface called, given
//   ZoCheckPlatform(VariantCopy(&to, &from));              // no error object to look for
//   BSTR text = ZoCheckAllocation(SysAllocString(source)); // null means out of memory
//   CComPtr<ILumoItem> item = ZoQueryIfAnswers<ILumoItem>(unknown); // null: not an item
#pragma once

#include <windows.h>

#include "ComError.h"
#include "ComPtr.h"

// Throws CComError(hr, the thread's error object when the callee says that it sets one for
// iid, else none).
[[noreturn]] void ZoRaiseCallFailure(HRESULT hr, IUnknown* callee, REFIID iid);

inline void ZoCheck(HRESULT hr, IUnknown* callee, REFIID iid)
{
    if (FAILED(hr))
        ZoRaiseCallFailure(hr, callee, iid);
}

template <class Interface>
inline void ZoCheck(HRESULT hr, Interface* callee)
{
    if (FAILED(hr))
        ZoRaiseCallFailure(hr, callee, __uuidof(Interface));
}

template <class Interface>
inline void ZoCheck(HRESULT hr, const CComPtr<Interface>& callee)
{
    ZoCheck(hr, callee.p);
}

inline void ZoCheckPlatform(HRESULT hr)
{
    if (FAILED(hr))
        throw CComError(hr);
}

// The object's Interface, or null when the object is null or answers E_NOINTERFACE; any
// other failure of the query is raised.
template <class Interface>
inline CComPtr<Interface> ZoQueryIfAnswers(IUnknown* object)
{
    CComPtr<Interface> result;
    if (!object)
        return result;
    const HRESULT hr = object->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(&result));
    if (FAILED(hr) && hr != E_NOINTERFACE)
        throw CComError(hr);
    if (FAILED(hr))
        result.Release();
    return result;
}

template <class T>
inline T* ZoCheckAllocation(T* allocated)
{
    if (!allocated)
        throw CComError(E_OUTOFMEMORY);
    return allocated;
}
