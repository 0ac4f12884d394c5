// The dispatch tests' module: one class, TestRecord, on the framework with IDispatchImpl, whose
// Fail method fails through the error frame; the module registers itself by its scripts.
#include <windows.h>

#include "Framework.h"
#include "TestDispatch.h"
#include "ZoException.h"
#include "ZoFrame.h"
#include "ZoLock.h"

ZO_SOURCE_FILE(".\\TestRecord")

namespace {

// Enumerates nothing: the tests only need an object to come back from _NewEnum.
class CEmptyEnum : public CComObjectRootEx<CComMultiThreadModel>, public IEnumVARIANT {
public:
    BEGIN_COM_MAP(CEmptyEnum)
        COM_INTERFACE_ENTRY(IEnumVARIANT)
    END_COM_MAP()

    STDMETHODIMP Next(ULONG celt, VARIANT*, ULONG* fetched) override
    {
        if (fetched)
            *fetched = 0;
        return celt == 0 ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG) override { return S_FALSE; }
    STDMETHODIMP Reset() override { return S_OK; }
    STDMETHODIMP Clone(IEnumVARIANT** clone) override
    {
        if (!clone)
            return E_POINTER;
        *clone = this;
        AddRef();
        return S_OK;
    }
};

class CTestRecord
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CTestRecord, &CLSID_TestRecord>
    , public ISupportErrorInfo
    , public IDispatchImpl<ITestRecord, &IID_ITestRecord, &LIBID_TestDispatchLib, 1, 0>
{
public:
    DECLARE_REGISTRY_RESOURCEID(102)

    BEGIN_COM_MAP(CTestRecord)
        COM_INTERFACE_ENTRY(ITestRecord)
        COM_INTERFACE_ENTRY(ITestBase)
        COM_INTERFACE_ENTRY(IDispatch)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
    END_COM_MAP()

    CTestRecord() { VariantInit(&m_value); }
    ~CTestRecord() { VariantClear(&m_value); }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == IID_ITestRecord ? S_OK : S_FALSE;
    }

    STDMETHODIMP Describe(BSTR* text) override { return Text(OLESTR("record ") + Name(), text); }

    STDMETHODIMP get_Value(VARIANT* value) override { return VariantCopy(value, &m_value); }
    // Keeps the argument as it arrived, so a test can see whether it came by reference.
    STDMETHODIMP put_Value(VARIANT value) override { return VariantCopy(&m_value, &value); }
    STDMETHODIMP get_Name(BSTR* name) override { return Text(Name(), name); }
    STDMETHODIMP put_Name(BSTR name) override
    {
        m_name.assign(name ? name : OLESTR(""), SysStringLen(name));
        return S_OK;
    }
    STDMETHODIMP get_Count(LONG* count) override
    {
        *count = m_count;
        return S_OK;
    }
    STDMETHODIMP put_Count(LONG count) override
    {
        m_count = count;
        return S_OK;
    }
    STDMETHODIMP get_Flag(VARIANT_BOOL* flag) override
    {
        *flag = m_flag;
        return S_OK;
    }
    STDMETHODIMP put_Flag(VARIANT_BOOL flag) override
    {
        m_flag = flag;
        return S_OK;
    }

    // The width as a number, then "|" and the fill's type: "omitted" when no fill was given.
    STDMETHODIMP Format(LONG width, VARIANT fill, BSTR* text) override
    {
        const bool omitted = V_VT(&fill) == VT_ERROR && V_ERROR(&fill) == DISP_E_PARAMNOTFOUND;
        VARIANT number;
        VariantInit(&number);
        V_VT(&number) = VT_I4;
        V_I4(&number) = width;
        if (const HRESULT hr = VariantChangeType(&number, &number, 0, VT_BSTR); FAILED(hr))
            return hr;
        OleString out(V_BSTR(&number), SysStringLen(V_BSTR(&number)));
        VariantClear(&number);
        out += OLESTR("|");
        if (omitted) {
            out += OLESTR("omitted");
        } else {
            VARIANT type;
            VariantInit(&type);
            V_VT(&type) = VT_I4;
            V_I4(&type) = V_VT(&fill);
            VariantChangeType(&type, &type, 0, VT_BSTR);
            out.append(V_BSTR(&type), SysStringLen(V_BSTR(&type)));
            VariantClear(&type);
        }
        return Text(out, text);
    }

    STDMETHODIMP Fail() override
    {
        ZO_METHOD(OLESTR("CTestRecord::Fail"), IID_ITestRecord)
        {
            ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
        }
        ZO_METHOD_END
    }

    STDMETHODIMP get__NewEnum(IUnknown** enumerator) override
    {
        if (!enumerator)
            return E_POINTER;
        CComObject<CEmptyEnum>* created = nullptr;
        if (const HRESULT hr = CComObject<CEmptyEnum>::CreateInstance(&created); FAILED(hr))
            return hr;
        return created->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(enumerator));
    }

    STDMETHODIMP Same(ITestRecord* other, VARIANT_BOOL* same) override
    {
        *same = other == static_cast<ITestRecord*>(this) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    const OleString& Name() const { return m_name; }
    static HRESULT Text(const OleString& text, BSTR* out)
    {
        *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    CZoCOMLock m_lock;
    OleString m_name;
    VARIANT m_value;
    LONG m_count = 0;
    VARIANT_BOOL m_flag = VARIANT_FALSE;
};

class CTestDispatchModule : public CAtlDllModuleT<CTestDispatchModule> {
public:
    DECLARE_REGISTRY_APPID_RESOURCEID(101, "{3C1A9E20-5B7D-4F61-8E2A-0D4B6C8F1A30}")

    using CAtlDllModuleT::CAtlDllModuleT;
};

BEGIN_OBJECT_MAP(TestDispatchObjectMap)
    OBJECT_ENTRY(CLSID_TestRecord, CTestRecord)
END_OBJECT_MAP()

CTestDispatchModule testDispatchModule(TestDispatchObjectMap);

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    return testDispatchModule.DllMain(instance, reason, reserved);
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    return testDispatchModule.DllGetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    return testDispatchModule.DllCanUnloadNow();
}

STDAPI DllRegisterServer()
{
    return testDispatchModule.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    return testDispatchModule.DllUnregisterServer();
}
