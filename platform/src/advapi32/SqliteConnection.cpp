#include "advapi32/SqliteConnection.h"

#include <sqlite3.h>

namespace lumo::platform::registry {

LSTATUS StatusFromSqlite(int result) noexcept
{
    switch (result & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
        return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_BUSY;
    case SQLITE_NOMEM:
        return ERROR_OUTOFMEMORY;
    case SQLITE_FULL:
        return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

SqliteConnection::~SqliteConnection()
{
    for (auto& [sql, statement] : statements_)
        sqlite3_finalize(statement);
    if (db_)
        sqlite3_close(db_);
}

LSTATUS SqliteConnection::Open(const std::string& path, int busyTimeoutMs)
{
    // The owner serializes every use, so SQLite's own connection mutex is not needed.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int result = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (result != SQLITE_OK) {
        const LSTATUS status = StatusFromSqlite(result);
        return status == ERROR_REGISTRY_CORRUPT ? status : ERROR_CANTOPEN;
    }
    return StatusFromSqlite(sqlite3_busy_timeout(db_, busyTimeoutMs));
}

LSTATUS SqliteConnection::Execute(const char* sql)
{
    return StatusFromSqlite(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

LSTATUS SqliteConnection::QueryText(const char* sql, std::string& text)
{
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr);
    if (result == SQLITE_OK) {
        result = sqlite3_step(statement);
        if (result == SQLITE_ROW) {
            const auto* value = sqlite3_column_text(statement, 0);
            text = value ? reinterpret_cast<const char*>(value) : "";
            result = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return StatusFromSqlite(result);
}

SqliteStatement SqliteConnection::Prepare(const char* sql)
{
    if (auto found = statements_.find(sql); found != statements_.end())
        return SqliteStatement(found->second, ERROR_SUCCESS);
    sqlite3_stmt* statement = nullptr;
    const int result = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_finalize(statement);
        return SqliteStatement(nullptr, StatusFromSqlite(result));
    }
    statements_.emplace(sql, statement);
    return SqliteStatement(statement, ERROR_SUCCESS);
}

void SqliteConnection::KeepLogFilesOnClose() noexcept
{
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

int64_t SqliteConnection::LastInsertId() const noexcept
{
    return sqlite3_last_insert_rowid(db_);
}

int SqliteConnection::Changes() const noexcept
{
    return sqlite3_changes(db_);
}

SqliteStatement::~SqliteStatement()
{
    if (statement_) {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
}

SqliteStatement& SqliteStatement::Bind(int index, int64_t value)
{
    if (status_ == ERROR_SUCCESS)
        status_ = StatusFromSqlite(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view blob)
{
    // A null pointer would bind SQL NULL; an empty value must stay an empty blob.
    if (status_ == ERROR_SUCCESS)
        status_ = StatusFromSqlite(sqlite3_bind_blob64(statement_, index, blob.empty() ? "" : blob.data(),
                                                       blob.size(), SQLITE_TRANSIENT));
    return *this;
}

LSTATUS SqliteStatement::Step(bool& row)
{
    row = false;
    if (status_ != ERROR_SUCCESS)
        return status_;
    const int result = sqlite3_step(statement_);
    row = result == SQLITE_ROW;
    return StatusFromSqlite(result);
}

LSTATUS SqliteStatement::StepToRow(LSTATUS noRow)
{
    bool row = false;
    const LSTATUS status = Step(row);
    return status == ERROR_SUCCESS && !row ? noRow : status;
}

LSTATUS SqliteStatement::Run()
{
    bool row = false;
    return Step(row);
}

int64_t SqliteStatement::Integer(int column) const
{
    return sqlite3_column_int64(statement_, column);
}

std::string SqliteStatement::Blob(int column) const
{
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size)) : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, Kind kind)
    : connection_(connection)
    , status_(connection.Execute(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED"))
    , open_(status_ == ERROR_SUCCESS)
{
}

SqliteTransaction::~SqliteTransaction()
{
    if (open_)
        connection_.Execute("ROLLBACK");
}

LSTATUS SqliteTransaction::Commit()
{
    if (!open_)
        return status_;
    status_ = connection_.Execute("COMMIT");
    // A failed COMMIT leaves the transaction open; the destructor rolls it back.
    open_ = status_ != ERROR_SUCCESS;
    return status_;
}

}  // namespace lumo::platform::registry
