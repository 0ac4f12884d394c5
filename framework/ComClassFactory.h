// The standard class object: creates instances of one class, plain or aggregated, and
// holds the module while a client has locked it.
#pragma once

#include <windows.h>

#include "ComCreator.h"
#include "ComMap.h"
#include "ComObjectRoot.h"

class CComClassFactory : public CComObjectRootEx<CComMultiThreadModel>, public IClassFactory {
public:
    BEGIN_COM_MAP(CComClassFactory)
        COM_INTERFACE_ENTRY(IClassFactory)
    END_COM_MAP()

    void SetCreator(ATL_CREATORFUNC createInstance) noexcept { m_createInstance = createInstance; }

    // An outer object may only ask for IUnknown: an aggregated object's own interfaces
    // would give the outer a reference it cannot tell from its own.
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer && !IsEqualIID(iid, __uuidof(IUnknown)))
            return CLASS_E_NOAGGREGATION;
        if (!m_createInstance)
            return E_UNEXPECTED;
        return m_createInstance(outer, iid, ppv);
    }

    STDMETHOD(LockServer)(BOOL lock) override
    {
        if (!_pAtlModule)
            return S_OK;
        if (lock)
            _pAtlModule->Lock();
        else
            _pAtlModule->Unlock();
        return S_OK;
    }

private:
    ATL_CREATORFUNC m_createInstance = nullptr;
};

#define DECLARE_CLASSFACTORY_EX(cf) \
public:                             \
    using _ClassFactoryCreatorClass = CComClassObjectCreator<cf>;

#define DECLARE_CLASSFACTORY() DECLARE_CLASSFACTORY_EX(CComClassFactory)
