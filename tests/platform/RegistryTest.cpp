// The registry functions: keys, typed values, the Win32 size and status protocols,
// handles, and several writers at once. Runs against a fresh registry file on Linux and
// against a scratch key of the real registry on Windows.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <windows.h>

#ifndef _WIN32
#include <sqlite3.h>
#endif

#include "ChildProcess.h"
#include "FreshRegistry.h"
#include "OleString.h"

#ifndef _WIN32
namespace lumo::platform {
// The stand-in's change indicator for its caches (not a Windows function).
uint64_t RegistryChangeStamp() noexcept;
}
#endif

namespace {

using Bytes = std::vector<BYTE>;

constexpr const OLECHAR* kTestKey = OLESTR("Software\\LumoItems.RegistryTest");

OleString Wide(const std::string& ascii)
{
    return OleString(ascii.begin(), ascii.end());
}

// Every character of a literal except the one the compiler appends, so that a table can
// spell embedded and terminating NULs exactly.
template <size_t N>
Bytes Chars(const OLECHAR (&text)[N])
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    return Bytes(bytes, bytes + (N - 1) * sizeof(OLECHAR));
}

Bytes Dword(DWORD value)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return Bytes(bytes, bytes + sizeof value);
}

class Key {
public:
    Key() = default;
    explicit Key(HKEY handle) : handle_(handle) {}
    ~Key() { Close(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    HKEY get() const { return handle_; }
    HKEY* put()
    {
        Close();
        return &handle_;
    }
    LSTATUS Close()
    {
        const LSTATUS status = handle_ ? RegCloseKey(handle_) : ERROR_SUCCESS;
        handle_ = nullptr;
        return status;
    }

private:
    HKEY handle_ = nullptr;
};

LSTATUS Create(HKEY parent, const OLECHAR* path, Key& key, REGSAM access = KEY_ALL_ACCESS,
               DWORD* disposition = nullptr)
{
    return RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, key.put(), disposition);
}

LSTATUS Open(HKEY parent, const OLECHAR* path, Key& key, REGSAM access = KEY_ALL_ACCESS)
{
    return RegOpenKeyExW(parent, path, 0, access, key.put());
}

LSTATUS Set(HKEY key, const OLECHAR* name, DWORD type, const Bytes& data)
{
    return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
}

LSTATUS SetDword(HKEY key, const OLECHAR* name, DWORD value)
{
    return Set(key, name, REG_DWORD, Dword(value));
}

struct Read {
    LSTATUS status = ERROR_SUCCESS;
    DWORD type = 0;
    Bytes data;
};

Read Query(HKEY key, const OLECHAR* name)
{
    Read read;
    DWORD size = 0;
    read.status = RegQueryValueExW(key, name, nullptr, &read.type, nullptr, &size);
    if (read.status != ERROR_SUCCESS)
        return read;
    read.data.resize(size);
    read.status = RegQueryValueExW(key, name, nullptr, &read.type, read.data.data(), &size);
    read.data.resize(size);
    return read;
}

std::vector<OleString> SubkeyNames(HKEY key)
{
    std::vector<OleString> names;
    for (DWORD index = 0;; ++index) {
        OLECHAR name[256];
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            EXPECT_EQ(ERROR_NO_MORE_ITEMS, status);
            return names;
        }
        names.emplace_back(name, length);
    }
}

std::vector<OleString> ValueNames(HKEY key)
{
    std::vector<OleString> names;
    for (DWORD index = 0;; ++index) {
        OLECHAR name[16384];
        DWORD length = 16384;
        const LSTATUS status = RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            EXPECT_EQ(ERROR_NO_MORE_ITEMS, status);
            return names;
        }
        names.emplace_back(name, length);
    }
}

// A scratch key under HKEY_CURRENT_USER, in a registry of its own on Linux.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, kTestKey, root_)); }
    void TearDown() override
    {
        root_.Close();
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
    }

    HKEY root() const { return root_.get(); }

    ScopedFreshRegistry registry_;
    Key root_;
};

TEST_F(RegistryTest, CreateMakesIntermediateKeysAndReportsDisposition)
{
    Key key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("One\\Two\\Three"), key, KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("One\\Two\\Three"), key, KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("One\\Two"), key, KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);

    EXPECT_EQ(ERROR_SUCCESS, Open(root(), OLESTR("One\\Two\\Three"), key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(root(), OLESTR("One\\Missing"), key));
    EXPECT_EQ(nullptr, key.get());
    EXPECT_EQ(ERROR_BAD_PATHNAME, Create(root(), OLESTR("\\Leading"), key));
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("MixedCase"), key));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("ValueName"), 1));

    Key other;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("MIXEDCASE"), other, KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, SetDword(other.get(), OLESTR("valuename"), 2));

    EXPECT_EQ(std::vector<OleString>{OLESTR("MixedCase")}, SubkeyNames(root()));
    EXPECT_EQ(std::vector<OleString>{OLESTR("ValueName")}, ValueNames(key.get()));
    EXPECT_EQ(Dword(2), Query(key.get(), OLESTR("VALUENAME")).data);
}

struct ValueCase {
    const char* what;
    DWORD type;
    Bytes data;
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndExactBytes)
{
    const ValueCase cases[] = {
        {"string", REG_SZ, Chars(OLESTR("text\0"))},
        {"string without NUL", REG_SZ, Chars(OLESTR("abc"))},
        {"empty string", REG_SZ, {}},
        {"expandable", REG_EXPAND_SZ, Chars(OLESTR("%PATH%\\x\0"))},
        {"multi with embedded NULs", REG_MULTI_SZ, Chars(OLESTR("one\0\0two\0three\0\0"))},
        {"dword", REG_DWORD, Dword(0xDEADBEEF)},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"binary with zeros", REG_BINARY, {0, 0xFF, 0, 0, 0x10, 0}},
        {"empty binary", REG_BINARY, {}},
        {"none", REG_NONE, {0xAB}},
        {"unknown type", 0x1234, {9, 8, 7}},
    };
    for (const ValueCase& c : cases) {
        const OleString name = Wide(c.what);
        ASSERT_EQ(ERROR_SUCCESS, Set(root(), name.c_str(), c.type, c.data)) << c.what;
        const Read read = Query(root(), name.c_str());
        EXPECT_EQ(ERROR_SUCCESS, read.status) << c.what;
        EXPECT_EQ(c.type, read.type) << c.what;
        EXPECT_EQ(c.data, read.data) << c.what;
    }
    // The same bytes come back through enumeration.
    for (DWORD index = 0; index < std::size(cases); ++index) {
        OLECHAR name[64];
        DWORD length = 64, type = 0, size = 64;
        BYTE data[64];
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueW(root(), index, name, &length, nullptr, &type, data, &size));
        const auto match = std::find_if(std::begin(cases), std::end(cases),
                                        [&](const ValueCase& c) { return Wide(c.what) == OleString(name, length); });
        ASSERT_NE(std::end(cases), match);
        EXPECT_EQ(match->type, type) << match->what;
        EXPECT_EQ(match->data, Bytes(data, data + size)) << match->what;
    }
}

TEST_F(RegistryTest, DefaultValueIsTheEmptyName)
{
    ASSERT_EQ(ERROR_SUCCESS, Set(root(), nullptr, REG_SZ, Chars(OLESTR("default\0"))));
    EXPECT_EQ(Chars(OLESTR("default\0")), Query(root(), OLESTR("")).data);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(root(), OLESTR("")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(root(), nullptr).status);
}

TEST_F(RegistryTest, QueryFollowsTheSizeProtocol)
{
    const Bytes stored = Chars(OLESTR("12345\0"));  // 12 bytes
    ASSERT_EQ(ERROR_SUCCESS, Set(root(), OLESTR("v"), REG_SZ, stored));
    const DWORD storedSize = static_cast<DWORD>(stored.size());

    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(root(), OLESTR("v"), nullptr, &type, nullptr, &size));
    EXPECT_EQ(storedSize, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    BYTE buffer[32];
    size = 4;
    type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(root(), OLESTR("v"), nullptr, &type, buffer, &size));
    EXPECT_EQ(storedSize, size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);

    size = storedSize;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(root(), OLESTR("v"), nullptr, nullptr, buffer, &size));
    EXPECT_EQ(stored, Bytes(buffer, buffer + size));

    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(root(), OLESTR("v"), nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(root(), OLESTR("v"), nullptr, nullptr, buffer, nullptr));
    DWORD reserved = 0;
    size = sizeof buffer;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExW(root(), OLESTR("v"), &reserved, nullptr, buffer, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(root(), OLESTR("w"), nullptr, nullptr, buffer, &size));
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(root(), OLESTR("w"), 0, REG_BINARY, nullptr, 4));
}

#ifndef _WIN32
// Windows leaves the bytes after the data undefined; the stand-in terminates a string
// stored without its NUL when there is room, and still reports the stored size.
TEST_F(RegistryTest, UnterminatedStringGetsANulWhenTheBufferHasRoom)
{
    ASSERT_EQ(ERROR_SUCCESS, Set(root(), OLESTR("v"), REG_SZ, Chars(OLESTR("abc"))));
    BYTE buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), BYTE{0xCC});
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(root(), OLESTR("v"), nullptr, nullptr, buffer, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(Chars(OLESTR("abc\0")), Bytes(buffer, buffer + 8));
    EXPECT_EQ(0xCC, buffer[8]);
}
#endif

TEST_F(RegistryTest, DeleteKeyRefusesKeysWithSubkeys)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Parent\\Child"), key));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("v"), 1));
    key.Close();

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(root(), OLESTR("Parent")));
    EXPECT_EQ(ERROR_SUCCESS, Open(root(), OLESTR("Parent\\Child"), key));
    key.Close();

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root(), OLESTR("PARENT\\child")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(root(), OLESTR("Parent\\Child"), key));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyExW(root(), OLESTR("Parent"), KEY_WOW64_64KEY, 0));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(root(), OLESTR("Parent"), key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(root(), OLESTR("Parent")));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(root(), nullptr));

    // A child made again under the same name starts without the old values.
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Parent\\Child"), key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(key.get(), OLESTR("v")).status);
}

#ifndef _WIN32
TEST_F(RegistryTest, RootKeysCannotBeDeleted)
{
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_LOCAL_MACHINE, OLESTR("")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteTreeW(HKEY_CURRENT_USER, OLESTR("")));
    Key key;
    EXPECT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, kTestKey, key));
}
#endif

TEST_F(RegistryTest, DeleteTreeRemovesTheSubtree)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Tree\\A\\B"), key));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("v"), 1));
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Tree\\C"), key));
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Kept"), key));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(root(), OLESTR("tree")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(root(), OLESTR("Tree"), key));
    EXPECT_EQ(std::vector<OleString>{OLESTR("Kept")}, SubkeyNames(root()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(root(), OLESTR("Tree")));
}

TEST_F(RegistryTest, DeleteTreeWithoutSubkeyEmptiesTheKeyItself)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Full\\A\\B"), key));
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Full"), key));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("v"), 1));

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(key.get(), nullptr));
    EXPECT_TRUE(SubkeyNames(key.get()).empty());
    EXPECT_TRUE(ValueNames(key.get()).empty());
    EXPECT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("still usable"), 2));
}

TEST_F(RegistryTest, DeleteTreeWithoutSubkeyNeedsTheDocumentedRights)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Guarded\\Sub"), key));
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Guarded"), key));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("v"), 1));

    Key readOnly;
    ASSERT_EQ(ERROR_SUCCESS, Open(root(), OLESTR("Guarded"), readOnly, KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteTreeW(readOnly.get(), nullptr));
    Key noSetValue;
    ASSERT_EQ(ERROR_SUCCESS, Open(root(), OLESTR("Guarded"), noSetValue, KEY_READ | DELETE));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteTreeW(noSetValue.get(), nullptr));
    EXPECT_EQ(std::vector<OleString>{OLESTR("Sub")}, SubkeyNames(key.get()));
    EXPECT_EQ(ERROR_SUCCESS, Query(key.get(), OLESTR("v")).status);
}

TEST_F(RegistryTest, SubkeysEnumerateInUpperCaseNameOrder)
{
    Key key;
    for (const OLECHAR* name : {OLESTR("b"), OLESTR("_x"), OLESTR("A"), OLESTR("c")})
        ASSERT_EQ(ERROR_SUCCESS, Create(root(), name, key));
    // Upper-cased, '_' sorts after the letters.
    const std::vector<OleString> expected{OLESTR("A"), OLESTR("b"), OLESTR("c"), OLESTR("_x")};
    EXPECT_EQ(expected, SubkeyNames(root()));
}

TEST_F(RegistryTest, EnumerationReportsShortBuffers)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("LongerName"), key));
    ASSERT_EQ(ERROR_SUCCESS, Set(root(), OLESTR("ValueName"), REG_BINARY, Bytes(10, 7)));

    OLECHAR name[32];
    DWORD length = 10;  // the name needs 11 with its NUL
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(root(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    length = 11;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(root(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(10u, length);
    EXPECT_EQ(OleString(OLESTR("LongerName")), OleString(name));
    length = 32;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExW(root(), 1, name, &length, nullptr, nullptr, nullptr, nullptr));

    length = 9;
    DWORD size = 32;
    BYTE data[32];
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(root(), 0, name, &length, nullptr, nullptr, data, &size));
    length = 32;
    size = 4;
    DWORD type = 0;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(root(), 0, name, &length, nullptr, &type, data, &size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
    length = 32;
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegEnumValueW(root(), 0, name, &length, nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(9u, length);
    length = 32;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueW(root(), 1, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegEnumValueW(root(), 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
}

#ifndef _WIN32
// Windows documents no order for values; the stand-in keeps the order of creation, and a
// value written again keeps its place.
TEST_F(RegistryTest, ValuesEnumerateInCreationOrder)
{
    for (const OLECHAR* name : {OLESTR("zeta"), OLESTR("alpha"), OLESTR("mid")})
        ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), name, 1));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), OLESTR("zeta"), 2));
    const std::vector<OleString> expected{OLESTR("zeta"), OLESTR("alpha"), OLESTR("mid")};
    EXPECT_EQ(expected, ValueNames(root()));
}
#endif

TEST_F(RegistryTest, QueryInfoCountsAndMeasures)
{
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("a"), key));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root(), OLESTR("abcdef"), 0, const_cast<LPWSTR>(OLESTR("Klass")), 0,
                                             KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), nullptr, 1));
    ASSERT_EQ(ERROR_SUCCESS, Set(root(), OLESTR("name12"), REG_BINARY, Bytes(10, 0)));

    DWORD subkeys = 0, maxSubkey = 0, maxClass = 0, values = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(root(), nullptr, nullptr, nullptr, &subkeys, &maxSubkey, &maxClass,
                                              &values, &maxValueName, &maxValue, nullptr, nullptr));
    EXPECT_EQ(2u, subkeys);
    EXPECT_EQ(6u, maxSubkey);
    EXPECT_EQ(5u, maxClass);
    EXPECT_EQ(2u, values);
    EXPECT_EQ(6u, maxValueName);
    EXPECT_EQ(10u, maxValue);

    OLECHAR klass[8];
    DWORD length = 3;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryInfoKeyW(key.get(), klass, &length, nullptr, nullptr, nullptr, nullptr,
                                                nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(5u, length);
    length = 8;
    FILETIME written{};
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key.get(), klass, &length, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, &written));
    EXPECT_EQ(OleString(OLESTR("Klass")), OleString(klass, length));
    EXPECT_NE(0u, written.dwHighDateTime);

    OLECHAR enumeratedClass[8];
    DWORD classLength = 8;
    length = 8;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumKeyExW(root(), 1, klass, &length, nullptr, enumeratedClass, &classLength, nullptr));
    EXPECT_EQ(OleString(OLESTR("Klass")), OleString(enumeratedClass, classLength));
}

struct AccessCase {
    const char* what;
    REGSAM access;
    std::function<LSTATUS(HKEY)> operation;
    LSTATUS expected;
};

TEST_F(RegistryTest, HandlesAllowWhatTheyWereOpenedFor)
{
    ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), OLESTR("v"), 1));
    const auto setValue = [](HKEY key) { return SetDword(key, OLESTR("v"), 2); };
    const auto deleteValue = [](HKEY key) { return RegDeleteValueW(key, OLESTR("v")); };
    const auto queryValue = [](HKEY key) { return Query(key, OLESTR("v")).status; };
    const auto enumKeys = [](HKEY key) {
        OLECHAR name[64];
        DWORD length = 64;
        return RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    };
    const auto enumValues = [](HKEY key) {
        OLECHAR name[64];
        DWORD length = 64;
        return RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    };
    const auto createSubkey = [](HKEY key) {
        Key created;
        return Create(key, OLESTR("Created"), created);
    };
    const AccessCase cases[] = {
        {"set through read", KEY_READ, setValue, ERROR_ACCESS_DENIED},
        {"delete value through read", KEY_READ, deleteValue, ERROR_ACCESS_DENIED},
        {"query through set-value", KEY_SET_VALUE, queryValue, ERROR_ACCESS_DENIED},
        {"enumerate keys through query-value", KEY_QUERY_VALUE, enumKeys, ERROR_ACCESS_DENIED},
        {"enumerate values through enumerate-keys", KEY_ENUMERATE_SUB_KEYS, enumValues, ERROR_ACCESS_DENIED},
        {"query through read", KEY_READ, queryValue, ERROR_SUCCESS},
        {"set through write", KEY_WRITE, setValue, ERROR_SUCCESS},
        {"set through generic write", 0x40000000, setValue, ERROR_SUCCESS},
        {"enumerate values through read", KEY_READ, enumValues, ERROR_SUCCESS},
        // Creating is checked against the key's security, not the handle (documented).
        {"create subkey through read", KEY_READ, createSubkey, ERROR_SUCCESS},
    };
    for (const AccessCase& c : cases) {
        Key key;
        ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, kTestKey, key, c.access)) << c.what;
        EXPECT_EQ(c.expected, c.operation(key.get())) << c.what;
    }
}

TEST_F(RegistryTest, BadHandlesAreRefused)
{
    Key closed;
    ASSERT_EQ(ERROR_SUCCESS, Open(root(), nullptr, closed));
    const HKEY stale = closed.get();
    ASSERT_EQ(ERROR_SUCCESS, closed.Close());

    const HKEY bad[] = {nullptr, stale, reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x7654320))};
    for (const HKEY handle : bad) {
        Key key;
        DWORD size = 0;
        OLECHAR name[8];
        DWORD length = 8;
        EXPECT_EQ(ERROR_INVALID_HANDLE, Open(handle, OLESTR("x"), key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, Create(handle, OLESTR("x"), key));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(handle, OLESTR("v"), nullptr, nullptr, nullptr, &size));
        EXPECT_EQ(ERROR_INVALID_HANDLE, SetDword(handle, OLESTR("v"), 1));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(handle, OLESTR("v")));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(handle, OLESTR("x")));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteTreeW(handle, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExW(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumValueW(handle, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &size, nullptr, nullptr,
                                                         nullptr, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(handle));
    }
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(root(), nullptr, 0, KEY_READ, nullptr));
#ifndef _WIN32
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegCreateKeyExW(root(), OLESTR("x"), 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr));
#endif
}

#ifndef _WIN32
TEST_F(RegistryTest, UnsupportedPredefinedKeysAreInvalidHandles)
{
    Key key;
    EXPECT_EQ(ERROR_INVALID_HANDLE, Open(HKEY_PERFORMANCE_DATA, OLESTR("x"), key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, Create(HKEY_DYN_DATA, OLESTR("x"), key));
}
#endif

TEST_F(RegistryTest, HandleToADeletedKeyReportsKeyDeleted)
{
    Key doomed;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Doomed"), doomed));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(doomed.get(), OLESTR("v"), 1));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(root(), OLESTR("Doomed")));
    // The same name made again is another key; the old handle still names the deleted one.
    Key again;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Doomed"), again));

    Key key;
    OLECHAR name[8];
    DWORD length = 8, size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, Query(doomed.get(), OLESTR("v")).status);
    EXPECT_EQ(ERROR_KEY_DELETED, SetDword(doomed.get(), OLESTR("v"), 2));
    EXPECT_EQ(ERROR_KEY_DELETED, Create(doomed.get(), OLESTR("Sub"), key));
    EXPECT_EQ(ERROR_KEY_DELETED, Open(doomed.get(), nullptr, key));
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExW(doomed.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryInfoKeyW(doomed.get(), nullptr, nullptr, nullptr, &size, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(again.get(), OLESTR("v")).status);
    EXPECT_EQ(ERROR_SUCCESS, doomed.Close());
}

TEST_F(RegistryTest, OpeningTheEmptySubkey)
{
    Key copy;
    ASSERT_EQ(ERROR_SUCCESS, Open(root(), OLESTR(""), copy, KEY_READ));
    EXPECT_NE(root(), copy.get());
    ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), OLESTR("v"), 5));
    EXPECT_EQ(Dword(5), Query(copy.get(), OLESTR("v")).data);
    // A predefined key gives back itself, as documented.
    HKEY predefined = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &predefined));
    EXPECT_EQ(HKEY_CURRENT_USER, predefined);
}

TEST_F(RegistryTest, ThreadsShareHandles)
{
    constexpr int kThreads = 4;
    constexpr int kPerThread = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const OleString name = Wide("t" + std::to_string(t) + "-" + std::to_string(i));
                Key key;
                ASSERT_EQ(ERROR_SUCCESS, Create(root(), name.c_str(), key));
                ASSERT_EQ(ERROR_SUCCESS, SetDword(root(), name.c_str(), static_cast<DWORD>(i)));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), SubkeyNames(root()).size());
    EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), ValueNames(root()).size());
}

// Child: writes argv[1] values named "<argv[0]>-<i>" under the test key's "Shared" subkey.
LUMO_TEST_CHILD(RegistryWriteValues)
{
    if (argc < 2)
        return 100;
    const std::string prefix = argv[0];
    const int count = std::stoi(argv[1]);
    Key key;
    const OleString path = OleString(kTestKey) + OLESTR("\\Shared");
    if (LSTATUS status = Create(HKEY_CURRENT_USER, path.c_str(), key); status != ERROR_SUCCESS)
        return static_cast<int>(status);
    for (int i = 0; i < count; ++i) {
        const OleString name = Wide(prefix + "-" + std::to_string(i));
        if (LSTATUS status = SetDword(key.get(), name.c_str(), static_cast<DWORD>(i)); status != ERROR_SUCCESS)
            return static_cast<int>(status);
    }
    return 0;
}

TEST_F(RegistryTest, ProcessesWritingAtOnceLoseNothing)
{
    constexpr int kPerWriter = 200;
    Key shared;
    ASSERT_EQ(ERROR_SUCCESS, Create(root(), OLESTR("Shared"), shared));
    const std::vector<std::string> prefixes{"first", "second"};
    std::vector<int> exitCodes(prefixes.size(), -1);
    std::vector<std::thread> children;
    for (size_t c = 0; c < prefixes.size(); ++c)
        children.emplace_back([&, c] {
            exitCodes[c] = RunTestChild("RegistryWriteValues", {prefixes[c], std::to_string(kPerWriter)});
        });
    for (int i = 0; i < kPerWriter; ++i) {
        const OleString name = Wide("parent-" + std::to_string(i));
        EXPECT_EQ(ERROR_SUCCESS, SetDword(shared.get(), name.c_str(), static_cast<DWORD>(i))) << i;
    }
    for (std::thread& child : children)
        child.join();
    for (size_t c = 0; c < prefixes.size(); ++c)
        EXPECT_EQ(0, exitCodes[c]) << prefixes[c];

    std::vector<std::string> writers = prefixes;
    writers.push_back("parent");
    for (const std::string& writer : writers)
        for (int i = 0; i < kPerWriter; ++i) {
            const OleString name = Wide(writer + "-" + std::to_string(i));
            ASSERT_EQ(Dword(static_cast<DWORD>(i)), Query(shared.get(), name.c_str()).data) << writer << " " << i;
        }
    EXPECT_EQ(writers.size() * kPerWriter, ValueNames(shared.get()).size());
}

#ifndef _WIN32

// Sets an environment variable for the lifetime of the object.
class ScopedVariable {
public:
    ScopedVariable(const OLECHAR* name, const OleString& value) : name_(name)
    {
        OLECHAR previous[4096];
        const DWORD length = GetEnvironmentVariableW(name, previous, 4096);
        if (length > 0 && length < 4096)
            previous_ = OleString(previous, length);
        hadPrevious_ = length > 0 && length < 4096;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name_, hadPrevious_ ? previous_.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const OLECHAR* name_;
    OleString previous_;
    bool hadPrevious_ = false;
};

// A file of the given content that is removed with the object.
class ScratchFile {
public:
    ScratchFile(const std::string& tag, const std::string& content)
        : path_(std::filesystem::temp_directory_path() /
                ("lumoitems-registry-" + tag + "-" + std::to_string(GetCurrentProcessId())))
    {
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~ScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct PathCase {
    const char* what;
    OleString path;
    LSTATUS expected;
};

TEST_F(RegistryTest, KeyPathsAndNameLengthsAreChecked)
{
    const PathCase cases[] = {
        {"leading backslash", OLESTR("\\Lead"), ERROR_BAD_PATHNAME},
        {"lone backslash", OLESTR("\\"), ERROR_BAD_PATHNAME},
        {"doubled backslash", OLESTR("Dou\\\\ble"), ERROR_INVALID_PARAMETER},
        {"two trailing backslashes", OLESTR("Trail\\\\"), ERROR_INVALID_PARAMETER},
        {"component of 256", OleString(256, OLECHAR('k')), ERROR_INVALID_PARAMETER},
        {"one trailing backslash", OLESTR("Trail\\"), ERROR_SUCCESS},
        {"component of 255", OleString(255, OLECHAR('k')), ERROR_SUCCESS},
        {"nested", OLESTR("a\\b\\c"), ERROR_SUCCESS},
    };
    for (const PathCase& c : cases) {
        Key key;
        EXPECT_EQ(c.expected, Create(root(), c.path.c_str(), key)) << c.what;
        EXPECT_EQ(c.expected, Open(root(), c.path.c_str(), key)) << c.what;
    }
    EXPECT_EQ(ERROR_SUCCESS, SetDword(root(), OleString(16383, OLECHAR('v')).c_str(), 1));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, SetDword(root(), OleString(16384, OLECHAR('v')).c_str(), 1));
}

TEST(RegistryFile, UnusableFilesAreReported)
{
    const ScratchFile plain("plain", "not a directory");
    const ScratchFile garbage("garbage", std::string(4096, 'x'));
    const struct {
        const char* what;
        std::filesystem::path registry;
        LSTATUS expected;
    } cases[] = {
        {"directory that cannot be made", plain.Path() / "sub" / "registry.db", ERROR_CANTOPEN},
        {"file that is no database", garbage.Path(), ERROR_REGISTRY_CORRUPT},
    };
    for (const auto& c : cases) {
        const ScopedVariable variable(OLESTR("LUMOITEMS_REGISTRY"), Wide(c.registry.string()));
        Key key;
        EXPECT_EQ(c.expected, Create(HKEY_CURRENT_USER, OLESTR("Software"), key)) << c.what;
        EXPECT_EQ(c.expected, Open(HKEY_CURRENT_USER, OLESTR("Software"), key)) << c.what;
        EXPECT_EQ(c.expected, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1)) << c.what;
    }
}

TEST(RegistryFile, TheVariableSwitchesFilesButHandlesKeepTheirs)
{
    ScopedFreshRegistry first;
    Key inFirst;
    ASSERT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, OLESTR("Software\\Switch"), inFirst));
    ASSERT_EQ(ERROR_SUCCESS, SetDword(inFirst.get(), OLESTR("v"), 1));
    {
        ScopedFreshRegistry second;
        Key key;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, Open(HKEY_CURRENT_USER, OLESTR("Software\\Switch"), key));
        ASSERT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, OLESTR("Software\\Switch"), key));
        ASSERT_EQ(ERROR_SUCCESS, SetDword(key.get(), OLESTR("v"), 2));
        EXPECT_EQ(Dword(1), Query(inFirst.get(), OLESTR("v")).data);
        ASSERT_EQ(ERROR_SUCCESS, SetDword(inFirst.get(), OLESTR("w"), 3));
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(key.get(), OLESTR("w")).status);
    }
    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Open(HKEY_CURRENT_USER, OLESTR("Software\\Switch"), key));
    EXPECT_EQ(Dword(1), Query(key.get(), OLESTR("v")).data);
    EXPECT_EQ(Dword(3), Query(key.get(), OLESTR("w")).data);
}

TEST(RegistryFile, DeletedFileIsMadeAfresh)
{
    ScopedFreshRegistry registry;
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1));
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(registry.Path() + suffix);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Query(HKEY_CURRENT_USER, OLESTR("v")).status);
    EXPECT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 2));
    EXPECT_EQ(Dword(2), Query(HKEY_CURRENT_USER, OLESTR("v")).data);
}

// Another program's connection to a registry file, holding what it was asked to hold.
class ForeignConnection {
public:
    explicit ForeignConnection(const std::filesystem::path& path)
    {
        EXPECT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db_)) << path;
    }
    ~ForeignConnection() { sqlite3_close(db_); }
    ForeignConnection(const ForeignConnection&) = delete;
    ForeignConnection& operator=(const ForeignConnection&) = delete;

    void Execute(const char* sql) { ASSERT_EQ(SQLITE_OK, sqlite3_exec(db_, sql, nullptr, nullptr, nullptr)) << sql; }

private:
    sqlite3* db_ = nullptr;
};

std::string FileBytes(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(RegistryFile, ReadersDoNotWaitForAWriterOfAnotherProgram)
{
    std::string path;
    {
        ScopedFreshRegistry made;
        ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 7));
        path = made.Path();
        // Under another name the file is opened afresh; its log holds the latest writes.
        for (const char* suffix : {"", "-wal"})
            std::filesystem::copy_file(path + suffix, path + ".copy" + suffix);
    }
    const std::string copy = path + ".copy";
    ForeignConnection writer(copy);
    writer.Execute("BEGIN IMMEDIATE");
    writer.Execute("UPDATE keys SET written = written + 1");
    const ScopedVariable variable(OLESTR("LUMOITEMS_REGISTRY"), Wide(copy));
    EXPECT_EQ(Dword(7), Query(HKEY_CURRENT_USER, OLESTR("v")).data);
    writer.Execute("ROLLBACK");
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(copy + suffix);
}

// Files that are not a registry are refused, and left as they were.
TEST(RegistryFile, OtherFilesAreRefusedUntouched)
{
    const auto folder = std::filesystem::temp_directory_path() / ("lumoitems-foreign-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const struct {
        const char* what;
        const char* sql;
    } databases[] = {
        {"tables of its own", "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')"},
        {"a version of its own", "PRAGMA user_version = 7"},
        {"our table names under another version", "CREATE TABLE keys (id); CREATE TABLE key_values (id); PRAGMA user_version = 2"},
    };
    for (const auto& database : databases) {
        const auto path = folder / "foreign.db";
        {
            ForeignConnection other(path);
            other.Execute(database.sql);
        }
        const std::string before = FileBytes(path);
        {
            const ScopedVariable variable(OLESTR("LUMOITEMS_REGISTRY"), Wide(path.string()));
            Key key;
            EXPECT_EQ(ERROR_REGISTRY_CORRUPT, Open(HKEY_CURRENT_USER, OLESTR("Software"), key)) << database.what;
            EXPECT_EQ(ERROR_REGISTRY_CORRUPT, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1)) << database.what;
        }
        EXPECT_TRUE(before == FileBytes(path)) << database.what << ": the file changed";
        EXPECT_FALSE(std::filesystem::exists(path.string() + "-wal")) << database.what;
        std::filesystem::remove(path);
    }
    for (const std::filesystem::path& device : {std::filesystem::path("/dev/null"), folder}) {
        const ScopedVariable variable(OLESTR("LUMOITEMS_REGISTRY"), Wide(device.string()));
        EXPECT_EQ(ERROR_CANTOPEN, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1)) << device;
        EXPECT_FALSE(std::filesystem::exists(device.string() + "-journal")) << device;
        EXPECT_FALSE(std::filesystem::exists(device.string() + "-wal")) << device;
    }
    std::filesystem::remove_all(folder);
}

// Child: writes one value into the registry file named by argv[0], first of all processes.
LUMO_TEST_CHILD(RegistryFirstWrite)
{
    if (argc < 1)
        return 100;
    SetEnvironmentVariableW(OLESTR("LUMOITEMS_REGISTRY"), Wide(argv[0]).c_str());
    return static_cast<int>(SetDword(HKEY_CURRENT_USER, OLESTR("first"), 1));
}

TEST(RegistryFile, ProgramsMakingOneNewFileAtOnceAllSucceed)
{
    constexpr int kRounds = 8;
    constexpr int kPrograms = 3;
    const auto folder = std::filesystem::temp_directory_path() / ("lumoitems-race-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    for (int round = 0; round < kRounds; ++round) {
        const std::string path = (folder / ("registry-" + std::to_string(round) + ".db")).string();
        std::vector<int> exitCodes(kPrograms, -1);
        std::vector<std::thread> programs;
        for (int p = 0; p < kPrograms; ++p)
            programs.emplace_back([&, p] { exitCodes[p] = RunTestChild("RegistryFirstWrite", {path}); });
        for (std::thread& program : programs)
            program.join();
        for (int p = 0; p < kPrograms; ++p)
            EXPECT_EQ(0, exitCodes[p]) << "round " << round << ", program " << p;
    }
    std::filesystem::remove_all(folder);
}

LUMO_TEST_CHILD(RegistrySetOneValue)
{
    return static_cast<int>(SetDword(HKEY_CURRENT_USER, OLESTR("fromChild"), 1));
}

TEST(RegistryChangeStamp, ChangesWithWritesOnly)
{
    using lumo::platform::RegistryChangeStamp;
    ScopedFreshRegistry registry;
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1));
    const uint64_t initial = RegistryChangeStamp();
    EXPECT_EQ(initial, RegistryChangeStamp());
    ASSERT_EQ(ERROR_SUCCESS, Query(HKEY_CURRENT_USER, OLESTR("v")).status);
    EXPECT_EQ(initial, RegistryChangeStamp());

    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 2));
    const uint64_t afterWrite = RegistryChangeStamp();
    EXPECT_NE(initial, afterWrite);

    Key key;
    ASSERT_EQ(ERROR_SUCCESS, Create(HKEY_CURRENT_USER, OLESTR("Sub"), key));
    const uint64_t afterCreate = RegistryChangeStamp();
    EXPECT_NE(afterWrite, afterCreate);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CURRENT_USER, OLESTR("Sub")));
    EXPECT_NE(afterCreate, RegistryChangeStamp());
}

TEST(RegistryChangeStamp, SeesWritesOfOtherProcesses)
{
    using lumo::platform::RegistryChangeStamp;
    ScopedFreshRegistry registry;
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1));
    const uint64_t before = RegistryChangeStamp();
    ASSERT_EQ(0, RunTestChild("RegistrySetOneValue"));
    EXPECT_NE(before, RegistryChangeStamp());
    EXPECT_EQ(Dword(1), Query(HKEY_CURRENT_USER, OLESTR("fromChild")).data);
}

TEST(RegistryChangeStamp, ChangesWithTheFile)
{
    using lumo::platform::RegistryChangeStamp;
    ScopedFreshRegistry first;
    ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1));
    const uint64_t inFirst = RegistryChangeStamp();
    uint64_t inSecond = 0;
    {
        // The same number of writes in another file must not give the same stamp.
        ScopedFreshRegistry second;
        ASSERT_EQ(ERROR_SUCCESS, SetDword(HKEY_CURRENT_USER, OLESTR("v"), 1));
        inSecond = RegistryChangeStamp();
        EXPECT_NE(inFirst, inSecond);
    }
    EXPECT_NE(inSecond, RegistryChangeStamp());
}

#endif

}  // namespace
