// Owning interface pointers: CComPtr<T> holds one reference to a T, CComQIPtr<T> also takes
// its pointer by QueryInterface from any interface of an object.
#pragma once

#include <cassert>
#include <type_traits>
#include <utility>

#include <windows.h>

template <class T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    CComPtr(std::nullptr_t) noexcept {}
    CComPtr(T* other) noexcept : p(other) { AddRefHeld(); }
    CComPtr(const CComPtr& other) noexcept : p(other.p) { AddRefHeld(); }
    CComPtr(CComPtr&& other) noexcept : p(std::exchange(other.p, nullptr)) {}
    ~CComPtr() { Release(); }

    CComPtr& operator=(T* other) noexcept
    {
        CComPtr(other).Swap(*this);
        return *this;
    }
    CComPtr& operator=(const CComPtr& other) noexcept { return *this = other.p; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        CComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    CComPtr& operator=(std::nullptr_t) noexcept
    {
        Release();
        return *this;
    }

    operator T*() const noexcept { return p; }
    T& operator*() const noexcept { return *p; }
    T* operator->() const noexcept
    {
        assert(p);
        return p;
    }
    // For an out parameter: the pointer must be empty. A held reference is released rather
    // than leaked when assertions are off.
    T** operator&() noexcept
    {
        assert(!p);
        Release();
        return &p;
    }
    bool operator!() const noexcept { return !p; }

    bool operator==(const T* other) const noexcept { return p == other; }
    bool operator==(std::nullptr_t) const noexcept { return !p; }
    bool operator<(const T* other) const noexcept { return p < other; }

    void Release() noexcept
    {
        if (T* held = std::exchange(p, nullptr))
            held->Release();
    }
    // Takes over a reference the caller owns.
    void Attach(T* other) noexcept
    {
        Release();
        p = other;
    }
    // Gives up the reference to the caller.
    T* Detach() noexcept { return std::exchange(p, nullptr); }
    HRESULT CopyTo(T** pp) const noexcept
    {
        if (!pp)
            return E_POINTER;
        *pp = p;
        AddRefHeld();
        return S_OK;
    }
    template <class Q>
    HRESULT QueryInterface(Q** pp) const noexcept
    {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        if (!p)
            return E_POINTER;
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
    // Whether other is the same object: the IUnknown identities compared.
    bool IsEqualObject(IUnknown* other) const noexcept
    {
        if (!p || !other)
            return !p && !other;
        IUnknown* mine = nullptr;
        IUnknown* theirs = nullptr;
        p->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&mine));
        other->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&theirs));
        const bool same = mine && mine == theirs;
        if (mine)
            mine->Release();
        if (theirs)
            theirs->Release();
        return same;
    }

    // A new object of class rclsid, held here; the pointer must be empty.
    HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) noexcept
    {
        assert(!p);
        Release();
        return ::CoCreateInstance(rclsid, outer, context, __uuidof(T), reinterpret_cast<void**>(&p));
    }
    HRESULT CoCreateInstance(LPCOLESTR progId, IUnknown* outer = nullptr, DWORD context = CLSCTX_ALL) noexcept
    {
        CLSID clsid;
        const HRESULT hr = CLSIDFromProgID(progId, &clsid);
        return FAILED(hr) ? hr : CoCreateInstance(clsid, outer, context);
    }

    void Swap(CComPtr& other) noexcept { std::swap(p, other.p); }

    T* p = nullptr;

private:
    void AddRefHeld() const noexcept
    {
        if (p)
            p->AddRef();
    }
};

// A CComPtr that takes its pointer from any interface by QueryInterface for T (for T =
// IUnknown that is the object's identity).
template <class T>
class CComQIPtr : public CComPtr<T> {
public:
    CComQIPtr() noexcept = default;
    CComQIPtr(std::nullptr_t) noexcept {}
    CComQIPtr(T* other) noexcept
        requires(!std::is_same_v<T, IUnknown>)
        : CComPtr<T>(other)
    {
    }
    CComQIPtr(IUnknown* other) noexcept { QueryFrom(other); }
    CComQIPtr(const CComQIPtr& other) noexcept : CComPtr<T>(other) {}
    CComQIPtr(CComQIPtr&& other) noexcept : CComPtr<T>(std::move(other)) {}

    CComQIPtr& operator=(T* other) noexcept
        requires(!std::is_same_v<T, IUnknown>)
    {
        CComPtr<T>::operator=(other);
        return *this;
    }
    CComQIPtr& operator=(IUnknown* other) noexcept
    {
        CComQIPtr(other).Swap(*this);
        return *this;
    }
    CComQIPtr& operator=(const CComQIPtr& other) noexcept
    {
        CComPtr<T>::operator=(other);
        return *this;
    }
    CComQIPtr& operator=(CComQIPtr&& other) noexcept
    {
        CComPtr<T>::operator=(std::move(other));
        return *this;
    }

private:
    void QueryFrom(IUnknown* other) noexcept
    {
        if (other)
            other->QueryInterface(__uuidof(T), reinterpret_cast<void**>(&this->p));
    }
};
