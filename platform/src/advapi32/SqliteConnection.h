// A thin layer over one SQLite connection: cached statements, transactions, Win32 statuses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include <windows.h>

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::platform::registry {

LSTATUS StatusFromSqlite(int result) noexcept;

class SqliteStatement;

// Not thread-safe: the owner serializes all use of a connection.
class SqliteConnection {
public:
    SqliteConnection() = default;
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    LSTATUS Open(const std::string& path, int busyTimeoutMs);
    LSTATUS Execute(const char* sql);
    // The first column of the first row as text (pragmas).
    LSTATUS QueryText(const char* sql, std::string& text);
    // Statements are prepared once and kept, keyed by the address of the SQL literal.
    SqliteStatement Prepare(const char* sql);
    // Makes closing leave the write-ahead log and shared-memory files alone. For a database
    // whose file was deleted or replaced: SQLite removes those files by name on close, and
    // the names now belong to the new database.
    void KeepLogFilesOnClose() noexcept;
    int64_t LastInsertId() const noexcept;
    int Changes() const noexcept;

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
};

// One use of a cached statement; resets it when it goes out of scope. A statement that
// failed to prepare ignores its bindings and reports the failure from Step.
class SqliteStatement {
public:
    SqliteStatement(sqlite3_stmt* statement, LSTATUS status) noexcept : statement_(statement), status_(status) {}
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& Bind(int index, int64_t value);
    SqliteStatement& Bind(int index, std::string_view blob);
    // ERROR_SUCCESS with 'row' telling whether a row is there, or the failure.
    LSTATUS Step(bool& row);
    // ERROR_SUCCESS when a row is there, 'noRow' when none is, or the failure.
    LSTATUS StepToRow(LSTATUS noRow);
    // Runs a statement that returns no rows.
    LSTATUS Run();
    int64_t Integer(int column) const;
    std::string Blob(int column) const;

private:
    sqlite3_stmt* statement_;
    LSTATUS status_;
};

class SqliteTransaction {
public:
    enum class Kind { Read, Write };
    // Writes take the database's write lock at once (BEGIN IMMEDIATE), so that two writers
    // wait for each other in the busy handler instead of failing on a lock upgrade.
    SqliteTransaction(SqliteConnection& connection, Kind kind);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    LSTATUS Status() const noexcept { return status_; }
    LSTATUS Commit();

private:
    SqliteConnection& connection_;
    LSTATUS status_;
    bool open_ = false;
};

}  // namespace lumo::platform::registry
