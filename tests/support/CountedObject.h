// An object of no library of ours, for reference-count tests: it counts its references and
// never deletes itself (the test owns it). It answers IUnknown, and IDispatch unless told
// not to; any other interface gets queryFailure, E_NOINTERFACE or a failure of another kind.
#pragma once

#include <windows.h>

class CountedObject : public IDispatch {
public:
    explicit CountedObject(bool dispatch = true) : m_dispatch(dispatch) {}
    explicit CountedObject(HRESULT queryFailure) : m_queryFailure(queryFailure) {}
    CountedObject(const CountedObject&) = delete;
    CountedObject& operator=(const CountedObject&) = delete;
    ULONG References() const { return m_references; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || (m_dispatch && riid == __uuidof(IDispatch))) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return m_queryFailure;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override { return --m_references; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    bool m_dispatch = true;
    HRESULT m_queryFailure = E_NOINTERFACE;
    ULONG m_references = 1;
};
