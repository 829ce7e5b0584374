#include "plugins/system/message_history.h"

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/system/folder_list.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/path_join.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/settings_store.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kMsnAccountsKey[] = L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";

std::wstring ReadRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                                const wchar_t* defaultValue) {
    CRPSTRING value(root, keyPath, valueName, defaultValue);
    value.SetNoWriteBack(true);
    return value.Get();
}

}  // namespace

CPlgMessageHistory::CPlgMessageHistory(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

std::wstring CPlgMessageHistory::IcqLiteHistoryFolder() {
    return ReadRegistryString(
               HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"AppData",
               L"") +
           L"\\ICQLite\\HistoryDB";
}

std::wstring CPlgMessageHistory::IcqProHistoryFolder() {
    return ReadRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs",
                              L"ICQPath", L"E:\\Program Files\\ICQ") +
           L"\\2003b";
}

bool CPlgMessageHistory::AddFiles(Messenger messenger, const std::wstring& folder,
                                  const wchar_t* mask, bool cancelBeforeEachFile) {
    // A history path that names the user's own files (a log folder set to
    // Documents) lists nothing: one row says why it is left alone.
    PlaceVerdict verdict = CheckFolder(folder, FolderAction::kEmptyTraceFolder);
    if (!verdict.allowed) {
        HistoryFile record;
        record.path = folder;
        record.refusal = std::move(verdict.reason);
        lists_[messenger].push_back(std::move(record));
        return true;
    }
    FolderTreeListing listing;
    const ListingOutcome listed =
        ListFolderItems(nullptr, folder, mask, ListingDepth::kFiles, &listing);
    if (listed.kind == ListingResult::kRefused) {
        HistoryFile record;
        record.path = folder;
        record.refusal = listed.reason;
        lists_[messenger].push_back(std::move(record));
        return true;
    }
    for (FileIdentity& file : listing.files) {
        if (cancelBeforeEachFile && IsCancelled()) return false;
        HistoryFile record;
        // The name as the user's settings spell the folder, not its canonical form.
        record.path = JoinPath(
            folder, std::wstring_view(file.path).substr(file.path.find_last_of(L'\\') + 1));
        record.length = file.size;
        record.identity = std::move(file);
        SetProgress(record.path);
        lists_[messenger].push_back(std::move(record));
    }
    return true;
}

bool CPlgMessageHistory::ScanIcqLite() {
    for (const std::wstring& account : VisibleSubFolders(IcqLiteHistoryFolder())) {
        if (IsCancelled()) return false;
        for (const std::wstring& contact : VisibleSubFolders(account)) {
            if (IsCancelled()) return false;
            if (!AddFiles(kIcqLite, contact, L"*.*", false)) return false;
        }
    }
    return true;
}

bool CPlgMessageHistory::ScanIcqPro() {
    for (const std::wstring& account : VisibleSubFolders(IcqProHistoryFolder())) {
        if (IsCancelled()) return false;
        if (!AddFiles(kIcqPro, account, L"messages*.*", true)) return false;
    }
    return true;
}

bool CPlgMessageHistory::ScanMsn() {
    const RegKey accounts = OpenRegKey(HKEY_CURRENT_USER, kMsnAccountsKey, KEY_READ);
    if (!accounts) return true;
    for (const std::wstring& name : ListSubKeyNames(accounts.Get())) {
        if (IsCancelled()) return false;
        std::wstring keyPath = std::wstring(kMsnAccountsKey) + L"\\" + name;
        // An account that is a registry link would name another key's folder:
        // one row says it is left.
        if (OpenRegKeyNoLink(HKEY_CURRENT_USER, keyPath.c_str(), 0).kind ==
            OpenedRegKey::Kind::kLink) {
            HistoryFile record;
            record.path = FormatRegPath(HKEY_CURRENT_USER, keyPath, L"");
            record.refusal = kRegistryLinkLeft;
            record.refusalKind = ItemError::kRegKey;
            lists_[kMsn].push_back(std::move(record));
            continue;
        }
        std::wstring logFolder =
            ReadRegistryString(HKEY_CURRENT_USER, keyPath.c_str(), L"MessageLogPath", L"");
        // An account without a log folder would otherwise list the current directory.
        if (logFolder.empty()) continue;
        AddFiles(kMsn, logFolder, L"*.x?l", false);
    }
    return true;
}

CPlugin::Result CPlgMessageHistory::Scan() {
    for (auto& list : lists_) list.clear();
    if (!ScanIcqLite() || !ScanIcqPro() || !ScanMsn()) return kCancelled;
    return kDone;
}

bool CPlgMessageHistory::CleanList(std::vector<HistoryFile>& list) {
    std::wstring dots;
    for (HistoryFile& record : list) {
        if (IsCancelled()) return false;
        if (!record.refusal.empty()) {
            record.result = ItemOutcome::kFailed;
            record.error = ItemError(record.refusalKind, record.path, ItemError::kOwnText, 0, false,
                                     L"", record.refusal);
            continue;
        }
        const bool wipe = GetWipeFiles();
        const Removal removal = RemoveListedFile(record.identity, wipe, this);
        if (removal.kind == RemovalKind::kKept) {
            record.result = ItemOutcome::kKept;
            record.kept = removal.kept;
        } else if (removal.kind == RemovalKind::kRemoved ||
                   removal.kind == RemovalKind::kRemovedWithoutOverwrite) {
            record.result = ItemOutcome::kRemoved;
            record.freedBytes = removal.freedBytes;
        } else if (removal.kind == RemovalKind::kGone) {
            record.result = ItemOutcome::kGone;
        } else if (removal.kind == RemovalKind::kChanged) {
            record.result = ItemOutcome::kFailed;
            record.error = ItemError(ItemError::kFile, record.path, ItemError::kOwnText, 0, false,
                                     L"", ChangedSinceScan(removal.change));
        } else {
            const bool deferred = removal.kind == RemovalKind::kDeferred;
            record.result = deferred ? ItemOutcome::kDeferred : ItemOutcome::kFailed;
            if (deferred) SetRebootNeeded();
            record.error = ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile, record.path,
                                     ItemError::kSystemMessage, removal.error, deferred, L"",
                                     L"Cannot delete subitem");
        }
        dots += L".";
        SetProgress(dots);
    }
    return true;
}

CPlugin::Result CPlgMessageHistory::Fix() {
    errors.clear();
    for (auto& list : lists_) {
        CleanList(list);
        for (const HistoryFile& record : list)
            if (HasItemError(record.result)) errors.push_back(record.error);
        if (IsCancelled()) return kCancelled;
    }
    return kDone;
}

std::wstring CPlgMessageHistory::BuildRows(Messenger messenger, const std::wstring& header,
                                           bool clean, size_t& errorCounter) const {
    std::wstring folder = GetPluginFolder();
    std::wstring rowTemplate =
        ReadPage(folder + (clean ? L"historyreport.html" : L"historydetail.html"));
    const std::vector<HistoryFile>& list = lists_[messenger];
    std::wstring rowHeader = header;
    if (list.empty()) {
        ReplaceAll(rowHeader, L"#rows#", L"1");
        ReplaceAll(rowHeader, L"#group attributes#", L"");
        std::wstring row = rowTemplate;
        ReplaceAll(row, L"#row attributes#", L"");
        ReplaceAll(row, L"#historyfile#", ReadPage(folder + L"nohistory.html"));
        ReplaceAll(row, L"#messenger#", rowHeader);
        ReplaceAll(row, L"#result#", L"");
        return row;
    }
    ReplaceAll(rowHeader, L"#rows#", std::to_wstring(list.size()));
    static const wchar_t* const kGroupNames[kMessengerCount] = {L"ICQ Lite 5", L"ICQ Pro 2003b",
                                                                L"MSN Messenger 7.0"};
    const std::wstring group = SubGroupKey(GetId(), L"messenger", kGroupNames[messenger]);
    ReplaceAll(rowHeader, L"#group attributes#", GroupAttributes(group, PluginGroupKey(GetId())));
    std::wstring rows;
    for (size_t i = 0; i < list.size(); ++i) {
        const HistoryFile& record = list[i];
        std::wstring row = rowTemplate;
        // A refused row stands for what the clean leaves: no box.
        ReplaceAll(row, L"#row attributes#",
                   record.refusal.empty()
                       ? ItemRowAttributes(ItemKey(FileItemRef(record.identity.path)), group)
                       : std::wstring());
        ReplaceAll(row, L"#historyfile#", EscapeHtml(record.path));
        ReplaceAll(row, L"#messenger#", i == 0 ? rowHeader : L"");
        if (clean) {
            const size_t errorNumber = HasItemError(record.result) ? ++errorCounter : 0;
            ReplaceAll(row, L"#result#", ResultPageOf(record.result, record.kept, errorNumber));
        }
        rows += row;
    }
    return rows;
}

std::wstring CPlgMessageHistory::BuildReport(bool clean) const {
    std::wstring folder = GetPluginFolder();
    static const wchar_t* const kHeaders[kMessengerCount] = {
        L"detailheadericqlite5.html", L"detailheadericqpro2003b.html", L"detailheadermsn70.html"};
    size_t errorCounter = 0;
    std::wstring table;
    size_t total = 0;
    for (int messenger = 0; messenger < kMessengerCount; ++messenger) {
        table += BuildRows(static_cast<Messenger>(messenger),
                           ReadPage(folder + kHeaders[messenger]), clean, errorCounter);
        total += lists_[messenger].size();
    }
    std::wstring totalLine = ReadPage(folder + L"totaldetails.html");
    ReplaceAll(totalLine, L"#num#", std::to_wstring(total));
    std::wstring page = ReadPage(folder + (clean ? L"report.html" : L"details.html"));
    ReplaceAll(page, L"#group attributes#", GroupAttributes(PluginGroupKey(GetId())));
    ReplaceAll(page, L"#messagetable#", table);
    ReplaceAll(page, L"#totalinfo#", totalLine);
    return page;
}

ReportResult CPlgMessageHistory::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(false));
    return ReportResult::kBuilt;
}

ReportResult CPlgMessageHistory::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(true));
    return ReportResult::kBuilt;
}

ScanSummary CPlgMessageHistory::GetScanSummary() const {
    ScanSummary summary;
    for (const auto& list : lists_)
        for (const HistoryFile& record : list) {
            ++summary.items;
            summary.bytes += record.length;
        }
    return summary;
}

CleanSummary CPlgMessageHistory::GetCleanSummary() const {
    CleanSummary summary = CPlugin::GetCleanSummary();
    uint64_t removed = 0;
    uint64_t freed = 0;
    for (const auto& list : lists_)
        for (const HistoryFile& record : list) {
            if (record.result == ItemOutcome::kRemoved) ++removed;
            freed += record.freedBytes;
        }
    summary.removed = removed;
    summary.freedBytes = freed;
    return summary;
}

}  // namespace veltrane
