// Feeds arbitrary text to the error-document parser, and what it parsed through the writer,
// the description and the parser again.
#include <cstddef>
#include <cstdint>

#include <windows.h>

#include "FuzzText.h"

#include "ZoException.h"
#include "ZoNode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const OleString text = WidenUtf8(reinterpret_cast<const char*>(data), size);

    CZoException::IsErrorDocument(text.c_str());

    CZoException parsed(OLESTR(""), 0, OLESTR(""), 0, OLESTR(""));
    parsed.LoadErrorDocument(text.c_str());
    const OleString written = parsed.GetXML();
    parsed.GetDescription();

    CZoException reparsed(OLESTR(""), 0, OLESTR(""), 0, OLESTR(""));
    reparsed.LoadErrorDocument(written.c_str());
    reparsed.GetXML();
    return 0;
}
