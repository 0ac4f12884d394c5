// The test module registering itself from its resources: the scripts with the module's path
// and application id, the type library found in the module or beside it, removal, and the
// registrar reading a script resource as it was saved.
#include <filesystem>
#include <system_error>

#include "DispatchTestSupport.h"
#include "ModuleEntryPoint.h"
#include "Registrar.h"
#include "RegistryTree.h"
#include "TypeLibRegistration.h"

namespace fs = std::filesystem;

namespace {

const OleString kAppId = OLESTR("{3C1A9E20-5B7D-4F61-8E2A-0D4B6C8F1A30}");
const OleString kClassKey = OleString(OLESTR("CLSID\\")) + GuidText(CLSID_TestRecord);
const OleString kLibraryKey = OleString(OLESTR("TypeLib\\")) + GuidText(LIBID_TestDispatchLib);
const OleString kRegisteredLibraryPath = kLibraryKey + OLESTR("\\1.0\\0") + ModuleSysKindKey();

OleString Wide(const fs::path& path)
{
    const std::u16string text = path.u16string();
    return OleString(text.begin(), text.end());
}

OleString FileNameOf(HMODULE module)
{
    OLECHAR path[4 * MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, 4 * MAX_PATH);
    return OleString(path, length);
}

HRESULT CallEntryPoint(HMODULE module, const char* name)
{
    const auto call = GetModuleEntryPoint<HRESULT(STDAPICALLTYPE*)()>(module, name);
    return call ? call() : E_UNEXPECTED;
}

// What registration writes below HKEY_CLASSES_ROOT, by key.
RegistryTree RegisteredTrees()
{
    RegistryTree all;
    for (const OleString& key : {kClassKey, OleString(OLESTR("TestDispatch.TestRecord.1")),
                                 OleString(OLESTR("TestDispatch.TestRecord")), OLESTR("AppID\\") + kAppId,
                                 OleString(OLESTR("AppID\\TestDispatch.DLL")), kLibraryKey}) {
        for (auto& [path, values] : ReadRegistryTree(HKEY_CLASSES_ROOT, key))
            all[key + (path.empty() ? OLESTR("") : OLESTR("\\")) + path] = values;
    }
    return all;
}

class ServerRegistration : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_NE(m_module = LoadLibraryW(ModulePath().c_str()), nullptr);
        static int counter = 0;
        m_folder = fs::canonical(fs::temp_directory_path()) / "lumoitems-tests" /
                   ("registration-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        for (HMODULE copy : m_copies)
            FreeLibrary(copy);
        FreeLibrary(m_module);
        CoUninitialize();
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    // A copy of a module file at name below the test's folder, loaded.
    HMODULE LoadCopy(const std::string& source, const fs::path& name)
    {
        const fs::path target = m_folder / name;
        fs::create_directories(target.parent_path());
        fs::copy_file(source, target, fs::copy_options::overwrite_existing);
        HMODULE copy = LoadLibraryW(Wide(target).c_str());
        if (copy)
            m_copies.push_back(copy);
        return copy;
    }

    ScopedFreshRegistry m_registry;
    HMODULE m_module = nullptr;
    fs::path m_folder;
    std::vector<HMODULE> m_copies;
};

TEST_F(ServerRegistration, WritesTheScriptsAndTheTypeLibraryAndAgainTheSame)
{
    ASSERT_EQ(CallEntryPoint(m_module, "DllRegisterServer"), S_OK);
    const OleString path = FileNameOf(m_module);
    const OleString description = OLESTR("@=s:TestRecord Class");
    const OleString clsid = OLESTR("@=s:") + GuidText(CLSID_TestRecord);
    const RegistryTree expected = {
        {kClassKey, {description, OLESTR("AppID=s:") + kAppId}},
        {kClassKey + OLESTR("\\InprocServer32"), {OLESTR("@=s:") + path, OLESTR("ThreadingModel=s:Both")}},
        {kClassKey + OLESTR("\\ProgID"), {OLESTR("@=s:TestDispatch.TestRecord.1")}},
        {kClassKey + OLESTR("\\Programmable"), {}},
        {kClassKey + OLESTR("\\TypeLib"), {OLESTR("@=s:") + GuidText(LIBID_TestDispatchLib)}},
        {kClassKey + OLESTR("\\VersionIndependentProgID"), {OLESTR("@=s:TestDispatch.TestRecord")}},
        {OLESTR("TestDispatch.TestRecord.1"), {description}},
        {OLESTR("TestDispatch.TestRecord.1\\CLSID"), {clsid}},
        {OLESTR("TestDispatch.TestRecord"), {description}},
        {OLESTR("TestDispatch.TestRecord\\CLSID"), {clsid}},
        {OLESTR("TestDispatch.TestRecord\\CurVer"), {OLESTR("@=s:TestDispatch.TestRecord.1")}},
        {OLESTR("AppID\\") + kAppId, {OLESTR("@=s:TestDispatch")}},
        {OLESTR("AppID\\TestDispatch.DLL"), {OLESTR("AppID=s:") + kAppId}},
        {kLibraryKey, {}},
        {kLibraryKey + OLESTR("\\1.0"), {OLESTR("@=s:TestDispatch 1.0 Type Library")}},
        {kLibraryKey + OLESTR("\\1.0\\0"), {}},
        {kLibraryKey + OLESTR("\\1.0\\0") + ModuleSysKindKey(), {OLESTR("@=s:") + path}},
        {kLibraryKey + OLESTR("\\1.0\\FLAGS"), {OLESTR("@=s:8")}},
        // The library's documentation names no help file: an empty help directory.
        {kLibraryKey + OLESTR("\\1.0\\HELPDIR"), {OLESTR("@=s:")}},
    };
    EXPECT_EQ(RegisteredTrees(), expected);

    CLSID found = {};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("TestDispatch.TestRecord"), &found), S_OK);
    EXPECT_EQ(found, CLSID_TestRecord);
    ITestRecord* record = nullptr;
    ASSERT_EQ(CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_ITestRecord,
                               reinterpret_cast<void**>(&record)),
              S_OK);
    record->Release();

    ASSERT_EQ(CallEntryPoint(m_module, "DllRegisterServer"), S_OK);
    EXPECT_EQ(RegisteredTrees(), expected);
}

TEST_F(ServerRegistration, RemovalLeavesOnlyTheSharedKeys)
{
    ASSERT_EQ(CallEntryPoint(m_module, "DllRegisterServer"), S_OK);
    ASSERT_EQ(CallEntryPoint(m_module, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(RegisteredTrees(), RegistryTree{});
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, OLESTR("CLSID")));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, OLESTR("AppID")));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, OleString(OLESTR("Interface\\")) + GuidText(IID_ITestRecord)));
}

TEST_F(ServerRegistration, ModulePathWithAQuoteIsRegisteredAsItIs)
{
    HMODULE copy = LoadCopy(LUMO_DISPATCH_TEST_MODULE, fs::path("it's here") / fs::path(LUMO_DISPATCH_TEST_MODULE).filename());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(CallEntryPoint(copy, "DllRegisterServer"), S_OK);
    const OleString path = FileNameOf(copy);
    ASSERT_NE(path.find(OLESTR("it's here")), OleString::npos);
    EXPECT_EQ(ClassesRootText(kClassKey + OLESTR("\\InprocServer32")), path);
    EXPECT_EQ(ClassesRootText(kRegisteredLibraryPath), path);
    EXPECT_EQ(CallEntryPoint(copy, "DllUnregisterServer"), S_OK);
    EXPECT_EQ(RegisteredTrees(), RegistryTree{});
}

TEST_F(ServerRegistration, ModulePathThatFillsThePathBufferFails)
{
    const fs::path fileName = fs::path(LUMO_DISPATCH_TEST_MODULE).filename();
    auto copyWithPathLength = [&](size_t length) {
        const size_t padding = length - Wide(m_folder).size() - 2 - Wide(fileName).size();
        EXPECT_LT(padding, 256u);
        return LoadCopy(LUMO_DISPATCH_TEST_MODULE, fs::path(std::string(padding, 'p')) / fileName);
    };
    HMODULE longest = copyWithPathLength(MAX_PATH - 1);
    HMODULE tooLong = copyWithPathLength(MAX_PATH);
    ASSERT_NE(longest, nullptr);
    ASSERT_NE(tooLong, nullptr);
    ASSERT_EQ(FileNameOf(longest).size(), MAX_PATH - 1u);

    EXPECT_EQ(AtlRegisterTypeLib(longest, nullptr), S_OK);
    EXPECT_EQ(AtlUnRegisterTypeLib(longest, nullptr), S_OK);
    const HRESULT bufferTooSmall = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(bufferTooSmall, static_cast<HRESULT>(0x8007007A));
    EXPECT_EQ(AtlRegisterTypeLib(tooLong, nullptr), bufferTooSmall);
    EXPECT_EQ(AtlUnRegisterTypeLib(tooLong, nullptr), bufferTooSmall);
    EXPECT_EQ(CallEntryPoint(tooLong, "DllRegisterServer"), bufferTooSmall);
    EXPECT_EQ(RegisteredTrees(), RegistryTree{});
}

TEST_F(ServerRegistration, TypeLibraryIsFoundBesideAModuleThatHoldsNone)
{
    struct Case { const char* module; const char* library; };
    const Case cases[] = {
        {"Plain.so", "Plain.tlb"},
        {"Two.dots.so", "Two.dots.tlb"},
#ifndef _WIN32
        // Windows' loader gives a name without an extension ".dll".
        {"NoExtension", "NoExtension.tlb"},
        {"folder.d/Plain", "folder.d/Plain.tlb"},
#endif
    };
    for (const Case& c : cases) {
        HMODULE withoutLibrary = LoadCopy(LUMO_MODULE_WITHOUT_RESOURCES, c.module);
        ASSERT_NE(withoutLibrary, nullptr) << c.module;
        EXPECT_EQ(AtlRegisterTypeLib(withoutLibrary, nullptr), TYPE_E_CANTLOADLIBRARY) << c.module;
        fs::copy_file(LUMO_DISPATCH_TEST_MODULE, m_folder / c.library);
        ASSERT_EQ(AtlRegisterTypeLib(withoutLibrary, nullptr), S_OK) << c.module;
        EXPECT_EQ(ClassesRootText(kRegisteredLibraryPath), Wide(m_folder / c.library)) << c.module;
        ASSERT_EQ(AtlUnRegisterTypeLib(withoutLibrary, nullptr), S_OK) << c.module;
        EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, kLibraryKey)) << c.module;
    }
}

TEST_F(ServerRegistration, RegistrarReadsScriptResourcesAsSaved)
{
    const OleString key = OLESTR("Software\\LumoRegistrarTest \u00c9t\u00e9");
    CRegObject registrar;
    ASSERT_EQ(registrar.AddReplacement(OLESTR("Module"), OLESTR("m")), S_OK);
    // UTF-16LE after its byte-order mark.
    ASSERT_EQ(registrar.ResourceRegister(m_module, 103, OLESTR("REGISTRY")), S_OK);
    EXPECT_EQ(ReadRegistryTree(HKEY_CURRENT_USER, key),
              (RegistryTree{{OLESTR(""), {OLESTR("@=s:caf\u00e9 \u20ac"), OLESTR("Module=s:m")}}}));
    ASSERT_EQ(registrar.ResourceUnregister(m_module, 103, OLESTR("REGISTRY")), S_OK);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key));

    // The application script needs its APPID.
    EXPECT_EQ(registrar.ResourceRegister(m_module, 101, OLESTR("REGISTRY")), DISP_E_EXCEPTION);
    EXPECT_EQ(registrar.ResourceRegister(m_module, 199, OLESTR("REGISTRY")),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(registrar.ResourceUnregister(m_module, 101, OLESTR("SCRIPT")),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(registrar.ResourceRegister(m_module, 101, nullptr), E_INVALIDARG);
}

}  // namespace
