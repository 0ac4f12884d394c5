// A member of a collection as it is stored: its key and its value.
#pragma once

#include <windows.h>

#include "ComVariant.h"

// One member: its key (a string, or the omitted-argument marker for none) and its value. A
// foreign object (one that is not of this library) lives only in the global interface table,
// so that every reader gets a reference valid in its own apartment.
class SItem {
public:
    SItem(const VARIANT& value, const VARIANT& key);
    SItem(SItem&& other) noexcept;
    SItem& operator=(SItem&& other) noexcept;
    ~SItem();
    SItem(const SItem&) = delete;
    SItem& operator=(const SItem&) = delete;

    // Whether the variant holds an object of this library, which is used directly from any
    // apartment; such objects answer ILumoItemBase.
    static bool IsCOMFTMObject(const VARIANT& value);

    // The one way a value is stored: foreign objects go to the global interface table,
    // VT_INT becomes VT_I4, by-reference values are stored as what they refer to.
    void SetItem(const VARIANT& value);
    // The value; a foreign object is fetched anew for the calling apartment, as VT_UNKNOWN.
    const VARIANT& GetVal();
    // The value field as it stands, without that refresh.
    const VARIANT& StoredValue() const { return m_value; }
    const VARIANT& Key() const { return m_key; }
    bool HasKey() const { return m_key.vt == VT_BSTR; }

private:
    void Revoke() noexcept;

    CComVariant m_key;
    CComVariant m_value;
    DWORD m_registration = 0;   // the global interface table's cookie; 0 for none
};
