// The registry functions of advapi32 over the database of the stand-in.
//
// Each predefined root (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
// HKEY_USERS, HKEY_CURRENT_CONFIG) is a tree of its own: HKEY_CLASSES_ROOT is not merged
// from the Software\Classes keys of the other roots. There is one registry view
// (KEY_WOW64_* are accepted and ignored), no security descriptors (every key allows every
// access; a handle allows what it was opened with), and volatile keys persist.
#include <windows.h>

#include <cstring>

#include "advapi32/KeyHandles.h"
#include "advapi32/KeyNames.h"
#include "advapi32/RegistryDatabase.h"
#include "advapi32/RegistryFiles.h"

using namespace lumo::platform;
using namespace lumo::platform::registry;

namespace {

constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;

REGSAM GrantedAccess(REGSAM desired)
{
    REGSAM granted = desired & ~(KEY_WOW64_RES | MAXIMUM_ALLOWED | kGenericRead | kGenericWrite | kGenericExecute |
                                 kGenericAll);
    if (desired & (MAXIMUM_ALLOWED | kGenericAll))
        granted |= KEY_ALL_ACCESS;
    if (desired & kGenericRead)
        granted |= KEY_READ;
    if (desired & kGenericWrite)
        granted |= KEY_WRITE;
    if (desired & kGenericExecute)
        granted |= KEY_EXECUTE;
    return granted;
}

bool Allows(const OpenKey& key, REGSAM needed)
{
    return (key.access & needed) == needed;
}

// The root id of a predefined key; 0 for every other value.
KeyId PredefinedRoot(HKEY handle)
{
    if (handle == HKEY_CLASSES_ROOT)
        return kClassesRootId;
    if (handle == HKEY_CURRENT_USER)
        return kCurrentUserId;
    if (handle == HKEY_LOCAL_MACHINE)
        return kLocalMachineId;
    if (handle == HKEY_USERS)
        return kUsersId;
    if (handle == HKEY_CURRENT_CONFIG)
        return kCurrentConfigId;
    return 0;
}

// The predefined keys the stand-in has no data for (performance data, dynamic data).
bool IsUnsupportedPredefined(HKEY handle)
{
    return handle == HKEY_PERFORMANCE_DATA || handle == HKEY_DYN_DATA;
}

LSTATUS Resolve(HKEY handle, OpenKey& key)
{
    if (const KeyId root = PredefinedRoot(handle)) {
        key.key = root;
        key.access = KEY_ALL_ACCESS;
        return CurrentRegistryDatabase(key.database);
    }
    return KeyHandles::Instance().Find(handle, key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The size protocol of RegQueryValueExW and RegEnumValueW. Data comes back exactly as
// stored, with the stored size. A string stored without its terminating NUL gets one
// after the data when the buffer has room for it (not counted in the size), so that a
// careless reader stops at the end; Windows guarantees no terminator here either way.
LSTATUS CopyData(const StoredValue& value, LPBYTE buffer, LPDWORD size)
{
    const auto needed = static_cast<DWORD>(value.data.size());
    if (!size)
        return ERROR_SUCCESS;
    if (!buffer) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(buffer, value.data.data(), needed);
    const bool terminated = needed >= 2 && value.data[needed - 1] == 0 && value.data[needed - 2] == 0;
    if (IsStringType(value.type) && needed % 2 == 0 && !terminated && *size - needed >= sizeof(WCHAR)) {
        buffer[needed] = 0;
        buffer[needed + 1] = 0;
    }
    *size = needed;
    return ERROR_SUCCESS;
}

// A name into a buffer of '*length' characters that must hold it and its NUL. On success
// '*length' is the name's length; when the buffer is short it is left as it was, as on
// Windows (RegQueryInfoKeyW tells the longest name).
LSTATUS CopyName(WideView name, LPWSTR buffer, LPDWORD length)
{
    if (name.size() >= *length)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
    buffer[name.size()] = 0;
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

void StoreFileTime(uint64_t ticks, PFILETIME time)
{
    if (!time)
        return;
    time->dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    time->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
}

void StoreIfWanted(LPDWORD target, DWORD value)
{
    if (target)
        *target = value;
}

LSTATUS DeleteKey(HKEY hKey, LPCWSTR lpSubKey)
{
    // Deleting does not depend on the access of hKey (the subkey is opened for DELETE, and
    // every key here allows it).
    OpenKey parent;
    if (LSTATUS status = Resolve(hKey, parent); status != ERROR_SUCCESS)
        return status;
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    KeyPath path;
    if (LSTATUS status = ParseKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    return parent.database->DeleteKey(parent.key, path);
}

}  // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    OpenKey parent;
    if (LSTATUS status = Resolve(hKey, parent); status != ERROR_SUCCESS)
        return status;
    KeyPath path;
    if (LSTATUS status = ParseKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    // As documented: an empty subkey of a predefined key gives back the predefined key.
    if (path.empty() && PredefinedRoot(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    OpenKey opened{parent.database, 0, GrantedAccess(samDesired)};
    if (LSTATUS status = parent.database->OpenKey(parent.key, path, opened.key); status != ERROR_SUCCESS)
        return status;
    *phkResult = KeyHandles::Instance().Insert(std::move(opened));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                               REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (dwOptions & ~static_cast<DWORD>(REG_OPTION_VOLATILE))
        return ERROR_INVALID_PARAMETER;
    OpenKey parent;
    if (LSTATUS status = Resolve(hKey, parent); status != ERROR_SUCCESS)
        return status;
    // Creating is checked against the parent key's security, not the handle's access, as
    // documented: a KEY_READ handle may create subkeys.
    KeyPath path;
    if (LSTATUS status = ParseKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
        return status;
    if (path.empty() && PredefinedRoot(hKey)) {
        *phkResult = hKey;
        StoreIfWanted(lpdwDisposition, REG_OPENED_EXISTING_KEY);
        return ERROR_SUCCESS;
    }
    OpenKey created{parent.database, 0, GrantedAccess(samDesired)};
    bool isNew = false;
    if (LSTATUS status = parent.database->CreateKey(parent.key, path, ViewOf(lpClass), created.key, isNew);
        status != ERROR_SUCCESS)
        return status;
    *phkResult = KeyHandles::Instance().Insert(std::move(created));
    StoreIfWanted(lpdwDisposition, isNew ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCloseKey(HKEY hKey)
{
    if (PredefinedRoot(hKey) || IsUnsupportedPredefined(hKey))
        return ERROR_SUCCESS;
    return KeyHandles::Instance().Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    StoredValue value;
    if (LSTATUS status = key.database->QueryValue(key.key, ViewOf(lpValueName), value); status != ERROR_SUCCESS)
        return status;
    StoreIfWanted(lpType, value.type);
    return CopyData(value, lpData, lpcbData);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                              DWORD cbData)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    const WideView name = ViewOf(lpValueName);
    if (name.size() > kMaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    // Windows reports data that cannot be read as ERROR_NOACCESS.
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    if (!Allows(key, KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    const std::string_view data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
    return key.database->SetValue(key.key, name, dwType, data);
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (!Allows(key, KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    return key.database->DeleteValue(key.key, ViewOf(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
    return DeleteKey(hKey, lpSubKey);
}

LSTATUS WINAPI RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved)
{
    return DeleteKey(hKey, lpSubKey);
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (lpSubKey) {
        KeyPath path;
        if (LSTATUS status = ParseKeyPath(lpSubKey, path); status != ERROR_SUCCESS)
            return status;
        return key.database->DeleteTree(key.key, path);
    }
    // The documented rights for emptying hKey itself; KEY_SET_VALUE only when it has values.
    if (!Allows(key, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    return key.database->DeleteContents(key.key, Allows(key, KEY_SET_VALUE));
}

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                             LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_ENUMERATE_SUB_KEYS))
        return ERROR_ACCESS_DENIED;
    SubkeyEntry entry;
    if (LSTATUS status = key.database->EnumKey(key.key, dwIndex, entry); status != ERROR_SUCCESS)
        return status;
    if (entry.name.size() >= *lpcchName || (lpClass && entry.className.size() >= *lpcchClass))
        return ERROR_MORE_DATA;
    CopyName(entry.name, lpName, lpcchName);
    if (lpClass)
        CopyName(entry.className, lpClass, lpcchClass);
    StoreFileTime(entry.lastWriteTime, lpftLastWriteTime);
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    NamedValue entry;
    if (LSTATUS status = key.database->EnumValue(key.key, dwIndex, entry); status != ERROR_SUCCESS)
        return status;
    if (LSTATUS status = CopyName(entry.name, lpValueName, lpcchValueName); status != ERROR_SUCCESS)
        return status;
    StoreIfWanted(lpType, entry.value.type);
    return CopyData(entry.value, lpData, lpcbData);
}

LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime)
{
    OpenKey key;
    if (LSTATUS status = Resolve(hKey, key); status != ERROR_SUCCESS)
        return status;
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    if (!Allows(key, KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    KeyInfo info;
    if (LSTATUS status = key.database->QueryInfo(key.key, info); status != ERROR_SUCCESS)
        return status;
    StoreIfWanted(lpcSubKeys, info.subkeys);
    StoreIfWanted(lpcbMaxSubKeyLen, info.maxSubkeyNameLength);
    StoreIfWanted(lpcbMaxClassLen, info.maxClassLength);
    StoreIfWanted(lpcValues, info.values);
    StoreIfWanted(lpcbMaxValueNameLen, info.maxValueNameLength);
    StoreIfWanted(lpcbMaxValueLen, info.maxValueDataSize);
    StoreIfWanted(lpcbSecurityDescriptor, 0);  // keys here carry no security descriptor
    StoreFileTime(info.lastWriteTime, lpftLastWriteTime);
    // A short class buffer is reported with the class's length, as documented.
    if (lpClass && CopyName(info.className, lpClass, lpcchClass) != ERROR_SUCCESS) {
        *lpcchClass = static_cast<DWORD>(info.className.size());
        return ERROR_MORE_DATA;
    }
    StoreIfWanted(lpcchClass, static_cast<DWORD>(info.className.size()));
    return ERROR_SUCCESS;
}
