#pragma once
// The deletions the system carries out at its next start: the entries of
// PendingFileRenameOperations whose target is empty, their names as Win32
// paths ("C:\...", "\\server\share\...").
#include <windows.h>

#include <string>
#include <vector>

namespace veltrane {

enum class PendingRead { kRead, kFailed };
struct [[nodiscard]] PendingDeletesOutcome {
    PendingRead kind = PendingRead::kFailed;
    DWORD error = ERROR_SUCCESS;      // kFailed
    std::vector<std::wstring> paths;  // kRead; none when there is no list
};
PendingDeletesOutcome ReadPendingDeletes();

// "\??\C:\a" is "C:\a", "\??\UNC\srv\share" is "\\srv\share"; anything else stays as it is.
std::wstring Win32PathOfNtName(const std::wstring& name);

}  // namespace veltrane
