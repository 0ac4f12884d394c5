// The message language of FormatMessageW: inserts %1..%99 with optional printf-style formats
// (%1!d!), the escapes %0 %n %r %t %% %. %! and "% ", and the output line width.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "common/WideText.h"

namespace lumo::platform {

struct MessageOptions {
    bool ignoreInserts = false;
    // 0: line breaks as written; 0xFF (FORMAT_MESSAGE_MAX_WIDTH_MASK): written line breaks
    // become spaces; otherwise also the width at which lines are wrapped.
    unsigned maxWidth = 0;
    // The insert values: an array of pointer-sized values, or the caller's va_list.
    const DWORD_PTR* argumentArray = nullptr;
    va_list* argumentList = nullptr;
};

struct FormattedMessage {
    WideString text;
    DWORD error = ERROR_SUCCESS;  // ERROR_INVALID_PARAMETER for a malformed insert or no arguments
};

FormattedMessage FormatMessageText(WideView message, const MessageOptions& options);

}  // namespace lumo::platform
