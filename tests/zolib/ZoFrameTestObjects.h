// Small objects for the frame tests: interfaces of their own, hand-made COM objects and a
// lock that records what happens to it.
#pragma once

#include <atomic>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "ZoLock.h"

MIDL_INTERFACE("8D3C2A10-5B7E-4F11-9C1D-2E6A7B8C9D01")
ITestFrameOuter : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Call() = 0;
};
__CRT_UUID_DECL(ITestFrameOuter, 0x8D3C2A10, 0x5B7E, 0x4F11, 0x9C, 0x1D, 0x2E, 0x6A, 0x7B, 0x8C, 0x9D, 0x01)

MIDL_INTERFACE("8D3C2A11-5B7E-4F11-9C1D-2E6A7B8C9D02")
ITestFrameInner : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Fail() = 0;
};
__CRT_UUID_DECL(ITestFrameInner, 0x8D3C2A11, 0x5B7E, 0x4F11, 0x9C, 0x1D, 0x2E, 0x6A, 0x7B, 0x8C, 0x9D, 0x02)

// IUnknown for an object that lives on the stack: counts, never deletes.
template <class Interface>
class StackComObject : public Interface, public ISupportErrorInfo {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Interface))
            *ppv = static_cast<Interface*>(this);
        else if (riid == __uuidof(ISupportErrorInfo) && m_hasErrorSupport)
            *ppv = static_cast<ISupportErrorInfo*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == __uuidof(Interface) && m_setsErrorObjects ? S_OK : S_FALSE;
    }

    // Whether the object answers ISupportErrorInfo, and with S_OK for its interface.
    void SetErrorSupport(bool answers, bool setsErrorObjects)
    {
        m_hasErrorSupport = answers;
        m_setsErrorObjects = setsErrorObjects;
    }

private:
    std::atomic<ULONG> m_references{1};
    bool m_hasErrorSupport = true;
    bool m_setsErrorObjects = true;
};

// An error object of a misbehaving component: reading its description throws.
template <class Thrown>
class ThrowingErrorInfo : public IErrorInfo {
public:
    explicit ThrowingErrorInfo(Thrown thrown) : m_thrown(thrown) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IErrorInfo)) {
            *ppv = static_cast<IErrorInfo*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    HRESULT STDMETHODCALLTYPE GetGUID(GUID* guid) override
    {
        *guid = GUID_NULL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSource(BSTR* text) override { return Empty(text); }
    HRESULT STDMETHODCALLTYPE GetDescription(BSTR*) override { throw m_thrown; }
    HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* text) override { return Empty(text); }
    HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* context) override
    {
        *context = 0;
        return S_OK;
    }

private:
    static HRESULT Empty(BSTR* text)
    {
        *text = nullptr;
        return S_OK;
    }
    Thrown m_thrown;
    std::atomic<ULONG> m_references{1};
};

// Records taking and releasing, and whether the thread had an error object on release.
class RecordingLock : public CZoLock {
public:
    bool Lock() override
    {
        events.push_back("lock");
        return true;
    }
    void Unlock() override
    {
        IErrorInfo* current = nullptr;
        const bool present = GetErrorInfo(0, &current) == S_OK && current;
        if (current) {
            SetErrorInfo(0, current);
            current->Release();
        }
        events.push_back(present ? "unlock with error object" : "unlock");
    }
    std::vector<std::string> events;
};
