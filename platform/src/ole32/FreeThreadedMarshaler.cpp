// The free-threaded marshaler: an aggregatable object answering IMarshal.
//
// The stand-in never marshals an interface from one apartment to another (there is one kind
// of apartment, and every object is called directly), so the marshaling methods have nothing
// to do and say so with E_NOTIMPL; DisconnectObject, which has no connections to cut, succeeds.
#include <atomic>
#include <new>

#include <objbase.h>

namespace {

class FreeThreadedMarshaler final : public IMarshal {
public:
    // A null outer makes the object its own controlling unknown.
    explicit FreeThreadedMarshaler(IUnknown* outer) noexcept : m_inner(*this), m_outer(outer ? outer : &m_inner) {}

    IUnknown* InnerUnknown() noexcept { return &m_inner; }

    // IMarshal's IUnknown belongs to the controlling unknown.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_outer->Release(); }

    STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID* pCid) override
    {
        if (pCid)
            *pCid = CLSID_NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* pSize) override
    {
        if (pSize)
            *pSize = 0;
        return E_NOTIMPL;
    }
    STDMETHODIMP MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnmarshalInterface(IStream*, REFIID, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP ReleaseMarshalData(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP DisconnectObject(DWORD) override { return S_OK; }

private:
    // The non-delegating unknown that the aggregating object holds and queries.
    class Inner final : public IUnknown {
    public:
        explicit Inner(FreeThreadedMarshaler& owner) noexcept : m_owner(owner) {}

        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
        {
            if (!ppv)
                return E_POINTER;
            if (riid == IID_IUnknown)
                *ppv = static_cast<IUnknown*>(this);
            else if (riid == IID_IMarshal)
                *ppv = static_cast<IMarshal*>(&m_owner);
            else {
                *ppv = nullptr;
                return E_NOINTERFACE;
            }
            static_cast<IUnknown*>(*ppv)->AddRef();
            return S_OK;
        }
        STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
        STDMETHODIMP_(ULONG) Release() override
        {
            const ULONG refs = --m_refs;
            if (refs == 0)
                delete &m_owner;
            return refs;
        }

    private:
        FreeThreadedMarshaler& m_owner;
        std::atomic<ULONG> m_refs{1};
    };

    Inner m_inner;
    IUnknown* m_outer;
};

}  // namespace

WINOLEAPI CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter, LPUNKNOWN* ppunkMarshal)
{
    if (!ppunkMarshal)
        return E_INVALIDARG;
    auto* marshaler = new (std::nothrow) FreeThreadedMarshaler(punkOuter);
    *ppunkMarshal = marshaler ? marshaler->InnerUnknown() : nullptr;
    return marshaler ? S_OK : E_OUTOFMEMORY;
}
