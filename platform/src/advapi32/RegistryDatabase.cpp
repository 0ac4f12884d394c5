#include "advapi32/RegistryDatabase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include <sys/stat.h>

#include "advapi32/ChangeStamp.h"
#include "advapi32/RegistryLocation.h"

namespace lumo::platform::registry {

namespace {

// Long enough that a writer in another process finishes; "busy" means something is wrong.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kSchemaVersion = 1;

constexpr const char* kCreateSchema = R"sql(
CREATE TABLE keys (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER NOT NULL,
    name BLOB NOT NULL,
    folded BLOB NOT NULL,
    class BLOB NOT NULL,
    written INTEGER NOT NULL,
    UNIQUE (parent, folded));
CREATE TABLE key_values (
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL,
    name BLOB NOT NULL,
    folded BLOB NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key, folded));
)sql";

// Key ids are never reused (AUTOINCREMENT), so a handle to a deleted key cannot come to
// name a newer one.
constexpr const char* kInsertRoot =
    "INSERT INTO keys (id, parent, name, folded, class, written) VALUES (?1, 0, ?2, ?3, x'', ?4)";
constexpr const char* kCountOurTables =
    "SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name IN ('keys', 'key_values')";
constexpr const char* kKeyExists = "SELECT 1 FROM keys WHERE id = ?1";
constexpr const char* kParentOf = "SELECT parent FROM keys WHERE id = ?1";
constexpr const char* kFindChild = "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2";
constexpr const char* kInsertKey =
    "INSERT INTO keys (parent, name, folded, class, written) VALUES (?1, ?2, ?3, ?4, ?5)";
constexpr const char* kTouchKey = "UPDATE keys SET written = ?2 WHERE id = ?1";
constexpr const char* kHasSubkeys = "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1";
constexpr const char* kHasValues = "SELECT 1 FROM key_values WHERE key = ?1 LIMIT 1";
constexpr const char* kDeleteTreeValues =
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
    "DELETE FROM key_values WHERE key IN tree";
constexpr const char* kDeleteTreeKeys =
    "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
    "DELETE FROM keys WHERE id IN tree AND id <> ?2";
constexpr const char* kSelectValue = "SELECT type, data FROM key_values WHERE key = ?1 AND folded = ?2";
// An existing value keeps its name's case and its place in the enumeration.
constexpr const char* kUpsertValue =
    "INSERT INTO key_values (key, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValue = "DELETE FROM key_values WHERE key = ?1 AND folded = ?2";
constexpr const char* kEnumKey =
    "SELECT name, class, written FROM keys WHERE parent = ?1 ORDER BY folded LIMIT 1 OFFSET ?2";
constexpr const char* kEnumValue =
    "SELECT name, type, data FROM key_values WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2";
constexpr const char* kKeyDetails = "SELECT class, written FROM keys WHERE id = ?1";
constexpr const char* kSubkeyStats =
    "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(class)), 0) FROM keys WHERE parent = ?1";
constexpr const char* kValueStats =
    "SELECT count(*), coalesce(max(length(name)), 0), coalesce(max(length(data)), 0) FROM key_values WHERE key = ?1";

struct RootKey {
    KeyId id;
    const WCHAR* name;
};
constexpr RootKey kRootKeys[] = {
    {kClassesRootId, u"HKEY_CLASSES_ROOT"}, {kCurrentUserId, u"HKEY_CURRENT_USER"},
    {kLocalMachineId, u"HKEY_LOCAL_MACHINE"}, {kUsersId, u"HKEY_USERS"},
    {kCurrentConfigId, u"HKEY_CURRENT_CONFIG"},
};

bool IsRoot(KeyId key) noexcept
{
    return key >= kClassesRootId && key <= kCurrentConfigId;
}

// FILETIME ticks: 100 ns since 1601-01-01.
int64_t Now()
{
    constexpr int64_t kUnixEpochTicks = 116444736000000000LL;
    const auto sinceUnixEpoch = std::chrono::system_clock::now().time_since_epoch();
    return kUnixEpochTicks + std::chrono::duration_cast<std::chrono::nanoseconds>(sinceUnixEpoch).count() / 100;
}

DWORD Characters(int64_t bytes)
{
    return static_cast<DWORD>(bytes / 2);
}

// A registry is a regular file or nothing yet: a device or a pipe is never opened, for
// SQLite would make its journal beside it.
LSTATUS RequireRegularFileOrNone(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT ? ERROR_SUCCESS : ERROR_CANTOPEN;
    return S_ISREG(info.st_mode) ? ERROR_SUCCESS : ERROR_CANTOPEN;
}

// SQLite answers some lock conflicts at once instead of waiting in its busy handler (a
// journal-mode switch, a read snapshot gone stale, recovery of the log by another process):
// such an attempt is made again until the busy timeout has passed. An attempt is a whole
// transaction, so it has changed nothing when it reports ERROR_BUSY.
template <class Attempt>
LSTATUS WhileBusy(Attempt&& attempt)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(kBusyTimeoutMs);
    auto pause = milliseconds(1);
    for (;;) {
        const LSTATUS status = attempt();
        if (status != ERROR_BUSY || steady_clock::now() >= deadline)
            return status;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, milliseconds(50));
    }
}

}  // namespace

LSTATUS RegistryDatabase::Open(const std::string& path, std::shared_ptr<RegistryDatabase>& database)
{
    std::shared_ptr<RegistryDatabase> opened(new RegistryDatabase(path));
    if (const LSTATUS status = opened->Initialize(); status != ERROR_SUCCESS)
        return status;
    database = std::move(opened);
    return ERROR_SUCCESS;
}

RegistryDatabase::~RegistryDatabase()
{
    if (device_ && !StillAtPath())
        connection_.KeepLogFilesOnClose();
}

LSTATUS RegistryDatabase::Initialize()
{
    if (LSTATUS status = PrepareRegistryDirectory(path_); status != ERROR_SUCCESS)
        return status;
    if (LSTATUS status = RequireRegularFileOrNone(path_); status != ERROR_SUCCESS)
        return status;
    if (LSTATUS status = connection_.Open(path_, kBusyTimeoutMs); status != ERROR_SUCCESS)
        return status;
    // Per connection: it changes nothing in the file.
    if (LSTATUS status = connection_.Execute("PRAGMA synchronous = NORMAL"); status != ERROR_SUCCESS)
        return status;
    if (LSTATUS status = Adopt(); status != ERROR_SUCCESS)
        return status;
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0)
        return ERROR_CANTOPEN;
    device_ = info.st_dev;
    inode_ = info.st_ino;
    changeCounter_ = AttachChangeCounter(path_);
    return ERROR_SUCCESS;
}

// A registry file is used as it is; an empty one is made a registry; anything else is
// refused before anything in it changes.
LSTATUS RegistryDatabase::Adopt()
{
    FileContents contents = FileContents::Foreign;
    if (LSTATUS status = Read([&] { return ReadContents(contents); }); status != ERROR_SUCCESS)
        return status;
    switch (contents) {
    case FileContents::Registry:
        return ERROR_SUCCESS;
    case FileContents::Empty:
        if (LSTATUS status = WhileBusy([this] { return UseWriteAheadLog(); }); status != ERROR_SUCCESS)
            return status;
        return Write([this] { return CreateSchema(); });
    default:
        return ERROR_REGISTRY_CORRUPT;
    }
}

LSTATUS RegistryDatabase::ReadContents(FileContents& contents)
{
    std::string version;
    if (LSTATUS status = connection_.QueryText("PRAGMA user_version", version); status != ERROR_SUCCESS)
        return status;
    std::string objects;
    if (LSTATUS status = connection_.QueryText("SELECT count(*) FROM sqlite_schema", objects); status != ERROR_SUCCESS)
        return status;
    std::string tables;
    if (LSTATUS status = connection_.QueryText(kCountOurTables, tables); status != ERROR_SUCCESS)
        return status;
    if (version == std::to_string(kSchemaVersion) && tables == "2")
        contents = FileContents::Registry;
    else if (version == "0" && objects == "0")
        contents = FileContents::Empty;
    else
        contents = FileContents::Foreign;
    return ERROR_SUCCESS;
}

// Write-ahead logging: readers never wait for a writer in another process, and a commit
// appends to the log without syncing the database (synchronous=NORMAL), which keeps module
// registration (many small writes) fast while surviving a crashed process. The mode is kept
// in the file, so only a new file is switched.
LSTATUS RegistryDatabase::UseWriteAheadLog()
{
    std::string mode;
    if (LSTATUS status = connection_.QueryText("PRAGMA journal_mode = WAL", mode); status != ERROR_SUCCESS)
        return status;
    return mode == "wal" ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

// Another process may have made the schema since the file was found empty.
LSTATUS RegistryDatabase::CreateSchema()
{
    FileContents contents = FileContents::Foreign;
    if (LSTATUS status = ReadContents(contents); status != ERROR_SUCCESS)
        return status;
    if (contents == FileContents::Registry)
        return ERROR_SUCCESS;
    if (contents != FileContents::Empty)
        return ERROR_REGISTRY_CORRUPT;
    if (LSTATUS status = connection_.Execute(kCreateSchema); status != ERROR_SUCCESS)
        return status;
    const std::string setVersion = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (LSTATUS status = connection_.Execute(setVersion.c_str()); status != ERROR_SUCCESS)
        return status;
    for (const RootKey& root : kRootKeys) {
        auto statement = connection_.Prepare(kInsertRoot);
        statement.Bind(1, root.id).Bind(2, EncodeName(root.name)).Bind(3, FoldName(root.name)).Bind(4, Now());
        if (LSTATUS status = statement.Run(); status != ERROR_SUCCESS)
            return status;
    }
    return ERROR_SUCCESS;
}

bool RegistryDatabase::StillAtPath() const noexcept
{
    struct stat info {};
    return stat(path_.c_str(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_;
}

// One transaction around 'body', committed when the body succeeds, made again while busy.
template <class Body>
LSTATUS RegistryDatabase::Transact(SqliteTransaction::Kind kind, Body&& body)
{
    std::lock_guard lock(mutex_);
    return WhileBusy([&]() -> LSTATUS {
        SqliteTransaction transaction(connection_, kind);
        if (transaction.Status() != ERROR_SUCCESS)
            return transaction.Status();
        if (LSTATUS status = body(); status != ERROR_SUCCESS)
            return status;
        return transaction.Commit();
    });
}

template <class Body>
LSTATUS RegistryDatabase::Read(Body&& body)
{
    return Transact(SqliteTransaction::Kind::Read, std::forward<Body>(body));
}

template <class Body>
LSTATUS RegistryDatabase::Write(Body&& body)
{
    const LSTATUS status = Transact(SqliteTransaction::Kind::Write, std::forward<Body>(body));
    if (status == ERROR_SUCCESS)
        BumpChangeCounter(changeCounter_);
    return status;
}

LSTATUS RegistryDatabase::RequireKey(KeyId key)
{
    bool exists = false;
    if (LSTATUS status = HasRows(kKeyExists, key, exists); status != ERROR_SUCCESS)
        return status;
    return exists ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LSTATUS RegistryDatabase::HasRows(const char* sql, KeyId key, bool& any)
{
    auto statement = connection_.Prepare(sql);
    statement.Bind(1, key);
    return statement.Step(any);
}

LSTATUS RegistryDatabase::FindChild(KeyId parent, WideView name, KeyId& child, bool& found)
{
    auto statement = connection_.Prepare(kFindChild);
    statement.Bind(1, parent).Bind(2, FoldName(name));
    if (LSTATUS status = statement.Step(found); status != ERROR_SUCCESS)
        return status;
    if (found)
        child = statement.Integer(0);
    return ERROR_SUCCESS;
}

LSTATUS RegistryDatabase::ParentOf(KeyId key, KeyId& parent)
{
    auto statement = connection_.Prepare(kParentOf);
    statement.Bind(1, key);
    if (LSTATUS status = statement.StepToRow(ERROR_KEY_DELETED); status != ERROR_SUCCESS)
        return status;
    parent = statement.Integer(0);
    return ERROR_SUCCESS;
}

LSTATUS RegistryDatabase::Walk(KeyId base, const KeyPath& path, KeyId& key, KeyId& parent)
{
    if (LSTATUS status = RequireKey(base); status != ERROR_SUCCESS)
        return status;
    key = base;
    if (path.empty())
        return ParentOf(base, parent);
    for (const WideView component : path) {
        bool found = false;
        parent = key;
        if (LSTATUS status = FindChild(parent, component, key, found); status != ERROR_SUCCESS)
            return status;
        if (!found)
            return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

LSTATUS RegistryDatabase::Touch(KeyId key)
{
    auto statement = connection_.Prepare(kTouchKey);
    statement.Bind(1, key).Bind(2, Now());
    return statement.Run();
}

LSTATUS RegistryDatabase::DeleteBelow(KeyId top, KeyId keep)
{
    auto values = connection_.Prepare(kDeleteTreeValues);
    values.Bind(1, top);
    if (LSTATUS status = values.Run(); status != ERROR_SUCCESS)
        return status;
    auto keys = connection_.Prepare(kDeleteTreeKeys);
    keys.Bind(1, top).Bind(2, keep);
    return keys.Run();
}

LSTATUS RegistryDatabase::OpenKey(KeyId base, const KeyPath& path, KeyId& key)
{
    return Read([&]() -> LSTATUS {
        KeyId parent = 0;
        return Walk(base, path, key, parent);
    });
}

LSTATUS RegistryDatabase::CreateKey(KeyId base, const KeyPath& path, WideView className, KeyId& key,
                                    bool& created)
{
    created = false;
    return Write([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(base); status != ERROR_SUCCESS)
            return status;
        key = base;
        for (size_t i = 0; i < path.size(); ++i) {
            const KeyId parent = key;
            bool found = false;
            if (LSTATUS status = FindChild(parent, path[i], key, found); status != ERROR_SUCCESS)
                return status;
            if (found)
                continue;
            // Intermediate keys are plain; only the key asked for gets the class.
            const WideView keyClass = i + 1 == path.size() ? className : WideView();
            auto insert = connection_.Prepare(kInsertKey);
            insert.Bind(1, parent)
                .Bind(2, EncodeName(path[i]))
                .Bind(3, FoldName(path[i]))
                .Bind(4, EncodeName(keyClass))
                .Bind(5, Now());
            if (LSTATUS status = insert.Run(); status != ERROR_SUCCESS)
                return status;
            key = connection_.LastInsertId();
            if (LSTATUS status = Touch(parent); status != ERROR_SUCCESS)
                return status;
            created = i + 1 == path.size();
        }
        return ERROR_SUCCESS;
    });
}

LSTATUS RegistryDatabase::DeleteKey(KeyId base, const KeyPath& path)
{
    return Write([&]() -> LSTATUS {
        KeyId key = 0;
        KeyId parent = 0;
        if (LSTATUS status = Walk(base, path, key, parent); status != ERROR_SUCCESS)
            return status;
        bool hasSubkeys = false;
        if (LSTATUS status = HasRows(kHasSubkeys, key, hasSubkeys); status != ERROR_SUCCESS)
            return status;
        if (IsRoot(key) || hasSubkeys)
            return ERROR_ACCESS_DENIED;
        if (LSTATUS status = DeleteBelow(key, 0); status != ERROR_SUCCESS)
            return status;
        return Touch(parent);
    });
}

LSTATUS RegistryDatabase::DeleteTree(KeyId base, const KeyPath& path)
{
    return Write([&]() -> LSTATUS {
        KeyId key = 0;
        KeyId parent = 0;
        if (LSTATUS status = Walk(base, path, key, parent); status != ERROR_SUCCESS)
            return status;
        // Refused before anything goes, rather than emptying a root and then failing.
        if (IsRoot(key))
            return ERROR_ACCESS_DENIED;
        if (LSTATUS status = DeleteBelow(key, 0); status != ERROR_SUCCESS)
            return status;
        return Touch(parent);
    });
}

LSTATUS RegistryDatabase::DeleteContents(KeyId key, bool mayDeleteValues)
{
    return Write([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        bool hasValues = false;
        if (LSTATUS status = HasRows(kHasValues, key, hasValues); status != ERROR_SUCCESS)
            return status;
        if (hasValues && !mayDeleteValues)
            return ERROR_ACCESS_DENIED;
        if (LSTATUS status = DeleteBelow(key, key); status != ERROR_SUCCESS)
            return status;
        return Touch(key);
    });
}

LSTATUS RegistryDatabase::QueryValue(KeyId key, WideView name, StoredValue& value)
{
    return Read([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        auto statement = connection_.Prepare(kSelectValue);
        statement.Bind(1, key).Bind(2, FoldName(name));
        if (LSTATUS status = statement.StepToRow(ERROR_FILE_NOT_FOUND); status != ERROR_SUCCESS)
            return status;
        value.type = static_cast<DWORD>(statement.Integer(0));
        value.data = statement.Blob(1);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegistryDatabase::SetValue(KeyId key, WideView name, DWORD type, std::string_view data)
{
    return Write([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        auto statement = connection_.Prepare(kUpsertValue);
        statement.Bind(1, key)
            .Bind(2, EncodeName(name))
            .Bind(3, FoldName(name))
            .Bind(4, static_cast<int64_t>(type))
            .Bind(5, data);
        if (LSTATUS status = statement.Run(); status != ERROR_SUCCESS)
            return status;
        return Touch(key);
    });
}

LSTATUS RegistryDatabase::DeleteValue(KeyId key, WideView name)
{
    return Write([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        auto statement = connection_.Prepare(kDeleteValue);
        statement.Bind(1, key).Bind(2, FoldName(name));
        if (LSTATUS status = statement.Run(); status != ERROR_SUCCESS)
            return status;
        if (connection_.Changes() == 0)
            return ERROR_FILE_NOT_FOUND;
        return Touch(key);
    });
}

LSTATUS RegistryDatabase::EnumKey(KeyId key, DWORD index, SubkeyEntry& entry)
{
    return Read([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        auto statement = connection_.Prepare(kEnumKey);
        statement.Bind(1, key).Bind(2, static_cast<int64_t>(index));
        if (LSTATUS status = statement.StepToRow(ERROR_NO_MORE_ITEMS); status != ERROR_SUCCESS)
            return status;
        entry.name = DecodeName(statement.Blob(0));
        entry.className = DecodeName(statement.Blob(1));
        entry.lastWriteTime = static_cast<uint64_t>(statement.Integer(2));
        return ERROR_SUCCESS;
    });
}

LSTATUS RegistryDatabase::EnumValue(KeyId key, DWORD index, NamedValue& entry)
{
    return Read([&]() -> LSTATUS {
        if (LSTATUS status = RequireKey(key); status != ERROR_SUCCESS)
            return status;
        auto statement = connection_.Prepare(kEnumValue);
        statement.Bind(1, key).Bind(2, static_cast<int64_t>(index));
        if (LSTATUS status = statement.StepToRow(ERROR_NO_MORE_ITEMS); status != ERROR_SUCCESS)
            return status;
        entry.name = DecodeName(statement.Blob(0));
        entry.value.type = static_cast<DWORD>(statement.Integer(1));
        entry.value.data = statement.Blob(2);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegistryDatabase::QueryInfo(KeyId key, KeyInfo& info)
{
    return Read([&]() -> LSTATUS {
        bool found = false;
        {
            auto details = connection_.Prepare(kKeyDetails);
            details.Bind(1, key);
            if (LSTATUS status = details.Step(found); status != ERROR_SUCCESS)
                return status;
            if (!found)
                return ERROR_KEY_DELETED;
            info.className = DecodeName(details.Blob(0));
            info.lastWriteTime = static_cast<uint64_t>(details.Integer(1));
        }
        {
            auto subkeys = connection_.Prepare(kSubkeyStats);
            subkeys.Bind(1, key);
            if (LSTATUS status = subkeys.Step(found); status != ERROR_SUCCESS)
                return status;
            info.subkeys = static_cast<DWORD>(subkeys.Integer(0));
            info.maxSubkeyNameLength = Characters(subkeys.Integer(1));
            info.maxClassLength = Characters(subkeys.Integer(2));
        }
        auto values = connection_.Prepare(kValueStats);
        values.Bind(1, key);
        if (LSTATUS status = values.Step(found); status != ERROR_SUCCESS)
            return status;
        info.values = static_cast<DWORD>(values.Integer(0));
        info.maxValueNameLength = Characters(values.Integer(1));
        info.maxValueDataSize = static_cast<DWORD>(values.Integer(2));
        return ERROR_SUCCESS;
    });
}

}  // namespace lumo::platform::registry
