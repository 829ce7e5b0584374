// The ten plug-ins of today's browsers driven by a real kernel over profiles
// written with the browsers' schemas: what a scan counts, what a clean
// removes and keeps, profiles in use and damaged databases.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "modern_fixture.h"
#include "plugins/browser/chromium_plugins.h"
#include "plugins/browser/firefox_plugins.h"
#include "plugins/browser/netscape_plugins.h"
#include "plugins/plugin_list.h"
#include "support/keep_list_cases.h"
#include "support/test_links.h"
#include "sysaccess/text.h"

namespace {

// The row `name` of the profile at `index` (0-based, in the order found).
const DomainInfo* FindRow(const CProfileStorePlugin& plugin, size_t index,
                          const std::wstring& name) {
    for (const DomainInfo* row : plugin.OrderedView())
        if (row->profileIndex == static_cast<int>(index) + 1 && row->name == name) return row;
    return nullptr;
}
int Count(const CProfileStorePlugin& plugin, size_t index, const std::wstring& name) {
    const DomainInfo* row = FindRow(plugin, index, name);
    return row ? row->itemCount : -1;
}
// Every row of the profile took `result`.
bool AllRows(const CProfileStorePlugin& plugin, size_t index, DomainInfo::Result result) {
    bool any = false;
    for (const DomainInfo* row : plugin.OrderedView()) {
        if (row->profileIndex != static_cast<int>(index) + 1) continue;
        if (row->result != result) return false;
        any = true;
    }
    return any;
}
size_t ProfileIndex(const CProfileStorePlugin& plugin, const std::wstring& folder) {
    for (size_t i = 0; i < plugin.Profiles().size(); ++i)
        if (_wcsicmp(plugin.Profiles()[i].profile.folder.c_str(), folder.c_str()) == 0) return i;
    return SIZE_MAX;
}

// Files a clean must leave byte for byte as they were.
class Survivors {
public:
    explicit Survivors(std::vector<std::wstring> paths) : paths_(std::move(paths)) {
        for (const std::wstring& path : paths_) bytes_.push_back(FileBytes(path));
    }
    void ExpectUnchanged() const {
        for (size_t i = 0; i < paths_.size(); ++i) {
            EXPECT_TRUE(FileExists(paths_[i])) << ToUtf8(paths_[i]);
            EXPECT_EQ(FileBytes(paths_[i]), bytes_[i]) << ToUtf8(paths_[i]);
        }
    }

private:
    std::vector<std::wstring> paths_;
    std::vector<std::string> bytes_;
};

std::vector<std::wstring> ChromiumKeepers(const std::wstring& profile) {
    std::vector<std::wstring> paths;
    for (const wchar_t* name : {L"Bookmarks", L"Login Data", L"Login Data For Account",
                                L"Preferences", L"Secure Preferences", L"Web Data"})
        paths.push_back(profile + name);
    return paths;
}
std::vector<std::wstring> FirefoxKeepers(const std::wstring& profile) {
    std::vector<std::wstring> paths;
    for (const wchar_t* name :
         {L"logins.json", L"key4.db", L"prefs.js", L"extensions\\trace-keeper@example.test.xpi",
          L"sessionCheckpoints.json", L"formhistory.sqlite"})
        paths.push_back(profile + name);
    return paths;
}

using ModernPlugins = ModernBrowsersTest;

TEST_F(ModernPlugins, ChromiumHistoryKeepsBookmarkedPagesAndEverythingElseGoes) {
    PluginHarness<CPlgChromiumHistory> history(L"ChromiumHistory", PluginCategory::kChromium);
    ASSERT_TRUE(history.Scan());
    const CPlgChromiumHistory& plugin = history.Get();
    // Default from the disk and Local State, Work from Local State only, Edge.
    ASSERT_EQ(plugin.Profiles().size(), 3u);
    EXPECT_EQ(plugin.Profiles()[1].profile.folder, ChromeWork());
    EXPECT_EQ(plugin.Profiles()[2].profile.browser, L"Microsoft Edge");
    for (size_t profile = 0; profile < 3; ++profile) {
        EXPECT_EQ(Count(plugin, profile, L"example.com"), 2);
        EXPECT_EQ(Count(plugin, profile, L"news.site.org"), 1);
        EXPECT_EQ(Count(plugin, profile, L"bookmarked.test"), 1);
        EXPECT_EQ(Count(plugin, profile, L"account-bookmarked.test"), 1);
        EXPECT_EQ(Count(plugin, profile, L"files.test"), seeded::kChromiumDownloads);
        EXPECT_EQ(Count(plugin, profile, L"Favicons"), seeded::kChromiumUnbookmarkedIcons);
        EXPECT_EQ(Count(plugin, profile, L"Top Sites"), 2);  // with its journal
        EXPECT_EQ(Count(plugin, profile, L"Visited Links"), 1);
    }
    const std::wstring page = history.ScanPage();
    EXPECT_NE(page.find(L"Google Chrome - Person 1 (Default)"), std::wstring::npos) << page;
    EXPECT_NE(page.find(L"<td>example.com</td><td>2</td>"), std::wstring::npos) << page;
    EXPECT_NE(page.find(L"Total: 3 profiles"), std::wstring::npos) << page;

    Survivors keep(ChromiumKeepers(ChromeDefault()));
    ASSERT_TRUE(history.Clean());
    EXPECT_FALSE(history.RowFailed());
    const std::wstring db = ChromeWork() + L"History";
    for (size_t profile = 0; profile < 3; ++profile)
        EXPECT_TRUE(AllRows(plugin, profile, DomainInfo::kDeleted)) << profile;
    // Bookmarked pages stay, those of the account's bookmarks too.
    EXPECT_EQ(QueryOne(db,
                       "SELECT group_concat(url||' '||visit_count||' '||last_visit_time) "
                       "FROM urls"),
              L"https://bookmarked.test/ 0 0,https://account-bookmarked.test/ 0 0");
    for (const char* table :
         {"visits", "visit_source", "keyword_search_terms", "downloads", "downloads_url_chains",
          "downloads_slices", "segments", "segment_usage", "content_annotations"})
        EXPECT_EQ(CountRows(db, table), 0) << table;
    EXPECT_EQ(QueryOne(db, "PRAGMA integrity_check"), L"ok");
    EXPECT_FALSE(BytesContain(db, seeded::kChromiumHistoryMarker));
    EXPECT_FALSE(BytesContain(db, seeded::kChromiumSearchMarker));
    const std::wstring icons = ChromeWork() + L"Favicons";
    EXPECT_EQ(QueryOne(icons, "SELECT group_concat(page_url) FROM icon_mapping"),
              L"https://bookmarked.test/,https://account-bookmarked.test/");
    EXPECT_EQ(CountRows(icons, "favicons"), 2);
    EXPECT_EQ(CountRows(icons, "favicon_bitmaps"), 2);
    EXPECT_EQ(QueryOne(icons, "PRAGMA integrity_check"), L"ok");
    for (const wchar_t* gone : {L"Visited Links", L"Top Sites", L"Top Sites-journal", L"Shortcuts"})
        EXPECT_FALSE(FileExists(EdgeDefault() + gone)) << ToUtf8(gone);
    keep.ExpectUnchanged();
}

TEST_F(ModernPlugins, FirefoxHistoryFindsEveryProfileAndKeepsBookmarks) {
    PluginHarness<CPlgFirefoxHistory> history(L"FirefoxHistory", PluginCategory::kFirefox);
    ASSERT_TRUE(history.Scan());
    const CPlgFirefoxHistory& plugin = history.Get();
    const size_t relative = ProfileIndex(plugin, FirefoxRelative());
    const size_t absolute = ProfileIndex(plugin, FirefoxAbsolute());
    ASSERT_NE(relative, SIZE_MAX);
    ASSERT_NE(absolute, SIZE_MAX);
    for (size_t profile : {relative, absolute}) {
        EXPECT_EQ(Count(plugin, profile, L"mozilla.test"), 2);
        EXPECT_EQ(Count(plugin, profile, L"ff-history.test"), 1);
        EXPECT_EQ(Count(plugin, profile, L"bookmarked-ff.test"), 1);  // visited: reset
        EXPECT_EQ(Count(plugin, profile, L"unvisited-bm.test"), -1);  // nothing to do
        EXPECT_EQ(Count(plugin, profile, L"Favicons"), seeded::kFirefoxUnbookmarkedIcons);
    }
    const std::wstring places = FirefoxAbsolute() + L"places.sqlite";
    const std::wstring bookmarks = QueryOne(places,
                                            "SELECT group_concat(id||':'||ifnull(fk,'')"
                                            "||':'||ifnull(title,'')) FROM moz_bookmarks");
    Survivors keep(FirefoxKeepers(FirefoxAbsolute()));
    ASSERT_TRUE(history.Clean());
    EXPECT_FALSE(history.RowFailed());
    EXPECT_TRUE(AllRows(plugin, relative, DomainInfo::kDeleted));
    EXPECT_TRUE(AllRows(plugin, absolute, DomainInfo::kDeleted));
    for (const std::wstring& db : {places, FirefoxRelative() + L"places.sqlite"}) {
        EXPECT_EQ(QueryOne(db,
                           "SELECT group_concat(url||' '||visit_count||' '||frecency||' '||"
                           "ifnull(last_visit_date,'-')) FROM moz_places ORDER BY id"),
                  // The unvisited bookmark was listed by no row: it stays as it was.
                  L"https://bookmarked-ff.test/ 0 0 -,https://unvisited-bm.test/ 0 50 -");
        EXPECT_EQ(QueryOne(db,
                           "SELECT group_concat(id||':'||ifnull(fk,'')||':'||ifnull(title,''))"
                           " FROM moz_bookmarks"),
                  bookmarks);
        for (const char* table : {"moz_historyvisits", "moz_annos", "moz_places_metadata"})
            EXPECT_EQ(CountRows(db, table), 0) << table;
        EXPECT_EQ(QueryOne(db, "SELECT group_concat(host) FROM moz_origins ORDER BY id"),
                  L"bookmarked-ff.test,unvisited-bm.test");
        // Kept pages and their sites are reset completely: how they were
        // typed and found, and the statistics Firefox keeps of them.
        EXPECT_EQ(CountRows(db, "moz_inputhistory"), 0);
        EXPECT_EQ(QueryOne(db,
                           "SELECT count(*) FROM moz_places WHERE url = "
                           "'https://bookmarked-ff.test/' AND (typed OR frecency OR "
                           "alt_frecency IS NOT NULL OR NOT recalc_frecency)"),
                  L"0");
        EXPECT_EQ(QueryOne(db,
                           "SELECT count(*) FROM moz_origins WHERE host = 'bookmarked-ff.test' "
                           "AND (frecency OR alt_frecency IS NOT NULL OR NOT recalc_frecency)"),
                  L"0");
        EXPECT_EQ(QueryOne(db, "SELECT group_concat(key) FROM moz_meta"), L"sync/history/syncId");
        EXPECT_EQ(QueryOne(db, "PRAGMA integrity_check"), L"ok");
        EXPECT_FALSE(BytesContain(db, seeded::kFirefoxHistoryMarker));
        EXPECT_FALSE(BytesContain(db + L"-wal", seeded::kFirefoxHistoryMarker));
    }
    const std::wstring icons = FirefoxRelative() + L"favicons.sqlite";
    EXPECT_EQ(QueryOne(icons, "SELECT group_concat(page_url) FROM moz_pages_w_icons"),
              L"https://bookmarked-ff.test/");
    // The site's root icon is linked to no page, and stays with its bookmark.
    EXPECT_EQ(QueryOne(icons, "SELECT group_concat(icon_url) FROM moz_icons ORDER BY id"),
              L"https://bookmarked-ff.test/icon.png," + FromUtf8(seeded::kFirefoxKeptRootIcon));
    EXPECT_FALSE(BytesContain(icons, seeded::kFirefoxHistoryMarker));
    keep.ExpectUnchanged();
}

TEST_F(ModernPlugins, FormsSessionsAndCachesGoAndTheirNeighboursStay) {
    PluginHarness<CPlgChromiumFormData> chromeForms(L"ChromiumFormData", PluginCategory::kChromium);
    PluginHarness<CPlgFirefoxFormHistory> firefoxForms(L"FirefoxFormHistory",
                                                       PluginCategory::kFirefox);
    PluginHarness<CPlgChromiumSessions> chromeSessions(L"ChromiumSessions",
                                                       PluginCategory::kChromium);
    PluginHarness<CPlgFirefoxSessions> firefoxSessions(L"FirefoxSessions",
                                                       PluginCategory::kFirefox);
    PluginHarness<CPlgChromiumCache> chromeCache(L"ChromiumCache", PluginCategory::kChromium);
    PluginHarness<CPlgFirefoxCache> firefoxCache(L"FirefoxCache", PluginCategory::kFirefox);
    ASSERT_TRUE(chromeForms.Scan());
    ASSERT_TRUE(firefoxForms.Scan());
    ASSERT_TRUE(chromeSessions.Scan());
    ASSERT_TRUE(firefoxSessions.Scan());
    ASSERT_TRUE(chromeCache.Scan());
    ASSERT_TRUE(firefoxCache.Scan());
    EXPECT_EQ(Count(chromeForms.Get(), 0, L"email"), 2);
    EXPECT_EQ(Count(chromeForms.Get(), 0, L"q"), 1);
    EXPECT_EQ(Count(chromeForms.Get(), 0, L"Addresses"), 1);  // this computer's only
    const size_t ffRelative = ProfileIndex(firefoxForms.Get(), FirefoxRelative());
    EXPECT_EQ(Count(firefoxForms.Get(), ffRelative, L"searchbar-history"), 1);
    EXPECT_EQ(Count(firefoxForms.Get(), ffRelative, L"email"), 2);
    EXPECT_EQ(Count(chromeSessions.Get(), 0, L"Sessions"), 2);
    EXPECT_EQ(Count(chromeSessions.Get(), 0, L"Current Session"), 1);
    EXPECT_EQ(Count(chromeSessions.Get(), 0, L"Last Tabs"), 1);
    EXPECT_EQ(Count(firefoxSessions.Get(), ffRelative, L"sessionstore.jsonlz4"), 1);
    EXPECT_EQ(Count(firefoxSessions.Get(), ffRelative, L"sessionstore-backups"), 4);
    EXPECT_EQ(Count(chromeCache.Get(), 0, L"Cache"), 3);
    EXPECT_EQ(Count(chromeCache.Get(), 0, L"Code Cache"), 1);
    EXPECT_EQ(Count(chromeCache.Get(), 0, L"GPUCache"), 1);
    EXPECT_EQ(Count(chromeCache.Get(), 0, L"ShaderCache (all profiles)"), 1);
    EXPECT_EQ(Count(chromeCache.Get(), 1, L"ShaderCache (all profiles)"), -1);  // listed once
    EXPECT_EQ(Count(firefoxCache.Get(), ffRelative, L"cache2"), 3);

    Survivors chromeKeep({ChromeDefault() + L"Bookmarks", ChromeDefault() + L"Login Data",
                          ChromeDefault() + L"Preferences", ChromeDefault() + L"History",
                          Chrome() + L"Local State"});
    Survivors firefoxKeep({FirefoxRelative() + L"logins.json", FirefoxRelative() + L"key4.db",
                           FirefoxRelative() + L"sessionCheckpoints.json",
                           FirefoxRelative() + L"places.sqlite", FirefoxRoot() + L"profiles.ini"});
    ASSERT_TRUE(chromeForms.Clean());
    ASSERT_TRUE(firefoxForms.Clean());
    ASSERT_TRUE(chromeSessions.Clean());
    ASSERT_TRUE(firefoxSessions.Clean());
    ASSERT_TRUE(chromeCache.Clean());
    ASSERT_TRUE(firefoxCache.Clean());
    for (auto failed :
         {chromeForms.RowFailed(), firefoxForms.RowFailed(), chromeSessions.RowFailed(),
          firefoxSessions.RowFailed(), chromeCache.RowFailed(), firefoxCache.RowFailed()})
        EXPECT_FALSE(failed);

    const std::wstring webData = ChromeDefault() + L"Web Data";
    EXPECT_EQ(CountRows(webData, "autofill"), 0);
    // Today's saved addresses: this computer's go, the Google account's stay.
    EXPECT_EQ(QueryOne(webData, "SELECT group_concat(record_type) FROM addresses"), L"1");
    EXPECT_EQ(QueryOne(webData, "SELECT group_concat(value) FROM address_type_tokens"),
              FromUtf8(seeded::kAccountAddressMarker));
    EXPECT_FALSE(BytesContain(webData, seeded::kLocalAddressMarker));
    EXPECT_EQ(CountRows(webData, "keywords"), 1);      // the search engines
    EXPECT_EQ(CountRows(webData, "credit_cards"), 1);  // payment settings are not form history
    EXPECT_FALSE(BytesContain(webData, seeded::kFormMarker));
    const std::wstring formHistory = FirefoxAbsolute() + L"formhistory.sqlite";
    for (const char* table : {"moz_formhistory", "moz_sources", "moz_history_to_sources"})
        EXPECT_EQ(CountRows(formHistory, table), 0) << table;
    EXPECT_FALSE(BytesContain(formHistory, seeded::kFirefoxFormMarker));
    EXPECT_EQ(QueryOne(formHistory, "PRAGMA integrity_check"), L"ok");

    for (const wchar_t* gone : {L"Sessions\\Session_13345678901234567", L"Current Session",
                                L"Last Tabs", L"Cache\\Cache_Data\\data_0", L"GPUCache\\data_1"})
        EXPECT_FALSE(FileExists(ChromeWork() + gone)) << ToUtf8(gone);
    EXPECT_FALSE(FileExists(Chrome() + L"ShaderCache\\data_0"));
    EXPECT_TRUE(FileExists(Chrome() + L"ShaderCache"));  // the folder itself stays
    for (const wchar_t* gone : {L"sessionstore.jsonlz4", L"sessionstore-backups\\recovery.jsonlz4",
                                L"sessionstore-backups\\upgrade.jsonlz4-20261201101500"})
        EXPECT_FALSE(FileExists(FirefoxAbsolute() + gone)) << ToUtf8(gone);
    EXPECT_FALSE(FileExists(FirefoxRelativeCache() + L"cache2\\index"));
    EXPECT_FALSE(FileExists(FirefoxAbsolute() + L"cache2\\index"));
    chromeKeep.ExpectUnchanged();
    firefoxKeep.ExpectUnchanged();
}

// Keep-list matching as both cookie plug-ins apply it to their databases.
template <typename Plugin>
void CheckKeepList(const wchar_t* id, PluginCategory category, const std::wstring& database,
                   bool chromium) {
    for (const KeepListCase& test : kKeepListCases) {
        const std::string host = ToUtf8(test.host);
        ASSERT_TRUE(chromium ? WriteChromiumCookies(database, {host, "other.test"})
                             : WriteFirefoxCookies(database, {host, "other.test"}));
        PluginHarness<Plugin> cookies(id, category);
        cookies.SetKeepList(test.entries);
        ASSERT_TRUE(cookies.Scan());
        ASSERT_TRUE(cookies.Clean());
        const std::string table = chromium ? "cookies" : "moz_cookies";
        const std::string column = chromium ? "host_key" : "host";
        EXPECT_EQ(QueryOne(database, "SELECT group_concat(" + column + ") FROM " + table),
                  test.kept ? std::wstring(test.host) : L"")
            << host << " / " << ToUtf8(test.entries);
        const DomainInfo* row = FindRow(cookies.Get(), 0, CookieRowName(test.host));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->result, test.kept ? DomainInfo::kKept : DomainInfo::kDeleted) << host;
        EXPECT_EQ(QueryOne(database, "PRAGMA integrity_check"), L"ok");
    }
}

TEST_F(ModernPlugins, CookiesOfKeptDomainsStayInBothBrowsers) {
    CheckKeepList<CPlgChromiumCookies>(L"ChromiumCookies", PluginCategory::kChromium,
                                       ChromeDefault() + L"Network\\Cookies", true);
    CheckKeepList<CPlgFirefoxCookies>(L"FirefoxCookies", PluginCategory::kFirefox,
                                      FirefoxRelative() + L"cookies.sqlite", false);
}

TEST_F(ModernPlugins, CookieScanCountsAndACleanLeavesNoValueBehind) {
    PluginHarness<CPlgChromiumCookies> chrome(L"ChromiumCookies", PluginCategory::kChromium);
    PluginHarness<CPlgFirefoxCookies> firefox(L"FirefoxCookies", PluginCategory::kFirefox);
    ASSERT_TRUE(chrome.Scan());
    ASSERT_TRUE(firefox.Scan());
    for (const CProfileStorePlugin* plugin :
         {static_cast<const CProfileStorePlugin*>(&chrome.Get()),
          static_cast<const CProfileStorePlugin*>(&firefox.Get())}) {
        EXPECT_EQ(Count(*plugin, 0, L"example.com"), 3);  // ".example.com" twice, "www."
        EXPECT_EQ(Count(*plugin, 0, L"shop.example.com"), 1);
        EXPECT_EQ(Count(*plugin, 0, L"keep.test"), 1);
    }
    chrome.SetKeepList(L"keep.test");
    ASSERT_TRUE(chrome.Clean());
    ASSERT_TRUE(firefox.Clean());
    const std::wstring chromeDb = ChromeDefault() + L"Network\\Cookies";
    EXPECT_EQ(QueryOne(chromeDb, "SELECT group_concat(host_key) FROM cookies"), L".keep.test");
    EXPECT_EQ(CountRows(FirefoxAbsolute() + L"cookies.sqlite", "moz_cookies"), 0);
    EXPECT_FALSE(BytesContain(FirefoxAbsolute() + L"cookies.sqlite", seeded::kCookieMarker));
    EXPECT_NE(chrome.CleanPage().find(L"keep.test"), std::wstring::npos);
}

TEST_F(ModernPlugins, AProfileInUseIsScannedButLeftAloneWithItsReason) {
    HeldLock chrome(Chrome() + L"lockfile");
    HeldLock firefox(FirefoxRelative() + L"parent.lock");
    ASSERT_TRUE(chrome.Holding());
    ASSERT_TRUE(firefox.Holding());
    const std::string chromeHistory = FileBytes(ChromeDefault() + L"History");
    const std::string firefoxPlaces = FileBytes(FirefoxRelative() + L"places.sqlite");

    PluginHarness<CPlgChromiumHistory> chromium(L"ChromiumHistory", PluginCategory::kChromium);
    ASSERT_TRUE(chromium.Scan());
    EXPECT_TRUE(chromium.Get().Profiles()[0].inUse);
    EXPECT_FALSE(chromium.Get().Profiles()[2].inUse);        // Edge
    EXPECT_EQ(Count(chromium.Get(), 0, L"example.com"), 2);  // still a readable preview
    EXPECT_NE(chromium.ScanPage().find(L"Google Chrome - Work (in use)"), std::wstring::npos);
    ASSERT_TRUE(chromium.Clean());
    EXPECT_TRUE(chromium.RowLeftItems());
    EXPECT_TRUE(AllRows(chromium.Get(), 0, DomainInfo::kError));
    EXPECT_TRUE(AllRows(chromium.Get(), 1, DomainInfo::kError));
    EXPECT_TRUE(AllRows(chromium.Get(), 2, DomainInfo::kDeleted));
    const DomainInfo* row = FindRow(chromium.Get(), 0, L"example.com");
    ASSERT_TRUE(row && row->error);
    EXPECT_NE(row->error->GetReason().find(L"Close Google Chrome and clean again"),
              std::wstring::npos)
        << ToUtf8(row->error->GetReason());
    EXPECT_EQ(FileBytes(ChromeDefault() + L"History"), chromeHistory);
    EXPECT_TRUE(FileExists(ChromeWork() + L"Visited Links"));

    PluginHarness<CPlgFirefoxHistory> gecko(L"FirefoxHistory", PluginCategory::kFirefox);
    ASSERT_TRUE(gecko.Scan());
    ASSERT_TRUE(gecko.Clean());
    const size_t relative = ProfileIndex(gecko.Get(), FirefoxRelative());
    const size_t absolute = ProfileIndex(gecko.Get(), FirefoxAbsolute());
    EXPECT_TRUE(AllRows(gecko.Get(), relative, DomainInfo::kError));
    EXPECT_TRUE(AllRows(gecko.Get(), absolute, DomainInfo::kDeleted));
    EXPECT_EQ(FileBytes(FirefoxRelative() + L"places.sqlite"), firefoxPlaces);
    EXPECT_NE(gecko.CleanPage().find(L"idError_"), std::wstring::npos);
}

TEST_F(ModernPlugins, ADamagedDatabaseFailsItsRowAndStaysAsItWas) {
    const std::wstring history = ChromeWork() + L"History";
    const std::string whole = FileBytes(history);
    const std::string truncated = whole.substr(0, whole.size() / 2);
    WriteTestFile(history, truncated);
    const std::wstring cookies = FirefoxAbsolute() + L"cookies.sqlite";
    RemoveTree(cookies + L"-wal");
    RemoveTree(cookies + L"-shm");
    const std::string text = "# Netscape HTTP Cookie File\n.example.com\tTRUE\t/\tFALSE\t0\tx\ty\n";
    WriteTestFile(cookies, text);

    PluginHarness<CPlgChromiumHistory> chromium(L"ChromiumHistory", PluginCategory::kChromium);
    ASSERT_TRUE(chromium.Scan());
    const DomainInfo* damaged = nullptr;
    for (const DomainInfo* row : chromium.Get().OrderedView())
        if (row->profileIndex == 2 && row->name.find(L"History (cannot be read") == 0)
            damaged = row;
    ASSERT_NE(damaged, nullptr);
    ASSERT_TRUE(chromium.Clean());
    EXPECT_EQ(damaged->result, DomainInfo::kError);
    ASSERT_TRUE(damaged->error);
    EXPECT_NE(damaged->error->GetReason().find(L"SQLite: "), std::wstring::npos);
    EXPECT_EQ(FileBytes(history), truncated);
    EXPECT_TRUE(AllRows(chromium.Get(), 0, DomainInfo::kDeleted));  // Default is cleaned

    PluginHarness<CPlgFirefoxCookies> firefox(L"FirefoxCookies", PluginCategory::kFirefox);
    ASSERT_TRUE(firefox.Scan());
    ASSERT_TRUE(firefox.Clean());
    const size_t absolute = ProfileIndex(firefox.Get(), FirefoxAbsolute());
    EXPECT_TRUE(AllRows(firefox.Get(), absolute, DomainInfo::kError));
    EXPECT_EQ(FileBytes(cookies), text);
    EXPECT_FALSE(FileExists(cookies + L"-journal"));
    EXPECT_EQ(CountRows(FirefoxRelative() + L"cookies.sqlite", "moz_cookies"), 0);
}

TEST_F(ModernPlugins, AStoreWhoseScanFailedIsLeftAsItWas) {
    // The browser held the cookie database while the scan read; it is free
    // by the time of the clean, which must still not empty what it never showed.
    const std::wstring cookies = ChromeDefault() + L"Network\\Cookies";
    PluginHarness<CPlgChromiumCookies> chrome(L"ChromiumCookies", PluginCategory::kChromium);
    {
        SqliteDb holder;
        ASSERT_TRUE(holder.Open(cookies, SqliteDb::Access::kReadWrite).Ok());
        ASSERT_TRUE(holder.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE").Ok());
        ASSERT_TRUE(chrome.Scan());
        holder.Exec("ROLLBACK");
    }
    const std::string before = FileBytes(cookies);
    ASSERT_TRUE(chrome.Clean());
    EXPECT_EQ(FileBytes(cookies), before);
    EXPECT_EQ(CountRows(cookies, "cookies"), seeded::kCookies);
    EXPECT_TRUE(AllRows(chrome.Get(), 0, DomainInfo::kError));
    const DomainInfo* row = chrome.Get().OrderedView().front();
    ASSERT_TRUE(row->error);
    EXPECT_NE(row->error->GetReason().find(L"The scan could not read it"), std::wstring::npos)
        << ToUtf8(row->error->GetReason());
    EXPECT_EQ(CountRows(ChromeWork() + L"Network\\Cookies", "cookies"), 0);  // read, so cleaned
}

TEST_F(ModernPlugins, ProfilesReachedThroughLinksAreListedAndLeftAlone) {
    // "Work", named in Local State, leads into a project folder; Edge was
    // moved to another folder and its User Data left as a link.
    ScopedTestFolder elsewhere(L"LinkedProfiles");
    ScopedFolderLinks links;
    const std::wstring project = elsewhere.Sub(L"Projects\\webapp");
    for (const wchar_t* name : {L"Cache\\build.bin", L"Sessions\\notes.txt", L"Shortcuts"})
        WriteTestFile(project + L"\\" + name, "the user's own work");
    RemoveTree(ChromeWork());
    const std::wstring work = ChromeWork().substr(0, ChromeWork().size() - 1);
    const std::wstring edge = Edge().substr(0, Edge().size() - 1);
    ASSERT_TRUE(MoveFileW(edge.c_str(), elsewhere.Sub(L"Edge").c_str()));
    ASSERT_TRUE(links.Make(work, project));
    ASSERT_TRUE(links.Make(edge, elsewhere.Sub(L"Edge")));
    const std::string edgeHistory = FileBytes(elsewhere.Sub(L"Edge\\Default\\History"));

    PluginHarness<CPlgChromiumSessions> sessions(L"ChromiumSessions", PluginCategory::kChromium);
    PluginHarness<CPlgChromiumHistory> history(L"ChromiumHistory", PluginCategory::kChromium);
    ASSERT_TRUE(sessions.Scan());
    ASSERT_TRUE(history.Scan());
    const CPlgChromiumHistory& plugin = history.Get();
    ASSERT_EQ(plugin.Profiles().size(), 3u);
    for (size_t profile : {size_t{1}, size_t{2}}) {
        ASSERT_TRUE(plugin.Profiles()[profile].link) << profile;
        EXPECT_EQ(Count(plugin, profile, L"example.com"), -1);  // nothing read through it
    }
    const std::wstring page = history.ScanPage();
    EXPECT_NE(page.find(L"Not cleaned: " + EscapeHtml(ChromeWork()) + L" is a link to "),
              std::wstring::npos)
        << page;
    EXPECT_NE(page.find(L"webapp"), std::wstring::npos);
    // Default turns into a link between the scan and the clean.
    const std::wstring defaultFolder = ChromeDefault().substr(0, ChromeDefault().size() - 1);
    ASSERT_TRUE(MoveFileW(defaultFolder.c_str(), elsewhere.Sub(L"Default").c_str()));
    ASSERT_TRUE(links.Make(defaultFolder, elsewhere.Sub(L"Default")));
    ASSERT_TRUE(sessions.Clean());
    ASSERT_TRUE(history.Clean());

    for (const wchar_t* name : {L"Cache\\build.bin", L"Sessions\\notes.txt", L"Shortcuts"})
        EXPECT_EQ(ReadTestFile(project + L"\\" + name), "the user's own work") << ToUtf8(name);
    EXPECT_EQ(FileBytes(elsewhere.Sub(L"Edge\\Default\\History")), edgeHistory);
    EXPECT_TRUE(FileExists(elsewhere.Sub(L"Default\\Sessions\\Session_13345678901234567")));
    for (size_t profile = 0; profile < 3; ++profile) {
        EXPECT_TRUE(AllRows(plugin, profile, DomainInfo::kError)) << profile;
        EXPECT_TRUE(AllRows(sessions.Get(), profile, DomainInfo::kError)) << profile;
    }
    const DomainInfo* changed = FindRow(plugin, 0, L"example.com");
    ASSERT_TRUE(changed && changed->error);
    EXPECT_EQ(changed->error->GetReason().rfind(L"Changed since the scan: ", 0), 0u)
        << ToUtf8(changed->error->GetReason());
    for (const DomainInfo* row : plugin.OrderedView())
        if (row->profileIndex == 2) {
            ASSERT_TRUE(row->error);
            EXPECT_NE(row->error->GetReason().find(L"reached through a link"), std::wstring::npos)
                << ToUtf8(row->error->GetReason());
        }
}

TEST_F(ModernPlugins, EdgeHeldWithNoWindowNamesStartupBoost) {
    HeldLock edge(Edge() + L"lockfile");
    ASSERT_TRUE(edge.Holding());
    PluginHarness<CPlgChromiumCookies> cookies(L"ChromiumCookies", PluginCategory::kChromium);
    ASSERT_TRUE(cookies.Scan());
    ASSERT_TRUE(cookies.Clean());
    EXPECT_TRUE(AllRows(cookies.Get(), 0, DomainInfo::kDeleted));
    const DomainInfo* row = FindRow(cookies.Get(), 2, L"example.com");
    ASSERT_TRUE(row && row->error);
    const std::wstring reason = row->error->GetReason();
    EXPECT_NE(reason.find(L"Close Microsoft Edge"), std::wstring::npos) << ToUtf8(reason);
    EXPECT_NE(reason.find(L"\"Startup boost\""), std::wstring::npos) << ToUtf8(reason);
    EXPECT_NE(reason.find(L"System and performance"), std::wstring::npos) << ToUtf8(reason);
}

TEST_F(ModernPlugins, OperaIsFoundInTodaysAndTheOlderLayoutWithItsRoamingCaches) {
    const std::wstring roaming = Known(CSIDL_APPDATA) + L"Opera Software\\";
    const std::wstring local = Local() + L"Opera Software\\";
    // Today: the profile in "Opera Stable\Default", GPUCache and the shader
    // caches in the roaming folder, the page cache in the local one.
    ASSERT_TRUE(WriteChromiumUserData(roaming + L"Opera Stable\\", {{L"Default", L"Default"}}));
    ASSERT_TRUE(WriteChromiumProfile(roaming + L"Opera Stable\\Default\\",
                                     local + L"Opera Stable\\Default\\",
                                     roaming + L"Opera Stable\\Default\\"));
    // Before: "Opera GX Stable" itself is the profile.
    ASSERT_TRUE(WriteChromiumProfile(roaming + L"Opera GX Stable\\", local + L"Opera GX Stable\\"));
    PluginHarness<CPlgChromiumHistory> history(L"ChromiumHistory", PluginCategory::kChromium);
    PluginHarness<CPlgChromiumCache> cache(L"ChromiumCache", PluginCategory::kChromium);
    ASSERT_TRUE(history.Scan());
    ASSERT_TRUE(cache.Scan());
    const size_t opera = ProfileIndex(history.Get(), roaming + L"Opera Stable\\Default\\");
    const size_t gx = ProfileIndex(history.Get(), roaming + L"Opera GX Stable\\");
    ASSERT_NE(opera, SIZE_MAX);
    ASSERT_NE(gx, SIZE_MAX);
    EXPECT_EQ(Count(history.Get(), opera, L"example.com"), 2);
    EXPECT_EQ(Count(history.Get(), gx, L"example.com"), 2);
    EXPECT_EQ(Count(cache.Get(), opera, L"Cache"), 3);
    EXPECT_EQ(Count(cache.Get(), opera, L"GPUCache (roaming)"), 1);
    EXPECT_EQ(Count(cache.Get(), opera, L"ShaderCache (all profiles, roaming)"), 1);
    EXPECT_EQ(Count(cache.Get(), gx, L"Cache"), 3);
    ASSERT_TRUE(history.Clean());
    ASSERT_TRUE(cache.Clean());
    EXPECT_TRUE(AllRows(history.Get(), opera, DomainInfo::kDeleted));
    EXPECT_FALSE(
        BytesContain(roaming + L"Opera Stable\\Default\\History", seeded::kChromiumHistoryMarker));
    for (const std::wstring& gone : {local + L"Opera Stable\\Default\\Cache\\Cache_Data\\data_0",
                                     roaming + L"Opera Stable\\Default\\GPUCache\\data_1",
                                     roaming + L"Opera Stable\\ShaderCache\\data_0",
                                     local + L"Opera GX Stable\\Cache\\Cache_Data\\data_0"})
        EXPECT_FALSE(FileExists(gone)) << ToUtf8(gone);
    RemoveTree(roaming);
    RemoveTree(local);
}

TEST_F(ModernPlugins, FirefoxBeforeVersion55LosesItsHostsAndIcons) {
    const std::wstring places = FirefoxAbsolute() + L"places.sqlite";
    RemoveTree(FirefoxAbsolute() + L"favicons.sqlite");
    ASSERT_TRUE(WriteFirefox54Places(places));
    PluginHarness<CPlgFirefoxHistory> history(L"FirefoxHistory", PluginCategory::kFirefox);
    ASSERT_TRUE(history.Scan());
    const size_t absolute = ProfileIndex(history.Get(), FirefoxAbsolute());
    EXPECT_EQ(Count(history.Get(), absolute, L"old-history.test"), 1);
    EXPECT_EQ(Count(history.Get(), absolute, L"Favicons"), 1);
    ASSERT_TRUE(history.Clean());
    EXPECT_TRUE(AllRows(history.Get(), absolute, DomainInfo::kDeleted));
    EXPECT_EQ(QueryOne(places, "SELECT group_concat(host||' '||typed) FROM moz_hosts"),
              L"kept-old.test 0");
    EXPECT_EQ(QueryOne(places, "SELECT group_concat(url) FROM moz_favicons"),
              L"https://kept-old.test/favicon.ico");
    EXPECT_FALSE(BytesContain(places, seeded::kFirefox54HistoryMarker));
    EXPECT_FALSE(BytesContain(places, seeded::kFirefox54IconMarker));
    EXPECT_FALSE(BytesContain(places, "old-history.test"));
    EXPECT_EQ(QueryOne(places, "PRAGMA integrity_check"), L"ok");
}

TEST_F(ModernPlugins, OlderFirefoxCookieFilesAreStillReadBesideCurrentProfiles) {
    // A current profile (cookies.sqlite, no cookies.txt) sorts before an old one.
    WriteTestFile(FirefoxRoot() + L"Profiles\\z9.old\\cookies.txt",
                  ".old-style.test\tTRUE\t/\tFALSE\t0\tid\t1\n");
    PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
    ASSERT_TRUE(cookies.Scan());
    EXPECT_FALSE(cookies.RowFailed());
    ASSERT_EQ(cookies.Get().Domains().count(L"old-style.test"), 1u);
    EXPECT_EQ(cookies.Get().Domains().size(), 1u);
}

// A plug-in whose category has no place in the window's list is invisible.
TEST(PluginList, EveryPluginHasItsPlaceInTheWindowAndItsPages) {
    const std::wstring html = std::wstring(kInstalledProgramFolder) + L"\\html\\";
    for (const wchar_t* area : {L"plugins_area.html", L"plugins_area_first.html"}) {
        const std::string page = ReadTestFile(html + L"Common\\" + area);
        ASSERT_FALSE(page.empty()) << ToUtf8(area);
        for (const PluginListEntry& entry : GetPluginListTable())
            EXPECT_NE(page.find("#" + ToUtf8(CategoryName(entry.identity.category)) + "#"),
                      std::string::npos)
                << ToUtf8(entry.identity.id) << " in " << ToUtf8(area);
    }
    for (const PluginListEntry& entry : GetPluginListTable()) {
        const std::wstring folder =
            html + L"English\\Plugins\\Plg" + std::wstring(entry.identity.id) + L"\\";
        for (const wchar_t* page : {L"name.html", L"description.html"})
            EXPECT_TRUE(FileExists(folder + page)) << ToUtf8(folder + page);
    }
}

}  // namespace
