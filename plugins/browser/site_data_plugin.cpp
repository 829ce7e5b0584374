#include "plugins/browser/site_data_plugin.h"

#include <algorithm>
#include <set>

#include "engine/kernel.h"
#include "plugins/browser/sqlite_clean.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_info.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// "IndexedDB", or "IndexedDB (http://example.com:8080)" for an origin that
// is not the site's usual https one.
std::wstring PlaceText(const SitePiece& piece) {
    const std::wstring origin = piece.origin.Text();
    if (piece.origin.IsKeepable() && origin == L"https://" + piece.origin.host) return piece.place;
    return piece.place + L" (" + origin + L")";
}

// "a.test, b.test and 2 extensions"
std::wstring Staying(const std::vector<std::wstring>& sites, size_t extensions) {
    std::wstring text;
    for (size_t i = 0; i < sites.size(); ++i)
        text += (i == 0                                     ? L""
                 : i + 1 == sites.size() && extensions == 0 ? L" and "
                                                            : L", ") +
                sites[i];
    if (extensions > 0)
        text += (text.empty() ? L"" : L" and ") + std::to_wstring(extensions) +
                (extensions == 1 ? L" extension" : L" extensions");
    return text;
}

std::wstring WithoutSlash(const std::wstring& folder) {
    return !folder.empty() && folder.back() == L'\\' ? folder.substr(0, folder.size() - 1) : folder;
}

}  // namespace

CPlugin::Result CSiteDataPlugin::Scan() {
    shares_.clear();
    places_.clear();
    stores_.clear();
    links_.clear();
    nextGroup_.clear();
    return CProfileStorePlugin::Scan();
}

void CSiteDataPlugin::ScanProfile(size_t index, const BrowserProfile& profile) {
    const SiteData found = FindSiteData(profile);
    nextGroup_[index] = 1;
    std::vector<const SitePiece*> order;
    for (const SitePiece& piece : found.pieces) order.push_back(&piece);
    // By site, then place: a site's rows stand together.
    std::sort(order.begin(), order.end(), [](const SitePiece* a, const SitePiece* b) {
        return std::tuple(a->origin.Site(), a->place, a->origin.Text()) <
               std::tuple(b->origin.Site(), b->place, b->origin.Text());
    });
    for (const SitePiece* piece : order) AddShareRow(index, *piece, found);
    for (size_t number = 0; number < found.stores.size(); ++number)
        AddStoreRows(index, profile, found, number);
    for (const ProfileLink& link : found.links) {
        const int group = NextGroup(index);
        ListOnly(Row(index, group,
                     L"Not cleaned: " + link.folder + L" is a link" +
                         (link.target.empty() ? std::wstring() : L" to " + link.target)));
        links_[index].emplace_back(group, link);
    }
}

void CSiteDataPlugin::AddShareRow(size_t index, const SitePiece& piece, const SiteData& found) {
    const int group = NextGroup(index);
    const std::wstring name = piece.origin.Site();
    // What the share lies in names its row for the check boxes: its own
    // folder or file, or its store and its origin there.
    std::wstring keyPlace = piece.folder;
    if (keyPlace.empty() && !piece.files.empty()) keyPlace = piece.files.front();
    if (keyPlace.empty() && piece.store >= 0) {
        const SharedStore& store = found.stores[static_cast<size_t>(piece.store)];
        keyPlace = (!store.database.empty()  ? store.database
                    : !store.folders.empty() ? store.folders.front()
                                             : store.place) +
                   L"|" + piece.origin.Text();
    }
    SetStorePlace(index, group, keyPlace);
    DomainInfo* row = !piece.folder.empty()  ? AddFolderRow(index, group, name, piece.folder)
                      : !piece.files.empty() ? AddFilesRow(index, group, name, piece.files)
                                             : nullptr;
    // A folder without files still names its site; a share of a store counts its entries.
    if (row == nullptr && piece.files.empty()) row = &Row(index, group, name);
    if (row == nullptr) return;
    row->itemCount += piece.entries;
    row->sizeSum += piece.bytes;
    row->itemCount = std::max(row->itemCount, 1);
    shares_[row] = RowShare{piece, index, group, row};
    std::wstring place = PlaceText(piece);
    if (piece.store >= 0) {
        const std::wstring& database = found.stores[static_cast<size_t>(piece.store)].database;
        if (!database.empty()) place += L", " + database.substr(database.rfind(L'\\') + 1);
    }
    SetPlace(*row, std::move(place));
}

void CSiteDataPlugin::AddStoreRows(size_t index, const BrowserProfile& profile,
                                   const SiteData& found, size_t number) {
    const SharedStore& store = found.stores[number];
    StoreRows rows{store, {}};
    const auto shares = std::count_if(
        found.pieces.begin(), found.pieces.end(),
        [&](const SitePiece& piece) { return piece.store == static_cast<int>(number); });
    if (!store.database.empty()) {
        // Cleaned row by row: only a database the scan could not read has a row of its own.
        if (!store.unreadable.empty()) {
            rows.groups.push_back(NextGroup(index));
            SetPlace(NoteUnreadable(index, rows.groups.back(), store.place,
                                    SqliteStatus{1, store.unreadable}),
                     store.database);
        }
    } else if (shares > 0 || !store.unreadable.empty()) {
        // A store that holds nothing but extensions' data is not listed: it stays.
        for (const std::wstring& folder : store.folders) {
            const int group = NextGroup(index);
            DomainInfo* row = AddFolderRow(
                index, group, WithoutSlash(folder.substr(profile.folder.size())), folder);
            if (row == nullptr) continue;
            rows.groups.push_back(group);
            SetPlace(*row, store.unreadable.empty()
                               ? L"the whole store, shared by " + std::to_wstring(shares) +
                                     (shares == 1 ? L" site" : L" sites")
                               : L"the whole store; its sites cannot be read: " + store.unreadable);
        }
    }
    stores_[index].push_back(std::move(rows));
}

void CSiteDataPlugin::CleanProfile(size_t index, const BrowserProfile& profile) {
    const CookieKeepList& keep = GetKernel().GetCookieKeepList();
    for (const auto& [group, link] : links_[index])
        FailRows(index, group,
                 ItemError(link.folder + L" was left as it is.",
                           L"It is reached through a link" +
                               (link.target.empty() ? std::wstring(L".")
                                                    : L" (to " + link.target + L").") +
                               L" Veltrane does not clean through links, so that nothing "
                               L"outside the browser's own folders is touched."));
    std::vector<StorageOrigin> removed;
    for (auto& [key, share] : shares_) {
        if (share.profile != index || share.piece.store >= 0) continue;
        if (IsCancelled()) return;
        DomainInfo& row = *share.row;
        if (share.piece.origin.IsKeepable() && keep.Keeps(share.piece.origin.host)) {
            row.result = DomainInfo::kKept;
            continue;
        }
        if (KeepIfChosen(row)) continue;
        DeleteFileRows(index, share.group);
        // The folder itself goes too: its name is the site's.
        if (row.result == DomainInfo::kDeleted && !share.piece.folder.empty()) {
            if (const PathDeletion removed = RemoveFolder(WithoutSlash(share.piece.folder));
                !removed.Removed()) {
                row.result = DomainInfo::kError;
                row.error = ItemError(ItemError::kFolder, share.piece.folder,
                                      ItemError::kSystemMessage, removed.error, false);
            }
        }
        if (row.result == DomainInfo::kDeleted) removed.push_back(share.piece.origin);
    }
    std::vector<StoreRows>& stores = stores_[index];
    for (size_t number = 0; number < stores.size() && !IsCancelled(); ++number)
        CleanStore(index, number, profile, keep, removed);
    AfterClean(index, profile, removed);
}

void CSiteDataPlugin::CleanStore(size_t index, size_t number, const BrowserProfile& profile,
                                 const CookieKeepList& keep, std::vector<StorageOrigin>& removed) {
    const StoreRows& rows = stores_[index][number];
    const SharedStore& store = rows.store;
    std::vector<RowShare*> going;
    std::vector<std::wstring> keptSites;
    for (auto& [key, share] : shares_) {
        if (share.profile != index || share.piece.store != static_cast<int>(number)) continue;
        if (share.piece.origin.IsKeepable() && keep.Keeps(share.piece.origin.host)) {
            share.row->result = DomainInfo::kKept;
            keptSites.push_back(share.piece.origin.host);
        } else if (KeepIfChosen(*share.row)) {
            keptSites.push_back(share.piece.origin.Site());
        } else {
            going.push_back(&share);
        }
    }
    if (!store.database.empty()) return CleanDatabaseStore(index, rows, going, removed);
    // A store of kept sites and extensions alone stays; one whose sites cannot be read goes on.
    if (going.empty() && store.unreadable.empty()) {
        for (int group : rows.groups)
            for (DomainInfo* row : RowsOf(index, group)) row->result = DomainInfo::kKept;
        return;
    }
    std::optional<std::wstring> refusal;
    if (!store.unreadable.empty() && !keep.IsEmpty())
        refusal = L"Veltrane cannot read which sites it holds (" + store.unreadable +
                  L"), and the list of cookies to keep is not empty: the store stays whole, so "
                  L"that no kept site loses its data.";
    else if (!keptSites.empty() || !store.staying.empty())
        refusal = L"It also holds the data of " + Staying(keptSites, store.staying.size()) +
                  L", which stays, and Veltrane can only remove this store whole. Clear the "
                  L"other sites' data in " +
                  profile.browser +
                  L"'s own settings, or take the kept sites off the list of cookies to keep.";
    if (refusal) {
        const ItemError error(store.place + L" of " + profile.browser + L", profile \"" +
                                  profile.name + L"\", was left as it was.",
                              *refusal);
        for (int group : rows.groups) FailRows(index, group, error);
        for (RowShare* share : going) {
            share->row->result = DomainInfo::kError;
            share->row->error = error;
        }
        return;
    }
    // The shares take the store's outcome: failed, or deferred, if any of its folders was.
    const DomainInfo* worst = nullptr;
    for (int group : rows.groups) {
        DeleteFileRows(index, group);
        for (const DomainInfo* row : RowsOf(index, group))
            if (worst == nullptr || row->result == DomainInfo::kError ||
                (row->result == DomainInfo::kRebootNeeded && worst->result != DomainInfo::kError))
                worst = row;
    }
    if (worst == nullptr || IsCancelled()) return;
    for (RowShare* share : going) {
        share->row->result = worst->result;
        share->row->error = worst->error;
        if (worst->result == DomainInfo::kDeleted) removed.push_back(share->piece.origin);
    }
}

void CSiteDataPlugin::CleanDatabaseStore(size_t index, const StoreRows& rows,
                                         const std::vector<RowShare*>& going,
                                         std::vector<StorageOrigin>& removed) {
    std::vector<int> groups = rows.groups;
    std::vector<std::string> keys;
    for (const RowShare* share : going) {
        groups.push_back(share->group);
        keys.push_back(share->piece.storeKey);
    }
    if (groups.empty()) return;
    const SharedStore& store = rows.store;
    // One transaction for all its sites; every row takes its outcome.
    const bool cleaned = CleanStores(index, groups, store.database, [&](SqliteDb& db) {
        SqliteStatus step = FillTempTextTable(db, "gone_origins", keys);
        if (step.Ok())
            step = ExecIfTable(db, store.table,
                               "DELETE FROM " + store.table + " WHERE " + store.keyColumn +
                                   " IN (SELECT value FROM temp.gone_origins)");
        if (step.Ok()) step = db.Exec("DROP TABLE temp.gone_origins");
        return step;
    });
    if (cleaned)
        for (const RowShare* share : going) removed.push_back(share->piece.origin);
}

void CSiteDataPlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    CProfileStorePlugin::FillRow(row, domain);
    auto place = places_.find(&domain);
    ReplaceAll(row, L"#place#",
               place == places_.end() ? std::wstring() : EscapeHtml(place->second));
}

bool CSiteDataPlugin::OffersKeepToggle(const DomainInfo& domain) const {
    auto share = shares_.find(&domain);
    return share != shares_.end() && share->second.piece.origin.IsKeepable();
}

// Firefox ---------------------------------------------------------------

void CPlgFirefoxSiteData::ScanProfile(size_t index, const BrowserProfile& profile) {
    quotaGroups_.erase(index);
    CSiteDataPlugin::ScanProfile(index, profile);
    const std::wstring path = profile.folder + kFirefoxQuotaDatabase;
    if (!IsExistingFile(path)) return;
    std::set<std::wstring> listed;
    for (const auto& [row, share] : Shares())
        if (share.profile == index && !share.piece.folder.empty())
            listed.insert(share.piece.origin.Text());
    if (listed.empty()) return;
    SqliteDb db;
    int rows = 0;
    SqliteStatus status = OpenForScan(db, path);
    if (status.Ok() && db.HasTable("origin") && db.HasColumn("origin", "origin"))
        status = ForEachRow(db, "SELECT origin FROM origin", [&](const SqliteStatement& row) {
            std::optional<StorageOrigin> origin = OriginFromUrl(row.Utf8View(0));
            if (origin && listed.count(origin->Text()) != 0) ++rows;
        });
    if (status.Ok() && rows == 0) return;
    const int group = NextGroup(index);
    quotaGroups_[index] = group;
    DomainInfo& row = status.Ok() ? Row(index, group, kFirefoxQuotaDatabase)
                                  : NoteUnreadable(index, group, kFirefoxQuotaDatabase, status);
    row.itemCount = rows;
    SetPlace(row, L"the list of sites with storage that Firefox keeps");
}

void CPlgFirefoxSiteData::AfterClean(size_t index, const BrowserProfile& profile,
                                     const std::vector<StorageOrigin>& removed) {
    auto quota = quotaGroups_.find(index);
    if (quota == quotaGroups_.end()) return;
    for (DomainInfo* row : RowsOf(index, quota->second))
        if (KeepIfChosen(*row)) return;
    std::set<std::wstring> gone;
    for (const StorageOrigin& origin : removed) gone.insert(origin.Text());
    if (gone.empty()) {
        for (DomainInfo* row : RowsOf(index, quota->second)) row->result = DomainInfo::kKept;
        return;
    }
    CleanStores(index, {quota->second}, profile.folder + kFirefoxQuotaDatabase, [&](SqliteDb& db) {
        // By the origin as stored: the table may have no rowid.
        std::vector<std::string> stored;
        SqliteStatus step;
        if (db.HasTable("origin") && db.HasColumn("origin", "origin"))
            step = ForEachRow(
                db, "SELECT DISTINCT origin FROM origin", [&](const SqliteStatement& row) {
                    std::optional<StorageOrigin> origin = OriginFromUrl(row.Utf8View(0));
                    if (origin && gone.count(origin->Text()) != 0) stored.push_back(row.Utf8(0));
                });
        if (step.Ok()) step = FillTempTextTable(db, "gone_origins", stored);
        if (step.Ok())
            step = ExecIfTable(db, "origin",
                               "DELETE FROM origin WHERE origin IN "
                               "(SELECT value FROM temp.gone_origins)");
        if (step.Ok()) step = db.Exec("DROP TABLE temp.gone_origins");
        // Firefox counts its storage anew from the folders at the next start.
        if (step.Ok() && db.HasColumn("cache", "valid"))
            step = db.Exec("UPDATE cache SET valid = 0");
        return step;
    });
}

}  // namespace veltrane
