// Property collections and their enumerators as the tests meet them: made by program id,
// filled, walked, and their keys read back with null kept distinct from empty.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "ItemsTestSupport.h"
#include "ZoTestSupport.h"

// A name or namespace as read back: nullopt for a null string.
using KeyText = std::optional<OleString>;

struct PropertyKeyText {
    KeyText name;
    KeyText nameSpace;
    bool operator==(const PropertyKeyText&) const = default;
};

inline KeyText KeyTextOf(const OLECHAR* text)
{
    return text ? KeyText(OleString(text)) : std::nullopt;
}

inline KeyText KeyTextOf(const CComBSTR& text)
{
    return text.m_str ? KeyText(OleString(ViewOfBstr(text))) : std::nullopt;
}

// For test messages.
inline std::string Printable(const KeyText& text)
{
    if (!text)
        return "(null)";
    std::string narrow;
    for (OLECHAR unit : *text)
        narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return '"' + narrow + '"';
}

inline std::string Printable(const std::vector<PropertyKeyText>& keys)
{
    std::string text;
    for (const PropertyKeyText& key : keys)
        text += Printable(key.name) + "/" + Printable(key.nameSpace) + " ";
    return text;
}

inline CComPtr<ILumoEnumProperty> NewPropertyCollection()
{
    return CreateByProgId<ILumoEnumProperty>(OLESTR("LumoItems.LumoEnumProperty"));
}

// A collection holding the integers 1, 2, ... under the given names, all in the namespace "ns".
inline CComPtr<ILumoEnumProperty> CollectionOf(const std::vector<const OLECHAR*>& names)
{
    CComPtr<ILumoEnumProperty> collection = NewPropertyCollection();
    int value = 1;
    for (const OLECHAR* name : names)
        EXPECT_EQ(collection->Add(CComVariant(value++), CComBSTR(name), CComBSTR(OLESTR("ns"))), S_OK);
    return collection;
}

inline CComPtr<IEnumVARIANT> EnumeratorOf(ILumoEnumProperty* collection)
{
    CComPtr<IUnknown> unknown;
    EXPECT_EQ(collection->get__NewEnum(&unknown), S_OK);
    CComQIPtr<IEnumVARIANT> enumerator(unknown);
    return enumerator;
}

// The LumoProperty that an enumeration step yields.
inline CComPtr<ILumoProperty> PropertyIn(const VARIANT& element)
{
    EXPECT_EQ(element.vt, VT_DISPATCH);
    if (element.vt != VT_DISPATCH || !element.pdispVal)
        return {};
    CComQIPtr<ILumoProperty> property(element.pdispVal);
    return property;
}

inline PropertyKeyText KeyOf(ILumoProperty* property)
{
    CComBSTR name, nameSpace;
    EXPECT_EQ(property->get_Name(&name), S_OK);
    EXPECT_EQ(property->get_Namespace(&nameSpace), S_OK);
    return {KeyTextOf(name), KeyTextOf(nameSpace)};
}

// The keys that the rest of an enumeration yields, one Next(1) at a time.
inline std::vector<PropertyKeyText> RemainingKeys(IEnumVARIANT* enumerator)
{
    std::vector<PropertyKeyText> keys;
    for (;;) {
        CComVariant element;
        ULONG fetched = 0;
        const HRESULT hr = enumerator->Next(1, &element, &fetched);
        EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
        if (hr != S_OK || fetched != 1)
            break;
        if (CComPtr<ILumoProperty> property = PropertyIn(element))
            keys.push_back(KeyOf(property));
    }
    return keys;
}

inline std::vector<PropertyKeyText> KeysInOrder(ILumoEnumProperty* collection)
{
    CComPtr<IEnumVARIANT> enumerator = EnumeratorOf(collection);
    return enumerator ? RemainingKeys(enumerator) : std::vector<PropertyKeyText>();
}

inline LONG CountOf(ILumoEnumProperty* collection)
{
    LONG count = -1;
    EXPECT_EQ(collection->get_Count(&count), S_OK);
    return count;
}

// The thread's error object after a call that failed in the frame of function: reported
// against iid by the class of progId, its first entry the raise (code, message, file,
// function), its last the frame's own stack-trace entry.
inline void ExpectFrameError(REFIID iid, const OLECHAR* progId, const OLECHAR* file, const OLECHAR* function,
                             LONG code, const OLECHAR* message)
{
    const ErrorObjectFields error = TakeThreadErrorObject();
    ASSERT_TRUE(error.present);
    EXPECT_TRUE(IsEqualGUID(error.guid, iid));
    EXPECT_EQ(error.source, OleString(progId));
    const std::vector<EntryView> entries = EntriesOfXml(error.description);
    ASSERT_EQ(entries.size(), 2u) << "the raise and the frame's entry";
    EXPECT_EQ(entries[0].description, OleString(message));
    EXPECT_EQ(entries[0].code, Decimal(code));
    EXPECT_EQ(entries[0].file, OleString(file));
    EXPECT_EQ(entries[0].function, OleString(function));
    EXPECT_EQ(entries[1].description, OLESTR("Stacktrace."));
    EXPECT_EQ(entries[1].code, OLESTR("1005"));
    EXPECT_EQ(entries[1].function, OleString(function));
}
