#include "RegistryTree.h"

#include <string>
#include <vector>

namespace {

OleString Decimal(unsigned long value)
{
    const std::string digits = std::to_string(value);
    return OleString(digits.begin(), digits.end());
}

OleString Hex(BYTE value)
{
    const char* digits = "0123456789abcdef";
    return {OLECHAR(digits[value >> 4]), OLECHAR(digits[value & 15])};
}

OleString ValueText(const OLECHAR* name, DWORD nameLength, DWORD type, const std::vector<BYTE>& data)
{
    OleString text = nameLength ? OleString(name, nameLength) : OleString(OLESTR("@"));
    text += OLESTR("=");
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        OleString chars(reinterpret_cast<const OLECHAR*>(data.data()), data.size() / sizeof(OLECHAR));
        while (!chars.empty() && chars.back() == 0)
            chars.pop_back();
        text += type == REG_SZ ? OLESTR("s:") : type == REG_EXPAND_SZ ? OLESTR("e:") : OLESTR("m:");
        for (OLECHAR c : chars)
            text += c ? OleString(1, c) : OleString(OLESTR("\\0"));
        break;
    }
    case REG_DWORD:
        text += OLESTR("d:") + Decimal(data.size() == 4 ? *reinterpret_cast<const DWORD*>(data.data()) : 0u);
        break;
    default:
        text += Decimal(type) + OLESTR(":");
        for (BYTE b : data)
            text += Hex(b);
    }
    return text;
}

void ReadKey(HKEY key, const OleString& path, RegistryTree& tree)
{
    std::set<OleString>& values = tree[path];
    for (DWORD index = 0;; ++index) {
        OLECHAR name[256];
        DWORD nameLength = 256;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size);
        nameLength = 256;
        RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
        values.insert(ValueText(name, nameLength, type, data));
    }
    for (DWORD index = 0;; ++index) {
        OLECHAR name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const OleString child(name, nameLength);
        HKEY subKey = nullptr;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &subKey) == ERROR_SUCCESS) {
            ReadKey(subKey, path.empty() ? child : path + OLESTR("\\") + child, tree);
            RegCloseKey(subKey);
        }
    }
}

}  // namespace

RegistryTree ReadRegistryTree(HKEY root, const OleString& path)
{
    RegistryTree tree;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return tree;
    ReadKey(key, OleString(), tree);
    RegCloseKey(key);
    return tree;
}

bool RegistryKeyExists(HKEY root, const OleString& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

OleString StringValueText(const OLECHAR* name, const OleString& text)
{
    return OleString(name ? name : OLESTR("@")) + OLESTR("=s:") + text;
}
