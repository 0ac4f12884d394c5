#include "ZoBufSafeArray.h"

#include <limits>

#include <oleauto.h>

#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE(".\\ZoBufSafeArray")

namespace {

constexpr VARTYPE kByteArrayType = VT_ARRAY | VT_UI1;

// GetSize reads the count back as a signed 32-bit number, so no array may hold more.
void CheckSize(LONGLONG size, const OLECHAR* zoFunctionName)
{
    if (size < 0)
        ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
    if (size > std::numeric_limits<LONG>::max())
        ZO_THROW_SYSTEM_ERROR(ERROR_OUTOFMEMORY);
}

}  // namespace

CZoBufSafeArray::CZoBufSafeArray()
{
    VariantInit(&m_variant);
}

CZoBufSafeArray::~CZoBufSafeArray()
{
    ZO_DESTRUCTOR(OLESTR("CZoBufSafeArray::~CZoBufSafeArray"))
    {
        Clear();
    }
    ZO_DESTRUCTOR_END
}

void CZoBufSafeArray::CheckVariantType(const VARIANT& variant)
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::CheckVariantType"))
    {
        if (variant.vt != kByteArrayType || !variant.parray || SafeArrayGetDim(variant.parray) != 1)
            ZO_RAISE(ZO_ERR_INVALID_VARIANT_TYPE);
    }
    ZO_FUNCTION_END
}

bool CZoBufSafeArray::Lock()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Lock"))
    {
        CheckVariantType(m_variant);
        void* data = nullptr;
        const HRESULT hr = SafeArrayAccessData(m_variant.parray, &data);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        m_data = static_cast<BYTE*>(data);
        ++m_pins;
        return true;
    }
    ZO_FUNCTION_END
}

void CZoBufSafeArray::Unlock()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Unlock"))
    {
        if (m_pins == 0)
            return;
        CheckVariantType(m_variant);
        const HRESULT hr = SafeArrayUnaccessData(m_variant.parray);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
        if (--m_pins == 0)
            m_data = nullptr;
    }
    ZO_FUNCTION_END
}

void CZoBufSafeArray::ReleasePins()
{
    while (m_pins > 0)
        Unlock();
}

void CZoBufSafeArray::Alloc(LONGLONG size)
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Alloc"))
    {
        CheckSize(size, zoFunctionName);
        Clear();
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
        if (!array)
            ZO_THROW_SYSTEM_ERROR(ERROR_OUTOFMEMORY);
        m_variant.vt = kByteArrayType;
        m_variant.parray = array;
    }
    ZO_FUNCTION_END
}

void CZoBufSafeArray::Realloc(LONGLONG size)
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Realloc"))
    {
        CheckSize(size, zoFunctionName);
        SAFEARRAYBOUND bound{static_cast<ULONG>(size), 0};
        const HRESULT hr = SafeArrayRedim(m_variant.vt == kByteArrayType ? m_variant.parray : nullptr, &bound);
        if (FAILED(hr))
            ZO_THROW_HR(hr);
    }
    ZO_FUNCTION_END
}

BYTE* CZoBufSafeArray::GetBuf()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::GetBuf"))
    {
        if (m_pins == 0)
            ZO_RAISE(ZO_ERR_ARRAY_NOT_LOCKED);
        return m_data;
    }
    ZO_FUNCTION_END
}

void CZoBufSafeArray::Clear()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Clear"))
    {
        ReleasePins();
        ZoCheckPlatform(VariantClear(&m_variant));
    }
    ZO_FUNCTION_END
}

LONGLONG CZoBufSafeArray::GetSize()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::GetSize"))
    {
        if (m_variant.vt == VT_EMPTY)
            return LONGLONG{0};
        CheckVariantType(m_variant);
        return static_cast<LONGLONG>(CZoVariant::GetSafeArraySize(m_variant));
    }
    ZO_FUNCTION_END
}

void CZoBufSafeArray::Attach(VARIANT& variant, bool copy)
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Attach"))
    {
        CheckVariantType(variant);
        if (&variant == &m_variant)
            return;
        Clear();
        if (copy) {
            SAFEARRAY* array = nullptr;
            const HRESULT hr = SafeArrayCopy(variant.parray, &array);
            if (FAILED(hr))
                ZO_THROW_HR(hr);
            m_variant.vt = variant.vt;
            m_variant.parray = array;
        } else {
            m_variant = variant;
            VariantInit(&variant);
        }
    }
    ZO_FUNCTION_END
}

CComVariant CZoBufSafeArray::Detach()
{
    ZO_FUNCTION(OLESTR("CZoBufSafeArray::Detach"))
    {
        // An array handed out still pinned could never be cleared by its new owner.
        ReleasePins();
        CComVariant result;
        result.Attach(&m_variant);
        return result;
    }
    ZO_FUNCTION_END
}
