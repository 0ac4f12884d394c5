// GUID, interface and class identifiers; __uuidof for interfaces that declare their id.
#pragma once

#include <cstring>
#include <type_traits>

#include "winnt.h"

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;

typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

#define GUID_NULL (::GUID{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}})
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    extern "C" const GUID name DECLSPEC_SELECTANY = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

// The interface id of a type, as the compiler's __uuidof gives it on Windows. An interface
// declares its id once with __CRT_UUID_DECL (the same macro the mingw headers use), so
// portable code can write __uuidof(IFoo) on every target.
template <class T>
const GUID& LumoInterfaceIdOf();

#define __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)               \
    template <>                                                                        \
    inline const GUID& LumoInterfaceIdOf<type>()                                       \
    {                                                                                  \
        static const GUID id = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};          \
        return id;                                                                     \
    }

#define __uuidof(type) \
    LumoInterfaceIdOf<std::remove_cv_t<std::remove_pointer_t<std::remove_reference_t<__typeof__(type)>>>>()
