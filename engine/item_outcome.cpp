#include "engine/item_outcome.h"

#include "engine/changed_since_scan.h"
#include "engine/plugin.h"
#include "engine/statistics.h"
#include "sysaccess/text.h"

namespace veltrane {

bool HasItemError(ItemOutcome outcome) {
    return outcome == ItemOutcome::kFailed || outcome == ItemOutcome::kDeferred;
}

bool IsRemoved(ItemOutcome outcome) {
    return outcome == ItemOutcome::kRemoved || outcome == ItemOutcome::kRemovedNotOverwritten;
}

std::wstring ResultPageOf(ItemOutcome outcome, const KeepVerdict& kept, size_t errorNumber) {
    const SharedResultPages& pages = CPlugin::SharedPages();
    std::wstring text;
    switch (outcome) {
        case ItemOutcome::kRemoved:
            return pages.resDeleted;
        case ItemOutcome::kRemovedNotOverwritten:
            return pages.resDeletedNotOverwritten;
        case ItemOutcome::kGone:
            return pages.resGone;
        case ItemOutcome::kKept:
            return CPlugin::KeptStatusHtml(kept);
        case ItemOutcome::kKeptByKeepList:
            return pages.resKept;
        case ItemOutcome::kNotProcessed:
            return pages.resCancelled;
        case ItemOutcome::kDeferred:
            text = pages.resReboot;
            break;
        case ItemOutcome::kFailed:
            text = pages.resError;
            break;
    }
    if (errorNumber > 0) ReplaceAll(text, L"#id#", std::to_wstring(errorNumber));
    return text;
}

FileRemovalRow RowOfFileRemoval(const Removal& removal, const std::wstring& shownPath, bool wipe) {
    FileRemovalRow row;
    switch (removal.kind) {
        case RemovalKind::kRemoved:
            row.outcome = ItemOutcome::kRemoved;
            row.freedBytes = removal.freedBytes;
            break;
        case RemovalKind::kRemovedWithoutOverwrite:
            row.outcome = ItemOutcome::kRemovedNotOverwritten;
            row.freedBytes = removal.freedBytes;
            break;
        case RemovalKind::kGone:
            row.outcome = ItemOutcome::kGone;
            break;
        case RemovalKind::kKept:
            row.outcome = ItemOutcome::kKept;
            row.kept = removal.kept;
            break;
        case RemovalKind::kDeferred:
            row.outcome = ItemOutcome::kDeferred;
            row.error = ItemError(wipe ? ItemError::kWipeFile : ItemError::kFile, shownPath,
                                  ItemError::kSystemMessage, removal.error, true, L"",
                                  kCannotDeleteSubitem);
            break;
        case RemovalKind::kChanged:
            row.outcome = ItemOutcome::kFailed;
            row.error = ItemError(ItemError::kFile, shownPath, ItemError::kOwnText, 0, false, L"",
                                  ChangedSinceScan(removal.change));
            break;
        case RemovalKind::kFailed:
            row.outcome = ItemOutcome::kFailed;
            row.error = ItemError(ItemError::kFile, shownPath, ItemError::kSystemMessage,
                                  removal.error, false, L"", kCannotDeleteSubitem);
            break;
    }
    return row;
}

}  // namespace veltrane
