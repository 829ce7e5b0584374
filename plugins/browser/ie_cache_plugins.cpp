#include "plugins/browser/ie_cache_plugins.h"

#include <ctime>

#include "engine/kernel.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/path_join.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// The index WinInet keeps the History entries in: emptied through WinInet.
constexpr wchar_t kHistoryIndexFolder[] = L"History.IE5";

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::wstring FormatAccessDate(const FILETIME& time) {
    constexpr uint64_t kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in FILETIME units
    constexpr uint64_t kTicksPerSecond = 10000000ULL;
    uint64_t value = FileTimeValue(time);
    time_t seconds =
        value < kUnixEpoch ? 0 : static_cast<time_t>((value - kUnixEpoch) / kTicksPerSecond);
    struct tm local = {};
    if (localtime_s(&local, &seconds) != 0) return {};
    wchar_t text[64] = {};
    wcsftime(text, 64, L"%d-%b-%y %H:%M", &local);
    return text;
}

CIEUrlCachePlugin::CIEUrlCachePlugin(CKernel& kernel, const PluginIdentity& identity,
                                     UrlCacheKind kind)
    : CDomainPlugin(kernel, identity), kind_(kind), entryStore_(UrlEntryStore(kind)) {}

std::optional<ItemError> CIEUrlCachePlugin::StoreRefusal() const {
    const std::wstring folder = UrlCacheStoreFolder(kind_);
    if (folder.empty()) return std::nullopt;
    PlaceVerdict verdict = CheckFolder(folder, FolderAction::kEmpty);
    if (verdict.allowed) return std::nullopt;
    return ItemError(ItemError::kFolder, folder, ItemError::kOwnText, 0, false, L"",
                     std::move(verdict.reason));
}

bool CIEUrlCachePlugin::ShowRefusedStore() {
    const std::optional<ItemError> refusal = StoreRefusal();
    if (!refusal) return false;
    FindOrAddDomain(domains_, L"Not cleaned: " + refusal->GetName());
    return true;
}

std::optional<CPlugin::Result> CIEUrlCachePlugin::RefuseStore() {
    const std::optional<ItemError> refusal = StoreRefusal();
    if (!refusal) return std::nullopt;
    for (DomainInfo* domain : view_) {
        domain->result = DomainInfo::kError;
        domain->error = refusal;
    }
    CollectDomainErrors();
    return kDone;
}

CPlugin::Result CIEUrlCachePlugin::Scan() {
    ClearDomains();
    const Result result = ShowRefusedStore() ? kDone : EnumerateUrlCache(kind_, domains_, Run());
    OrderDomains();
    return result;
}

CPlugin::Result CIEUrlCachePlugin::Fix() {
    ResetResults();
    if (auto refused = RefuseIfKeepListUnreadable()) return *refused;
    if (auto refused = RefuseStore()) return *refused;
    const Result result =
        DeleteEntries(UsesCookieKeepList() ? &GetKernel().GetCookieKeepList() : nullptr);
    CollectDomainErrors();
    return IsCancelled() ? kCancelled : result;
}

CPlugin::Result CIEUrlCachePlugin::DeleteEntries(const CookieKeepList* keep) {
    return DeleteUrlCacheDomains(kind_, domains_, Run(), keep, &outcomes_);
}

void CIEUrlCachePlugin::FillDomainRow(std::wstring& row, const DomainInfo& domain) const {
    CDomainPlugin::FillRow(row, domain);
}

void CIEUrlCachePlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    const bool report = row.find(L"#result#") != std::wstring::npos;
    FillDomainRow(row, domain);
    const std::wstring group = SubGroupKey(GetId(), L"domain", domain.name);
    ReplaceAll(row, L"#domain attributes#",
               domain.urlItems.empty() ? EntrylessRowAttributes(domain)
                                       : GroupAttributes(group, PluginGroupKey(GetId())));
    // A domain whose every entry the run kept says why, as its entries do.
    if (report && domain.result == DomainInfo::kKept) {
        const auto first = outcomes_.find(domain.urlItems.front().url);
        if (first != outcomes_.end() && first->second.kind == UrlEntryOutcome::Kind::kKept)
            ReplaceAll(row, L"#result#", KeptStatusHtml(first->second.kept));
    }
    std::wstring& page = report ? entryCleanPage_ : entryScanPage_;
    if (page.empty())
        page = ReadPage(GetPluginFolder() + (report ? L"entryreport.html" : L"entrydetails.html"));
    for (const UrlEntry& entry : domain.urlItems) {
        // After the clean, the domain's row tells what went; only the entries
        // the run kept are shown below it, each with why.
        const auto outcome = outcomes_.find(entry.url);
        const bool kept =
            outcome != outcomes_.end() && outcome->second.kind == UrlEntryOutcome::Kind::kKept;
        if (report && !kept) continue;
        std::wstring line = page;
        // An entry the clean can only report (its file is reached through a link) gets no box.
        ReplaceAll(line, L"#row attributes#",
                   entry.refusal.empty() && entry.readError == ERROR_SUCCESS
                       ? ItemRowAttributes(ItemKey(UrlEntryItemRef(entryStore_, entry.url)), group)
                       : std::wstring());
        ReplaceAll(line, L"#url#", EscapeHtml(entry.url));
        ReplaceAll(line, L"#size#", FormatSize(entry.size));
        if (report) ReplaceAll(line, L"#entry result#", KeptStatusHtml(outcome->second.kept));
        row += line;
    }
}

void CPlgIECache::OrderDomains() {
    BuildOrderedView(
        [](const DomainInfo& a, const DomainInfo& b) { return a.sizeSum > b.sizeSum; });
}

void CPlgIECache::FillDomainRow(std::wstring& row, const DomainInfo& domain) const {
    CDomainPlugin::FillRow(row, domain);
    ReplaceAll(row, L"#size#", FormatSize(domain.sizeSum));
}

void CPlgIECache::FillTotals(std::wstring& totals) const {
    uint64_t items = 0;
    uint64_t bytes = 0;
    for (const DomainInfo* domain : view_) {
        items += static_cast<uint64_t>(domain->itemCount);
        bytes += domain->sizeSum;
    }
    ReplaceAll(totals, L"#numdom#", std::to_wstring(view_.size()));
    ReplaceAll(totals, L"#numit#", std::to_wstring(items));
    ReplaceAll(totals, L"#size#", FormatSize(bytes));
}

CPlugin::Result CPlgIEHistory::Scan() {
    ClearDomains();
    folderFiles_.reset();
    folderRow_.clear();
    if (ShowRefusedStore()) {
        OrderDomains();
        return kDone;
    }
    const Result result = EnumerateUrlCache(kind_, domains_, Run());
    if (IsCancelled() || !ListHistoryFolder()) return kCancelled;
    OrderDomains();
    return result;
}

bool CPlgIEHistory::ListHistoryFolder() {
    const std::wstring folder = UrlCacheStoreFolder(kind_);
    if (folder.empty()) return true;
    FolderTreeListing listing;
    const ListingOutcome listed =
        ListFolderItems(this, folder, nullptr, ListingDepth::kTree, &listing);
    if (listed.kind == ListingResult::kCancelled) return false;
    if (listed.kind != ListingResult::kListed) return true;
    const std::wstring index = JoinPath(listing.folder.path, kHistoryIndexFolder);
    auto inIndex = [&index](const FileIdentity& item) {
        return SamePath(item.path, index) || IsPathBelow(item.path, index);
    };
    std::erase_if(listing.files, inIndex);
    std::erase_if(listing.folders, inIndex);
    listing.entries = static_cast<unsigned>(listing.files.size() + listing.folders.size());
    if (listing.entries == 0) return true;
    DomainInfo& row = FindOrAddDomain(domains_, folder);
    row.itemCount = static_cast<int>(listing.entries);
    row.sizeSum = listing.TotalSize();
    for (const FileIdentity& file : listing.files)
        if (CompareFileTime(&row.lastAccess, &file.lastWrite) < 0) row.lastAccess = file.lastWrite;
    folderRow_ = folder;
    folderFiles_ = std::move(listing);
    return true;
}

CPlugin::Result CPlgIEHistory::Fix() {
    ResetResults();
    if (auto refused = RefuseStore()) return *refused;
    const Result result = DeleteEntries();
    if (!IsCancelled()) RemoveHistoryFiles();
    CollectDomainErrors();
    return IsCancelled() ? kCancelled : result;
}

void CPlgIEHistory::RemoveHistoryFiles() {
    if (!folderFiles_) return;
    DomainInfo& row = domains_[folderRow_];
    const std::wstring& folder = folderFiles_->folder.path;
    // The row stands for everything the folder holds: unticked, all of it stays.
    if (KeepVerdict kept = MayRemove(FolderItemRef(folder)); kept.Keeps()) {
        row.result = ItemOutcome::kKept;
        row.kept = std::move(kept);
        return;
    }
    const TreeRemoval tree = RemoveListedTree(*folderFiles_, this);
    if (tree.cancelled) return;
    if (tree.changed > 0) {
        row.result = DomainInfo::kError;
        row.error = ItemError(ItemError::kFolder, folder, ItemError::kOwnText, 0, false, L"",
                              ChangedSinceScan(tree.firstChange));
    } else if (tree.failed > 0) {
        row.result = DomainInfo::kError;
        row.error = ItemError(ItemError::kFolder, folder, ItemError::kSystemMessage,
                              tree.firstError, false);
    } else if (tree.deferred > 0) {
        row.result = DomainInfo::kRebootNeeded;
        row.error = ItemError(ItemError::kFolder, folder, ItemError::kFolderKeptForReboot, 0, true);
    } else {
        row.result = DomainInfo::kDeleted;
    }
}

std::wstring CPlgIEHistory::EntrylessRowAttributes(const DomainInfo& domain) const {
    if (!folderFiles_ || domain.name != folderRow_) return {};
    return ItemRowAttributes(ItemKey(FolderItemRef(folderFiles_->folder.path)),
                             PluginGroupKey(GetId()));
}

void CPlgIEHistory::OrderDomains() {
    BuildOrderedView([](const DomainInfo& a, const DomainInfo& b) {
        return FileTimeValue(a.lastAccess) > FileTimeValue(b.lastAccess);
    });
}

void CPlgIEHistory::FillDomainRow(std::wstring& row, const DomainInfo& domain) const {
    ReplaceAll(row, L"#name#", EscapeHtml(domain.name));
    ReplaceAll(row, L"#hitr#", std::to_wstring(domain.hitRateSum));
    ReplaceAll(row, L"#date#", FormatAccessDate(domain.lastAccess));
}

}  // namespace veltrane
