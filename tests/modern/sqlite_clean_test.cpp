// The way every browser database is cleaned, against real SQLite files:
// deleted text leaves the file, a failure leaves the file byte for byte as
// it was, and a file that is no (whole) database is never written.
#include <gtest/gtest.h>

#include "modern_fixture.h"
#include "plugins/browser/sqlite_clean.h"
#include "seedtraces/modern_browsers.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "sysaccess/file_info.h"

namespace veltrane {

namespace {

class SqliteClean : public testing::Test {
protected:
    ScopedTestFolder folder_{L"SqliteClean"};
    std::wstring Db(const wchar_t* name) const { return folder_.Sub(name); }

    // A database whose rows hold `marker`, in rollback or WAL journal mode.
    std::wstring Seed(const wchar_t* name, bool wal) {
        std::string sql = wal ? "PRAGMA journal_mode=WAL;" : "";
        sql +=
            "CREATE TABLE t(id INTEGER PRIMARY KEY, text TEXT); WITH RECURSIVE n(i) AS "
            "(SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) INSERT INTO t SELECT i, "
            "'row-'||i||'-deleted-marker-'||hex(randomblob(20)) FROM n;"
            "INSERT INTO t VALUES(1000,'kept row');";
        EXPECT_TRUE(WriteDatabase(Db(name), sql));
        return Db(name);
    }
};

TEST_F(SqliteClean, DeletedRowsLeaveTheFileAndTheDatabaseStaysSound) {
    for (bool wal : {false, true}) {
        const std::wstring path = Seed(wal ? L"wal.db" : L"rollback.db", wal);
        ASSERT_TRUE(BytesContain(path, "deleted-marker"));
        SqliteStatus status = CleanDatabase(
            path, [](SqliteDb& db) { return db.Exec("DELETE FROM t WHERE id < 1000"); });
        ASSERT_TRUE(status.Ok()) << status.message;
        EXPECT_FALSE(BytesContain(path, "deleted-marker")) << wal;
        EXPECT_FALSE(BytesContain(path + L"-wal", "deleted-marker")) << wal;
        EXPECT_EQ(QueryOne(path, "PRAGMA integrity_check"), L"ok");
        EXPECT_EQ(QueryOne(path, "SELECT group_concat(text) FROM t"), L"kept row");
        // The journal mode the browser chose is its own (the header's write version).
        EXPECT_EQ(FileBytes(path).at(18), wal ? 2 : 1);
    }
}

TEST_F(SqliteClean, AFailureRollsBackAndKeepsSqlitesMessage) {
    for (bool wal : {false, true}) {
        const std::wstring path = Seed(wal ? L"wal.db" : L"rollback.db", wal);
        const std::string before = FileBytes(path);
        SqliteStatus status = CleanDatabase(path, [](SqliteDb& db) {
            SqliteStatus step = db.Exec("DELETE FROM t");
            return step.Ok() ? db.Exec("DELETE FROM missing_table") : step;
        });
        EXPECT_FALSE(status.Ok());
        EXPECT_NE(status.message.find(L"no such table: missing_table"), std::wstring::npos)
            << status.message;
        EXPECT_NE(status.message.find(L"left as it was"), std::wstring::npos);
        EXPECT_EQ(FileBytes(path), before) << wal;
        EXPECT_EQ(CountRows(path, "t"), 301);
    }
}

TEST_F(SqliteClean, FilesThatAreNoWholeDatabaseAreNeverWritten) {
    const std::wstring whole = Seed(L"whole.db", false);
    const std::string bytes = FileBytes(whole);
    struct Case {
        const wchar_t* name;
        std::string content;
        const wchar_t* message;
    } cases[] = {
        {L"empty.db", "", L"not a database"},
        {L"text.db",
         "This is not SQLite at all, just some text that is long enough. " + std::string(200, 'x'),
         L"not a database"},
        {L"truncated.db", bytes.substr(0, bytes.size() / 2), L"shorter than its header"},
    };
    for (const Case& test : cases) {
        const std::wstring path = Db(test.name);
        WriteTestFile(path, test.content);
        bool ran = false;
        SqliteStatus status = CleanDatabase(path, [&](SqliteDb& db) {
            ran = true;
            return db.Exec("DELETE FROM t");
        });
        EXPECT_FALSE(status.Ok()) << test.name;
        EXPECT_FALSE(ran) << test.name;
        EXPECT_NE(status.message.find(test.message), std::wstring::npos) << status.message;
        EXPECT_EQ(FileBytes(path), test.content) << test.name;
        EXPECT_FALSE(IsExistingFile(path + L"-journal")) << test.name;
        SqliteDb db;
        EXPECT_FALSE(OpenForScan(db, path).Ok()) << test.name;
    }
}

TEST_F(SqliteClean, AScanOfAClosedWalDatabaseLeavesNothingBesideIt) {
    const std::wstring path = Seed(L"closed.db", true);
    ASSERT_FALSE(FileExists(path + L"-wal"));
    const std::string before = FileBytes(path);
    {
        SqliteDb db;
        ASSERT_TRUE(OpenForScan(db, path).Ok());
        EXPECT_EQ(db.QueryText("SELECT count(*) FROM t"), L"301");
    }
    EXPECT_FALSE(FileExists(path + L"-wal"));
    EXPECT_FALSE(FileExists(path + L"-shm"));
    EXPECT_EQ(FileBytes(path), before);
}

TEST_F(SqliteClean, ADatabaseReachedThroughALinkIsNeverWritten) {
    const std::wstring path = Seed(L"real.db", false);
    const std::string before = FileBytes(path);
    const std::wstring link = Db(L"linked");
    ScopedFolderLinks links;
    ASSERT_TRUE(links.Make(link, folder_.Path()));
    bool ran = false;
    SqliteStatus status = CleanDatabase(link + L"\\real.db", [&](SqliteDb& db) {
        ran = true;
        return db.Exec("DELETE FROM t");
    });
    EXPECT_FALSE(status.Ok());
    EXPECT_FALSE(ran);
    EXPECT_NE(status.message.find(L"link"), std::wstring::npos) << status.message;
    EXPECT_EQ(FileBytes(path), before);
}

TEST_F(SqliteClean, ACleanThatLeavesADatabaseFailingItsCheckFails) {
    const std::wstring path = Db(L"checked.db");
    ASSERT_TRUE(WriteDatabase(path,
                              "CREATE TABLE t(a INTEGER CHECK (a < 10)); INSERT INTO t "
                              "VALUES(1),(2);"));
    SqliteStatus status = CleanDatabase(path, [](SqliteDb& db) {
        return db.Exec(
            "DELETE FROM t WHERE a = 1; PRAGMA ignore_check_constraints=ON; INSERT INTO t "
            "VALUES(50); PRAGMA ignore_check_constraints=OFF");
    });
    EXPECT_FALSE(status.Ok());
    EXPECT_NE(status.message.find(L"failed its check"), std::wstring::npos) << status.message;
    EXPECT_NE(status.message.find(L"CHECK constraint failed"), std::wstring::npos)
        << status.message;
}

TEST_F(SqliteClean, ADatabaseHeldByAnotherWriterFailsAsBusyAndStaysIntact) {
    const std::wstring path = Seed(L"busy.db", false);
    SqliteDb holder;
    ASSERT_TRUE(holder.Open(path, SqliteDb::Access::kReadWrite).Ok());
    ASSERT_TRUE(holder.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE").Ok());
    SqliteStatus status =
        CleanDatabase(path, [](SqliteDb& db) { return db.Exec("DELETE FROM t"); });
    EXPECT_FALSE(status.Ok());
    EXPECT_NE(status.message.find(L"locked"), std::wstring::npos) << status.message;
    EXPECT_TRUE(holder.Exec("ROLLBACK").Ok());
    EXPECT_TRUE(holder.Close().Ok());
    EXPECT_EQ(CountRows(path, "t"), 301);
}

TEST_F(SqliteClean, TheDatabasesOwnTriggersNeverRunInAClean) {
    // A profile's file may carry triggers of anybody's making: one that fails
    // every delete with markup for a message, one that writes elsewhere.
    const std::wstring path = Db(L"triggers.db");
    ASSERT_TRUE(WriteDatabase(
        path,
        "CREATE TABLE t(id INTEGER PRIMARY KEY, text TEXT); CREATE TABLE log(text TEXT);"
        "INSERT INTO t VALUES (1, 'deleted-marker'), (7, 'deleted-marker'), (1000, 'kept row');"
        "CREATE TRIGGER refuse BEFORE DELETE ON t WHEN old.id = 7 BEGIN "
        "SELECT RAISE(ABORT, '<img src=x onerror=alert(1)>'); END;"
        "CREATE TRIGGER spill AFTER DELETE ON t BEGIN "
        "INSERT INTO log VALUES (old.text); UPDATE t SET text = 'changed' WHERE id = 1000; END;"));
    SqliteStatus status =
        CleanDatabase(path, [](SqliteDb& db) { return db.Exec("DELETE FROM t WHERE id < 1000"); });
    ASSERT_TRUE(status.Ok()) << status.message;
    EXPECT_EQ(QueryOne(path, "SELECT group_concat(text) FROM t"), L"kept row");
    EXPECT_EQ(CountRows(path, "log"), 0);
    EXPECT_FALSE(BytesContain(path, "deleted-marker"));
    // Defensive mode: no statement edits the file's structure behind SQLite's back.
    SqliteDb db;
    ASSERT_TRUE(db.Open(path, SqliteDb::Access::kReadWrite).Ok());
    (void)db.Exec("PRAGMA writable_schema=ON");
    EXPECT_FALSE(db.Exec("UPDATE sqlite_master SET sql = 'x' WHERE name = 'log'").Ok());
}

}  // namespace

}  // namespace veltrane
