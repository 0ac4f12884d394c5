// A byte buffer with one interface over two stores (the C heap, an automation safe array).
// It is also a lock: the bytes are reachable through GetBuf only while it is locked, so
// code that works on any buffer holds a CZoLockHolder around its access.
//
// Sizes are 64-bit numbers, but no store holds more than 32 bits' worth: a negative size
// fails with 1010 and one the store cannot hold with E_OUTOFMEMORY, rather than giving a
// smaller block than GetSize reports. A failed call leaves the buffer as it was, unless it
// says otherwise.
#pragma once

#include <windows.h>

#include "ZoLock.h"

class CZoBuf : public CZoLock {
public:
    // Nothing to pin by default.
    bool Lock() override;
    void Unlock() override;

    virtual ~CZoBuf();

    // Drops what the buffer held, then holds size bytes of unspecified content.
    virtual void Alloc(LONGLONG size) = 0;
    // Keeps the leading bytes.
    virtual void Realloc(LONGLONG size) = 0;
    virtual BYTE* GetBuf() = 0;
    virtual void Clear() = 0;
    virtual LONGLONG GetSize() = 0;

    // The buffer then holds exactly count bytes copied from source.
    virtual void Copy(const void* source, LONG count);

protected:
    CZoBuf() = default;
    CZoBuf(const CZoBuf&) = delete;
    CZoBuf& operator=(const CZoBuf&) = delete;
};
