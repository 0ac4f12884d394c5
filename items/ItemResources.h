// The numbers of the registration scripts that the module carries for its classes, as its
// resource list (server/LumoItems.rc) gives them.
#pragma once

#include <windows.h>

inline constexpr UINT IDR_LUMOITEMS = 101;
inline constexpr UINT IDR_LUMOITEM = 102;
inline constexpr UINT IDR_LUMOENUM = 103;
inline constexpr UINT IDR_LUMOPROPERTY = 104;
inline constexpr UINT IDR_LUMOENUMPROPERTY = 108;
inline constexpr UINT IDR_LUMOENUMVARIANT = 109;
