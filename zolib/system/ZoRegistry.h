// Single registry values addressed by one text path: the root key's full name, then the
// subkeys, separated by "\" (HKEY_CURRENT_USER\Software\Tavrin\Logging). Keys are opened one
// level at a time; a missing key or value gives the caller's default where one is given.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoRegistry {
public:
    CZoRegistry() = delete;

    // The key, or null when a step is missing and neither failIfMissing nor create is set. The
    // roots are HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG, HKEY_USERS and
    // HKEY_CLASSES_ROOT, spelt exactly so; any other first part (none included) fails with
    // 1010. write adds the right to write on the last key. The caller closes the key.
    static HKEY RegOpenRegKey(OleStringView keyPath, bool failIfMissing, bool write, bool create, bool use64BitView);

    // Without a default (null) a missing key or value fails; with one, every failure gives it.
    // REG_SZ and REG_EXPAND_SZ values are read, the latter not expanded.
    static OleString GetStringValue(OleStringView keyPath, OleStringView valueName, const OLECHAR* defaultText,
                                    bool use64BitView);
    // A missing key or value, or one that is no REG_DWORD, gives the default unless
    // failIfMissing is set. createKey creates a missing key path.
    static DWORD GetDWORDValue(OleStringView keyPath, OleStringView valueName, DWORD defaultValue, bool failIfMissing,
                               bool createKey);

    // Writes a REG_SZ or a REG_DWORD value, creating the key path as needed. A null text fails
    // with E_FAIL.
    static void SetValue(OleStringView keyPath, OleStringView valueName, const OLECHAR* text);
    static void SetValue(OleStringView keyPath, OleStringView valueName, DWORD value);
};
