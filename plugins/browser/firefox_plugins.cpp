#include "plugins/browser/firefox_plugins.h"

#include "engine/kernel.h"
#include "plugins/browser/cookie_store.h"
#include "plugins/browser/sqlite_clean.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/text.h"

namespace {

// The places a history clean keeps: bookmarked ones and keyword targets.
const char kKeptPlaces[] = "SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL";

SqliteStatus ThenIfTable(SqliteDb& db, SqliteStatus previous, std::string_view table,
                         std::string_view sql) {
    if (!previous.Ok()) return previous;
    return ExecIfTable(db, table, sql);
}

}  // namespace

SqliteStatus CleanFirefoxPlaces(SqliteDb& db) {
    if (!db.HasTable("moz_places")) return {};
    SqliteStatus status = db.Exec(
        "DROP TABLE IF EXISTS temp.keep_places; "
        "CREATE TEMP TABLE keep_places(id INTEGER PRIMARY KEY)");
    if (status.Ok() && db.HasTable("moz_bookmarks"))
        status = db.Exec(std::string("INSERT OR IGNORE INTO temp.keep_places ") + kKeptPlaces);
    if (status.Ok() && db.HasTable("moz_keywords") && db.HasColumn("moz_keywords", "place_id"))
        status = db.Exec(
            "INSERT OR IGNORE INTO temp.keep_places SELECT place_id FROM moz_keywords "
            "WHERE place_id IS NOT NULL");
    status = ThenIfTable(db, status, "moz_historyvisits", "DELETE FROM moz_historyvisits");
    status =
        ThenIfTable(db, status, "moz_historyvisits_extra", "DELETE FROM moz_historyvisits_extra");
    status = ThenIfTable(db, status, "moz_places_metadata", "DELETE FROM moz_places_metadata");
    status = ThenIfTable(db, status, "moz_places_metadata_search_queries",
                         "DELETE FROM moz_places_metadata_search_queries");
    status =
        ThenIfTable(db, status, "moz_places",
                    "DELETE FROM moz_places WHERE id NOT IN (SELECT id FROM temp.keep_places)");
    if (status.Ok()) {
        // Kept pages forget how often and when they were visited; Firefox
        // recomputes a frecency it is asked to.
        std::string reset =
            "UPDATE moz_places SET visit_count = 0, frecency = 0, last_visit_date = NULL";
        if (db.HasColumn("moz_places", "recalc_frecency")) reset += ", recalc_frecency = 1";
        status = db.Exec(reset);
    }
    status = ThenIfTable(db, status, "moz_annos",
                         "DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places)");
    status = ThenIfTable(
        db, status, "moz_inputhistory",
        "DELETE FROM moz_inputhistory WHERE place_id NOT IN (SELECT id FROM moz_places)");
    status = ThenIfTable(
        db, status, "moz_places_extra",
        "DELETE FROM moz_places_extra WHERE place_id NOT IN (SELECT id FROM moz_places)");
    if (status.Ok() && db.HasColumn("moz_places", "origin_id"))
        status = ThenIfTable(db, status, "moz_origins",
                             "DELETE FROM moz_origins WHERE id NOT IN "
                             "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)");
    if (status.Ok()) status = db.Exec("DROP TABLE temp.keep_places");
    return status;
}

SqliteStatus CleanFirefoxFavicons(SqliteDb& db, const std::vector<std::string>& keptUrls) {
    if (!db.HasTable("moz_pages_w_icons")) return {};
    SqliteStatus status = FillTempTextTable(db, "keep_urls", keptUrls);
    status = ThenIfTable(db, status, "moz_pages_w_icons",
                         "DELETE FROM moz_pages_w_icons WHERE page_url NOT IN "
                         "(SELECT value FROM temp.keep_urls)");
    status = ThenIfTable(db, status, "moz_icons_to_pages",
                         "DELETE FROM moz_icons_to_pages WHERE page_id NOT IN "
                         "(SELECT id FROM moz_pages_w_icons)");
    if (db.HasTable("moz_icons_to_pages"))
        status = ThenIfTable(db, status, "moz_icons",
                             "DELETE FROM moz_icons WHERE id NOT IN "
                             "(SELECT icon_id FROM moz_icons_to_pages)");
    if (status.Ok()) status = db.Exec("DROP TABLE temp.keep_urls");
    return status;
}

// History ---------------------------------------------------------------

void CPlgFirefoxHistory::ScanProfile(size_t index, const BrowserProfile& profile) {
    const std::wstring places = profile.folder + L"places.sqlite";
    if (!IsExistingFile(places)) return;
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, places);
    std::vector<std::string> keptUrls;
    if (status.Ok() && db.HasTable("moz_places")) {
        // Every page the clean removes, and the bookmarked ones it resets.
        const bool bookmarks = db.HasTable("moz_bookmarks");
        const std::string kept =
            bookmarks ? std::string("id IN (") + kKeptPlaces + ")" : std::string("0");
        status = ForEachRow(
            db,
            "SELECT url, last_visit_date, length(url) + ifnull(length(title), 0), " + kept +
                " FROM moz_places",
            [&](const SqliteStatement& place) {
                const bool isKept = place.Int(3) != 0;
                if (isKept) keptUrls.push_back(place.Utf8(0));
                if (isKept && place.IsNull(1)) return;
                DomainInfo& row = Row(index, kPlaces, GetUtf8UrlDomain(place.Utf8View(0)));
                ++row.itemCount;
                row.sizeSum += static_cast<uint64_t>(place.Int(2));
                NoteAccess(row, FromUnixMicroseconds(place.Int(1)));
            });
    }
    if (!status.Ok()) {
        NoteUnreadable(index, kPlaces, L"places.sqlite", status);
        return;
    }
    const std::wstring favicons = profile.folder + L"favicons.sqlite";
    if (!IsExistingFile(favicons)) return;
    SqliteDb icons;
    int64_t pages = 0;
    status = OpenForScan(icons, favicons);
    if (status.Ok() && icons.HasTable("moz_pages_w_icons")) {
        status = FillTempTextTable(icons, "keep_urls", keptUrls);
        if (status.Ok())
            status = ForEachRow(icons,
                                "SELECT count(*) FROM moz_pages_w_icons WHERE page_url NOT IN "
                                "(SELECT value FROM temp.keep_urls)",
                                [&](const SqliteStatement& count) { pages = count.Int(0); });
    }
    if (!status.Ok())
        NoteUnreadable(index, kFavicons, L"favicons.sqlite", status);
    else if (pages > 0)
        Row(index, kFavicons, L"Favicons").itemCount = static_cast<int>(pages);
}

void CPlgFirefoxHistory::CleanProfile(size_t index, const BrowserProfile& profile) {
    const std::wstring places = profile.folder + L"places.sqlite";
    std::vector<std::string> keptUrls;
    bool placesCleaned = !HasRows(index, kPlaces);
    if (HasRows(index, kPlaces)) {
        SqliteStatus status = CleanDatabase(places, [&](SqliteDb& db) {
            SqliteStatus step = CleanFirefoxPlaces(db);
            // The favicons clean keeps the icons of the pages left.
            if (step.Ok() && HasRows(index, kFavicons) && db.HasTable("moz_places"))
                step = ForEachRow(
                    db, "SELECT url FROM moz_places",
                    [&](const SqliteStatement& url) { keptUrls.push_back(url.Utf8(0)); });
            return step;
        });
        SetStoreResult(index, kPlaces, status, places);
        placesCleaned = status.Ok();
    }
    if (!HasRows(index, kFavicons)) return;
    if (!placesCleaned) {
        // Without the history clean the pages to keep are not known.
        FailRows(
            index, kFavicons,
            ItemError(EscapeHtml(L"favicons.sqlite of " + profile.name + L" was left as it was."),
                      L"The history itself could not be cleaned."));
        return;
    }
    if (!HasRows(index, kPlaces)) {
        SqliteDb db;
        if (OpenForScan(db, places).Ok() && db.HasTable("moz_places"))
            ForEachRow(db, "SELECT url FROM moz_places",
                       [&](const SqliteStatement& url) { keptUrls.push_back(url.Utf8(0)); });
    }
    const std::wstring favicons = profile.folder + L"favicons.sqlite";
    SqliteStatus status =
        CleanDatabase(favicons, [&](SqliteDb& db) { return CleanFirefoxFavicons(db, keptUrls); });
    SetStoreResult(index, kFavicons, status, favicons);
}

// Cookies ---------------------------------------------------------------

void CPlgFirefoxCookies::ScanProfile(size_t index, const BrowserProfile& profile) {
    ScanDatabase(index, 0, profile.folder + L"cookies.sqlite", L"cookies.sqlite", "moz_cookies",
                 "SELECT host, lastAccessed, length(name) + length(value) + length(path) "
                 "FROM moz_cookies",
                 TimeBase::kUnixMicroseconds, &CookieRowName);
}

void CPlgFirefoxCookies::CleanProfile(size_t index, const BrowserProfile& profile) {
    CleanCookies(index, profile.folder + L"cookies.sqlite", "moz_cookies", "host");
}

// Form history ----------------------------------------------------------

void CPlgFirefoxFormHistory::ScanProfile(size_t index, const BrowserProfile& profile) {
    ScanDatabase(
        index, 0, profile.folder + L"formhistory.sqlite", L"formhistory.sqlite", "moz_formhistory",
        "SELECT fieldname, lastUsed, length(value) FROM moz_formhistory",
        TimeBase::kUnixMicroseconds, [](std::wstring_view field) { return std::wstring(field); });
}

void CPlgFirefoxFormHistory::CleanProfile(size_t index, const BrowserProfile& profile) {
    const std::wstring path = profile.folder + L"formhistory.sqlite";
    SqliteStatus status = CleanDatabase(path, [](SqliteDb& db) {
        SqliteStatus step = ExecIfTable(db, "moz_formhistory", "DELETE FROM moz_formhistory");
        // Where each entry was typed: the pages are history too.
        step =
            ThenIfTable(db, step, "moz_history_to_sources", "DELETE FROM moz_history_to_sources");
        step = ThenIfTable(db, step, "moz_sources", "DELETE FROM moz_sources");
        return step;
    });
    SetStoreResult(index, 0, status, path);
}

// Sessions --------------------------------------------------------------

void CPlgFirefoxSessions::ScanProfile(size_t index, const BrowserProfile& profile) {
    AddFilesRow(index, 0, L"sessionstore.jsonlz4", {profile.folder + L"sessionstore.jsonlz4"});
    const std::wstring backups = profile.folder + L"sessionstore-backups\\";
    StringList files;
    GetFileList(this, backups, &files, nullptr,
                L"recovery.jsonlz4|recovery.baklz4|previous.jsonlz4|upgrade.jsonlz4-*", L'|',
                nullptr);
    AddFilesRow(index, 1, L"sessionstore-backups", files);
}
