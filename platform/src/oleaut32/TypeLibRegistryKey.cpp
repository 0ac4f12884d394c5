#include "oleaut32/TypeLibRegistryKey.h"

namespace lumo::platform {

std::optional<TypeLibRegistryKey> TypeLibRegistryKey::Open(const WideString& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    return TypeLibRegistryKey(key);
}

std::optional<TypeLibRegistryKey> TypeLibRegistryKey::Create(const WideString& path)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return TypeLibRegistryKey(key);
}

TypeLibRegistryKey::~TypeLibRegistryKey()
{
    if (m_key)
        RegCloseKey(m_key);
}

std::optional<WideString> TypeLibRegistryKey::Text(const WCHAR* name) const
{
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(m_key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    WideString text(bytes / sizeof(WCHAR) + 1, u'\0');
    if (RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(WideLength(text.c_str()));
    return text;
}

LSTATUS TypeLibRegistryKey::SetText(const WCHAR* name, const WideString& value) const
{
    return RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

std::vector<WideString> TypeLibRegistryKey::SubkeyNames() const
{
    std::vector<WideString> names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(m_key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace lumo::platform
