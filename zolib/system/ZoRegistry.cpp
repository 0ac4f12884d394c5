#include "ZoRegistry.h"

#include <vector>

#include "ComError.h"
#include "ZoFrame.h"
#include "ZoString.h"

ZO_SOURCE_FILE(".\\ZoRegistry")

namespace {

constexpr REGSAM kReadRight = 0x20019;   // KEY_READ
constexpr REGSAM kWriteRight = 0x20006;  // KEY_WRITE
constexpr REGSAM k64BitView = 0x0100;    // KEY_WOW64_64KEY

struct RootName {
    const OLECHAR* name;
    HKEY key;
};

bool FindRoot(OleStringView name, HKEY& key)
{
    const RootName roots[] = {
        {OLESTR("HKEY_LOCAL_MACHINE"), HKEY_LOCAL_MACHINE}, {OLESTR("HKEY_CURRENT_USER"), HKEY_CURRENT_USER},
        {OLESTR("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG}, {OLESTR("HKEY_USERS"), HKEY_USERS},
        {OLESTR("HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT},
    };
    for (const RootName& root : roots) {
        if (name == root.name) {
            key = root.key;
            return true;
        }
    }
    return false;
}

class OpenedKey {
public:
    explicit OpenedKey(HKEY key) : m_key(key) {}
    ~OpenedKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key;
};

OleString ValuePath(OleStringView keyPath, OleStringView valueName)
{
    return OleString(keyPath) + OLECHAR('\\') + OleString(valueName);
}

// Raises a failed write of the value from the frame of the setter, whose name it is given,
// at the line of the write.
[[noreturn]] void RaiseWriteFailure(LSTATUS status, OleStringView keyPath, OleStringView valueName, int line,
                                    const OLECHAR* zoFunctionName)
{
    CZoException error = ZoSystemErrorException(static_cast<DWORD>(status), zoSourceFile, line, zoFunctionName);
    error.AddError(ZO_ERR_WRITE_REGISTRY_VALUE, zoSourceFile, line, zoFunctionName);
    error.AddInfo(OLESTR("Registry key"), ValuePath(keyPath, valueName));
    throw error;
}

// The text of a REG_SZ or REG_EXPAND_SZ value up to its first NUL.
LSTATUS ReadText(HKEY key, const OleString& name, OleString& text)
{
    // Another writer may change the value between the size and the read.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ERROR_INVALID_DATA;
        std::vector<OLECHAR> data(size / sizeof(OLECHAR) + 1);
        DWORD read = static_cast<DWORD>(data.size() * sizeof(OLECHAR));
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return status;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return ERROR_INVALID_DATA;
        if (read == 0) {
            text.clear();
            return ERROR_SUCCESS;
        }
        const DWORD count = read / sizeof(OLECHAR);
        if (read % sizeof(OLECHAR) != 0 || data[count - 1] != 0)
            return ERROR_INVALID_DATA;
        text = OleString(ViewOfOleText(data.data()));
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LSTATUS ReadNumber(HKEY key, const OleString& name, DWORD& value)
{
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    const LSTATUS status = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (status == ERROR_MORE_DATA)
        return ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_DWORD || size != sizeof data)
        return ERROR_INVALID_DATA;
    value = data;
    return ERROR_SUCCESS;
}

}  // namespace

HKEY CZoRegistry::RegOpenRegKey(OleStringView keyPath, bool failIfMissing, bool write, bool create, bool use64BitView)
{
    ZO_FUNCTION(OLESTR("CZoRegistry::RegOpenRegKey"))
    {
        const std::vector<OleString> tokens = CZoStringHelper::TokenizeString(keyPath, OLESTR("\\"));
        HKEY current = nullptr;
        if (tokens.empty() || !FindRoot(tokens[0], current))
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        for (size_t i = 1; i < tokens.size(); ++i) {
            REGSAM access = kReadRight | (use64BitView ? k64BitView : 0);
            if (write && i + 1 == tokens.size())
                access |= kWriteRight;
            HKEY next = nullptr;
            const LSTATUS status =
                create ? RegCreateKeyExW(current, tokens[i].c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                         &next, nullptr)
                       : RegOpenKeyExW(current, tokens[i].c_str(), 0, access, &next);
            // Closing a root key does nothing.
            RegCloseKey(current);
            if (status != ERROR_SUCCESS) {
                if (!failIfMissing && !create)
                    return HKEY(nullptr);
                CZoException error = ZO_SYSTEM_EXCEPTION(static_cast<DWORD>(status));
                error.AddError(ZO_ERR_OPEN_REGISTRY_KEY, zoSourceFile, __LINE__, zoFunctionName);
                error.AddInfo(OLESTR("Registry key"), keyPath);
                throw error;
            }
            current = next;
        }
        return current;
    }
    ZO_FUNCTION_END
}

OleString CZoRegistry::GetStringValue(OleStringView keyPath, OleStringView valueName, const OLECHAR* defaultText,
                                      bool use64BitView)
{
    ZO_FUNCTION(OLESTR("CZoRegistry::GetStringValue"))
    {
        try {
            const OpenedKey key(RegOpenRegKey(keyPath, !defaultText, false, false, use64BitView));
            if (!key.Get())
                return OleString(ViewOfOleText(defaultText));
            OleString text;
            const LSTATUS status = ReadText(key.Get(), OleString(valueName), text);
            if (status == ERROR_SUCCESS)
                return text;
            if (defaultText)
                return OleString(defaultText);
            throw ZO_SYSTEM_EXCEPTION(static_cast<DWORD>(status));
        } catch (CZoException& error) {
            if (defaultText)
                return OleString(defaultText);
            error.AddError(ZO_ERR_READ_REGISTRY_VALUE, zoSourceFile, __LINE__, zoFunctionName);
            error.AddInfo(OLESTR("Registry key"), ValuePath(keyPath, valueName));
            error.AddInfo(OLESTR("bUse64bitHive"), use64BitView ? 1 : 0, false);
            throw;
        }
    }
    ZO_FUNCTION_END
}

DWORD CZoRegistry::GetDWORDValue(OleStringView keyPath, OleStringView valueName, DWORD defaultValue,
                                 bool failIfMissing, bool createKey)
{
    ZO_FUNCTION(OLESTR("CZoRegistry::GetDWORDValue"))
    {
        const OpenedKey key(RegOpenRegKey(keyPath, failIfMissing, false, createKey, false));
        if (!key.Get())
            return defaultValue;
        DWORD value = 0;
        const LSTATUS status = ReadNumber(key.Get(), OleString(valueName), value);
        if (status == ERROR_SUCCESS)
            return value;
        if (!failIfMissing)
            return defaultValue;
        CZoException error = ZO_SYSTEM_EXCEPTION(static_cast<DWORD>(status));
        error.AddError(ZO_ERR_READ_REGISTRY_VALUE, zoSourceFile, __LINE__, zoFunctionName);
        error.AddInfo(OLESTR("Registry key"), ValuePath(keyPath, valueName));
        throw error;
    }
    ZO_FUNCTION_END
}

void CZoRegistry::SetValue(OleStringView keyPath, OleStringView valueName, const OLECHAR* text)
{
    ZO_FUNCTION(OLESTR("CZoRegistry::SetValue"))
    {
        const OpenedKey key(RegOpenRegKey(keyPath, true, true, true, false));
        if (!text)
            throw CComError(E_FAIL);
        const OleString name(valueName);
        const OleStringView value = ViewOfOleText(text);
        const auto size = static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR));
        const LSTATUS status =
            RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
        if (status != ERROR_SUCCESS)
            RaiseWriteFailure(status, keyPath, valueName, __LINE__, zoFunctionName);
    }
    ZO_FUNCTION_END
}

void CZoRegistry::SetValue(OleStringView keyPath, OleStringView valueName, DWORD value)
{
    ZO_FUNCTION(OLESTR("CZoRegistry::SetValue"))
    {
        const OpenedKey key(RegOpenRegKey(keyPath, true, true, true, false));
        const OleString name(valueName);
        const LSTATUS status =
            RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        if (status != ERROR_SUCCESS)
            RaiseWriteFailure(status, keyPath, valueName, __LINE__, zoFunctionName);
    }
    ZO_FUNCTION_END
}
