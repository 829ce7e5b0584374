#pragma once
// Deleting files and folders: each through its own handle once it shows it is
// the item meant, with optional overwriting first, and deferral to the next
// system start for what another program holds. Every routine that walks a
// folder to delete asks the protected-places guard first.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sysaccess/file_identity.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/run_context.h"

namespace veltrane {

// What became of one item a scan listed, removed through its own handle.
enum class RemovalKind {
    kRemoved,
    kRemovedWithoutOverwrite,  // its data belongs to another name too, so it was not overwritten
    kDeferred,                 // held by another program: the system removes it at the next start
    kChanged,                  // not the item the scan listed any more: left where it is
    kGone,                     // not there any more: nothing removed
    kKept,                     // the run context keeps it (`kept` says why): not touched
    kFailed,
};
struct [[nodiscard]] Removal {
    RemovalKind kind = RemovalKind::kFailed;
    DWORD error = ERROR_SUCCESS;  // kDeferred, kFailed: the system's reason
    // kChanged: what changed, as the report says it after "Changed since the
    // scan: "; kFailed: the whole reason, where the system's says too little.
    std::wstring change;
    uint64_t freedBytes = 0;  // what the removal freed now
    KeepVerdict kept = {};    // kKept: why it stays
};

// How every report row of an item left because it changed begins.
inline constexpr wchar_t kChangedSinceScan[] = L"Changed since the scan: ";
inline std::wstring ChangedSinceScan(const std::wstring& change) {
    return kChangedSinceScan + change + L".";
}

// Removes the file the scan listed, and only that file: opened without
// following a link, it must show the recorded final path, file id, size and
// last write time. Its attributes change only after that, it is overwritten
// (when asked) only while nobody else has it open and it has no other name,
// and it is deleted through the same handle, so nothing can be put in its
// place between the check and the deletion. A `context` that keeps the item
// (MayRemove) leaves it untouched: kKept.
[[nodiscard]] Removal RemoveListedFile(const FileIdentity& file, bool overwrite,
                                       const IRunContext* context = nullptr);
// Removes the listed folder if it is still that folder and empty (and `context` lets it go).
[[nodiscard]] Removal RemoveListedFolder(const FileIdentity& folder,
                                         const IRunContext* context = nullptr);

// What the clean of a listing did.
struct [[nodiscard]] TreeRemoval {
    unsigned removed = 0;   // files and folders removed now
    unsigned deferred = 0;  // files left to the next start
    unsigned gone = 0;      // files and folders already gone
    unsigned changed =
        0;  // left because they changed since the listing, or hold what it did not list
    unsigned failed = 0;  // files and folders that stayed for another reason
    unsigned kept = 0;    // files and folders the run context kept, and folders holding them
    uint64_t freedBytes = 0;
    DWORD firstError = ERROR_SUCCESS;  // of the first failure
    std::wstring firstChange;          // "<path>: <what changed>", of the first change
    KeepVerdict firstKept = {};        // why the first kept item stayed
    bool cancelled = false;

    // Everything listed is gone (or waits for the next start).
    bool Complete() const { return !cancelled && changed == 0 && failed == 0; }
};
// Removes what `listing` holds: its files, then its folders, each only once
// it is empty. What changed or came after the listing stays. `plugin` (may be
// null) says whether to overwrite and cancel, hears of deferrals, and keeps
// what it will not let go (a folder holding a kept item stays too, as kept).
[[nodiscard]] TreeRemoval RemoveListedTree(const FolderTreeListing& listing, IRunContext* plugin);

// The outcome of the path-based deletions below, for callers that know a path only.
enum class DeleteOutcome {
    kRemoved,                  // gone now (or was not there)
    kRemovedWithoutOverwrite,  // gone now; its data belongs to another name too, so not overwritten
    kDeferred,                 // the system removes it at the next start
    kFailed,                   // still there
};

inline bool IsRemoved(DeleteOutcome outcome) {
    return outcome == DeleteOutcome::kRemoved || outcome == DeleteOutcome::kRemovedWithoutOverwrite;
}

// What a path-based deletion did, with the system's reason for what it did not.
struct [[nodiscard]] PathDeletion {
    DeleteOutcome kind = DeleteOutcome::kFailed;
    DWORD error = ERROR_SUCCESS;  // kDeferred: why it could not go now; kFailed: why it stays

    bool Removed() const { return IsRemoved(kind); }
};

// Removes one file (read-only, hidden and system files too), overwriting it
// first when asked, with the checks of RemoveListedFile but for what a scan
// would have recorded: the file must be reached through no link or alias (a
// file that is not, stays: kFailed, ERROR_ACCESS_DENIED). What Windows will
// not let go of now is scheduled for the next start; when even that fails the
// file stays and the outcome is kFailed.
PathDeletion DeleteFileEx(const std::wstring& path, bool overwrite);

enum class WipeOutcome {
    kWiped,    // every byte written and flushed to the disk
    kShared,   // not written: a link, or a file with other names (hard links)
    kMissing,  // not there
    kFailed,   // could not be opened (another program has it open), written or flushed
};
struct [[nodiscard]] WipeResult {
    WipeOutcome kind = WipeOutcome::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed: the system's reason
};
// Whether a file opened for the overwrite may be written: a reparse point or
// a file with more than one name leads to data that is not only this name's.
[[nodiscard]] bool MayOverwrite(const HandleFacts& facts);
// One pass of 0xFF over the file's content, in place, through a handle that
// does not follow links, shares the file with nobody and shows the path's own
// final path; flushed.
WipeResult WipeFile(const std::wstring& path);
enum class ReplaceResult {
    kReplaced,
    kReplacedWithoutOverwrite,  // the old content went without its overwrite, which failed
    kRefused,  // a link, a file with other names, or one reached through a link or an alias
    kMissing,  // not there
    kFailed,   // still as it was (another program has it open, or a write failed)
};
struct [[nodiscard]] ReplaceOutcome {
    ReplaceResult kind = ReplaceResult::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed, kReplacedWithoutOverwrite: the system's reason
};
// Gives the file at `path` the content `content` (a profile file keeping the
// lines a clean leaves) without ever leaving it empty or partly written: the
// file is opened following no link and shared with nobody, the new content
// is written to a new file beside it and flushed, and only then does the new
// file take the old one's name. The old content is overwritten first when
// `overwriteOld`, and removed through its own handle. The new file keeps the
// old one's hidden, system and archive attributes.
[[nodiscard]] ReplaceOutcome ReplaceFileContent(const std::wstring& path, std::string_view content,
                                                bool overwriteOld);

// kRemoved when removed or already gone, else kFailed. The folder must be
// reached through no link or alias; a folder link (a junction) is removed as a link.
PathDeletion RemoveFolder(const std::wstring& path);
// Asks the system to delete `path` at its next start (MoveFileExW,
// delay-until-reboot): kDeferred, or kFailed with the system's error when it did not accept.
PathDeletion ScheduleDeleteOnReboot(const std::wstring& path);
// Replaces the scheduler for the whole process (tests make it fail); an
// empty function restores the system's.
void SetRebootSchedulerOverride(std::function<bool(const std::wstring&)> scheduler);

// What DeleteFolderFiles or DeleteFolderTree did.
struct [[nodiscard]] FolderDeletion {
    enum class Kind {
        kDone,       // everything listed went (or waits for the next start)
        kCancelled,  // stopped; the rest stays
        kFailed,     // refused by the guard (ERROR_ACCESS_DENIED), not listed, or something stayed
    };
    Kind kind = Kind::kDone;
    DWORD error = ERROR_SUCCESS;  // kFailed: the first reason
    unsigned count = 0;           // deleted or deferred
    uint64_t freedBytes = 0;      // removed now
    bool deferred = false;        // something waits for the next start

    bool Done() const { return kind == Kind::kDone; }
};

// Deletes the files directly in `folder` that match `masks` ("|"-separated),
// listed and removed as RemoveListedTree removes a listing (the plug-in's
// reboot flag is set for what is deferred). `plugin` may be null (no cancel,
// no overwrite).
FolderDeletion DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin,
                                 const wchar_t* masks);
// Deletes everything below `folder` (files, then folders, deepest first),
// leaving `folder` itself; `masks` select the entries directly in it.
FolderDeletion DeleteFolderTree(const std::wstring& folder, IRunContext* plugin,
                                const wchar_t* masks);

}  // namespace veltrane
