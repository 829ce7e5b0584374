#include "sysaccess/sqlite_db.h"

#include <windows.h>

#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "sysaccess/handles.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

SqliteStatus StatusOf(sqlite3* db, int code) {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) return {};
    const char* text = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return {code, FromUtf8(text != nullptr ? text : "")};
}

uint32_t BigEndian32(const unsigned char* bytes) {
    return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
           uint32_t{bytes[3]};
}

// The first 100 bytes of a database file and the file's size.
struct FileHeader {
    unsigned char bytes[100] = {};
    DWORD read = 0;
    uint64_t size = 0;
};

SqliteStatus ReadFileHeader(const std::wstring& path, FileHeader& header) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        return {SQLITE_CANTOPEN,
                L"unable to open database file (system error " + std::to_wstring(error) + L")"};
    }
    LARGE_INTEGER size = {};
    if (!ReadFile(file.Get(), header.bytes, sizeof header.bytes, &header.read, nullptr) ||
        !GetFileSizeEx(file.Get(), &size))
        return {SQLITE_IOERR, L"disk I/O error"};
    header.size = static_cast<uint64_t>(size.QuadPart);
    return {};
}

// The name SQLite opens. A read of a WAL database whose -wal file is not
// there (the browser closed it cleanly) would leave an empty -wal and a -shm
// behind, since a read-only connection may create them but never removes
// them: such a file is read as it stands, as an immutable URI.
std::string OpenName(const std::wstring& path, SqliteDb::Access access, int& flags) {
    FileHeader header;
    const bool wal = ReadFileHeader(path, header).Ok() && header.read == sizeof header.bytes &&
                     header.bytes[18] == 2 && header.bytes[19] == 2;
    const std::string utf8 = ToUtf8(path);
    if (access != SqliteDb::Access::kReadOnly || !wal ||
        GetFileAttributesW((path + L"-wal").c_str()) != INVALID_FILE_ATTRIBUTES)
        return utf8;
    std::string uri = "file:///";
    for (unsigned char c : utf8) {
        if (c == '\\') {
            uri += '/';
        } else if (isalnum(c) || strchr("/:-._~", c) != nullptr) {
            uri += static_cast<char>(c);
        } else {
            static const char kHex[] = "0123456789ABCDEF";
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    flags |= SQLITE_OPEN_URI;
    return uri + "?immutable=1";
}

}  // namespace

SqliteStatus SqliteStatus::CannotOpen(std::wstring message) {
    return {SQLITE_CANTOPEN, std::move(message)};
}

SqliteStatus SqliteStatus::Damaged(std::wstring message) {
    return {SQLITE_CORRUPT, std::move(message)};
}

SqliteStatus SqliteDb::Open(const std::wstring& path, Access access, int busyMs) {
    // What the open reports is the outcome; a close on the way says nothing more.
    (void)Close();
    int flags = (access == Access::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                SQLITE_OPEN_NOMUTEX;
    const std::string name = OpenName(path, access, flags);
    int code = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    SqliteStatus status = StatusOf(db_, code);
    if (!status.Ok()) {
        (void)Close();
        return status;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyMs);
    // The schema belongs to whoever wrote the file: its triggers must not run
    // inside a clean (one could fail it with a message of its choosing, or
    // change other rows), its views and defaults call no function with side
    // effects, and no statement may write to the file's structure directly.
    if (sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr) != SQLITE_OK ||
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) != SQLITE_OK ||
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK) {
        status = {SQLITE_ERROR, L"the database's triggers could not be turned off"};
        (void)Close();
    }
    return status;
}

SqliteStatus SqliteDb::Close() {
    if (db_ == nullptr) return {};
    int code = sqlite3_close_v2(db_);
    SqliteStatus status = StatusOf(nullptr, code);
    db_ = nullptr;
    return status;
}

SqliteStatus SqliteDb::Exec(std::string_view sql) {
    if (db_ == nullptr) return {SQLITE_MISUSE, L"the database is not open"};
    std::string text(sql);
    return StatusOf(db_, sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr));
}

bool SqliteDb::HasTable(std::string_view table) {
    SqliteStatement query;
    if (!query.Prepare(*this, "SELECT 1 FROM main.sqlite_master WHERE type='table' AND name=?")
             .Ok() ||
        !query.BindText(1, table).Ok())
        return false;
    return query.Next() == SqliteStatement::Step::kRow;
}

bool SqliteDb::HasColumn(std::string_view table, std::string_view column) {
    SqliteStatement query;
    if (!query.Prepare(*this, "SELECT 1 FROM pragma_table_info(?) WHERE name=?").Ok() ||
        !query.BindText(1, table).Ok() || !query.BindText(2, column).Ok())
        return false;
    return query.Next() == SqliteStatement::Step::kRow;
}

std::wstring SqliteDb::QueryText(std::string_view sql) {
    SqliteStatement query;
    if (!query.Prepare(*this, sql).Ok() || query.Next() != SqliteStatement::Step::kRow) return {};
    return query.Text(0);
}

int64_t SqliteDb::TotalChanges() const { return db_ != nullptr ? sqlite3_total_changes64(db_) : 0; }

SqliteStatus SqliteDb::LastStatus() const {
    if (db_ == nullptr) return {SQLITE_MISUSE, L"the database is not open"};
    return StatusOf(db_, sqlite3_extended_errcode(db_));
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatus SqliteStatement::Prepare(SqliteDb& db, std::string_view sql) {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    db_ = &db;
    if (!db.IsOpen()) return {SQLITE_MISUSE, L"the database is not open"};
    lastCode_ = sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()),
                                   &statement_, nullptr);
    return StatusOf(db.Handle(), lastCode_);
}

SqliteStatement::Step SqliteStatement::Next() {
    if (statement_ == nullptr) return Step::kError;
    lastCode_ = sqlite3_step(statement_);
    if (lastCode_ == SQLITE_ROW) return Step::kRow;
    if (lastCode_ == SQLITE_DONE) return Step::kDone;
    return Step::kError;
}

void SqliteStatement::Reset() {
    if (statement_ == nullptr) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

SqliteStatus SqliteStatement::BindText(int index, std::string_view utf8) {
    if (statement_ == nullptr) return {SQLITE_MISUSE, L"no statement"};
    lastCode_ = sqlite3_bind_text(statement_, index, utf8.data(), static_cast<int>(utf8.size()),
                                  SQLITE_TRANSIENT);
    return StatusOf(db_->Handle(), lastCode_);
}

SqliteStatus SqliteStatement::BindInt(int index, int64_t value) {
    if (statement_ == nullptr) return {SQLITE_MISUSE, L"no statement"};
    lastCode_ = sqlite3_bind_int64(statement_, index, value);
    return StatusOf(db_->Handle(), lastCode_);
}

int64_t SqliteStatement::Int(int column) const { return sqlite3_column_int64(statement_, column); }

std::string_view SqliteStatement::Utf8View(int column) const {
    const unsigned char* text = sqlite3_column_text(statement_, column);
    if (text == nullptr) return {};
    return std::string_view(reinterpret_cast<const char*>(text),
                            static_cast<size_t>(sqlite3_column_bytes(statement_, column)));
}

std::string SqliteStatement::Utf8(int column) const { return std::string(Utf8View(column)); }

std::wstring SqliteStatement::Text(int column) const { return FromUtf8(Utf8View(column)); }

int64_t SqliteStatement::Bytes(int column) const {
    return sqlite3_column_bytes(statement_, column);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

SqliteStatus SqliteStatement::LastStatus() const {
    if (db_ == nullptr || !db_->IsOpen()) return {SQLITE_MISUSE, L"the database is not open"};
    return StatusOf(db_->Handle(), lastCode_);
}

SqliteTransaction::~SqliteTransaction() { Rollback(); }

SqliteStatus SqliteTransaction::Begin() {
    // IMMEDIATE takes the write lock now: a busy database fails before any change.
    SqliteStatus status = db_.Exec("BEGIN IMMEDIATE");
    open_ = status.Ok();
    return status;
}

SqliteStatus SqliteTransaction::Commit() {
    if (!open_) return {SQLITE_MISUSE, L"no transaction is open"};
    SqliteStatus status = db_.Exec("COMMIT");
    // A failed COMMIT may leave the transaction open; the rollback ends it.
    if (status.Ok()) open_ = false;
    return status;
}

void SqliteTransaction::Rollback() {
    if (!open_) return;
    open_ = false;
    // A rollback that fails leaves the transaction to the close, which ends it
    // without its changes.
    if (db_.IsOpen() && sqlite3_get_autocommit(db_.Handle()) == 0) (void)db_.Exec("ROLLBACK");
}

SqliteStatus CheckSqliteFile(const std::wstring& path) {
    FileHeader file;
    SqliteStatus status = ReadFileHeader(path, file);
    if (!status.Ok()) return status;
    const unsigned char* header = file.bytes;
    static const char kMagic[] = "SQLite format 3";  // with its zero byte: 16 bytes
    if (file.read < sizeof file.bytes || memcmp(header, kMagic, sizeof kMagic) != 0)
        return {SQLITE_NOTADB, L"file is not a database"};
    // The page count in the header is valid when the change counter matches
    // the version-valid-for number (every SQLite since 3.7.0 keeps them so).
    uint32_t pageSize = (uint32_t{header[16]} << 8) | header[17];
    uint64_t bytesPerPage = pageSize == 1 ? 65536 : pageSize;
    uint32_t pages = BigEndian32(header + 28);
    if (pages != 0 && BigEndian32(header + 24) == BigEndian32(header + 92) &&
        file.size < bytesPerPage * pages)
        return {SQLITE_CORRUPT,
                L"database disk image is malformed (the file is shorter than its "
                L"header says)"};
    return {};
}

}  // namespace veltrane
