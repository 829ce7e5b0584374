#include "plugins/browser/profile_store_plugin.h"

#include <algorithm>

#include "engine/kernel.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/sqlite_clean.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

FILETIME ToFileTime(int64_t ticks) {
    if (ticks < 0) ticks = 0;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return time;
}

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Why a profile in use was left alone, and what the user can do about it.
std::wstring InUseReason(const BrowserProfile& profile) {
    std::wstring reason = L"The browser holds this profile open (" +
                          profile.lockFile.substr(profile.lockFile.rfind(L'\\') + 1) +
                          L"). Close " + profile.browser + L" and clean again.";
    // Edge's Startup boost (of every channel) keeps it running, lock held,
    // with no window open.
    if (profile.browser.rfind(L"Microsoft Edge", 0) == 0)
        reason += L" If no " + profile.browser +
                  L" window is open, Edge is running in the background, "
                  L"usually because of Startup boost: turn off \"Startup boost\" in Edge's "
                  L"Settings, under System and performance, then restart Windows or end "
                  L"Microsoft Edge in the Task Manager, and clean again.";
    return reason;
}

// The values of `table` that `pick` finds in the records of those of `rows`
// the clean removes (not kept).
template <typename Value, typename Records, typename Pick>
std::vector<Value> Listed(const std::vector<DomainInfo*>& rows, const Records& records,
                          std::string_view table, Pick pick) {
    std::vector<Value> listed;
    for (const DomainInfo* row : rows) {
        auto found = records.find(row);
        if (row->result == DomainInfo::kKept || found == records.end()) continue;
        const auto& byTable = pick(found->second);
        auto values = byTable.find(table);
        if (values != byTable.end())
            listed.insert(listed.end(), values->second.begin(), values->second.end());
    }
    return listed;
}

}  // namespace

FILETIME FromChromeTime(int64_t microsecondsSince1601) {
    return ToFileTime(microsecondsSince1601 > INT64_MAX / 10 ? 0 : microsecondsSince1601 * 10);
}

FILETIME FromUnixMicroseconds(int64_t microseconds) {
    if (microseconds <= 0 || microseconds > (INT64_MAX - kUnixEpochInFileTime) / 10)
        return ToFileTime(0);
    return ToFileTime(microseconds * 10 + kUnixEpochInFileTime);
}

FILETIME FromUnixSeconds(int64_t seconds) {
    if (seconds <= 0 || seconds > INT64_MAX / 10000000 / 2) return ToFileTime(0);
    return ToFileTime(seconds * 10000000 + kUnixEpochInFileTime);
}

void NoteAccess(DomainInfo& row, const FILETIME& time) {
    if (Ticks(time) > Ticks(row.lastAccess)) row.lastAccess = time;
}

CPlugin::Result CProfileStorePlugin::Scan() {
    ClearDomains();
    rowIndex_.clear();
    tags_.clear();
    rowFiles_.clear();
    rowFolders_.clear();
    rowRecords_.clear();
    scanFailures_.clear();
    storePlaces_.clear();
    reportOnly_.clear();
    keptRows_.clear();
    profiles_.clear();
    for (BrowserProfile& profile : FindProfiles()) {
        ProfileState state;
        state.link = FindProfileLink(profile);
        state.inUse = CheckProfileLock(profile.lockFile) == ProfileLock::kInUse;
        state.profile = std::move(profile);
        profiles_.push_back(std::move(state));
    }
    for (size_t index = 0; index < profiles_.size(); ++index) {
        if (IsCancelled()) return kCancelled;
        const ProfileState& state = profiles_[index];
        SetProgress(state.profile.browser + L" - " + state.profile.name);
        if (const std::optional<ProfileLink>& link = state.link) {
            // Nothing is read through the link; the row says why it stays.
            Row(index, kRefusedStore,
                L"Not cleaned: " + link->folder + L" is a link" +
                    (link->target.empty() ? std::wstring() : L" to " + link->target));
            continue;
        }
        ScanProfile(index, state.profile);
    }
    if (IsCancelled()) return kCancelled;
    BuildGroupedView();
    return kDone;
}

CPlugin::Result CProfileStorePlugin::Fix() {
    ResetResults();
    keptRows_.clear();
    if (auto refused = RefuseIfKeepListUnreadable()) return *refused;
    bool failed = false;
    for (size_t index = 0; index < profiles_.size(); ++index) {
        if (IsCancelled()) break;
        if (!HasRows(index, -1)) continue;
        const BrowserProfile& profile = profiles_[index].profile;
        SetProgress(profile.browser + L" - " + profile.name);
        if (!RefuseProfile(index)) CleanProfile(index, profile);
    }
    CollectDomainErrors();
    for (const DomainInfo* row : view_)
        if (row->result == DomainInfo::kError) failed = true;
    if (IsCancelled()) return kCancelled;
    // Rows left failed are the clean's to report; the plug-in ran to its end.
    return failed ? kDoneWithFailures : kDone;
}

bool CProfileStorePlugin::RefuseProfile(size_t index) {
    const ProfileState& state = profiles_[index];
    const BrowserProfile& profile = state.profile;
    const std::wstring title =
        profile.browser + L", profile \"" + profile.name + L"\", was left as it is.";
    auto linkText = [](const ProfileLink& link) {
        return link.folder + L" is reached through a link" +
               (link.target.empty() ? std::wstring(L".") : L" (to " + link.target + L").");
    };
    if (state.link) {
        FailRows(index, -1,
                 ItemError(title, linkText(*state.link) +
                                      L" Veltrane does not clean through links, so that "
                                      L"nothing outside the browser's own folders is touched."));
        return true;
    }
    // The folders are asked again: a folder may have become a link since the scan.
    if (std::optional<ProfileLink> link = FindProfileLink(profile)) {
        FailRows(index, -1, ItemError(title, L"Changed since the scan: " + linkText(*link)));
        return true;
    }
    // So is the lock: the browser may have started or ended since the scan.
    if (CheckProfileLock(profile.lockFile) == ProfileLock::kInUse) {
        FailRows(index, -1, ItemError(title, InUseReason(profile)));
        return true;
    }
    return false;
}

bool CProfileStorePlugin::IsFirstOfUserData(size_t index) const {
    const std::wstring& shared = profiles_[index].profile.userData;
    for (size_t earlier = 0; earlier < index; ++earlier)
        if (!profiles_[earlier].link &&
            _wcsicmp(profiles_[earlier].profile.userData.c_str(), shared.c_str()) == 0)
            return false;
    return true;
}

DomainInfo& CProfileStorePlugin::Row(size_t index, int store, const std::wstring& name) {
    DomainInfo*& indexed = rowIndex_[{index, store}][name];
    if (indexed) return *indexed;
    const std::wstring key =
        std::to_wstring(index) + L'\x1f' + std::to_wstring(store) + L'\x1f' + name;
    DomainInfo& row = FindOrAddDomain(domains_, key);
    if (row.name == key) {
        row.name = name;
        row.profileIndex = static_cast<int>(index) + 1;
        tags_[&row] = RowTag{index, store};
    }
    indexed = &row;
    return row;
}

void CProfileStorePlugin::SetStorePlace(size_t index, int store, const std::wstring& path) {
    storePlaces_[{index, store}] = path;
}

void CProfileStorePlugin::NoteRecord(const DomainInfo& row, std::string_view table, int64_t id) {
    rowRecords_[&row].ids[std::string(table)].push_back(id);
}

void CProfileStorePlugin::NoteRecordKey(const DomainInfo& row, std::string_view table,
                                        std::string key) {
    rowRecords_[&row].keys[std::string(table)].push_back(std::move(key));
}

std::vector<int64_t> CProfileStorePlugin::ListedIds(size_t index, int store,
                                                    std::string_view table) const {
    return Listed<int64_t>(
        RowsOf(index, store), rowRecords_, table,
        [](const ListedRecords& records) -> const auto& { return records.ids; });
}

std::vector<std::string> CProfileStorePlugin::ListedKeys(size_t index, int store,
                                                         std::string_view table) const {
    return Listed<std::string>(
        RowsOf(index, store), rowRecords_, table,
        [](const ListedRecords& records) -> const auto& { return records.keys; });
}

SqliteStatus CProfileStorePlugin::FillListedIds(SqliteDb& db, std::string_view name, size_t index,
                                                int store, std::string_view table) const {
    return FillTempIdTable(db, name, ListedIds(index, store, table));
}

ItemRef CProfileStorePlugin::RowItem(const DomainInfo& row) const {
    const RowTag& tag = tags_.at(&row);
    auto place = storePlaces_.find({tag.profile, tag.store});
    return StoreRowItemRef(
        place != storePlaces_.end() ? place->second : profiles_[tag.profile].profile.folder,
        row.name);
}

std::wstring CProfileStorePlugin::ProfileGroupKey(size_t index) const {
    return SubGroupKey(GetId(), L"profile", profiles_[index].profile.folder);
}

void CProfileStorePlugin::DecideKeptRows(size_t index, int store) {
    for (DomainInfo* row : RowsOf(index, store))
        if (row->result == DomainInfo::kNotProcessed) KeepIfChosen(*row);
}

bool CProfileStorePlugin::KeepIfChosen(DomainInfo& row) {
    if (row.result == DomainInfo::kKept) return true;
    if (!OffersRowChoice() || reportOnly_.count(&row) != 0) return false;
    const KeepVerdict verdict = MayRemove(RowItem(row));
    if (!verdict.Keeps()) return false;
    row.result = DomainInfo::kKept;
    keptRows_[&row] = verdict;
    return true;
}

std::vector<DomainInfo*> CProfileStorePlugin::RowsOf(size_t index, int store) const {
    std::vector<DomainInfo*> rows;
    for (DomainInfo* row : view_) {
        auto tag = tags_.find(row);
        if (tag != tags_.end() && tag->second.profile == index &&
            (store < 0 || tag->second.store == store))
            rows.push_back(row);
    }
    return rows;
}

void CProfileStorePlugin::SetStoreResult(size_t index, int store, const SqliteStatus& status,
                                         const std::wstring& path) {
    if (status.Ok()) {
        for (DomainInfo* row : RowsOf(index, store))
            if (row->result == DomainInfo::kNotProcessed) row->result = DomainInfo::kDeleted;
        return;
    }
    FailRows(index, store,
             ItemError(L"Error occurred while cleaning \"" + path + L"\".",
                       L"SQLite: " + status.message));
}

void CProfileStorePlugin::FailRows(size_t index, int store, const ItemError& error) {
    for (DomainInfo* row : RowsOf(index, store)) {
        row->result = DomainInfo::kError;
        row->error = error;
    }
}

std::optional<ItemError> CProfileStorePlugin::ScanFailure(size_t index,
                                                          const std::vector<int>& stores,
                                                          const std::wstring& path) const {
    for (int store : stores) {
        auto failure = scanFailures_.find({index, store});
        if (failure == scanFailures_.end()) continue;
        return ItemError(L"\"" + path + L"\" was left as it was.",
                         L"The scan could not read it (SQLite: " + failure->second +
                             L"), and Veltrane cleans only what its scan showed.");
    }
    return std::nullopt;
}

bool CProfileStorePlugin::CleanStores(size_t index, const std::vector<int>& stores,
                                      const std::wstring& path, const DatabaseWork& work) {
    if (std::optional<ItemError> refusal = ScanFailure(index, stores, path)) {
        for (int store : stores) FailRows(index, store, *refusal);
        return false;
    }
    // A database whose every row the user or a rule keeps is not opened.
    bool anyGoes = false;
    for (int store : stores) {
        DecideKeptRows(index, store);
        for (const DomainInfo* row : RowsOf(index, store))
            anyGoes = anyGoes || row->result == DomainInfo::kNotProcessed;
    }
    if (!anyGoes) return true;
    const SqliteStatus status = CleanDatabase(path, work);
    for (int store : stores) SetStoreResult(index, store, status, path);
    return status.Ok();
}

void CProfileStorePlugin::BuildGroupedView() {
    BuildOrderedView([this](const DomainInfo& a, const DomainInfo& b) {
        const RowTag& ta = tags_.at(&a);
        const RowTag& tb = tags_.at(&b);
        if (ta.profile != tb.profile) return ta.profile < tb.profile;
        if (ta.store != tb.store) return ta.store < tb.store;
        if (a.itemCount != b.itemCount) return a.itemCount > b.itemCount;
        return a.name < b.name;
    });
    groupStarts_.clear();
    size_t previous = SIZE_MAX;
    for (const DomainInfo* row : view_) {
        size_t profile = tags_.at(row).profile;
        if (profile != previous) groupStarts_[row] = true;
        previous = profile;
    }
}

void CProfileStorePlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    const bool report = row.find(L"#result#") != std::wstring::npos;
    std::wstring header;
    if (groupStarts_.count(&domain) != 0) {
        const ProfileState& state = profiles_[tags_.at(&domain).profile];
        header = ReadPage(GetPluginsFolder() +
                          (report ? L"ProfileGroupFix.html" : L"ProfileGroupScan.html"));
        std::wstring label = state.profile.browser + L" - " + state.profile.name;
        if (state.inUse) label += L" (in use)";
        const size_t index = tags_.at(&domain).profile;
        ReplaceAll(header, L"#group attributes#",
                   OffersRowChoice()
                       ? GroupAttributes(ProfileGroupKey(index), PluginGroupKey(GetId()))
                       : std::wstring());
        ReplaceAll(header, L"#profile#", EscapeHtml(label));
        ReplaceAll(header, L"#folder#", EscapeHtml(state.profile.folder));
    }
    const RowTag& tag = tags_.at(&domain);
    const bool choosable =
        OffersRowChoice() && tag.store != kRefusedStore && reportOnly_.count(&domain) == 0;
    ReplaceAll(row, L"#row attributes#",
               choosable ? ItemRowAttributes(ItemKey(RowItem(domain)), ProfileGroupKey(tag.profile))
                         : std::wstring());
    if (auto kept = keptRows_.find(&domain); kept != keptRows_.end())
        ReplaceAll(row, L"#result#", KeptStatusHtml(kept->second));
    ReplaceAll(row, L"#name#", EscapeHtml(domain.name));
    ReplaceAll(row, L"#num#", std::to_wstring(domain.itemCount));
    ReplaceAll(row, L"#size#", FormatSize(domain.sizeSum));
    ReplaceAll(
        row, L"#date#",
        Ticks(domain.lastAccess) == 0 ? std::wstring() : FormatAccessDate(domain.lastAccess));
    row = header + row;
}

void CProfileStorePlugin::FillTotals(std::wstring& totals) const {
    uint64_t items = 0;
    uint64_t bytes = 0;
    for (const DomainInfo* domain : view_) {
        items += static_cast<uint64_t>(domain->itemCount);
        bytes += domain->sizeSum;
    }
    size_t profiles = 0;
    for (size_t index = 0; index < profiles_.size(); ++index)
        if (HasRows(index, -1)) ++profiles;
    ReplaceAll(totals, L"#numprof#", std::to_wstring(profiles));
    ReplaceAll(totals, L"#numdom#", std::to_wstring(view_.size()));
    ReplaceAll(totals, L"#numit#", std::to_wstring(items));
    ReplaceAll(totals, L"#size#", FormatSize(bytes));
}

DomainInfo* CProfileStorePlugin::AddFilesRow(size_t index, int store, const std::wstring& name,
                                             const std::vector<std::wstring>& paths) {
    std::vector<FileIdentity> present;
    uint64_t bytes = 0;
    FILETIME newest = {};
    for (const std::wstring& path : paths) {
        // A file reached through a link or an alias is not the profile's to list.
        IdentityReadOutcome read = ReadFileIdentity(path);
        if (read.kind != IdentityRead::kRead) continue;
        bytes += read.identity.size;
        if (Ticks(read.identity.lastWrite) > Ticks(newest)) newest = read.identity.lastWrite;
        present.push_back(std::move(read.identity));
    }
    if (present.empty()) return nullptr;
    DomainInfo& row = Row(index, store, name);
    row.itemCount += static_cast<int>(present.size());
    row.sizeSum += bytes;
    NoteAccess(row, newest);
    auto& files = rowFiles_[&row];
    files.insert(files.end(), present.begin(), present.end());
    return &row;
}

DomainInfo* CProfileStorePlugin::AddFolderRow(size_t index, int store, const std::wstring& name,
                                              const std::wstring& folder) {
    FolderTreeListing listing;
    if (ListFolderItems(this, folder, nullptr, ListingDepth::kTree, &listing).kind !=
            ListingResult::kListed ||
        listing.files.empty())
        return nullptr;
    DomainInfo& row = Row(index, store, name);
    row.itemCount += static_cast<int>(listing.files.size());
    row.sizeSum += listing.TotalSize();
    rowFolders_[&row] = std::move(listing);
    return &row;
}

void CProfileStorePlugin::DeleteFileRows(size_t index, int store) {
    DecideKeptRows(index, store);
    for (DomainInfo* row : RowsOf(index, store)) {
        if (IsCancelled()) return;
        if (row->result == DomainInfo::kKept) continue;
        std::optional<ItemError> failure;  // the first file or folder that stayed
        std::wstring deferredPath;
        std::optional<KeepVerdict> keptInside;  // why the first file the run kept stayed
        bool removedAny = false;
        auto fail = [&failure](ItemError::Kind kind, const std::wstring& path, DWORD code,
                               const std::wstring& change) {
            if (failure) return;
            if (!change.empty())
                failure.emplace(kind, path, ItemError::kOwnText, 0, false, L"",
                                ChangedSinceScan(change));
            else
                failure.emplace(kind, path,
                                code != 0 ? ItemError::kSystemMessage : ItemError::kUnknown, code,
                                false);
        };
        if (auto files = rowFiles_.find(row); files != rowFiles_.end()) {
            for (const FileIdentity& file : files->second) {
                const Removal removal = RemoveListedFile(file, GetWipeFiles(), this);
                if (removal.kind == RemovalKind::kKept && !keptInside)
                    keptInside = removal.kept;
                else if (removal.kind == RemovalKind::kRemoved ||
                         removal.kind == RemovalKind::kRemovedWithoutOverwrite)
                    removedAny = true;
                else if (removal.kind == RemovalKind::kDeferred && deferredPath.empty())
                    deferredPath = file.path;
                else if (removal.kind == RemovalKind::kChanged)
                    fail(ItemError::kFile, file.path, 0, removal.change);
                else if (removal.kind == RemovalKind::kFailed)
                    fail(ItemError::kFile, file.path, removal.error, {});
            }
        }
        if (auto folder = rowFolders_.find(row); folder != rowFolders_.end()) {
            const FolderTreeListing& listing = folder->second;
            const PlaceVerdict verdict = CheckFolder(listing.folder.path, FolderAction::kEmpty);
            if (!verdict.allowed) {
                if (!failure)
                    failure.emplace(ItemError::kFolder, listing.folder.path, ItemError::kOwnText, 0,
                                    false, L"", verdict.reason);
            } else {
                const TreeRemoval tree = RemoveListedTree(listing, this);
                if (tree.cancelled) return;
                if (tree.changed > 0)
                    fail(ItemError::kFolder, listing.folder.path, 0, tree.firstChange);
                else if (tree.failed > 0)
                    fail(ItemError::kFolder, listing.folder.path, tree.firstError, {});
                if (tree.deferred > 0 && deferredPath.empty()) deferredPath = listing.folder.path;
                if (tree.kept > 0 && !keptInside) keptInside = tree.firstKept;
                removedAny = removedAny || tree.removed > 0;
            }
        }
        if (IsCancelled()) return;
        if (failure) {
            row->result = DomainInfo::kError;
            row->error = failure;
        } else if (!deferredPath.empty()) {
            SetRebootNeeded();
            row->result = DomainInfo::kRebootNeeded;
            row->error = ItemError(ItemError::kFile, deferredPath, ItemError::kUnknown, 0, true);
        } else if (keptInside && !removedAny) {
            // Everything in it that the run reached stayed by the user's rules.
            row->result = DomainInfo::kKept;
            keptRows_[row] = *keptInside;
        } else {
            row->result = DomainInfo::kDeleted;
        }
    }
}

DomainInfo& CProfileStorePlugin::NoteUnreadable(size_t index, int store, const std::wstring& file,
                                                const SqliteStatus& status) {
    scanFailures_.emplace(std::make_pair(index, store), status.message);
    DomainInfo& row = Row(index, store, file + L" (cannot be read: " + status.message + L")");
    reportOnly_.insert(&row);
    return row;
}

SqliteStatus CProfileStorePlugin::ScanRows(size_t index, int store, SqliteDb& db,
                                           std::string_view query, TimeBase time, RowNamer name,
                                           std::string_view idTable) {
    return ForEachRow(db, query, [&](const SqliteStatement& item) {
        DomainInfo& row = Row(index, store, name(item.Text(0)));
        if (!idTable.empty()) NoteRecord(row, idTable, item.Int(3));
        ++row.itemCount;
        row.sizeSum += static_cast<uint64_t>(item.Int(2));
        const int64_t value = item.Int(1);
        NoteAccess(row, time == TimeBase::kChrome             ? FromChromeTime(value)
                        : time == TimeBase::kUnixMicroseconds ? FromUnixMicroseconds(value)
                                                              : FromUnixSeconds(value));
    });
}

void CProfileStorePlugin::ScanDatabase(size_t index, int store, const std::wstring& path,
                                       const wchar_t* label, std::string_view table,
                                       const QueryFor& query, TimeBase time, RowNamer name,
                                       bool withIds) {
    if (!IsExistingFile(path)) return;
    SetStorePlace(index, store, path);
    SqliteDb db;
    SqliteStatus status = OpenForScan(db, path);
    if (status.Ok() && db.HasTable(table))
        status =
            ScanRows(index, store, db, query(db), time, name, withIds ? table : std::string_view());
    if (!status.Ok()) NoteUnreadable(index, store, label, status);
}

void CProfileStorePlugin::CleanCookies(size_t index, const std::wstring& path,
                                       std::string_view table, std::string_view hostColumn) {
    CookieTallies tallies;
    const bool cleaned = CleanStores(index, {0}, path, [&](SqliteDb& db) {
        SqliteStatus step = FillListedIds(db, "listed_cookies", index, 0, table);
        if (step.Ok())
            step = DeleteListedCookies(db, table, hostColumn, "listed_cookies",
                                       GetKernel().GetCookieKeepList(), tallies);
        if (step.Ok()) step = db.Exec("DROP TABLE temp.listed_cookies");
        return step;
    });
    if (!cleaned) return;
    // A row whose every cookie stayed on the keep-list shows as kept.
    for (DomainInfo* row : RowsOf(index, 0)) {
        if (keptRows_.count(row) != 0) continue;
        auto tally = tallies.find(row->name);
        const bool allKept =
            tally != tallies.end() && tally->second.kept > 0 && tally->second.deleted == 0;
        row->result = allKept ? DomainInfo::kKept : DomainInfo::kDeleted;
    }
}

}  // namespace veltrane
