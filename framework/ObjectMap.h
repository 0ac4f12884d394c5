// The object map: the module's creatable classes, in the module's order.
//
//   BEGIN_OBJECT_MAP(ObjectMap)
//       OBJECT_ENTRY(CLSID_LumoEnumVARIANT, CLumoEnumVARIANT)
//       ...
//   END_OBJECT_MAP()
//
// A class in the map declares how it registers (DECLARE_NO_REGISTRY or a registration
// script) and gets the rest from CComCoClass and the object base.
#pragma once

#include <windows.h>

#include "ComCreator.h"

// A component category a class implements or requires.
struct ATL_CATMAP_ENTRY {
    int iType;
    const GUID* pcatid;
};

struct ATL_OBJMAP_ENTRY {
    const CLSID* pclsid;
    HRESULT(WINAPI* pfnUpdateRegistry)(BOOL bRegister);
    ATL_CLASSOBJECT_CREATORFUNC pfnGetClassObject;
    ATL_CREATORFUNC pfnCreateInstance;
    IUnknown* pCF;   // the cached class object: created on first request, kept until Term
    const ATL_CATMAP_ENTRY* (*pfnGetCategoryMap)();
    void(WINAPI* pfnObjectMain)(bool starting);
};

#define BEGIN_OBJECT_MAP(x) static ATL_OBJMAP_ENTRY x[] = {

#define OBJECT_ENTRY(clsid, class)                                                                \
    {&(clsid), &class ::UpdateRegistry, &class ::_ClassFactoryCreatorClass::CreateInstance,       \
     &class ::_CreatorClass::CreateInstance, nullptr, &class ::GetCategoryMap, &class ::ObjectMain},

#define END_OBJECT_MAP()                                  \
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr} \
    }                                                     \
    ;

// A class that writes nothing to the registry.
#define DECLARE_NO_REGISTRY() \
    static HRESULT WINAPI UpdateRegistry(BOOL) noexcept { return S_OK; }
