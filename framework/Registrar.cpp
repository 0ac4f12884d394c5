#include "Registrar.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <new>
#include <vector>

#include "ComError.h"

namespace {

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;

const OLECHAR* const kProtectedKeyNames[] = {
    OLESTR("AppID"),     OLESTR("CLSID"),    OLESTR("Component Categories"), OLESTR("FileType"),
    OLESTR("Interface"), OLESTR("Hardware"), OLESTR("Mime"),                 OLESTR("SAM"),
    OLESTR("SECURITY"),  OLESTR("SYSTEM"),   OLESTR("Software"),             OLESTR("TypeLib"),
};

bool IsProtectedKeyName(OleStringView name) noexcept
{
    return std::any_of(std::begin(kProtectedKeyNames), std::end(kProtectedKeyNames),
                       [&](const OLECHAR* protectedName) { return RegistryNamesEqual(protectedName, name); });
}

HRESULT FromStatus(LSTATUS status) noexcept
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

class ScopedKey {
public:
    ScopedKey() noexcept = default;
    ~ScopedKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    HKEY* Receive() noexcept { return &m_key; }
    HKEY Get() const noexcept { return m_key; }

private:
    HKEY m_key = nullptr;
};

HRESULT SetValue(HKEY key, const RegistryScriptValue& value) noexcept
{
    return FromStatus(RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                                     value.data.data(), static_cast<DWORD>(value.data.size())));
}

HRESULT DeleteTreeIfPresent(HKEY parent, const OleString& name) noexcept
{
    const LSTATUS status = RegDeleteTreeW(parent, name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

LSTATUS EnumValueName(HKEY key, DWORD index, LPWSTR name, DWORD* length) noexcept
{
    return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}

LSTATUS EnumSubkeyName(HKEY key, DWORD index, LPWSTR name, DWORD* length) noexcept
{
    return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}

using EnumName = LSTATUS (*)(HKEY, DWORD, LPWSTR, DWORD*) noexcept;

// The names of a key's values or subkeys (at most 'capacity' characters each), read before
// any of them is deleted.
HRESULT CollectNames(HKEY key, EnumName enumName, DWORD capacity, std::vector<OleString>& names) noexcept
{
    try {
        OleString buffer(capacity, OLECHAR('\0'));
        for (DWORD index = 0;; ++index) {
            DWORD length = capacity;
            const LSTATUS status = enumName(key, index, buffer.data(), &length);
            if (status == ERROR_NO_MORE_ITEMS)
                return S_OK;
            if (status != ERROR_SUCCESS)
                return FromStatus(status);
            names.emplace_back(buffer.data(), length);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool NamesValue(const RegistryScriptKey& key, OleStringView name) noexcept
{
    if (name.empty() && key.defaultValue)
        return true;
    return std::any_of(key.block.values.begin(), key.block.values.end(),
                       [&](const RegistryScriptValue& value) { return RegistryNamesEqual(value.name, name); });
}

bool NamesSubkey(const RegistryScriptKey& key, OleStringView name) noexcept
{
    return std::any_of(key.block.keys.begin(), key.block.keys.end(), [&](const RegistryScriptKey& subkey) {
        return subkey.marker != RegistryKeyMarker::Delete && RegistryNamesEqual(subkey.name, name);
    });
}

// Deletes what a key holds beyond its script: the key ends as deleting and writing it afresh
// would leave it, but it is never missing on the way, so that readers (a client creating an
// object while the module registers again) always find it.
HRESULT RemoveWhatTheScriptLacks(HKEY opened, const RegistryScriptKey& key) noexcept
{
    std::vector<OleString> values;
    std::vector<OleString> subkeys;
    if (const HRESULT hr = CollectNames(opened, EnumValueName, 16384, values); FAILED(hr))
        return hr;
    if (const HRESULT hr = CollectNames(opened, EnumSubkeyName, 256, subkeys); FAILED(hr))
        return hr;
    for (const OleString& name : values) {
        if (NamesValue(key, name))
            continue;
        const LSTATUS status = RegDeleteValueW(opened, name.empty() ? nullptr : name.c_str());
        if (status != ERROR_FILE_NOT_FOUND) {
            if (const HRESULT hr = FromStatus(status); FAILED(hr))
                return hr;
        }
    }
    for (const OleString& name : subkeys) {
        if (NamesSubkey(key, name))
            continue;
        if (const HRESULT hr = DeleteTreeIfPresent(opened, name); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT RegisterBlock(HKEY key, const RegistryScriptBlock& block, bool replace) noexcept;

// 'replace': the key is in the tree of a ForceRemove key, and ends holding only its script.
HRESULT RegisterKey(HKEY parent, const RegistryScriptKey& key, bool replace) noexcept
{
    const bool mayDelete = !IsProtectedKeyName(key.name);
    if (key.marker == RegistryKeyMarker::Delete)
        return mayDelete ? DeleteTreeIfPresent(parent, key.name) : S_OK;
    replace = replace || (key.marker == RegistryKeyMarker::ForceRemove && mayDelete);
    ScopedKey opened;
    if (const HRESULT hr = FromStatus(RegCreateKeyExW(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                      kKeyAccess, nullptr, opened.Receive(), nullptr));
        FAILED(hr))
        return hr;
    if (key.defaultValue) {
        if (const HRESULT hr = SetValue(opened.Get(), *key.defaultValue); FAILED(hr))
            return hr;
    }
    if (const HRESULT hr = RegisterBlock(opened.Get(), key.block, replace); FAILED(hr))
        return hr;
    return replace ? RemoveWhatTheScriptLacks(opened.Get(), key) : S_OK;
}

HRESULT RegisterBlock(HKEY key, const RegistryScriptBlock& block, bool replace) noexcept
{
    for (const RegistryScriptValue& value : block.values) {
        if (const HRESULT hr = SetValue(key, value); FAILED(hr))
            return hr;
    }
    for (const RegistryScriptKey& subkey : block.keys) {
        if (const HRESULT hr = RegisterKey(key, subkey, replace); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT UnregisterBlock(HKEY key, const RegistryScriptBlock& block) noexcept;

HRESULT UnregisterKey(HKEY parent, const RegistryScriptKey& key) noexcept
{
    DWORD subkeys = 0;
    {
        ScopedKey opened;
        const LSTATUS status = RegOpenKeyExW(parent, key.name.c_str(), 0, kKeyAccess, opened.Receive());
        if (status == ERROR_FILE_NOT_FOUND)
            return S_OK;
        if (const HRESULT hr = FromStatus(status); FAILED(hr))
            return hr;
        if (const HRESULT hr = UnregisterBlock(opened.Get(), key.block); FAILED(hr))
            return hr;
        if (const HRESULT hr = FromStatus(RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
            FAILED(hr))
            return hr;
    }
    if (key.marker == RegistryKeyMarker::NoRemove || subkeys != 0)
        return S_OK;
    const LSTATUS status = RegDeleteKeyW(parent, key.name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT UnregisterBlock(HKEY key, const RegistryScriptBlock& block) noexcept
{
    for (const RegistryScriptValue& value : block.values) {
        const LSTATUS status = RegDeleteValueW(key, value.name.empty() ? nullptr : value.name.c_str());
        if (status != ERROR_FILE_NOT_FOUND) {
            if (const HRESULT hr = FromStatus(status); FAILED(hr))
                return hr;
        }
    }
    for (const RegistryScriptKey& subkey : block.keys) {
        if (const HRESULT hr = UnregisterKey(key, subkey); FAILED(hr))
            return hr;
    }
    return S_OK;
}

// The resource's bytes as text: UTF-16LE after an FF FE mark, otherwise the ANSI code page.
HRESULT ResourceText(HINSTANCE module, UINT id, LPCOLESTR type, OleString& text)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (!found)
        return AtlHresultFromLastError();
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return AtlHresultFromLastError();
    const DWORD size = SizeofResource(module, found);
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        if (size % 2 != 0)
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        text.resize((size - 2) / 2);
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<OLECHAR>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
    } else if (size > 0) {
        if (size > static_cast<DWORD>(INT_MAX))
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        const auto* narrow = reinterpret_cast<const char*>(bytes);
        const int length = MultiByteToWideChar(CP_ACP, 0, narrow, static_cast<int>(size), nullptr, 0);
        if (length <= 0)
            return AtlHresultFromLastError();
        text.resize(static_cast<size_t>(length));
        if (MultiByteToWideChar(CP_ACP, 0, narrow, static_cast<int>(size), text.data(), length) != length)
            return AtlHresultFromLastError();
    }
    if (const size_t end = text.find(OLESTR('\0')); end != OleString::npos)
        text.resize(end);
    return S_OK;
}

}  // namespace

HRESULT CRegObject::AddReplacement(LPCOLESTR name, LPCOLESTR text) noexcept
{
    if (!name || !text || !*name || OleStringView(name).find(OLESTR('%')) != OleStringView::npos)
        return E_INVALIDARG;
    try {
        for (RegistryReplacement& replacement : m_replacements) {
            if (RegistryNamesEqual(replacement.name, name)) {
                replacement.text = text;
                return S_OK;
            }
        }
        m_replacements.push_back({name, text});
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CRegObject::ClearReplacements() noexcept
{
    m_replacements.clear();
    return S_OK;
}

HRESULT CRegObject::StringRegister(LPCOLESTR script) noexcept
{
    return script ? Apply(script, true) : E_INVALIDARG;
}

HRESULT CRegObject::StringUnregister(LPCOLESTR script) noexcept
{
    return script ? Apply(script, false) : E_INVALIDARG;
}

HRESULT CRegObject::ResourceRegister(HINSTANCE module, UINT id, LPCOLESTR type) noexcept
{
    return ApplyResource(module, id, type, true);
}

HRESULT CRegObject::ResourceUnregister(HINSTANCE module, UINT id, LPCOLESTR type) noexcept
{
    return ApplyResource(module, id, type, false);
}

HRESULT CRegObject::Apply(OleStringView script, bool doRegister) noexcept
{
    RegistryScript parsed;
    if (const HRESULT hr = ParseRegistryScript(script, m_replacements, parsed); FAILED(hr))
        return hr;
    for (const RegistryScriptRoot& root : parsed.roots) {
        const HRESULT hr = doRegister ? RegisterBlock(root.key, root.block, false) : UnregisterBlock(root.key, root.block);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CRegObject::ApplyResource(HINSTANCE module, UINT id, LPCOLESTR type, bool doRegister) noexcept
{
    if (!type)
        return E_INVALIDARG;
    try {
        OleString text;
        if (const HRESULT hr = ResourceText(module, id, type, text); FAILED(hr))
            return hr;
        return Apply(text, doRegister);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
