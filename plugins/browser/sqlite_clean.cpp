#include "plugins/browser/sqlite_clean.h"

#include <windows.h>

#include "sysaccess/path_route.h"

namespace veltrane {

namespace {

// What a failure meant for the file, for the report.
SqliteStatus Untouched(SqliteStatus status) {
    status.message += L" (the file was left as it was)";
    return status;
}

SqliteStatus AfterCommit(SqliteStatus status) {
    status.message =
        L"the rows were removed, but the file could not be compacted: " + status.message;
    return status;
}

// A database is written only where it is: SQLite would follow a link to
// whatever file it points at.
SqliteStatus CheckRoute(const std::wstring& path) {
    const RouteCheck check = CheckPathRoute(path);
    if (check.route == PathRoute::kThroughLink)
        return SqliteStatus::CannotOpen(
            L"the file is reached through a link" +
            (check.finalPath.empty() ? std::wstring() : L" (to " + check.finalPath + L")") +
            L", and Veltrane writes no file through a link");
    if (check.route != PathRoute::kDirect)
        return SqliteStatus::CannotOpen(L"unable to open database file (system error " +
                                        std::to_wstring(check.error) + L")");
    return {};
}

// A temporary table `name`(`column`) holding `values`, each bound by `bind`.
// A value that could not be bound stops the fill: an unbound id would go in
// as NULL, which an INTEGER PRIMARY KEY turns into a rowid of its own.
template <typename Value, typename Bind>
SqliteStatus FillTempTable(SqliteDb& db, std::string_view name, const char* column,
                           const std::vector<Value>& values, Bind bind) {
    const std::string table(name);
    SqliteStatus status = db.Exec("DROP TABLE IF EXISTS temp." + table + "; CREATE TEMP TABLE " +
                                  table + "(" + column + ")");
    if (!status.Ok()) return status;
    SqliteStatement insert;
    status = insert.Prepare(db, "INSERT OR IGNORE INTO temp." + table + " VALUES(?)");
    if (!status.Ok()) return status;
    for (const Value& value : values) {
        insert.Reset();
        status = bind(insert, value);
        if (!status.Ok()) return status;
        if (insert.Next() != SqliteStatement::Step::kDone) return insert.LastStatus();
    }
    return {};
}

}  // namespace

SqliteStatus CleanDatabase(const std::wstring& path, const DatabaseWork& work) {
    SqliteStatus status = CheckRoute(path);
    if (status.Ok()) status = CheckSqliteFile(path);
    if (!status.Ok()) return Untouched(status);
    SqliteDb db;
    status = db.Open(path, SqliteDb::Access::kReadWrite);
    if (!status.Ok()) return Untouched(status);
    // Freed pages are overwritten with zeros, and nothing spills to a temp
    // file. Deleting a long history dirties more pages than SQLite's default
    // cache of 2 MiB holds; spilled early, they would be written twice.
    status = db.Exec("PRAGMA secure_delete=ON; PRAGMA temp_store=MEMORY; PRAGMA cache_size=-8192");
    if (!status.Ok()) return Untouched(status);
    {
        SqliteTransaction transaction(db);
        status = transaction.Begin();
        if (status.Ok()) status = work(db);
        if (status.Ok()) status = transaction.Commit();
        if (!status.Ok()) return Untouched(status);  // the transaction rolls back
    }
    status = db.Exec("VACUUM");
    if (!status.Ok()) return AfterCommit(status);
    // A WAL database keeps the old pages in its -wal file until a checkpoint.
    if (db.QueryText("PRAGMA journal_mode") == L"wal") {
        status = db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        if (!status.Ok()) return AfterCommit(status);
    }
    // A file the browser cannot read back is no clean.
    const std::wstring check = db.QueryText("PRAGMA quick_check");
    if (check != L"ok")
        return SqliteStatus::Damaged(
            L"the rows were removed, but the database failed its check afterwards: " +
            (check.empty() ? db.LastStatus().message : check));
    status = db.Close();
    return status.Ok() ? status : AfterCommit(status);
}

SqliteStatus OpenForScan(SqliteDb& db, const std::wstring& path) {
    SqliteStatus status = CheckSqliteFile(path);
    if (!status.Ok()) return status;
    status = db.Open(path, SqliteDb::Access::kReadOnly, 500);
    if (!status.Ok()) return status;
    // The open is lazy: reading the schema tells a busy or damaged file at once.
    return db.Exec("SELECT count(*) FROM sqlite_master");
}

SqliteStatus ExecIfTable(SqliteDb& db, std::string_view table, std::string_view sql) {
    if (!db.HasTable(table)) return {};
    return db.Exec(sql);
}

SqliteStatus RunCleanSteps(SqliteDb& db, std::span<const CleanStep> steps) {
    for (const CleanStep& step : steps) {
        if (step.column != nullptr && !db.HasColumn(step.table, step.column)) continue;
        SqliteStatus status = ExecIfTable(db, step.table, step.sql);
        if (!status.Ok()) return status;
    }
    return {};
}

SqliteStatus ForEachRow(SqliteDb& db, std::string_view query,
                        const std::function<void(const SqliteStatement& row)>& visit) {
    SqliteStatement statement;
    SqliteStatus status = statement.Prepare(db, query);
    if (!status.Ok()) return status;
    SqliteStatement::Step step;
    while ((step = statement.Next()) == SqliteStatement::Step::kRow) visit(statement);
    return step == SqliteStatement::Step::kDone ? SqliteStatus{} : statement.LastStatus();
}

std::string ColumnOrZero(SqliteDb& db, std::string_view table, std::string_view column) {
    return db.HasColumn(table, column) ? std::string(column) : std::string("0");
}

std::string SumOfLengths(SqliteDb& db, std::string_view table,
                         std::initializer_list<std::string_view> columns) {
    std::string sum;
    for (std::string_view column : columns) {
        if (!db.HasColumn(table, column)) continue;
        sum += (sum.empty() ? "length(" : " + length(") + std::string(column) + ")";
    }
    return sum.empty() ? std::string("0") : sum;
}

SqliteStatus FillTempIdTable(SqliteDb& db, std::string_view name, const std::vector<int64_t>& ids) {
    return FillTempTable(db, name, "id INTEGER PRIMARY KEY", ids,
                         [](SqliteStatement& insert, int64_t id) { return insert.BindInt(1, id); });
}

SqliteStatus FillTempTextTable(SqliteDb& db, std::string_view name,
                               const std::vector<std::string>& values) {
    return FillTempTable(db, name, "value TEXT PRIMARY KEY", values,
                         [](SqliteStatement& insert, const std::string& value) {
                             return insert.BindText(1, value);
                         });
}

}  // namespace veltrane
