// The C runtime's low-level file functions for wide paths (Windows' <io.h>). Flags and
// permissions take the Windows values (_O_RDONLY 0, _O_WRONLY 1, _O_RDWR 2, _O_APPEND 0x8,
// _O_CREAT 0x100, _O_TRUNC 0x200, _O_EXCL 0x400; _S_IREAD 0x100, _S_IWRITE 0x80); text and
// binary mode are the same (no line-end translation). errno takes the C library's numbers.
// Descriptors are not inherited by started processes.
#pragma once

#include "winnt.h"

LUMO_PLATFORM_API int _wopen(const WCHAR* filename, int oflag, ...);
// _S_IWRITE in pmode makes the file writable for its owner; without it nobody may write it.
LUMO_PLATFORM_API int _wchmod(const WCHAR* filename, int pmode);
LUMO_PLATFORM_API int _read(int fd, void* buffer, unsigned int count);
LUMO_PLATFORM_API int _write(int fd, const void* buffer, unsigned int count);
LUMO_PLATFORM_API int _close(int fd);
