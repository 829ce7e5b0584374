#include "plugins/browser/chromium_plugins.h"

#include <nlohmann/json.hpp>
#include <unordered_map>

#include "engine/kernel.h"
#include "plugins/browser/byte_file.h"
#include "plugins/browser/cookie_store.h"
#include "plugins/browser/sqlite_clean.h"
#include "plugins/browser/url_domain.h"
#include "sysaccess/file_info.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

void CollectBookmarkUrls(const nlohmann::json& node, std::set<std::string>& urls, int depth) {
    if (depth > 64 || !node.is_object()) return;  // a hostile file must not exhaust the stack
    auto type = node.find("type");
    auto url = node.find("url");
    if (type != node.end() && *type == "url" && url != node.end() && url->is_string())
        urls.insert(url->get<std::string>());
    auto children = node.find("children");
    if (children != node.end() && children->is_array())
        for (const nlohmann::json& child : *children) CollectBookmarkUrls(child, urls, depth + 1);
}

// The places a cache or a crash report may sit: the Local AppData twin, and the folder itself
// (Opera keeps GPUCache and the shader caches in its roaming folder).
std::vector<std::wstring> CachePlaces(const std::wstring& local, const std::wstring& roaming) {
    if (roaming.empty() || _wcsicmp(local.c_str(), roaming.c_str()) == 0) return {local};
    return {local, roaming};
}

// Form entries are listed by the name of their field.
std::wstring FieldRowName(std::wstring_view name) { return std::wstring(name); }

std::vector<std::string> ToVector(const std::set<std::string>& values) {
    return std::vector<std::string>(values.begin(), values.end());
}

// What a History clean deletes, in order, given the records the scan
// listed: temp.gone_visits, temp.gone_urls (less the pages visited again
// since the scan, which stay whole) and temp.gone_downloads. Each statement
// runs when its table exists in this version.
const CleanStep kHistorySteps[] = {
    {"clusters_and_visits",
     "INSERT OR IGNORE INTO temp.gone_clusters SELECT cluster_id FROM clusters_and_visits "
     "WHERE visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"visits", "DELETE FROM visits WHERE id IN (SELECT id FROM temp.gone_visits)"},
    {"visit_source", "DELETE FROM visit_source WHERE id IN (SELECT id FROM temp.gone_visits)"},
    {"content_annotations",
     "DELETE FROM content_annotations WHERE visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"context_annotations",
     "DELETE FROM context_annotations WHERE visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"clusters_and_visits",
     "DELETE FROM clusters_and_visits WHERE visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"cluster_visit_duplicates",
     "DELETE FROM cluster_visit_duplicates WHERE visit_id IN (SELECT id FROM temp.gone_visits) "
     "OR duplicate_visit_id IN (SELECT id FROM temp.gone_visits)"},
    {"clusters",
     "DELETE FROM clusters WHERE cluster_id IN (SELECT id FROM temp.gone_clusters) AND "
     "cluster_id NOT IN (SELECT cluster_id FROM clusters_and_visits)"},
    {"cluster_keywords",
     "DELETE FROM cluster_keywords WHERE cluster_id IN (SELECT id FROM temp.gone_clusters) AND "
     "cluster_id NOT IN (SELECT cluster_id FROM clusters)"},
    {"visits", "DELETE FROM temp.gone_urls WHERE id IN (SELECT url FROM visits)"},
    {"keyword_search_terms",
     "DELETE FROM keyword_search_terms WHERE url_id IN (SELECT id FROM temp.gone_urls)"},
    {"segments",
     "INSERT OR IGNORE INTO temp.gone_segments SELECT id FROM segments "
     "WHERE url_id IN (SELECT id FROM temp.gone_urls)"},
    {"segment_usage",
     "DELETE FROM segment_usage WHERE segment_id IN (SELECT id FROM temp.gone_segments)"},
    {"segments", "DELETE FROM segments WHERE id IN (SELECT id FROM temp.gone_segments)"},
    // The most visited pages of old versions.
    {"presentation", "DELETE FROM presentation WHERE url_id IN (SELECT id FROM temp.gone_urls)"},
    {"downloads", "DELETE FROM downloads WHERE id IN (SELECT id FROM temp.gone_downloads)"},
    {"downloads_url_chains",
     "DELETE FROM downloads_url_chains WHERE id IN (SELECT id FROM temp.gone_downloads)"},
    {"downloads_slices",
     "DELETE FROM downloads_slices WHERE download_id IN (SELECT id FROM temp.gone_downloads)"},
    // Bookmarked pages stay, without the visits that were counted on them.
    {"urls",
     "DELETE FROM urls WHERE id IN (SELECT id FROM temp.gone_urls) AND url NOT IN "
     "(SELECT value FROM temp.keep_urls); UPDATE urls SET visit_count = 0, typed_count = 0, "
     "last_visit_time = 0 WHERE id IN (SELECT id FROM temp.gone_urls)"},
};

// Whole files that only repeat history, with their journals: the row's name
// and where the file lies in the profile (today's place first).
struct HistoryFile {
    const wchar_t* name;
    std::vector<const wchar_t*> places;
};
const HistoryFile kHistoryFiles[] = {
    {L"Visited Links", {L"Visited Links"}},
    {L"Top Sites", {L"Top Sites"}},
    {L"Shortcuts", {L"Shortcuts"}},
    {L"History Provider Cache", {L"History Provider Cache"}},
    {L"Network Action Predictor", {L"Network Action Predictor"}},
    // The sites that bounced the browser on to others, with their times.
    {L"DIPS", {L"DIPS"}},
    // The servers connected to lately and how (protocols, alternative
    // services): nothing a site needs to know the user again, so history,
    // which Chromium also forgets it with.
    {L"Network Persistent State",
     {L"Network\\Network Persistent State", L"Network Persistent State"}},
    // Where sites asked for their error reports to go.
    {L"Reporting and NEL", {L"Network\\Reporting and NEL", L"Reporting and NEL"}},
};

}  // namespace

std::set<std::string> ReadChromiumBookmarks(const std::wstring& profileFolder) {
    std::set<std::string> urls;
    // A signed-in user's bookmarks of the account sit beside the local ones.
    for (const wchar_t* file : {L"Bookmarks", L"AccountBookmarks"}) {
        std::string bytes;
        if (ReadByteFile(profileFolder + file, bytes) != ERROR_SUCCESS) continue;
        nlohmann::json document = nlohmann::json::parse(bytes, nullptr, false);
        if (!document.is_object()) continue;
        auto roots = document.find("roots");
        if (roots == document.end() || !roots->is_object()) continue;
        for (const nlohmann::json& root : *roots) CollectBookmarkUrls(root, urls, 0);
    }
    return urls;
}

std::wstring ChromiumCookieFile(const BrowserProfile& profile) {
    const std::wstring current = profile.folder + L"Network\\Cookies";
    return IsExistingFile(current) ? current : profile.folder + L"Cookies";
}

// History ---------------------------------------------------------------

void CPlgChromiumHistory::ScanProfile(size_t index, const BrowserProfile& profile) {
    const std::set<std::string> bookmarks = ReadChromiumBookmarks(profile.folder);
    const std::wstring history = profile.folder + L"History";
    if (IsExistingFile(history)) {
        SetStorePlace(index, kHistory, history);
        SqliteDb db;
        SqliteStatus status = OpenForScan(db, history);
        if (status.Ok() && db.HasTable("urls"))
            status =
                ScanRows(index, kHistory, db,
                         "SELECT url, last_visit_time, length(url) + ifnull(length(title), 0), "
                         "id FROM urls",
                         TimeBase::kChrome, &GetUrlDomain, "urls");
        // Each visit is listed with the row of its page.
        std::unordered_map<int64_t, const DomainInfo*> rowOfUrl;
        for (const auto& [row, records] : rowRecords_) {
            const RowTag& tag = tags_.at(row);
            auto urls = records.ids.find("urls");
            if (tag.profile != index || tag.store != kHistory || urls == records.ids.end())
                continue;
            for (int64_t id : urls->second) rowOfUrl.emplace(id, row);
        }
        if (status.Ok() && db.HasTable("visits"))
            status =
                ForEachRow(db, "SELECT id, url FROM visits", [&](const SqliteStatement& visit) {
                    if (auto row = rowOfUrl.find(visit.Int(1)); row != rowOfUrl.end())
                        NoteRecord(*row->second, "visits", visit.Int(0));
                });
        // Where each download came from: a chain of addresses today, one
        // column of the download itself in old versions.
        const char* downloads =
            db.HasTable("downloads_url_chains")
                ? "SELECT id, url FROM downloads_url_chains WHERE chain_index = 0"
            : db.HasColumn("downloads", "url") ? "SELECT id, url FROM downloads"
                                               : nullptr;
        if (status.Ok() && downloads != nullptr)
            status = ForEachRow(db, downloads, [&](const SqliteStatement& download) {
                DomainInfo& row = Row(index, kHistory, GetUtf8UrlDomain(download.Utf8View(1)));
                ++row.itemCount;
                NoteRecord(row, "downloads", download.Int(0));
            });
        if (!status.Ok()) NoteUnreadable(index, kHistory, L"History", status);
    }
    const std::wstring favicons = profile.folder + L"Favicons";
    if (IsExistingFile(favicons)) {
        SetStorePlace(index, kFavicons, favicons);
        SqliteDb db;
        SqliteStatus status = OpenForScan(db, favicons);
        if (status.Ok()) status = FillTempTextTable(db, "keep_urls", ToVector(bookmarks));
        if (status.Ok())
            status = ForEachRow(db,
                                "SELECT id, icon_id FROM icon_mapping WHERE page_url NOT IN "
                                "(SELECT value FROM temp.keep_urls)",
                                [&](const SqliteStatement& mapping) {
                                    DomainInfo& row = Row(index, kFavicons, L"Favicons");
                                    ++row.itemCount;
                                    NoteRecord(row, "icon_mapping", mapping.Int(0));
                                    NoteRecord(row, "favicons", mapping.Int(1));
                                });
        if (!status.Ok()) NoteUnreadable(index, kFavicons, L"Favicons", status);
    }
    for (const HistoryFile& file : kHistoryFiles) {
        std::vector<std::wstring> paths;
        for (const wchar_t* place : file.places)
            for (const wchar_t* suffix : {L"", L"-journal", L"-wal", L"-shm"})
                paths.push_back(profile.folder + place + suffix);
        AddFilesRow(index, kFiles, file.name, paths);
    }
    // Crash reports, of the whole browser: listed with its first profile.
    if (!IsFirstOfUserData(index)) return;
    for (const std::wstring& root : CachePlaces(profile.userDataCache, profile.userData))
        for (const wchar_t* name : {L"reports", L"attachments"})
            AddFolderRow(index, kCrashReports,
                         L"Crashpad\\" + std::wstring(name) + L" (all profiles)",
                         root + L"Crashpad\\" + name + L"\\");
}

void CPlgChromiumHistory::CleanProfile(size_t index, const BrowserProfile& profile) {
    const std::vector<std::string> bookmarks = ToVector(ReadChromiumBookmarks(profile.folder));
    if (HasRows(index, kHistory))
        CleanStores(index, {kHistory}, profile.folder + L"History", [&](SqliteDb& db) {
            SqliteStatus step = FillTempTextTable(db, "keep_urls", bookmarks);
            if (step.Ok()) step = FillListedIds(db, "gone_urls", index, kHistory, "urls");
            if (step.Ok()) step = FillListedIds(db, "gone_visits", index, kHistory, "visits");
            if (step.Ok()) step = FillListedIds(db, "gone_downloads", index, kHistory, "downloads");
            if (step.Ok()) step = FillTempIdTable(db, "gone_clusters", {});
            if (step.Ok()) step = FillTempIdTable(db, "gone_segments", {});
            if (step.Ok()) step = RunCleanSteps(db, kHistorySteps);
            if (step.Ok())
                step = db.Exec(
                    "DROP TABLE temp.keep_urls; DROP TABLE temp.gone_urls; DROP TABLE "
                    "temp.gone_visits; DROP TABLE temp.gone_downloads; DROP TABLE "
                    "temp.gone_clusters; DROP TABLE temp.gone_segments");
            return step;
        });
    if (HasRows(index, kFavicons))
        CleanStores(index, {kFavicons}, profile.folder + L"Favicons", [&](SqliteDb& db) {
            // The icons of the pages listed go when no other page shows them.
            SqliteStatus step =
                FillListedIds(db, "gone_mappings", index, kFavicons, "icon_mapping");
            if (step.Ok()) step = FillListedIds(db, "gone_icons", index, kFavicons, "favicons");
            if (step.Ok())
                step = ExecIfTable(db, "icon_mapping",
                                   "DELETE FROM icon_mapping WHERE id IN "
                                   "(SELECT id FROM temp.gone_mappings)");
            if (step.Ok())
                step = ExecIfTable(db, "favicon_bitmaps",
                                   "DELETE FROM favicon_bitmaps WHERE icon_id IN (SELECT id FROM "
                                   "temp.gone_icons) AND icon_id NOT IN (SELECT icon_id FROM "
                                   "icon_mapping)");
            if (step.Ok())
                step = ExecIfTable(db, "favicons",
                                   "DELETE FROM favicons WHERE id IN (SELECT id FROM "
                                   "temp.gone_icons) AND id NOT IN (SELECT icon_id FROM "
                                   "icon_mapping)");
            if (step.Ok())
                step = db.Exec("DROP TABLE temp.gone_mappings; DROP TABLE temp.gone_icons");
            return step;
        });
    DeleteFileRows(index, kFiles);
    DeleteFileRows(index, kCrashReports);
}

// Cookies ---------------------------------------------------------------

void CPlgChromiumCookies::ScanProfile(size_t index, const BrowserProfile& profile) {
    // Old versions keep no encrypted_value: the columns there are read.
    ScanDatabase(
        index, 0, ChromiumCookieFile(profile), L"Cookies", "cookies",
        [](SqliteDb& db) {
            return "SELECT host_key, " + ColumnOrZero(db, "cookies", "last_access_utc") + ", " +
                   SumOfLengths(db, "cookies", {"name", "value", "encrypted_value", "path"}) +
                   ", rowid FROM cookies";
        },
        TimeBase::kChrome, &CookieRowName, true);
}

void CPlgChromiumCookies::CleanProfile(size_t index, const BrowserProfile& profile) {
    CleanCookies(index, ChromiumCookieFile(profile), "cookies", "host_key");
}

// Cache -----------------------------------------------------------------

void CPlgChromiumCache::ScanProfile(size_t index, const BrowserProfile& profile) {
    const std::vector<std::wstring> places = CachePlaces(profile.cacheFolder, profile.folder);
    // Cache\Cache_Data today, the files straight in Cache before.
    for (const wchar_t* name : {L"Cache", L"Code Cache", L"GPUCache", L"Media Cache"})
        for (size_t place = 0; place < places.size(); ++place)
            AddFolderRow(index, 0, place == 0 ? name : name + std::wstring(L" (roaming)"),
                         places[place] + name + L"\\");
    // The shader caches belong to the whole browser: listed with its first profile.
    if (!IsFirstOfUserData(index)) return;
    const std::vector<std::wstring> shared = CachePlaces(profile.userDataCache, profile.userData);
    for (const wchar_t* name : {L"ShaderCache", L"GrShaderCache"})
        for (size_t place = 0; place < shared.size(); ++place)
            AddFolderRow(
                index, 1,
                name + std::wstring(place == 0 ? L" (all profiles)" : L" (all profiles, roaming)"),
                shared[place] + name + L"\\");
}

void CPlgChromiumCache::CleanProfile(size_t index, const BrowserProfile&) {
    DeleteFileRows(index, -1);
}

// Form data -------------------------------------------------------------

namespace {

// Saved addresses by version: the autofill_profile* tables until version
// 113, local_addresses* until 133, and today addresses and
// address_type_tokens, where record type 0 is an address of this computer.
// Addresses of the Google account (contact_info*, record types 1 to 3) are
// the account's, not this computer's: they stay.
const char* const kLegacyAddressTables[] = {
    "autofill_profiles",           "autofill_profile_names",
    "autofill_profile_emails",     "autofill_profile_phones",
    "autofill_profile_addresses",  "autofill_profile_birthdates",
    "local_addresses_type_tokens", "local_addresses",
};
const char kLocalAddresses[] = "SELECT guid FROM addresses WHERE record_type = 0";

}  // namespace

void CPlgChromiumFormData::ScanProfile(size_t index, const BrowserProfile& profile) {
    const std::wstring path = profile.folder + L"Web Data";
    if (!IsExistingFile(path)) return;
    SetStorePlace(index, kEntries, path);
    SetStorePlace(index, kAddresses, path);
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, path);
    if (status.Ok() && db.HasTable("autofill"))
        status = ScanRows(index, kEntries, db,
                          "SELECT name, date_last_used, length(value), rowid FROM autofill",
                          TimeBase::kUnixSeconds, &FieldRowName, "autofill");
    // Every saved address of this computer, by its guid, in whichever
    // tables this version keeps them.
    std::vector<std::string> queries;
    for (const char* table : {"autofill_profiles", "local_addresses"})
        if (db.HasTable(table)) queries.push_back(std::string("SELECT guid FROM ") + table);
    if (db.HasTable("addresses") && db.HasColumn("addresses", "record_type"))
        queries.push_back(kLocalAddresses);
    for (const std::string& query : queries) {
        if (!status.Ok()) break;
        status = ForEachRow(db, query, [&](const SqliteStatement& address) {
            DomainInfo& row = Row(index, kAddresses, L"Addresses");
            ++row.itemCount;
            NoteRecordKey(row, "addresses", address.Utf8(0));
        });
    }
    if (!status.Ok()) NoteUnreadable(index, kEntries, L"Web Data", status);
}

void CPlgChromiumFormData::CleanProfile(size_t index, const BrowserProfile& profile) {
    CleanStores(index, {kEntries, kAddresses}, profile.folder + L"Web Data", [&](SqliteDb& db) {
        SqliteStatus step = FillListedIds(db, "gone_entries", index, kEntries, "autofill");
        if (step.Ok())
            step =
                FillTempTextTable(db, "gone_addresses", ListedKeys(index, kAddresses, "addresses"));
        if (step.Ok())
            step = ExecIfTable(
                db, "autofill",
                "DELETE FROM autofill WHERE rowid IN (SELECT id FROM temp.gone_entries)");
        for (const char* table : kLegacyAddressTables) {
            if (!step.Ok()) return step;
            step = ExecIfTable(db, table,
                               std::string("DELETE FROM ") + table +
                                   " WHERE guid IN (SELECT value FROM temp.gone_addresses)");
        }
        if (step.Ok() && db.HasTable("addresses") && db.HasColumn("addresses", "record_type")) {
            step = ExecIfTable(db, "address_type_tokens",
                               "DELETE FROM address_type_tokens WHERE guid IN "
                               "(SELECT value FROM temp.gone_addresses)");
            if (step.Ok())
                step = db.Exec(
                    "DELETE FROM addresses WHERE record_type = 0 AND guid IN "
                    "(SELECT value FROM temp.gone_addresses)");
        }
        if (step.Ok())
            step = db.Exec("DROP TABLE temp.gone_entries; DROP TABLE temp.gone_addresses");
        return step;
    });
}

// Sessions --------------------------------------------------------------

void CPlgChromiumSessions::ScanProfile(size_t index, const BrowserProfile& profile) {
    AddFolderRow(index, 0, L"Sessions", profile.folder + L"Sessions\\");
    for (const wchar_t* name : {L"Current Session", L"Current Tabs", L"Last Session", L"Last Tabs"})
        AddFilesRow(index, 1, name, {profile.folder + name});
}

}  // namespace veltrane
