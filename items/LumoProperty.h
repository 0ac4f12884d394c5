// LumoProperty: one named, namespaced value with its changed flag.
#pragma once

#include <windows.h>

#include "Framework.h"
#include "ItemResources.h"
#include "LumoItems.h"
#include "LumoObject.h"
#include "ZoLock.h"

class CLumoProperty
    : public CLumoObject<CLumoProperty, &CLSID_LumoProperty, ILumoProperty, ILumoItemBase>
{
public:
    static constexpr OLECHAR kClassName[] = OLESTR("CLumoProperty");
    static constexpr OLECHAR kSourceFile[] = OLESTR(".\\LumoProperty");

    DECLARE_REGISTRY_RESOURCEID(IDR_LUMOPROPERTY)

    CLumoProperty() noexcept;
    ~CLumoProperty();

    // ILumoItemBase
    STDMETHODIMP ToString(VARIANT nIndent, BSTR* pStr) override;
    STDMETHODIMP SaveXML(BSTR* pStrXML) override;
    STDMETHODIMP LoadXML(BSTR strXML) override;

    // ILumoProperty
    STDMETHODIMP get_Name(BSTR* pVal) override;
    STDMETHODIMP put_Name(BSTR newVal) override;
    STDMETHODIMP get_Value(VARIANT* pVal) override;
    STDMETHODIMP put_Value(VARIANT newVal) override;
    STDMETHODIMP get_Changed(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Changed(VARIANT_BOOL newVal) override;
    STDMETHODIMP get_Namespace(BSTR* pVal) override;
    STDMETHODIMP put_Namespace(BSTR newVal) override;

private:
    CZoCOMLock m_lock;
    CComBSTR m_name;
    CComBSTR m_namespace;
    VARIANT m_value;
    // Not given by the collection for a directly created property: such a one starts unchanged.
    VARIANT_BOOL m_changed = VARIANT_FALSE;
};
