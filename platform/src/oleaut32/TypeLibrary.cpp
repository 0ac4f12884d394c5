// The library object: its types, their references, its attributes and documentation.
#include "oleaut32/TypeLibrary.h"

#include <new>

#include "common/WideText.h"

namespace lumo::platform {
namespace {

// Imported types are numbered above every own type's reference.
constexpr HREFTYPE kImportedRefBase = 0x40000000;

bool IsDual(const LUMO_TYPEINFO_DESC& type) noexcept
{
    return type.typekind == TKIND_INTERFACE && (type.typeflags & TYPEFLAG_FDUAL);
}

HRESULT CopyText(LPCOLESTR text, BSTR* out)
{
    if (!out)
        return S_OK;
    *out = nullptr;
    if (text && !(*out = SysAllocString(text)))
        return E_OUTOFMEMORY;
    return S_OK;
}

}  // namespace

HRESULT DescriptionOfModule(HMODULE module, const LUMO_TYPELIB_DESC** description)
{
    *description = nullptr;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), u"TYPELIB");
    if (!resource || SizeofResource(module, resource) < sizeof(LUMO_TYPELIB_DESC))
        return TYPE_E_CANTLOADLIBRARY;
    auto* found = static_cast<const LUMO_TYPELIB_DESC*>(LockResource(LoadResource(module, resource)));
    if (!found || found->format != LUMO_TYPELIB_FORMAT)
        return TYPE_E_CANTLOADLIBRARY;
    *description = found;
    return S_OK;
}

TypeLibrary* TypeLibrary::Create(const LUMO_TYPELIB_DESC& description, HMODULE module)
{
    return new TypeLibrary(description, module, false);
}

TypeLibrary& TypeLibrary::Standard()
{
    // Never destroyed: type information handed out may outlive every static destructor.
    static TypeLibrary* const standard = new TypeLibrary(StandardLibraryDescription(), nullptr, true);
    return *standard;
}

TypeLibrary::TypeLibrary(const LUMO_TYPELIB_DESC& description, HMODULE module, bool immortal)
    : m_description(description), m_module(module), m_immortal(immortal)
{
    for (UINT i = 0; i < description.typeCount; ++i) {
        const bool dual = IsDual(description.types[i]);
        m_primary.push_back(std::make_unique<TypeInfo>(*this, i, dual));
        m_interfaceViews.push_back(dual ? std::make_unique<TypeInfo>(*this, i, false) : nullptr);
    }
}

TypeLibrary::~TypeLibrary()
{
    m_primary.clear();
    m_interfaceViews.clear();
    if (m_module)
        FreeLibrary(m_module);
}

ULONG TypeLibrary::ReleaseShared() noexcept
{
    const ULONG left = --m_references;
    if (left == 0 && !m_immortal)
        delete this;
    return left;
}

HREFTYPE TypeLibrary::RefOf(SHORT ref, bool interfaceView) const noexcept
{
    if (ref < 0)
        return kImportedRefBase + static_cast<HREFTYPE>(-1 - ref);
    const bool view = interfaceView && m_interfaceViews[static_cast<UINT>(ref)] != nullptr;
    return OwnRef(static_cast<UINT>(ref), view);
}

const GUID* TypeLibrary::GuidOf(SHORT ref) const noexcept
{
    if (ref >= 0)
        return ref < m_description.typeCount ? &m_description.types[ref].guid : nullptr;
    const int imported = -1 - ref;
    return imported < m_description.importCount ? &m_description.imports[imported].guid : nullptr;
}

HRESULT TypeLibrary::Resolve(HREFTYPE ref, ITypeInfo** info) const
{
    if (!info)
        return E_INVALIDARG;
    *info = nullptr;
    if (ref >= kImportedRefBase) {
        const HREFTYPE imported = ref - kImportedRefBase;
        if (imported >= m_description.importCount)
            return TYPE_E_ELEMENTNOTFOUND;
        return Standard().GetTypeInfoOfGuid(m_description.imports[imported].guid, info);
    }
    const UINT index = ref >> 1;
    if (index >= m_primary.size())
        return TYPE_E_ELEMENTNOTFOUND;
    TypeInfo* found = (ref & 1) ? m_interfaceViews[index].get() : m_primary[index].get();
    if (!found)
        return TYPE_E_ELEMENTNOTFOUND;
    found->AddRef();
    *info = found;
    return S_OK;
}

STDMETHODIMP TypeLibrary::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITypeLib) {
        *ppv = static_cast<ITypeLib*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(UINT) TypeLibrary::GetTypeInfoCount()
{
    return m_description.typeCount;
}

STDMETHODIMP TypeLibrary::GetTypeInfo(UINT index, ITypeInfo** ppTInfo)
{
    if (!ppTInfo)
        return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= m_primary.size())
        return TYPE_E_ELEMENTNOTFOUND;
    m_primary[index]->AddRef();
    *ppTInfo = m_primary[index].get();
    return S_OK;
}

STDMETHODIMP TypeLibrary::GetTypeInfoType(UINT index, TYPEKIND* pTKind)
{
    if (!pTKind)
        return E_INVALIDARG;
    if (index >= m_primary.size())
        return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = m_primary[index]->Kind();
    return S_OK;
}

STDMETHODIMP TypeLibrary::GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo)
{
    if (!ppTinfo)
        return E_INVALIDARG;
    *ppTinfo = nullptr;
    for (UINT i = 0; i < m_description.typeCount; ++i)
        if (m_description.types[i].guid == guid)
            return GetTypeInfo(i, ppTinfo);
    return TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP TypeLibrary::GetLibAttr(TLIBATTR** ppTLibAttr)
{
    if (!ppTLibAttr)
        return E_INVALIDARG;
    auto* attributes = new (std::nothrow) TLIBATTR{};
    *ppTLibAttr = attributes;
    if (!attributes)
        return E_OUTOFMEMORY;
    attributes->guid = m_description.libid;
    attributes->lcid = m_description.lcid;
    attributes->syskind = SYS_WIN64;
    attributes->wMajorVerNum = m_description.majorVersion;
    attributes->wMinorVerNum = m_description.minorVersion;
    attributes->wLibFlags = m_description.libflags;
    return S_OK;
}

STDMETHODIMP_(void) TypeLibrary::ReleaseTLibAttr(TLIBATTR* pTLibAttr)
{
    delete pTLibAttr;
}

STDMETHODIMP TypeLibrary::GetTypeComp(ITypeComp** ppTComp)
{
    if (ppTComp)
        *ppTComp = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TypeLibrary::GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                           BSTR* pBstrHelpFile)
{
    LPCOLESTR name = nullptr;
    LPCOLESTR doc = nullptr;
    if (index == -1) {
        name = m_description.name;
        doc = m_description.helpstring;
    } else if (index >= 0 && static_cast<UINT>(index) < m_description.typeCount) {
        name = m_description.types[index].name;
        doc = m_description.types[index].helpstring;
    } else {
        return TYPE_E_ELEMENTNOTFOUND;
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

STDMETHODIMP TypeLibrary::IsName(LPOLESTR szNameBuf, ULONG /*lHashVal*/, BOOL* pfName)
{
    if (!szNameBuf || !pfName)
        return E_INVALIDARG;
    *pfName = FALSE;
    const WideView wanted = ViewOf(szNameBuf);
    auto matches = [&](LPCOLESTR name) {
        if (!name || !EqualsIgnoreAsciiCase(wanted, ViewOf(name)))
            return false;
        // As on Windows, the buffer gets the name as the library spells it.
        WideView(ViewOf(name)).copy(szNameBuf, wanted.size());
        *pfName = TRUE;
        return true;
    };
    if (matches(m_description.name))
        return S_OK;
    for (UINT t = 0; t < m_description.typeCount; ++t) {
        const LUMO_TYPEINFO_DESC& type = m_description.types[t];
        if (matches(type.name))
            return S_OK;
        for (UINT f = 0; f < type.funcCount; ++f) {
            if (matches(type.funcs[f].name))
                return S_OK;
            for (UINT p = 0; p < type.funcs[f].paramCount; ++p)
                if (matches(type.funcs[f].params[p].name))
                    return S_OK;
        }
    }
    return S_OK;
}

STDMETHODIMP TypeLibrary::FindName(LPOLESTR szNameBuf, ULONG /*lHashVal*/, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                   USHORT* pcFound)
{
    if (!szNameBuf || !ppTInfo || !rgMemId || !pcFound)
        return E_INVALIDARG;
    const WideView wanted = ViewOf(szNameBuf);
    USHORT found = 0;
    for (UINT t = 0; t < m_description.typeCount && found < *pcFound; ++t) {
        const LUMO_TYPEINFO_DESC& type = m_description.types[t];
        MEMBERID memid = MEMBERID_NIL;
        bool match = type.name && EqualsIgnoreAsciiCase(wanted, ViewOf(type.name));
        for (UINT f = 0; !match && f < type.funcCount; ++f)
            if (EqualsIgnoreAsciiCase(wanted, ViewOf(type.funcs[f].name))) {
                match = true;
                memid = type.funcs[f].memid;
            }
        if (!match)
            continue;
        ppTInfo[found] = m_primary[t].get();
        ppTInfo[found]->AddRef();
        rgMemId[found] = memid;
        ++found;
    }
    *pcFound = found;
    return S_OK;
}

}  // namespace lumo::platform
