// One file of the C runtime, open for writing raw bytes; closed when the object goes.
#pragma once

#include <windows.h>

#include "OleString.h"

class CZoFile {
public:
    CZoFile() noexcept;
    virtual ~CZoFile();
    CZoFile(const CZoFile&) = delete;
    CZoFile& operator=(const CZoFile&) = delete;

    // With the C runtime's open flags (Windows values). Flags that write or create build the
    // file's folder first; otherwise the file must exist. A file already open is closed first.
    void OpenEx(OleStringView path, int flags);
    // Binary; writing opens (or creates) the file at its start without emptying it.
    void Open(OleStringView path, bool write);
    // Fails with 2006 when no file is open.
    void CheckFileOpen() const;
    // Returns the count written.
    LONG WriteBytes(const void* bytes, LONG count);
    void Close();

private:
    int m_descriptor;
};
