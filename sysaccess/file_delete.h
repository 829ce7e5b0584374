#pragma once
// Deleting files and folders: optional overwriting first, and deferral to
// the next system start for what Windows will not let go of now. Every
// routine that walks a folder to delete asks the protected-places guard first.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sysaccess/file_walk.h"
#include "sysaccess/run_context.h"

enum class DeleteOutcome {
    kRemoved,                  // gone now (or was not there)
    kRemovedWithoutOverwrite,  // gone now; its data belongs to another name too, so not overwritten
    kDeferred,                 // the system removes it at the next start
    kFailed,                   // still there; GetLastError() says why
};

inline bool IsRemoved(DeleteOutcome outcome) {
    return outcome == DeleteOutcome::kRemoved || outcome == DeleteOutcome::kRemovedWithoutOverwrite;
}

// Removes one file (read-only, hidden and system files too), overwriting it
// first when asked. What Windows will not let go of now is scheduled for the
// next start; when even that fails the file stays and the outcome is kFailed.
DeleteOutcome DeleteFileEx(const std::wstring& path, bool overwrite);

enum class WipeOutcome {
    kWiped,    // every byte written and flushed to the disk
    kShared,   // not written: a link, or a file with other names (hard links)
    kMissing,  // not there
    kFailed,   // could not be opened, written or flushed; GetLastError() says why
};
// Whether a file opened for the overwrite may be written: a reparse point or
// a file with more than one name leads to data that is not only this name's.
bool MayOverwriteOpenFile(const BY_HANDLE_FILE_INFORMATION& info);
// One pass of 0xFF over the file's content, in place, through a handle that
// does not follow links, and flushed.
WipeOutcome WipeFile(const std::wstring& path);
// Writes `content` over what the file holds, in place, through a handle that
// does not follow links (a profile file keeping the lines a clean leaves):
// the file keeps its attributes and security. ERROR_SUCCESS, the Windows
// error of the open or the write, or ERROR_ACCESS_DENIED for a link or a file
// with other names, which is left as it is.
DWORD RewriteFileBytes(const std::wstring& path, std::string_view content);

// True when removed or already gone. A folder link is removed as a link.
bool RemoveFolder(const std::wstring& path);
// NT: MoveFileExW delay-until-reboot; 9x: a "nul = <short path>" line at the
// top of WININIT.INI's [rename] section. False (with the system's error) when
// the system did not accept it.
bool ScheduleDeleteOnReboot(const std::wstring& path);
// Replaces the scheduler for the whole process (tests make it fail); an
// empty function restores the system's.
void SetRebootSchedulerOverride(std::function<bool(const std::wstring&)> scheduler);

// Deletes the files directly in `folder` that match `masks` ("|"-separated).
// `count` and `size` receive what was deleted or deferred; `reboot` whether
// anything was deferred (the plug-in's reboot flag is set too); each may be
// null when the caller has no use for it. `counted` says whether the call
// belongs to a clean the user asked for; nothing here depends on it. False when
// cancelled or when the guard refuses the folder (ERROR_ACCESS_DENIED).
// `plugin` may be null (no cancel, no overwrite).
bool DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin, bool counted,
                       unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks);
// Deletes everything below `folder` (files, then folders, deepest first),
// leaving `folder` itself. False when cancelled, when the guard refuses the
// folder, or when something below could not be removed.
bool DeleteFolderTree(const std::wstring& folder, IRunContext* plugin, bool counted,
                      unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks);
// DeleteFolderTree for everything, without walking `folder` again: deletes
// what `listing` (from ListFolderTree of the same folder) holds. A tree that
// changed since it was listed (a folder gone or turned into a link, or
// something new left behind) is walked as DeleteFolderTree walks it.
bool DeleteListedFolderTree(const std::wstring& folder, const FolderTreeListing& listing,
                            IRunContext* plugin, unsigned* count, uint64_t* size, bool* reboot);
