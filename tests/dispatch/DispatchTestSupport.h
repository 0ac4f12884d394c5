// The dispatch tests' module, registered into a fresh registry with its class and its type
// library, and small helpers to build DISPPARAMS.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FreshRegistry.h"
#include "OleString.h"
#include "TestDispatch.h"

inline OleString ModulePath()
{
    const std::string narrow = LUMO_DISPATCH_TEST_MODULE;
    return OleString(narrow.begin(), narrow.end());
}

// The platform that this build's type libraries register for, and its registry key's name.
constexpr SYSKIND kModuleSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline const OLECHAR* ModuleSysKindKey()
{
    return kModuleSysKind == SYS_WIN64 ? OLESTR("\\win64") : OLESTR("\\win32");
}

inline OleString GuidText(REFGUID guid)
{
    OLECHAR text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The default value of a key under HKEY_CLASSES_ROOT, or "<missing>".
inline OleString ClassesRootText(const OleString& key, const OLECHAR* name = nullptr)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return OLESTR("<missing>");
    OLECHAR value[512] = {};
    DWORD bytes = sizeof(value);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? OleString(value) : OleString(OLESTR("<missing>"));
}

inline void SetClassesRootText(const OleString& key, const OleString& value, const OLECHAR* name = nullptr)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR)));
    RegCloseKey(handle);
}

// A fresh registry holding the test class, and optionally the type library.
class RegisteredModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        const OleString key = OleString(OLESTR("CLSID\\")) + GuidText(CLSID_TestRecord);
        SetClassesRootText(key + OLESTR("\\InprocServer32"), ModulePath());
        SetClassesRootText(key + OLESTR("\\InprocServer32"), OLESTR("Both"), OLESTR("ThreadingModel"));
    }
    void TearDown() override { CoUninitialize(); }

    void RegisterLibrary()
    {
        ITypeLib* library = nullptr;
        ASSERT_EQ(LoadTypeLib(ModulePath().c_str(), &library), S_OK);
        // mingw-w64 declares the path non-const.
        ASSERT_EQ(RegisterTypeLib(library, const_cast<LPOLESTR>(ModulePath().c_str()), nullptr), S_OK);
        library->Release();
    }

    ScopedFreshRegistry m_registry;
};
