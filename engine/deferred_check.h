#pragma once
// Deletions a clean deferred to the next start, recorded with the identity of
// each file then, and checked at the program's next start: a file that is
// gone, or whose place now holds another file, was removed; one that is
// still the same file was not. The record is read once and removed, so the
// user hears of each clean's deferred items once, after Windows restarted.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/options.h"

namespace veltrane {

struct DeferredItem {
    std::wstring path;
    uint32_t volumeSerial = 0;
    uint64_t fileId = 0;  // 0: a folder, checked by its place alone
};

// The deletions `after` holds that `before` did not (each name counted as
// often as it is listed), with what is at their place now. Names that hold
// nothing any more are passed over.
std::vector<DeferredItem> NewDeferredItems(const std::vector<std::wstring>& before,
                                           const std::vector<std::wstring>& after);

// The record lives in the key "Deferred" below `home` (the program's key of
// the user), opened as itself: a registry link there is refused.
enum class DeferredRecordKind { kDone, kLinkRefused, kFailed };
struct [[nodiscard]] DeferredRecordOutcome {
    DeferredRecordKind kind = DeferredRecordKind::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed
};
// Adds `items` to what the record holds already (a clean whose items were not
// checked yet keeps them).
DeferredRecordOutcome RecordDeferredItems(const RegPlace& home,
                                          const std::vector<DeferredItem>& items);

enum class DeferredState {
    kRemoved,     // gone, or its place holds another item now
    kStillThere,  // the same file (or a folder) is still at its place
    kUnchecked,   // reached through a link now, or could not be read: nothing is claimed
};
struct DeferredItemCheck {
    DeferredItem item;
    DeferredState state = DeferredState::kUnchecked;
};
struct DeferredCheck {
    std::vector<DeferredItemCheck> items;
    size_t Count(DeferredState state) const;
};
// Checks every recorded item the system no longer lists for its next start
// (so it has started since) and removes those from the record; the others
// wait in it. Nothing when no item was checked (no record, all still waiting,
// or the record or the system's list could not be read: traced, left for later).
[[nodiscard]] std::optional<DeferredCheck> CheckDeferredItems(const RegPlace& home);

// "2 items deferred at the last clean were removed at restart; 1 is still
// there." and a line per item, at most `listed` of them ("and 3 more").
std::wstring DeferredCheckText(const DeferredCheck& check, size_t listed = SIZE_MAX);
// The same items given to the system again for its next start: those still
// there, each checked to be the recorded file, never reached through a link.
// They are recorded again below `home`. How many were scheduled.
size_t ScheduleStillThereAgain(const RegPlace& home, const DeferredCheck& check);

}  // namespace veltrane
