// RegisterTypeLib and UnRegisterTypeLib: the TypeLib and Interface keys Windows writes.
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <new>

#include "oleaut32/TypeLibKeys.h"
#include "oleaut32/TypeLibRegistryKey.h"

using namespace lumo::platform;

namespace {

// The automation marshaler, the proxy of every dual and oleautomation interface.
constexpr const char16_t* kAutomationMarshaler = u"{00020424-0000-0000-C000-000000000046}";

HRESULT FromStatus(LSTATUS status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

HRESULT SetDefault(const WideString& path, const WideString& value, const WCHAR* name = nullptr)
{
    const auto key = TypeLibRegistryKey::Create(path);
    if (!key)
        return TYPE_E_REGISTRYACCESS;
    return FromStatus(key->SetText(name, value)) == S_OK ? S_OK : TYPE_E_REGISTRYACCESS;
}

struct TypeAttrDeleter {
    ITypeInfo* info;
    void operator()(TYPEATTR* attributes) const { info->ReleaseTypeAttr(attributes); }
};

// Calls visit(iid, name) for each interface that the automation marshaler serves.
template <class Visit>
HRESULT ForEachAutomationInterface(ITypeLib* library, Visit&& visit)
{
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        ITypeInfo* info = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info)))
            continue;
        TYPEATTR* raw = nullptr;
        HRESULT hr = info->GetTypeAttr(&raw);
        if (SUCCEEDED(hr)) {
            std::unique_ptr<TYPEATTR, TypeAttrDeleter> attributes(raw, TypeAttrDeleter{info});
            const bool automation = attributes->typekind == TKIND_DISPATCH ||
                                    (attributes->typekind == TKIND_INTERFACE &&
                                     (attributes->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)));
            if (automation) {
                BSTR name = nullptr;
                info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
                hr = visit(attributes->guid, name ? WideString(name, SysStringLen(name)) : WideString());
                SysFreeString(name);
            }
        }
        info->Release();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

bool HasSubkeys(const WideString& path)
{
    const auto key = TypeLibRegistryKey::Open(path);
    return key && !key->SubkeyNames().empty();
}

// The version key keeps FLAGS and HELPDIR beside its locale keys; it goes with the last locale.
bool HasLocaleKeys(const WideString& versionKey)
{
    const auto key = TypeLibRegistryKey::Open(versionKey);
    if (!key)
        return false;
    for (const WideString& name : key->SubkeyNames())
        if (!EqualsIgnoreAsciiCase(name, u"FLAGS") && !EqualsIgnoreAsciiCase(name, u"HELPDIR"))
            return true;
    return false;
}

}  // namespace

HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath, LPCOLESTR szHelpDir)
{
    if (!ptlib || !szFullPath)
        return E_INVALIDARG;
    try {
        TLIBATTR* attributes = nullptr;
        if (const HRESULT hr = ptlib->GetLibAttr(&attributes); FAILED(hr))
            return hr;
        const TLIBATTR library = *attributes;
        ptlib->ReleaseTLibAttr(attributes);
        BSTR name = nullptr;
        BSTR doc = nullptr;
        ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
        const WideString title = doc ? WideString(doc, SysStringLen(doc))
                                     : name ? WideString(name, SysStringLen(name)) : WideString();
        SysFreeString(name);
        SysFreeString(doc);

        const WideString versionKey = LibraryVersionKey(library.guid, library.wMajorVerNum, library.wMinorVerNum);
        HRESULT hr = SetDefault(versionKey, title);
        if (SUCCEEDED(hr))
            hr = SetDefault(versionKey + u"\\FLAGS", FromUtf8(std::to_string(library.wLibFlags)));
        if (SUCCEEDED(hr) && szHelpDir)
            hr = SetDefault(versionKey + u"\\HELPDIR", WideString(ViewOf(szHelpDir)));
        if (SUCCEEDED(hr))
            hr = SetDefault(versionKey + u"\\" + HexText(library.lcid) + u"\\" + SysKindKeyText(library.syskind),
                            WideString(ViewOf(szFullPath)));
        if (FAILED(hr))
            return hr;

        const WideString libid = GuidKeyText(library.guid);
        const WideString version = HexText(library.wMajorVerNum) + u"." + HexText(library.wMinorVerNum);
        return ForEachAutomationInterface(ptlib, [&](REFGUID iid, const WideString& interfaceName) {
            const WideString key = u"Interface\\" + GuidKeyText(iid);
            HRESULT written = SetDefault(key, interfaceName);
            if (SUCCEEDED(written))
                written = SetDefault(key + u"\\ProxyStubClsid", kAutomationMarshaler);
            if (SUCCEEDED(written))
                written = SetDefault(key + u"\\ProxyStubClsid32", kAutomationMarshaler);
            if (SUCCEEDED(written))
                written = SetDefault(key + u"\\TypeLib", libid);
            if (SUCCEEDED(written))
                written = SetDefault(key + u"\\TypeLib", version, u"Version");
            return written;
        });
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind)
{
    try {
        const WideString platform = SysKindKeyText(syskind);
        if (platform.empty())
            return E_INVALIDARG;
        const WideString versionKey = LibraryVersionKey(libID, wVerMajor, wVerMinor);
        const WideString localeKey = versionKey + u"\\" + HexText(lcid);
        const WideString platformKey = localeKey + u"\\" + platform;
        std::optional<WideString> path;
        if (const auto key = TypeLibRegistryKey::Open(platformKey))
            path = key->Text();
        if (!path)
            return TYPE_E_REGISTRYACCESS;

        // The interface keys are those of the registered library's interfaces that still name it.
        ITypeLib* library = nullptr;
        if (SUCCEEDED(LoadTypeLibEx(path->c_str(), REGKIND_NONE, &library))) {
            const WideString libid = GuidKeyText(libID);
            ForEachAutomationInterface(library, [&](REFGUID iid, const WideString&) {
                const WideString key = u"Interface\\" + GuidKeyText(iid);
                const auto typeLib = TypeLibRegistryKey::Open(key + u"\\TypeLib");
                const auto owner = typeLib ? typeLib->Text() : std::nullopt;
                if (owner && EqualsIgnoreAsciiCase(*owner, libid))
                    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
                return S_OK;
            });
            library->Release();
        }

        RegDeleteTreeW(HKEY_CLASSES_ROOT, platformKey.c_str());
        if (!HasSubkeys(localeKey))
            RegDeleteTreeW(HKEY_CLASSES_ROOT, localeKey.c_str());
        if (!HasLocaleKeys(versionKey))
            RegDeleteTreeW(HKEY_CLASSES_ROOT, versionKey.c_str());
        const WideString libraryKey = u"TypeLib\\" + GuidKeyText(libID);
        if (!HasSubkeys(libraryKey))
            RegDeleteTreeW(HKEY_CLASSES_ROOT, libraryKey.c_str());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
