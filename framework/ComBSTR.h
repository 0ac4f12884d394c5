// An owning BSTR. Null and empty are different values and stay so through copies; embedded
// NULs are kept. Where a result can carry a status (Append, CopyTo) a failed allocation
// returns E_OUTOFMEMORY; where it cannot (constructors, assignments, Copy, +=) it throws
// CComError(E_OUTOFMEMORY).
#pragma once

#include <cstddef>

#include <windows.h>

#include "OleString.h"

class CComBSTR {
public:
    CComBSTR() noexcept = default;
    CComBSTR(std::nullptr_t) noexcept {}
    // The text up to its first NUL; a null text gives a null string.
    CComBSTR(LPCOLESTR text);
    // length characters of text, NULs included; a null text gives length uninitialised
    // characters, to be written through m_str.
    CComBSTR(UINT length, LPCOLESTR text);
    // The whole view, never null.
    explicit CComBSTR(OleStringView text);
    CComBSTR(const CComBSTR& other);
    CComBSTR(CComBSTR&& other) noexcept;
    ~CComBSTR();

    CComBSTR& operator=(const CComBSTR& other);
    CComBSTR& operator=(CComBSTR&& other) noexcept;
    CComBSTR& operator=(LPCOLESTR text);

    operator BSTR() const noexcept { return m_str; }
    // For out and in/out parameters: the address of the held string, which is not freed.
    BSTR* operator&() noexcept { return &m_str; }
    bool operator!() const noexcept { return !m_str; }

    UINT Length() const noexcept { return SysStringLen(m_str); }
    UINT ByteLength() const noexcept { return SysStringByteLen(m_str); }

    // A new BSTR with the same bytes, owned by the caller; null for a null string.
    BSTR Copy() const;
    HRESULT CopyTo(BSTR* out) const noexcept;
    // Takes over a string the caller owns.
    void Attach(BSTR other) noexcept;
    BSTR Detach() noexcept;
    void Empty() noexcept;

    // Appending makes a null string non-null, unless the text appended is null.
    HRESULT Append(LPCOLESTR text, UINT length) noexcept;
    HRESULT Append(LPCOLESTR text) noexcept;
    HRESULT Append(const CComBSTR& other) noexcept { return AppendBSTR(other.m_str); }
    HRESULT Append(OLECHAR ch) noexcept { return Append(&ch, 1); }
    HRESULT AppendBSTR(BSTR other) noexcept { return Append(other, SysStringLen(other)); }
    CComBSTR& operator+=(const CComBSTR& other);
    CComBSTR& operator+=(LPCOLESTR text);

    // Exact comparisons: null equals only null; otherwise every character counts.
    bool operator==(const CComBSTR& other) const noexcept;
    // text is compared up to its first NUL.
    bool operator==(LPCOLESTR text) const noexcept;
    bool operator==(std::nullptr_t) const noexcept { return !m_str; }

    void Swap(CComBSTR& other) noexcept;

    BSTR m_str = nullptr;
};
