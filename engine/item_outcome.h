#pragma once
// What a clean did with one item a report row shows, and the result cell a
// clean report gives it: every plug-in names its rows' outcomes this way, so
// one outcome reads the same in every report.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/item_error.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

enum class [[nodiscard]] ItemOutcome : int {
    kNotProcessed,  // no clean reached it (none ran, or it was cancelled first)
    kRemoved,
    kRemovedNotOverwritten,  // its data belongs to another name too: deleted, not overwritten
    kDeferred,               // goes at the next system start
    // Left where it is: it failed, was refused or changed since the scan; its
    // item error says which and why.
    kFailed,
    kGone,            // not there any more when the clean came: nothing removed, nothing freed
    kKept,            // the user or a rule kept it; its KeepVerdict says which
    kKeptByKeepList,  // a site the cookie keep-list keeps
};

// Whether the row has an item error of its own, and so an error link.
[[nodiscard]] bool HasItemError(ItemOutcome outcome);

// Whether the clean removed it now.
[[nodiscard]] bool IsRemoved(ItemOutcome outcome);

// The result cell of a clean report's row: the shared result page of
// `outcome`. A kept row is worded from `kept`; a failed or deferred row links
// to its item error, the 1-based `errorNumber` among the plug-in's errors.
[[nodiscard]] std::wstring ResultPageOf(ItemOutcome outcome, const KeepVerdict& kept = {},
                                        size_t errorNumber = 0);

// What the removal of one listed file came to, as its report row shows it.
struct FileRemovalRow {
    ItemOutcome outcome = ItemOutcome::kNotProcessed;
    std::optional<ItemError> error;  // kFailed, kDeferred: named by the row's path
    uint64_t freedBytes = 0;         // removed now
    KeepVerdict kept;                // kKept
};
// The row of a file whose removal went as `removal`; `shownPath` names it in
// the item error of a row left or deferred, `wipe` says an overwrite was asked.
[[nodiscard]] FileRemovalRow RowOfFileRemoval(const Removal& removal, const std::wstring& shownPath,
                                              bool wipe);

}  // namespace veltrane
