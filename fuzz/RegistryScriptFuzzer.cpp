// Feeds arbitrary text to the registration-script parser (nothing is applied to a registry)
// and checks what a successful parse promises: key names that are neither empty nor hold a
// backslash, nesting within the limit, and data of the size its type needs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <windows.h>

#include "FuzzText.h"

#include "RegistryScript.h"

namespace {

void Check(bool promise)
{
    if (!promise)
        std::abort();
}

void CheckValue(const RegistryScriptValue& value)
{
    switch (value.type) {
    case REG_SZ:
        Check(value.data.size() >= sizeof(OLECHAR) && value.data.size() % sizeof(OLECHAR) == 0);
        break;
    case REG_MULTI_SZ:
        Check(value.data.size() >= sizeof(OLECHAR) && value.data.size() % sizeof(OLECHAR) == 0);
        break;
    case REG_DWORD:
        Check(value.data.size() == sizeof(DWORD));
        break;
    case REG_BINARY:
        break;
    default:
        Check(false);
    }
}

void CheckBlock(const RegistryScriptBlock& block, int depth)
{
    Check(depth <= kMaxRegistryScriptDepth);
    for (const RegistryScriptValue& value : block.values)
        CheckValue(value);
    for (const RegistryScriptKey& key : block.keys) {
        Check(!key.name.empty() && key.name.find(OLESTR('\\')) == OleString::npos);
        if (key.defaultValue)
            CheckValue(*key.defaultValue);
        CheckBlock(key.block, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const OleString text = WidenUtf8(reinterpret_cast<const char*>(data), size);

    static const RegistryReplacements replacements = {
        {OLESTR("Module"), OLESTR("C:\\Program Files\\It''s\\LumoItems.dll")},
        {OLESTR("Module_Raw"), OLESTR("C:\\Program Files\\It''s\\LumoItems.dll")},
        {OLESTR("APPID"), OLESTR("{3704EC91-E69F-45E3-89DC-D828D1F5C5B3}")},
        {OLESTR("Nested"), OLESTR("A { B { C")},
    };
    RegistryScript parsed;
    if (SUCCEEDED(ParseRegistryScript(text, replacements, parsed))) {
        for (const RegistryScriptRoot& root : parsed.roots)
            CheckBlock(root.block, 1);
    }
    return 0;
}
