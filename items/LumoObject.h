// The base of the library's five classes. A class names its interfaces once, its own first:
//
//   class CLumoItem : public CLumoObject<CLumoItem, &CLSID_LumoItem, ILumoItem, ILumoItemBase>
//
// From that list come the class's bases (IDispatchImpl for a dual first interface, and every
// listed interface not reached through the first), its interface map (the listed interfaces,
// IDispatch when dual, ISupportErrorInfo, and IMarshal answered by the free-threaded
// marshaler, so that every object is used directly from any apartment), its
// InterfaceSupportsErrorInfo (the listed interfaces) and its FinalConstruct and FinalRelease.
//
// The class gives kClassName, the name its frames carry, and may give ReleaseMembers(), which
// FinalRelease runs inside the class's release frame.
#pragma once

#include <array>
#include <type_traits>

#include <windows.h>

#include "Framework.h"
#include "LumoItems.h"
#include "ZoFrame.h"

// A frame name made of a class's name and a method's, joined by "::" when compiled.
template <size_t Length>
struct LumoFrameName {
    OLECHAR text[Length];
};

template <const OLECHAR* Class, const OLECHAR* Method>
inline constexpr auto kLumoFrameName = [] {
    constexpr size_t classLength = std::char_traits<OLECHAR>::length(Class);
    constexpr size_t methodLength = std::char_traits<OLECHAR>::length(Method);
    LumoFrameName<classLength + 2 + methodLength + 1> name{};
    size_t next = 0;
    for (size_t i = 0; i < classLength; ++i)
        name.text[next++] = Class[i];
    name.text[next++] = ':';
    name.text[next++] = ':';
    for (size_t i = 0; i < methodLength; ++i)
        name.text[next++] = Method[i];
    return name;
}();

inline constexpr OLECHAR kLumoFinalConstruct[] = OLESTR("FinalConstruct");
inline constexpr OLECHAR kLumoFinalRelease[] = OLESTR("FinalRelease");

// The base through which the first interface is implemented: IDispatchImpl for a dual one.
template <class Own>
using LumoOwnInterfaceBase =
    std::conditional_t<std::is_base_of_v<IDispatch, Own>,
                       IDispatchImpl<Own, nullptr, &LIBID_LumoItemsLib, 1, 0>, Own>;

// Nothing, for a listed interface that the first one already derives from.
template <class Interface>
struct LumoReachedThroughOwn {};

template <class Own, class Interface>
using LumoFurtherInterfaceBase =
    std::conditional_t<std::is_base_of_v<Interface, Own>, LumoReachedThroughOwn<Interface>, Interface>;

template <class T, const CLSID* Clsid, class Own, class... Further>
class CLumoObject
    : public CComObjectRootEx<CComMultiThreadModel>
    , public CComCoClass<T, Clsid>
    , public ISupportErrorInfo
    , public LumoOwnInterfaceBase<Own>
    , public LumoFurtherInterfaceBase<Own, Further>...
{
public:
    DECLARE_PROTECT_FINAL_CONSTRUCT()

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override = 0;
    STDMETHOD_(ULONG, AddRef)() override = 0;
    STDMETHOD_(ULONG, Release)() override = 0;

    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) noexcept
    {
        return AtlInternalQueryInterface(this, _GetEntries(), iid, ppv);
    }
    IUnknown* GetUnknown() noexcept { return AtlIdentityOf(this, _GetEntries()); }

    HRESULT FinalConstruct()
    {
        return ::ZoMethodFrame(nullptr, __uuidof(Own), this->GetObjectCLSID(),
                               kLumoFrameName<T::kClassName, kLumoFinalConstruct>.text, T::kSourceFile,
                               [&] { return CoCreateFreeThreadedMarshaler(this->GetControllingUnknown(), &m_marshaler); },
                               __LINE__);
    }

    void FinalRelease()
    {
        ::ZoDestructorFrame(kLumoFrameName<T::kClassName, kLumoFinalRelease>.text, T::kSourceFile,
                            [&] { static_cast<T*>(this)->ReleaseMembers(); }, __LINE__);
        m_marshaler.Release();
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == __uuidof(Own) || ((riid == __uuidof(Further)) || ...) ? S_OK : S_FALSE;
    }

protected:
    // What the class releases before its marshaler; nothing unless it says otherwise.
    void ReleaseMembers() {}

private:
    static constexpr bool kDual = std::is_base_of_v<IDispatch, Own>;

    template <class Interface>
    static constexpr ATL_INTMAP_ENTRY InterfaceEntry()
    {
        return {&__uuidof(Interface),
                [](void* object) -> IUnknown* { return static_cast<Interface*>(static_cast<CLumoObject*>(object)); },
                nullptr};
    }

    static constexpr ATL_INTMAP_ENTRY MarshalerEntry()
    {
        return {&IID_IMarshal, nullptr, [](void* object, REFIID queried, void** ppv) -> HRESULT {
                    return AtlQueryAggregate(static_cast<CLumoObject*>(object)->m_marshaler.p, queried, ppv);
                }};
    }

    static const ATL_INTMAP_ENTRY* _GetEntries() noexcept
    {
        static const auto entries = [] {
            std::array<ATL_INTMAP_ENTRY, 1 + sizeof...(Further) + (kDual ? 1 : 0) + 3> list{};
            size_t next = 0;
            list[next++] = InterfaceEntry<Own>();
            ((list[next++] = InterfaceEntry<Further>()), ...);
            if constexpr (kDual)
                list[next++] = InterfaceEntry<IDispatch>();
            list[next++] = InterfaceEntry<ISupportErrorInfo>();
            list[next++] = MarshalerEntry();
            list[next] = {nullptr, nullptr, nullptr};
            return list;
        }();
        return entries.data();
    }

    CComPtr<IUnknown> m_marshaler;
};
