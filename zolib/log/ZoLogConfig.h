// The logging configuration of one product, read per user from the registry under
// HKEY_CURRENT_USER\Software\Tavrin\Logging\<product name>.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoLogConfig {
public:
    // Product name and version as given, the other fields at their defaults.
    CZoLogConfig(OleStringView productName, OleStringView productVersion) noexcept;
    CZoLogConfig(const CZoLogConfig& other) noexcept;
    CZoLogConfig& operator=(const CZoLogConfig& other) noexcept;

    // "EventLogLevel" (number, default 2), "FileLogLevel" (number, default 0), "File" (text,
    // environment variables expanded into at most 520 characters, default empty) and
    // "FileMaxSize" (number, default 0x100000). A missing key or value, or one of the wrong
    // type, gives the default. Never throws: a failure goes to the debugger output and leaves
    // the fields read so far.
    void ReadConfig() noexcept;

    OleString productName;
    OleString productVersion;
    int eventLogLevel;
    int fileLogLevel;
    OleString logFilePath;
    // In bytes.
    ULONG maxFileSize;
};
