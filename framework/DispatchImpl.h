// The dual interface's IDispatch half, driven by the type library: IDispatchImpl<T, &IID_T,
// &LIBID_Lib, major, minor> derives T and answers GetTypeInfoCount, GetTypeInfo,
// GetIDsOfNames and Invoke through the type information of *piid. Script callers get two
// allowances (by-reference arguments are dereferenced, a put-ref is served as the put);
// early-bound callers call T's methods directly and never pass through here. A null piid
// stands for T's own id, __uuidof(T).
#pragma once

#include <mutex>
#include <type_traits>

#include <windows.h>
#include <oleauto.h>

// The type information of one interface, loaded on first use and kept until ReleaseAll (the
// module's term): from the registered library, or else from the module's own file.
class CComTypeInfoHolder {
public:
    CComTypeInfoHolder(const IID* piid, const GUID* plibid, WORD major, WORD minor) noexcept
        : m_piid(piid), m_plibid(plibid), m_major(major), m_minor(minor)
    {
    }
    // Keeps the type information: destructors at process exit may run after the platform's.
    ~CComTypeInfoHolder() = default;
    CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
    CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

    // An added reference in *info.
    HRESULT GetTI(ITypeInfo** info) noexcept;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    HRESULT Invoke(void* instance, DISPID member, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) noexcept;

    // Releases the type information of every holder of this module.
    static void ReleaseAll() noexcept;

private:
    HRESULT Load(ITypeInfo** info) noexcept;

    const IID* const m_piid;
    const GUID* const m_plibid;
    const WORD m_major;
    const WORD m_minor;
    std::mutex m_lock;
    ITypeInfo* m_info = nullptr;
    CComTypeInfoHolder* m_next = nullptr;  // the module's loaded holders, for ReleaseAll
};

template <class T, const IID* piid, const GUID* plibid, WORD wMajor = 1, WORD wMinor = 0>
class IDispatchImpl : public T {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override
    {
        if (!pctinfo)
            return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID /*lcid*/, ITypeInfo** ppTInfo) override
    {
        if (!ppTInfo)
            return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0)
            return DISP_E_BADINDEX;
        return Holder().GetTI(ppTInfo);
    }

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID /*lcid*/,
                               DISPID* rgDispId) override
    {
        return Holder().GetIDsOfNames(riid, rgszNames, cNames, rgDispId);
    }

    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID /*lcid*/, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override
    {
        return Holder().Invoke(static_cast<T*>(this), dispIdMember, riid, wFlags, pDispParams, pVarResult,
                               pExcepInfo, puArgErr);
    }

    static const IID* InterfaceId() noexcept
    {
        if constexpr (std::is_same_v<std::integral_constant<const IID*, piid>, std::integral_constant<const IID*, nullptr>>)
            return &__uuidof(T);
        else
            return piid;
    }

    static CComTypeInfoHolder& Holder() noexcept
    {
        static CComTypeInfoHolder holder(InterfaceId(), plibid, wMajor, wMinor);
        return holder;
    }
};
