#include "LumoEnumVARIANT.h"

#include <algorithm>
#include <limits>

#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE_IS(CLumoEnumVARIANT::kSourceFile)

// The enumerator has no object lock of its own: its methods run in the frame without one.

void CLumoEnumVARIANT::ReleaseMembers()
{
    m_reference.Release();
}

STDMETHODIMP CLumoEnumVARIANT::SetEnumHost(IUnknown* pEnumReference, void* pEnumHost, LONG nCurrentIndex)
{
    m_reference = pEnumReference;
    m_host = static_cast<CLumoEnumHost*>(pEnumHost);
    m_position = nCurrentIndex;
    return S_OK;
}

STDMETHODIMP CLumoEnumVARIANT::Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched)
{
    if (!rgVar && celt > 0)
        return E_POINTER;
    ZO_METHOD_UNLOCKED(OLESTR("CLumoEnumVARIANT::Next"), IID_IEnumVARIANT)
    {
        if (!m_host)
            ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
        ULONG fetched = 0;
        const LONG count = m_host->HostGetCount();
        if (m_position < count) {
            const LONGLONG remaining = static_cast<LONGLONG>(count) - m_position;
            const ULONG wanted = static_cast<ULONG>(std::min<LONGLONG>(celt, remaining));
            for (; fetched < wanted; ++fetched) {
                // rgVar is an out-parameter: the caller may pass uninitialised memory, whose
                // contents must not be cleared.
                VariantInit(&rgVar[fetched]);
                // Members removed on another thread since the count was read end the walk there.
                if (!m_host->HostGetAt(m_position + static_cast<LONG>(fetched), &rgVar[fetched]))
                    break;
            }
        }
        if (pCeltFetched)
            *pCeltFetched = fetched;
        m_position += static_cast<LONG>(fetched);
        return fetched < celt ? S_FALSE : S_OK;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumVARIANT::Skip(ULONG celt)
{
    ZO_METHOD_UNLOCKED(OLESTR("CLumoEnumVARIANT::Skip"), IID_IEnumVARIANT)
    {
        if (!m_host)
            ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
        const LONG count = m_host->HostGetCount();
        const LONGLONG target = static_cast<LONGLONG>(m_position) + celt;
        // Past the range of a 32-bit index the position stops at its largest value, which
        // lies beyond the end of every collection, instead of wrapping round to a negative one.
        m_position = static_cast<LONG>(std::min<LONGLONG>(target, std::numeric_limits<LONG>::max()));
        return target > count ? S_FALSE : S_OK;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumVARIANT::Reset()
{
    ZO_METHOD_UNLOCKED(OLESTR("CLumoEnumVARIANT::Reset"), IID_IEnumVARIANT)
    {
        if (!m_host)
            ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
        m_position = 0;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoEnumVARIANT::Clone(IEnumVARIANT** ppEnum)
{
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    ZO_METHOD_UNLOCKED(OLESTR("CLumoEnumVARIANT::Clone"), IID_IEnumVARIANT)
    {
        if (!m_host)
            ZO_RAISE(ZO_ERR_NOT_INITIALIZED);
        CComQIPtr<ILumoEnumVARIANT> clone(
            CZoCOMUtils::CreateObject(CLSID_LumoEnumVARIANT, OLESTR("LumoItemsLib::LumoEnumVARIANT"), CLSCTX_ALL));
        if (!clone)
            ZO_THROW_HR(E_POINTER);
        ZoCheck(clone->SetEnumHost(m_reference, m_host, m_position), clone);
        CComQIPtr<IEnumVARIANT> result(clone);
        if (!result)
            ZO_THROW_HR(E_POINTER);
        *ppEnum = result.Detach();
    }
    ZO_METHOD_END
}
