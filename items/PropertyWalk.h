// A walk over the entries of a property collection. A collection of this module shows its
// entries in place, under its lock; any other is walked through its enumerator, as any client
// walks it.
#pragma once

#include <functional>
#include <optional>

#include <windows.h>

#include "ComPtr.h"
#include "ComVariant.h"
#include "LumoItems.h"

// One entry of a property collection, valid for the visit only.
struct PropertyEntryView {
    BSTR name;
    BSTR nameSpace;
    const VARIANT& value;
    bool changed;
};

// Shown an entry by a collection of this module. S_OK goes on to the next entry; any other
// status ends the walk with that status.
struct ILumoPropertyEntryVisitor {
    virtual HRESULT STDMETHODCALLTYPE Visit(BSTR name, BSTR nameSpace, const VARIANT* value, VARIANT_BOOL changed) = 0;

protected:
    ~ILumoPropertyEntryVisitor() = default;
};

// Answered by this module's property collections, so that their own readers, writers and
// copies need no snapshot object per entry and no second lookup. Not in the type library: no
// client sees it.
MIDL_INTERFACE("B30E89F0-1C91-422F-82A9-7C935365EC20")
ILumoPropertyEntries : public IUnknown
{
    // Shows every entry in key order, under the collection's lock: the visitor must call
    // nothing that may wait for another object.
    virtual HRESULT STDMETHODCALLTYPE VisitEntries(ILumoPropertyEntryVisitor* visitor) = 0;
    // As Add followed by SetPropertyChanged, the value taken (left empty) rather than copied.
    virtual HRESULT STDMETHODCALLTYPE AddEntry(BSTR name, BSTR nameSpace, VARIANT* value, VARIANT_BOOL changed) = 0;
};
__CRT_UUID_DECL(ILumoPropertyEntries, 0xB30E89F0, 0x1C91, 0x422F, 0x82, 0xA9, 0x7C, 0x93, 0x53, 0x65, 0xEC, 0x20)

// Visits each entry of the collection until visit returns false. A collection of another
// module is read through its enumerator, n elements (the count read first), each of which
// must be a property: any other raises E_POINTER. Errors, the visit's own included, are raised
// in the caller's frame, whose name it is given.
void ForEachProperty(ILumoEnumProperty* properties, const std::function<bool(const PropertyEntryView&)>& visit,
                     const OLECHAR* zoFunctionName);

// Adds the entries of a reader to a collection: in place to one of this module, through Add
// and SetPropertyChanged to any other.
class CPropertyAdder {
public:
    explicit CPropertyAdder(ILumoEnumProperty* properties);

    // Takes the value, which is left empty; changed: the flag to set, if any, else the flag
    // is as Add leaves it. Failures are raised as the statuses they are.
    void Add(BSTR name, BSTR nameSpace, CComVariant& value, std::optional<bool> changed);

private:
    CComPtr<ILumoEnumProperty> m_properties;
    CComPtr<ILumoPropertyEntries> m_entries;
};
