#pragma once
// Deleting files and folders: optional overwriting first, and deferral to
// the next system start for what Windows will not let go of now.
#include <cstdint>
#include <string>

#include "sysaccess/run_context.h"

// Removes one file (read-only, hidden and system files too), overwriting it
// first when asked. True when the removal had to be deferred to the next
// system start; false when it was removed or was not there.
bool DeleteFileEx(const std::wstring& path, bool overwrite);
// One pass of 0xFF over the file's content, in place. True on success or when
// the file is not there; false when it cannot be opened or a write fails.
bool WipeFile(const std::wstring& path);
// True when removed or already gone.
bool RemoveFolder(const std::wstring& path);
// NT: MoveFileExW delay-until-reboot; 9x: a "nul = <short path>" line at the
// top of WININIT.INI's [rename] section.
bool ScheduleDeleteOnReboot(const std::wstring& path);

// Deletes the files directly in `folder` that match `masks` ("|"-separated).
// `count` and `size` receive what was deleted or deferred; `reboot` whether
// anything was deferred (the plug-in's reboot flag is set too). False when
// cancelled. `plugin` may be null (no cancel, no overwrite).
bool DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin, bool counted,
                       unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks);
// Deletes everything below `folder` (files, then folders, deepest first),
// leaving `folder` itself. False when cancelled or a folder could not be removed.
bool DeleteFolderTree(const std::wstring& folder, IRunContext* plugin, bool counted,
                      unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks);
