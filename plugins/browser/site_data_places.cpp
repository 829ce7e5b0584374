#include "plugins/browser/site_data_places.h"

#include <windows.h>

#include <algorithm>
#include <map>

#include "plugins/browser/byte_file.h"
#include "plugins/browser/byte_reader.h"
#include "plugins/browser/leveldb_read.h"
#include "plugins/browser/sqlite_clean.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/path_route.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

const LevelDbEntries kNoEntries;

// Chromium's Session Storage names each browsing session by an id of this length.
constexpr size_t kSessionIdLength = 36;

// A storage folder a scan may read: there, and reached through no link (a
// link is noted, so that the profile's report says why it stays).
bool Reachable(SiteData& found, const std::wstring& folder) {
    const RouteCheck check = CheckPathRoute(folder);
    if (check.route == PathRoute::kThroughLink) found.links.push_back({folder, check.finalPath});
    return check.route == PathRoute::kDirect;
}

// The entries of `folder` but "." and "..".
std::vector<FolderEntry> Entries(const std::wstring& folder) {
    std::vector<FolderEntry> entries = ListFolderEntries(folder);
    std::erase_if(entries, [](const FolderEntry& entry) {
        return entry.name == L"." || entry.name == L"..";
    });
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

bool IsFolder(const FolderEntry& entry) { return entry.attributes & FILE_ATTRIBUTE_DIRECTORY; }

// An origin's own folder: listed when it is a site's, noted when it is a link.
void AddOriginFolder(SiteData& found, const std::optional<StorageOrigin>& origin,
                     const std::wstring& place, const std::wstring& path,
                     const FolderEntry& entry) {
    if (!origin || origin->kind != OriginKind::kSite) return;
    if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        found.links.push_back({path, L""});
        return;
    }
    SitePiece piece;
    piece.origin = *origin;
    piece.place = place;
    piece.folder = path + L"\\";
    found.pieces.push_back(std::move(piece));
}

int AddStore(SiteData& found, std::wstring place, std::vector<std::wstring> folders) {
    SharedStore store;
    store.place = std::move(place);
    store.folders = std::move(folders);
    found.stores.push_back(std::move(store));
    return static_cast<int>(found.stores.size()) - 1;
}

// The shares of the origins in the stores, found again by store and origin.
class Members {
public:
    explicit Members(SiteData& found) : found_(found) {}

    // `origin`'s share of `store` (-1 for none): what an extension keeps
    // there stays, and so keeps the store whole.
    int Of(int store, const StorageOrigin& origin) {
        SharedStore& shared = found_.stores[store];
        const std::wstring text = origin.Text();
        if (origin.kind == OriginKind::kExtension) {
            if (std::find(shared.staying.begin(), shared.staying.end(), text) ==
                shared.staying.end())
                shared.staying.push_back(text);
            return -1;
        }
        auto [it, inserted] = index_.try_emplace({store, text}, found_.pieces.size());
        if (inserted) {
            SitePiece piece;
            piece.origin = origin;
            piece.place = shared.place;
            piece.store = store;
            found_.pieces.push_back(std::move(piece));
        }
        return static_cast<int>(it->second);
    }
    void Count(int piece, std::string_view key, uint64_t valueSize) {
        if (piece < 0) return;
        ++found_.pieces[piece].entries;
        found_.pieces[piece].bytes += key.size() + valueSize;
    }

private:
    SiteData& found_;
    std::map<std::pair<int, std::wstring>, size_t> index_;
};

// Reads the LevelDB of a store; a store that cannot be read keeps the reason.
// Nothing when there is no LevelDB at all.
std::optional<LevelDbEntries> StoreKeys(SharedStore& store, const std::wstring& folder) {
    LevelDbRead read = ReadLevelDb(folder);
    if (read.state == LevelDbState::kUnreadable) store.unreadable = read.reason;
    if (read.state != LevelDbState::kRead) return std::nullopt;
    return std::move(read.entries);
}

void NoteUnknownKey(SharedStore& store, std::string_view key) {
    if (store.unreadable.empty())
        store.unreadable =
            L"an entry names no site Veltrane can read (" + FromUtf8(key.substr(0, 64)) + L")";
}

// Local Storage: "_<origin>\0<key>" per entry, "META:<origin>" and
// "METAACCESS:<origin>" per origin, "VERSION".
void FindLocalStorage(SiteData& found, Members& members, const std::wstring& profile) {
    const std::wstring folder = profile + L"Local Storage\\";
    if (!Reachable(found, folder)) return;
    for (const FolderEntry& entry : Entries(folder)) {
        // Versions before 61: a database per origin.
        const std::wstring name = entry.name;
        if (IsFolder(entry) || !EndsWith(name, L".localstorage")) continue;
        std::optional<StorageOrigin> origin =
            OriginFromIdentifier(std::wstring_view(name).substr(0, name.size() - 13));
        if (!origin || origin->kind != OriginKind::kSite) continue;
        SitePiece piece;
        piece.origin = *origin;
        piece.place = L"Local Storage";
        piece.files = {folder + name, folder + name + L"-journal"};
        found.pieces.push_back(std::move(piece));
    }
    const std::wstring leveldb = folder + L"leveldb\\";
    if (!Reachable(found, leveldb)) return;
    const int store = AddStore(found, L"Local Storage", {leveldb});
    std::optional<LevelDbEntries> keys = StoreKeys(found.stores[store], leveldb);
    if (!keys) {
        if (found.stores[store].unreadable.empty()) found.stores.pop_back();
        return;
    }
    for (const auto& [key, value] : *keys) {
        std::string_view text = key;
        const bool data = text.starts_with('_');
        if (data)
            text.remove_prefix(1);
        else if (text.starts_with("META:"))
            text.remove_prefix(5);
        else if (text.starts_with("METAACCESS:"))
            text.remove_prefix(11);
        else
            continue;  // VERSION
        std::optional<StorageOrigin> origin = OriginFromUrl(text);
        if (!origin) {
            NoteUnknownKey(found.stores[store], key);
            continue;
        }
        const int piece = members.Of(store, *origin);
        if (data) members.Count(piece, key, value.size);
    }
}

// Session Storage: "namespace-<session>-<origin>" holds the number of the
// origin's map, whose entries are "map-<number>-<key>".
void FindSessionStorage(SiteData& found, Members& members, const std::wstring& profile) {
    const std::wstring folder = profile + L"Session Storage\\";
    if (!Reachable(found, folder)) return;
    const int store = AddStore(found, L"Session Storage", {folder});
    std::optional<LevelDbEntries> keys = StoreKeys(found.stores[store], folder);
    if (!keys) {
        if (found.stores[store].unreadable.empty()) found.stores.pop_back();
        return;
    }
    std::map<std::string, int> maps;
    for (const auto& [key, value] : *keys) {
        if (!key.starts_with("namespace-")) continue;
        const size_t originStart = 10 + kSessionIdLength + 1;
        std::optional<StorageOrigin> origin =
            key.size() > originStart && key[originStart - 1] == '-'
                ? OriginFromUrl(std::string_view(key).substr(originStart))
                : std::nullopt;
        if (!origin) {
            NoteUnknownKey(found.stores[store], key);
            continue;
        }
        const int piece = members.Of(store, *origin);
        members.Count(piece, key, value.size);
        maps["map-" + value.text + "-"] = piece;
    }
    for (const auto& [key, value] : *keys) {
        if (!key.starts_with("map-")) continue;
        auto owner = maps.upper_bound(key);
        if (owner == maps.begin()) continue;
        --owner;
        if (key.starts_with(owner->first)) members.Count(owner->second, key, value.size);
    }
}

// The origin a Cache Storage folder's index names (a protocol buffer whose
// second and third fields are the origin and its storage key).
std::optional<StorageOrigin> CacheIndexOrigin(const std::wstring& folder) {
    std::string bytes;
    if (ReadByteFile(folder + L"index.txt", bytes) != ERROR_SUCCESS) return std::nullopt;
    ByteReader reader(bytes);
    while (reader.Ok() && !reader.AtEnd()) {
        const uint64_t tag = reader.Varint();
        switch (tag & 7) {
            case 0:
                reader.Varint();
                break;
            case 1:
                reader.Fixed(8);
                break;
            case 5:
                reader.Fixed(4);
                break;
            case 2: {
                const std::string_view field = reader.Bytes(reader.Varint());
                if (reader.Ok() && (tag >> 3 == 2 || tag >> 3 == 3))
                    if (std::optional<StorageOrigin> origin = OriginFromUrl(field)) return origin;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

// Service workers: their registrations ("REG:<origin>\0<id>",
// "INITDATA_UNIQUE_ORIGIN:<origin>") and their scripts form one store; the
// Cache Storage of each origin lies in a folder of its own.
void FindServiceWorkers(SiteData& found, Members& members, const std::wstring& profile) {
    const std::wstring folder = profile + L"Service Worker\\";
    if (!Reachable(found, folder)) return;
    std::vector<std::wstring> parts;
    for (const wchar_t* name : {L"Database\\", L"ScriptCache\\"})
        if (Reachable(found, folder + name)) parts.push_back(folder + name);
    if (!parts.empty()) {
        const int store = AddStore(found, L"Service workers", parts);
        SharedStore& shared = found.stores[store];
        std::optional<LevelDbEntries> keys = StoreKeys(shared, folder + L"Database\\");
        if (!keys && shared.unreadable.empty())
            shared.unreadable =
                L"the scripts are there without the registrations that name "
                L"their sites";
        for (const auto& [key, value] : keys ? *keys : kNoEntries) {
            std::string_view text = key;
            const bool registration = text.starts_with("REG:");
            if (registration)
                text.remove_prefix(4);
            else if (text.starts_with("INITDATA_UNIQUE_ORIGIN:"))
                text.remove_prefix(23);
            else
                continue;
            std::optional<StorageOrigin> origin = OriginFromUrl(text);
            if (!origin) {
                NoteUnknownKey(found.stores[store], key);
                continue;
            }
            const int piece = members.Of(store, *origin);
            if (registration) members.Count(piece, key, value.size);
        }
    }
    const std::wstring caches = folder + L"CacheStorage\\";
    if (!Reachable(found, caches)) return;
    for (const FolderEntry& entry : Entries(caches)) {
        if (!IsFolder(entry)) continue;
        const std::wstring path = caches + entry.name;
        std::optional<StorageOrigin> origin = entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT
                                                  ? StorageOrigin{}
                                                  : CacheIndexOrigin(path + L"\\");
        if (origin) {
            AddOriginFolder(found, origin, L"Cache Storage", path, entry);
        } else {
            const int store = AddStore(found, L"Cache Storage", {path + L"\\"});
            found.stores[store].unreadable = L"its index names no site";
        }
    }
}

// The File System: "ORIGIN:<identifier>" names each origin's folder.
void FindFileSystem(SiteData& found, Members& members, const std::wstring& profile) {
    const std::wstring folder = profile + L"File System\\";
    if (!Reachable(found, folder)) return;
    const int store = AddStore(found, L"File System", {folder});
    std::optional<LevelDbEntries> keys = StoreKeys(found.stores[store], folder + L"Origins\\");
    if (!keys && found.stores[store].unreadable.empty())
        found.stores[store].unreadable = L"it has no list of its sites";
    for (const auto& [key, value] : keys ? *keys : kNoEntries) {
        if (!key.starts_with("ORIGIN:")) continue;
        std::optional<StorageOrigin> origin = OriginFromIdentifier(FromUtf8(key.substr(7)));
        if (!origin) {
            NoteUnknownKey(found.stores[store], key);
            continue;
        }
        members.Count(members.Of(store, *origin), key, value.size);
    }
}

void FindIndexedDb(SiteData& found, const std::wstring& profile) {
    const std::wstring folder = profile + L"IndexedDB\\";
    if (!Reachable(found, folder)) return;
    for (const FolderEntry& entry : Entries(folder)) {
        if (!IsFolder(entry)) continue;
        for (const auto& [suffix, place] : {std::pair{L".indexeddb.leveldb", L"IndexedDB"},
                                            std::pair{L".indexeddb.blob", L"IndexedDB files"}}) {
            const std::wstring_view name = entry.name;
            if (!EndsWith(name, suffix)) continue;
            AddOriginFolder(found,
                            OriginFromIdentifier(name.substr(0, name.size() - wcslen(suffix))),
                            place, folder + entry.name, entry);
        }
    }
}

// Firefox's Local Storage before version 67 and its archive: rows keyed by
// the reversed host, scheme and port ("moc.elpmaxe.:https:443").
std::optional<StorageOrigin> OriginFromOriginKey(std::string_view key) {
    const size_t first = key.find(':');
    const size_t second = key.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return std::nullopt;
    std::string host(key.substr(0, first));
    std::reverse(host.begin(), host.end());
    if (host.starts_with('.')) host.erase(0, 1);
    return OriginFromUrl(std::string(key.substr(first + 1, second - first - 1)) + "://" + host +
                         ":" + std::string(key.substr(second + 1)));
}

void FindWebAppsStore(SiteData& found, Members& members, const std::wstring& path,
                      const wchar_t* place) {
    if (!IsExistingFile(path)) return;
    const int store = AddStore(found, place, {});
    found.stores[store].database = path;
    found.stores[store].table = "webappsstore2";
    found.stores[store].keyColumn = "originKey";
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, path);
    if (status.Ok() && db.HasTable("webappsstore2"))
        status = ForEachRow(db,
                            "SELECT originKey, count(*), sum(length(key) + length(value)) "
                            "FROM webappsstore2 GROUP BY originKey",
                            [&](const SqliteStatement& row) {
                                const std::string key = row.Utf8(0);
                                std::optional<StorageOrigin> origin = OriginFromOriginKey(key);
                                if (!origin) return NoteUnknownKey(found.stores[store], key);
                                const int piece = members.Of(store, *origin);
                                if (piece < 0) return;
                                SitePiece& share = found.pieces[piece];
                                share.storeKey = key;
                                share.entries += static_cast<int>(row.Int(1));
                                share.bytes += static_cast<uint64_t>(row.Int(2));
                            });
    if (!status.Ok()) found.stores[store].unreadable = status.message;
}

}  // namespace

SiteData FindChromiumSiteData(const BrowserProfile& profile) {
    SiteData found;
    Members members(found);
    FindIndexedDb(found, profile.folder);
    FindLocalStorage(found, members, profile.folder);
    FindSessionStorage(found, members, profile.folder);
    FindServiceWorkers(found, members, profile.folder);
    FindFileSystem(found, members, profile.folder);
    return found;
}

SiteData FindFirefoxSiteData(const BrowserProfile& profile) {
    SiteData found;
    Members members(found);
    const std::wstring storage = profile.folder + L"storage\\";
    if (Reachable(found, storage)) {
        // storage\permanent holds the browser's and the extensions' own.
        for (const auto& [repository, place] : {std::pair{L"default", L"Site storage"},
                                                std::pair{L"temporary", L"Temporary storage"}}) {
            const std::wstring folder = storage + repository + L"\\";
            if (!Reachable(found, folder)) continue;
            for (const FolderEntry& entry : Entries(folder))
                if (IsFolder(entry))
                    AddOriginFolder(found, OriginFromFirefoxFolder(entry.name), place,
                                    folder + entry.name, entry);
        }
        FindWebAppsStore(found, members, storage + L"ls-archive.sqlite", L"Local Storage archive");
    }
    FindWebAppsStore(found, members, profile.folder + L"webappsstore.sqlite",
                     L"Local Storage (old)");
    return found;
}

}  // namespace veltrane
