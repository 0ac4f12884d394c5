#include "DispatchImpl.h"

#include <vector>

namespace {

std::mutex g_loadedLock;
CComTypeInfoHolder* g_loaded = nullptr;  // the module's holders that hold type information

// An address inside this module, to find the module's own file.
void ModuleAnchor() {}

HRESULT LoadFromOwnModule(ITypeLib** library) noexcept
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleAnchor), &module))
        return TYPE_E_CANTLOADLIBRARY;
    OLECHAR path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return TYPE_E_CANTLOADLIBRARY;
    return LoadTypeLib(path, library);
}

// The arguments a script passed, with every by-reference one replaced by a copy of what it
// points to: VBScript passes variables as VT_BYREF | VT_VARIANT, and the methods should see
// them as the literals they stand for. The caller's variants are left as they are.
class CDereferencedArguments {
public:
    CDereferencedArguments() = default;
    ~CDereferencedArguments()
    {
        for (VARIANTARG& value : m_values)
            VariantClear(&value);
    }
    CDereferencedArguments(const CDereferencedArguments&) = delete;
    CDereferencedArguments& operator=(const CDereferencedArguments&) = delete;

    HRESULT From(const DISPPARAMS& source, DISPPARAMS** result)
    {
        *result = const_cast<DISPPARAMS*>(&source);
        bool byReference = false;
        for (UINT i = 0; i < source.cArgs && source.rgvarg; ++i)
            byReference = byReference || (V_VT(&source.rgvarg[i]) & VT_BYREF);
        if (!byReference)
            return S_OK;
        m_values.resize(source.cArgs);
        for (UINT i = 0; i < source.cArgs; ++i) {
            VariantInit(&m_values[i]);
            const HRESULT hr = (V_VT(&source.rgvarg[i]) & VT_BYREF) ? VariantCopyInd(&m_values[i], &source.rgvarg[i])
                                                                     : VariantCopy(&m_values[i], &source.rgvarg[i]);
            if (FAILED(hr))
                return hr;
        }
        m_params = source;
        m_params.rgvarg = m_values.data();
        *result = &m_params;
        return S_OK;
    }

private:
    std::vector<VARIANTARG> m_values;
    DISPPARAMS m_params{};
};

}  // namespace

HRESULT CComTypeInfoHolder::Load(ITypeInfo** info) noexcept
{
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(*m_plibid, m_major, m_minor, 0, &library);
    // An unregistered but loaded module still describes itself (as ATL falls back).
    if (FAILED(hr))
        hr = LoadFromOwnModule(&library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(*m_piid, info);
    library->Release();
    return hr;
}

HRESULT CComTypeInfoHolder::GetTI(ITypeInfo** info) noexcept
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_info) {
        ITypeInfo* loaded = nullptr;
        if (const HRESULT hr = Load(&loaded); FAILED(hr))
            return hr;
        m_info = loaded;
        std::lock_guard<std::mutex> list(g_loadedLock);
        m_next = g_loaded;
        g_loaded = this;
    }
    m_info->AddRef();
    *info = m_info;
    return S_OK;
}

void CComTypeInfoHolder::ReleaseAll() noexcept
{
    std::lock_guard<std::mutex> list(g_loadedLock);
    while (CComTypeInfoHolder* holder = g_loaded) {
        g_loaded = holder->m_next;
        std::lock_guard<std::mutex> guard(holder->m_lock);
        holder->m_next = nullptr;
        if (ITypeInfo* info = holder->m_info) {
            holder->m_info = nullptr;
            info->Release();
        }
    }
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    if (const HRESULT hr = GetTI(&info); FAILED(hr))
        return hr;
    const HRESULT hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
}

HRESULT CComTypeInfoHolder::Invoke(void* instance, DISPID member, REFIID riid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    // No parameters are no arguments: some script engines pass none for a call without any
    // (Wine's JScript, for the enumerator of an Enumerator).
    DISPPARAMS noArguments{nullptr, nullptr, 0, 0};
    if (!params)
        params = &noArguments;
    ITypeInfo* info = nullptr;
    if (HRESULT hr = GetTI(&info); FAILED(hr))
        return hr;
    HRESULT hr = E_OUTOFMEMORY;
    try {
        CDereferencedArguments arguments;
        DISPPARAMS* passed = nullptr;
        hr = arguments.From(*params, &passed);
        if (SUCCEEDED(hr)) {
            hr = info->Invoke(instance, member, flags, passed, result, exception, argError);
            // VBScript's "Set x.P = v": a property without its own put-ref takes it as the put.
            if (hr == DISP_E_MEMBERNOTFOUND && (flags & DISPATCH_PROPERTYPUTREF)) {
                const WORD put = static_cast<WORD>((flags & ~DISPATCH_PROPERTYPUTREF) | DISPATCH_PROPERTYPUT);
                hr = info->Invoke(instance, member, put, passed, result, exception, argError);
            }
            // A property read called as a method: Wine's JScript asks so for an Enumerator's
            // _NewEnum, and "x.P()" reads the same.
            if (hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_METHOD)
                hr = info->Invoke(instance, member, DISPATCH_PROPERTYGET, passed, result, exception, argError);
        }
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    info->Release();
    return hr;
}
