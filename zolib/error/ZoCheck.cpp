#include "ZoCheck.h"

#include <oleauto.h>

#include "ComPtr.h"

namespace {

// The callee's error object, when it declares that it sets one for the interface called.
IErrorInfo* TakeErrorInfoOf(IUnknown* callee, REFIID iid)
{
    if (!callee)
        return nullptr;
    CComPtr<ISupportErrorInfo> support;
    if (FAILED(callee->QueryInterface(__uuidof(ISupportErrorInfo), reinterpret_cast<void**>(&support))) || !support)
        return nullptr;
    const bool supported = support->InterfaceSupportsErrorInfo(iid) == S_OK;
    IErrorInfo* errorInfo = nullptr;
    if (supported && GetErrorInfo(0, &errorInfo) != S_OK)
        errorInfo = nullptr;
    return errorInfo;
}

}  // namespace

void ZoRaiseCallFailure(HRESULT hr, IUnknown* callee, REFIID iid)
{
    throw CComError(hr, TakeErrorInfoOf(callee, iid));
}
