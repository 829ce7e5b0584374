#include "plugins/system/recycle_bin.h"

#include <shellapi.h>

#include <cwchar>

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/os_version.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/text.h"

namespace {

constexpr UINT kQuietEmpty = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;

const std::wstring& ResultPage(CPlgRecycleBin::VolumeResult result) {
    const SharedResultPages& pages = CPlugin::SharedPages();
    switch (result) {
        case CPlgRecycleBin::kVolumeFailed:
            return pages.resError;
        case CPlgRecycleBin::kVolumeCleanedAfterReboot:
            return pages.resReboot;
        case CPlgRecycleBin::kVolumeCleaned:
            return pages.resDeleted;
        default:
            return pages.resCancelled;
    }
}

const std::wstring& ItemResultPage(BinItem::Result result) {
    const SharedResultPages& pages = CPlugin::SharedPages();
    switch (result) {
        case BinItem::kDeleted:
            return pages.resDeleted;
        case BinItem::kDeletedNotOverwritten:
            return pages.resDeletedNotOverwritten;
        case BinItem::kDeferred:
            return pages.resReboot;
        case BinItem::kFailed:
            return pages.resError;
        case BinItem::kGone:
            return pages.resGone;
        default:
            return pages.resCancelled;
    }
}

// A result text with its error link.
std::wstring Linked(std::wstring text, size_t errorNumber) {
    if (errorNumber > 0) ReplaceAll(text, L"#id#", std::to_wstring(errorNumber));
    return text;
}

// Notes an item's error; its number among the volume's errors is its place in `itemErrors`.
void NoteError(BinItem& item, BinItem::Result result, ItemError error,
               std::vector<ItemError>& itemErrors) {
    item.result = result;
    itemErrors.push_back(std::move(error));
    item.errorNumber = itemErrors.size();
}

// How one file of an item went; true when it is gone.
bool SettleFile(BinItem& item, const std::wstring& path, DeleteOutcome outcome, DWORD code,
                bool wipe, std::vector<ItemError>& itemErrors) {
    switch (outcome) {
        case DeleteOutcome::kRemoved:
            return true;
        case DeleteOutcome::kRemovedWithoutOverwrite:
            item.result = BinItem::kDeletedNotOverwritten;
            return true;
        case DeleteOutcome::kDeferred:
            NoteError(item, BinItem::kDeferred,
                      ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile, path,
                                ItemError::kSystemMessage, code, true, L"", kCannotDeleteSubitem),
                      itemErrors);
            return false;
        case DeleteOutcome::kFailed:
            break;
    }
    NoteError(item, BinItem::kFailed,
              ItemError(ItemError::kFile, path, ItemError::kSystemMessage, code, false, L"",
                        kCannotDeleteSubitem),
              itemErrors);
    return false;
}

// How a file listed with its identity went.
void SettleRemoval(BinItem& item, const Removal& removal, bool wipe,
                   std::vector<ItemError>& itemErrors) {
    switch (removal.kind) {
        case RemovalKind::kRemoved:
            item.result = BinItem::kDeleted;
            item.freedBytes = removal.freedBytes;
            return;
        case RemovalKind::kRemovedWithoutOverwrite:
            item.result = BinItem::kDeletedNotOverwritten;
            item.freedBytes = removal.freedBytes;
            return;
        case RemovalKind::kGone:
            item.result = BinItem::kGone;
            return;
        case RemovalKind::kDeferred:
            NoteError(item, BinItem::kDeferred,
                      ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile, item.path,
                                ItemError::kSystemMessage, removal.error, true, L"",
                                kCannotDeleteSubitem),
                      itemErrors);
            return;
        case RemovalKind::kChanged:
            NoteError(item, BinItem::kFailed,
                      ItemError(ItemError::kFile, item.path, ItemError::kOwnText, 0, false, L"",
                                ChangedSinceScan(removal.change)),
                      itemErrors);
            return;
        case RemovalKind::kFailed:
            NoteError(item, BinItem::kFailed,
                      ItemError(ItemError::kFile, item.path, ItemError::kSystemMessage,
                                removal.error, false, L"", kCannotDeleteSubitem),
                      itemErrors);
            return;
    }
}

}  // namespace

bool GetFixedDrives(StringList& roots) {
    roots.clear();
    wchar_t buffer[1024] = {};
    DWORD length = GetLogicalDriveStringsW(1023, buffer);
    if (length == 0 || length > 1023) return false;
    for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1)
        if (GetDriveTypeW(root) == DRIVE_FIXED) roots.emplace_back(root);
    return true;
}

CPlgRecycleBin::CPlgRecycleBin(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

CPlugin::Result CPlgRecycleBin::Scan() {
    totals_ = Volume();
    volumes_.clear();
    StringList roots;
    if (!GetFixedDrives(roots)) return kFailed;
    // Wine's shell keeps one trash for every drive and answers for it whatever
    // the root; on Windows the shell's bin on a drive is the user's own.
    const bool wine = IsRunningOnWine();
    const std::wstring sid = GetCurrentUserSidString();
    bool shellCounted = false;
    for (const std::wstring& root : roots) {
        if (IsCancelled()) return kCancelled;
        SetProgress(L" " + root);
        DriveBins bins;
        if (!ListDriveBins(root, this, bins)) return kCancelled;
        SHQUERYRBINFO info = {};
        info.cbSize = sizeof(info);  // 20: the structure is packed
        const bool answered = SUCCEEDED(SHQueryRecycleBinW(root.c_str(), &info));
        if (!answered && bins.items.empty() && bins.left.empty()) continue;

        Volume volume;
        for (const BinItem& item : bins.items) {
            volume.size += item.size;
            volume.items += item.count;
        }
        if (answered && info.i64NumItems > 0) {
            const bool listed = !wine && HoldsUsersBin(bins.bins, sid);
            const bool apart = wine ? !shellCounted : !listed;
            if (apart) {
                volume.shell.counted = true;
                volume.shell.items = static_cast<uint64_t>(info.i64NumItems);
                volume.shell.size = static_cast<uint64_t>(info.i64Size);
                volume.items += volume.shell.items;
                volume.size += volume.shell.size;
                shellCounted = true;
            }
            volume.emptyThroughShell = apart || listed;
        }
        volume.binItems = std::move(bins.items);
        volume.left = std::move(bins.left);
        totals_.size += volume.size;
        totals_.items += volume.items;
        volumes_[root] = std::move(volume);
    }
    return kDone;
}

void CPlgRecycleBin::RemoveFolderItem(BinItem& item, std::vector<ItemError>& itemErrors) {
    // A link among the items goes as a link; a folder goes with exactly what the scan listed.
    if (!item.listing) {
        if (RemoveFolder(item.path)) {
            item.result = BinItem::kDeleted;
            return;
        }
        const DWORD code = GetLastError();
        NoteError(item, BinItem::kFailed,
                  ItemError(ItemError::kFolder, item.path, ItemError::kSystemMessage, code, false,
                            L"", kCannotDeleteSubitem),
                  itemErrors);
        return;
    }
    // A bin's folder is never the user's own; one that resolves to it is kept.
    PlaceVerdict verdict = CheckFolder(item.path, FolderAction::kRemove);
    if (!verdict.allowed) {
        NoteError(item, BinItem::kFailed,
                  ItemError(ItemError::kFolder, item.path, ItemError::kOwnText, 0, false, L"",
                            verdict.reason),
                  itemErrors);
        return;
    }
    const TreeRemoval tree = RemoveListedTree(*item.listing, this);
    if (tree.cancelled) return;
    item.freedBytes = tree.freedBytes;
    const Removal removal = RemoveListedFolder(item.listing->folder);
    if (removal.kind == RemovalKind::kGone && tree.removed == 0 && tree.deferred == 0) {
        item.result = BinItem::kGone;
        return;
    }
    if (removal.kind == RemovalKind::kRemoved || removal.kind == RemovalKind::kGone) {
        item.result = BinItem::kDeleted;
        return;
    }
    // A folder whose content waits for the next start follows it then.
    if (tree.deferred > 0 && tree.Complete() && ScheduleDeleteOnReboot(item.path)) {
        NoteError(item, BinItem::kDeferred,
                  ItemError(ItemError::kFolder, item.path, ItemError::kFolderKeptForReboot,
                            removal.error, true),
                  itemErrors);
        return;
    }
    std::wstring change;
    if (tree.changed > 0)
        change = tree.firstChange;
    else if (removal.kind == RemovalKind::kChanged)
        change = removal.change;
    else if (removal.error == ERROR_DIR_NOT_EMPTY && tree.failed == 0 && tree.deferred == 0)
        change = L"it holds items the scan did not list";  // they came after it
    if (!change.empty()) {
        NoteError(item, BinItem::kFailed,
                  ItemError(ItemError::kFolder, item.path, ItemError::kOwnText, 0, false, L"",
                            ChangedSinceScan(change)),
                  itemErrors);
        return;
    }
    const DWORD code = tree.failed > 0 ? tree.firstError : removal.error;
    NoteError(item, BinItem::kFailed,
              ItemError(ItemError::kFolder, item.path, ItemError::kSystemMessage, code, false, L"",
                        kCannotDeleteSubitem),
              itemErrors);
}

void CPlgRecycleBin::RemoveItem(BinItem& item, std::vector<ItemError>& itemErrors) {
    const bool wipe = GetWipeFiles();
    if (item.isFolder) {
        RemoveFolderItem(item, itemErrors);
    } else if (item.file) {
        const Removal removal = RemoveListedFile(*item.file, wipe);
        if (removal.kind == RemovalKind::kDeferred) SetRebootNeeded();
        SettleRemoval(item, removal, wipe, itemErrors);
    } else {
        item.result = BinItem::kDeleted;
        DeleteOutcome outcome = DeleteFileEx(item.path, wipe);
        SettleFile(item, item.path, outcome, GetLastError(), wipe, itemErrors);
    }
    // The index names the item's original place; it goes once the item has.
    if (item.index.empty() ||
        (item.result != BinItem::kDeleted && item.result != BinItem::kDeletedNotOverwritten))
        return;
    DeleteOutcome outcome = DeleteFileEx(item.index, wipe);
    SettleFile(item, item.index, outcome, GetLastError(), wipe, itemErrors);
}

bool CPlgRecycleBin::EmptyShellBin(const std::wstring& root, Volume& volume, bool postponed,
                                   std::vector<ItemError>& itemErrors) {
    // What it holds now is what emptying it frees, not what the scan saw.
    SHQUERYRBINFO before = {};
    before.cbSize = sizeof(before);
    const bool measured = SUCCEEDED(SHQueryRecycleBinW(root.c_str(), &before));
    const HRESULT emptied = SHEmptyRecycleBinW(nullptr, root.c_str(), kQuietEmpty);
    std::wstring failure;
    DWORD code = 0;
    if (FAILED(emptied)) {
        if (HRESULT_FACILITY(emptied) == FACILITY_WIN32) {
            code = HRESULT_CODE(emptied);
        } else {
            wchar_t text[96];
            swprintf(text, 96, L"The shell could not empty the Recycle Bin (error 0x%08lX).",
                     static_cast<unsigned long>(emptied));
            failure = text;
        }
    } else if (!postponed) {
        // Wine's shell answers that it emptied its trash and leaves every
        // folder in it: only a look afterwards tells. (Items held for the
        // next start would still be counted.)
        SHQUERYRBINFO info = {};
        info.cbSize = sizeof(info);
        if (SUCCEEDED(SHQueryRecycleBinW(root.c_str(), &info)) && info.i64NumItems > 0)
            failure = L"The shell said it emptied the Recycle Bin, but " +
                      std::to_wstring(info.i64NumItems) + L" items are still in it.";
    }
    if (code == 0 && failure.empty()) {
        volume.shell.result = BinItem::kDeleted;
        if (volume.shell.counted && measured)
            volume.shell.freedBytes = static_cast<uint64_t>(before.i64Size);
        return true;
    }
    volume.shell.result = BinItem::kFailed;
    itemErrors.emplace_back(ItemError::kRecycleBin, root,
                            code != 0 ? ItemError::kSystemMessage : ItemError::kOwnText, code,
                            false, L"", code != 0 ? std::wstring(kCannotDeleteSubitem) : failure);
    volume.shell.errorNumber = itemErrors.size();
    return false;
}

void CPlgRecycleBin::CleanVolume(const std::wstring& root, Volume& volume) {
    std::vector<ItemError> itemErrors;
    bool failed = false;
    bool postponed = false;
    for (BinItem& item : volume.binItems) {
        // A cancelled volume keeps its result: not processed.
        if (IsCancelled()) return;
        RemoveItem(item, itemErrors);
        failed |= item.result == BinItem::kFailed;
        postponed |= item.result == BinItem::kDeferred;
    }
    if (volume.emptyThroughShell) {
        if (IsCancelled()) return;
        failed |= !EmptyShellBin(root, volume, postponed, itemErrors);
    }
    volume.result = failed ? kVolumeFailed : postponed ? kVolumeCleanedAfterReboot : kVolumeCleaned;
    if (itemErrors.empty()) return;
    // The volume's own error comes first, with the reason of the first thing
    // that went wrong; the items' follow in their order.
    const ItemError& first = itemErrors.front();
    errors.emplace_back(ItemError::kRecycleBin, root, ItemError::kOwnText, first.GetCode(), !failed,
                        L"", first.GetReason());
    volume.errorNumber = errors.size();
    const size_t base = errors.size();
    for (BinItem& item : volume.binItems)
        if (item.errorNumber > 0) item.errorNumber += base;
    if (volume.shell.errorNumber > 0) volume.shell.errorNumber += base;
    for (ItemError& error : itemErrors) errors.push_back(std::move(error));
}

CPlugin::Result CPlgRecycleBin::Fix() {
    errors.clear();
    for (auto& [root, volume] : volumes_) {
        if (volume.result == kVolumeFailed) continue;
        if (IsCancelled()) return kCancelled;
        SetProgress(root);
        CleanVolume(root, volume);
    }
    return IsCancelled() ? kCancelled : kDone;
}

std::wstring CPlgRecycleBin::BuildReport(bool clean) const {
    std::wstring folder = GetPluginFolder();
    auto fragment = [&folder, clean](const wchar_t* scanName, const wchar_t* cleanName) {
        return ReadPage(folder + (clean ? cleanName : scanName));
    };
    std::wstring page = fragment(L"details.html", L"report.html");
    const std::wstring volumeTemplate = fragment(L"volumedetails.html", L"volumereport.html");
    const std::wstring itemTemplate = fragment(L"itemdetails.html", L"itemreport.html");
    const std::wstring leftTemplate = fragment(L"leftdetails.html", L"leftreport.html");
    std::wstring total = fragment(L"totaldetails.html", L"totalreport.html");
    const std::wstring shellName = ReadPage(folder + L"shellbin.html");

    // The name goes in last: a file in a bin may be called anything, "#size#" too.
    auto row = [clean](std::wstring text, const std::wstring& name, uint64_t size, uint64_t items,
                       const std::wstring& result) {
        ReplaceAll(text, L"#size#", FormatSize(size));
        ReplaceAll(text, L"#numel#", std::to_wstring(items));
        if (clean) ReplaceAll(text, L"#result#", result);
        ReplaceAll(text, L"#name#", name);
        return text;
    };
    std::wstring rows;
    for (const auto& [root, volume] : volumes_) {
        rows += row(volumeTemplate, EscapeHtml(root), volume.size, volume.items,
                    Linked(ResultPage(volume.result), volume.errorNumber));
        for (const BinItem& item : volume.binItems)
            rows += row(itemTemplate, EscapeHtml(item.path), item.size, item.count,
                        Linked(ItemResultPage(item.result), item.errorNumber));
        if (volume.shell.counted)
            rows += row(itemTemplate, shellName, volume.shell.size, volume.shell.items,
                        Linked(ItemResultPage(volume.shell.result), volume.shell.errorNumber));
        for (const LeftPlace& place : volume.left) {
            std::wstring left = leftTemplate;
            ReplaceAll(left, L"#reason#", EscapeHtml(place.reason));
            if (clean) ReplaceAll(left, L"#result#", SharedPages().resKept);
            ReplaceAll(left, L"#name#", EscapeHtml(place.path));
            rows += left;
        }
    }
    ReplaceAll(total, L"#size#", FormatSize(totals_.size));
    ReplaceAll(total, L"#numel#", std::to_wstring(totals_.items));
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", total);
    return page;
}

ReportResult CPlgRecycleBin::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(false));
    return ReportResult::kBuilt;
}

ReportResult CPlgRecycleBin::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(BuildReport(true));
    return ReportResult::kBuilt;
}

ScanSummary CPlgRecycleBin::GetScanSummary() const {
    return ScanSummary{totals_.items, totals_.size};
}

CleanSummary CPlgRecycleBin::GetCleanSummary() const {
    CleanSummary summary = CPlugin::GetCleanSummary();
    uint64_t removed = 0;
    uint64_t freed = 0;
    for (const auto& [root, volume] : volumes_) {
        for (const BinItem& item : volume.binItems) {
            if (item.result == BinItem::kDeleted || item.result == BinItem::kDeletedNotOverwritten)
                ++removed;
            freed += item.freedBytes;
        }
        if (volume.shell.counted && volume.shell.result == BinItem::kDeleted) ++removed;
        freed += volume.shell.freedBytes;
    }
    summary.removed = removed;
    summary.freedBytes = freed;
    return summary;
}
