#include "TestComponentRegistration.h"

#include <gtest/gtest.h>

OleString GuidText(REFGUID guid)
{
    OLECHAR text[39];
    EXPECT_EQ(39, StringFromGUID2(guid, text, 39));
    return text;
}

OleString ClassKey(REFCLSID clsid)
{
    return OLESTR("CLSID\\") + GuidText(clsid);
}

void WriteClassesRootValue(const OleString& subKey, const OLECHAR* name, const OleString& value, DWORD type)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                             &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR))));
    RegCloseKey(key);
}

void WriteClassesRootDefault(const OleString& subKey, const OleString& value, DWORD type)
{
    WriteClassesRootValue(subKey, nullptr, value, type);
}

void RegisterInprocServer(REFCLSID clsid, const OleString& modulePath, DWORD type)
{
    WriteClassesRootDefault(ClassKey(clsid) + OLESTR("\\InprocServer32"), modulePath, type);
}

void RegisterComClass(REFCLSID clsid, const OLECHAR* progId, const OleString& modulePath)
{
    RegisterInprocServer(clsid, modulePath);
    // Without a threading model Windows creates the object in the main single-threaded
    // apartment and hands a multithreaded caller a proxy, which the test interfaces lack.
    WriteClassesRootValue(ClassKey(clsid) + OLESTR("\\InprocServer32"), OLESTR("ThreadingModel"), OLESTR("Both"));
    WriteClassesRootDefault(ClassKey(clsid) + OLESTR("\\ProgID"), progId);
    WriteClassesRootDefault(OleString(progId) + OLESTR("\\CLSID"), GuidText(clsid));
}

OleString WidenUtf8(const char* text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    OleString wide(static_cast<size_t>(n), 0);
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return wide;
}
