// An example in-process component built on the framework and the error frame: one class,
// created through the runtime by program id, whose Fail method reports an error document.
#include <windows.h>

#include "ExampleGreeter.h"
#include "Framework.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoLock.h"

ZO_SOURCE_FILE(".\\ExampleComponent")

namespace {

class CExampleGreeter
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CExampleGreeter, &CLSID_ExampleGreeter>
    , public ISupportErrorInfo
    , public IExampleGreeter
{
public:
    DECLARE_NO_REGISTRY()
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CExampleGreeter)
        COM_INTERFACE_ENTRY(IExampleGreeter)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_marshaler.p)
    END_COM_MAP()

    HRESULT FinalConstruct()
    {
        return CoCreateFreeThreadedMarshaler(GetControllingUnknown(), &m_marshaler);
    }
    void FinalRelease() { m_marshaler.Release(); }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == __uuidof(IExampleGreeter) ? S_OK : S_FALSE;
    }

    STDMETHODIMP Greet(BSTR name, BSTR* greeting) override
    {
        ZO_METHOD(OLESTR("CExampleGreeter::Greet"), __uuidof(IExampleGreeter))
        {
            if (!greeting)
                ZO_THROW_HR(E_POINTER);
            CComBSTR text(OLESTR("Hello, "));
            text.Append(name);
            text.Append(OLESTR("!"));
            *greeting = text.Detach();
        }
        ZO_METHOD_END
    }

    STDMETHODIMP Fail() override
    {
        ZO_METHOD(OLESTR("CExampleGreeter::Fail"), __uuidof(IExampleGreeter))
        {
            ZO_THROW(OLESTR("Unimplemented."), ZO_ERR_UNIMPLEMENTED);
        }
        ZO_METHOD_END
    }

private:
    CZoCOMLock m_lock;
    CComPtr<IUnknown> m_marshaler;
};

class CExampleModule : public CAtlDllModuleT<CExampleModule> {
public:
    using CAtlDllModuleT::CAtlDllModuleT;
};

BEGIN_OBJECT_MAP(ExampleObjectMap)
    OBJECT_ENTRY(CLSID_ExampleGreeter, CExampleGreeter)
END_OBJECT_MAP()

CExampleModule exampleModule(ExampleObjectMap);

// Writes one default value under HKEY_CLASSES_ROOT, creating the key.
HRESULT SetClassesRootValue(const OleString& key, const OleString& value, const OLECHAR* valueName = nullptr)
{
    HKEY handle = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                                  nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR)));
        RegCloseKey(handle);
    }
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

OleString ClassKey()
{
    OLECHAR clsid[40] = {};
    StringFromGUID2(CLSID_ExampleGreeter, clsid, 40);
    return OleString(OLESTR("CLSID\\")) + clsid;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return exampleModule.DllMain(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return exampleModule.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return exampleModule.DllCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    OLECHAR path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(exampleModule.GetModuleInstance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

    OLECHAR clsid[40] = {};
    StringFromGUID2(CLSID_ExampleGreeter, clsid, 40);
    const OleString progId = kExampleGreeterProgId;
    HRESULT hr = SetClassesRootValue(progId + OLESTR("\\CLSID"), clsid);
    if (SUCCEEDED(hr))
        hr = SetClassesRootValue(ClassKey() + OLESTR("\\ProgID"), progId);
    if (SUCCEEDED(hr))
        hr = SetClassesRootValue(ClassKey() + OLESTR("\\InprocServer32"), path);
    if (SUCCEEDED(hr))
        hr = SetClassesRootValue(ClassKey() + OLESTR("\\InprocServer32"), OLESTR("Both"), OLESTR("ThreadingModel"));
    return hr;
}

STDAPI DllUnregisterServer()
{
    const LONG classStatus = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKey().c_str());
    const LONG progIdStatus = RegDeleteTreeW(HKEY_CLASSES_ROOT, kExampleGreeterProgId);
    for (const LONG status : {classStatus, progIdStatus})
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
    return S_OK;
}
