// The generated interface header as clients compile against it: the ids, __uuidof, and
// each interface's vtable (slot order and exact signatures).
#include <LumoItems.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "InterfaceIdsOtherUnit.h"

namespace {

GUID GuidFromText(const std::string& text)
{
    auto hex = [&](std::size_t offset, std::size_t length) {
        return static_cast<uint32_t>(std::stoul(text.substr(offset, length), nullptr, 16));
    };
    GUID guid{hex(0, 8), static_cast<uint16_t>(hex(9, 4)), static_cast<uint16_t>(hex(14, 4)), {}};
    guid.Data4[0] = static_cast<uint8_t>(hex(19, 2));
    guid.Data4[1] = static_cast<uint8_t>(hex(21, 2));
    for (std::size_t i = 0; i < 6; ++i) {
        guid.Data4[2 + i] = static_cast<uint8_t>(hex(24 + 2 * i, 2));
    }
    return guid;
}

struct IdCase {
    const char* name;
    const GUID& defined;
    const GUID& declared;  // what __uuidof gives
    const char* text;      // as written in the IDL
};

TEST(InterfaceHeader, IdsAreTheFixedOnes)
{
    const IdCase cases[] = {
        {"ILumoItemBase", IID_ILumoItemBase, __uuidof(ILumoItemBase), "6453D040-2503-4F8D-AD07-370EBBD789BA"},
        {"ILumoProperty", IID_ILumoProperty, __uuidof(ILumoProperty), "8611D4D4-7329-4A20-90F7-B0ACEAB946D2"},
        {"ILumoEnumProperty", IID_ILumoEnumProperty, __uuidof(ILumoEnumProperty),
         "9658FEB6-A1C7-4603-A451-4FB4456769B0"},
        {"ILumoItem", IID_ILumoItem, __uuidof(ILumoItem), "B13825B8-47E5-49C1-A53C-79C77377B46F"},
        {"ILumoEnum", IID_ILumoEnum, __uuidof(ILumoEnum), "23952BD8-231B-4704-8494-AA4048E45632"},
        {"ILumoEnumVARIANT", IID_ILumoEnumVARIANT, __uuidof(ILumoEnumVARIANT),
         "53E1D6E8-7B71-4A53-9316-C882AB583897"},
        {"LumoEnumVARIANT", CLSID_LumoEnumVARIANT, __uuidof(LumoEnumVARIANT), "DDB7F787-B356-4C85-86C5-9E909D55A003"},
        {"LumoEnum", CLSID_LumoEnum, __uuidof(LumoEnum), "35D0ED65-5390-4D43-91E4-5BF4CF87BD88"},
        {"LumoEnumProperty", CLSID_LumoEnumProperty, __uuidof(LumoEnumProperty),
         "8E11C325-7768-4F8B-8C82-846AD12236FA"},
        {"LumoItem", CLSID_LumoItem, __uuidof(LumoItem), "9E97B642-BCC0-413C-A155-8C1A65F61ADE"},
        {"LumoProperty", CLSID_LumoProperty, __uuidof(LumoProperty), "80F7E49D-89F8-44EC-8854-7D45398283E2"},
        {"LumoItemsLib", LIBID_LumoItemsLib, LIBID_LumoItemsLib, "83E85C3E-D975-408F-B7E6-9F42E5A39950"},
    };
    for (const IdCase& c : cases) {
        EXPECT_TRUE(c.defined == GuidFromText(c.text)) << c.name;
        EXPECT_TRUE(c.declared == c.defined) << c.name;
    }
}

TEST(InterfaceHeader, IdsAreOneObjectInEveryUnit)
{
    const IdAddresses other = IdAddressesInOtherUnit();
    EXPECT_EQ(other.interfaceId, &IID_ILumoItem);
    EXPECT_EQ(other.classId, &CLSID_LumoItem);
    EXPECT_EQ(other.libraryId, &LIBID_LumoItemsLib);
}

// The vtable slot of a virtual member function. g++ follows the Itanium C++ ABI on Linux and
// with mingw alike: a pointer to a virtual member holds 1 + the slot's byte offset.
template <class Member>
std::ptrdiff_t VtableSlot(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &member, sizeof words);
    return (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// The first virtual function a class adds after everything the interface declares.
template <class Interface>
struct AfterInterface : Interface {
    virtual void FirstAddedSlot() {}
};

struct Slot {
    const char* name;
    std::ptrdiff_t slot;
};

struct LayoutCase {
    const char* name;
    std::ptrdiff_t firstSlot;  // after the slots of the interface it derives from
    std::vector<Slot> members;
    std::ptrdiff_t endSlot;
};

// One member with the exact signature the header must declare: a different one does not compile.
#define SLOT(Interface, member, ...) \
    Slot { #member, VtableSlot<HRESULT (STDMETHODCALLTYPE Interface::*)(__VA_ARGS__)>(&Interface::member) }
#define END_SLOT(Interface) VtableSlot(&AfterInterface<Interface>::FirstAddedSlot)

constexpr std::ptrdiff_t kUnknownSlots = 3;
constexpr std::ptrdiff_t kDispatchSlots = 7;
constexpr std::ptrdiff_t kItemBaseSlots = kDispatchSlots + 3;

TEST(InterfaceHeader, VtablesHoldTheMembersInOrder)
{
    const LayoutCase cases[] = {
        {"ILumoItemBase",
         kDispatchSlots,
         {
             SLOT(ILumoItemBase, ToString, VARIANT, BSTR*),
             SLOT(ILumoItemBase, SaveXML, BSTR*),
             SLOT(ILumoItemBase, LoadXML, BSTR),
         },
         END_SLOT(ILumoItemBase)},
        {"ILumoProperty",
         kItemBaseSlots,
         {
             SLOT(ILumoProperty, get_Name, BSTR*),
             SLOT(ILumoProperty, put_Name, BSTR),
             SLOT(ILumoProperty, get_Value, VARIANT*),
             SLOT(ILumoProperty, put_Value, VARIANT),
             SLOT(ILumoProperty, get_Changed, VARIANT_BOOL*),
             SLOT(ILumoProperty, put_Changed, VARIANT_BOOL),
             SLOT(ILumoProperty, get_Namespace, BSTR*),
             SLOT(ILumoProperty, put_Namespace, BSTR),
         },
         END_SLOT(ILumoProperty)},
        {"ILumoEnumProperty",
         kItemBaseSlots,
         {
             SLOT(ILumoEnumProperty, get_Item, BSTR, BSTR, VARIANT*),
             SLOT(ILumoEnumProperty, put_Item, BSTR, BSTR, VARIANT),
             SLOT(ILumoEnumProperty, get__NewEnum, IUnknown**),
             SLOT(ILumoEnumProperty, Add, VARIANT, BSTR, BSTR),
             SLOT(ILumoEnumProperty, Remove, BSTR, BSTR),
             SLOT(ILumoEnumProperty, get_Count, LONG*),
             SLOT(ILumoEnumProperty, Clear),
             SLOT(ILumoEnumProperty, KeyExists, BSTR, BSTR, VARIANT_BOOL*),
             SLOT(ILumoEnumProperty, put_Changed, VARIANT_BOOL),
             SLOT(ILumoEnumProperty, IsPropertyChanged, BSTR, BSTR, VARIANT_BOOL*),
             SLOT(ILumoEnumProperty, SetPropertyChanged, BSTR, BSTR, VARIANT_BOOL),
         },
         END_SLOT(ILumoEnumProperty)},
        {"ILumoItem",
         kItemBaseSlots,
         {
             SLOT(ILumoItem, get_GUID, BSTR*),
             SLOT(ILumoItem, put_GUID, BSTR),
             SLOT(ILumoItem, get_SchemaType, BSTR*),
             SLOT(ILumoItem, put_SchemaType, BSTR),
             SLOT(ILumoItem, get_Properties, ILumoEnumProperty**),
             SLOT(ILumoItem, put_Properties, ILumoEnumProperty*),
             SLOT(ILumoItem, Clone, VARIANT, ILumoItem**),
             SLOT(ILumoItem, get_Changed, VARIANT_BOOL*),
             SLOT(ILumoItem, put_Changed, VARIANT_BOOL),
         },
         END_SLOT(ILumoItem)},
        {"ILumoEnum",
         kItemBaseSlots,
         {
             SLOT(ILumoEnum, get_Item, VARIANT, VARIANT*),
             SLOT(ILumoEnum, put_Item, VARIANT, VARIANT),
             SLOT(ILumoEnum, get__NewEnum, IUnknown**),
             SLOT(ILumoEnum, get_Key, LONG, VARIANT*),
             SLOT(ILumoEnum, Add, VARIANT, VARIANT),
             SLOT(ILumoEnum, Remove, VARIANT),
             SLOT(ILumoEnum, get_Count, LONG*),
             SLOT(ILumoEnum, Clear),
             SLOT(ILumoEnum, AddAll, ILumoEnum*),
             SLOT(ILumoEnum, KeyExists, VARIANT, VARIANT_BOOL*),
             SLOT(ILumoEnum, Find, BSTR, BSTR, VARIANT, ILumoItemBase**),
             SLOT(ILumoEnum, FindAll, BSTR, BSTR, VARIANT, ILumoEnum**),
         },
         END_SLOT(ILumoEnum)},
        {"ILumoEnumVARIANT",
         kUnknownSlots,
         {
             SLOT(ILumoEnumVARIANT, SetEnumHost, IUnknown*, void*, LONG),
         },
         END_SLOT(ILumoEnumVARIANT)},
    };
    for (const LayoutCase& c : cases) {
        for (std::size_t i = 0; i < c.members.size(); ++i) {
            EXPECT_EQ(c.members[i].slot, c.firstSlot + static_cast<std::ptrdiff_t>(i))
                << c.name << "::" << c.members[i].name;
        }
        EXPECT_EQ(c.endSlot, c.firstSlot + static_cast<std::ptrdiff_t>(c.members.size()))
            << c.name << " has members the table does not list";
    }
}

// The dual interfaces derive IDispatch through ILumoItemBase; the enumerator's own interface
// is custom and must not.
static_assert(std::is_base_of_v<IDispatch, ILumoItemBase>);
static_assert(std::is_base_of_v<ILumoItemBase, ILumoProperty>);
static_assert(std::is_base_of_v<ILumoItemBase, ILumoEnumProperty>);
static_assert(std::is_base_of_v<ILumoItemBase, ILumoItem>);
static_assert(std::is_base_of_v<ILumoItemBase, ILumoEnum>);
static_assert(std::is_base_of_v<IUnknown, ILumoEnumVARIANT> && !std::is_base_of_v<IDispatch, ILumoEnumVARIANT>);

}  // namespace
