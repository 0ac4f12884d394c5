// GUIDs and their registry-style text.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoGUID {
public:
    CZoGUID() = delete;

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case; without the braces when asked.
    static OleString GUIDToString(REFGUID guid, bool noBraces);
    // With or without braces, any case; the empty text is the all-zero GUID.
    static GUID StringToGUID(OleStringView text);
};
