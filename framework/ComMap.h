// Interface maps: one declaration per class lists, in answering order, the interfaces its
// QueryInterface hands out.
//
//   BEGIN_COM_MAP(CLumoProperty)
//       COM_INTERFACE_ENTRY(ILumoProperty)                  // the first entry is the identity
//       COM_INTERFACE_ENTRY2(IDispatch, ILumoProperty)      // reached through a base
//       COM_INTERFACE_ENTRY(ISupportErrorInfo)
//       COM_INTERFACE_ENTRY_AGGREGATE(IID_IMarshal, m_pUnkMarshaler)
//   END_COM_MAP()
//
// The macros give the class _InternalQueryInterface (used by the object wrappers of
// ComObject.h), GetUnknown (its own IUnknown, not AddRef'd) and pure IUnknown methods, so
// that calls from inside the class resolve to the wrapper's.
#pragma once

#include <windows.h>

// One line of an interface map. An interface entry casts the object to the interface; an
// aggregate entry hands the query to an inner object.
struct ATL_INTMAP_ENTRY {
    const IID* piid;
    IUnknown* (*pfnInterfaceOf)(void* object);
    HRESULT (*pfnDelegate)(void* object, REFIID iid, void** ppv);
};

// Answers iid from entries (terminated by a null piid) for object, the class's own this.
// IUnknown is the first entry. A null ppv gives E_POINTER; otherwise *ppv is null unless the
// answer is S_OK.
HRESULT AtlInternalQueryInterface(void* object, const ATL_INTMAP_ENTRY* entries, REFIID iid, void** ppv) noexcept;

// The object's identity, not AddRef'd: its first entry, which must be an interface entry
// (null when it is not).
IUnknown* AtlIdentityOf(void* object, const ATL_INTMAP_ENTRY* entries) noexcept;

// Asks an inner aggregated object; a missing inner object answers nothing.
inline HRESULT AtlQueryAggregate(IUnknown* inner, REFIID iid, void** ppv) noexcept
{
    return inner ? inner->QueryInterface(iid, ppv) : E_NOINTERFACE;
}

#define BEGIN_COM_MAP(x)                                                                   \
public:                                                                                    \
    using _ComMapClass = x;                                                                \
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override = 0;                                \
    STDMETHOD_(ULONG, AddRef)() override = 0;                                                      \
    STDMETHOD_(ULONG, Release)() override = 0;                                                     \
    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) noexcept                       \
    {                                                                                      \
        return AtlInternalQueryInterface(this, _GetEntries(), iid, ppv);                   \
    }                                                                                      \
    IUnknown* GetUnknown() noexcept { return AtlIdentityOf(this, _GetEntries()); }        \
    static const ATL_INTMAP_ENTRY* _GetEntries() noexcept                                  \
    {                                                                                      \
        static const ATL_INTMAP_ENTRY entries[] = {

// IUnknown sits at the start of every interface (the binary standard), so the IUnknown* of
// an interface pointer is that interface pointer.
#define COM_INTERFACE_ENTRY_IID(iid, I)                                                    \
    {&(iid),                                                                               \
     [](void* object) -> IUnknown* { return static_cast<I*>(static_cast<_ComMapClass*>(object)); }, \
     nullptr},

#define COM_INTERFACE_ENTRY(I) COM_INTERFACE_ENTRY_IID(__uuidof(I), I)

#define COM_INTERFACE_ENTRY2(I, Via)                                                       \
    {&__uuidof(I),                                                                         \
     [](void* object) -> IUnknown* {                                                       \
         return static_cast<I*>(static_cast<Via*>(static_cast<_ComMapClass*>(object)));    \
     },                                                                                    \
     nullptr},

#define COM_INTERFACE_ENTRY_AGGREGATE(iid, punk)                                           \
    {&(iid), nullptr, [](void* object, REFIID queried, void** ppv) -> HRESULT {            \
         return AtlQueryAggregate(static_cast<_ComMapClass*>(object)->punk, queried, ppv); \
     }},

#define END_COM_MAP()                                                                      \
    {nullptr, nullptr, nullptr}                                                            \
    }                                                                                      \
    ;                                                                                      \
    return entries;                                                                        \
    }
