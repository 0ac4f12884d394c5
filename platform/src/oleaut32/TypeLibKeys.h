// The registry names of a type library's registration, as Windows writes them: versions and
// locale ids in hexadecimal, GUIDs in braces.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "common/WideText.h"

namespace lumo::platform {

// The stand-in registers its libraries under the 64-bit Windows platform key, so that tools
// and tests read the same layout on every target.
inline constexpr SYSKIND kNativeSysKind = SYS_WIN64;

WideString GuidKeyText(REFGUID guid);
WideString HexText(unsigned value);
// "win16", "win32", "mac", "win64"; empty for an unknown kind.
WideString SysKindKeyText(SYSKIND kind);
// TypeLib\{libid}\<major>.<minor>
WideString LibraryVersionKey(REFGUID libid, WORD major, WORD minor);

}  // namespace lumo::platform
