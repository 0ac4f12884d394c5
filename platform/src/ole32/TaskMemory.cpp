// The task allocator: the C heap. A zero-byte request still yields a distinct block, as the
// Windows allocator does.
#include <cstdlib>

#include <objbase.h>

#include "ole32/TaskMemoryText.h"

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb)
{
    return std::malloc(cb ? cb : 1);
}

WINOLEAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb)
{
    if (!pv)
        return CoTaskMemAlloc(cb);
    if (cb == 0) {
        std::free(pv);
        return nullptr;
    }
    return std::realloc(pv, cb);
}

WINOLEAPI_(void) CoTaskMemFree(LPVOID pv)
{
    std::free(pv);
}

namespace lumo::platform {

LPOLESTR CopyToTaskMemory(WideView text) noexcept
{
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (!copy)
        return nullptr;
    text.copy(copy, text.size());
    copy[text.size()] = 0;
    return copy;
}

}  // namespace lumo::platform
