// A byte buffer in a one-dimensional safe array of VT_UI1 held in a variant, so that the
// bytes pass to and from automation callers without another copy. Its bytes are reachable
// only while it is locked, that is while the array's data is pinned.
#pragma once

#include <windows.h>

#include "ComVariant.h"
#include "ZoBuf.h"

class CZoBufSafeArray : public CZoBuf {
public:
    CZoBufSafeArray();
    ~CZoBufSafeArray() override;

    // Pins the data; locks nest, each Lock pinning once more.
    bool Lock() override;
    // Releases one pin; without a pin outstanding (Clear, Alloc, Attach or Detach released
    // them all) there is nothing to release, so a lock holder that outlives those is safe.
    void Unlock() override;

    void Alloc(LONGLONG size) override;
    // Fails while locked (the platform's DISP_E_ARRAYISLOCKED) or without an array.
    void Realloc(LONGLONG size) override;
    // The pinned data; 2007 while not locked.
    BYTE* GetBuf() override;
    // Releases every pin first.
    void Clear() override;
    LONGLONG GetSize() override;

    // Type exactly VT_ARRAY | VT_UI1 with a one-dimensional array; 1015 otherwise.
    static void CheckVariantType(const VARIANT& variant);

    // copy: a deep copy of the caller's array, which stays as it is; otherwise the caller's
    // variant is moved in and left VT_EMPTY. On a bad variant the buffer is left as it was.
    void Attach(VARIANT& variant, bool copy);
    // Hands the array (released of this buffer's pins) to the caller; the buffer is then empty.
    CComVariant Detach();

private:
    void ReleasePins();

    VARIANT m_variant;
    BYTE* m_data = nullptr;
    LONG m_pins = 0;
};
