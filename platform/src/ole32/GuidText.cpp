#include "ole32/GuidText.h"

#include <algorithm>
#include <iterator>
#include <random>

#include <objbase.h>

#include "ole32/TaskMemoryText.h"

namespace lumo::platform {
namespace {

// Where "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" has its dashes.
constexpr size_t kDashPositions[] = {9, 14, 19, 24};

bool IsDashPosition(size_t i) noexcept
{
    for (size_t dash : kDashPositions)
        if (i == dash)
            return true;
    return false;
}

int HexValue(WCHAR c) noexcept
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// Data1..Data3 are written as numbers, most significant digit first; Data4 byte by byte.
void GuidBytesInTextOrder(REFGUID guid, uint8_t bytes[16]) noexcept
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(guid.Data1 >> (24 - 8 * i));
    bytes[4] = static_cast<uint8_t>(guid.Data2 >> 8);
    bytes[5] = static_cast<uint8_t>(guid.Data2);
    bytes[6] = static_cast<uint8_t>(guid.Data3 >> 8);
    bytes[7] = static_cast<uint8_t>(guid.Data3);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = guid.Data4[i];
}

GUID GuidFromBytesInTextOrder(const uint8_t bytes[16]) noexcept
{
    GUID guid{};
    guid.Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
    guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return guid;
}

}  // namespace

GuidText FormatGuid(REFGUID guid) noexcept
{
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    uint8_t bytes[16];
    GuidBytesInTextOrder(guid, bytes);
    GuidText text;
    text.chars[0] = u'{';
    size_t byte = 0;
    for (size_t i = 1; i < kGuidTextLength - 1;) {
        if (IsDashPosition(i)) {
            text.chars[i++] = u'-';
            continue;
        }
        text.chars[i++] = kDigits[bytes[byte] >> 4];
        text.chars[i++] = kDigits[bytes[byte] & 0xF];
        ++byte;
    }
    text.chars[kGuidTextLength - 1] = u'}';
    text.chars[kGuidTextLength] = 0;
    return text;
}

std::optional<GUID> ParseBracedGuid(WideView text) noexcept
{
    if (text.size() != kGuidTextLength || text.front() != u'{' || text.back() != u'}')
        return std::nullopt;
    uint8_t bytes[16];
    size_t byte = 0;
    for (size_t i = 1; i < kGuidTextLength - 1;) {
        if (IsDashPosition(i)) {
            if (text[i] != u'-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int high = HexValue(text[i]);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[byte++] = static_cast<uint8_t>((high << 4) | low);
        i += 2;
    }
    return GuidFromBytesInTextOrder(bytes);
}

}  // namespace lumo::platform

namespace {

HRESULT GuidToTaskMemoryText(REFGUID guid, LPOLESTR* text)
{
    if (!text)
        return E_INVALIDARG;
    *text = lumo::platform::CopyToTaskMemory(lumo::platform::FormatGuid(guid).View());
    return *text ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

WINOLEAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz)
{
    return GuidToTaskMemoryText(rclsid, lplpsz);
}

WINOLEAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz)
{
    return GuidToTaskMemoryText(rclsid, lplpsz);
}

WINOLEAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    using lumo::platform::kGuidTextLength;
    if (!lpsz || cchMax < static_cast<int>(kGuidTextLength + 1))
        return 0;
    const auto text = lumo::platform::FormatGuid(rguid);
    std::copy(std::begin(text.chars), std::end(text.chars), lpsz);
    return static_cast<int>(kGuidTextLength + 1);
}

// A text that does not start with a brace is a program id, as on Windows; a braced text that
// is not a well-formed GUID is not looked up.
WINOLEAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid)
{
    if (!pclsid)
        return E_INVALIDARG;
    *pclsid = CLSID_NULL;
    if (!lpsz)
        return S_OK;
    const auto text = lumo::platform::ViewOf(lpsz);
    if (text.empty() || text.front() != u'{')
        return CLSIDFromProgID(lpsz, pclsid);
    const auto guid = lumo::platform::ParseBracedGuid(text);
    if (!guid)
        return CO_E_CLASSSTRING;
    *pclsid = *guid;
    return S_OK;
}

WINOLEAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid)
{
    if (!lpiid)
        return E_INVALIDARG;
    *lpiid = IID_NULL;
    if (!lpsz)
        return S_OK;
    const auto guid = lumo::platform::ParseBracedGuid(lumo::platform::ViewOf(lpsz));
    if (!guid)
        return E_INVALIDARG;
    *lpiid = *guid;
    return S_OK;
}

// A random (version 4, RFC 4122 variant) GUID from the system's entropy source.
WINOLEAPI CoCreateGuid(GUID* pguid)
{
    if (!pguid)
        return E_INVALIDARG;
    uint8_t bytes[16];
    try {
        thread_local std::random_device entropy;
        for (size_t i = 0; i < sizeof bytes; i += 4) {
            const auto value = static_cast<uint32_t>(entropy());
            for (size_t k = 0; k < 4; ++k)
                bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
        }
    } catch (...) {
        return E_FAIL;
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);
    *pguid = lumo::platform::GuidFromBytesInTextOrder(bytes);
    return S_OK;
}
