#include "plugins/system/recycle_bin.h"

#include <shellapi.h>

#include <cwchar>

#include "engine/changed_since_scan.h"
#include "engine/item_outcome.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/os_version.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/reg_security.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr UINT kQuietEmpty = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
// Stands for a deletion time no index tells: too new under any age limit.
constexpr FILETIME kLatestTime = {0xFFFFFFFF, 0x7FFFFFFF};
constexpr wchar_t kShellBinUnderAgeLimit[] =
    L"Left under the age limit: the shell does not tell when its items were deleted.";

// Notes an item's error; its number among the volume's errors is its place in `itemErrors`.
void NoteError(BinItem& item, ItemOutcome result, ItemError error,
               std::vector<ItemError>& itemErrors) {
    item.result = result;
    itemErrors.push_back(std::move(error));
    item.errorNumber = itemErrors.size();
}

// How one file of an item went; true when it is gone.
bool SettleFile(BinItem& item, const std::wstring& path, const PathDeletion& deleted, bool wipe,
                std::vector<ItemError>& itemErrors) {
    const DWORD code = deleted.error;
    switch (deleted.kind) {
        case DeleteOutcome::kRemoved:
            return true;
        case DeleteOutcome::kRemovedWithoutOverwrite:
            item.result = ItemOutcome::kRemovedNotOverwritten;
            return true;
        case DeleteOutcome::kDeferred:
            NoteError(item, ItemOutcome::kDeferred,
                      ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile, path,
                                ItemError::kSystemMessage, code, true, L"", kCannotDeleteSubitem),
                      itemErrors);
            return false;
        case DeleteOutcome::kFailed:
            break;
    }
    NoteError(item, ItemOutcome::kFailed,
              ItemError(ItemError::kFile, path, ItemError::kSystemMessage, code, false, L"",
                        kCannotDeleteSubitem),
              itemErrors);
    return false;
}

// How a file listed with its identity went.
void SettleRemoval(BinItem& item, const Removal& removal, bool wipe,
                   std::vector<ItemError>& itemErrors) {
    FileRemovalRow row = RowOfFileRemoval(removal, item.path, wipe);
    item.freedBytes = row.freedBytes;
    item.kept = std::move(row.kept);
    if (row.error)
        NoteError(item, row.outcome, std::move(*row.error), itemErrors);
    else
        item.result = row.outcome;
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
    : CPlugin(kernel, identity) {
    SetAgeLimitApplies();
}

KeepVerdict CPlgRecycleBin::MayRemove(const ItemRef& item) const {
    ItemRef undated = item;
    undated.lastWrite = {};
    return CPlugin::MayRemove(undated);
}

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
        for (BinItem& item : bins.items) {
            if (IsTooNew(item.deleted.value_or(kLatestTime))) {
                ++volume.newerThanLimit;
                continue;
            }
            volume.size += item.size;
            volume.items += item.count;
            volume.binItems.push_back(std::move(item));
        }
        const bool ageLimited = IsTooNew(kLatestTime);
        if (answered && info.i64NumItems > 0) {
            const bool listed = !wine && HoldsUsersBin(bins.bins, sid);
            const bool apart = wine ? !shellCounted : !listed;
            if (apart && ageLimited) {
                volume.shell.leftUnderAgeLimit = true;
            } else if (apart) {
                volume.shell.counted = true;
                volume.shell.items = static_cast<uint64_t>(info.i64NumItems);
                volume.shell.size = static_cast<uint64_t>(info.i64Size);
                volume.items += volume.shell.items;
                volume.size += volume.shell.size;
                shellCounted = true;
            }
            // Emptying the user's listed bin would take the items the age limit keeps.
            volume.emptyThroughShell = !ageLimited && (apart || listed);
        }
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
        const PathDeletion removed = RemoveFolder(item.path);
        if (removed.Removed()) {
            item.result = ItemOutcome::kRemoved;
            return;
        }
        NoteError(item, ItemOutcome::kFailed,
                  ItemError(ItemError::kFolder, item.path, ItemError::kSystemMessage, removed.error,
                            false, L"", kCannotDeleteSubitem),
                  itemErrors);
        return;
    }
    // A bin's folder is never the user's own; one that resolves to it is kept.
    PlaceVerdict verdict = CheckFolder(item.path, FolderAction::kRemove);
    if (!verdict.allowed) {
        NoteError(item, ItemOutcome::kFailed,
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
        item.result = ItemOutcome::kGone;
        return;
    }
    if (removal.kind == RemovalKind::kRemoved || removal.kind == RemovalKind::kGone) {
        item.result = ItemOutcome::kRemoved;
        return;
    }
    // A folder whose content waits for the next start follows it then.
    if (tree.deferred > 0 && tree.Complete() &&
        ScheduleDeleteOnReboot(item.path).kind == DeleteOutcome::kDeferred) {
        NoteError(item, ItemOutcome::kDeferred,
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
        NoteError(item, ItemOutcome::kFailed,
                  ItemError(ItemError::kFolder, item.path, ItemError::kOwnText, 0, false, L"",
                            ChangedSinceScan(change)),
                  itemErrors);
        return;
    }
    const DWORD code = tree.failed > 0 ? tree.firstError : removal.error;
    NoteError(item, ItemOutcome::kFailed,
              ItemError(ItemError::kFolder, item.path, ItemError::kSystemMessage, code, false, L"",
                        kCannotDeleteSubitem),
              itemErrors);
}

void CPlgRecycleBin::RemoveItem(BinItem& item, std::vector<ItemError>& itemErrors) {
    if (KeepVerdict kept = MayRemove(BinItemRef(item)); kept.Keeps()) {
        item.result = ItemOutcome::kKept;  // with its index: the shell can still restore it
        item.kept = std::move(kept);
        return;
    }
    const bool wipe = GetWipeFiles();
    if (item.isFolder) {
        RemoveFolderItem(item, itemErrors);
    } else if (item.file) {
        const Removal removal = RemoveListedFile(*item.file, wipe);
        if (removal.kind == RemovalKind::kDeferred) SetRebootNeeded();
        SettleRemoval(item, removal, wipe, itemErrors);
    } else {
        item.result = ItemOutcome::kRemoved;
        SettleFile(item, item.path, DeleteFileEx(item.path, wipe), wipe, itemErrors);
    }
    // The index names the item's original place; it goes once the item has.
    if (item.index.empty() || !IsRemoved(item.result)) return;
    SettleFile(item, item.index, DeleteFileEx(item.index, wipe), wipe, itemErrors);
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
        volume.shell.result = ItemOutcome::kRemoved;
        if (volume.shell.counted && measured)
            volume.shell.freedBytes = static_cast<uint64_t>(before.i64Size);
        return true;
    }
    volume.shell.result = ItemOutcome::kFailed;
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
    bool kept = false;
    for (BinItem& item : volume.binItems) {
        // A cancelled volume keeps its result: not processed.
        if (IsCancelled()) return;
        RemoveItem(item, itemErrors);
        failed |= item.result == ItemOutcome::kFailed;
        postponed |= item.result == ItemOutcome::kDeferred;
        kept |= item.result == ItemOutcome::kKept;
    }
    // The shell empties the user's listed bin whole, what the user kept too;
    // a bin of its own (counted apart) holds none of the listed items.
    if (volume.emptyThroughShell && (volume.shell.counted || !kept)) {
        if (IsCancelled()) return;
        // A bin of its own is a row of its own, which the user may untick.
        KeepVerdict shellKept =
            volume.shell.counted ? MayRemove(ShellBinItemRef(root)) : KeepVerdict{};
        if (shellKept.Keeps()) {
            volume.shell.result = ItemOutcome::kKept;
            volume.shell.kept = std::move(shellKept);
        } else {
            failed |= !EmptyShellBin(root, volume, postponed, itemErrors);
        }
    }
    volume.result = failed      ? ItemOutcome::kFailed
                    : postponed ? ItemOutcome::kDeferred
                                : ItemOutcome::kRemoved;
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
        if (volume.result == ItemOutcome::kFailed) continue;
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

    const std::wstring pluginGroup = PluginGroupKey(GetId());
    ReplaceAll(page, L"#group attributes#", GroupAttributes(pluginGroup));
    // The name goes in last: a file in a bin may be called anything, "#size#" too.
    auto row = [clean](std::wstring text, const std::wstring& attributes, const std::wstring& name,
                       uint64_t size, uint64_t items, const std::wstring& result) {
        ReplaceAll(text, L"#attributes#", attributes);
        ReplaceAll(text, L"#size#", FormatSize(size));
        ReplaceAll(text, L"#numel#", std::to_wstring(items));
        if (clean) ReplaceAll(text, L"#result#", result);
        ReplaceAll(text, L"#name#", name);
        return text;
    };
    auto leftRow = [&](const std::wstring& name, const std::wstring& reason) {
        std::wstring left = leftTemplate;
        ReplaceAll(left, L"#reason#", EscapeHtml(reason));
        if (clean) ReplaceAll(left, L"#result#", SharedPages().resKept);
        ReplaceAll(left, L"#name#", name);
        return left;
    };
    std::wstring rows;
    uint64_t newerThanLimit = 0;
    for (const auto& [root, volume] : volumes_) {
        const std::wstring driveGroup = SubGroupKey(GetId(), L"drive", root);
        rows += row(volumeTemplate, GroupAttributes(driveGroup, pluginGroup), EscapeHtml(root),
                    volume.size, volume.items, ResultPageOf(volume.result, {}, volume.errorNumber));
        for (const BinItem& item : volume.binItems)
            rows += row(itemTemplate, ItemRowAttributes(ItemKey(BinItemRef(item)), driveGroup),
                        EscapeHtml(item.path), item.size, item.count,
                        ResultPageOf(item.result, item.kept, item.errorNumber));
        if (volume.shell.counted)
            rows +=
                row(itemTemplate, ItemRowAttributes(ItemKey(ShellBinItemRef(root)), driveGroup),
                    shellName, volume.shell.size, volume.shell.items,
                    ResultPageOf(volume.shell.result, volume.shell.kept, volume.shell.errorNumber));
        if (volume.shell.leftUnderAgeLimit) rows += leftRow(shellName, kShellBinUnderAgeLimit);
        for (const LeftPlace& place : volume.left)
            rows += leftRow(EscapeHtml(place.path), place.reason);
        newerThanLimit += volume.newerThanLimit;
    }
    ReplaceAll(total, L"#size#", FormatSize(totals_.size));
    ReplaceAll(total, L"#numel#", std::to_wstring(totals_.items));
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", total);
    if (newerThanLimit > 0) {
        std::wstring newer = SharedPages().newerThanLimit;
        ReplaceAll(newer, L"#count#", std::to_wstring(newerThanLimit));
        page += newer;
    }
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
    // Counted from the rows, not the item errors: a volume's own error repeats
    // the first of its items', which would count that item twice.
    CleanSummary summary;
    uint64_t removed = 0;
    uint64_t freed = 0;
    auto count = [&](ItemOutcome result, size_t errorNumber) {
        if (IsRemoved(result)) {
            ++removed;
        } else if (result == ItemOutcome::kDeferred) {
            ++summary.deferred;
        } else if (result == ItemOutcome::kFailed) {
            const bool changed = errorNumber > 0 && errorNumber <= errors.size() &&
                                 TellsChangedSinceScan(errors[errorNumber - 1]);
            ++(changed ? summary.changed : summary.failed);
        }
    };
    for (const auto& [root, volume] : volumes_) {
        for (const BinItem& item : volume.binItems) {
            count(item.result, item.errorNumber);
            freed += item.freedBytes;
        }
        // The shell's bin is a row when counted apart; its failed emptying counts anyway.
        if (volume.shell.counted || volume.shell.result == ItemOutcome::kFailed)
            count(volume.shell.result, volume.shell.errorNumber);
        freed += volume.shell.freedBytes;
    }
    summary.removed = removed;
    summary.freedBytes = freed;
    return summary;
}

}  // namespace veltrane
