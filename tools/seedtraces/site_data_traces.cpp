#include "seedtraces/site_data_traces.h"

#include "plugins/browser/leveldb_read.h"
#include "seedtraces/modern_browsers.h"
#include "seedtraces/seed_util.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr size_t kLogBlockSize = 32768;
constexpr size_t kLogHeaderSize = 7;

void PutFixed(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutVarint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

void PutPrefixed(std::string& out, std::string_view bytes) {
    PutVarint(out, bytes.size());
    out.append(bytes);
}

// One record of a log file, cut into fragments at the blocks' ends.
void AppendLogRecord(std::string& log, std::string_view record) {
    bool first = true;
    do {
        size_t room = kLogBlockSize - log.size() % kLogBlockSize;
        if (room < kLogHeaderSize) {
            log.append(room, '\0');
            room = kLogBlockSize;
        }
        const size_t length = std::min(record.size(), room - kLogHeaderSize);
        const bool last = length == record.size();
        const char type = first && last ? 1 : first ? 2 : last ? 4 : 3;
        std::string typed(1, type);
        typed.append(record.substr(0, length));
        PutFixed(log, LevelDbMaskedCrc(typed), 4);
        PutFixed(log, length, 2);
        log.append(typed);
        record.remove_prefix(length);
        first = false;
    } while (!record.empty());
}

// The name a Cache Storage folder or a registration id is given: 40 hex digits.
std::string Hex40(char digit) { return std::string(40, digit); }

// Cache Storage's index.txt: one cache (name, size), the origin, the storage key.
std::string CacheStorageIndex(const std::string& origin) {
    std::string cache;
    PutVarint(cache, (1 << 3) | 2);
    PutPrefixed(cache, "v1-static");
    PutVarint(cache, (2 << 3) | 0);
    PutVarint(cache, 4096);
    std::string index;
    PutVarint(index, (1 << 3) | 2);
    PutPrefixed(index, cache);
    PutVarint(index, (2 << 3) | 2);
    PutPrefixed(index, origin);
    PutVarint(index, (3 << 3) | 2);
    PutPrefixed(index, origin);
    return index;
}

const std::string kSite = std::string("https://") + seeded::kSiteDataHost;
const std::string kOther = std::string("https://") + seeded::kOtherSiteHost;
const std::wstring kSiteIdentifier = L"https_" + FromUtf8(seeded::kSiteDataHost) + L"_0";
const std::wstring kKeptIdentifier = L"https_" + FromUtf8(seeded::kKeptSiteHost) + L"_0";

bool SeedIndexedDb(const std::wstring& folder, const std::wstring& identifier) {
    const std::wstring leveldb = folder + L"IndexedDB\\" + identifier + L".indexeddb.leveldb";
    NoteTraceFile(leveldb);
    return WriteLevelDb(leveldb + L"\\", {{std::string("\0\0\0\0\x32", 5), "1"},
                                          {"object-store-entry", seeded::kSiteDataMarker}});
}

bool SeedChromiumServiceWorkers(const std::wstring& folder) {
    const std::wstring workers = folder + L"Service Worker\\";
    NoteTraceFolderContent(workers + L"Database");
    NoteTraceFolderContent(workers + L"ScriptCache");
    NoteTraceFile(workers + L"CacheStorage\\" + FromUtf8(Hex40('a')));
    bool ok = WriteLevelDb(
        workers + L"Database\\",
        {{"INITDATA_DB_VERSION", "2"},
         {"INITDATA_NEXT_REGISTRATION_ID", "1"},
         {"INITDATA_UNIQUE_ORIGIN:" + kSite + "/", ""},
         {"REG:" + kSite + "/" + std::string(1, '\0') + "0", "\x08\x00\x12\x18" + kSite + "/sw.js"},
         {"REGID_TO_ORIGIN:0", kSite + "/"}});
    ok = SeedFile(workers + L"ScriptCache\\index", std::string(64, '\0')) && ok;
    ok = SeedFile(workers + L"ScriptCache\\4d1b3c0e_0",
                  kSite + "/sw.js " + seeded::kSiteDataMarker) &&
         ok;
    const std::wstring cache = workers + L"CacheStorage\\" + FromUtf8(Hex40('a')) + L"\\";
    ok = SeedFile(cache + L"index.txt", CacheStorageIndex(kSite)) && ok;
    ok = SeedFile(cache + L"4e5f6a7b-0000-4000-8000-000000000001\\index", std::string(24, '\0')) &&
         ok;
    ok = SeedFile(cache + L"4e5f6a7b-0000-4000-8000-000000000001\\a1b2c3d4_0",
                  kSite + "/app.js " + seeded::kSiteDataMarker) &&
         ok;
    return ok;
}

}  // namespace

bool WriteLevelDb(const std::wstring& folder, const LevelDbPairs& entries) {
    std::string batch;
    PutFixed(batch, 1, 8);  // the first sequence number
    PutFixed(batch, entries.size(), 4);
    for (const auto& [key, value] : entries) {
        batch.push_back(1);  // a put
        PutPrefixed(batch, key);
        PutPrefixed(batch, value);
    }
    std::string log;
    AppendLogRecord(log, batch);
    std::string edit;
    PutVarint(edit, 1);
    PutPrefixed(edit, "leveldb.BytewiseComparator");
    PutVarint(edit, 2);  // the log in use
    PutVarint(edit, 3);
    PutVarint(edit, 3);  // the next file number
    PutVarint(edit, 4);
    PutVarint(edit, 4);  // the last sequence number
    PutVarint(edit, entries.size());
    std::string manifest;
    AppendLogRecord(manifest, edit);
    return SeedFile(folder + L"CURRENT", "MANIFEST-000001\n") &&
           SeedFile(folder + L"MANIFEST-000001", manifest) && SeedFile(folder + L"LOCK", "") &&
           SeedFile(folder + L"LOG", "2026/12/01-10:00:00.000 1 Creating DB\n") &&
           SeedFile(folder + L"000003.log", log);
}

bool WriteChromiumSiteData(const std::wstring& folder) {
    NoteTraceFolderContent(folder + L"Local Storage\\leveldb");
    NoteTraceFolderContent(folder + L"Session Storage");
    NoteTraceFolderContent(folder + L"File System");
    bool ok = SeedIndexedDb(folder, kSiteIdentifier);
    ok = SeedIndexedDb(folder, kKeptIdentifier) && ok;
    const std::wstring blob = folder + L"IndexedDB\\" + kSiteIdentifier + L".indexeddb.blob";
    NoteTraceFile(blob);
    ok = SeedFile(blob + L"\\1\\00\\1", seeded::kSiteDataMarker) && ok;
    const std::string marker = std::string(1, '\x01') + seeded::kSiteDataMarker;
    ok = WriteLevelDb(folder + L"Local Storage\\leveldb\\",
                      {{"VERSION", "1"},
                       {"META:" + kSite, "\x08\x80\x80\x80\x80\x80\x80\x80\x01\x10\x20"},
                       {"_" + kSite + std::string(1, '\0') + "token", marker},
                       {"META:" + kOther, "\x08\x80\x80\x80\x80\x80\x80\x80\x01\x10\x10"},
                       {"_" + kOther + std::string(1, '\0') + "theme", marker}}) &&
         ok;
    ok = WriteLevelDb(folder + L"Session Storage\\",
                      {{"version", "1"},
                       {"next-map-id", "2"},
                       {"namespace-4a8d40e7_9f1c_4a1c_8a4c_0e1d6f0b9c2a-" + kSite + "/", "1"},
                       {"map-1-draft", marker}}) &&
         ok;
    ok = SeedChromiumServiceWorkers(folder) && ok;
    ok = WriteLevelDb(folder + L"File System\\Origins\\",
                      {{"ORIGIN:" + ToUtf8(kSiteIdentifier), "000"}, {"LAST_PATH", "000"}}) &&
         ok;
    ok = SeedFile(folder + L"File System\\000\\t\\00\\00000000", seeded::kSiteDataMarker) && ok;
    // An extension's storage is no site's: it stays.
    const std::wstring extension = FromUtf8(seeded::kExtensionId);
    ok = WriteLevelDb(
             folder + L"IndexedDB\\chrome-extension_" + extension + L"_0.indexeddb.leveldb\\",
             {{"extension-entry", "extension data"}}) &&
         ok;
    ok = WriteLevelDb(folder + L"Local Extension Settings\\" + extension + L"\\",
                      {{"settings", "extension settings"}}) &&
         ok;
    return ok;
}

bool WriteFirefoxSiteData(const std::wstring& folder) {
    const std::wstring storage = folder + L"storage\\";
    const std::wstring site = storage + L"default\\https+++" + FromUtf8(seeded::kSiteDataHost);
    const std::wstring kept = storage + L"default\\https+++" + FromUtf8(seeded::kKeptSiteHost);
    const std::wstring other =
        storage + L"default\\https+++" + FromUtf8(seeded::kOtherSiteHost) + L"+++8443";
    for (const std::wstring& origin : {site, kept, other}) NoteTraceFile(origin);
    for (const wchar_t* database : {L"storage.sqlite", L"webappsstore.sqlite"})
        for (const wchar_t* suffix : {L"", L"-journal", L"-wal", L"-shm"})
            NoteTraceFile(folder + database + suffix);
    bool ok = true;
    for (const std::wstring& origin : {site, kept, other}) {
        ok = SeedFile(origin + L"\\.metadata-v2", std::string(32, '\0')) && ok;
        ok = WriteDatabase(origin + L"\\ls\\data.sqlite",
                           "CREATE TABLE data (key TEXT PRIMARY KEY, utf16_length INTEGER NOT "
                           "NULL, conversion_type INTEGER NOT NULL, compression_type INTEGER NOT "
                           "NULL, last_access_time INTEGER NOT NULL DEFAULT 0, value BLOB NOT "
                           "NULL);INSERT INTO data VALUES('token',15,1,0,0,'" +
                               std::string(seeded::kSiteDataMarker) + "');") &&
             ok;
        ok = SeedFile(origin + L"\\ls\\usage", std::string(12, '\0')) && ok;
    }
    ok = SeedFile(site + L"\\idb\\3870112724rsegmnoittet-es.sqlite", seeded::kSiteDataMarker) && ok;
    // The browser's own storage and an extension's: they stay.
    ok = SeedFile(storage + L"permanent\\chrome\\idb\\1451318868ntouromlalnodry--epcr.sqlite",
                  "browser storage") &&
         ok;
    ok = SeedFile(storage +
                      L"default\\moz-extension+++0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d"
                      L"^userContextId=4294967295\\idb\\3647222921wleabcEoxlt-eengsairo.sqlite",
                  "extension storage") &&
         ok;
    const std::string origin = "INSERT INTO origin VALUES(0,'','";
    const std::string rest = "','{}',1024,1796119200000000,1,0);";
    ok = WriteDatabase(folder + L"storage.sqlite",
                       "CREATE TABLE database (cache_version INTEGER NOT NULL DEFAULT 0);"
                       "INSERT INTO database VALUES(2);"
                       "CREATE TABLE cache (valid INTEGER NOT NULL DEFAULT 0, build_id TEXT NOT "
                       "NULL DEFAULT '');INSERT INTO cache VALUES(1,'20261201100000');"
                       "CREATE TABLE repository (id INTEGER PRIMARY KEY, name TEXT NOT NULL);"
                       "INSERT INTO repository VALUES(0,'persistent'),(1,'temporary'),"
                       "(2,'default');"
                       "CREATE TABLE origin (repository_id INTEGER NOT NULL, suffix TEXT, group_ "
                       "TEXT NOT NULL, origin TEXT NOT NULL, client_usages TEXT NOT NULL, usage "
                       "INTEGER NOT NULL, last_access_time INTEGER NOT NULL, accessed INTEGER NOT "
                       "NULL, persisted INTEGER NOT NULL, PRIMARY KEY (repository_id, origin), "
                       "FOREIGN KEY (repository_id) REFERENCES repository(id));" +
                           origin + "site-data.test','https://site-data.test" + rest + origin +
                           "kept-site.test','https://kept-site.test" + rest + origin +
                           "other-site.test','https://other-site.test:8443" + rest) &&
         ok;
    // Local Storage of Firefox before 67, keyed by the reversed host.
    ok = WriteDatabase(folder + L"webappsstore.sqlite",
                       "CREATE TABLE webappsstore2 (originAttributes TEXT, originKey TEXT, scope "
                       "TEXT, key TEXT, value TEXT);"
                       "CREATE UNIQUE INDEX origin_key_index ON webappsstore2(originAttributes, "
                       "originKey, key);"
                       "INSERT INTO webappsstore2 VALUES('','tset.atad-etis.:https:443','','a','" +
                           std::string(seeded::kSiteDataMarker) +
                           "'),('','tset.etis-tpek.:https:443','','b','kept value');") &&
         ok;
    return ok;
}

}  // namespace veltrane
