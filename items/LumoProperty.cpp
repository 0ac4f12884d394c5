#include "LumoProperty.h"

#include "ItemText.h"
#include "StoredValue.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE_IS(CLumoProperty::kSourceFile)

CLumoProperty::CLumoProperty() noexcept
{
    VariantInit(&m_value);
}

CLumoProperty::~CLumoProperty()
{
    VariantClear(&m_value);
}

STDMETHODIMP CLumoProperty::ToString(VARIANT nIndent, BSTR* pStr)
{
    if (!pStr)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoProperty::ToString"), IID_ILumoProperty)
    {
        OleString text = IndentText(IndentLevel(nIndent));
        text += OLESTR("LumoProperty ");
        text.append(m_name.m_str ? m_name.m_str : OLESTR(""), m_name.Length());
        text += OLESTR(" (");
        text.append(m_namespace.m_str ? m_namespace.m_str : OLESTR(""), m_namespace.Length());
        text += OLESTR("): ");
        text += CZoVariant::ToString(m_value);
        *pStr = CComBSTR(OleStringView(text)).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::SaveXML(BSTR* pStrXML)
{
    if (!pStrXML)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoProperty::SaveXML"), IID_ILumoProperty)
    {
        ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::LoadXML(BSTR /*strXML*/)
{
    ZO_METHOD(OLESTR("CLumoProperty::LoadXML"), IID_ILumoProperty)
    {
        ZO_RAISE(ZO_ERR_UNIMPLEMENTED);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::get_Name(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoProperty::get_Name"), IID_ILumoProperty)
    {
        *pVal = m_name.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::put_Name(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoProperty::put_Name"), IID_ILumoProperty)
    {
        m_name = CopyUpToFirstZero(newVal);
        m_changed = VARIANT_TRUE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::get_Value(VARIANT* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoProperty::get_Value"), IID_ILumoProperty)
    {
        // The caller's variant is overwritten, never cleared: it may hold anything.
        VariantInit(pVal);
        ZoCheckPlatform(VariantCopy(pVal, &m_value));
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::put_Value(VARIANT newVal)
{
    ZO_METHOD(OLESTR("CLumoProperty::put_Value"), IID_ILumoProperty)
    {
        // Copied aside first, so that a failed copy keeps the old value. A by-reference
        // value is stored as what it refers to: the caller's cell may change or go away.
        CComVariant copy = DereferencedCopy(newVal);
        ZoCheckPlatform(copy.Detach(&m_value));
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::get_Changed(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    CZoLockHolder holder(&m_lock);
    *pVal = m_changed;
    return S_OK;
}

STDMETHODIMP CLumoProperty::put_Changed(VARIANT_BOOL newVal)
{
    CZoLockHolder holder(&m_lock);
    m_changed = newVal;
    return S_OK;
}

STDMETHODIMP CLumoProperty::get_Namespace(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoProperty::get_Namespace"), IID_ILumoProperty)
    {
        *pVal = m_namespace.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoProperty::put_Namespace(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoProperty::put_Namespace"), IID_ILumoProperty)
    {
        m_namespace = CopyUpToFirstZero(newVal);
        m_changed = VARIANT_TRUE;
    }
    ZO_METHOD_END
}
