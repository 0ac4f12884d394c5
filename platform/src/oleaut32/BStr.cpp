// BSTR: a 4-byte byte count stored just before the text, and two zero bytes after it, so the
// text reads as NUL-terminated whatever it holds.
#include "oleaut32/BStr.h"

#include <cstdlib>
#include <cstring>

#include <oleauto.h>

namespace lumo::platform::oleaut32 {

namespace {

// The byte count sits in the last 4 bytes of an 8-byte header, which keeps the text aligned
// to 8 bytes as on Win64.
constexpr size_t kHeaderBytes = 8;
constexpr size_t kTerminatorBytes = 2;
// Header, text and terminator must stay countable in 32 bits, as Windows counts them.
constexpr size_t kMaxByteLength = 0xFFFFFFFFu - kHeaderBytes - kTerminatorBytes - 1;

char* BlockOf(BSTR text) noexcept { return reinterpret_cast<char*>(text) - kHeaderBytes; }

UINT StoredByteLength(BSTR text) noexcept
{
    UINT length;
    std::memcpy(&length, reinterpret_cast<char*>(text) - sizeof(UINT), sizeof length);
    return length;
}

// A new string of byteLength bytes, zero-filled: text, padding and terminator.
BSTR AllocateBytes(size_t byteLength) noexcept
{
    if (byteLength > kMaxByteLength)
        return nullptr;
    // One spare byte so that an odd byte length still ends in a whole zero OLECHAR.
    char* block = static_cast<char*>(std::calloc(1, kHeaderBytes + byteLength + kTerminatorBytes + 1));
    if (!block)
        return nullptr;
    const UINT length = static_cast<UINT>(byteLength);
    std::memcpy(block + kHeaderBytes - sizeof(UINT), &length, sizeof length);
    return reinterpret_cast<BSTR>(block + kHeaderBytes);
}

BSTR AllocateChars(const OLECHAR* text, size_t charCount) noexcept
{
    if (charCount > kMaxByteLength / sizeof(OLECHAR))
        return nullptr;
    BSTR result = AllocateBytes(charCount * sizeof(OLECHAR));
    if (result && text)
        std::memcpy(result, text, charCount * sizeof(OLECHAR));
    return result;
}

size_t TextLength(const OLECHAR* text) noexcept
{
    size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// The characters of 'source' that a reallocation may still read once 'old' is freed: when
// 'source' points into 'old', only up to the end of old's text.
size_t ReadableChars(BSTR old, const OLECHAR* source, size_t wanted) noexcept
{
    if (!old || !source)
        return wanted;
    const OLECHAR* oldEnd = old + SysStringLen(old);
    if (source < old || source > oldEnd)
        return wanted;
    const size_t available = static_cast<size_t>(oldEnd - source);
    return wanted < available ? wanted : available;
}

}  // namespace

HRESULT CopyBstr(BSTR source, BSTR* copy) noexcept
{
    *copy = nullptr;
    if (!source)
        return S_OK;
    *copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
    return *copy ? S_OK : E_OUTOFMEMORY;
}

}  // namespace lumo::platform::oleaut32

using namespace lumo::platform::oleaut32;

WINOLEAUTAPI_(BSTR) SysAllocString(const OLECHAR* psz)
{
    return psz ? AllocateChars(psz, TextLength(psz)) : nullptr;
}

WINOLEAUTAPI_(BSTR) SysAllocStringLen(const OLECHAR* strIn, UINT ui)
{
    return AllocateChars(strIn, ui);
}

WINOLEAUTAPI_(BSTR) SysAllocStringByteLen(LPCSTR psz, UINT len)
{
    BSTR result = AllocateBytes(len);
    if (result && psz)
        std::memcpy(result, psz, len);
    return result;
}

WINOLEAUTAPI_(INT) SysReAllocString(BSTR* pbstr, const OLECHAR* psz)
{
    if (!pbstr)
        return FALSE;
    if (!psz) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        return TRUE;
    }
    return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(TextLength(psz)));
}

WINOLEAUTAPI_(INT) SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len)
{
    if (!pbstr)
        return FALSE;
    // The new string is built before the old one goes, so 'psz' may point into it and a
    // failure leaves the caller's string as it was.
    BSTR fresh = AllocateChars(nullptr, len);
    if (!fresh)
        return FALSE;
    if (psz)
        std::memcpy(fresh, psz, ReadableChars(*pbstr, psz, len) * sizeof(OLECHAR));
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

WINOLEAUTAPI_(void) SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(BlockOf(bstrString));
}

WINOLEAUTAPI_(UINT) SysStringLen(BSTR pbstr)
{
    return pbstr ? StoredByteLength(pbstr) / sizeof(OLECHAR) : 0;
}

WINOLEAUTAPI_(UINT) SysStringByteLen(BSTR bstr)
{
    return bstr ? StoredByteLength(bstr) : 0;
}
