// The arguments of one late-bound call, mapped from DISPPARAMS to the function's parameters
// and coerced to their types. Owns what the coercion made; the caller's variants are never
// changed.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <lumo/TypeDescription.h>

#include <vector>

namespace lumo::platform {

class DispatchArguments {
public:
    DispatchArguments(const LUMO_TYPELIB_DESC& library, const LUMO_FUNC_DESC& func) noexcept
        : m_library(library), m_func(func)
    {
    }
    ~DispatchArguments();
    DispatchArguments(const DispatchArguments&) = delete;
    DispatchArguments& operator=(const DispatchArguments&) = delete;

    // Fails with the DISP_E_ status of Invoke and, for a bad argument, its index in rgvarg.
    HRESULT Prepare(const DISPPARAMS& params, UINT* argError);

    VARIANTARG* Values() noexcept { return m_values.data(); }
    UINT InputCount() const noexcept;

private:
    HRESULT Map(const DISPPARAMS& params, std::vector<const VARIANTARG*>& sources, std::vector<UINT>& positions,
                UINT* argError) const;
    HRESULT Coerce(const LUMO_PARAM_DESC& param, const VARIANTARG& source, VARIANTARG& target, bool& owned) const;

    const LUMO_TYPELIB_DESC& m_library;
    const LUMO_FUNC_DESC& m_func;
    std::vector<VARIANTARG> m_values;
    std::vector<bool> m_owned;  // cleared at the end: copies and interface references of ours
};

}  // namespace lumo::platform
