// The edge between the C API and the C++ inside: an exception (in practice std::bad_alloc)
// never crosses it, and becomes the function's failure value with the last error set.
#pragma once

#include <windows.h>

#include <new>

namespace lumo::platform {

template <class Result, class Body>
Result AtApiBoundary(Result failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_INTERNAL_ERROR);
    }
    return failure;
}

}  // namespace lumo::platform
