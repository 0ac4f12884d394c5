// The type information of one view of a type: attributes, function descriptions, names,
// references, and IDispatch served through the call stubs.
#include "oleaut32/TypeLibrary.h"

#include <cstdlib>
#include <new>

#include "common/WideText.h"
#include "oleaut32/DispatchInvoke.h"

namespace lumo::platform {
namespace {

constexpr UINT kNoImpl = 0xFFFFFFFF;  // GetRefTypeOfImplType's -1: a dual's other view

HRESULT CopyText(LPCOLESTR text, BSTR* out)
{
    if (!out)
        return S_OK;
    *out = nullptr;
    if (text && !(*out = SysAllocString(text)))
        return E_OUTOFMEMORY;
    return S_OK;
}

// A FUNCDESC with its parameters and type chains in one block, freed whole.
class FuncDescBuilder {
public:
    FuncDescBuilder(const TypeLibrary& library, UINT params, UINT nodes) : m_library(library)
    {
        const size_t size = sizeof(FUNCDESC) + params * sizeof(ELEMDESC) + nodes * sizeof(TYPEDESC);
        m_block = static_cast<BYTE*>(std::calloc(1, size));
        if (m_block) {
            m_params = reinterpret_cast<ELEMDESC*>(m_block + sizeof(FUNCDESC));
            m_nodes = reinterpret_cast<TYPEDESC*>(m_block + sizeof(FUNCDESC) + params * sizeof(ELEMDESC));
        }
    }
    FUNCDESC* Desc() noexcept { return reinterpret_cast<FUNCDESC*>(m_block); }
    ELEMDESC* Params() noexcept { return m_params; }

    // The type, with `drop` of its pointers taken off (a retval shown as the result).
    void Fill(TYPEDESC& target, const LUMO_TYPE_DESC& type, USHORT drop)
    {
        TYPEDESC* current = &target;
        for (USHORT i = drop; i < type.indirections; ++i) {
            current->vt = VT_PTR;
            current->lptdesc = &m_nodes[m_used++];
            current = current->lptdesc;
        }
        current->vt = type.vt;
        if (type.vt == VT_USERDEFINED)
            current->hreftype = m_library.RefOf(type.ref, false);
    }

private:
    const TypeLibrary& m_library;
    BYTE* m_block = nullptr;
    ELEMDESC* m_params = nullptr;
    TYPEDESC* m_nodes = nullptr;
    UINT m_used = 0;
};

// A type's functions with its bases' first, down to IUnknown: a dispatch view shows IUnknown's
// and IDispatch's (restricted) before the interface's own, as a dual's type library does.
void CollectFunctions(const LUMO_TYPELIB_DESC& library, const LUMO_TYPEINFO_DESC& type,
                      std::vector<const LUMO_FUNC_DESC*>& funcs)
{
    if (type.implCount > 0) {
        const SHORT base = type.impls[0].ref;
        if (base >= 0) {
            CollectFunctions(library, library.types[base], funcs);
        } else if (const LUMO_TYPEINFO_DESC* imported = StandardType(library.imports[-1 - base].guid)) {
            CollectFunctions(StandardLibraryDescription(), *imported, funcs);
        }
    }
    for (UINT i = 0; i < type.funcCount; ++i)
        funcs.push_back(&type.funcs[i]);
}

}  // namespace

TypeInfo::TypeInfo(TypeLibrary& library, UINT index, bool dispatchView)
    : m_library(library), m_index(index), m_type(library.Description().types[index]), m_dispatchView(dispatchView)
{
    if (dispatchView) {
        CollectFunctions(library.Description(), m_type, m_funcs);
    } else {
        for (UINT i = 0; i < m_type.funcCount; ++i)
            m_funcs.push_back(&m_type.funcs[i]);
    }
}

TYPEKIND TypeInfo::Kind() const noexcept
{
    return m_dispatchView ? TKIND_DISPATCH : static_cast<TYPEKIND>(m_type.typekind);
}

STDMETHODIMP TypeInfo::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeInfo) {
        *ppv = static_cast<ITypeInfo*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TypeInfo::AddRef()
{
    return m_library.AddRefShared();
}

STDMETHODIMP_(ULONG) TypeInfo::Release()
{
    return m_library.ReleaseShared();
}

STDMETHODIMP TypeInfo::GetTypeAttr(TYPEATTR** ppTypeAttr)
{
    if (!ppTypeAttr)
        return E_INVALIDARG;
    auto* attributes = new (std::nothrow) TYPEATTR{};
    *ppTypeAttr = attributes;
    if (!attributes)
        return E_OUTOFMEMORY;
    attributes->guid = m_type.guid;
    attributes->lcid = m_library.Description().lcid;
    attributes->memidConstructor = MEMBERID_NIL;
    attributes->memidDestructor = MEMBERID_NIL;
    attributes->typekind = Kind();
    attributes->cFuncs = static_cast<WORD>(m_funcs.size());
    attributes->cImplTypes = m_type.implCount;
    // A dual's dispatch view is not itself a vtable interface that Automation can call.
    attributes->wTypeFlags = m_dispatchView ? m_type.typeflags & ~TYPEFLAG_FOLEAUTOMATION : m_type.typeflags;
    attributes->tdescAlias.vt = VT_EMPTY;
    if (attributes->typekind != TKIND_COCLASS) {
        attributes->cbSizeInstance = sizeof(void*);
        attributes->cbAlignment = alignof(void*);
        // A dispatch view's vtable is IDispatch's.
        attributes->cbSizeVft = static_cast<WORD>((m_dispatchView ? 7 : m_type.vtableSlots) * sizeof(void*));
    } else {
        attributes->cbSizeInstance = sizeof(void*);
        attributes->cbAlignment = alignof(void*);
    }
    return S_OK;
}

STDMETHODIMP_(void) TypeInfo::ReleaseTypeAttr(TYPEATTR* pTypeAttr)
{
    delete pTypeAttr;
}

const LUMO_PARAM_DESC* TypeInfo::ParamsShown(const LUMO_FUNC_DESC& func, UINT* count) const noexcept
{
    // The dispatch view shows the retval as the function's result, not as a parameter.
    *count = func.paramCount;
    if (m_dispatchView && *count > 0 && (func.params[*count - 1].flags & PARAMFLAG_FRETVAL))
        --*count;
    return func.params;
}

STDMETHODIMP TypeInfo::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc)
{
    if (!ppFuncDesc)
        return E_INVALIDARG;
    *ppFuncDesc = nullptr;
    if (index >= m_funcs.size())
        return TYPE_E_ELEMENTNOTFOUND;
    const LUMO_FUNC_DESC& func = *m_funcs[index];
    UINT shown = 0;
    const LUMO_PARAM_DESC* params = ParamsShown(func, &shown);
    const bool retvalAsResult = shown < func.paramCount;
    UINT nodes = func.returnType.indirections;
    for (UINT i = 0; i < func.paramCount; ++i)
        nodes += func.params[i].type.indirections;
    FuncDescBuilder builder(m_library, shown, nodes);
    FUNCDESC* desc = builder.Desc();
    if (!desc)
        return E_OUTOFMEMORY;
    desc->memid = func.memid;
    desc->lprgelemdescParam = shown ? builder.Params() : nullptr;
    desc->funckind = m_dispatchView ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
    desc->invkind = static_cast<INVOKEKIND>(func.invkind);
    desc->callconv = CC_STDCALL;
    desc->cParams = static_cast<SHORT>(shown);
    desc->oVft = static_cast<SHORT>(func.vtableSlot * sizeof(void*));
    desc->wFuncFlags = func.funcflags;
    for (UINT i = 0; i < shown; ++i) {
        ELEMDESC& element = builder.Params()[i];
        builder.Fill(element.tdesc, params[i].type, 0);
        element.paramdesc.wParamFlags = params[i].flags;
        if (params[i].flags & PARAMFLAG_FOPT)
            ++desc->cParamsOpt;
    }
    if (retvalAsResult)
        builder.Fill(desc->elemdescFunc.tdesc, func.params[func.paramCount - 1].type, 1);
    else if (m_dispatchView && func.returnType.vt == VT_HRESULT && func.returnType.indirections == 0)
        desc->elemdescFunc.tdesc.vt = VT_VOID;
    else
        builder.Fill(desc->elemdescFunc.tdesc, func.returnType, 0);
    *ppFuncDesc = desc;
    return S_OK;
}

STDMETHODIMP_(void) TypeInfo::ReleaseFuncDesc(FUNCDESC* pFuncDesc)
{
    std::free(pFuncDesc);
}

STDMETHODIMP TypeInfo::GetVarDesc(UINT /*index*/, VARDESC** ppVarDesc)
{
    if (!ppVarDesc)
        return E_INVALIDARG;
    *ppVarDesc = nullptr;
    return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP_(void) TypeInfo::ReleaseVarDesc(VARDESC* /*pVarDesc*/) {}

const LUMO_FUNC_DESC* TypeInfo::FirstWithId(MEMBERID memid) const noexcept
{
    for (const LUMO_FUNC_DESC* func : m_funcs)
        if (func->memid == memid)
            return func;
    return nullptr;
}

STDMETHODIMP TypeInfo::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames)
{
    if (!pcNames || (!rgBstrNames && cMaxNames))
        return E_INVALIDARG;
    *pcNames = 0;
    const LUMO_FUNC_DESC* func = FirstWithId(memid);
    if (!func)
        return TYPE_E_ELEMENTNOTFOUND;
    UINT shown = 0;
    const LUMO_PARAM_DESC* params = ParamsShown(*func, &shown);
    // The value a put function assigns is unnamed.
    if ((func->invkind == INVOKE_PROPERTYPUT || func->invkind == INVOKE_PROPERTYPUTREF) && shown > 0)
        --shown;
    UINT written = 0;
    auto add = [&](LPCOLESTR name) -> HRESULT {
        if (written == cMaxNames)
            return S_OK;
        if (!(rgBstrNames[written] = SysAllocString(name)))
            return E_OUTOFMEMORY;
        ++written;
        return S_OK;
    };
    HRESULT hr = add(func->name);
    for (UINT i = 0; SUCCEEDED(hr) && i < shown; ++i)
        hr = add(params[i].name);
    if (FAILED(hr)) {
        while (written)
            SysFreeString(rgBstrNames[--written]);
        return hr;
    }
    *pcNames = written;
    return S_OK;
}

STDMETHODIMP TypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType)
{
    if (!pRefType)
        return E_INVALIDARG;
    if (index == kNoImpl) {
        if (!m_dispatchView)
            return TYPE_E_ELEMENTNOTFOUND;
        *pRefType = TypeLibrary::OwnRef(m_index, true);
        return S_OK;
    }
    if (index >= m_type.implCount)
        return TYPE_E_ELEMENTNOTFOUND;
    if (m_dispatchView) {
        // Every dispatch view derives from IDispatch, which the chain's root imports.
        const LUMO_TYPELIB_DESC& library = m_library.Description();
        for (USHORT i = 0; i < library.importCount; ++i)
            if (library.imports[i].guid == IID_IDispatch) {
                *pRefType = m_library.RefOf(static_cast<SHORT>(-1 - i), false);
                return S_OK;
            }
        return TYPE_E_ELEMENTNOTFOUND;
    }
    // An interface derives from its base's interface view; a coclass names the primary views.
    *pRefType = m_library.RefOf(m_type.impls[index].ref, m_type.typekind == TKIND_INTERFACE);
    return S_OK;
}

STDMETHODIMP TypeInfo::GetImplTypeFlags(UINT index, INT* pImplTypeFlags)
{
    if (!pImplTypeFlags)
        return E_INVALIDARG;
    if (index >= m_type.implCount)
        return TYPE_E_ELEMENTNOTFOUND;
    *pImplTypeFlags = m_type.impls[index].flags;
    return S_OK;
}

STDMETHODIMP TypeInfo::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId)
{
    if (!rgszNames || !pMemId || cNames == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < cNames; ++i)
        pMemId[i] = MEMBERID_NIL;
    const WideView member = ViewOf(rgszNames[0]);
    const LUMO_FUNC_DESC* named = nullptr;
    for (const LUMO_FUNC_DESC* func : m_funcs)
        if (EqualsIgnoreAsciiCase(member, ViewOf(func->name))) {
            named = func;
            break;
        }
    if (!named)
        return DISP_E_UNKNOWNNAME;
    pMemId[0] = named->memid;
    HRESULT hr = S_OK;
    for (UINT i = 1; i < cNames; ++i) {
        // A parameter's id is its position; get and put of one property agree on it.
        const WideView wanted = ViewOf(rgszNames[i]);
        for (const LUMO_FUNC_DESC* func : m_funcs) {
            if (func->memid != named->memid || pMemId[i] != MEMBERID_NIL)
                continue;
            UINT shown = 0;
            const LUMO_PARAM_DESC* params = ParamsShown(*func, &shown);
            for (UINT p = 0; p < shown; ++p)
                if (EqualsIgnoreAsciiCase(wanted, ViewOf(params[p].name))) {
                    pMemId[i] = static_cast<MEMBERID>(p);
                    break;
                }
        }
        if (pMemId[i] == MEMBERID_NIL)
            hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

STDMETHODIMP TypeInfo::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                              VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr)
{
    if (!pvInstance || !pDispParams)
        return E_INVALIDARG;
    const DispatchCall call{m_library.Description(), m_type.guid, pvInstance};
    return InvokeFunction(call, m_funcs, memid, wFlags, *pDispParams, pVarResult, pExcepInfo, puArgErr);
}

STDMETHODIMP TypeInfo::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                        BSTR* pBstrHelpFile)
{
    LPCOLESTR name = m_type.name;
    LPCOLESTR doc = m_type.helpstring;
    if (memid != MEMBERID_NIL) {
        const LUMO_FUNC_DESC* func = FirstWithId(memid);
        if (!func)
            return TYPE_E_ELEMENTNOTFOUND;
        name = func->name;
        doc = func->helpstring;
    }
    if (pdwHelpContext)
        *pdwHelpContext = 0;
    HRESULT hr = CopyText(name, pBstrName);
    if (SUCCEEDED(hr))
        hr = CopyText(doc, pBstrDocString);
    if (SUCCEEDED(hr))
        hr = CopyText(nullptr, pBstrHelpFile);
    if (FAILED(hr) && pBstrName) {
        SysFreeString(*pBstrName);
        *pBstrName = nullptr;
    }
    return hr;
}

STDMETHODIMP TypeInfo::GetDllEntry(MEMBERID /*memid*/, INVOKEKIND /*invKind*/, BSTR* pBstrDllName, BSTR* pBstrName,
                                   WORD* pwOrdinal)
{
    // Only module types (TKIND_MODULE) have entry points; this library has none.
    if (pBstrDllName)
        *pBstrDllName = nullptr;
    if (pBstrName)
        *pBstrName = nullptr;
    if (pwOrdinal)
        *pwOrdinal = 0;
    return TYPE_E_BADMODULEKIND;
}

STDMETHODIMP TypeInfo::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo)
{
    return m_library.Resolve(hRefType, ppTInfo);
}

STDMETHODIMP TypeInfo::AddressOfMember(MEMBERID /*memid*/, INVOKEKIND /*invKind*/, PVOID* ppv)
{
    if (ppv)
        *ppv = nullptr;
    return TYPE_E_BADMODULEKIND;
}

STDMETHODIMP TypeInfo::CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj)
{
    if (!ppvObj)
        return E_INVALIDARG;
    *ppvObj = nullptr;
    if (m_type.typekind != TKIND_COCLASS)
        return TYPE_E_WRONGTYPEKIND;
    return CoCreateInstance(m_type.guid, pUnkOuter, CLSCTX_INPROC_SERVER, riid, ppvObj);
}

STDMETHODIMP TypeInfo::GetMops(MEMBERID /*memid*/, BSTR* pBstrMops)
{
    if (!pBstrMops)
        return E_INVALIDARG;
    *pBstrMops = nullptr;
    return S_OK;
}

STDMETHODIMP TypeInfo::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex)
{
    if (ppTLib) {
        m_library.AddRef();
        *ppTLib = &m_library;
    }
    if (pIndex)
        *pIndex = m_index;
    return S_OK;
}

STDMETHODIMP TypeInfo::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

}  // namespace lumo::platform
