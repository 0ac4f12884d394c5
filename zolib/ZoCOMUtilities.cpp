#include "ZoCOMUtilities.h"

#include <objbase.h>

#include "ZoFrame.h"
#include "ZoGUID.h"

ZO_SOURCE_FILE(".\\ZoCOMUtilities")

namespace {

HRESULT CreateRunning(REFCLSID clsid, DWORD context, CComPtr<IUnknown>& result)
{
    CComPtr<IUnknown> created;
    HRESULT hr = CoCreateInstance(clsid, nullptr, context, __uuidof(IUnknown), reinterpret_cast<void**>(&created));
    if (FAILED(hr))
        return hr;
    if (!created)
        return E_POINTER;
    // An out-of-process server's object is only usable once it runs.
    if (context & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) {
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
}

}  // namespace

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
