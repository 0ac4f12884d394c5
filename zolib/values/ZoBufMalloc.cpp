#include "ZoBufMalloc.h"

#include <cstdint>
#include <cstdlib>

#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoBufMalloc")

namespace {

// The largest block: what 32 bits count, and what the heap can address.
constexpr LONGLONG kMaximumSize =
    static_cast<LONGLONG>(SIZE_MAX < 0xFFFFFFFFu ? SIZE_MAX : static_cast<size_t>(0xFFFFFFFFu));

void CheckSize(LONGLONG size, const OLECHAR* zoFunctionName)
{
    if (size < 0)
        ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
    if (size > kMaximumSize)
        ZO_THROW_SYSTEM_ERROR(ERROR_OUTOFMEMORY);
}

}  // namespace

CZoBufMalloc::CZoBufMalloc(LONGLONG size)
{
    // The library-function frame spelt out: a constructor cannot return the frame's value.
    ::ZoFunctionFrame(OLESTR("CZoBufMalloc::CZoBufMalloc"), zoSourceFile, [&]() { Alloc(size); }, __LINE__);
}

CZoBufMalloc::~CZoBufMalloc()
{
    ZO_DESTRUCTOR(OLESTR("CZoBufMalloc::~CZoBufMalloc"))
    {
        Clear();
    }
    ZO_DESTRUCTOR_END
}

void CZoBufMalloc::Alloc(LONGLONG size)
{
    ZO_FUNCTION(OLESTR("CZoBufMalloc::Alloc"))
    {
        CheckSize(size, zoFunctionName);
        Clear();
        BYTE* block = static_cast<BYTE*>(std::malloc(static_cast<size_t>(size)));
        if (!block && size > 0)
            ZO_THROW_SYSTEM_ERROR(ERROR_OUTOFMEMORY);
        m_block = block;
        m_size = size;
    }
    ZO_FUNCTION_END
}

void CZoBufMalloc::Realloc(LONGLONG size)
{
    ZO_FUNCTION(OLESTR("CZoBufMalloc::Realloc"))
    {
        CheckSize(size, zoFunctionName);
        // realloc to 0 bytes may free the block and still return null, which would pass
        // for a failure that kept the old block.
        if (size == 0) {
            Clear();
            return;
        }
        BYTE* block = static_cast<BYTE*>(std::realloc(m_block, static_cast<size_t>(size)));
        if (!block)
            ZO_THROW_SYSTEM_ERROR(ERROR_OUTOFMEMORY);
        m_block = block;
        m_size = size;
    }
    ZO_FUNCTION_END
}

BYTE* CZoBufMalloc::GetBuf()
{
    return m_block;
}

void CZoBufMalloc::Clear()
{
    std::free(m_block);
    m_block = nullptr;
    m_size = 0;
}

LONGLONG CZoBufMalloc::GetSize()
{
    return m_size;
}
