#include "sysaccess/os_version.h"

#include <atomic>

namespace veltrane {

namespace {

struct VersionSource {
    std::atomic<bool> overridden{false};
    OsVersion value{};
};

VersionSource& Source() {
    static VersionSource source;
    return source;
}

}  // namespace

void SetOsVersionOverride(std::optional<OsVersion> version) {
    VersionSource& source = Source();
    source.overridden = false;
    if (!version) return;
    source.value = *version;
    source.overridden = true;
}

std::optional<OsVersion> GetOsVersion() {
    VersionSource& source = Source();
    if (source.overridden) return source.value;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info)) return std::nullopt;
#pragma GCC diagnostic pop
    return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

bool IsWindowsNT() {
    auto version = GetOsVersion();
    return version && version->platformId == VER_PLATFORM_WIN32_NT;
}

bool IsWindowsMe() {
    auto version = GetOsVersion();
    return version && version->platformId == VER_PLATFORM_WIN32_WINDOWS &&
           (version->major > 4 || (version->major == 4 && version->minor > 89));
}

bool IsWindows2000() {
    auto version = GetOsVersion();
    return version && version->platformId == VER_PLATFORM_WIN32_NT && version->major == 5 &&
           version->minor == 0;
}

bool IsWindowsXP() {
    auto version = GetOsVersion();
    return version && version->platformId == VER_PLATFORM_WIN32_NT && version->major == 5 &&
           version->minor != 0;
}

bool IsRunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace veltrane
