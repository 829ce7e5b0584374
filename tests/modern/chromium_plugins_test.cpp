// The Chromium family's plug-ins over profiles written with the browsers'
// schemas: history and what stays with bookmarks, Edge held in the
// background, and Opera in both of its layouts.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "modern_fixture.h"
#include "plugins/browser/chromium_plugins.h"
#include "profile_rows.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

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

    // What the user keeps beside the history.
    Survivors keep(ChromeDefault(), {L"Bookmarks", L"Login Data", L"Login Data For Account",
                                     L"Preferences", L"Secure Preferences", L"Web Data"});
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

}  // namespace

}  // namespace veltrane
