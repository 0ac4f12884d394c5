#include "ZoCOMClassFactory.h"

#include <cstring>
#include <tuple>

#include <objbase.h>

#include "ZoCOMUtilities.h"
#include "ZoFrame.h"

ZO_SOURCE_FILE(".\\ZoCOMClassFactory")

bool CZoCOMClassFactory::ClassIdOrder::operator()(const CLSID& left, const CLSID& right) const
{
    if (std::tie(left.Data1, left.Data2, left.Data3) != std::tie(right.Data1, right.Data2, right.Data3))
        return std::tie(left.Data1, left.Data2, left.Data3) < std::tie(right.Data1, right.Data2, right.Data3);
    return std::memcmp(left.Data4, right.Data4, sizeof(left.Data4)) < 0;
}

CZoCOMClassFactory::~CZoCOMClassFactory()
{
    ZO_DESTRUCTOR(OLESTR("CZoCOMClassFactory::~CZoCOMClassFactory"))
    {
        Clear();
    }
    ZO_DESTRUCTOR_END
}

CComPtr<IUnknown> CZoCOMClassFactory::CreateObject(REFCLSID clsid, const OLECHAR* progId)
{
    ZO_FUNCTION(OLESTR("CZoCOMClassFactory::CreateObject"))
    {
        CComPtr<IClassFactory>& classObject = m_cache[clsid];
        if (!classObject) {
            CComPtr<IClassFactory> obtained;
            if (SUCCEEDED(CZoCOMUtils::GetClassObject(clsid, CLSCTX_ALL, __uuidof(IClassFactory),
                                                      reinterpret_cast<void**>(&obtained))))
                classObject = obtained;
        }
        if (classObject) {
            CComPtr<IUnknown> created;
            const HRESULT hr =
                classObject->CreateInstance(nullptr, __uuidof(IUnknown), reinterpret_cast<void**>(&created));
            if (SUCCEEDED(hr) && created)
                return created;
        }
        // The fallback's failure is the one reported: it names the class.
        return CZoCOMUtils::CreateObject(clsid, progId, CLSCTX_ALL);
    }
    ZO_FUNCTION_END
}

void CZoCOMClassFactory::Clear()
{
    ZO_FUNCTION(OLESTR("CZoCOMClassFactory::Clear"))
    {
        m_cache.clear();
    }
    ZO_FUNCTION_END
}
