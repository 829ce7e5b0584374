#pragma once
// Where a profile keeps the data sites stored in it, and whose it is.
// Chromium: IndexedDB (a folder per origin), Local Storage and Session
// Storage (LevelDB stores shared by all origins; the origins read from their
// keys), the service workers' registrations and script cache (shared, the
// origins from the registrations' LevelDB), Cache Storage (a folder per
// origin, the origin named in its index), the File System (shared, the
// origins from its own LevelDB) and the Local Storage of old versions (a
// database per origin). Firefox: a folder per origin below storage\default
// and storage\temporary, the Local Storage of versions before 67
// (webappsstore.sqlite) and its archive, and the quota manager's list of
// origins. Extension storage is not site data: it is never listed here.
#include <cstdint>
#include <string>
#include <vector>

#include "plugins/browser/browser_profiles.h"
#include "plugins/browser/storage_origin.h"

namespace veltrane {

// One origin's data in one place.
struct SitePiece {
    StorageOrigin origin;
    std::wstring place;               // "IndexedDB", "Local Storage", ...
    std::wstring folder;              // a folder of this origin alone: removed whole
    std::vector<std::wstring> files;  // or files of this origin alone
    int store = -1;                   // or its share of SiteData::stores[store]
    std::string storeKey;             // its key in a database store, as stored
    int entries = 0;                  // the entries of its share
    uint64_t bytes = 0;
};

// A store that holds the data of several origins.
struct SharedStore {
    std::wstring place;
    // Either folders that can only go whole (LevelDB) ...
    std::vector<std::wstring> folders;
    // ... or a database whose rows go by origin: `table`'s `keyColumn`.
    std::wstring database;
    std::string table;
    std::string keyColumn;
    // Why the store's origins could not all be read (empty: they were).
    std::wstring unreadable;
    // Extensions (and what else is no site) whose data it holds, which stays.
    std::vector<std::wstring> staying;
};

struct SiteData {
    std::vector<SitePiece> pieces;
    std::vector<SharedStore> stores;
    // Storage folders reached through a link: listed, left alone.
    std::vector<ProfileLink> links;
};

SiteData FindChromiumSiteData(const BrowserProfile& profile);
SiteData FindFirefoxSiteData(const BrowserProfile& profile);

// Firefox's quota manager keeps a list of the origins with storage in
// storage.sqlite, table `origin`; a clean drops the rows of the origins it
// removed and has the list counted anew at the next start.
inline constexpr wchar_t kFirefoxQuotaDatabase[] = L"storage.sqlite";

}  // namespace veltrane
