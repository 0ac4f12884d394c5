// The host side of the enumerator protocol: a collection that an enumerator walks live. A
// plain in-process base, never handed out by QueryInterface; a pointer to it is meaningful
// only inside the collection's process.
#pragma once

#include <windows.h>

class CLumoEnumHost {
public:
    // The number of members at this moment.
    virtual LONG HostGetCount() = 0;
    // Copies the member at the 0-based index into destination (an initialised variant, whose
    // old value is cleared) and returns true; false when there is no member there, as when
    // another thread has removed members since the count was read. Raises a CZoException for a
    // negative index or a failed copy.
    virtual bool HostGetAt(LONG index, VARIANT* destination) = 0;

protected:
    CLumoEnumHost() = default;
    ~CLumoEnumHost() = default;
    CLumoEnumHost(const CLumoEnumHost&) = default;
    CLumoEnumHost& operator=(const CLumoEnumHost&) = default;
};
