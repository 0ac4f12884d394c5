// A Windows command line split into arguments by the rules of the C runtime's startup code,
// which a child's main(argc, argv) sees on Windows.
#pragma once

#include <string>
#include <vector>

#include "common/WideText.h"

namespace lumo::platform {

// The program name (the first argument) ends at white space outside quotes; its quotes are
// removed and backslashes are plain characters. In the other arguments 2n backslashes before a
// quote give n backslashes and the quote opens or closes a quoted part, 2n+1 give n and a literal
// quote, other backslashes are plain, and inside a quoted part "" gives a literal quote.
std::vector<WideString> SplitCommandLine(WideView commandLine);

}  // namespace lumo::platform
