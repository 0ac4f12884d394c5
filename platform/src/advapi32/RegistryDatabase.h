// The registry kept in one SQLite file: keys, values, and the operations of the Win32 API
// on them, each one transaction. Keys are named by id; the five predefined roots have
// fixed ids and cannot be deleted. Thread-safe: one mutex serializes the connection.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <sys/types.h>

#include <windows.h>

#include "advapi32/KeyNames.h"
#include "advapi32/SqliteConnection.h"

namespace lumo::platform::registry {

using KeyId = int64_t;

constexpr KeyId kClassesRootId = 1;
constexpr KeyId kCurrentUserId = 2;
constexpr KeyId kLocalMachineId = 3;
constexpr KeyId kUsersId = 4;
constexpr KeyId kCurrentConfigId = 5;

struct StoredValue {
    DWORD type = REG_NONE;
    Bytes data;
};

struct NamedValue {
    WideString name;
    StoredValue value;
};

struct SubkeyEntry {
    WideString name;
    WideString className;
    uint64_t lastWriteTime = 0;  // FILETIME ticks
};

struct KeyInfo {
    WideString className;
    DWORD subkeys = 0;
    DWORD maxSubkeyNameLength = 0;  // characters
    DWORD maxClassLength = 0;       // characters
    DWORD values = 0;
    DWORD maxValueNameLength = 0;  // characters
    DWORD maxValueDataSize = 0;    // bytes
    uint64_t lastWriteTime = 0;
};

class RegistryDatabase {
public:
    // Opens (creating when missing) the database at 'path'.
    static LSTATUS Open(const std::string& path, std::shared_ptr<RegistryDatabase>& database);
    ~RegistryDatabase();
    RegistryDatabase(const RegistryDatabase&) = delete;
    RegistryDatabase& operator=(const RegistryDatabase&) = delete;

    const std::string& Path() const noexcept { return path_; }
    // False once the file at Path() is gone or another file has taken its place.
    bool StillAtPath() const noexcept;

    // Every call below reports ERROR_KEY_DELETED when 'key' (or 'base') no longer exists.
    LSTATUS OpenKey(KeyId base, const KeyPath& path, KeyId& key);
    LSTATUS CreateKey(KeyId base, const KeyPath& path, WideView className, KeyId& key, bool& created);
    // The key must have no subkeys (ERROR_ACCESS_DENIED otherwise, as on Windows).
    LSTATUS DeleteKey(KeyId base, const KeyPath& path);
    // The key at 'path' with everything below it.
    LSTATUS DeleteTree(KeyId base, const KeyPath& path);
    // The values and subkeys of 'key'; the key stays. ERROR_ACCESS_DENIED when the key has
    // values and 'mayDeleteValues' is false.
    LSTATUS DeleteContents(KeyId key, bool mayDeleteValues);

    LSTATUS QueryValue(KeyId key, WideView name, StoredValue& value);
    LSTATUS SetValue(KeyId key, WideView name, DWORD type, std::string_view data);
    LSTATUS DeleteValue(KeyId key, WideView name);

    // Subkeys in the order of their upper-cased names, values in the order they were made.
    LSTATUS EnumKey(KeyId key, DWORD index, SubkeyEntry& entry);
    LSTATUS EnumValue(KeyId key, DWORD index, NamedValue& entry);
    LSTATUS QueryInfo(KeyId key, KeyInfo& info);

private:
    explicit RegistryDatabase(std::string path) : path_(std::move(path)) {}
    enum class FileContents { Registry, Empty, Foreign };

    LSTATUS Initialize();
    LSTATUS Adopt();
    LSTATUS ReadContents(FileContents& contents);
    LSTATUS UseWriteAheadLog();
    LSTATUS CreateSchema();

    template <class Body>
    LSTATUS Transact(SqliteTransaction::Kind kind, Body&& body);
    template <class Body>
    LSTATUS Read(Body&& body);
    template <class Body>
    LSTATUS Write(Body&& body);

    LSTATUS RequireKey(KeyId key);
    LSTATUS FindChild(KeyId parent, WideView name, KeyId& child, bool& found);
    // Follows 'path' from 'base'; 'parent' receives the parent of the key found.
    LSTATUS Walk(KeyId base, const KeyPath& path, KeyId& key, KeyId& parent);
    LSTATUS ParentOf(KeyId key, KeyId& parent);
    LSTATUS HasRows(const char* sql, KeyId key, bool& any);
    LSTATUS Touch(KeyId key);
    LSTATUS DeleteBelow(KeyId top, KeyId keep);

    std::mutex mutex_;
    SqliteConnection connection_;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    uint64_t* changeCounter_ = nullptr;
};

}  // namespace lumo::platform::registry
