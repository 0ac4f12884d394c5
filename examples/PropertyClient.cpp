// A client of the library, as a program that uses it is written: creates a LumoProperty by
// program id, fills it and prints it, reads its value late-bound as a script would, and
// prints the error document that a failing call leaves in the thread's error object.
//
//   lumoitems_example        (the module registered beforehand, e.g. with regsvr)
#include <cstdio>

#include <windows.h>

#include "Framework.h"
#include "LumoItems.h"
#include "ZoException.h"
#include "ZoFormat.h"
#include "ZoVariant.h"

namespace {

int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "%s failed: 0x%08X %s\n", what, static_cast<unsigned>(hr),
                 ZoOleToAnsi(ZoSystemMessageText(static_cast<DWORD>(hr))).c_str());
    return 1;
}

// The Value property read through IDispatch, by name, as a script client reads it.
HRESULT ReadValueLateBound(IDispatch* object, VARIANT* value)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Value"))};
    DISPID id = DISPID_UNKNOWN;
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
        return hr;
    DISPPARAMS noArguments{};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &noArguments, value, nullptr,
                          nullptr);
}

int Run()
{
    CLSID clsid = {};
    if (const HRESULT hr = CLSIDFromProgID(OLESTR("LumoItems.LumoProperty"), &clsid); FAILED(hr))
        return Fail("CLSIDFromProgID(\"LumoItems.LumoProperty\") (is the module registered?)", hr);
    CComPtr<ILumoProperty> property;
    if (const HRESULT hr = property.CoCreateInstance(clsid); FAILED(hr))
        return Fail("CoCreateInstance", hr);
    std::printf("Created LumoItems.LumoProperty through the runtime.\n");

    HRESULT hr = property->put_Name(CComBSTR(OLESTR("Title")));
    if (SUCCEEDED(hr))
        hr = property->put_Namespace(CComBSTR(OLESTR("urn:example:books")));
    if (SUCCEEDED(hr))
        hr = property->put_Value(CComVariant(OLESTR("The Lumo Handbook")));
    if (FAILED(hr))
        return Fail("Setting the property", hr);

    CComVariant indent(1);
    CComBSTR text;
    if (hr = property->ToString(indent, &text); FAILED(hr))
        return Fail("ToString", hr);
    std::printf("ToString(1):\n%s\n", ZoOleToAnsi(ViewOfBstr(text)).c_str());

    CComVariant value;
    if (hr = ReadValueLateBound(property, &value); FAILED(hr))
        return Fail("Reading Value through IDispatch", hr);
    std::printf("Value through IDispatch: %s\n", ZoOleToAnsi(CZoVariant::ToString(value)).c_str());

    CComBSTR xml;
    const HRESULT saved = property->SaveXML(&xml);
    std::printf("SaveXML returned 0x%08X\n", static_cast<unsigned>(saved));
    CComPtr<IErrorInfo> errorInfo;
    if (GetErrorInfo(0, &errorInfo) != S_OK || !errorInfo)
        return Fail("GetErrorInfo", E_UNEXPECTED);
    CComBSTR document;
    errorInfo->GetDescription(&document);
    std::printf("Error document:%s\n", ZoOleToAnsi(ViewOfBstr(document)).c_str());
    CZoException received(CComError(saved, errorInfo.Detach()));
    std::printf("\nAs text:\n%s\n", ZoOleToAnsi(received.GetDescription()).c_str());
    return 0;
}

}  // namespace

int main()
{
    if (const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr))
        return Fail("CoInitializeEx", hr);
    const int status = Run();
    CoUninitialize();
    return status;
}
