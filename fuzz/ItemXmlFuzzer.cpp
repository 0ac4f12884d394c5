// Feeds arbitrary text to LoadXML of an item or of an item collection (the first byte picks
// which: even an item, odd a collection; the seeds use '0' and '1') and checks what a successful load promises: the object saves, the saved text loads
// into a new object, and that object saves to the same text.
//
// The objects come from the module through the runtime, so that nested items and collections
// are created as in a client; the module is registered into a registry of the process's own.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <windows.h>

#include "FuzzText.h"
#include <objbase.h>

#include "Framework.h"
#include "LumoItems.h"
#include "ModuleEntryPoint.h"
#include "OleString.h"

namespace {

OleString WidenUtf8(const std::string& text)
{
    return ::WidenUtf8(text.data(), text.size());
}

std::string NarrowUtf8(OleStringView text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_item_xml: %s\n", what);
        std::abort();
    }
}

// The registry file lives in a folder of the process's own, removed when the process ends.
class RegisteredModule {
public:
    RegisteredModule()
        : m_folder(std::filesystem::temp_directory_path() /
                   ("lumoitems-fuzz-" + std::to_string(GetCurrentProcessId())))
    {
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        const OleString registryFile = WidenUtf8((m_folder / "registry.db").string());
        Require(SetEnvironmentVariableW(OLESTR("LUMOITEMS_REGISTRY"), registryFile.c_str()) != FALSE,
                "cannot name the registry file");
        Require(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)), "cannot join the multithreaded apartment");
        const HMODULE module = LoadLibraryW(WidenUtf8(std::string(LUMO_ITEMS_MODULE_PATH)).c_str());
        Require(module != nullptr, "cannot load the module " LUMO_ITEMS_MODULE_PATH);
        const auto registerServer = GetModuleEntryPoint<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
        Require(registerServer && SUCCEEDED(registerServer()), "cannot register the module");
    }
    ~RegisteredModule()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    RegisteredModule(const RegisteredModule&) = delete;
    RegisteredModule& operator=(const RegisteredModule&) = delete;

private:
    std::filesystem::path m_folder;
};

CComPtr<ILumoItemBase> Create(REFCLSID clsid)
{
    CComPtr<ILumoItemBase> object;
    Require(SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILumoItemBase),
                                       reinterpret_cast<void**>(&object))),
            "cannot create an object of the module");
    return object;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static const RegisteredModule module;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 16)
        return 0;
    const CLSID& clsid = data[0] % 2 == 0 ? CLSID_LumoItem : CLSID_LumoEnum;
    const CComBSTR text(OleStringView(WidenUtf8(reinterpret_cast<const char*>(data + 1), size - 1)));

    const CComPtr<ILumoItemBase> loaded = Create(clsid);
    if (FAILED(loaded->LoadXML(text)))
        return 0;
    // A loaded GUID attribute is kept as written; one that is no GUID fails the save.
    CComBSTR saved;
    if (FAILED(loaded->SaveXML(&saved)))
        return 0;

    const CComPtr<ILumoItemBase> reloaded = Create(clsid);
    Require(SUCCEEDED(reloaded->LoadXML(saved)), "a saved document does not load");
    CComBSTR resaved;
    Require(SUCCEEDED(reloaded->SaveXML(&resaved)), "a reloaded object does not save");
    if (ViewOfBstr(saved) != ViewOfBstr(resaved)) {
        std::fprintf(stderr, "saved:\n%s\nsaved again:\n%s\n", NarrowUtf8(ViewOfBstr(saved)).c_str(),
                     NarrowUtf8(ViewOfBstr(resaved)).c_str());
        Require(false, "the reloaded object saves to another text");
    }
    return 0;
}
