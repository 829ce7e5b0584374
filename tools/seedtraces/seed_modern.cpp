// Traces for the plug-ins of today's browsers: Chrome with a profile that
// only Local State names, Edge, Opera as today's versions keep it (the
// profile in "Opera Stable\Default", GPUCache and shader caches in the
// roaming folder, the page cache in the local one), and Firefox with one
// profile in its usual place and one at an absolute path, each beside the
// passwords, bookmarks and preferences that a clean must leave alone.
#include <windows.h>

#include <shlobj.h>

#include "seedtraces/modern_browsers.h"
#include "seedtraces/seeders.h"
#include "seedtraces/site_data_traces.h"

namespace veltrane {

namespace {

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
    return std::wstring(path) + L"\\";
}

}  // namespace

bool SeedModernBrowsers(int /*scale*/) {
    const std::wstring local = KnownFolder(CSIDL_LOCAL_APPDATA);
    const std::wstring roaming = KnownFolder(CSIDL_APPDATA);
    if (local.empty() || roaming.empty()) return false;

    // "Work" has no Default/Profile N name: only Local State leads to it.
    const std::wstring chrome = local + L"Google\\Chrome\\User Data\\";
    bool ok = WriteChromiumUserData(chrome, {{L"Default", L"Person 1"}, {L"Work", L"Work"}});
    ok = WriteChromiumProfile(chrome + L"Default\\", chrome + L"Default\\") && ok;
    ok = WriteChromiumProfile(chrome + L"Work\\", chrome + L"Work\\") && ok;
    ok = WriteChromiumSiteData(chrome + L"Default\\") && ok;
    const std::wstring edge = local + L"Microsoft\\Edge\\User Data\\";
    ok = WriteChromiumUserData(edge, {{L"Default", L"Profile 1"}}) && ok;
    ok = WriteChromiumProfile(edge + L"Default\\", edge + L"Default\\") && ok;
    const std::wstring opera = roaming + L"Opera Software\\Opera Stable\\";
    ok = WriteChromiumUserData(opera, {{L"Default", L"Default"}}) && ok;
    ok = WriteChromiumProfile(opera + L"Default\\",
                              local + L"Opera Software\\Opera Stable\\Default\\",
                              opera + L"Default\\") &&
         ok;

    const std::wstring firefox = roaming + L"Mozilla\\Firefox\\";
    const std::wstring relative = L"Profiles\\x7m2q9za.default-release\\";
    const std::wstring absolute = L"C:\\FirefoxProfiles\\Work Profile\\";
    ok =
        WriteProfilesIni(firefox, {{L"default-release", L"Profiles/x7m2q9za.default-release", true},
                                   {L"work", L"C:\\FirefoxProfiles\\Work Profile", false}}) &&
        ok;
    ok = WriteFirefoxProfile(firefox + relative, local + L"Mozilla\\Firefox\\" + relative) && ok;
    ok = WriteFirefoxSiteData(firefox + relative) && ok;
    ok = WriteFirefoxProfile(absolute, absolute) && ok;
    return ok;
}

}  // namespace veltrane
