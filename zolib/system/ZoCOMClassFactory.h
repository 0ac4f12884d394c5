// A per-object cache of class objects keyed by class id, so that an object that creates the
// same classes again and again looks each class object up once. Used only under its owner's
// object lock.
#pragma once

#include <map>

#include <windows.h>

#include "ComPtr.h"

class CZoCOMClassFactory {
public:
    CZoCOMClassFactory() = default;
    virtual ~CZoCOMClassFactory();
    CZoCOMClassFactory(const CZoCOMClassFactory&) = delete;
    CZoCOMClassFactory& operator=(const CZoCOMClassFactory&) = delete;

    // Never null. Through the cached class object when there is one; otherwise, or when it
    // fails, through CZoCOMUtils::CreateObject with CLSCTX_ALL, whose error passes.
    CComPtr<IUnknown> CreateObject(REFCLSID clsid, const OLECHAR* progId);
    // Releases every cached class object.
    void Clear();

private:
    // By the first field, the two 16-bit fields, then the eight bytes, all unsigned.
    struct ClassIdOrder {
        bool operator()(const CLSID& left, const CLSID& right) const;
    };

    // A null entry: the class object was not obtained, and is asked for again next time.
    std::map<CLSID, CComPtr<IClassFactory>, ClassIdOrder> m_cache;
};
