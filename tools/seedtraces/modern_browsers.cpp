#include "seedtraces/modern_browsers.h"

#include <sqlite3.h>

#include "seedtraces/seed_util.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// 2026-12-01 10:00 UTC as each browser counts time.
constexpr long long kChromeTime = 13440592800000000LL;  // microseconds since 1601
constexpr long long kFirefoxTime = 1796119200000000LL;  // microseconds since 1970
constexpr long long kUnixTime = 1796119200LL;

std::string Number(long long value) { return std::to_string(value); }

const char kChromiumMeta[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);";

const char kChromiumHistorySchema[] =
    "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title LONGVARCHAR,"
    "visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT NULL,"
    "last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL);"
    "CREATE INDEX urls_url_index ON urls (url);"
    "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,"
    "visit_time INTEGER NOT NULL,from_visit INTEGER,external_referrer_url TEXT,"
    "transition INTEGER DEFAULT 0 NOT NULL,segment_id INTEGER,visit_duration INTEGER DEFAULT 0 "
    "NOT NULL,incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL,opener_visit "
    "INTEGER,originator_cache_guid TEXT,originator_visit_id INTEGER,originator_from_visit "
    "INTEGER,originator_opener_visit INTEGER,is_known_to_sync BOOLEAN DEFAULT FALSE NOT NULL,"
    "consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL);"
    "CREATE INDEX visits_url_index ON visits (url);"
    "CREATE TABLE visit_source(id INTEGER PRIMARY KEY,source INTEGER NOT NULL);"
    "CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL,url_id INTEGER NOT NULL,"
    "term LONGVARCHAR NOT NULL,normalized_term LONGVARCHAR NOT NULL);"
    "CREATE TABLE downloads (id INTEGER PRIMARY KEY,guid VARCHAR NOT NULL,current_path "
    "LONGVARCHAR NOT NULL,target_path LONGVARCHAR NOT NULL,start_time INTEGER NOT NULL,"
    "received_bytes INTEGER NOT NULL,total_bytes INTEGER NOT NULL,state INTEGER NOT NULL,"
    "danger_type INTEGER NOT NULL,interrupt_reason INTEGER NOT NULL,hash BLOB NOT NULL,end_time "
    "INTEGER NOT NULL,opened INTEGER NOT NULL,last_access_time INTEGER NOT NULL,transient "
    "INTEGER NOT NULL,referrer VARCHAR NOT NULL,site_url VARCHAR NOT NULL,"
    "embedder_download_data VARCHAR NOT NULL,tab_url VARCHAR NOT NULL,tab_referrer_url VARCHAR "
    "NOT NULL,http_method VARCHAR NOT NULL,by_ext_id VARCHAR NOT NULL,by_ext_name VARCHAR NOT "
    "NULL,etag VARCHAR NOT NULL,last_modified VARCHAR NOT NULL,mime_type VARCHAR(255) NOT NULL,"
    "original_mime_type VARCHAR(255) NOT NULL);"
    "CREATE TABLE downloads_url_chains (id INTEGER NOT NULL,chain_index INTEGER NOT NULL,url "
    "LONGVARCHAR NOT NULL, PRIMARY KEY (id, chain_index) );"
    "CREATE TABLE downloads_slices (download_id INTEGER NOT NULL,offset INTEGER NOT NULL,"
    "received_bytes INTEGER NOT NULL,finished INTEGER NOT NULL DEFAULT 0,PRIMARY KEY "
    "(download_id, offset) );"
    "CREATE TABLE segments (id INTEGER PRIMARY KEY,name VARCHAR,url_id INTEGER NON NULL);"
    "CREATE TABLE segment_usage (id INTEGER PRIMARY KEY,segment_id INTEGER NOT NULL,time_slot "
    "INTEGER NOT NULL,visit_count INTEGER DEFAULT 0 NOT NULL);"
    "CREATE TABLE content_annotations (visit_id INTEGER PRIMARY KEY,visibility_score NUMERIC,"
    "categories VARCHAR,page_topics_model_version INTEGER,annotation_flags INTEGER NOT NULL,"
    "entities VARCHAR,related_searches VARCHAR,search_normalized_url VARCHAR,search_terms "
    "LONGVARCHAR,alternative_title VARCHAR,page_language VARCHAR,password_state INTEGER DEFAULT "
    "0 NOT NULL,has_url_keyed_image BOOLEAN NOT NULL);";

bool SeedChromiumHistory(const std::wstring& folder) {
    const std::string t = Number(kChromeTime);
    std::string sql = std::string(kChromiumMeta) + kChromiumHistorySchema +
                      "INSERT INTO meta VALUES('version','66'),('last_compatible_version','16');"
                      "INSERT INTO urls VALUES"
                      "(1,'https://www.example.com/','Example',2,1," +
                      t +
                      ",0),"
                      "(2,'https://example.com/news','Example news',1,0," +
                      t +
                      "-3600000000,0),"
                      "(3,'https://news.site.org/chromium-history-trace','Today',1,0," +
                      t +
                      "-7200000000,0),"
                      "(4,'https://bank.test/login','Bank',1,1," +
                      t +
                      "-86400000000,0),"
                      "(5,'https://bookmarked.test/','Bookmarked',1,0," +
                      t +
                      ",0),"
                      "(6,'https://account-bookmarked.test/','Account',1,0," +
                      t +
                      ",0);"
                      "INSERT INTO visits(id,url,visit_time,transition) VALUES"
                      "(1,1," +
                      t + ",805306369),(2,1," + t +
                      "-60000000,805306368),"
                      "(3,2," +
                      t + "-3600000000,0),(4,3," + t +
                      "-7200000000,0),"
                      "(5,4," +
                      t + "-86400000000,1),(6,5," + t + ",0),(7,6," + t +
                      ",0);"
                      "INSERT INTO visit_source VALUES(6,0);"
                      "INSERT INTO keyword_search_terms VALUES(2,3,'secret chromium search',"
                      "'secret chromium search');"
                      "INSERT INTO downloads VALUES(1,'4f1c0e9a-5b8d-4c4e-9a51-0d6a1f2b3c4d',"
                      "'C:\\Users\\Public\\Downloads\\setup.exe',"
                      "'C:\\Users\\Public\\Downloads\\setup.exe'," +
                      t + ",1024,1024,1,0,0,X'00'," + t + ",0," + t +
                      ",0,'','https://files.test/','','https://files.test/',"
                      "'','GET','','','','','application/octet-stream','application/octet-stream');"
                      "INSERT INTO downloads_url_chains VALUES(1,0,'https://files.test/setup.exe'),"
                      "(1,1,'https://cdn.files.test/setup.exe');"
                      "INSERT INTO downloads_slices VALUES(1,0,1024,1);"
                      "INSERT INTO segments VALUES(1,'http://example.com/',1);"
                      "INSERT INTO segment_usage VALUES(1,1," +
                      t +
                      ",2);"
                      "INSERT INTO content_annotations(visit_id,annotation_flags,search_terms,"
                      "has_url_keyed_image) VALUES(4,0,'secret chromium search',0);";
    return WriteDatabase(folder + L"History", sql);
}

bool SeedChromiumFavicons(const std::wstring& folder) {
    return WriteDatabase(
        folder + L"Favicons",
        std::string(kChromiumMeta) +
            "INSERT INTO meta VALUES('version','8');"
            "CREATE TABLE favicons(id INTEGER PRIMARY KEY,url LONGVARCHAR NOT NULL,icon_type "
            "INTEGER DEFAULT 1);"
            "CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY,icon_id INTEGER NOT NULL,"
            "last_updated INTEGER DEFAULT 0,image_data BLOB,width INTEGER DEFAULT 0,height "
            "INTEGER DEFAULT 0,last_requested INTEGER DEFAULT 0);"
            "CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY,page_url LONGVARCHAR NOT NULL,"
            "icon_id INTEGER,page_url_type INTEGER DEFAULT 0);"
            "INSERT INTO favicons VALUES(1,'https://www.example.com/favicon.ico',1),"
            "(2,'https://news.site.org/favicon.ico',1),(3,'https://bookmarked.test/favicon.ico',1),"
            "(4,'https://account-bookmarked.test/favicon.ico',1);"
            "INSERT INTO favicon_bitmaps(id,icon_id,image_data,width,height) VALUES"
            "(1,1,X'89504E47',16,16),(2,2,X'89504E47',16,16),(3,3,X'89504E47',16,16),"
            "(4,4,X'89504E47',16,16);"
            "INSERT INTO icon_mapping(id,page_url,icon_id) VALUES(1,'https://www.example.com/',1),"
            "(2,'https://news.site.org/chromium-history-trace',2),"
            "(3,'https://bookmarked.test/',3),(4,'https://account-bookmarked.test/',4);");
}

const char* const kCookieHosts[] = {
    ".example.com",        ".example.com",         "www.example.com", "shop.example.com",
    "thisisanexample.com", "example.com.evil.net", ".keep.test",
};

// Web Data as Chrome 134 and later write it: saved addresses in addresses
// (record_type 0 on this computer, 1 in the Google account) and their
// values in address_type_tokens.
bool SeedChromiumWebData(const std::wstring& folder) {
    const std::string t = Number(kUnixTime);
    return WriteDatabase(
        folder + L"Web Data",
        std::string(kChromiumMeta) +
            "INSERT INTO meta VALUES('version','135'),('last_compatible_version','134');"
            "CREATE TABLE autofill (name VARCHAR, value VARCHAR, value_lower VARCHAR, "
            "date_created INTEGER DEFAULT 0, date_last_used INTEGER DEFAULT 0, count INTEGER "
            "DEFAULT 1, PRIMARY KEY (name, value));"
            "CREATE TABLE addresses (guid VARCHAR PRIMARY KEY, use_count INTEGER NOT NULL "
            "DEFAULT 0, use_date INTEGER NOT NULL DEFAULT 0, date_modified INTEGER NOT NULL "
            "DEFAULT 0, language_code VARCHAR, label VARCHAR, initial_creator_id INTEGER DEFAULT "
            "0, last_modifier_id INTEGER DEFAULT 0, use_date2 INTEGER, use_date3 INTEGER, "
            "record_type INTEGER);"
            "CREATE TABLE address_type_tokens (guid VARCHAR, type INTEGER, value VARCHAR, "
            "verification_status INTEGER DEFAULT 0, observations BLOB, PRIMARY KEY (guid, type));"
            "CREATE TABLE keywords (id INTEGER PRIMARY KEY,short_name VARCHAR NOT NULL,keyword "
            "VARCHAR NOT NULL,favicon_url VARCHAR NOT NULL,url VARCHAR NOT NULL);"
            "CREATE TABLE credit_cards ( guid VARCHAR PRIMARY KEY, name_on_card VARCHAR, "
            "expiration_month INTEGER, expiration_year INTEGER, card_number_encrypted BLOB, "
            "date_modified INTEGER NOT NULL DEFAULT 0);"
            "INSERT INTO autofill VALUES('email','someone@example.com','someone@example.com'," +
            t + "," + t + ",3),('email','other@example.com','other@example.com'," + t + "," + t +
            ",1),('q','secret form entry','secret form entry'," + t + "," + t +
            ",1);"
            "INSERT INTO addresses(guid,use_count,use_date,date_modified,record_type) VALUES"
            "('0b9a1c1e-1111-4c4e-9a51-000000000001',2," +
            t + "," + t +
            ",0),"
            "('0b9a1c1e-3333-4c4e-9a51-000000000003',1," +
            t + "," + t +
            ",1);"
            "INSERT INTO address_type_tokens(guid,type,value) VALUES"
            "('0b9a1c1e-1111-4c4e-9a51-000000000001',7,'Ada Trace'),"
            "('0b9a1c1e-1111-4c4e-9a51-000000000001',77,'1 Trace Street'),"
            "('0b9a1c1e-3333-4c4e-9a51-000000000003',77,'2 Account Road');"
            "INSERT INTO keywords VALUES(2,'Search','search.test','',"
            "'https://search.test/?q={searchTerms}');"
            "INSERT INTO credit_cards(guid,name_on_card,date_modified) VALUES"
            "('0b9a1c1e-2222-4c4e-9a51-000000000002','Ada Trace'," +
            t + ");");
}

// A Bookmarks file (AccountBookmarks has the same form) holding `url`.
std::string BookmarksFile(const std::string& url, const char* name) {
    return "{\n   \"checksum\": \"0f7e7c1a2b3c4d5e6f708192a3b4c5d6\",\n   \"roots\": {\n"
           "      \"bookmark_bar\": {\n         \"children\": [ {\n            \"date_added\": "
           "\"13440592800000000\",\n            \"guid\": "
           "\"5c7a3e2e-1d1b-4a5f-8f10-000000000001\",\n            \"id\": \"5\",\n"
           "            \"name\": \"" +
           std::string(name) + "\",\n            \"type\": \"url\",\n            \"url\": \"" +
           url +
           "\"\n         } ],\n"
           "         \"id\": \"1\",\n         \"name\": \"Bookmarks bar\",\n         \"type\": "
           "\"folder\"\n      },\n      \"other\": {\n         \"children\": [  ],\n         "
           "\"id\": \"2\",\n         \"name\": \"Other bookmarks\",\n         \"type\": "
           "\"folder\"\n      },\n      \"synced\": {\n         \"children\": [  ],\n         "
           "\"id\": \"3\",\n         \"name\": \"Mobile bookmarks\",\n         \"type\": "
           "\"folder\"\n      }\n   },\n   \"version\": 1\n}\n";
}

}  // namespace

// A database a clean edits (never removes), with the journal files SQLite
// may keep beside it.
static void NoteDatabase(const std::wstring& path) {
    NoteEditedTraceFile(path);
    for (const wchar_t* suffix : {L"-journal", L"-wal", L"-shm"}) NoteTraceFile(path + suffix);
}

bool WriteDatabase(const std::wstring& path, const std::string& sql) {
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) SeedFolder(path.substr(0, slash));
    DeleteFileW(path.c_str());
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(ToUtf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok && db != nullptr)
        fprintf(stderr, "seed %s: %s\n", ToUtf8(path).c_str(), sqlite3_errmsg(db));
    return sqlite3_close(db) == SQLITE_OK && ok;
}

bool WriteChromiumCookies(const std::wstring& path, const std::vector<std::string>& hosts) {
    std::string sql = std::string(kChromiumMeta) +
                      "INSERT INTO meta VALUES('version','21'),('last_compatible_version','21');"
                      "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
                      "top_frame_site_key TEXT NOT NULL,name TEXT NOT NULL,value TEXT NOT NULL,"
                      "encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT "
                      "NULL,is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,"
                      "last_access_utc INTEGER NOT NULL,has_expires INTEGER NOT NULL,"
                      "is_persistent INTEGER NOT NULL,priority INTEGER NOT NULL,samesite INTEGER "
                      "NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT NULL,"
                      "last_update_utc INTEGER NOT NULL,UNIQUE (host_key, top_frame_site_key, "
                      "name, path, source_scheme, source_port));";
    long long creation = kChromeTime;
    for (const std::string& host : hosts) {
        const std::string t = Number(++creation);
        sql += "INSERT INTO cookies VALUES(" + t + ",'" + host + "','','c" + t +
               "','cookie-value-trace',X'','/'," + t + "+31536000000000,1,1," + t +
               ",1,1,1,0,2,443," + t + ");";
    }
    return WriteDatabase(path, sql);
}

bool WriteFirefoxCookies(const std::wstring& path, const std::vector<std::string>& hosts) {
    std::string sql =
        "PRAGMA journal_mode=WAL; PRAGMA user_version=12;"
        "CREATE TABLE moz_cookies ( id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL "
        "DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed "
        "INTEGER, creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement "
        "INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, rawSameSite INTEGER DEFAULT 0, "
        "schemeMap INTEGER DEFAULT 0, isPartitionedAttributeSet INTEGER DEFAULT 0, CONSTRAINT "
        "moz_uniqueid UNIQUE (name, host, path, originAttributes));";
    long long time = kFirefoxTime;
    for (const std::string& host : hosts) {
        const std::string t = Number(++time);
        sql +=
            "INSERT INTO moz_cookies(name,value,host,path,expiry,lastAccessed,creationTime,"
            "isSecure,isHttpOnly) VALUES('c" +
            t + "','cookie-value-trace','" + host + "','/',1830000000," + t + "," + t + ",1,0);";
    }
    return WriteDatabase(path, sql);
}

bool WriteChromiumProfile(const std::wstring& folder, const std::wstring& cacheFolder,
                          std::wstring gpuCacheFolder) {
    if (gpuCacheFolder.empty()) gpuCacheFolder = cacheFolder;
    // What the Chromium plug-ins may change (the databases) or remove.
    for (const wchar_t* database : {L"History", L"Favicons", L"Network\\Cookies", L"Web Data"})
        NoteDatabase(folder + database);
    for (const wchar_t* file : {L"Visited Links", L"Top Sites", L"Top Sites-journal", L"Shortcuts",
                                L"Current Session", L"Last Tabs"})
        NoteTraceFile(folder + file);
    NoteTraceFolderContent(folder + L"Sessions");
    for (const wchar_t* cache : {L"Cache", L"Code Cache"})
        NoteTraceFolderContent(cacheFolder + cache);
    NoteTraceFolderContent(gpuCacheFolder + L"GPUCache");
    bool ok = SeedChromiumHistory(folder);
    ok = SeedChromiumFavicons(folder) && ok;
    ok = WriteChromiumCookies(folder + L"Network\\Cookies",
                              {std::begin(kCookieHosts), std::end(kCookieHosts)}) &&
         ok;
    ok = SeedChromiumWebData(folder) && ok;
    ok = SeedFile(folder + L"Bookmarks",
                  BookmarksFile(seeded::kChromiumBookmarkedUrl, "Bookmarked")) &&
         ok;
    ok = SeedFile(folder + L"AccountBookmarks",
                  BookmarksFile(seeded::kChromiumAccountBookmarkedUrl, "Account")) &&
         ok;
    // What must survive every clean.
    ok = WriteDatabase(folder + L"Login Data",
                       "CREATE TABLE logins (origin_url VARCHAR NOT NULL, username_value VARCHAR, "
                       "password_value BLOB);INSERT INTO logins VALUES('https://bank.test/',"
                       "'ada',X'763130aabbcc');") &&
         ok;
    ok = WriteDatabase(folder + L"Login Data For Account",
                       "CREATE TABLE logins (origin_url VARCHAR NOT NULL, username_value VARCHAR, "
                       "password_value BLOB);") &&
         ok;
    ok = SeedFile(folder + L"Preferences", "{\"profile\":{\"name\":\"Person 1\"}}") && ok;
    ok = SeedFile(folder + L"Secure Preferences", "{\"protection\":{\"macs\":{}}}") && ok;
    // Whole files that repeat the history.
    ok = SeedFile(folder + L"Visited Links", std::string(2048, '\x5a')) && ok;
    ok = WriteDatabase(folder + L"Top Sites",
                       "CREATE TABLE top_sites(url LONGVARCHAR NOT NULL PRIMARY KEY,url_rank "
                       "INTEGER NOT NULL,title LONGVARCHAR NOT NULL);INSERT INTO top_sites "
                       "VALUES('https://www.example.com/',0,'Example');") &&
         ok;
    ok = SeedFile(folder + L"Top Sites-journal", "") && ok;
    ok = SeedFile(folder + L"Shortcuts", "SQLite shortcuts stand-in") && ok;
    // Sessions, today's and the older names.
    ok = SeedFile(folder + L"Sessions\\Session_13345678901234567", "SNSS session trace") && ok;
    ok = SeedFile(folder + L"Sessions\\Tabs_13345678901234567", "SNSS tabs trace") && ok;
    ok = SeedFile(folder + L"Current Session", "SNSS current session") && ok;
    ok = SeedFile(folder + L"Last Tabs", "SNSS last tabs") && ok;
    // Caches.
    ok = SeedFile(cacheFolder + L"Cache\\Cache_Data\\index", std::string(256, '\0')) && ok;
    ok = SeedFile(cacheFolder + L"Cache\\Cache_Data\\data_0", std::string(8192, 'c')) && ok;
    ok = SeedFile(cacheFolder + L"Cache\\Cache_Data\\f_000001", std::string(4096, 'f')) && ok;
    ok = SeedFile(cacheFolder + L"Code Cache\\js\\index", std::string(64, 'j')) && ok;
    ok = SeedFile(gpuCacheFolder + L"GPUCache\\data_1", std::string(1024, 'g')) && ok;
    return ok;
}

bool WriteChromiumUserData(const std::wstring& userData,
                           const std::vector<std::pair<std::wstring, std::wstring>>& profiles) {
    NoteTraceFolderContent(userData + L"ShaderCache");
    NoteTraceFolderContent(userData + L"GrShaderCache");
    std::string state =
        "{\"browser\":{\"enabled_labs_experiments\":[]},\"profile\":{\"info_cache\":{";
    for (size_t i = 0; i < profiles.size(); ++i) {
        if (i > 0) state += ",";
        state.append("\"").append(ToUtf8(profiles[i].first));
        state.append("\":{\"active_time\":1796119200.0,\"name\":\"");
        state.append(ToUtf8(profiles[i].second)).append("\",\"is_using_default_name\":false}");
    }
    state += "},\"last_used\":\"Default\"}}";
    bool ok = SeedFile(userData + L"Local State", state);
    ok = SeedFile(userData + L"ShaderCache\\data_0", std::string(2048, 's')) && ok;
    ok = SeedFile(userData + L"GrShaderCache\\data_1", std::string(512, 'r')) && ok;
    return ok;
}

namespace {

const char kPlacesSchema[] =
    "PRAGMA journal_mode=WAL; PRAGMA user_version=75;"
    "CREATE TABLE moz_origins ( id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT "
    "NULL, frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 1, UNIQUE (prefix, host) );"
    "CREATE TABLE moz_places (   id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
    "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
    "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date "
    "INTEGER , guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 "
    "NOT NULL , description TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER "
    "REFERENCES moz_origins(id), recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency "
    "INTEGER, recalc_alt_frecency INTEGER NOT NULL DEFAULT 1);"
    "CREATE TABLE moz_historyvisits (  id INTEGER PRIMARY KEY, from_visit INTEGER, place_id "
    "INTEGER, visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 "
    "NOT NULL, triggeringPlaceId INTEGER);"
    "CREATE TABLE moz_inputhistory (  place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, "
    "use_count INTEGER, PRIMARY KEY (place_id, input));"
    "CREATE TABLE moz_bookmarks (  id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
    "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type "
    "TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL "
    "DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
    "CREATE TABLE moz_keywords (  id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, "
    "place_id INTEGER, post_data TEXT);"
    "CREATE TABLE moz_anno_attributes (  id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT "
    "NULL);"
    "CREATE TABLE moz_annos (  id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
    "anno_attribute_id INTEGER, content LONGVARCHAR, flags INTEGER DEFAULT 0, expiration "
    "INTEGER DEFAULT 0, type INTEGER DEFAULT 0, dateAdded INTEGER DEFAULT 0, lastModified "
    "INTEGER DEFAULT 0);"
    "CREATE TABLE moz_meta (key TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID ;"
    "CREATE TABLE moz_places_metadata (  id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
    "referrer_place_id INTEGER, created_at INTEGER NOT NULL DEFAULT 0, updated_at INTEGER NOT "
    "NULL DEFAULT 0, total_view_time INTEGER NOT NULL DEFAULT 0, typing_time INTEGER NOT NULL "
    "DEFAULT 0, key_presses INTEGER NOT NULL DEFAULT 0, scrolling_time INTEGER NOT NULL DEFAULT "
    "0, scrolling_distance INTEGER NOT NULL DEFAULT 0, document_type INTEGER NOT NULL DEFAULT "
    "0, search_query_id INTEGER);"
    "CREATE TABLE moz_places_metadata_search_queries ( id INTEGER PRIMARY KEY, terms TEXT NOT "
    "NULL UNIQUE );"
    "CREATE TABLE moz_previews_tombstones (hash TEXT PRIMARY KEY) WITHOUT ROWID;"
    "CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash);"
    "CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);"
    "CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);";

// The bookmark roots Firefox creates in every profile.
const char kBookmarkRoots[] =
    "INSERT INTO moz_bookmarks(id,type,fk,parent,position,title,guid) VALUES"
    "(1,2,NULL,0,0,'','root________'),(2,2,NULL,1,0,'menu','menu________'),"
    "(3,2,NULL,1,1,'toolbar','toolbar_____'),(4,2,NULL,1,2,'tags','tags________'),"
    "(5,2,NULL,1,3,'unfiled','unfiled_____'),(6,2,NULL,1,4,'mobile','mobile______');";

bool SeedPlaces(const std::wstring& folder) {
    const std::string t = Number(kFirefoxTime);
    return WriteDatabase(
        folder + L"places.sqlite",
        std::string(kPlacesSchema) + kBookmarkRoots +
            "INSERT INTO moz_origins(id,prefix,host,frecency,alt_frecency) VALUES"
            "(1,'https://','mozilla.test',200,210),(2,'https://','ff-history.test',100,110),"
            "(3,'https://','bookmarked-ff.test',150,160),(4,'https://','unvisited-bm.test',50,60);"
            "INSERT INTO moz_places(id,url,title,rev_host,visit_count,frecency,last_visit_date,"
            "guid,foreign_count,origin_id) VALUES"
            "(1,'https://www.mozilla.test/','Mozilla','tset.allizom.www.',2,200," +
            t +
            ",'aaaaaaaaaaa1',0,1),"
            "(2,'https://mozilla.test/news','News','tset.allizom.',1,90," +
            t +
            "-3600000000,'aaaaaaaaaaa2',0,1),"
            "(3,'https://ff-history.test/firefox-history-trace','Trace','tset.yrotsih-ff.',1,"
            "100," +
            t +
            "-7200000000,'aaaaaaaaaaa3',0,2),"
            "(4,'https://bookmarked-ff.test/','Bookmarked','tset.ff-dekramkoob.',3,150," +
            t +
            ",'aaaaaaaaaaa4',1,3),"
            "(5,'https://unvisited-bm.test/','Unvisited','tset.mb-detisivnu.',0,50,NULL,"
            "'aaaaaaaaaaa5',1,4);"
            "INSERT INTO moz_historyvisits(id,from_visit,place_id,visit_date,visit_type) VALUES"
            "(1,0,1," +
            t + ",1),(2,1,1," + t + "-60000000,1),(3,0,2," + t +
            "-3600000000,2),"
            "(4,0,3," +
            t + "-7200000000,1),(5,0,4," + t + ",1),(6,0,4," + t +
            "-1000000,1),"
            "(7,0,4," +
            t +
            "-2000000,1);"
            "INSERT INTO moz_bookmarks(id,type,fk,parent,position,title,dateAdded,lastModified,"
            "guid) VALUES(7,1,4,3,0,'Bookmarked'," +
            t + "," + t +
            ",'bbbbbbbbbbb1'),"
            "(8,1,5,2,0,'Unvisited'," +
            t + "," + t +
            ",'bbbbbbbbbbb2');"
            "INSERT INTO moz_anno_attributes VALUES(1,'downloads/destinationFileURI');"
            "INSERT INTO moz_annos(id,place_id,anno_attribute_id,content) VALUES(1,3,1,"
            "'file:///C:/Users/Public/Downloads/firefox-history-trace.zip');"
            "INSERT INTO moz_inputhistory VALUES(1,'moz',1.0),(4,'book',1.0);"
            "INSERT INTO moz_places_metadata(id,place_id,created_at,updated_at,total_view_time) "
            "VALUES(1,3," +
            t + "," + t +
            ",5000);"
            "UPDATE moz_places SET typed = 1, alt_frecency = frecency + 10 WHERE id IN (1, 4);"
            "INSERT INTO moz_meta VALUES('origin_frecency_count',4),('origin_frecency_sum',500),"
            "('origin_frecency_sum_of_squares',72500),('origin_frecency_threshold',150),"
            "('sync/history/syncId','kept-sync-id');");
}

bool SeedFirefoxFavicons(const std::wstring& folder) {
    return WriteDatabase(
        folder + L"favicons.sqlite",
        "PRAGMA journal_mode=WAL; PRAGMA user_version=75;"
        "CREATE TABLE moz_icons ( id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, "
        "fixed_icon_url_hash INTEGER NOT NULL, width INTEGER NOT NULL DEFAULT 0, root INTEGER NOT "
        "NULL DEFAULT 0, color INTEGER, expire_ms INTEGER NOT NULL DEFAULT 0, flags INTEGER NOT "
        "NULL DEFAULT 0, data BLOB );"
        "CREATE TABLE moz_pages_w_icons ( id INTEGER PRIMARY KEY, page_url TEXT NOT NULL, "
        "page_url_hash INTEGER NOT NULL );"
        "CREATE TABLE moz_icons_to_pages ( page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL, "
        "expire_ms INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (page_id, icon_id), FOREIGN KEY "
        "(page_id) REFERENCES moz_pages_w_icons ON DELETE CASCADE, FOREIGN KEY (icon_id) "
        "REFERENCES moz_icons ON DELETE CASCADE ) WITHOUT ROWID;"
        "INSERT INTO moz_icons(id,icon_url,fixed_icon_url_hash,width,root,data) VALUES"
        "(1,'https://www.mozilla.test/icon.png',11,16,0,X'89504E47'),"
        "(2,'https://ff-history.test/icon.png',12,16,0,X'89504E47'),"
        "(3,'https://bookmarked-ff.test/icon.png',13,16,0,X'89504E47'),"
        // Root icons: linked to no page, found by the site's address.
        "(4,'https://bookmarked-ff.test/favicon.ico',14,16,1,X'89504E47'),"
        "(5,'https://www.ff-history.test/favicon.ico',15,16,1,X'89504E47');"
        "INSERT INTO moz_pages_w_icons VALUES(1,'https://www.mozilla.test/',21),"
        "(2,'https://ff-history.test/firefox-history-trace',22),"
        "(3,'https://bookmarked-ff.test/',23);"
        "INSERT INTO moz_icons_to_pages(page_id,icon_id) VALUES(1,1),(2,2),(3,3);");
}

bool SeedFormHistory(const std::wstring& folder) {
    const std::string t = Number(kFirefoxTime);
    return WriteDatabase(
        folder + L"formhistory.sqlite",
        "PRAGMA user_version=5;"
        "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, value "
        "TEXT NOT NULL, timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT);"
        "CREATE TABLE moz_deleted_formhistory (id INTEGER PRIMARY KEY, timeDeleted INTEGER, guid "
        "TEXT);"
        "CREATE TABLE moz_sources (id INTEGER PRIMARY KEY, source TEXT NOT NULL);"
        "CREATE TABLE moz_history_to_sources (history_id INTEGER, source_id INTEGER, PRIMARY KEY "
        "(history_id, source_id), FOREIGN KEY (history_id) REFERENCES moz_formhistory(id) ON "
        "DELETE CASCADE, FOREIGN KEY (source_id) REFERENCES moz_sources(id) ON DELETE CASCADE);"
        "INSERT INTO moz_formhistory VALUES(1,'searchbar-history','secret firefox search',2," +
            t + "," + t + ",'ccccccccccc1'),(2,'email','someone@example.com',1," + t + "," + t +
            ",'ccccccccccc2'),(3,'email','other@example.com',1," + t + "," + t +
            ",'ccccccccccc3');"
            "INSERT INTO moz_sources VALUES(1,'https://ff-history.test/form');"
            "INSERT INTO moz_history_to_sources VALUES(2,1);");
}

}  // namespace

bool WriteFirefoxProfile(const std::wstring& folder, const std::wstring& cacheFolder) {
    // What the Firefox plug-ins may change (the databases) or remove.
    for (const wchar_t* database :
         {L"places.sqlite", L"favicons.sqlite", L"cookies.sqlite", L"formhistory.sqlite"})
        NoteDatabase(folder + database);
    NoteTraceFile(folder + L"sessionstore.jsonlz4");
    for (const wchar_t* backup : {L"recovery.jsonlz4", L"recovery.baklz4", L"previous.jsonlz4",
                                  L"upgrade.jsonlz4-20261201101500"})
        NoteTraceFile(folder + L"sessionstore-backups\\" + backup);
    NoteTraceFolderContent(cacheFolder + L"cache2");
    bool ok = SeedPlaces(folder);
    ok = SeedFirefoxFavicons(folder) && ok;
    ok = WriteFirefoxCookies(folder + L"cookies.sqlite",
                             {std::begin(kCookieHosts), std::end(kCookieHosts)}) &&
         ok;
    ok = SeedFormHistory(folder) && ok;
    ok = SeedFile(folder + L"sessionstore.jsonlz4", "mozLz40 session trace") && ok;
    ok = SeedFile(folder + L"sessionstore-backups\\recovery.jsonlz4", "mozLz40 recovery") && ok;
    ok = SeedFile(folder + L"sessionstore-backups\\recovery.baklz4", "mozLz40 recovery bak") && ok;
    ok = SeedFile(folder + L"sessionstore-backups\\previous.jsonlz4", "mozLz40 previous") && ok;
    ok = SeedFile(folder + L"sessionstore-backups\\upgrade.jsonlz4-20261201101500",
                  "mozLz40 upgrade") &&
         ok;
    // What must survive every clean.
    ok = SeedFile(folder + L"logins.json",
                  "{\"nextId\":2,\"logins\":[{\"id\":1,\"hostname\":\"https://bank.test\","
                  "\"encryptedUsername\":\"MDoEEPgAAA==\",\"encryptedPassword\":\"MDoEEPgBBB==\"}]"
                  ",\"version\":3}") &&
         ok;
    ok = WriteDatabase(folder + L"key4.db",
                       "CREATE TABLE metaData (id PRIMARY KEY UNIQUE ON CONFLICT REPLACE, item1, "
                       "item2);INSERT INTO metaData VALUES('password',X'00',X'01');") &&
         ok;
    ok = SeedFile(folder + L"prefs.js", "user_pref(\"browser.startup.page\", 3);\n") && ok;
    ok = SeedFile(folder + L"extensions\\trace-keeper@example.test.xpi", "PK extension") && ok;
    ok = SeedFile(folder + L"sessionCheckpoints.json", "{\"profile-after-change\":true}") && ok;
    ok = SeedFile(cacheFolder + L"cache2\\index", std::string(128, 'i')) && ok;
    ok = SeedFile(cacheFolder + L"cache2\\entries\\0A1B2C3D4E5F60718293A4B5C6D7E8F901234567",
                  std::string(6000, 'e')) &&
         ok;
    ok = SeedFile(cacheFolder + L"cache2\\entries\\1A1B2C3D4E5F60718293A4B5C6D7E8F901234567",
                  std::string(3000, 'e')) &&
         ok;
    return ok;
}

bool WriteFirefox54Places(const std::wstring& path) {
    const std::string t = Number(kFirefoxTime);
    return WriteDatabase(
        path,
        "PRAGMA journal_mode=WAL; PRAGMA user_version=36;"
        "CREATE TABLE moz_places ( id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
        "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
        "typed INTEGER DEFAULT 0 NOT NULL, favicon_id INTEGER, frecency INTEGER DEFAULT -1 NOT "
        "NULL, last_visit_date INTEGER , guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, "
        "url_hash INTEGER DEFAULT 0 NOT NULL );"
        "CREATE TABLE moz_historyvisits (  id INTEGER PRIMARY KEY, from_visit INTEGER, place_id "
        "INTEGER, visit_date INTEGER, visit_type INTEGER, session INTEGER);"
        "CREATE TABLE moz_inputhistory (  place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, "
        "use_count INTEGER, PRIMARY KEY (place_id, input));"
        "CREATE TABLE moz_hosts (  id INTEGER PRIMARY KEY, host TEXT NOT NULL UNIQUE, frecency "
        "INTEGER, typed INTEGER NOT NULL DEFAULT 0, prefix TEXT);"
        "CREATE TABLE moz_bookmarks (  id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
        "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, "
        "folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT);"
        "CREATE TABLE moz_keywords (  id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, "
        "place_id INTEGER, post_data TEXT);"
        "CREATE TABLE moz_favicons (  id INTEGER PRIMARY KEY, url LONGVARCHAR UNIQUE, data BLOB, "
        "mime_type VARCHAR(32), expiration LONG);"
        "CREATE TABLE moz_anno_attributes (  id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT "
        "NULL);"
        "CREATE TABLE moz_annos (  id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
        "anno_attribute_id INTEGER, mime_type VARCHAR(32) DEFAULT NULL, content LONGVARCHAR, "
        "flags INTEGER DEFAULT 0, expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0, "
        "dateAdded INTEGER DEFAULT 0, lastModified INTEGER DEFAULT 0);"
        "CREATE UNIQUE INDEX moz_places_url_uniqueindex ON moz_places (url);"
        "INSERT INTO moz_favicons VALUES(1,'https://old-history.test/firefox54-icon-trace.ico',"
        "X'89504E47','image/png',0),(2,'https://kept-old.test/favicon.ico',X'89504E47',"
        "'image/png',0);"
        "INSERT INTO moz_places(id,url,title,rev_host,visit_count,typed,favicon_id,frecency,"
        "last_visit_date,guid,foreign_count) VALUES"
        "(1,'https://www.old-history.test/firefox54-history-trace','Old','tset.yrotsih-dlo.www.',"
        "2,1,1,120," +
            t +
            ",'dddddddddd01',0),"
            "(2,'https://kept-old.test/','Kept','tset.dlo-tpek.',1,1,2,140," +
            t +
            ",'dddddddddd02',1);"
            "INSERT INTO moz_historyvisits VALUES(1,0,1," +
            t + ",1,0),(2,0,1," + t + "-60000000,1,0),(3,0,2," + t +
            ",2,0);"
            "INSERT INTO moz_hosts(id,host,frecency,typed,prefix) VALUES"
            "(1,'old-history.test',120,1,'https://www.'),(2,'kept-old.test',140,1,NULL);"
            "INSERT INTO moz_bookmarks(id,type,fk,parent,position,title,guid) VALUES"
            "(1,2,NULL,0,0,'','root________'),(2,2,NULL,1,0,'menu','menu________'),"
            "(3,1,2,2,0,'Kept','eeeeeeeeee01');"
            "INSERT INTO moz_inputhistory VALUES(1,'old',1.0);");
}

bool WriteProfilesIni(const std::wstring& firefoxRoot, const std::vector<FirefoxIniProfile>& list) {
    std::string ini = "[General]\r\nStartWithLastProfile=1\r\nVersion=2\r\n\r\n";
    for (size_t i = 0; i < list.size(); ++i) {
        ini += "[Profile" + std::to_string(i) + "]\r\nName=" + ToUtf8(list[i].name) +
               "\r\nIsRelative=" + (list[i].relative ? "1" : "0") +
               "\r\nPath=" + ToUtf8(list[i].path) + "\r\n" + (i == 0 ? "Default=1\r\n" : "") +
               "\r\n";
    }
    ini += "[Install308046B0AF4A39CB]\r\nDefault=" +
           (list.empty() ? std::string() : ToUtf8(list[0].path)) + "\r\nLocked=1\r\n";
    return SeedFile(firefoxRoot + L"profiles.ini", ini);
}

bool WriteLargePlaces(const std::wstring& path, int places, int visits, int bookmarked) {
    const std::string t = Number(kFirefoxTime);
    std::string sql = std::string(kPlacesSchema) + kBookmarkRoots + "BEGIN;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(places) +
           ") INSERT INTO moz_origins(id,prefix,host,frecency) SELECT i,'https://','site'||(i%"
           "997)||'.bench',1 FROM n WHERE i<=997;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(places) +
           ") INSERT INTO moz_places(id,url,title,rev_host,visit_count,frecency,last_visit_date,"
           "guid,foreign_count,origin_id,url_hash) SELECT i,'https://site'||(i%997)||'.bench/"
           "page/'||i||'?q=benchmark-history-trace','Page '||i,'hcneb.etis.',4,100," +
           t + "-i*1000,printf('g%011d',i),i<=" + std::to_string(bookmarked) +
           ",(i%997)+1,i*7919 "
           "FROM n;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(visits) +
           ") INSERT INTO moz_historyvisits(id,from_visit,place_id,visit_date,visit_type) "
           "SELECT i,0,((i-1)%" +
           std::to_string(places) + ")+1," + t + "-i*100,1 FROM n;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(bookmarked) +
           ") INSERT INTO moz_bookmarks(id,type,fk,parent,position,title,guid) SELECT i+100,1,i,"
           "3,i,'Bookmark '||i,printf('b%011d',i) FROM n;";
    sql += "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
           std::to_string(places / 10) +
           ") INSERT INTO moz_inputhistory SELECT i*10,'in'||i,1.0 FROM n;";
    sql += "COMMIT;";
    return WriteDatabase(path, sql);
}

}  // namespace veltrane
