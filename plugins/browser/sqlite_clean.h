#pragma once
// How every browser database is cleaned and read. A clean runs its
// statements in one transaction with secure_delete on, then VACUUMs and
// checkpoints a WAL away, so deleted rows linger neither in free pages nor in
// a journal, and checks the database afterwards (quick_check); any failure
// before the commit rolls back and leaves the file as it was. A database
// reached through a link is never written.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sysaccess/sqlite_db.h"

namespace veltrane {

using DatabaseWork = std::function<SqliteStatus(SqliteDb& db)>;

// Opens the database at `path` for writing and runs `work` as one clean. A
// failure's message says whether the file was left as it was or the rows
// went and only compacting failed.
SqliteStatus CleanDatabase(const std::wstring& path, const DatabaseWork& work);
// Opens the database read-only for a scan (a file that is no database is
// refused before SQLite sees it).
SqliteStatus OpenForScan(SqliteDb& db, const std::wstring& path);
// Runs `sql` if `table` exists; a missing table is nothing to clean.
SqliteStatus ExecIfTable(SqliteDb& db, std::string_view table, std::string_view sql);
// One statement of a clean: it runs when `table` exists and, when
// `column` is given, has that column (versions differ).
struct [[nodiscard]] CleanStep {
    const char* table;
    const char* sql;
    const char* column = nullptr;
};
// Runs `steps` in their order, up to the first failure.
SqliteStatus RunCleanSteps(SqliteDb& db, std::span<const CleanStep> steps);
// Runs `sql` once per row of `query`, with the query's row as bindings.
SqliteStatus ForEachRow(SqliteDb& db, std::string_view query,
                        const std::function<void(const SqliteStatement& row)>& visit);
// `column` when `table` has it, else "0": versions differ in their columns.
std::string ColumnOrZero(SqliteDb& db, std::string_view table, std::string_view column);
// "length(a) + length(b) ..." over those of `columns` that `table` has ("0" when none).
std::string SumOfLengths(SqliteDb& db, std::string_view table,
                         std::initializer_list<std::string_view> columns);
// A temporary table `name`(id INTEGER PRIMARY KEY) filled with `ids`.
SqliteStatus FillTempIdTable(SqliteDb& db, std::string_view name, const std::vector<int64_t>& ids);
// A temporary table `name`(value TEXT PRIMARY KEY) filled with `values`.
SqliteStatus FillTempTextTable(SqliteDb& db, std::string_view name,
                               const std::vector<std::string>& values);

}  // namespace veltrane
