// ITypeInfo::Invoke over the call stubs of a type description.
#include "oleaut32/DispatchInvoke.h"

#include "oleaut32/DispatchArguments.h"

namespace lumo::platform {
namespace {

bool KindServes(USHORT invkind, WORD flags) noexcept
{
    switch (invkind) {
    case INVOKE_FUNC: return flags & DISPATCH_METHOD;
    case INVOKE_PROPERTYGET: return flags & DISPATCH_PROPERTYGET;
    case INVOKE_PROPERTYPUT: return flags & DISPATCH_PROPERTYPUT;
    case INVOKE_PROPERTYPUTREF: return flags & DISPATCH_PROPERTYPUTREF;
    default: return false;
    }
}

// A failed method becomes DISP_E_EXCEPTION when the object keeps error objects for the
// interface and the caller asked for the exception; otherwise its status is returned as is.
HRESULT ReportFailure(const DispatchCall& call, HRESULT failure, EXCEPINFO* exception)
{
    if (!exception)
        return failure;
    auto* object = static_cast<IUnknown*>(call.instance);
    ISupportErrorInfo* support = nullptr;
    if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) || !support)
        return failure;
    const bool supported = support->InterfaceSupportsErrorInfo(call.iid) == S_OK;
    support->Release();
    if (!supported)
        return failure;
    *exception = EXCEPINFO{};
    exception->scode = failure;
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) == S_OK && error) {
        error->GetSource(&exception->bstrSource);
        error->GetDescription(&exception->bstrDescription);
        error->GetHelpFile(&exception->bstrHelpFile);
        error->GetHelpContext(&exception->dwHelpContext);
        error->Release();
    }
    return DISP_E_EXCEPTION;
}

}  // namespace

HRESULT InvokeFunction(const DispatchCall& call, const std::vector<const LUMO_FUNC_DESC*>& funcs, MEMBERID memid,
                       WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    const LUMO_FUNC_DESC* func = nullptr;
    for (const LUMO_FUNC_DESC* candidate : funcs)
        if (candidate->memid == memid && KindServes(candidate->invkind, flags)) {
            func = candidate;
            break;
        }
    if (!func)
        return DISP_E_MEMBERNOTFOUND;
    if (!func->stub)
        return E_NOTIMPL;

    DispatchArguments arguments(call.library, *func);
    if (const HRESULT hr = arguments.Prepare(params, argError); FAILED(hr))
        return hr;

    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = func->stub(call.instance, arguments.Values(), &value);
    if (FAILED(hr)) {
        VariantClear(&value);
        return ReportFailure(call, hr, exception);
    }
    // A put has no result (pVarResult is ignored for it).
    const bool put = func->invkind == INVOKE_PROPERTYPUT || func->invkind == INVOKE_PROPERTYPUTREF;
    if (result && !put)
        *result = value;
    else
        VariantClear(&value);
    return hr;
}

}  // namespace lumo::platform
