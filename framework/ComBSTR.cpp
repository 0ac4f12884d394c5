#include "ComBSTR.h"

#include <limits>
#include <utility>

#include "ComError.h"

namespace {

BSTR CheckedAllocation(BSTR allocated)
{
    if (!allocated)
        throw CComError(E_OUTOFMEMORY);
    return allocated;
}

// A copy of the same bytes (a BSTR may hold an odd number of them).
BSTR CopyOf(BSTR text) noexcept
{
    return text ? SysAllocStringByteLen(reinterpret_cast<LPCSTR>(text), SysStringByteLen(text)) : nullptr;
}

void ThrowIfFailed(HRESULT hr)
{
    if (FAILED(hr))
        throw CComError(hr);
}

}   // namespace

CComBSTR::CComBSTR(LPCOLESTR text) : m_str(text ? CheckedAllocation(SysAllocString(text)) : nullptr) {}

CComBSTR::CComBSTR(UINT length, LPCOLESTR text) : m_str(CheckedAllocation(SysAllocStringLen(text, length))) {}

CComBSTR::CComBSTR(OleStringView text)
{
    if (text.size() > std::numeric_limits<UINT>::max())
        throw CComError(E_OUTOFMEMORY);
    m_str = CheckedAllocation(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

CComBSTR::CComBSTR(const CComBSTR& other) : m_str(other.m_str ? CheckedAllocation(CopyOf(other.m_str)) : nullptr)
{
}

CComBSTR::CComBSTR(CComBSTR&& other) noexcept : m_str(std::exchange(other.m_str, nullptr)) {}

CComBSTR::~CComBSTR()
{
    SysFreeString(m_str);
}

CComBSTR& CComBSTR::operator=(const CComBSTR& other)
{
    if (this != &other)
        CComBSTR(other).Swap(*this);
    return *this;
}

CComBSTR& CComBSTR::operator=(CComBSTR&& other) noexcept
{
    CComBSTR(std::move(other)).Swap(*this);
    return *this;
}

CComBSTR& CComBSTR::operator=(LPCOLESTR text)
{
    CComBSTR(text).Swap(*this);
    return *this;
}

BSTR CComBSTR::Copy() const
{
    return m_str ? CheckedAllocation(CopyOf(m_str)) : nullptr;
}

HRESULT CComBSTR::CopyTo(BSTR* out) const noexcept
{
    if (!out)
        return E_POINTER;
    *out = CopyOf(m_str);
    return *out || !m_str ? S_OK : E_OUTOFMEMORY;
}

void CComBSTR::Attach(BSTR other) noexcept
{
    if (other != m_str)
        SysFreeString(std::exchange(m_str, other));
}

BSTR CComBSTR::Detach() noexcept
{
    return std::exchange(m_str, nullptr);
}

void CComBSTR::Empty() noexcept
{
    SysFreeString(std::exchange(m_str, nullptr));
}

HRESULT CComBSTR::Append(LPCOLESTR text, UINT length) noexcept
{
    if (!text)
        return S_OK;
    const UINT held = Length();
    if (length > std::numeric_limits<UINT>::max() - held)
        return E_OUTOFMEMORY;
    // A new string first: text may lie inside the one held.
    BSTR joined = SysAllocStringLen(nullptr, held + length);
    if (!joined)
        return E_OUTOFMEMORY;
    if (held)
        std::char_traits<OLECHAR>::copy(joined, m_str, held);
    if (length)
        std::char_traits<OLECHAR>::copy(joined + held, text, length);
    SysFreeString(std::exchange(m_str, joined));
    return S_OK;
}

HRESULT CComBSTR::Append(LPCOLESTR text) noexcept
{
    return text ? Append(text, static_cast<UINT>(std::char_traits<OLECHAR>::length(text))) : S_OK;
}

CComBSTR& CComBSTR::operator+=(const CComBSTR& other)
{
    ThrowIfFailed(Append(other));
    return *this;
}

CComBSTR& CComBSTR::operator+=(LPCOLESTR text)
{
    ThrowIfFailed(Append(text));
    return *this;
}

bool CComBSTR::operator==(const CComBSTR& other) const noexcept
{
    if (!m_str || !other.m_str)
        return !m_str && !other.m_str;
    return ViewOfBstr(m_str) == ViewOfBstr(other.m_str);
}

bool CComBSTR::operator==(LPCOLESTR text) const noexcept
{
    if (!m_str || !text)
        return !m_str && !text;
    return ViewOfBstr(m_str) == OleStringView(text);
}

void CComBSTR::Swap(CComBSTR& other) noexcept
{
    std::swap(m_str, other.m_str);
}
