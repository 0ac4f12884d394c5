#include "ZoCOMUtilities.h"

#include <objbase.h>

#include "ZoFrame.h"
#include "ZoGUID.h"

ZO_SOURCE_FILE(".\\ZoCOMUtilities")

namespace {

// 'attempt' with the in-process server alone first, where the context names more servers.
template <class Attempt>
HRESULT InProcessServerFirst(DWORD context, Attempt&& attempt)
{
    if ((context & CLSCTX_INPROC_SERVER) && context != CLSCTX_INPROC_SERVER) {
        const HRESULT hr = attempt(static_cast<DWORD>(CLSCTX_INPROC_SERVER));
        if (hr != REGDB_E_CLASSNOTREG)
            return hr;
    }
    return attempt(context);
}

HRESULT CreateRunning(REFCLSID clsid, DWORD context, CComPtr<IUnknown>& result)
{
    return InProcessServerFirst(context, [&](DWORD used) {
        CComPtr<IUnknown> created;
        HRESULT hr = CoCreateInstance(clsid, nullptr, used, __uuidof(IUnknown), reinterpret_cast<void**>(&created));
        if (FAILED(hr))
            return hr;
        if (!created)
            return E_POINTER;
        // An out-of-process server's object is only usable once it runs.
        if (used & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) {
            hr = OleRun(created);
            if (FAILED(hr))
                return hr;
            hr = created->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&result));
            if (SUCCEEDED(hr) && !result)
                return E_POINTER;
            return hr;
        }
        result = created;
        return hr;
    });
}

}  // namespace

HRESULT CZoCOMUtils::GetClassObject(REFCLSID clsid, DWORD context, REFIID iid, void** object) noexcept
{
    return InProcessServerFirst(context, [&](DWORD used) { return CoGetClassObject(clsid, used, nullptr, iid, object); });
}

CComPtr<IUnknown> CZoCOMUtils::CreateObject(REFCLSID clsid, const OLECHAR* progId, DWORD context)
{
    ZO_FUNCTION(OLESTR("CZoCOMUtils::CreateObject"))
    {
        CComPtr<IUnknown> result;
        const HRESULT hr = CreateRunning(clsid, context, result);
        if (FAILED(hr)) {
            CZoException error(ZoSystemMessageText(static_cast<DWORD>(hr)), hr, zoSourceFile, __LINE__, zoFunctionName);
            error.AddInfo(OLESTR("ClassID"), CZoGUID::GUIDToString(clsid, true));
            if (progId)
                error.AddInfo(OLESTR("ProgID"), progId);
            throw error;
        }
        return result;
    }
    ZO_FUNCTION_END
}
