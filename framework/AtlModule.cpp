#include "AtlModule.h"

#include <new>

#include "ModulePath.h"
#include "Registrar.h"

CAtlModule* _pAtlModule = nullptr;

CAtlModule::CAtlModule() noexcept
{
    m_bInitFailed = FAILED(m_csModule.Init());
    if (!_pAtlModule)
        _pAtlModule = this;
}

CAtlModule::~CAtlModule()
{
    Term();
    if (_pAtlModule == this)
        _pAtlModule = nullptr;
}

void CAtlModule::Term() noexcept
{
    m_csModule.Term();
}

HRESULT CAtlModule::UpdateRegistryFromResource(UINT id, BOOL doRegister) noexcept
{
    try {
        OleString path;
        if (const HRESULT hr = GetModulePath(m_hInstance, path); FAILED(hr))
            return hr;
        OleString quoted;
        for (OLECHAR c : path) {
            quoted += c;
            if (c == OLESTR('\''))
                quoted += c;
        }
        CRegObject registrar;
        HRESULT hr = registrar.AddReplacement(OLESTR("Module"), quoted.c_str());
        if (SUCCEEDED(hr))
            hr = registrar.AddReplacement(OLESTR("Module_Raw"), quoted.c_str());
        if (SUCCEEDED(hr))
            hr = AddCommonRGSReplacements(registrar);
        if (FAILED(hr))
            return hr;
        return doRegister ? registrar.ResourceRegister(m_hInstance, id, OLESTR("REGISTRY"))
                          : registrar.ResourceUnregister(m_hInstance, id, OLESTR("REGISTRY"));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CAtlModule::AddCommonRGSReplacements(CRegObject&) noexcept
{
    return S_OK;
}

HRESULT AtlRegistryGuidText(REFGUID guid, OleString& text) noexcept
{
    OLECHAR buffer[40];
    const int length = StringFromGUID2(guid, buffer, 40);
    if (length <= 1)
        return E_UNEXPECTED;
    try {
        text.assign(buffer, static_cast<size_t>(length - 1));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT AtlRegistryGuidText(const char* guid, OleString& text) noexcept
{
    if (!guid)
        return E_INVALIDARG;
    OLECHAR wide[40];
    size_t length = 0;
    for (; guid[length]; ++length) {
        if (length + 1 == 40)
            return CO_E_CLASSSTRING;
        wide[length] = static_cast<OLECHAR>(static_cast<unsigned char>(guid[length]));
    }
    wide[length] = OLESTR('\0');
    GUID parsed{};
    if (const HRESULT hr = IIDFromString(wide, &parsed); FAILED(hr))
        return hr;
    return AtlRegistryGuidText(parsed, text);
}
