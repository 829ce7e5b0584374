#pragma once
// Windows version tests. They all read one process-wide version source,
// which tests replace to exercise the 9x, Me, 2000 and XP branches.
#include <windows.h>

#include <optional>

namespace veltrane {

struct OsVersion {
    DWORD platformId;  // VER_PLATFORM_WIN32_WINDOWS (1) or VER_PLATFORM_WIN32_NT (2)
    DWORD major;
    DWORD minor;
};

// The version the system reports, or the override; nothing when it cannot be read.
[[nodiscard]] std::optional<OsVersion> GetOsVersion();
// Replaces the version source for the whole process; nothing restores the system's.
void SetOsVersionOverride(std::optional<OsVersion> version);

bool IsWindowsNT();
bool IsWindowsMe();
bool IsWindows2000();
bool IsWindowsXP();

// Wine, whatever version it reports (its ntdll exports wine_get_version):
// some services answer differently there, and the program asks them the way
// that works on each.
bool IsRunningOnWine();

}  // namespace veltrane
