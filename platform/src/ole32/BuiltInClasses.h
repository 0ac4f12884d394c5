// The classes the runtime provides itself, found before the registry is asked.
#pragma once

#include <objbase.h>

namespace lumo::platform {

// Creates an instance of the class; an aggregating outer asks for IID_IUnknown.
using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

struct BuiltInClass {
    const CLSID* clsid;
    CreateInstanceFunction createInstance;
    const WCHAR* progId;  // null for a class without one
};

// Null for a class that is not built in.
const BuiltInClass* FindBuiltInClass(REFCLSID clsid) noexcept;
// By program id, compared without regard to ASCII case; null when no built-in class has it.
const BuiltInClass* FindBuiltInClassByProgId(const WCHAR* progId) noexcept;

// A class object (IClassFactory) serving the built-in class.
HRESULT GetBuiltInClassObject(const BuiltInClass& builtIn, REFIID riid, void** ppv) noexcept;

}  // namespace lumo::platform
