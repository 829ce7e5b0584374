// What every plug-in of today's browsers shares, driven by a real kernel in
// both families: forms, sessions and caches with their neighbours, the
// cookie keep-list, profiles in use, damaged or unreadable databases, and
// profiles reached through links.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "modern_fixture.h"
#include "plugins/browser/chromium_plugins.h"
#include "plugins/browser/firefox_plugins.h"
#include "profile_rows.h"
#include "support/keep_list_cases.h"
#include "support/test_links.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using ModernPlugins = ModernBrowsersTest;

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

// A file an exclusion names stays, in a row of single files as in a folder's
// row; a row of which nothing went says it was kept, and why.
TEST_F(ModernPlugins, FilesAnExclusionNamesStayInEveryKindOfRow) {
    PluginHarness<CPlgChromiumSessions> sessions(L"ChromiumSessions", PluginCategory::kChromium);
    sessions.Kernel().AddRunExclusions({L"file:" + ChromeWork() + L"Current Session",
                                        L"file:" + ChromeWork() + L"Sessions\\Tabs_*"});
    ASSERT_TRUE(sessions.Scan());
    ASSERT_TRUE(sessions.Clean());
    EXPECT_FALSE(sessions.RowFailed());
    EXPECT_TRUE(FileExists(ChromeWork() + L"Current Session"));
    EXPECT_FALSE(FileExists(ChromeWork() + L"Last Tabs"));
    EXPECT_FALSE(FileExists(ChromeWork() + L"Sessions\\Session_13345678901234567"));
    EXPECT_TRUE(FileExists(ChromeWork() + L"Sessions\\Tabs_13345678901234567"));
    const size_t work = ProfileIndex(sessions.Get(), ChromeWork());
    const DomainInfo* current = FindRow(sessions.Get(), work, L"Current Session");
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->result, DomainInfo::kKept);
    const DomainInfo* folder = FindRow(sessions.Get(), work, L"Sessions");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->result, DomainInfo::kDeleted);
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
        EXPECT_TRUE(holder.Exec("ROLLBACK").Ok());
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

}  // namespace

}  // namespace veltrane
