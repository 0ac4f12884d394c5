// The interface and ids of the example component, shared by the component and its client.
#pragma once

#include <windows.h>

// {5C0F3E2A-8B1D-4A6E-9F27-3D4C5B6A7E81}
MIDL_INTERFACE("5C0F3E2A-8B1D-4A6E-9F27-3D4C5B6A7E81")
IExampleGreeter : public IUnknown
{
    // A greeting for the name.
    virtual HRESULT STDMETHODCALLTYPE Greet(BSTR name, BSTR* greeting) = 0;
    // Always fails through the error frame, to show the error document a client receives.
    virtual HRESULT STDMETHODCALLTYPE Fail() = 0;
};
__CRT_UUID_DECL(IExampleGreeter, 0x5C0F3E2A, 0x8B1D, 0x4A6E, 0x9F, 0x27, 0x3D, 0x4C, 0x5B, 0x6A, 0x7E, 0x81)

// {A7E2C4B9-3F51-4D08-B6A2-91C0E8D7F653}
inline constexpr CLSID CLSID_ExampleGreeter = {
    0xA7E2C4B9, 0x3F51, 0x4D08, {0xB6, 0xA2, 0x91, 0xC0, 0xE8, 0xD7, 0xF6, 0x53}};

inline constexpr const OLECHAR* kExampleGreeterProgId = OLESTR("LumoExample.Greeter.1");
