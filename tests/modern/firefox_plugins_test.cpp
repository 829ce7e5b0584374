// The Firefox plug-ins over profiles written with the browser's schemas:
// every profile found, bookmarks kept, the older places database, and the
// older cookie files still read beside today's profiles.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "modern_fixture.h"
#include "plugins/browser/firefox_plugins.h"
#include "plugins/browser/netscape_plugins.h"
#include "profile_rows.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

using ModernPlugins = ModernBrowsersTest;

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
    // What the user keeps beside the history.
    Survivors keep(FirefoxAbsolute(), {L"logins.json", L"key4.db", L"prefs.js",
                                       L"extensions\\trace-keeper@example.test.xpi",
                                       L"sessionCheckpoints.json", L"formhistory.sqlite"});
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

}  // namespace

}  // namespace veltrane
