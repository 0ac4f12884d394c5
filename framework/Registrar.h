// The registrar: applies registration scripts (RegistryScript.h) to the registry, for
// registration or for removal, with the replacements given to it.
//
// Registration opens each key of the script (or creates it) and sets its values. A ForceRemove
// key ends holding only what its script gives it: values and subkeys beyond the script are
// deleted once the script's are written, so that the key itself is never missing on the way.
// Delete deletes the tree and creates nothing. Neither deletes a key with one of the system's
// shared names (AppID, CLSID, Component Categories, FileType, Interface, Hardware, Mime, SAM,
// SECURITY, SYSTEM, Software, TypeLib).
// Removal deletes each named value of the script, handles nested blocks first, then deletes
// each key not marked NoRemove that has no subkeys left; a key that does not exist is skipped
// with its block.
//
// The whole script is parsed before anything is written. Registry failures come back as
// HRESULT_FROM_WIN32 of the status; the first one stops.
#pragma once

#include <windows.h>

#include "OleString.h"
#include "RegistryScript.h"

class CRegObject {
public:
    // Adds, or replaces, the text that %name% stands for. Neither may be null; the name may be
    // neither empty nor hold "%".
    HRESULT AddReplacement(LPCOLESTR name, LPCOLESTR text) noexcept;
    HRESULT ClearReplacements() noexcept;

    HRESULT StringRegister(LPCOLESTR script) noexcept;
    HRESULT StringUnregister(LPCOLESTR script) noexcept;

    // The script is resource id of the given type in module: UTF-16LE when its bytes start
    // with FF FE, otherwise text in the ANSI code page. It ends at its first NUL, if any.
    HRESULT ResourceRegister(HINSTANCE module, UINT id, LPCOLESTR type) noexcept;
    HRESULT ResourceUnregister(HINSTANCE module, UINT id, LPCOLESTR type) noexcept;

private:
    HRESULT Apply(OleStringView script, bool doRegister) noexcept;
    HRESULT ApplyResource(HINSTANCE module, UINT id, LPCOLESTR type, bool doRegister) noexcept;

    RegistryReplacements m_replacements;
};
