// Creates a LumoProperty by program id and prints its text: 0 when all went well.
#include <cstdio>

#include <LumoItems.h>

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    CLSID clsid;
    ILumoProperty* property = nullptr;
    HRESULT hr = CLSIDFromProgID(OLESTR("LumoItems.LumoProperty"), &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILumoProperty,
                              reinterpret_cast<void**>(&property));
    if (SUCCEEDED(hr)) {
        BSTR name = SysAllocString(OLESTR("Installed"));
        hr = property->put_Name(name);
        SysFreeString(name);
    }
    BSTR text = nullptr;
    if (SUCCEEDED(hr)) {
        VARIANT noIndent;
        VariantInit(&noIndent);
        hr = property->ToString(noIndent, &text);
    }
    if (SUCCEEDED(hr)) {
        for (UINT i = 0; i < SysStringLen(text); ++i)
            std::putchar(static_cast<char>(text[i]));
        std::putchar('\n');
    }
    SysFreeString(text);
    if (property)
        property->Release();
    CoUninitialize();
    std::printf("status 0x%08X\n", static_cast<unsigned>(hr));
    return SUCCEEDED(hr) ? 0 : 1;
}
