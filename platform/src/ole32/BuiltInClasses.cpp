#include "ole32/BuiltInClasses.h"

#include <atomic>
#include <new>

#include <msxml2.h>

#include "common/WideText.h"
#include "msxml3/DomDocument.h"
#include "ole32/GlobalInterfaceTable.h"

namespace lumo::platform {
namespace {

// One entry per class.
const BuiltInClass kBuiltInClasses[] = {
    {&CLSID_StdGlobalInterfaceTable, &GlobalInterfaceTable::CreateInstance, nullptr},
    {&CLSID_FreeThreadedDOMDocument30, &msxml::DomDocument::CreateInstance, u"Msxml2.FreeThreadedDOMDocument.3.0"},
};

class BuiltInClassFactory final : public IClassFactory {
public:
    explicit BuiltInClassFactory(CreateInstanceFunction createInstance) noexcept : m_createInstance(createInstance) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (!ppvObject)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter && riid != IID_IUnknown)
            return CLASS_E_NOAGGREGATION;
        return m_createInstance(pUnkOuter, riid, ppvObject);
    }
    // The built-in classes live as long as the runtime itself: nothing to keep loaded.
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    std::atomic<ULONG> m_refs{1};
    CreateInstanceFunction m_createInstance;
};

}  // namespace

const BuiltInClass* FindBuiltInClass(REFCLSID clsid) noexcept
{
    for (const auto& builtIn : kBuiltInClasses)
        if (*builtIn.clsid == clsid)
            return &builtIn;
    return nullptr;
}

const BuiltInClass* FindBuiltInClassByProgId(const WCHAR* progId) noexcept
{
    for (const auto& builtIn : kBuiltInClasses)
        if (builtIn.progId && EqualsIgnoreAsciiCase(ViewOf(builtIn.progId), ViewOf(progId)))
            return &builtIn;
    return nullptr;
}

HRESULT GetBuiltInClassObject(const BuiltInClass& builtIn, REFIID riid, void** ppv) noexcept
{
    auto* factory = new (std::nothrow) BuiltInClassFactory(builtIn.createInstance);
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace lumo::platform
