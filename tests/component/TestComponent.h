// A tiny in-process server for the runtime's tests: one class, LumoTest.Counter, that adds
// numbers and can be aggregated.
#pragma once

#include <windows.h>

// {5B0C7A1E-3D42-4F8B-9C61-2E7D4A90B3F5}
inline const CLSID CLSID_LumoTestCounter = {0x5B0C7A1E, 0x3D42, 0x4F8B, {0x9C, 0x61, 0x2E, 0x7D, 0x4A, 0x90, 0xB3, 0xF5}};
inline const OLECHAR kLumoTestCounterProgId[] = OLESTR("LumoTest.Counter.1");

MIDL_INTERFACE("A4E2F8C3-6B17-4D09-8E5A-71C3B9D0F264")
ITestCounter : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Add(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Total(LONG * total) = 0;
    // Objects of the class created since the module was loaded: starts again after an unload.
    virtual HRESULT STDMETHODCALLTYPE get_CreatedSinceLoad(LONG * created) = 0;
};
__CRT_UUID_DECL(ITestCounter, 0xA4E2F8C3, 0x6B17, 0x4D09, 0x8E, 0x5A, 0x71, 0xC3, 0xB9, 0xD0, 0xF2, 0x64)
