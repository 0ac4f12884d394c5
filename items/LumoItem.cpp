#include "LumoItem.h"

#include <vector>

#include "ItemDocument.h"
#include "ItemText.h"
#include "PropertyWalk.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

ZO_SOURCE_FILE_IS(CLumoItem::kSourceFile)

namespace {

// The properties of a collection as Clone copies them.
struct PropertySnapshot {
    CComBSTR name;
    CComBSTR nameSpace;
    CComVariant value;
    VARIANT_BOOL changed = VARIANT_FALSE;
};

}  // namespace

void CLumoItem::ReleaseMembers()
{
    m_classFactory.Clear();
}

CComPtr<ILumoEnumProperty> CLumoItem::GetProperties()
{
    ZO_FUNCTION(OLESTR("CLumoItem::GetProperties"))
    {
        CZoLockHolder holder(&m_lock);
        if (!m_properties) {
            m_properties = ZoQueryIfAnswers<ILumoEnumProperty>(
                m_classFactory.CreateObject(CLSID_LumoEnumProperty, OLESTR("LumoItemsLib::LumoEnumProperty")));
            if (!m_properties)
                ZO_THROW_HR(E_POINTER);
        }
        return m_properties;
    }
    ZO_FUNCTION_END
}

STDMETHODIMP CLumoItem::get_GUID(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_GUID"), IID_ILumoItem)
    {
        *pVal = m_guid.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_GUID(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_GUID"), IID_ILumoItem)
    {
        m_guid = CopyUpToFirstZero(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_SchemaType(BSTR* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_SchemaType"), IID_ILumoItem)
    {
        *pVal = m_schemaType.Copy();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_SchemaType(BSTR newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_SchemaType"), IID_ILumoItem)
    {
        m_schemaType = CopyUpToFirstZero(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_Properties(ILumoEnumProperty** pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_Properties"), IID_ILumoItem)
    {
        *pVal = GetProperties().Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_Properties(ILumoEnumProperty* newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_Properties"), IID_ILumoItem)
    {
        // Anything that is not a property collection leaves the item with none: the next use
        // creates an empty one.
        m_properties = ZoQueryIfAnswers<ILumoEnumProperty>(newVal);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::Clone(VARIANT objTarget, ILumoItem** ppiRetval)
{
    if (!ppiRetval)
        return E_POINTER;
    // The source is read whole, under its lock, before the target is touched: an item cloned
    // into itself, or into an item that shares its collection, keeps its content, and two
    // items cloned into each other at once never wait on each other.
    ZO_METHOD_UNLOCKED(OLESTR("CLumoItem::Clone"), IID_ILumoItem)
    {
        *ppiRetval = nullptr;
        CComBSTR guid, schemaType;
        std::vector<PropertySnapshot> snapshot;
        {
            CZoLockHolder holder(&m_lock);
            guid = m_guid;
            schemaType = m_schemaType;
            ForEachProperty(
                GetProperties(),
                [&](const PropertyEntryView& entry) {
                    snapshot.push_back(PropertySnapshot{CComBSTR(entry.name), CComBSTR(entry.nameSpace),
                                                        CComVariant(entry.value),
                                                        entry.changed ? VARIANT_TRUE : VARIANT_FALSE});
                    return true;
                },
                zoFunctionName);
        }

        CComPtr<ILumoItem> target;
        if (CZoVariant::IsObject(objTarget))
            target = ZoQueryIfAnswers<ILumoItem>(objTarget.punkVal);
        CComPtr<ILumoEnumProperty> targetProperties;
        if (target) {
            ZoCheck(target->put_GUID(CComBSTR(OLESTR(""))), target);
            ZoCheck(target->put_SchemaType(CComBSTR(OLESTR(""))), target);
            ZoCheck(target->get_Properties(&targetProperties), target);
            ZoCheck(targetProperties->Clear(), targetProperties);
            ZoCheck(target->put_Changed(VARIANT_FALSE), target);
        } else {
            target = ZoQueryIfAnswers<ILumoItem>(
                CZoCOMUtils::CreateObject(CLSID_LumoItem, OLESTR("LumoItemsLib::LumoItem"), CLSCTX_ALL));
            if (!target)
                ZO_THROW_HR(E_POINTER);
            ZoCheck(target->get_Properties(&targetProperties), target);
        }

        ZoCheck(target->put_GUID(guid), target);
        ZoCheck(target->put_SchemaType(schemaType), target);
        for (const PropertySnapshot& entry : snapshot) {
            ZoCheck(targetProperties->Add(entry.value, entry.name, entry.nameSpace), targetProperties);
            ZoCheck(targetProperties->SetPropertyChanged(entry.name, entry.nameSpace, entry.changed),
                    targetProperties);
        }
        *ppiRetval = target.Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::get_Changed(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::get_Changed"), IID_ILumoItem)
    {
        bool changed = false;
        ForEachProperty(
            GetProperties(),
            [&](const PropertyEntryView& entry) {
                changed = entry.changed;
                return !changed;
            },
            zoFunctionName);
        *pVal = changed ? VARIANT_TRUE : VARIANT_FALSE;
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::put_Changed(VARIANT_BOOL newVal)
{
    ZO_METHOD(OLESTR("CLumoItem::put_Changed"), IID_ILumoItem)
    {
        CComPtr<ILumoEnumProperty> properties = GetProperties();
        ZoCheck(properties->put_Changed(newVal), properties);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::ToString(VARIANT nIndent, BSTR* pStr)
{
    if (!pStr)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::ToString"), IID_ILumoItem)
    {
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        const LONG level = IndentLevel(nIndent);
        const OleString prefix = IndentText(level);
        OleString text = prefix + OLESTR("LumoItem\n");
        text += prefix + OLESTR("GUID: ") + OleString(ViewOfOleText(m_guid)) + OLESTR("\n");
        text += prefix + OLESTR("SchemaType: ") + OleString(ViewOfOleText(m_schemaType)) + OLESTR("\n");
        CComPtr<ILumoEnumProperty> properties = GetProperties();
        CComBSTR propertiesText;
        ZoCheck(properties->ToString(NestedIndent(level), &propertiesText), properties);
        text += ViewOfBstr(propertiesText);
        *pStr = CComBSTR(OleStringView(text)).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::SaveXML(BSTR* pStrXML)
{
    if (!pStrXML)
        return E_POINTER;
    ZO_METHOD(OLESTR("CLumoItem::SaveXML"), IID_ILumoItem)
    {
        *pStrXML = nullptr;
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        *pStrXML = WriteItemDocument(m_classFactory, DocumentFields(), zoFunctionName).Detach();
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::LoadXML(BSTR strXML)
{
    ZO_METHOD(OLESTR("CLumoItem::LoadXML"), IID_ILumoItem)
    {
        ItemDocumentFields fields = DocumentFields();
        ReadItemDocument(m_classFactory, strXML, fields, zoFunctionName);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::SaveXML(IXMLDOMDocument* document, IXMLDOMNode* parent, LONG* height)
{
    ZO_METHOD(OLESTR("CLumoItem::SaveXML"), IID_ILumoItem)
    {
        const CWalkScope walking(m_walking, zoSourceFile, __LINE__, zoFunctionName);
        *height = WriteItemInto(m_classFactory, document, parent, DocumentFields(), zoFunctionName);
    }
    ZO_METHOD_END
}

STDMETHODIMP CLumoItem::LoadXML(IXMLDOMElement* element)
{
    ZO_METHOD(OLESTR("CLumoItem::LoadXML"), IID_ILumoItem)
    {
        ItemDocumentFields fields = DocumentFields();
        ReadItemFrom(m_classFactory, element, fields, zoFunctionName);
    }
    ZO_METHOD_END
}

ItemDocumentFields CLumoItem::DocumentFields()
{
    return {m_guid, m_schemaType, [this] { return GetProperties(); }, m_properties != nullptr};
}
