#include "engine/item_outcome.h"

#include "engine/plugin.h"
#include "sysaccess/text.h"

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
