// Registering classes, and the test component above all, into the registry (a fresh one in
// tests: ScopedFreshRegistry) the way an installer would.
#pragma once

#include <windows.h>

#include "OleString.h"

// "{...}" as the registry writes class ids.
OleString GuidText(REFGUID guid);
// "CLSID\{...}" under HKEY_CLASSES_ROOT.
OleString ClassKey(REFCLSID clsid);
// A value (the default one for a null name) of a key under HKEY_CLASSES_ROOT, the key
// created as needed.
void WriteClassesRootValue(const OleString& subKey, const OLECHAR* name, const OleString& value, DWORD type = REG_SZ);
void WriteClassesRootDefault(const OleString& subKey, const OleString& value, DWORD type = REG_SZ);
void RegisterInprocServer(REFCLSID clsid, const OleString& modulePath, DWORD type = REG_SZ);
// The module path as InprocServer32 with the threading model Both, and the program id both
// ways.
void RegisterComClass(REFCLSID clsid, const OLECHAR* progId, const OleString& modulePath);
OleString WidenUtf8(const char* text);

#ifdef LUMO_TEST_COMPONENT_PATH
#include "TestComponent.h"

inline const OleString& TestComponentPath()
{
    static const OleString path = WidenUtf8(LUMO_TEST_COMPONENT_PATH);
    return path;
}

// LumoTest.Counter.1 served by the test component.
inline void RegisterTestComponent()
{
    RegisterComClass(CLSID_LumoTestCounter, kLumoTestCounterProgId, TestComponentPath());
}
#endif
