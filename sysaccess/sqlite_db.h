#pragma once
// SQLite connections, statements and transactions as small owners. Every
// failure comes back as a SqliteStatus that keeps SQLite's own message, so a
// report can say exactly what the database refused.
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace veltrane {

struct [[nodiscard]] SqliteStatus {
    int code = 0;          // SQLite's result code; 0 (SQLITE_OK) on success
    std::wstring message;  // SQLite's message for the failure, empty on success

    bool Ok() const { return code == 0; }
    static SqliteStatus Success() { return {}; }
    // Failures found beside SQLite, with SQLite's code for their kind.
    static SqliteStatus CannotOpen(std::wstring message);
    static SqliteStatus Damaged(std::wstring message);
};

class SqliteDb {
public:
    enum class Access { kReadOnly, kReadWrite };

    SqliteDb() = default;
    // A close that fails here has no one to tell: SQLite frees the connection
    // once its last statement is finalised.
    ~SqliteDb() { (void)Close(); }
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens an existing database; never creates one. A database another
    // connection holds waits up to `busyMs` before failing as busy. A
    // read-only open leaves no -wal or -shm file behind that was not there.
    // The file's own triggers never run on this connection, its schema is
    // not trusted (defensive mode, trusted_schema off).
    [[nodiscard]] SqliteStatus Open(const std::wstring& path, Access access, int busyMs = 2000);
    SqliteStatus Close();
    bool IsOpen() const { return db_ != nullptr; }

    // Runs one or more statements that return no rows.
    [[nodiscard]] SqliteStatus Exec(std::string_view sql);
    // Whether `table` exists in the main database (schemas differ by version).
    bool HasTable(std::string_view table);
    // Whether `table` has `column`.
    bool HasColumn(std::string_view table, std::string_view column);
    // The single text result of a pragma or query ("ok", "wal", ...); empty on failure.
    std::wstring QueryText(std::string_view sql);
    int64_t TotalChanges() const;

    // The status of the last call on this connection, with SQLite's message.
    SqliteStatus LastStatus() const;
    sqlite3* Handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    enum class Step { kRow, kDone, kError };

    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    [[nodiscard]] SqliteStatus Prepare(SqliteDb& db, std::string_view sql);
    [[nodiscard]] Step Next();
    // Ready to run again with new bindings.
    void Reset();
    [[nodiscard]] SqliteStatus BindText(int index, std::string_view utf8);
    [[nodiscard]] SqliteStatus BindInt(int index, int64_t value);

    int64_t Int(int column) const;
    std::wstring Text(int column) const;
    std::string Utf8(int column) const;
    // The column's text where SQLite keeps it, valid until the next step.
    std::string_view Utf8View(int column) const;
    // Bytes of the column's value as stored (text or blob).
    int64_t Bytes(int column) const;
    bool IsNull(int column) const;

    // The status after the last step, with SQLite's message.
    SqliteStatus LastStatus() const;

private:
    SqliteDb* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
    int lastCode_ = 0;
};

// BEGIN IMMEDIATE on Begin, COMMIT on Commit, ROLLBACK when it goes out of
// scope uncommitted, so an early return never leaves half a clean behind.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDb& db) : db_(db) {}
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    [[nodiscard]] SqliteStatus Begin();
    [[nodiscard]] SqliteStatus Commit();
    void Rollback();

private:
    SqliteDb& db_;
    bool open_ = false;
};

// Whether the file is an SQLite database whole: its header, and at least as
// many pages as the header counts. A file of any other kind is never opened
// for writing: SQLite would take an empty file for an empty database and
// write one, and a truncated one could be changed before the damage shows.
[[nodiscard]] SqliteStatus CheckSqliteFile(const std::wstring& path);

}  // namespace veltrane
