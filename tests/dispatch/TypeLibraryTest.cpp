// The module's type library: loading by path and through the registry, the registration keys,
// and the descriptions against the test IDL.
#include "DispatchTestSupport.h"

namespace {

const OleString kLibraryKey = OleString(OLESTR("TypeLib\\")) + GuidText(LIBID_TestDispatchLib);
const OleString kInterfaceKey = OleString(OLESTR("Interface\\")) + GuidText(IID_ITestRecord);

using TypeLibraryTest = RegisteredModule;

TEST_F(TypeLibraryTest, LoadsFromTheModuleWithItsAttributes)
{
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLib(ModulePath().c_str(), &library), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, LIBID_TestDispatchLib);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, kModuleSysKind);
    library->ReleaseTLibAttr(attributes);
    EXPECT_EQ(library->GetTypeInfoCount(), 3u);
    BSTR name = nullptr;
    BSTR doc = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(OleString(name), OLESTR("TestDispatchLib"));
    EXPECT_EQ(OleString(doc), OLESTR("TestDispatch 1.0 Type Library"));
    SysFreeString(name);
    SysFreeString(doc);
    library->Release();
}

TEST_F(TypeLibraryTest, PathsThatHoldNoLibraryFail)
{
    ITypeLib* library = reinterpret_cast<ITypeLib*>(1);
    EXPECT_EQ(LoadTypeLib(OLESTR("/nonexistent/TestDispatch.so"), &library), TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(library, nullptr);
    for (const std::string path : {LUMO_MODULE_WITHOUT_RESOURCES, LUMO_FILE_NOT_A_MODULE})
        EXPECT_EQ(LoadTypeLib(OleString(path.begin(), path.end()).c_str(), &library), TYPE_E_CANTLOADLIBRARY) << path;
    EXPECT_EQ(LoadTypeLib(nullptr, &library), E_INVALIDARG);
}

TEST_F(TypeLibraryTest, RegistrationWritesAndRemovesTheKeys)
{
    ITypeLib* missing = nullptr;
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 1, 0, 0, &missing), TYPE_E_LIBNOTREGISTERED);
    RegisterLibrary();

    struct KeyCase { OleString key; const OLECHAR* name; OleString value; };
    const OleString marshaler = OLESTR("{00020424-0000-0000-C000-000000000046}");
    const KeyCase written[] = {
        {kLibraryKey + OLESTR("\\1.0"), nullptr, OLESTR("TestDispatch 1.0 Type Library")},
        {kLibraryKey + OLESTR("\\1.0\\FLAGS"), nullptr, OLESTR("8")},  // LIBFLAG_FHASDISKIMAGE
        {kLibraryKey + OLESTR("\\1.0\\0") + ModuleSysKindKey(), nullptr, ModulePath()},
        {kInterfaceKey, nullptr, OLESTR("ITestRecord")},
        {kInterfaceKey + OLESTR("\\ProxyStubClsid32"), nullptr, marshaler},
        {kInterfaceKey + OLESTR("\\ProxyStubClsid"), nullptr, marshaler},
        {kInterfaceKey + OLESTR("\\TypeLib"), nullptr, GuidText(LIBID_TestDispatchLib)},
        {kInterfaceKey + OLESTR("\\TypeLib"), OLESTR("Version"), OLESTR("1.0")},
        {OleString(OLESTR("Interface\\")) + GuidText(IID_ITestBase), nullptr, OLESTR("ITestBase")},
    };
    for (const KeyCase& c : written)
        EXPECT_EQ(ClassesRootText(c.key, c.name), c.value) << std::string(c.key.begin(), c.key.end());

    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 1, 0, 0x409, &library), S_OK);
    library->Release();
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 1, 1, 0, &library), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 2, 0, 0, &library), TYPE_E_LIBNOTREGISTERED);

    ASSERT_EQ(UnRegisterTypeLib(LIBID_TestDispatchLib, 1, 0, 0, kModuleSysKind), S_OK);
    EXPECT_EQ(ClassesRootText(kLibraryKey), OLESTR("<missing>"));
    HKEY handle = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, kLibraryKey.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, kInterfaceKey.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
    EXPECT_TRUE(FAILED(UnRegisterTypeLib(LIBID_TestDispatchLib, 1, 0, 0, kModuleSysKind)));
}

TEST_F(TypeLibraryTest, ExactVersionElseTheHighestMinorIsChosen)
{
    RegisterLibrary();
    // A later 1.2 registration whose file is gone.
    SetClassesRootText(kLibraryKey + OLESTR("\\1.2\\0") + ModuleSysKindKey(), OLESTR("/nonexistent/Later.so"));
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 1, 0, 0, &library), S_OK);
    library->Release();
    EXPECT_EQ(LoadRegTypeLib(LIBID_TestDispatchLib, 1, 1, 0, &library), TYPE_E_CANTLOADLIBRARY);
}

class TypeInfoTest : public RegisteredModule {
protected:
    void SetUp() override
    {
        RegisteredModule::SetUp();
        ASSERT_EQ(LoadTypeLib(ModulePath().c_str(), &m_library), S_OK);
        ASSERT_EQ(m_library->GetTypeInfoOfGuid(IID_ITestRecord, &m_info), S_OK);
    }
    void TearDown() override
    {
        m_info->Release();
        m_library->Release();
        RegisteredModule::TearDown();
    }

    ITypeLib* m_library = nullptr;
    ITypeInfo* m_info = nullptr;
};

TEST_F(TypeInfoTest, DualInterfaceHasDispatchAndInterfaceViews)
{
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(m_info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attributes->guid, IID_ITestRecord);
    EXPECT_EQ(attributes->cFuncs, 20);  // IDispatch's seven, ITestBase's one and ITestRecord's twelve
    EXPECT_EQ(attributes->cImplTypes, 1);
    EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE);
    m_info->ReleaseTypeAttr(attributes);

    HREFTYPE ref = 0;
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(m_info->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(m_info->GetRefTypeInfo(ref, &dispatch), S_OK);
    ASSERT_EQ(dispatch->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, IID_IDispatch);
    dispatch->ReleaseTypeAttr(attributes);
    ITypeLib* stdole = nullptr;
    ASSERT_EQ(dispatch->GetContainingTypeLib(&stdole, nullptr), S_OK);
    BSTR name = nullptr;
    stdole->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(OleString(name), OLESTR("stdole"));
    SysFreeString(name);
    stdole->Release();
    dispatch->Release();

    ITypeInfo* vtable = nullptr;
    ASSERT_EQ(m_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(m_info->GetRefTypeInfo(ref, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attributes->cFuncs, 12);
    EXPECT_EQ(attributes->cbSizeVft, (7 + 1 + 12) * sizeof(void*));
    EXPECT_EQ(attributes->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FNONEXTENSIBLE |
                                          TYPEFLAG_FDISPATCHABLE);
    vtable->ReleaseTypeAttr(attributes);
    ITypeInfo* base = nullptr;
    ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(vtable->GetRefTypeInfo(ref, &base), S_OK);
    BSTR baseName = nullptr;
    base->GetDocumentation(MEMBERID_NIL, &baseName, nullptr, nullptr, nullptr);
    EXPECT_EQ(OleString(baseName), OLESTR("ITestBase"));
    SysFreeString(baseName);
    base->Release();
    vtable->Release();
}

struct FuncCase {
    UINT index;
    const OLECHAR* name;
    MEMBERID memid;
    INVOKEKIND invkind;
    WORD funcflags;
    VARTYPE result;
    std::vector<std::pair<VARTYPE, USHORT>> params;  // top type and flags, retval left out
};

TEST_F(TypeInfoTest, FunctionDescriptionsFollowTheDefinition)
{
    const USHORT in = PARAMFLAG_FIN;
    const USHORT out = PARAMFLAG_FOUT;
    const WORD restricted = FUNCFLAG_FRESTRICTED;
    const FuncCase cases[] = {
        {0, OLESTR("QueryInterface"), 0x60000000, INVOKE_FUNC, restricted, VT_VOID, {{VT_PTR, in}, {VT_PTR, out}}},
        {1, OLESTR("AddRef"), 0x60000001, INVOKE_FUNC, restricted, VT_UI4, {}},
        {6, OLESTR("Invoke"), 0x60010003, INVOKE_FUNC, restricted, VT_VOID,
         {{VT_I4, in}, {VT_PTR, in}, {VT_UI4, in}, {VT_UI2, in}, {VT_PTR, in}, {VT_PTR, out}, {VT_PTR, out},
          {VT_PTR, out}}},
        {7, OLESTR("Describe"), 0x100, INVOKE_FUNC, 0, VT_BSTR, {}},
        {8, OLESTR("Value"), 0, INVOKE_PROPERTYGET, 0, VT_VARIANT, {}},
        {9, OLESTR("Value"), 0, INVOKE_PROPERTYPUT, 0, VT_VOID, {{VT_VARIANT, in}}},
        {13, OLESTR("Count"), 2, INVOKE_PROPERTYPUT, 0, VT_VOID, {{VT_I4, in}}},
        {15, OLESTR("Flag"), 3, INVOKE_PROPERTYPUT, 0, VT_VOID, {{VT_BOOL, in}}},
        {16, OLESTR("Format"), 4, INVOKE_FUNC, 0, VT_BSTR, {{VT_I4, in}, {VT_VARIANT, in | PARAMFLAG_FOPT}}},
        {17, OLESTR("Fail"), 5, INVOKE_FUNC, 0, VT_VOID, {}},
        {18, OLESTR("_NewEnum"), DISPID_NEWENUM, INVOKE_PROPERTYGET, restricted, VT_UNKNOWN, {}},
        {19, OLESTR("Same"), 6, INVOKE_FUNC, 0, VT_BOOL, {{VT_PTR, in}}},
    };
    for (const FuncCase& c : cases) {
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(m_info->GetFuncDesc(c.index, &desc), S_OK);
        BSTR names[4] = {};
        UINT count = 0;
        ASSERT_EQ(m_info->GetNames(desc->memid, names, 4, &count), S_OK);
        EXPECT_EQ(OleString(names[0]), c.name) << c.index;
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);
        EXPECT_EQ(desc->memid, c.memid) << c.index;
        EXPECT_EQ(desc->invkind, c.invkind) << c.index;
        EXPECT_EQ(desc->funckind, FUNC_DISPATCH) << c.index;
        EXPECT_EQ(desc->wFuncFlags, c.funcflags) << c.index;
        EXPECT_EQ(desc->elemdescFunc.tdesc.vt, c.result) << c.index;
        ASSERT_EQ(desc->cParams, static_cast<SHORT>(c.params.size())) << c.index;
        for (size_t p = 0; p < c.params.size(); ++p) {
            EXPECT_EQ(desc->lprgelemdescParam[p].tdesc.vt, c.params[p].first) << c.index << " param " << p;
            EXPECT_EQ(desc->lprgelemdescParam[p].paramdesc.wParamFlags, c.params[p].second) << c.index;
        }
        m_info->ReleaseFuncDesc(desc);
    }
    // An interface parameter is a pointer to the interface's own type.
    FUNCDESC* same = nullptr;
    ASSERT_EQ(m_info->GetFuncDesc(19, &same), S_OK);
    EXPECT_EQ(same->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_USERDEFINED);
    ITypeInfo* pointee = nullptr;
    ASSERT_EQ(m_info->GetRefTypeInfo(same->lprgelemdescParam[0].tdesc.lptdesc->hreftype, &pointee), S_OK);
    TYPEATTR* attributes = nullptr;
    pointee->GetTypeAttr(&attributes);
    EXPECT_EQ(attributes->guid, IID_ITestRecord);
    pointee->ReleaseTypeAttr(attributes);
    pointee->Release();
    m_info->ReleaseFuncDesc(same);
    FUNCDESC* beyond = nullptr;
    EXPECT_EQ(m_info->GetFuncDesc(20, &beyond), TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(TypeInfoTest, CoclassNamesItsDefaultInterface)
{
    ITypeInfo* coclass = nullptr;
    ASSERT_EQ(m_library->GetTypeInfoOfGuid(CLSID_TestRecord, &coclass), S_OK);
    ITypeLib* containing = nullptr;
    UINT index = 0;
    ASSERT_EQ(coclass->GetContainingTypeLib(&containing, &index), S_OK);
    containing->Release();
    TYPEKIND kind{};
    ASSERT_EQ(m_library->GetTypeInfoType(index, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ITypeInfo* implemented = nullptr;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, &implemented), S_OK);
    EXPECT_EQ(implemented, m_info);
    implemented->Release();
    coclass->Release();
}

}  // namespace
