#pragma once
// Traces of the Windows 7 to 11 plug-ins: Explorer's lists in the registry
// (recent items, the dialogs' lists, typed paths, searches, UserAssist,
// folder views) and the Jump List, thumbnail cache and error report files,
// with control data beside each place that a clean must leave.
#include "seedtraces/seed_standard.h"

namespace veltrane {

// `scale` multiplies the list entries and files.
bool SeedWindowsTraces(int scale, StandardSeedManifest* manifest);

// Programs as UserAssist names them before encoding, the last one behind
// the known-folder id of the system folder.
inline constexpr const wchar_t* kUserAssistPrograms[] = {
    L"C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE",
    L"Microsoft.Windows.Explorer",
    L"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}\\mspaint.exe",
};

}  // namespace veltrane
