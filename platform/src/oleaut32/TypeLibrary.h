// A type library over a constant description (lumo/TypeDescription.h): the library object and
// the type information objects of its types. The type information objects share the library's
// reference count, so any of them keeps the whole library, and the module it lives in, loaded.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <lumo/TypeDescription.h>

#include <atomic>
#include <memory>
#include <vector>

namespace lumo::platform {

class TypeLibrary;

// One view of a type. A dual interface has two: its dispatch view (TKIND_DISPATCH, the one the
// library lists, functions of the whole chain with the retval as the result) and its interface
// view (TKIND_INTERFACE, its own functions as declared), as Windows gives them.
class TypeInfo final : public ITypeInfo {
public:
    TypeInfo(TypeLibrary& library, UINT index, bool dispatchView);

    const LUMO_TYPEINFO_DESC& Description() const noexcept { return m_type; }
    bool IsDispatchView() const noexcept { return m_dispatchView; }
    TYPEKIND Kind() const noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeAttr(TYPEATTR** ppTypeAttr) override;
    STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override;
    STDMETHODIMP GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
    STDMETHODIMP GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
    STDMETHODIMP GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
    STDMETHODIMP GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
    STDMETHODIMP GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
    STDMETHODIMP GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
    STDMETHODIMP Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                        EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    STDMETHODIMP GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                  BSTR* pBstrHelpFile) override;
    STDMETHODIMP GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                             WORD* pwOrdinal) override;
    STDMETHODIMP GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
    STDMETHODIMP AddressOfMember(MEMBERID memid, INVOKEKIND invKind, PVOID* ppv) override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj) override;
    STDMETHODIMP GetMops(MEMBERID memid, BSTR* pBstrMops) override;
    STDMETHODIMP GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
    STDMETHODIMP_(void) ReleaseTypeAttr(TYPEATTR* pTypeAttr) override;
    STDMETHODIMP_(void) ReleaseFuncDesc(FUNCDESC* pFuncDesc) override;
    STDMETHODIMP_(void) ReleaseVarDesc(VARDESC* pVarDesc) override;

private:
    const LUMO_FUNC_DESC* FirstWithId(MEMBERID memid) const noexcept;
    const LUMO_PARAM_DESC* ParamsShown(const LUMO_FUNC_DESC& func, UINT* count) const noexcept;

    TypeLibrary& m_library;
    const UINT m_index;
    const LUMO_TYPEINFO_DESC& m_type;
    const bool m_dispatchView;
    std::vector<const LUMO_FUNC_DESC*> m_funcs;  // in the view's order
};

class TypeLibrary final : public ITypeLib {
public:
    // The library holds one reference of module (null for a built-in one) until its last release.
    static TypeLibrary* Create(const LUMO_TYPELIB_DESC& description, HMODULE module);
    // stdole: IUnknown, IDispatch, IEnumVARIANT; lives as long as the process.
    static TypeLibrary& Standard();

    const LUMO_TYPELIB_DESC& Description() const noexcept { return m_description; }
    TypeInfo* Primary(UINT index) const noexcept { return m_primary[index].get(); }
    TypeInfo* InterfaceView(UINT index) const noexcept { return m_interfaceViews[index].get(); }

    // References: an own type's primary or interface view, or an imported type.
    static HREFTYPE OwnRef(UINT index, bool interfaceView) noexcept { return (index << 1) | (interfaceView ? 1 : 0); }
    HREFTYPE RefOf(SHORT ref, bool interfaceView) const noexcept;
    HRESULT Resolve(HREFTYPE ref, ITypeInfo** info) const;
    const GUID* GuidOf(SHORT ref) const noexcept;

    ULONG AddRefShared() noexcept { return ++m_references; }
    ULONG ReleaseShared() noexcept;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefShared(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseShared(); }

    STDMETHODIMP_(UINT) GetTypeInfoCount() override;
    STDMETHODIMP GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetTypeInfoType(UINT index, TYPEKIND* pTKind) override;
    STDMETHODIMP GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) override;
    STDMETHODIMP GetLibAttr(TLIBATTR** ppTLibAttr) override;
    STDMETHODIMP GetTypeComp(ITypeComp** ppTComp) override;
    STDMETHODIMP GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                  BSTR* pBstrHelpFile) override;
    STDMETHODIMP IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) override;
    STDMETHODIMP FindName(LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                          USHORT* pcFound) override;
    STDMETHODIMP_(void) ReleaseTLibAttr(TLIBATTR* pTLibAttr) override;

private:
    TypeLibrary(const LUMO_TYPELIB_DESC& description, HMODULE module, bool immortal);
    ~TypeLibrary();

    const LUMO_TYPELIB_DESC& m_description;
    const HMODULE m_module;
    const bool m_immortal;
    std::atomic<ULONG> m_references{1};
    std::vector<std::unique_ptr<TypeInfo>> m_primary;
    std::vector<std::unique_ptr<TypeInfo>> m_interfaceViews;  // null where the type is no dual
};

const LUMO_TYPELIB_DESC& StandardLibraryDescription() noexcept;
// The standard library's type of that GUID, or null.
const LUMO_TYPEINFO_DESC* StandardType(REFGUID guid) noexcept;

// Reads the type library resource of a loaded module; TYPE_E_CANTLOADLIBRARY without one.
HRESULT DescriptionOfModule(HMODULE module, const LUMO_TYPELIB_DESC** description);

}  // namespace lumo::platform
