// An example client of the runtime: registers the example component, creates it by program
// id, calls it, and prints the error document that its failing method leaves in the
// thread's error object.
//
//   example_client PATH-OF-ExampleComponent
#include <cstdio>
#include <string>

#include <windows.h>

#include "ExampleGreeter.h"
#include "Framework.h"
#include "ZoException.h"

namespace {

std::string Narrow(OleStringView text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                        nullptr);
    return narrow;
}

OleString Widen(const char* text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    OleString wide(static_cast<size_t>(size > 0 ? size - 1 : 0), OLESTR('\0'));
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    return wide;
}

int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "%s failed: 0x%08X %s\n", what, static_cast<unsigned>(hr),
                 Narrow(ZoSystemMessageText(static_cast<DWORD>(hr))).c_str());
    return 1;
}

// What regsvr32 does: load the module and call its DllRegisterServer.
HRESULT RegisterModule(const OleString& path)
{
    HMODULE module = LoadLibraryW(path.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    using RegisterFunction = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<RegisterFunction>(GetProcAddress(module, "DllRegisterServer"));
    const HRESULT hr = registerServer ? registerServer() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    FreeLibrary(module);
    return hr;
}

int Run(const OleString& modulePath)
{
    if (const HRESULT hr = RegisterModule(modulePath); FAILED(hr))
        return Fail("Registering the component", hr);

    CLSID clsid = {};
    if (const HRESULT hr = CLSIDFromProgID(kExampleGreeterProgId, &clsid); FAILED(hr))
        return Fail("CLSIDFromProgID", hr);

    CComPtr<IExampleGreeter> greeter;
    if (const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IExampleGreeter),
                                            reinterpret_cast<void**>(&greeter));
        FAILED(hr))
        return Fail("CoCreateInstance", hr);
    std::printf("Created %s through the runtime.\n", Narrow(kExampleGreeterProgId).c_str());

    CComBSTR greeting;
    if (const HRESULT hr = greeter->Greet(CComBSTR(OLESTR("world")), &greeting); FAILED(hr))
        return Fail("Greet", hr);
    std::printf("Greet: %s\n", Narrow(ViewOfBstr(greeting)).c_str());

    const HRESULT failed = greeter->Fail();
    std::printf("Fail returned 0x%08X\n", static_cast<unsigned>(failed));
    CComPtr<IErrorInfo> errorInfo;
    if (GetErrorInfo(0, &errorInfo) != S_OK)
        return Fail("GetErrorInfo", E_FAIL);
    CComBSTR document;
    errorInfo->GetDescription(&document);
    std::printf("Error document:%s\n", Narrow(ViewOfBstr(document)).c_str());

    CZoException received(OLESTR(""), 0, OLESTR(""), 0, OLESTR(""));
    received.LoadErrorDocument(document);
    std::printf("\nAs text:\n%s", Narrow(received.GetDescription()).c_str());
    return failed == E_ZO_EXCEPTION ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s PATH-OF-ExampleComponent\n", argv[0]);
        return 2;
    }
    if (const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr))
        return Fail("CoInitializeEx", hr);
    const int status = Run(Widen(argv[1]));
    CoUninitialize();
    return status;
}
