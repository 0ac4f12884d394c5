// Resources of a module: the generated table read through FindResourceW and LoadStringW.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "OleString.h"

namespace {

OleString Wide(const std::string& narrow)
{
    return OleString(narrow.begin(), narrow.end());
}

class ModuleResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(m_module = LoadLibraryW(Wide(LUMO_DISPATCH_TEST_MODULE).c_str()), nullptr); }
    void TearDown() override { FreeLibrary(m_module); }
    HMODULE m_module = nullptr;
};

TEST_F(ModuleResources, FindsResourcesByNumberAndName)
{
    HRSRC script = FindResourceW(m_module, MAKEINTRESOURCEW(101), OLESTR("REGISTRY"));
    ASSERT_NE(script, nullptr);
    const char expected[] =
        "HKCR\n{\n    NoRemove AppID\n    {\n        '%APPID%' = s 'TestDispatch'\n        'TestDispatch.DLL'\n"
        "        {\n            val AppID = s '%APPID%'\n        }\n    }\n}\n";
    ASSERT_EQ(SizeofResource(m_module, script), sizeof(expected) - 1);
    const void* data = LockResource(LoadResource(m_module, script));
    EXPECT_EQ(std::memcmp(data, expected, sizeof(expected) - 1), 0);
    // Names and types as text: without regard to case, and "#n" for the number n.
    EXPECT_EQ(FindResourceW(m_module, OLESTR("#101"), OLESTR("registry")), script);
    EXPECT_NE(FindResourceW(m_module, MAKEINTRESOURCEW(1), OLESTR("TYPELIB")), nullptr);
}

TEST_F(ModuleResources, MissingResourcesSetTheWindowsErrors)
{
    struct Case { const char* what; HMODULE module; LPCWSTR name; LPCWSTR type; DWORD error; };
    HMODULE withoutTable = LoadLibraryW(Wide(LUMO_MODULE_WITHOUT_RESOURCES).c_str());
    ASSERT_NE(withoutTable, nullptr);
    const Case cases[] = {
        {"unknown name", m_module, MAKEINTRESOURCEW(199), OLESTR("REGISTRY"), ERROR_RESOURCE_NAME_NOT_FOUND},
        {"unknown type", m_module, MAKEINTRESOURCEW(101), RT_RCDATA, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"no resources", withoutTable, MAKEINTRESOURCEW(1), OLESTR("TYPELIB"), ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(LoadResource(m_module, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(m_module, nullptr), 0u);
    FreeLibrary(withoutTable);
}

TEST_F(ModuleResources, LoadsStringsOfTheStringTable)
{
    OLECHAR buffer[32];
    EXPECT_EQ(LoadStringW(m_module, 100, buffer, 32), 12);
    EXPECT_EQ(OleString(buffer), OLESTR("TestDispatch"));
    EXPECT_EQ(LoadStringW(m_module, 117, buffer, 32), 8);
    EXPECT_EQ(OleString(buffer), OLESTR("Say \"hi\""));
    // Truncated to the buffer, terminated.
    EXPECT_EQ(LoadStringW(m_module, 100, buffer, 5), 4);
    EXPECT_EQ(OleString(buffer), OLESTR("Test"));
    // A zero size asks for the resource's own text.
    const OLECHAR* text = nullptr;
    EXPECT_EQ(LoadStringW(m_module, 100, reinterpret_cast<LPWSTR>(&text), 0), 12);
    EXPECT_EQ(OleString(text, 12), OLESTR("TestDispatch"));
    for (UINT missing : {101u, 99u, 5000u}) {
        buffer[0] = u'x';
        EXPECT_EQ(LoadStringW(m_module, missing, buffer, 32), 0) << missing;
    }
}

}  // namespace
