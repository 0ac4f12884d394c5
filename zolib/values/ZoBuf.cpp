#include "ZoBuf.h"

#include <cstring>

#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoBuf")

bool CZoBuf::Lock()
{
    return true;
}

void CZoBuf::Unlock() {}

CZoBuf::~CZoBuf() = default;

void CZoBuf::Copy(const void* source, LONG count)
{
    ZO_FUNCTION(OLESTR("CZoBuf::Copy"))
    {
        // Checked before anything is dropped: a bad call leaves the buffer as it was.
        if (count < 0 || (count > 0 && !source))
            ZO_RAISE(ZO_ERR_INVALID_PARAMETER);
        Clear();
        Alloc(static_cast<LONGLONG>(count));
        CZoLockHolder holder(this);
        if (count > 0)
            std::memcpy(GetBuf(), source, static_cast<size_t>(count));
    }
    ZO_FUNCTION_END
}
