// LoadTypeLib, LoadTypeLibEx and LoadRegTypeLib: a module's type library resource, found by
// path or through its registration.
#include <windows.h>
#include <oleauto.h>

#include <cstdlib>

#include "oleaut32/TypeLibKeys.h"
#include "oleaut32/TypeLibRegistryKey.h"
#include "oleaut32/TypeLibrary.h"

using namespace lumo::platform;

namespace {

// The module stays loaded, by the library's own reference, while the library lives. Unlike
// Windows, which maps the file as data, the module is loaded as code (DllMain runs): its
// description and call stubs are code and data of the module.
HRESULT LoadFromModule(LPCOLESTR path, ITypeLib** library)
{
    HMODULE module = LoadLibraryW(path);
    if (!module)
        return TYPE_E_CANTLOADLIBRARY;
    const LUMO_TYPELIB_DESC* description = nullptr;
    if (const HRESULT hr = DescriptionOfModule(module, &description); FAILED(hr)) {
        FreeLibrary(module);
        return hr;
    }
    *library = TypeLibrary::Create(*description, module);
    return S_OK;
}

// The registered version that is exactly major.minor, else the one of that major version
// with the highest minor above `minor`.
std::optional<WideString> BestVersion(const TypeLibRegistryKey& library, WORD major, WORD minor)
{
    std::optional<WideString> best;
    unsigned long bestMinor = 0;
    for (const WideString& name : library.SubkeyNames()) {
        const std::string text = ToUtf8(name);
        char* end = nullptr;
        const unsigned long foundMajor = std::strtoul(text.c_str(), &end, 16);
        if (end == text.c_str() || *end != '.')
            continue;
        const char* minorText = end + 1;
        const unsigned long foundMinor = std::strtoul(minorText, &end, 16);
        if (end == minorText || *end != '\0' || foundMajor != major || foundMinor < minor)
            continue;
        if (foundMinor == minor)
            return name;
        if (!best || foundMinor > bestMinor) {
            best = name;
            bestMinor = foundMinor;
        }
    }
    return best;
}

std::optional<WideString> RegisteredPath(const WideString& versionKey, LCID lcid)
{
    // The locale as asked, then its primary language, then the neutral one, as Windows looks.
    const unsigned candidates[] = {lcid, lcid & 0x3FF, 0};
    for (unsigned candidate : candidates) {
        for (SYSKIND kind : {kNativeSysKind, SYS_WIN32}) {
            const auto key = TypeLibRegistryKey::Open(versionKey + u"\\" + HexText(candidate) + u"\\" +
                                                      SysKindKeyText(kind));
            if (key)
                if (auto path = key->Text(); path && !path->empty())
                    return path;
        }
    }
    return std::nullopt;
}

}  // namespace

HRESULT WINAPI LoadTypeLibEx(LPCOLESTR szFile, REGKIND regkind, ITypeLib** pptlib)
{
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    if (!szFile || !*szFile)
        return E_INVALIDARG;
    try {
        ITypeLib* library = nullptr;
        if (const HRESULT hr = LoadFromModule(szFile, &library); FAILED(hr))
            return hr;
        if (regkind == REGKIND_REGISTER) {
            if (const HRESULT hr = RegisterTypeLib(library, szFile, nullptr); FAILED(hr)) {
                library->Release();
                return hr;
            }
        }
        *pptlib = library;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib)
{
    // A module's library is registered by its server (DllRegisterServer), not by loading it.
    return LoadTypeLibEx(szFile, REGKIND_NONE, pptlib);
}

HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib)
{
    if (!pptlib)
        return E_INVALIDARG;
    *pptlib = nullptr;
    try {
        const auto library = TypeLibRegistryKey::Open(u"TypeLib\\" + GuidKeyText(rguid));
        if (!library)
            return TYPE_E_LIBNOTREGISTERED;
        const auto version = BestVersion(*library, wVerMajor, wVerMinor);
        if (!version)
            return TYPE_E_LIBNOTREGISTERED;
        const auto path = RegisteredPath(u"TypeLib\\" + GuidKeyText(rguid) + u"\\" + *version, lcid);
        if (!path)
            return TYPE_E_LIBNOTREGISTERED;
        return LoadTypeLibEx(path->c_str(), REGKIND_NONE, pptlib);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
