// The module's entry points: registration content, class objects, unloading, and the
// registration tool.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "FreshRegistry.h"
#include "ItemsTestSupport.h"
#include "LumoItemsVersion.h"
#include "RegistryTree.h"
#include "ZoException.h"

namespace {

const OLECHAR kAppId[] = OLESTR("{3704EC91-E69F-45E3-89DC-D828D1F5C5B3}");
const OLECHAR kLibId[] = OLESTR("{83E85C3E-D975-408F-B7E6-9F42E5A39950}");

struct ClassRegistration {
    const OLECHAR* name;
    const OLECHAR* clsid;
    bool programmable;
};

const ClassRegistration kClasses[] = {
    {OLESTR("LumoEnumVARIANT"), OLESTR("{DDB7F787-B356-4C85-86C5-9E909D55A003}"), false},
    {OLESTR("LumoEnum"), OLESTR("{35D0ED65-5390-4D43-91E4-5BF4CF87BD88}"), true},
    {OLESTR("LumoEnumProperty"), OLESTR("{8E11C325-7768-4F8B-8C82-846AD12236FA}"), true},
    {OLESTR("LumoItem"), OLESTR("{9E97B642-BCC0-413C-A155-8C1A65F61ADE}"), true},
    {OLESTR("LumoProperty"), OLESTR("{80F7E49D-89F8-44EC-8854-7D45398283E2}"), true},
};

OleString ProgId(const ClassRegistration& c)
{
    return OleString(OLESTR("LumoItems.")) + c.name;
}

OleString LoadedModulePath()
{
    OLECHAR path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(LumoItemsModulePath().c_str()), path, MAX_PATH);
    return OleString(path, length);
}

// Every key a registration writes under HKEY_CLASSES_ROOT, each read as a whole tree.
std::map<OleString, RegistryTree> ReadRegistration()
{
    std::vector<OleString> keys = {OleString(OLESTR("AppID\\")) + kAppId, OLESTR("AppID\\LumoItems.DLL")};
    for (const ClassRegistration& c : kClasses) {
        keys.push_back(ProgId(c) + OLESTR(".1"));
        keys.push_back(ProgId(c));
        keys.push_back(OleString(OLESTR("CLSID\\")) + c.clsid);
    }
    std::map<OleString, RegistryTree> trees;
    for (const OleString& key : keys)
        trees[key] = ReadRegistryTree(HKEY_CLASSES_ROOT, key);
    return trees;
}

std::map<OleString, RegistryTree> ExpectedRegistration()
{
    const auto s = StringValueText;
    std::map<OleString, RegistryTree> trees;
    trees[OleString(OLESTR("AppID\\")) + kAppId] = {{OLESTR(""), {s(nullptr, OLESTR("LumoItems"))}}};
    trees[OLESTR("AppID\\LumoItems.DLL")] = {{OLESTR(""), {s(OLESTR("AppID"), kAppId)}}};
    for (const ClassRegistration& c : kClasses) {
        const OleString description = OleString(c.name) + OLESTR(" Class");
        trees[ProgId(c) + OLESTR(".1")] = {{OLESTR(""), {s(nullptr, description)}},
                                           {OLESTR("CLSID"), {s(nullptr, c.clsid)}}};
        trees[ProgId(c)] = {{OLESTR(""), {s(nullptr, description)}},
                            {OLESTR("CLSID"), {s(nullptr, c.clsid)}},
                            {OLESTR("CurVer"), {s(nullptr, ProgId(c) + OLESTR(".1"))}}};
        RegistryTree classKey = {
            {OLESTR(""), {s(nullptr, description), s(OLESTR("AppID"), kAppId)}},
            {OLESTR("InprocServer32"), {s(nullptr, LoadedModulePath()), s(OLESTR("ThreadingModel"), OLESTR("Both"))}},
            {OLESTR("ProgID"), {s(nullptr, ProgId(c) + OLESTR(".1"))}},
            {OLESTR("TypeLib"), {s(nullptr, kLibId)}},
            {OLESTR("VersionIndependentProgID"), {s(nullptr, ProgId(c))}},
        };
        if (c.programmable)
            classKey[OLESTR("Programmable")] = {};
        trees[OleString(OLESTR("CLSID\\")) + c.clsid] = classKey;
    }
    return trees;
}

// Tests that register and unregister the module in a fresh registry of their own. On Windows
// that registry is the system's, which the program's other tests share: the module is left
// registered again, as the program's environment registered it.
class ModuleRegistrationTest : public ComponentTest {
protected:
    void TearDown() override
    {
        EXPECT_EQ(ModuleRegisterServer(), S_OK);
        ComponentTest::TearDown();
    }
    ScopedFreshRegistry m_registry;
};

using ServerRegistrationTest = ModuleRegistrationTest;

TEST_F(ServerRegistrationTest, WritesEveryKeyAndValue)
{
    ASSERT_EQ(ModuleRegisterServer(), S_OK);
    const auto expected = ExpectedRegistration();
    const auto actual = ReadRegistration();
    for (const auto& [key, tree] : expected)
        EXPECT_EQ(actual.at(key), tree) << "under HKEY_CLASSES_ROOT\\" << std::string(key.begin(), key.end());
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, OleString(OLESTR("TypeLib\\")) + kLibId + OLESTR("\\1.0")));

    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_LumoItemsLib, 1, 0, 0, &library), S_OK);
    library->Release();
}

TEST_F(ServerRegistrationTest, SecondRegistrationGivesTheSameContent)
{
    ASSERT_EQ(ModuleRegisterServer(), S_OK);
    const auto first = ReadRegistration();
    // A stray key under a class key goes: ForceRemove rebuilds it.
    HKEY stray = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (OleString(OLESTR("CLSID\\")) + kClasses[4].clsid + OLESTR("\\Stray")).c_str(),
                              0, nullptr, 0, KEY_WRITE, nullptr, &stray, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(stray);
    ASSERT_EQ(ModuleRegisterServer(), S_OK);
    EXPECT_EQ(ReadRegistration(), first);
}

TEST_F(ServerRegistrationTest, RemovalLeavesOnlyTheSharedKeys)
{
    ASSERT_EQ(ModuleRegisterServer(), S_OK);
    ASSERT_EQ(ModuleUnregisterServer(), S_OK);
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, OLESTR("CLSID")));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, OLESTR("AppID")));
    for (const auto& [key, tree] : ReadRegistration())
        EXPECT_TRUE(tree.empty()) << std::string(key.begin(), key.end()) << " remains";
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, OleString(OLESTR("TypeLib\\")) + kLibId));
}

TEST_F(ServerRegistrationTest, RunsInTheSystemLocaleAndRestoresTheCallers)
{
    const LCID before = GetThreadLocale();
    // German (Germany).
    ASSERT_TRUE(SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT)));
    const LCID german = GetThreadLocale();
    EXPECT_EQ(ModuleRegisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), german);
    EXPECT_EQ(ModuleUnregisterServer(), S_OK);
    EXPECT_EQ(GetThreadLocale(), german);
    SetThreadLocale(before);
}

using ServerModuleTest = ComponentTest;

#ifdef _WIN32
// The DLL's version resource, as LumoItemsVersion.h gives it: the fixed part's numbers, and
// the product's name and version among its texts (UTF-16, as windres writes them).
TEST_F(ServerModuleTest, WindowsModuleCarriesItsVersion)
{
    const HMODULE module = GetModuleHandleW(LumoItemsModulePath().c_str());
    ASSERT_NE(module, nullptr);
    const LPCWSTR versionType = MAKEINTRESOURCEW(16);  // RT_VERSION
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), versionType);
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    const DWORD size = SizeofResource(module, found);
    ASSERT_NE(data, nullptr);
    const std::basic_string_view<OLECHAR> units(reinterpret_cast<const OLECHAR*>(data), size / sizeof(OLECHAR));
    const size_t fixed = units.find(OLESTR("VS_VERSION_INFO"));
    ASSERT_NE(fixed, units.npos);
    // The fixed part follows its key, aligned to 32 bits.
    const size_t at = ((fixed + 16) * sizeof(OLECHAR) + 3) & ~size_t(3);
    ASSERT_LE(at + sizeof(VS_FIXEDFILEINFO), size_t(size));
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + at, sizeof info);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    constexpr DWORD kVersionHigh = (DWORD(LUMO_VERSION_MAJOR) << 16) | LUMO_VERSION_MINOR;
    constexpr DWORD kVersionLow = (DWORD(LUMO_VERSION_PATCH) << 16) | LUMO_VERSION_TWEAK;
    EXPECT_EQ(info.dwFileVersionMS, kVersionHigh);
    EXPECT_EQ(info.dwFileVersionLS, kVersionLow);
    EXPECT_EQ(info.dwProductVersionMS, kVersionHigh);
    EXPECT_EQ(info.dwProductVersionLS, kVersionLow);
    EXPECT_EQ(info.dwFileType, DWORD(VFT_DLL));
    for (const OLECHAR* text : {LUMO_PRODUCT_NAME_OLESTR, LUMO_PRODUCT_VERSION_OLESTR, OLESTR("LumoItems.dll")})
        EXPECT_NE(units.find(text), units.npos) << std::string(text, text + std::char_traits<OLECHAR>::length(text));
}
#endif

TEST_F(ServerModuleTest, CanUnloadOnlyWhenNoObjectLives)
{
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
    CComPtr<ILumoProperty> property = NewProperty();
    ASSERT_TRUE(property);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    CComPtr<ILumoProperty> second = property;
    property.Release();
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE);
    second.Release();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK);
}

// A class object is cached, and a client's reference to it holds the module as a server lock
// does: the cache's own reference does not.
TEST_F(ServerModuleTest, ClassObjectsAreCachedAndHeldReferencesLockTheServer)
{
    CComPtr<IClassFactory> first, second;
    ASSERT_EQ(ModuleGetClassObject(CLSID_LumoProperty, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(ModuleGetClassObject(CLSID_LumoProperty, IID_IClassFactory, reinterpret_cast<void**>(&second)), S_OK);
    EXPECT_EQ(first.p, second.p);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE) << "held by a client";

    ASSERT_EQ(first->LockServer(TRUE), S_OK);
    first.Release();
    second.Release();
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE) << "locked";
    ASSERT_EQ(ModuleGetClassObject(CLSID_LumoProperty, IID_IClassFactory, reinterpret_cast<void**>(&first)), S_OK);
    ASSERT_EQ(first->LockServer(FALSE), S_OK);
    EXPECT_EQ(ModuleCanUnloadNow(), S_FALSE) << "held again";
    first.Release();
    EXPECT_EQ(ModuleCanUnloadNow(), S_OK) << "only the cache holds it";
}

// A client keeps a class object from the runtime while the runtime frees idle libraries: the
// module stays and the class object still creates; released, the module goes.
LUMO_TEST_CHILD(HeldClassObjectKeepsTheModule)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 10;
    IClassFactory* factory = nullptr;
    if (CoGetClassObject(CLSID_LumoProperty, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                         reinterpret_cast<void**>(&factory)) != S_OK)
        return 11;
    CoFreeUnusedLibrariesEx(0, 0);
    if (!GetModuleHandleW(LumoItemsModulePath().c_str()))
        return 12;
    ILumoProperty* property = nullptr;
    if (factory->CreateInstance(nullptr, IID_ILumoProperty, reinterpret_cast<void**>(&property)) != S_OK || !property)
        return 13;
    property->Release();
    factory->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    const bool unloaded = !GetModuleHandleW(LumoItemsModulePath().c_str());
    CoUninitialize();
    return unloaded ? 0 : 14;
}

TEST_F(ServerModuleTest, AHeldClassObjectKeepsTheModuleLoaded)
{
    EXPECT_EQ(RunTestChild("HeldClassObjectKeepsTheModule"), 0)
        << "11: no class object, 12: unloaded while held, 13: no object, 14: not unloaded once released";
}

TEST_F(ServerModuleTest, ClassObjectErrors)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(ModuleGetClassObject(IID_ILumoProperty, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ModuleGetClassObject(CLSID_LumoProperty, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(ModuleGetClassObject(CLSID_LumoProperty, IID_ILumoProperty, &object), E_NOINTERFACE);
}

class RegistrationToolTest : public ModuleRegistrationTest {
protected:
    static int Regsvr(std::vector<std::string> args) { return RunProgram(LUMO_REGSVR_PATH, args); }
    static std::string Module() { return LUMO_ITEMS_MODULE_PATH; }
};

TEST_F(RegistrationToolTest, RegistersAndUnregisters)
{
    const OleString classKey = OleString(OLESTR("CLSID\\")) + kClasses[4].clsid;
    ASSERT_EQ(Regsvr({"/s", Module()}), 0);
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, classKey));
    ASSERT_EQ(Regsvr({"/u", "/s", Module()}), 0);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, classKey));
}

// Runs regsvr once with each argument list, all at once; their exit codes in order.
std::vector<int> RegsvrAtOnce(const std::vector<std::vector<std::string>>& runs)
{
    std::vector<int> exitCodes(runs.size(), -1);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < runs.size(); ++i)
        threads.emplace_back([&, i] { exitCodes[i] = RunProgram(LUMO_REGSVR_PATH, runs[i]); });
    for (std::thread& thread : threads)
        thread.join();
    return exitCodes;
}

bool NoClassRegistered()
{
    return std::none_of(std::begin(kClasses), std::end(kClasses), [](const ClassRegistration& c) {
        return RegistryKeyExists(HKEY_CLASSES_ROOT, OleString(OLESTR("CLSID\\")) + c.clsid) ||
               RegistryKeyExists(HKEY_CLASSES_ROOT, ProgId(c));
    });
}

TEST_F(RegistrationToolTest, RegistrationsAtOnceAllSucceedAndGiveOneRegistration)
{
    ASSERT_EQ(Regsvr({"/s", Module()}), 0);
    const auto registered = ReadRegistration();
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        // Half the rounds start from a new registry, half from a registered one.
        std::optional<ScopedFreshRegistry> fresh;
        if (round % 2 == 0)
            fresh.emplace();
        const std::vector<std::string> registration = {"/s", Module()};
        EXPECT_EQ(RegsvrAtOnce({registration, registration}), std::vector<int>({0, 0})) << "round " << round;
        EXPECT_EQ(ReadRegistration(), registered) << "round " << round;
    }
}

TEST_F(RegistrationToolTest, ARegistrationRacingARemovalLeavesOneOfThemWhole)
{
    ASSERT_EQ(Regsvr({"/s", Module()}), 0);
    const auto registered = ReadRegistration();
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(RegsvrAtOnce({{"/s", Module()}, {"/u", "/s", Module()}}), std::vector<int>({0, 0}))
            << "round " << round;
        EXPECT_TRUE(NoClassRegistered() || ReadRegistration() == registered) << "round " << round;
        ASSERT_EQ(Regsvr({"/s", Module()}), 0);
    }
}

TEST_F(RegistrationToolTest, CreationSucceedsWhileTheModuleRegistersAgain)
{
    ASSERT_EQ(Regsvr({"/s", Module()}), 0);
    std::atomic<bool> registering{true};
    std::atomic<int> failures{0};
    std::thread client([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        while (registering) {
            IUnknown* created = nullptr;
            if (FAILED(CoCreateInstance(CLSID_LumoProperty, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                        reinterpret_cast<void**>(&created))))
                ++failures;
            else
                created->Release();
        }
        CoUninitialize();
    });
    for (int round = 0; round < 3; ++round)
        EXPECT_EQ(Regsvr({"/s", Module()}), 0) << "round " << round;
    registering = false;
    client.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(RegistrationToolTest, FailuresHaveTheirExitStatus)
{
    EXPECT_EQ(Regsvr({}), 1) << "no module";
    EXPECT_EQ(Regsvr({"/x", Module()}), 1) << "unknown option";
    EXPECT_EQ(Regsvr({"/s", Module() + ".missing"}), 3) << "module does not load";
    EXPECT_EQ(Regsvr({"/s", LUMO_REGSVR_TEST_LIBRARY}), 4) << "no entry point";
}

}  // namespace
