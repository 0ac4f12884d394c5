// Argument mapping and coercion for ITypeInfo::Invoke.
#include "oleaut32/DispatchArguments.h"

namespace lumo::platform {
namespace {

bool IsPut(const LUMO_FUNC_DESC& func) noexcept
{
    return func.invkind == INVOKE_PROPERTYPUT || func.invkind == INVOKE_PROPERTYPUTREF;
}

bool IsMissing(const VARIANTARG& value) noexcept
{
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

HRESULT CoercionFailure(HRESULT hr) noexcept
{
    return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
}

}  // namespace

DispatchArguments::~DispatchArguments()
{
    for (size_t i = 0; i < m_values.size(); ++i)
        if (m_owned[i])
            VariantClear(&m_values[i]);
}

UINT DispatchArguments::InputCount() const noexcept
{
    UINT count = m_func.paramCount;
    if (count > 0 && (m_func.params[count - 1].flags & PARAMFLAG_FRETVAL))
        --count;
    return count;
}

HRESULT DispatchArguments::Map(const DISPPARAMS& params, std::vector<const VARIANTARG*>& sources,
                               std::vector<UINT>& positions, UINT* argError) const
{
    const UINT inputs = InputCount();
    const bool put = IsPut(m_func);
    bool valueGiven = false;
    UINT otherNamed = 0;
    // Named arguments first: rgvarg[0..cNamedArgs) in the order of rgdispidNamedArgs.
    for (UINT j = 0; j < params.cNamedArgs; ++j) {
        const DISPID id = params.rgdispidNamedArgs[j];
        UINT target = inputs;
        if (id == DISPID_PROPERTYPUT && put && inputs > 0) {
            target = inputs - 1;
            valueGiven = true;
        } else if (id >= 0 && static_cast<UINT>(id) < inputs && !(put && static_cast<UINT>(id) == inputs - 1)) {
            target = static_cast<UINT>(id);
            ++otherNamed;
        }
        if (target == inputs || sources[target]) {
            if (argError)
                *argError = j;
            return DISP_E_PARAMNOTFOUND;
        }
        sources[target] = &params.rgvarg[j];
        positions[target] = j;
    }
    if (put && !valueGiven)
        return DISP_E_PARAMNOTOPTIONAL;
    // Positional arguments: the first one is the last in rgvarg.
    const UINT positional = params.cArgs - params.cNamedArgs;
    if (positional > (put ? inputs - 1 : inputs))
        return DISP_E_BADPARAMCOUNT;
    for (UINT i = 0; i < positional; ++i) {
        if (sources[i])
            return DISP_E_PARAMNOTFOUND;
        sources[i] = &params.rgvarg[params.cArgs - 1 - i];
        positions[i] = params.cArgs - 1 - i;
    }
    for (UINT i = 0; i < inputs; ++i)
        if (!sources[i] && !(m_func.params[i].flags & PARAMFLAG_FOPT))
            return otherNamed ? DISP_E_PARAMNOTOPTIONAL : DISP_E_BADPARAMCOUNT;
    return S_OK;
}

HRESULT DispatchArguments::Prepare(const DISPPARAMS& params, UINT* argError)
{
    if ((params.cArgs && !params.rgvarg) || params.cNamedArgs > params.cArgs ||
        (params.cNamedArgs && !params.rgdispidNamedArgs))
        return E_INVALIDARG;
    const UINT inputs = InputCount();
    std::vector<const VARIANTARG*> sources(inputs, nullptr);
    std::vector<UINT> positions(inputs, 0);
    if (const HRESULT hr = Map(params, sources, positions, argError); FAILED(hr))
        return hr;
    m_values.assign(inputs, VARIANTARG{});
    m_owned.assign(inputs, false);
    for (UINT i = 0; i < inputs; ++i) {
        const LUMO_PARAM_DESC& param = m_func.params[i];
        VariantInit(&m_values[i]);
        if (!sources[i]) {
            // An omitted optional argument reaches the method as Windows passes it.
            if (param.type.vt == VT_VARIANT && param.type.indirections == 0) {
                V_VT(&m_values[i]) = VT_ERROR;
                V_ERROR(&m_values[i]) = DISP_E_PARAMNOTFOUND;
            } else {
                m_values[i] = VARIANTARG{};  // a zero value of the parameter's own type
                V_VT(&m_values[i]) = param.type.indirections == 0 ? param.type.vt : VARTYPE{VT_EMPTY};
            }
            continue;
        }
        if (IsMissing(*sources[i]) && !(param.flags & PARAMFLAG_FOPT))
            return DISP_E_PARAMNOTOPTIONAL;
        bool owned = false;
        const HRESULT hr = Coerce(param, *sources[i], m_values[i], owned);
        m_owned[i] = owned;
        if (FAILED(hr)) {
            if (argError)
                *argError = positions[i];
            return hr;
        }
    }
    return S_OK;
}

HRESULT DispatchArguments::Coerce(const LUMO_PARAM_DESC& param, const VARIANTARG& source, VARIANTARG& target,
                                  bool& owned) const
{
    const LUMO_TYPE_DESC& type = param.type;
    if (type.indirections == 0) {
        // A VARIANT parameter takes the argument as it came, by-reference ones included.
        if (type.vt == VT_VARIANT || V_VT(&source) == type.vt) {
            target = source;
            return S_OK;
        }
        const HRESULT hr = VariantChangeType(&target, &source, 0, type.vt);
        owned = SUCCEEDED(hr);
        return SUCCEEDED(hr) ? S_OK : CoercionFailure(hr);
    }
    if (type.vt == VT_USERDEFINED && type.indirections == 1) {
        // An interface pointer: any object that answers the interface, or none.
        const GUID* iid = nullptr;
        if (type.ref >= 0 && type.ref < m_library.typeCount)
            iid = &m_library.types[type.ref].guid;
        else if (type.ref < 0 && -1 - type.ref < m_library.importCount)
            iid = &m_library.imports[-1 - type.ref].guid;
        VARIANTARG unknown;
        VariantInit(&unknown);
        const HRESULT changed = VariantChangeType(&unknown, &source, 0, VT_UNKNOWN);
        if (FAILED(changed) || !iid)
            return FAILED(changed) ? CoercionFailure(changed) : DISP_E_TYPEMISMATCH;
        V_VT(&target) = VT_UNKNOWN;
        V_UNKNOWN(&target) = nullptr;
        HRESULT hr = S_OK;
        if (V_UNKNOWN(&unknown)) {
            void* object = nullptr;
            hr = V_UNKNOWN(&unknown)->QueryInterface(*iid, &object);
            V_UNKNOWN(&target) = static_cast<IUnknown*>(object);
            owned = SUCCEEDED(hr);
        }
        VariantClear(&unknown);
        return SUCCEEDED(hr) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    // Other pointers are by-reference arguments of the pointed-to type.
    const VARTYPE pointee = type.indirections == 1 ? type.vt : VARTYPE{VT_BYREF};
    const bool matches = (V_VT(&source) & VT_BYREF) &&
                         (pointee == VT_VOID || pointee == VT_BYREF || (V_VT(&source) & ~VT_BYREF) == pointee);
    if (!matches)
        return DISP_E_TYPEMISMATCH;
    target = source;
    return S_OK;
}

}  // namespace lumo::platform
