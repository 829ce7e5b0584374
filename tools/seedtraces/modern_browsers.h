#pragma once
// Profiles of today's browsers with the databases and files they really
// write, for the seeder, the tests and the benchmark. The schemas follow
// Chromium's and Firefox's own sources: Chrome 120 (History, Favicons,
// Cookies), Chrome 134 and later (Web Data), Firefox 120 (places.sqlite
// schema 75, favicons, cookies and form history) and Firefox 54 (the
// places.sqlite of schema 36, with moz_hosts and moz_favicons).
#include <string>
#include <vector>

namespace veltrane {

// What one seeded profile holds, so that tests can count it.
namespace seeded {
// Chromium History: pages by domain (the bookmarked page included) and one
// download; "bookmarked.test" is in the Bookmarks file.
inline constexpr int kChromiumPages = 5;
inline constexpr int kChromiumDownloads = 1;
inline constexpr char kChromiumBookmarkedUrl[] = "https://bookmarked.test/";
// A page only the account's bookmarks (AccountBookmarks) hold.
inline constexpr char kChromiumAccountBookmarkedUrl[] = "https://account-bookmarked.test/";
inline constexpr char kChromiumHistoryMarker[] = "chromium-history-trace";
inline constexpr char kChromiumSearchMarker[] = "secret chromium search";
inline constexpr int kChromiumUnbookmarkedIcons = 2;
// Cookies: example.com (3: ".example.com" twice, "www.example.com"), and one
// each for shop.example.com, thisisanexample.com, example.com.evil.net, keep.test.
inline constexpr int kCookieRows = 5;
inline constexpr int kCookies = 7;
inline constexpr char kCookieMarker[] = "cookie-value-trace";
// Web Data: "email" twice, "q" once, one address of this computer ("1 Trace
// Street") and one of the Google account ("2 Account Road").
inline constexpr char kFormMarker[] = "secret form entry";
inline constexpr char kLocalAddressMarker[] = "1 Trace Street";
inline constexpr char kAccountAddressMarker[] = "2 Account Road";
// Firefox places: mozilla.test (2 pages), ff-history.test, bookmarked-ff.test
// (bookmarked and visited) and unvisited-bm.test (bookmarked, never visited).
inline constexpr int kFirefoxListedPages = 4;
inline constexpr char kFirefoxBookmarkedUrl[] = "https://bookmarked-ff.test/";
inline constexpr char kFirefoxUnvisitedBookmark[] = "https://unvisited-bm.test/";
inline constexpr char kFirefoxHistoryMarker[] = "firefox-history-trace";
inline constexpr int kFirefoxUnbookmarkedIcons = 2;
// favicons.sqlite also holds the root icons of bookmarked-ff.test (kept) and
// of ff-history.test (not bookmarked).
inline constexpr char kFirefoxKeptRootIcon[] = "https://bookmarked-ff.test/favicon.ico";
// places.sqlite of Firefox 54 (schema 36): old-history.test visited,
// kept-old.test bookmarked, with their hosts in moz_hosts and icons in moz_favicons.
inline constexpr char kFirefox54HistoryMarker[] = "firefox54-history-trace";
inline constexpr char kFirefox54IconMarker[] = "firefox54-icon-trace";
inline constexpr char kFirefoxFormMarker[] = "secret firefox search";
}  // namespace seeded

// A Chromium profile in `folder` (History, Favicons, Network\Cookies, Web
// Data, Bookmarks, AccountBookmarks, sessions, whole history files, caches
// below `cacheFolder`, GPUCache below `gpuCacheFolder` when given: Opera's
// roaming folder) beside what must survive: Login Data, Login Data For
// Account, Preferences, Secure Preferences.
bool WriteChromiumProfile(const std::wstring& folder, const std::wstring& cacheFolder,
                          std::wstring gpuCacheFolder = {});
// Local State listing `profiles` (folder name, shown name) and the shader
// caches of the User Data folder.
bool WriteChromiumUserData(const std::wstring& userData,
                           const std::vector<std::pair<std::wstring, std::wstring>>& profiles);

// A Firefox profile in `folder` (places, favicons, cookies, form history,
// sessions), its cache2 below `cacheFolder`, beside logins.json, key4.db,
// prefs.js and an extension that must survive.
bool WriteFirefoxProfile(const std::wstring& folder, const std::wstring& cacheFolder);
struct FirefoxIniProfile {
    std::wstring name;
    std::wstring path;  // "Profiles/x.default" when relative, else a full path
    bool relative = true;
};
bool WriteProfilesIni(const std::wstring& firefoxRoot, const std::vector<FirefoxIniProfile>& list);

// places.sqlite as Firefox 54 wrote it (see seeded::kFirefox54HistoryMarker).
bool WriteFirefox54Places(const std::wstring& path);

// places.sqlite with `places` pages and `visits` visits, `bookmarked` of the
// pages bookmarked; for the benchmark.
bool WriteLargePlaces(const std::wstring& path, int places, int visits, int bookmarked);

// Cookie databases with one cookie per entry of `hosts`, of every row the
// value "cookie-value-trace".
bool WriteChromiumCookies(const std::wstring& path, const std::vector<std::string>& hosts);
bool WriteFirefoxCookies(const std::wstring& path, const std::vector<std::string>& hosts);

// Runs `sql` on a database created at `path` (folders made on the way).
bool WriteDatabase(const std::wstring& path, const std::string& sql);

}  // namespace veltrane
