// The library's module as the benchmarks meet it: registered into a registry of its own and
// loaded for the whole run, its objects created by program id through the runtime.
#pragma once

#include <filesystem>

#include <windows.h>
#include <objbase.h>

#include "Framework.h"
#include "LumoItems.h"

// Points the process at a new registry file in a temporary folder of its own, joins the
// thread to the multithreaded apartment, loads the module and registers it. Make it before
// anything touches the registry; destruction leaves the apartment and removes the folder
// (the module stays loaded until the process ends). Throws std::runtime_error on failure.
// On Windows the runtime reads the system's registry, into which the module is registered
// as regsvr32 would register it.
class CBenchRegisteredModule {
public:
    CBenchRegisteredModule();
    ~CBenchRegisteredModule();
    CBenchRegisteredModule(const CBenchRegisteredModule&) = delete;
    CBenchRegisteredModule& operator=(const CBenchRegisteredModule&) = delete;

private:
    std::filesystem::path m_folder;
};

// A new object of the library, created by program id through the runtime; null on failure.
template <class Interface>
CComPtr<Interface> CreateByProgId(const OLECHAR* progId)
{
    CLSID clsid = {};
    CComPtr<Interface> object;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(Interface), reinterpret_cast<void**>(&object));
    return object;
}
