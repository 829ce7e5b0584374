#include "bench/places_history.h"

#include <sqlite3.h>

#include "seedtraces/modern_browsers.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// What the plug-in runs on this schema, without its table checks.
const char kCleanStatements[] =
    "PRAGMA secure_delete=ON; PRAGMA temp_store=MEMORY;"
    "BEGIN IMMEDIATE;"
    "CREATE TEMP TABLE keep_places(id INTEGER PRIMARY KEY);"
    "INSERT OR IGNORE INTO temp.keep_places SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL;"
    "INSERT OR IGNORE INTO temp.keep_places SELECT place_id FROM moz_keywords "
    "WHERE place_id IS NOT NULL;"
    "DELETE FROM moz_historyvisits;"
    "DELETE FROM moz_places_metadata;"
    "DELETE FROM moz_places_metadata_search_queries;"
    "DELETE FROM moz_places WHERE id NOT IN (SELECT id FROM temp.keep_places);"
    "UPDATE moz_places SET visit_count = 0, frecency = 0, last_visit_date = NULL, "
    "recalc_frecency = 1;"
    "DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places);"
    "DELETE FROM moz_inputhistory WHERE place_id NOT IN (SELECT id FROM moz_places);"
    "DELETE FROM moz_origins WHERE id NOT IN "
    "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL);"
    "DROP TABLE temp.keep_places;"
    "COMMIT;"
    "VACUUM;"
    "PRAGMA wal_checkpoint(TRUNCATE);";

long long Single(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

}  // namespace

bool SeedPlaces(const std::wstring& path, int places, int visits, int bookmarked) {
    return WriteLargePlaces(path, places, visits, bookmarked);
}

PlacesCounts CleanPlaces(const std::wstring& path) {
    sqlite3* db = nullptr;
    PlacesCounts counts;
    if (sqlite3_open_v2(ToUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, kCleanStatements, nullptr, nullptr, nullptr) == SQLITE_OK) {
        counts.places = Single(db, "SELECT count(*) FROM moz_places");
        counts.visits = Single(db, "SELECT count(*) FROM moz_historyvisits");
        counts.ok = true;
    }
    sqlite3_close(db);
    return counts;
}

PlacesCounts CountPlaces(const std::wstring& path) {
    sqlite3* db = nullptr;
    PlacesCounts counts;
    if (sqlite3_open_v2(ToUtf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        counts.places = Single(db, "SELECT count(*) FROM moz_places");
        counts.visits = Single(db, "SELECT count(*) FROM moz_historyvisits");
        counts.ok = counts.places >= 0 && counts.visits >= 0;
    }
    sqlite3_close(db);
    return counts;
}

}  // namespace veltrane
