#pragma once
// The process-wide seams a test replaces, each held for one scope and handed
// back to the system's own source when the scope ends, even on a failed
// assertion.
#include <functional>
#include <string>

#include "sysaccess/file_delete.h"
#include "sysaccess/os_version.h"

namespace veltrane {

// The Windows version every version test reads.
class ScopedOsVersion {
public:
    explicit ScopedOsVersion(OsVersion version) { SetOsVersionOverride(version); }
    ~ScopedOsVersion() { SetOsVersionOverride(std::nullopt); }
    ScopedOsVersion(const ScopedOsVersion&) = delete;
    ScopedOsVersion& operator=(const ScopedOsVersion&) = delete;
};

// The versions the tests name.
inline constexpr OsVersion kWindows98{VER_PLATFORM_WIN32_WINDOWS, 4, 10};
inline constexpr OsVersion kWindowsMe{VER_PLATFORM_WIN32_WINDOWS, 4, 90};
inline constexpr OsVersion kWindowsNT4{VER_PLATFORM_WIN32_NT, 4, 0};
inline constexpr OsVersion kWindows2000{VER_PLATFORM_WIN32_NT, 5, 0};
inline constexpr OsVersion kWindowsXP{VER_PLATFORM_WIN32_NT, 5, 1};
inline constexpr OsVersion kWindowsServer2003{VER_PLATFORM_WIN32_NT, 5, 2};
inline constexpr OsVersion kWindows7{VER_PLATFORM_WIN32_NT, 6, 1};

// The scheduler of deletions at the next start.
class ScopedRebootScheduler {
public:
    explicit ScopedRebootScheduler(std::function<bool(const std::wstring&)> scheduler) {
        SetRebootSchedulerOverride(std::move(scheduler));
    }
    ~ScopedRebootScheduler() { SetRebootSchedulerOverride(nullptr); }
    ScopedRebootScheduler(const ScopedRebootScheduler&) = delete;
    ScopedRebootScheduler& operator=(const ScopedRebootScheduler&) = delete;
};

}  // namespace veltrane
