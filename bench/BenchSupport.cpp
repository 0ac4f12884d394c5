#include "BenchSupport.h"

#include <stdexcept>
#include <string>
#include <system_error>

#include "ModuleEntryPoint.h"
#include "OleString.h"

namespace {

// Narrow text in the ANSI code page (UTF-8 on Linux), as paths and compiled-in names come.
OleString Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    OleString wide(static_cast<size_t>(length), OLECHAR(0));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

void Require(bool condition, const char* what)
{
    if (!condition)
        throw std::runtime_error(what);
}

}  // namespace

CBenchRegisteredModule::CBenchRegisteredModule()
    : m_folder(std::filesystem::temp_directory_path() / ("lumoitems-bench-" + std::to_string(GetCurrentProcessId())))
{
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder);
    const OleString registryFile = Widen((m_folder / "registry.db").string());
    Require(SetEnvironmentVariableW(OLESTR("LUMOITEMS_REGISTRY"), registryFile.c_str()) != FALSE,
            "cannot name the registry file");
    Require(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)), "cannot join the multithreaded apartment");
    const HMODULE module = LoadLibraryW(Widen(LUMO_ITEMS_MODULE_PATH).c_str());
    Require(module != nullptr, "cannot load the module " LUMO_ITEMS_MODULE_PATH);
    const auto registerServer = GetModuleEntryPoint<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
    Require(registerServer && SUCCEEDED(registerServer()), "cannot register the module");
}

CBenchRegisteredModule::~CBenchRegisteredModule()
{
    CoUninitialize();
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}
