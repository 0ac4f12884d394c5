// The library's module as its tests meet it: registered into a fresh registry once per test
// program, loaded for the whole run, and checked after each test for objects left alive.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "Framework.h"
#include "LumoItems.h"
#include "OleString.h"

// The module file as built.
const OleString& LumoItemsModulePath();

// The loaded module's own entry points.
HRESULT ModuleCanUnloadNow();
HRESULT ModuleGetClassObject(REFCLSID clsid, REFIID iid, void** object);
HRESULT ModuleRegisterServer();
HRESULT ModuleUnregisterServer();

// A component test: fails when an object of the library outlives the test.
class ComponentTest : public ::testing::Test {
protected:
    void TearDown() override;
};

// A new object of the library, created by program id through the runtime.
template <class Interface>
CComPtr<Interface> CreateByProgId(const OLECHAR* progId)
{
    CLSID clsid = {};
    CComPtr<Interface> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Interface),
                         reinterpret_cast<void**>(&object));
    return object;
}

inline CComPtr<ILumoProperty> NewProperty()
{
    return CreateByProgId<ILumoProperty>(OLESTR("LumoItems.LumoProperty"));
}
