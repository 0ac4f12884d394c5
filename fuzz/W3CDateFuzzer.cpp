// Feeds arbitrary text to the W3C date parser and checks what a successful parse promises:
// the date writes to the W3C form, and that text parses back to the same date and writes to
// the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <windows.h>

#include "FuzzText.h"

#include "ZoException.h"
#include "ZoTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    const OleString text = WidenUtf8(reinterpret_cast<const char*>(data), size);

    DATE parsed = 0;
    try {
        parsed = CZoTime::ParseW3CDate(text);
    } catch (const CZoException&) {
        // Fields that scan but make no valid calendar time.
        return 0;
    }
    // Text that doesn't scan gives exactly 0.0; a scanned time always carries the
    // half-millisecond bias, so it is never 0.0.
    if (parsed == 0.0)
        return 0;

    // A date that came from the parser lies within the platform's range: writing it must not fail.
    const OleString written = CZoTime::FormatW3CDate(parsed);
    if (written.size() != 20 || written.back() != OLESTR('Z'))
        std::abort();
    const DATE reparsed = CZoTime::ParseW3CDate(written);
    const OleString rewritten = CZoTime::FormatW3CDate(reparsed);
    if (reparsed != parsed || rewritten != written)
        std::abort();
    return 0;
}
