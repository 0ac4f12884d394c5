// A byte buffer in one block of the C heap, owned by the object.
#pragma once

#include <windows.h>

#include "ZoBuf.h"

class CZoBufMalloc : public CZoBuf {
public:
    CZoBufMalloc() = default;
    // An error passes out: a buffer is never constructed smaller than asked for.
    explicit CZoBufMalloc(LONGLONG size);
    ~CZoBufMalloc() override;

    void Alloc(LONGLONG size) override;
    void Realloc(LONGLONG size) override;
    // Null while empty.
    BYTE* GetBuf() override;
    void Clear() override;
    LONGLONG GetSize() override;

private:
    BYTE* m_block = nullptr;
    LONGLONG m_size = 0;
};
