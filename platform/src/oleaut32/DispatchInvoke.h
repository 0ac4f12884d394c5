// IDispatch::Invoke over a type description: picks the function, maps and coerces the
// arguments, calls the function's stub and reports its failure.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <lumo/TypeDescription.h>

#include <vector>

namespace lumo::platform {

struct DispatchCall {
    const LUMO_TYPELIB_DESC& library;  // resolves the interface parameters' ids
    const GUID& iid;                   // the interface the error object must be supported for
    void* instance;                    // a pointer to that interface
};

HRESULT InvokeFunction(const DispatchCall& call, const std::vector<const LUMO_FUNC_DESC*>& funcs, MEMBERID memid,
                       WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* exception, UINT* argError);

}  // namespace lumo::platform
