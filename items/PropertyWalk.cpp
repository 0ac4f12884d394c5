#include "PropertyWalk.h"

#include "ComPtr.h"
#include "ComVariant.h"
#include "LumoItem.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

// The walk serves the item's methods, and its errors carry the item's source name.
ZO_SOURCE_FILE_IS(CLumoItem::kSourceFile)

void ForEachProperty(ILumoEnumProperty* properties, const std::function<bool(ILumoProperty*)>& visit,
                     const OLECHAR* zoFunctionName)
{
    LONG count = 0;
    ZoCheck(properties->get_Count(&count), properties);
    CComPtr<IUnknown> unknown;
    ZoCheck(properties->get__NewEnum(&unknown), properties);
    CComPtr<IEnumVARIANT> enumerator = ZoQueryIfAnswers<IEnumVARIANT>(unknown);
    if (!enumerator)
        ZO_THROW_HR(E_POINTER);
    ZoCheck(enumerator->Reset(), enumerator);
    for (LONG i = 0; i < count; ++i) {
        CComVariant element;
        ZoCheck(enumerator->Next(1, &element, nullptr), enumerator);
        CComPtr<ILumoProperty> property;
        if (CZoVariant::IsObject(element))
            property = ZoQueryIfAnswers<ILumoProperty>(element.punkVal);
        if (!property)
            ZO_THROW_HR(E_POINTER);
        if (!visit(property.p))
            return;
    }
}
