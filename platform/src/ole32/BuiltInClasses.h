// The classes the runtime provides itself, found before the registry is asked.
#pragma once

#include <objbase.h>

namespace lumo::platform {

// Creates an instance of the class; an aggregating outer asks for IID_IUnknown.
using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

struct BuiltInClass {
    const CLSID* clsid;
    CreateInstanceFunction createInstance;
};

// Null for a class that is not built in.
const BuiltInClass* FindBuiltInClass(REFCLSID clsid) noexcept;

// A class object (IClassFactory) serving the built-in class.
HRESULT GetBuiltInClassObject(const BuiltInClass& builtIn, REFIID riid, void** ppv) noexcept;

}  // namespace lumo::platform
