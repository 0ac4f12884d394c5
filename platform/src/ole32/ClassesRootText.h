// Reads the texts the runtime keeps under HKEY_CLASSES_ROOT.
#pragma once

#include <optional>

#include <windows.h>

#include "common/WideText.h"

namespace lumo::platform {

// The value 'name' (null: the default value) of HKEY_CLASSES_ROOT\<subKey> when it is a text
// (REG_SZ, or REG_EXPAND_SZ, expanded); nothing when the key or the value is missing or of
// another type, or when the registry cannot be read: then 'unreadable', where given, receives
// the registry's status (it is left alone otherwise).
std::optional<WideString> ReadClassesRootText(const WideString& subKey, const WCHAR* name = nullptr,
                                              LSTATUS* unreadable = nullptr);

// What a lookup that found nothing answers: the registry's failure when it could not be
// read, 'missing' when the text is not there.
inline HRESULT LookupFailure(LSTATUS unreadable, HRESULT missing)
{
    return unreadable == ERROR_SUCCESS ? missing : HRESULT_FROM_WIN32(static_cast<DWORD>(unreadable));
}

}  // namespace lumo::platform
