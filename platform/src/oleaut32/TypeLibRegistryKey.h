// A registry key of HKEY_CLASSES_ROOT for the type-library functions, closed at scope end.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "common/WideText.h"

namespace lumo::platform {

class TypeLibRegistryKey {
public:
    static std::optional<TypeLibRegistryKey> Open(const WideString& path);
    static std::optional<TypeLibRegistryKey> Create(const WideString& path);
    ~TypeLibRegistryKey();
    TypeLibRegistryKey(TypeLibRegistryKey&& other) noexcept : m_key(other.m_key) { other.m_key = nullptr; }
    TypeLibRegistryKey(const TypeLibRegistryKey&) = delete;
    TypeLibRegistryKey& operator=(const TypeLibRegistryKey&) = delete;

    // A string value; the empty name is the default value.
    std::optional<WideString> Text(const WCHAR* name = nullptr) const;
    LSTATUS SetText(const WCHAR* name, const WideString& value) const;
    std::vector<WideString> SubkeyNames() const;

private:
    explicit TypeLibRegistryKey(HKEY key) noexcept : m_key(key) {}
    HKEY m_key;
};

}  // namespace lumo::platform
