#include "plugins/browser/firefox_plugins.h"

#include <set>
#include <unordered_map>

#include "engine/kernel.h"
#include "plugins/browser/cookie_store.h"
#include "plugins/browser/sqlite_clean.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"

namespace veltrane {

namespace {

SqliteStatus ThenIfTable(SqliteDb& db, SqliteStatus previous, std::string_view table,
                         std::string_view sql) {
    if (!previous.Ok()) return previous;
    return ExecIfTable(db, table, sql);
}

// temp.keep_places: the places a history clean keeps, bookmarked ones and keyword targets.
SqliteStatus FillKeptPlaces(SqliteDb& db) {
    SqliteStatus status = db.Exec(
        "DROP TABLE IF EXISTS temp.keep_places; "
        "CREATE TEMP TABLE keep_places(id INTEGER PRIMARY KEY)");
    if (status.Ok() && db.HasTable("moz_bookmarks"))
        status = db.Exec(
            "INSERT OR IGNORE INTO temp.keep_places SELECT fk FROM moz_bookmarks "
            "WHERE fk IS NOT NULL");
    if (status.Ok() && db.HasTable("moz_keywords") && db.HasColumn("moz_keywords", "place_id"))
        status = db.Exec(
            "INSERT OR IGNORE INTO temp.keep_places SELECT place_id FROM moz_keywords "
            "WHERE place_id IS NOT NULL");
    return status;
}

// A URL's host as Firefox files hosts and root icons: lower case, without
// user, port and a leading "www.". Empty for a URL without a host.
std::string FixedHost(std::string_view url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    std::string_view host = url.substr(scheme + 3);
    host = host.substr(0, host.find_first_of("/?#"));
    if (const size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
    if (!host.empty() && host[0] != '[') host = host.substr(0, host.find(':'));
    std::string fixed(host);
    for (char& c : fixed)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (fixed.rfind("www.", 0) == 0) fixed.erase(0, 4);
    return fixed;
}

std::vector<std::string> FixedHosts(const std::vector<std::string>& urls) {
    std::vector<std::string> hosts;
    for (const std::string& url : urls)
        if (std::string host = FixedHost(url); !host.empty()) hosts.push_back(std::move(host));
    return hosts;
}

// The frecency of every origin and the statistics Firefox keeps of them
// (the keys of all versions since 62).
const char kFrecencyStatistics[] =
    "DELETE FROM moz_meta WHERE key IN ('frecency_count', 'frecency_sum', "
    "'frecency_sum_of_squares', 'origin_frecency_count', 'origin_frecency_sum', "
    "'origin_frecency_sum_of_squares', 'origin_frecency_threshold', "
    "'origin_alt_frecency_threshold')";

// Sets `column = value` in the rows of `table` that `where` picks, for those
// of the columns the table has (versions differ); nothing when it has none.
SqliteStatus UpdateColumns(SqliteDb& db, std::string_view table, std::string_view where,
                           std::initializer_list<std::pair<const char*, const char*>> settings) {
    std::string sets;
    for (const auto& [column, value] : settings)
        if (db.HasColumn(table, column))
            sets += (sets.empty() ? "" : ", ") + std::string(column) + " = " + value;
    if (sets.empty()) return {};
    return db.Exec("UPDATE " + std::string(table) + " SET " + sets + " " + std::string(where));
}

// Listed places kept and their origins forget how often, how lately and
// how they were reached; Firefox computes their frecency anew. Versions
// without recalc_frecency take -1 as "to be computed" (place: queries stay at 0).
SqliteStatus ResetKeptPlaces(SqliteDb& db) {
    const bool recalculates = db.HasColumn("moz_places", "recalc_frecency");
    SqliteStatus status = UpdateColumns(
        db, "moz_places", "WHERE id IN (SELECT id FROM temp.gone_places)",
        {{"visit_count", "0"},
         {"last_visit_date", "NULL"},
         {"typed", "0"},
         {"frecency", recalculates ? "0" : "(CASE WHEN url LIKE 'place:%' THEN 0 ELSE -1 END)"},
         {"recalc_frecency", "1"},
         {"alt_frecency", "NULL"},
         {"recalc_alt_frecency", "1"}});
    if (status.Ok() && db.HasTable("moz_origins"))
        status = UpdateColumns(db, "moz_origins",
                               db.HasColumn("moz_places", "origin_id")
                                   ? "WHERE id IN (SELECT origin_id FROM moz_places WHERE id IN "
                                     "(SELECT id FROM temp.gone_places))"
                                   : "",
                               {{"frecency", "0"},
                                {"recalc_frecency", "1"},
                                {"alt_frecency", "NULL"},
                                {"recalc_alt_frecency", "1"}});
    return ThenIfTable(db, status, "moz_meta", kFrecencyStatistics);
}

// Before version 55: the hosts of the places left (typed and frecency
// reset), and the icons they still show.
SqliteStatus CleanOldPlacesTables(SqliteDb& db) {
    SqliteStatus status;
    if (db.HasTable("moz_hosts")) {
        std::vector<std::string> urls;
        status = ForEachRow(db, "SELECT url FROM moz_places",
                            [&](const SqliteStatement& url) { urls.push_back(url.Utf8(0)); });
        if (status.Ok()) status = FillTempTextTable(db, "keep_hosts", FixedHosts(urls));
        if (status.Ok())
            status = db.Exec(
                "DELETE FROM moz_hosts WHERE lower(host) NOT IN (SELECT value FROM "
                "temp.keep_hosts) AND lower(host) NOT IN (SELECT 'www.' || value FROM "
                "temp.keep_hosts); DROP TABLE temp.keep_hosts");
        if (status.Ok())
            status = UpdateColumns(db, "moz_hosts", "", {{"typed", "0"}, {"frecency", "0"}});
    }
    if (status.Ok() && db.HasColumn("moz_places", "favicon_id"))
        status = ExecIfTable(db, "moz_favicons",
                             "DELETE FROM moz_favicons WHERE id IN (SELECT id FROM "
                             "temp.gone_icons) AND id NOT IN (SELECT favicon_id FROM "
                             "moz_places WHERE favicon_id IS NOT NULL)");
    return status;
}

// What a history clean deletes of places.sqlite, in order, given the
// records the scan listed: temp.gone_visits and temp.gone_places (less the
// places visited again since the scan, which stay whole).
const CleanStep kListedPlacesSteps[] = {
    {"moz_historyvisits_extra",
     "DELETE FROM moz_historyvisits_extra WHERE visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"moz_historyvisits",
     "DELETE FROM moz_historyvisits WHERE id IN (SELECT id FROM temp.gone_visits); DELETE FROM "
     "temp.gone_places WHERE id IN (SELECT place_id FROM moz_historyvisits)"},
    {"moz_places_metadata",
     "INSERT OR IGNORE INTO temp.gone_queries SELECT search_query_id FROM moz_places_metadata "
     "WHERE place_id IN (SELECT id FROM temp.gone_places) AND search_query_id IS NOT NULL",
     "search_query_id"},
    {"moz_places_metadata",
     "DELETE FROM moz_places_metadata WHERE place_id IN (SELECT id FROM temp.gone_places)"},
    {"moz_places_metadata_search_queries",
     "DELETE FROM moz_places_metadata_search_queries WHERE id IN (SELECT id FROM "
     "temp.gone_queries) AND id NOT IN (SELECT search_query_id FROM moz_places_metadata WHERE "
     "search_query_id IS NOT NULL)"},
    // What was typed to reach a page, kept pages included.
    {"moz_inputhistory",
     "DELETE FROM moz_inputhistory WHERE place_id IN (SELECT id FROM temp.gone_places)"},
    {"moz_places",
     "DELETE FROM moz_places WHERE id IN (SELECT id FROM temp.gone_places) AND id NOT IN "
     "(SELECT id FROM temp.keep_places)"},
};

}  // namespace

SqliteStatus CleanFirefoxPlaces(SqliteDb& db, const ListedPlaces& listed) {
    if (!db.HasTable("moz_places")) return {};
    SqliteStatus status = FillKeptPlaces(db);
    if (status.Ok()) status = FillTempIdTable(db, "gone_places", listed.places);
    if (status.Ok()) status = FillTempIdTable(db, "gone_visits", listed.visits);
    if (status.Ok()) status = FillTempIdTable(db, "gone_icons", listed.oldIcons);
    if (status.Ok()) status = FillTempIdTable(db, "gone_queries", {});
    if (status.Ok()) status = RunCleanSteps(db, kListedPlacesSteps);
    if (status.Ok()) status = ResetKeptPlaces(db);
    status = ThenIfTable(db, status, "moz_annos",
                         "DELETE FROM moz_annos WHERE place_id IN (SELECT id FROM "
                         "temp.gone_places) AND place_id NOT IN (SELECT id FROM moz_places)");
    status = ThenIfTable(db, status, "moz_places_extra",
                         "DELETE FROM moz_places_extra WHERE place_id IN (SELECT id FROM "
                         "temp.gone_places) AND place_id NOT IN (SELECT id FROM moz_places)");
    if (status.Ok() && db.HasColumn("moz_places", "origin_id"))
        status = ThenIfTable(db, status, "moz_origins",
                             "DELETE FROM moz_origins WHERE id NOT IN "
                             "(SELECT origin_id FROM moz_places WHERE origin_id IS NOT NULL)");
    if (status.Ok()) status = CleanOldPlacesTables(db);
    if (status.Ok())
        status = db.Exec(
            "DROP TABLE temp.keep_places; DROP TABLE temp.gone_places; DROP TABLE "
            "temp.gone_visits; DROP TABLE temp.gone_icons; DROP TABLE temp.gone_queries");
    return status;
}

SqliteStatus CleanFirefoxFavicons(SqliteDb& db, const std::vector<int64_t>& pages,
                                  const std::vector<int64_t>& icons) {
    if (!db.HasTable("moz_pages_w_icons")) return {};
    SqliteStatus status = FillTempIdTable(db, "gone_pages", pages);
    if (status.Ok()) status = FillTempIdTable(db, "gone_icons", icons);
    status =
        ThenIfTable(db, status, "moz_pages_w_icons",
                    "DELETE FROM moz_pages_w_icons WHERE id IN (SELECT id FROM temp.gone_pages)");
    status = ThenIfTable(
        db, status, "moz_icons_to_pages",
        "DELETE FROM moz_icons_to_pages WHERE page_id IN (SELECT id FROM temp.gone_pages)");
    if (db.HasTable("moz_icons_to_pages"))
        status = ThenIfTable(db, status, "moz_icons",
                             "DELETE FROM moz_icons WHERE id IN (SELECT id FROM temp.gone_icons) "
                             "AND id NOT IN (SELECT icon_id FROM moz_icons_to_pages)");
    if (status.Ok()) status = db.Exec("DROP TABLE temp.gone_pages; DROP TABLE temp.gone_icons");
    return status;
}

// History ---------------------------------------------------------------

void CPlgFirefoxHistory::ScanProfile(size_t index, const BrowserProfile& profile) {
    ScanLeftovers(index, profile);
    ScanDownloads(index, profile);
    const std::wstring places = profile.folder + L"places.sqlite";
    if (!IsExistingFile(places)) return;
    SetStorePlace(index, kPlaces, places);
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, places);
    std::vector<std::string> keptUrls;
    // Each visit is listed with the row of its place.
    std::unordered_map<int64_t, const DomainInfo*> rowOfPlace;
    if (status.Ok() && db.HasTable("moz_places")) status = FillKeptPlaces(db);
    if (status.Ok() && db.HasTable("moz_places"))
        // Every page the clean removes, and the kept ones it resets.
        status = ForEachRow(db,
                            "SELECT url, last_visit_date, length(url) + ifnull(length(title), 0), "
                            "id IN (SELECT id FROM temp.keep_places), id FROM moz_places",
                            [&](const SqliteStatement& place) {
                                const bool isKept = place.Int(3) != 0;
                                if (isKept) keptUrls.push_back(place.Utf8(0));
                                if (isKept && place.IsNull(1)) return;
                                DomainInfo& row =
                                    Row(index, kPlaces, GetUtf8UrlDomain(place.Utf8View(0)));
                                ++row.itemCount;
                                row.sizeSum += static_cast<uint64_t>(place.Int(2));
                                NoteAccess(row, FromUnixMicroseconds(place.Int(1)));
                                NoteRecord(row, "moz_places", place.Int(4));
                                rowOfPlace.emplace(place.Int(4), &row);
                            });
    if (status.Ok() && db.HasTable("moz_historyvisits"))
        status = ForEachRow(db, "SELECT id, place_id FROM moz_historyvisits",
                            [&](const SqliteStatement& visit) {
                                auto row = rowOfPlace.find(visit.Int(1));
                                if (row != rowOfPlace.end())
                                    NoteRecord(*row->second, "moz_historyvisits", visit.Int(0));
                            });
    // Before version 55 the icons were kept in places.sqlite itself.
    if (status.Ok() && db.HasTable("moz_favicons") && db.HasColumn("moz_places", "favicon_id"))
        status = ForEachRow(db,
                            "SELECT id FROM moz_favicons WHERE id NOT IN (SELECT "
                            "favicon_id FROM moz_places WHERE favicon_id IS NOT NULL AND id IN "
                            "(SELECT id FROM temp.keep_places))",
                            [&](const SqliteStatement& icon) {
                                DomainInfo& row = Row(index, kPlaces, L"Favicons");
                                ++row.itemCount;
                                NoteRecord(row, "moz_favicons", icon.Int(0));
                            });
    if (!status.Ok()) {
        NoteUnreadable(index, kPlaces, L"places.sqlite", status);
        return;
    }
    const std::wstring favicons = profile.folder + L"favicons.sqlite";
    if (!IsExistingFile(favicons)) return;
    SetStorePlace(index, kFavicons, favicons);
    SqliteDb icons;
    status = OpenForScan(icons, favicons);
    if (status.Ok() && icons.HasTable("moz_pages_w_icons"))
        status = ScanFavicons(index, icons, keptUrls);
    if (!status.Ok()) NoteUnreadable(index, kFavicons, L"favicons.sqlite", status);
}

// The pages of favicons.sqlite no kept place shows, their icons, and the
// root icons (a site's /favicon.ico, which belongs to no page) of sites no
// kept place is on.
SqliteStatus CPlgFirefoxHistory::ScanFavicons(size_t index, SqliteDb& db,
                                              const std::vector<std::string>& keptUrls) {
    SqliteStatus status = FillTempTextTable(db, "keep_urls", keptUrls);
    DomainInfo* pages = nullptr;
    if (status.Ok())
        status = ForEachRow(db,
                            "SELECT id FROM moz_pages_w_icons WHERE page_url NOT IN "
                            "(SELECT value FROM temp.keep_urls)",
                            [&](const SqliteStatement& page) {
                                pages = &Row(index, kFavicons, L"Favicons");
                                ++pages->itemCount;
                                NoteRecord(*pages, "moz_pages_w_icons", page.Int(0));
                            });
    if (!status.Ok() || pages == nullptr) return status;
    DomainInfo& row = *pages;
    if (db.HasTable("moz_icons_to_pages"))
        status = ForEachRow(
            db,
            "SELECT icon_id FROM moz_icons_to_pages WHERE page_id IN (SELECT id "
            "FROM moz_pages_w_icons WHERE page_url NOT IN (SELECT value FROM "
            "temp.keep_urls))",
            [&](const SqliteStatement& icon) { NoteRecord(row, "moz_icons", icon.Int(0)); });
    if (status.Ok() && db.HasColumn("moz_icons", "root")) {
        const std::vector<std::string> hosts = FixedHosts(keptUrls);
        const std::set<std::string> keptHosts(hosts.begin(), hosts.end());
        status = ForEachRow(db, "SELECT id, icon_url FROM moz_icons WHERE root = 1",
                            [&](const SqliteStatement& icon) {
                                if (keptHosts.count(FixedHost(icon.Utf8View(1))) == 0)
                                    NoteRecord(row, "moz_icons", icon.Int(0));
                            });
    }
    return status;
}

void CPlgFirefoxHistory::ScanDownloads(size_t index, const BrowserProfile& profile) {
    // Firefox before version 21 kept its downloads in a database of their own.
    ScanDatabase(
        index, kDownloads, profile.folder + L"downloads.sqlite", L"downloads.sqlite",
        "moz_downloads",
        [](SqliteDb& db) {
            return "SELECT source, " + ColumnOrZero(db, "moz_downloads", "startTime") + ", " +
                   SumOfLengths(db, "moz_downloads", {"name", "source", "target", "referrer"}) +
                   ", id FROM moz_downloads";
        },
        TimeBase::kUnixMicroseconds, &GetUrlDomain, true);
}

void CPlgFirefoxHistory::CleanProfile(size_t index, const BrowserProfile& profile) {
    DeleteFileRows(index, kFiles);
    DeleteFileRows(index, kCrashReports);
    if (HasRows(index, kDownloads))
        CleanStores(index, {kDownloads}, profile.folder + L"downloads.sqlite", [&](SqliteDb& db) {
            SqliteStatus step =
                FillListedIds(db, "gone_downloads", index, kDownloads, "moz_downloads");
            step = ThenIfTable(db, step, "moz_downloads",
                               "DELETE FROM moz_downloads WHERE id IN (SELECT id FROM "
                               "temp.gone_downloads)");
            return step.Ok() ? db.Exec("DROP TABLE temp.gone_downloads") : step;
        });
    bool placesCleaned = true;
    if (HasRows(index, kPlaces))
        placesCleaned =
            CleanStores(index, {kPlaces}, profile.folder + L"places.sqlite", [&](SqliteDb& db) {
                return CleanFirefoxPlaces(db, {ListedIds(index, kPlaces, "moz_places"),
                                               ListedIds(index, kPlaces, "moz_historyvisits"),
                                               ListedIds(index, kPlaces, "moz_favicons")});
            });
    if (!HasRows(index, kFavicons)) return;
    if (!placesCleaned) {
        // The icons stay with the history they show.
        FailRows(index, kFavicons,
                 ItemError(L"favicons.sqlite of " + profile.name + L" was left as it was.",
                           L"The history itself could not be cleaned."));
        return;
    }
    CleanStores(index, {kFavicons}, profile.folder + L"favicons.sqlite", [&](SqliteDb& db) {
        return CleanFirefoxFavicons(db, ListedIds(index, kFavicons, "moz_pages_w_icons"),
                                    ListedIds(index, kFavicons, "moz_icons"));
    });
}

// Files that name the sites visited: pictures of pages, the icons of the
// taskbar's jump list, the servers' alternative services, and crash reports
// (content processes' in the profile, the browser's with the installation).
void CPlgFirefoxHistory::ScanLeftovers(size_t index, const BrowserProfile& profile) {
    AddFolderRow(index, kFiles, L"thumbnails", profile.cacheFolder + L"thumbnails\\");
    AddFolderRow(index, kFiles, L"jumpListCache", profile.cacheFolder + L"jumpListCache\\");
    AddFilesRow(
        index, kFiles, L"AlternateServices",
        {profile.folder + L"AlternateServices.bin", profile.folder + L"AlternateServices.txt"});
    AddFolderRow(index, kCrashReports, L"minidumps", profile.folder + L"minidumps\\");
    if (profile.userData.empty() || !IsFirstOfUserData(index)) return;
    for (const wchar_t* name : {L"pending", L"submitted"})
        AddFolderRow(index, kCrashReports,
                     L"Crash Reports\\" + std::wstring(name) + L" (all profiles)",
                     profile.userData + L"Crash Reports\\" + name + L"\\");
}

// Cookies ---------------------------------------------------------------

void CPlgFirefoxCookies::ScanProfile(size_t index, const BrowserProfile& profile) {
    ScanDatabase(
        index, 0, profile.folder + L"cookies.sqlite", L"cookies.sqlite", "moz_cookies",
        [](SqliteDb& db) {
            return "SELECT host, " + ColumnOrZero(db, "moz_cookies", "lastAccessed") + ", " +
                   SumOfLengths(db, "moz_cookies", {"name", "value", "path"}) +
                   ", rowid FROM moz_cookies";
        },
        TimeBase::kUnixMicroseconds, &CookieRowName, true);
}

void CPlgFirefoxCookies::CleanProfile(size_t index, const BrowserProfile& profile) {
    CleanCookies(index, profile.folder + L"cookies.sqlite", "moz_cookies", "host");
}

// Form history ----------------------------------------------------------

void CPlgFirefoxFormHistory::ScanProfile(size_t index, const BrowserProfile& profile) {
    ScanDatabase(
        index, 0, profile.folder + L"formhistory.sqlite", L"formhistory.sqlite", "moz_formhistory",
        [](SqliteDb&) {
            return std::string(
                "SELECT fieldname, lastUsed, length(value), id FROM moz_formhistory");
        },
        TimeBase::kUnixMicroseconds, [](std::wstring_view field) { return std::wstring(field); },
        true);
}

void CPlgFirefoxFormHistory::CleanProfile(size_t index, const BrowserProfile& profile) {
    CleanStores(index, {0}, profile.folder + L"formhistory.sqlite", [&](SqliteDb& db) {
        SqliteStatus step = FillListedIds(db, "gone_entries", index, 0, "moz_formhistory");
        if (step.Ok()) step = FillTempIdTable(db, "gone_sources", {});
        // Where each entry was typed: the pages are history too, when no
        // entry left was typed there.
        step = ThenIfTable(db, step, "moz_history_to_sources",
                           "INSERT OR IGNORE INTO temp.gone_sources SELECT source_id FROM "
                           "moz_history_to_sources WHERE history_id IN (SELECT id FROM "
                           "temp.gone_entries); DELETE FROM moz_history_to_sources WHERE "
                           "history_id IN (SELECT id FROM temp.gone_entries)");
        step = ThenIfTable(db, step, "moz_sources",
                           "DELETE FROM moz_sources WHERE id IN (SELECT id FROM "
                           "temp.gone_sources) AND id NOT IN (SELECT source_id FROM "
                           "moz_history_to_sources)");
        step = ThenIfTable(db, step, "moz_formhistory",
                           "DELETE FROM moz_formhistory WHERE id IN (SELECT id FROM "
                           "temp.gone_entries)");
        return step.Ok() ? db.Exec("DROP TABLE temp.gone_entries; DROP TABLE temp.gone_sources")
                         : step;
    });
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

}  // namespace veltrane
