// The library's module as its tests meet it: registered into a fresh registry once per test
// program, loaded for the whole run, and checked after each test for objects left alive.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <vector>

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

// The marker of an omitted optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
inline CComVariant MissingArgument()
{
    CComVariant missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
}

// One late-bound call as scripts make it, with what it gave back.
struct Invocation {
    HRESULT status = E_FAIL;
    CComVariant result;
    EXCEPINFO exception{};
    UINT argumentError = 0xFFFF;

    Invocation() = default;
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;
    ~Invocation()
    {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
};

inline DISPID DispIdOf(IDispatch* object, const OLECHAR* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << "no member named so";
    return id;
}

// Arguments in the order a caller writes them; DISPPARAMS holds them last first. A put (or
// put-ref) passes the new value as the named argument DISPID_PROPERTYPUT.
inline void Invoke(Invocation& call, IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> arguments)
{
    std::reverse(arguments.begin(), arguments.end());
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    DISPPARAMS parameters{arguments.data(), put ? &putId : nullptr, static_cast<UINT>(arguments.size()),
                          put ? 1u : 0u};
    call.status = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, put ? nullptr : &call.result,
                                 &call.exception, &call.argumentError);
}
