// Registration of a module's type library. The library is loaded from the module's own file
// (its TYPELIB resource 1, or the resource that index names, e.g. "\\2", appended to the path
// as LoadTypeLib takes it); when that fails, from the module's path with the extension
// replaced by ".tlb" (added when the file name has none).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "OleString.h"

// The library and the path it was loaded from. A module path that fills MAX_PATH fails with
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
HRESULT AtlLoadTypeLib(HINSTANCE module, LPCOLESTR index, OleString& path, ITypeLib** library) noexcept;

// RegisterTypeLib with the path the library came from and, when the library's documentation
// can be read, the directory of the help file it names as the help directory.
HRESULT AtlRegisterTypeLib(HINSTANCE module, LPCOLESTR index) noexcept;

// UnRegisterTypeLib of the library's id, versions, locale and system kind.
HRESULT AtlUnRegisterTypeLib(HINSTANCE module, LPCOLESTR index) noexcept;

// The directory part of a file path: up to and including the last "\", "/" or ":"; empty when
// there is none.
OleStringView DirectoryOfPath(OleStringView path) noexcept;
