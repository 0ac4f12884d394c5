// The description of stdole, the library of the platform's own automation interfaces that
// every type library imports: IUnknown, IDispatch and IEnumVARIANT. Their functions are
// described but not callable through ITypeInfo::Invoke (no call stubs), and the GUID and
// structure parameters are shown as pointers to void, since stdole's records are not described.
#include "oleaut32/TypeLibrary.h"

namespace lumo::platform {
namespace {

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kOut = PARAMFLAG_FOUT;
constexpr LUMO_TYPE_DESC kVoidPointer = {VT_VOID, 1, 0};
constexpr LUMO_TYPE_DESC kVoidPointerPointer = {VT_VOID, 2, 0};
constexpr LUMO_TYPE_DESC kHresult = {VT_HRESULT, 0, 0};

const LUMO_PARAM_DESC kQueryInterfaceParams[] = {
    {u"riid", kVoidPointer, kIn},
    {u"ppvObj", kVoidPointerPointer, kOut},
};
const LUMO_FUNC_DESC kUnknownFuncs[] = {
    {u"QueryInterface", nullptr, 0x60000000, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 0, 2, kQueryInterfaceParams, kHresult,
     nullptr},
    {u"AddRef", nullptr, 0x60000001, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 1, 0, nullptr, {VT_UI4, 0, 0}, nullptr},
    {u"Release", nullptr, 0x60000002, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 2, 0, nullptr, {VT_UI4, 0, 0}, nullptr},
};

const LUMO_PARAM_DESC kGetTypeInfoCountParams[] = {{u"pctinfo", {VT_UINT, 1, 0}, kOut}};
const LUMO_PARAM_DESC kGetTypeInfoParams[] = {
    {u"itinfo", {VT_UINT, 0, 0}, kIn},
    {u"lcid", {VT_UI4, 0, 0}, kIn},
    {u"pptinfo", kVoidPointerPointer, kOut},
};
const LUMO_PARAM_DESC kGetIDsOfNamesParams[] = {
    {u"riid", kVoidPointer, kIn},
    {u"rgszNames", {VT_I1, 2, 0}, kIn},
    {u"cNames", {VT_UINT, 0, 0}, kIn},
    {u"lcid", {VT_UI4, 0, 0}, kIn},
    {u"rgdispid", {VT_I4, 1, 0}, kOut},
};
const LUMO_PARAM_DESC kInvokeParams[] = {
    {u"dispidMember", {VT_I4, 0, 0}, kIn},
    {u"riid", kVoidPointer, kIn},
    {u"lcid", {VT_UI4, 0, 0}, kIn},
    {u"wFlags", {VT_UI2, 0, 0}, kIn},
    {u"pdispparams", kVoidPointer, kIn},
    {u"pvarResult", {VT_VARIANT, 1, 0}, kOut},
    {u"pexcepinfo", kVoidPointer, kOut},
    {u"puArgErr", {VT_UINT, 1, 0}, kOut},
};
const LUMO_FUNC_DESC kDispatchFuncs[] = {
    {u"GetTypeInfoCount", nullptr, 0x60010000, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 3, 1, kGetTypeInfoCountParams,
     kHresult, nullptr},
    {u"GetTypeInfo", nullptr, 0x60010001, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 4, 3, kGetTypeInfoParams, kHresult,
     nullptr},
    {u"GetIDsOfNames", nullptr, 0x60010002, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 5, 5, kGetIDsOfNamesParams, kHresult,
     nullptr},
    {u"Invoke", nullptr, 0x60010003, INVOKE_FUNC, FUNCFLAG_FRESTRICTED, 6, 8, kInvokeParams, kHresult, nullptr},
};

const LUMO_PARAM_DESC kNextParams[] = {
    {u"celt", {VT_UI4, 0, 0}, kIn},
    {u"rgvar", {VT_VARIANT, 1, 0}, kIn},
    {u"pceltFetched", {VT_UI4, 1, 0}, kOut},
};
const LUMO_PARAM_DESC kSkipParams[] = {{u"celt", {VT_UI4, 0, 0}, kIn}};
const LUMO_PARAM_DESC kCloneParams[] = {{u"ppenum", {VT_USERDEFINED, 2, 2}, kOut}};
const LUMO_FUNC_DESC kEnumVariantFuncs[] = {
    {u"Next", nullptr, 0x60010000, INVOKE_FUNC, 0, 3, 3, kNextParams, kHresult, nullptr},
    {u"Skip", nullptr, 0x60010001, INVOKE_FUNC, 0, 4, 1, kSkipParams, kHresult, nullptr},
    {u"Reset", nullptr, 0x60010002, INVOKE_FUNC, 0, 5, 0, nullptr, kHresult, nullptr},
    {u"Clone", nullptr, 0x60010003, INVOKE_FUNC, 0, 6, 1, kCloneParams, kHresult, nullptr},
};

const LUMO_IMPL_DESC kDerivesFromUnknown[] = {{0, 0}};

const LUMO_TYPEINFO_DESC kStandardTypes[] = {
    {u"IUnknown", nullptr, {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     TKIND_INTERFACE, TYPEFLAG_FHIDDEN, 3, 3, kUnknownFuncs, 0, nullptr},
    {u"IDispatch", nullptr, {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     TKIND_INTERFACE, TYPEFLAG_FDISPATCHABLE, 7, 4, kDispatchFuncs, 1, kDerivesFromUnknown},
    {u"IEnumVARIANT", nullptr, {0x00020404, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
     TKIND_INTERFACE, TYPEFLAG_FHIDDEN, 7, 4, kEnumVariantFuncs, 1, kDerivesFromUnknown},
};

const LUMO_TYPELIB_DESC kStandardLibrary = {
    LUMO_TYPELIB_FORMAT,
    u"stdole",
    u"OLE Automation",
    {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}},
    2,
    0,
    0,
    0,
    3,
    kStandardTypes,
    0,
    nullptr,
};

}  // namespace

const LUMO_TYPELIB_DESC& StandardLibraryDescription() noexcept
{
    return kStandardLibrary;
}

const LUMO_TYPEINFO_DESC* StandardType(REFGUID guid) noexcept
{
    for (const LUMO_TYPEINFO_DESC& type : kStandardTypes)
        if (type.guid == guid)
            return &type;
    return nullptr;
}

}  // namespace lumo::platform
