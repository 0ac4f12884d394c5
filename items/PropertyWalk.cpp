#include "PropertyWalk.h"

#include <exception>

#include "ComBSTR.h"
#include "ComPtr.h"
#include "ComVariant.h"
#include "LumoItem.h"
#include "ZoCOMUtilities.h"
#include "ZoCheck.h"
#include "ZoFrame.h"
#include "ZoVariant.h"

// The walk serves the item's methods, and its errors carry the item's source name.
ZO_SOURCE_FILE_IS(CLumoItem::kSourceFile)

namespace {

// Runs the visit inside the collection's walk, and keeps what it throws to be raised once
// the walk has ended and the collection's lock is free.
class CEntryVisitor final : public ILumoPropertyEntryVisitor {
public:
    explicit CEntryVisitor(const std::function<bool(const PropertyEntryView&)>& visit) : m_visit(visit) {}

    HRESULT STDMETHODCALLTYPE Visit(BSTR name, BSTR nameSpace, const VARIANT* value, VARIANT_BOOL changed) override
    {
        try {
            return m_visit(PropertyEntryView{name, nameSpace, *value, changed != VARIANT_FALSE}) ? S_OK : S_FALSE;
        } catch (...) {
            m_thrown = std::current_exception();
            return E_ABORT;
        }
    }

    void RaiseWhatWasThrown() const
    {
        if (m_thrown)
            std::rethrow_exception(m_thrown);
    }

private:
    const std::function<bool(const PropertyEntryView&)>& m_visit;
    std::exception_ptr m_thrown;
};

void ForEachThroughEnumerator(ILumoEnumProperty* properties,
                              const std::function<bool(const PropertyEntryView&)>& visit,
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
        CComBSTR name, nameSpace;
        CComVariant value;
        VARIANT_BOOL changed = VARIANT_FALSE;
        ZoCheck(property->get_Name(&name), property);
        ZoCheck(property->get_Namespace(&nameSpace), property);
        ZoCheck(property->get_Value(&value), property);
        ZoCheck(property->get_Changed(&changed), property);
        if (!visit(PropertyEntryView{name, nameSpace, value, changed == VARIANT_TRUE}))
            return;
    }
}

}  // namespace

void ForEachProperty(ILumoEnumProperty* properties, const std::function<bool(const PropertyEntryView&)>& visit,
                     const OLECHAR* zoFunctionName)
{
    const CComPtr<ILumoPropertyEntries> entries = ZoQueryIfAnswers<ILumoPropertyEntries>(properties);
    if (!entries) {
        ForEachThroughEnumerator(properties, visit, zoFunctionName);
        return;
    }
    CEntryVisitor visitor(visit);
    const HRESULT hr = entries->VisitEntries(&visitor);
    visitor.RaiseWhatWasThrown();
    if (FAILED(hr))
        ZO_THROW_HR(hr);
}

CPropertyAdder::CPropertyAdder(ILumoEnumProperty* properties)
    : m_properties(properties)
    , m_entries(ZoQueryIfAnswers<ILumoPropertyEntries>(properties))
{
}

void CPropertyAdder::Add(BSTR name, BSTR nameSpace, CComVariant& value, std::optional<bool> changed)
{
    if (m_entries) {
        ZoCheck(m_entries->AddEntry(name, nameSpace, &value, changed.value_or(true) ? VARIANT_TRUE : VARIANT_FALSE),
                m_entries);
        return;
    }
    ZoCheck(m_properties->Add(value, name, nameSpace), m_properties);
    if (changed)
        ZoCheck(m_properties->SetPropertyChanged(name, nameSpace, *changed ? VARIANT_TRUE : VARIANT_FALSE),
                m_properties);
}
