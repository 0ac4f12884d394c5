#include "BenchDocuments.h"

#include <string>

#include "OleString.h"
#include "XmlBenchShape.h"

namespace {

OleString Wide(const std::string& ascii)
{
    return OleString(ascii.begin(), ascii.end());
}

CComVariant NoKey()
{
    CComVariant missing;
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    return missing;
}

bool AddProperty(ILumoItem* item, const OLECHAR* name, const VARIANT& value)
{
    CComPtr<ILumoEnumProperty> properties;
    return SUCCEEDED(item->get_Properties(&properties)) &&
           SUCCEEDED(properties->Add(value, CComBSTR(name), CComBSTR(OLESTR("urn:bench"))));
}

}  // namespace

CComPtr<ILumoItem> FilledItem(long properties)
{
    CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    CComPtr<ILumoEnumProperty> collection;
    if (!item || FAILED(item->get_Properties(&collection)))
        return {};
    const CComBSTR nameSpace(OleStringView(Wide(kXmlBenchNamespace)));
    for (long k = 0; k < properties; ++k) {
        const CComVariant value = XmlBenchHoldsInteger(k)
                                      ? CComVariant(static_cast<LONG>(k))
                                      : CComVariant(CComBSTR(OleStringView(Wide(XmlBenchStringValue(k)))));
        if (FAILED(collection->Add(value, CComBSTR(OleStringView(Wide(XmlBenchPropertyName(k)))), nameSpace)))
            return {};
    }
    return item;
}

CComPtr<ILumoEnum> FilledCollection(long members, long propertiesPerMember)
{
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    if (!collection)
        return collection;
    for (long i = 0; i < members; ++i) {
        const CComPtr<ILumoItem> item = FilledItem(propertiesPerMember);
        if (!item || FAILED(collection->Add(CComVariant(static_cast<IDispatch*>(item.p)), NoKey())))
            return {};
    }
    return collection;
}

CComBSTR LargeText(long characters)
{
    return CComBSTR(OleStringView(OleString(static_cast<size_t>(characters), OLECHAR('x'))));
}

CComPtr<ILumoItem> NestedItem(long depth, const CComBSTR& text)
{
    CComPtr<ILumoItem> item = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
    if (!item || !AddProperty(item, OLESTR("text"), CComVariant(text)))
        return {};
    for (long level = 0; level < depth; ++level) {
        CComPtr<ILumoItem> outer = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
        if (!outer || !AddProperty(outer, OLESTR("inner"), CComVariant(static_cast<IDispatch*>(item.p))))
            return {};
        item = outer;
    }
    return item;
}

CComPtr<ILumoEnum> NestedCollection(long depth, const CComBSTR& text)
{
    const CComPtr<ILumoItem> bottom = NestedItem(0, text);
    CComPtr<ILumoEnum> collection = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
    if (!bottom || !collection || FAILED(collection->Add(CComVariant(static_cast<IDispatch*>(bottom.p)), NoKey())))
        return {};
    for (long level = 0; level < depth; ++level) {
        CComPtr<ILumoItem> holder = CreateByProgId<ILumoItem>(OLESTR("LumoItems.LumoItem"));
        CComPtr<ILumoEnum> outer = CreateByProgId<ILumoEnum>(OLESTR("LumoItems.LumoEnum"));
        if (!holder || !outer ||
            !AddProperty(holder, OLESTR("inner"), CComVariant(static_cast<IDispatch*>(collection.p))) ||
            FAILED(outer->Add(CComVariant(static_cast<IDispatch*>(holder.p)), NoKey())))
            return {};
        collection = outer;
    }
    return collection;
}

LONG PropertyCount(ILumoItem* item)
{
    CComPtr<ILumoEnumProperty> collection;
    LONG count = -1;
    if (FAILED(item->get_Properties(&collection)) || FAILED(collection->get_Count(&count)))
        return -1;
    return count;
}

LONG MemberCount(ILumoEnum* collection)
{
    LONG count = -1;
    return SUCCEEDED(collection->get_Count(&count)) ? count : -1;
}
