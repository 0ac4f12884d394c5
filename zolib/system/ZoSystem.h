// System object names and environment expansion.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoSystem {
public:
    CZoSystem() = delete;

    // A valid name for a kernel object made from any text (a file path, say): letters and digits
    // upper-cased, every other character "_", at most 260 characters (the last ones kept); with
    // global, "Global\" and at most 253 characters after it.
    static OleString MakeKernelObjectName(OleStringView name, bool global);

    // The text with its environment variables expanded; a result longer than maxLength
    // characters (its NUL included) fails with ERROR_INSUFFICIENT_BUFFER.
    static OleString ExpandEnvironment(OleStringView text, DWORD maxLength);
};
