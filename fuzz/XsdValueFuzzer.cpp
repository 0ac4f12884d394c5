// Feeds arbitrary text to CZoVariant::FromXSDString under every type name (the first byte
// picks it), writes what it read with ToXSDString and checks that writing is stable: what
// was written reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <windows.h>

#include "FuzzText.h"

#include "ZoException.h"
#include "ZoVariant.h"

namespace {

const OLECHAR* const kTypeNames[] = {
    OLESTR("integer"),      OLESTR("decimal"),     OLESTR("string"),     OLESTR("boolean"),
    OLESTR("dateTime"),     OLESTR("base64binary"), OLESTR("integerlist"), OLESTR("stringlist"),
    OLESTR("BASE64Binary"), OLESTR("float"),
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    const OLECHAR* typeName = kTypeNames[data[0] % (sizeof(kTypeNames) / sizeof(kTypeNames[0]))];
    const OleString text = WidenUtf8(reinterpret_cast<const char*>(data + 1), size - 1);

    try {
        const CComVariant value = CZoVariant::FromXSDString(text, typeName);
        OleString writtenType;
        const OleString written = CZoVariant::ToXSDString(value, writtenType);
        const CComVariant again = CZoVariant::FromXSDString(written, writtenType);
        OleString rewrittenType;
        const OleString rewritten = CZoVariant::ToXSDString(again, rewrittenType);
        if (rewritten != written || rewrittenType != writtenType)
            std::abort();
    } catch (const CZoException&) {
        // An orderly error: an unknown type name, a date out of range.
    }
    return 0;
}
