#include "plugins/browser/browser_profiles.h"

#include <shlobj.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "plugins/browser/byte_file.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/path_route.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring KnownFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return {};
    return std::wstring(buffer) + L"\\";
}

std::wstring WithSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A folder, or a link to one: a profile behind a link is listed (and left alone).
bool IsFolderOrLink(const std::wstring& path) { return PathExists(path) && !IsExistingFile(path); }

// The folders directly in `base` whose names `wanted` accepts, links to folders included.
template <typename Wanted>
std::vector<std::wstring> SubFolders(const std::wstring& base, Wanted wanted) {
    std::vector<std::wstring> names;
    for (const FolderEntry& entry : ListFolderEntries(base)) {
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && entry.name != L"." &&
            entry.name != L".." && wanted(entry.name))
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool IsChromiumProfileFolderName(const std::wstring& name) {
    if (name == L"Default") return true;
    if (name.rfind(L"Profile ", 0) != 0 || name.size() == 8) return false;
    return std::all_of(name.begin() + 8, name.end(), [](wchar_t c) { return iswdigit(c); });
}

// Local State's profile.info_cache: folder name -> the name the browser shows.
std::vector<std::pair<std::wstring, std::wstring>> InfoCache(const std::wstring& userData) {
    std::vector<std::pair<std::wstring, std::wstring>> profiles;
    std::string bytes;
    if (ReadByteFile(userData + L"Local State", bytes) != ERROR_SUCCESS) return profiles;
    nlohmann::json state = nlohmann::json::parse(bytes, nullptr, false);
    if (!state.is_object()) return profiles;
    auto profile = state.find("profile");
    if (profile == state.end() || !profile->is_object()) return profiles;
    auto cache = profile->find("info_cache");
    if (cache == profile->end() || !cache->is_object()) return profiles;
    for (auto it = cache->begin(); it != cache->end(); ++it) {
        std::wstring shown;
        if (it->is_object()) {
            auto name = it->find("name");
            if (name != it->end() && name->is_string()) shown = FromUtf8(name->get<std::string>());
        }
        profiles.emplace_back(FromUtf8(it.key()), shown);
    }
    return profiles;
}

// A folder name from Local State must stay a single folder inside User Data.
bool IsPlainFolderName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/:") == std::wstring::npos;
}

// One row per browser, channel and fork: where its User Data (or, for
// Opera, its profile folder) lies below a known folder.
struct ChromiumBrowser {
    const wchar_t* name;
    int csidl;
    const wchar_t* path;  // below the known folder
    bool opera;           // kept in the roaming folder, with caches in the local twin
};

const ChromiumBrowser kChromiumBrowsers[] = {
    {L"Google Chrome", CSIDL_LOCAL_APPDATA, L"Google\\Chrome\\User Data", false},
    {L"Google Chrome Beta", CSIDL_LOCAL_APPDATA, L"Google\\Chrome Beta\\User Data", false},
    {L"Google Chrome Dev", CSIDL_LOCAL_APPDATA, L"Google\\Chrome Dev\\User Data", false},
    {L"Google Chrome Canary", CSIDL_LOCAL_APPDATA, L"Google\\Chrome SxS\\User Data", false},
    {L"Microsoft Edge", CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge\\User Data", false},
    {L"Microsoft Edge Beta", CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge Beta\\User Data", false},
    {L"Microsoft Edge Dev", CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge Dev\\User Data", false},
    {L"Microsoft Edge Canary", CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge SxS\\User Data", false},
    {L"Brave", CSIDL_LOCAL_APPDATA, L"BraveSoftware\\Brave-Browser\\User Data", false},
    {L"Brave Beta", CSIDL_LOCAL_APPDATA, L"BraveSoftware\\Brave-Browser-Beta\\User Data", false},
    {L"Brave Nightly", CSIDL_LOCAL_APPDATA, L"BraveSoftware\\Brave-Browser-Nightly\\User Data",
     false},
    {L"Vivaldi", CSIDL_LOCAL_APPDATA, L"Vivaldi\\User Data", false},
    {L"Chromium", CSIDL_LOCAL_APPDATA, L"Chromium\\User Data", false},
    {L"Yandex Browser", CSIDL_LOCAL_APPDATA, L"Yandex\\YandexBrowser\\User Data", false},
    {L"Thorium", CSIDL_LOCAL_APPDATA, L"Thorium\\User Data", false},
    // Installed from the Microsoft Store: inside the package's own folder.
    {L"Arc", CSIDL_LOCAL_APPDATA,
     L"Packages\\TheBrowserCompany.Arc_ttt1ap7aakyb4\\LocalCache\\Local\\Arc\\User Data", false},
    {L"Opera", CSIDL_APPDATA, L"Opera Software\\Opera Stable", true},
    {L"Opera GX", CSIDL_APPDATA, L"Opera Software\\Opera GX Stable", true},
    {L"Opera Air", CSIDL_APPDATA, L"Opera Software\\Opera Air Stable", true},
    {L"Opera Next", CSIDL_APPDATA, L"Opera Software\\Opera Next", true},
    {L"Opera Developer", CSIDL_APPDATA, L"Opera Software\\Opera Developer", true},
};

// The Firefox family: each keeps its own profiles.ini in `roaming` and the
// caches of its profiles in the same place below Local AppData (`local`).
struct FirefoxBrowser {
    const wchar_t* name;
    int csidl;  // the known folder of `roaming`
    const wchar_t* roaming;
    const wchar_t* local;  // below Local AppData
};

const FirefoxBrowser kFirefoxBrowsers[] = {
    {L"Firefox", CSIDL_APPDATA, L"Mozilla\\Firefox", L"Mozilla\\Firefox"},
    {L"Firefox (Microsoft Store)", CSIDL_LOCAL_APPDATA,
     L"Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Roaming\\Mozilla\\Firefox",
     L"Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Local\\Mozilla\\Firefox"},
    {L"LibreWolf", CSIDL_APPDATA, L"librewolf", L"librewolf"},
    {L"Waterfox", CSIDL_APPDATA, L"Waterfox", L"Waterfox"},
    {L"Zen", CSIDL_APPDATA, L"zen", L"zen"},
    {L"Floorp", CSIDL_APPDATA, L"Floorp", L"Floorp"},
};

// Files only a profile folder holds: older Opera kept its profile in
// "Opera Stable" itself rather than in "Opera Stable\\Default".
bool HoldsProfileData(const std::wstring& folder) {
    for (const wchar_t* name : {L"History", L"Cookies", L"Network\\Cookies", L"Web Data"})
        if (IsExistingFile(folder + name)) return true;
    return false;
}

// The folder of `path` and where it leads when the way there is no plain one.
std::optional<ProfileLink> LinkOf(const std::wstring& path) {
    if (path.empty()) return std::nullopt;
    RouteCheck check = CheckPathRoute(path);
    if (check.route == PathRoute::kDirect || check.route == PathRoute::kMissing)
        return std::nullopt;
    return ProfileLink{path, check.finalPath};
}

// profiles.ini as sections of key/value pairs (UTF-8, as Firefox writes it).
using IniSection = std::vector<std::pair<std::string, std::string>>;
std::vector<std::pair<std::string, IniSection>> ReadIni(const std::wstring& path) {
    std::vector<std::pair<std::string, IniSection>> sections;
    std::string bytes;
    if (ReadByteFile(path, bytes) != ERROR_SUCCESS) return sections;
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    for (std::string_view line : SplitLinesKeepingEnds(bytes)) {
        std::string text(LineText(line));
        size_t start = text.find_first_not_of(" \t");
        if (start == std::string::npos || text[start] == ';' || text[start] == '#') continue;
        text.erase(0, start);
        if (text[0] == '[') {
            size_t end = text.find(']');
            sections.emplace_back(
                text.substr(1, end == std::string::npos ? std::string::npos : end - 1),
                IniSection{});
            continue;
        }
        size_t equals = text.find('=');
        if (equals == std::string::npos || sections.empty()) continue;
        std::string key = text.substr(0, equals);
        key.erase(key.find_last_not_of(" \t") + 1);
        std::string value = text.substr(equals + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        sections.back().second.emplace_back(key, value);
    }
    return sections;
}

std::string IniValue(const IniSection& section, const char* key) {
    for (const auto& [name, value] : section)
        if (_stricmp(name.c_str(), key) == 0) return value;
    return {};
}

}  // namespace

BrowserProfiles ChromiumProfilesIn(const std::wstring& browser, const std::wstring& userData,
                                   const std::wstring& cacheRoot) {
    BrowserProfiles profiles;
    std::set<std::wstring> seen;
    auto add = [&](const std::wstring& folderName, const std::wstring& shown) {
        if (!IsPlainFolderName(folderName) || !seen.insert(Lower(folderName)).second) return;
        const std::wstring folder = userData + folderName + L"\\";
        if (!IsFolderOrLink(folder)) return;
        BrowserProfile profile;
        profile.browser = browser;
        profile.name =
            shown.empty() || shown == folderName ? folderName : shown + L" (" + folderName + L")";
        profile.folder = folder;
        profile.cacheFolder = cacheRoot + folderName + L"\\";
        profile.lockFile = userData + L"lockfile";
        profile.userData = userData;
        profile.userDataCache = cacheRoot;
        profiles.push_back(std::move(profile));
    };
    for (const auto& [folderName, shown] : InfoCache(userData)) add(folderName, shown);
    for (const std::wstring& name : SubFolders(userData, IsChromiumProfileFolderName))
        add(name, L"");
    return profiles;
}

BrowserProfiles FindChromiumProfiles() {
    BrowserProfiles profiles;
    const std::wstring local = KnownFolder(CSIDL_LOCAL_APPDATA);
    for (const ChromiumBrowser& browser : kChromiumBrowsers) {
        const std::wstring base = KnownFolder(browser.csidl);
        if (base.empty() || local.empty()) continue;
        const std::wstring folder = base + browser.path + L"\\";
        if (!IsFolderOrLink(folder)) continue;
        const std::wstring cacheRoot = browser.opera ? local + browser.path + L"\\" : folder;
        BrowserProfiles found = ChromiumProfilesIn(browser.name, folder, cacheRoot);
        if (browser.opera && (found.empty() || HoldsProfileData(folder))) {
            BrowserProfile profile;
            profile.browser = browser.name;
            profile.name = folder.substr(0, folder.size() - 1);
            profile.name = profile.name.substr(profile.name.rfind(L'\\') + 1);
            profile.folder = folder;
            profile.cacheFolder = cacheRoot;
            profile.lockFile = folder + L"lockfile";
            profile.userData = folder;
            profile.userDataCache = cacheRoot;
            found.insert(found.begin(), std::move(profile));
        }
        profiles.insert(profiles.end(), found.begin(), found.end());
    }
    return profiles;
}

BrowserProfiles FirefoxProfilesIn(const std::wstring& browser, const std::wstring& appDataRoot,
                                  const std::wstring& localRoot) {
    BrowserProfiles profiles;
    std::set<std::wstring> seen;
    auto add = [&](std::wstring folder, const std::wstring& shown) {
        folder = WithSlash(folder);
        wchar_t full[MAX_PATH * 2] = {};
        DWORD length = GetFullPathNameW(folder.c_str(), MAX_PATH * 2, full, nullptr);
        if (length > 0 && length < MAX_PATH * 2) folder = WithSlash(full);
        if (!IsFolderOrLink(folder) || !seen.insert(Lower(folder)).second) return;
        BrowserProfile profile;
        profile.browser = browser;
        profile.folder = folder;
        std::wstring folderName = folder.substr(0, folder.size() - 1);
        folderName = folderName.substr(folderName.rfind(L'\\') + 1);
        profile.name = shown.empty() ? folderName : shown;
        // A profile inside the roaming Firefox folder keeps its caches in the
        // same place below Local AppData; one elsewhere keeps them at home.
        const std::wstring lowerFolder = Lower(folder);
        const std::wstring lowerRoot = Lower(appDataRoot);
        profile.cacheFolder = lowerFolder.rfind(lowerRoot, 0) == 0 && !localRoot.empty()
                                  ? localRoot + folder.substr(appDataRoot.size())
                                  : folder;
        profile.lockFile = folder + L"parent.lock";
        profile.userData = appDataRoot;
        profile.userDataCache = localRoot;
        profiles.push_back(std::move(profile));
    };
    for (const auto& [name, section] : ReadIni(appDataRoot + L"profiles.ini")) {
        if (_strnicmp(name.c_str(), "Profile", 7) != 0) continue;
        std::wstring path = FromUtf8(IniValue(section, "Path"));
        if (path.empty()) continue;
        std::replace(path.begin(), path.end(), L'/', L'\\');
        const bool relative = IniValue(section, "IsRelative") != "0";
        add(relative ? appDataRoot + path : path, FromUtf8(IniValue(section, "Name")));
    }
    const std::wstring base = appDataRoot + L"Profiles\\";
    for (const std::wstring& name : SubFolders(base, [](const std::wstring&) { return true; }))
        add(base + name, L"");
    return profiles;
}

BrowserProfiles FindFirefoxProfileList() {
    BrowserProfiles profiles;
    const std::wstring local = KnownFolder(CSIDL_LOCAL_APPDATA);
    for (const FirefoxBrowser& browser : kFirefoxBrowsers) {
        const std::wstring base = KnownFolder(browser.csidl);
        if (base.empty()) continue;
        const std::wstring root = base + browser.roaming + L"\\";
        if (!IsFolderOrLink(root)) continue;
        BrowserProfiles found = FirefoxProfilesIn(
            browser.name, root, local.empty() ? std::wstring() : local + browser.local + L"\\");
        profiles.insert(profiles.end(), found.begin(), found.end());
    }
    return profiles;
}

std::optional<ProfileLink> FindProfileLink(const BrowserProfile& profile) {
    for (const std::wstring* folder :
         {&profile.folder, &profile.cacheFolder, &profile.userData, &profile.userDataCache})
        if (std::optional<ProfileLink> link = LinkOf(*folder)) return link;
    return std::nullopt;
}

ProfileLock CheckProfileLock(const std::wstring& lockFile) {
    return IsFileInUse(lockFile) ? ProfileLock::kInUse : ProfileLock::kFree;
}

}  // namespace veltrane
