// Component classes of the framework tests, with interfaces of their own. Each class answers
// a tag from its interfaces, so a test can tell whose interface a pointer is.
#pragma once

#include <stdexcept>

#include <windows.h>

#include "Framework.h"

MIDL_INTERFACE("7D0F2A61-3B4C-4E1A-9C2B-5A1E0F6D7C01")
ITestAlpha : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE GetAlpha(LONG * tag) = 0;
};
__CRT_UUID_DECL(ITestAlpha, 0x7D0F2A61, 0x3B4C, 0x4E1A, 0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x01)

MIDL_INTERFACE("7D0F2A61-3B4C-4E1A-9C2B-5A1E0F6D7C02")
ITestBeta : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE GetBeta(LONG * tag) = 0;
};
__CRT_UUID_DECL(ITestBeta, 0x7D0F2A61, 0x3B4C, 0x4E1A, 0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x02)

inline constexpr GUID CLSID_TestObject = {0x7D0F2A61, 0x3B4C, 0x4E1A, {0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x11}};
inline constexpr GUID CLSID_TestSolitary = {0x7D0F2A61, 0x3B4C, 0x4E1A, {0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x12}};
inline constexpr GUID CLSID_TestOuter = {0x7D0F2A61, 0x3B4C, 0x4E1A, {0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x13}};
inline constexpr GUID CLSID_TestNullAnswer = {0x7D0F2A61, 0x3B4C, 0x4E1A, {0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x14}};
inline constexpr GUID CLSID_TestUnknownClass = {0x7D0F2A61, 0x3B4C, 0x4E1A, {0x9C, 0x2B, 0x5A, 0x1E, 0x0F, 0x6D, 0x7C, 0x1F}};

inline constexpr LONG kInnerTag = 1;
inline constexpr LONG kOuterTag = 2;

// What happened to CTestObject instances while a test's log was installed, and how their
// FinalConstruct behaves.
struct TestObjectLog {
    enum class Construct { Succeed, Fail, ThrowComError, ThrowBadAlloc, ThrowOther };

    Construct construct = Construct::Succeed;
    int finalConstructs = 0;
    int finalReleases = 0;
    int destructions = 0;

    void Reset(Construct how)
    {
        *this = TestObjectLog{};
        construct = how;
    }

    static TestObjectLog*& Current()
    {
        static TestObjectLog* current = nullptr;
        return current;
    }
};

// Installs a fresh log for a scope.
class ScopedTestObjectLog : public TestObjectLog {
public:
    ScopedTestObjectLog() { Current() = this; }
    ~ScopedTestObjectLog() { Current() = nullptr; }
};

// Stub IDispatch methods: the tests use the interfaces early-bound only.
#define TEST_DISPATCH_STUBS()                                                                  \
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }                        \
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }           \
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; } \
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override \
    {                                                                                          \
        return E_NOTIMPL;                                                                      \
    }

// The shape of a library class: aggregatable, free-threaded marshaler aggregated in
// FinalConstruct, IDispatch reached through one of two dual interfaces. Its identity is its
// first map entry, ITestBeta, not its first interface base.
class CTestObject
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CTestObject, &CLSID_TestObject>
    , public ITestAlpha
    , public ITestBeta
    , public ISupportErrorInfo
{
public:
    DECLARE_NO_REGISTRY()
    DECLARE_PROTECT_FINAL_CONSTRUCT()
    DECLARE_GET_CONTROLLING_UNKNOWN()

    BEGIN_COM_MAP(CTestObject)
        COM_INTERFACE_ENTRY(ITestBeta)
        COM_INTERFACE_ENTRY(ITestAlpha)
        COM_INTERFACE_ENTRY2(IDispatch, ITestAlpha)
        COM_INTERFACE_ENTRY(ISupportErrorInfo)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_pUnkMarshaler)
    END_COM_MAP()

    ~CTestObject()
    {
        if (TestObjectLog* log = TestObjectLog::Current())
            ++log->destructions;
    }

    HRESULT FinalConstruct()
    {
        TestObjectLog* log = TestObjectLog::Current();
        if (log)
            ++log->finalConstructs;
        // Taking and dropping a reference on itself is safe only inside the protection.
        GetControllingUnknown()->AddRef();
        GetControllingUnknown()->Release();
        switch (log ? log->construct : TestObjectLog::Construct::Succeed) {
        case TestObjectLog::Construct::Fail:
            return E_ACCESSDENIED;
        case TestObjectLog::Construct::ThrowComError:
            throw CComError(DISP_E_OVERFLOW);
        case TestObjectLog::Construct::ThrowBadAlloc:
            throw std::bad_alloc();
        case TestObjectLog::Construct::ThrowOther:
            throw std::runtime_error("FinalConstruct");
        case TestObjectLog::Construct::Succeed:
            break;
        }
        return CoCreateFreeThreadedMarshaler(GetControllingUnknown(), &m_pUnkMarshaler);
    }

    void FinalRelease()
    {
        if (TestObjectLog* log = TestObjectLog::Current())
            ++log->finalReleases;
        // References taken while being destroyed must not destroy again.
        GetControllingUnknown()->AddRef();
        GetControllingUnknown()->Release();
        if (m_pUnkMarshaler)
            m_pUnkMarshaler->Release();
    }

    STDMETHOD(GetAlpha)(LONG* tag) override
    {
        *tag = kInnerTag;
        return S_OK;
    }
    STDMETHOD(GetBeta)(LONG* tag) override
    {
        *tag = kInnerTag;
        return S_OK;
    }
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override
    {
        return IsEqualIID(iid, __uuidof(ITestAlpha)) ? S_OK : S_FALSE;
    }
    TEST_DISPATCH_STUBS()

private:
    IUnknown* m_pUnkMarshaler = nullptr;
};

// A class that refuses to be aggregated.
class CTestSolitary
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CTestSolitary, &CLSID_TestSolitary>
    , public ITestAlpha
{
public:
    DECLARE_NO_REGISTRY()
    DECLARE_NOT_AGGREGATABLE(CTestSolitary)

    BEGIN_COM_MAP(CTestSolitary)
        COM_INTERFACE_ENTRY(ITestAlpha)
        COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(GetAlpha)(LONG* tag) override
    {
        *tag = kInnerTag;
        return S_OK;
    }
    TEST_DISPATCH_STUBS()
};

// An outer object that aggregates a CTestObject. Its own ITestBeta is listed before the
// delegation of the same interface, so it is the one answered; ITestAlpha and IMarshal come
// from the inner object.
class CTestOuter
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<CTestOuter, &CLSID_TestOuter>
    , public ITestBeta
{
public:
    DECLARE_NO_REGISTRY()
    DECLARE_NOT_AGGREGATABLE(CTestOuter)
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    BEGIN_COM_MAP(CTestOuter)
        COM_INTERFACE_ENTRY(ITestBeta)
        COM_INTERFACE_ENTRY(IDispatch)
        COM_INTERFACE_ENTRY_AGGREGATE(__uuidof(ITestBeta), m_inner)
        COM_INTERFACE_ENTRY_AGGREGATE(__uuidof(ITestAlpha), m_inner)
        COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_inner)
    END_COM_MAP()

    HRESULT FinalConstruct() { return CTestObject::CreateInstance(GetControllingUnknown(), &m_inner); }
    void FinalRelease()
    {
        if (m_inner)
            m_inner->Release();
    }

    IUnknown* Inner() const { return m_inner; }

    STDMETHOD(GetBeta)(LONG* tag) override
    {
        *tag = kOuterTag;
        return S_OK;
    }
    TEST_DISPATCH_STUBS()

private:
    IUnknown* m_inner = nullptr;
};

// A class object that answers ITestAlpha with S_OK and no pointer, as a faulty one might.
class CNullAnswerFactory : public CComClassFactory {
public:
    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) noexcept
    {
        if (ppv && IsEqualIID(iid, __uuidof(ITestAlpha))) {
            *ppv = nullptr;
            return S_OK;
        }
        return CComClassFactory::_InternalQueryInterface(iid, ppv);
    }
};

class CTestNullAnswer : public CTestSolitary {
public:
    DECLARE_CLASSFACTORY_EX(CNullAnswerFactory)
};

// The module of the test program, with the test classes in its object map.
class CFrameworkTestModule : public CAtlDllModuleT<CFrameworkTestModule> {
public:
    explicit CFrameworkTestModule(ATL_OBJMAP_ENTRY* objectMap) noexcept : CAtlDllModuleT(objectMap) {}
};

CFrameworkTestModule& TestModule();

#define TEST_OBJECT_MAP_ENTRIES()                            \
    OBJECT_ENTRY(CLSID_TestObject, CTestObject)              \
    OBJECT_ENTRY(CLSID_TestSolitary, CTestSolitary)          \
    OBJECT_ENTRY(CLSID_TestOuter, CTestOuter)                \
    OBJECT_ENTRY(CLSID_TestNullAnswer, CTestNullAnswer)
