// The cookie keep-list in the IE and Netscape cookie plug-ins: the shared
// matching table through real scans and cleans, the keep toggles of the scan
// report and the kept rows of the clean report.
#include <gtest/gtest.h>

#include "netscape_fixture.h"
#include "plugin_harness.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/netscape_plugins.h"
#include "plugins/browser/url_cache.h"
#include "seedtraces/browser_traces.h"
#include "support/keep_list_cases.h"
#include "support/test_registry.h"
#include "support/text_count.h"
#include "sysaccess/text.h"
#include "test_run.h"

namespace {

std::wstring StoredKeepList() {
    std::wstring text;
    GetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, text);
    return text;
}

DomainMap CookieEntries() {
    DomainMap domains;
    TestRun run;
    EnumerateUrlCache(UrlCacheKind::kCookies, domains, run);
    return domains;
}

void EmptyCookieCache() {
    DomainMap domains = CookieEntries();
    TestRun run;
    DeleteUrlCacheDomains(UrlCacheKind::kCookies, domains, run);
}

class IECookieKeep : public testing::Test {
protected:
    void SetUp() override { EmptyCookieCache(); }
    void TearDown() override {
        EmptyCookieCache();
        ForgetKernelSettings();
    }
};

TEST_F(IECookieKeep, SharedTableDecidesWhichEntriesStay) {
    for (const KeepListCase& row : kKeepListCases) {
        SCOPED_TRACE(ToUtf8(row.host) + " with \"" + ToUtf8(row.entries) + "\"");
        EmptyCookieCache();
        // WinInet names its entries by host, without a leading dot.
        std::wstring host = row.host;
        if (host[0] == L'.') host.erase(0, 1);
        ASSERT_TRUE(AddCookie(L"http://" + host + L"/", L"id", L"1"));
        ASSERT_TRUE(AddCookie(L"http://gone.test/", L"id", L"2"));
        PluginHarness<CPlgIECookies> cookies(L"IECookies", PluginCategory::kIeAndAol);
        cookies.SetKeepList(row.entries);
        ASSERT_TRUE(cookies.Scan());
        ASSERT_TRUE(cookies.Clean());
        EXPECT_FALSE(cookies.RowFailed());

        DomainMap left = CookieEntries();
        EXPECT_EQ(left.count(L"gone.test"), 0u);
        EXPECT_EQ(left.size(), row.kept ? 1u : 0u);
        const std::wstring page = cookies.CleanPage();
        EXPECT_EQ(CountOf(page, L"status-kept"), row.kept ? 1u : 0u) << page;
        EXPECT_EQ(CountOf(page, L"status-deleted"), row.kept ? 1u : 2u) << page;
    }
}

TEST_F(IECookieKeep, DomainWithSomeEntriesKeptIsCleanedOfTheRest) {
    ASSERT_TRUE(AddCookie(L"http://www.mixed.test/", L"a", L"1"));
    ASSERT_TRUE(AddCookie(L"http://mixed.test/", L"b", L"2"));
    PluginHarness<CPlgIECookies> cookies(L"IECookies", PluginCategory::kIeAndAol);
    cookies.SetKeepList(L"www.mixed.test");
    ASSERT_TRUE(cookies.Scan());
    ASSERT_EQ(cookies.Get().Domains().size(), 1u);  // both are filed under mixed.test
    ASSERT_TRUE(cookies.Clean());
    EXPECT_EQ(cookies.Get().Domains().at(L"mixed.test").result, DomainInfo::kDeleted);
    DomainMap left = CookieEntries();
    ASSERT_EQ(left.size(), 1u);
    ASSERT_EQ(left.begin()->second.urlItems.size(), 1u);
    EXPECT_NE(left.begin()->second.urlItems[0].url.find(L"@www.mixed.test/"), std::wstring::npos);
}

class NetscapeCookieKeep : public NetscapeTest {
protected:
    void TearDown() override {
        ForgetKernelSettings();
        NetscapeTest::TearDown();
    }
    static std::string Line(const std::string& host, const std::string& value) {
        return host + "\tTRUE\t/\tFALSE\t2145916800\tname\t" + value + "\n";
    }
    static constexpr char kHeader[] = "# Netscape HTTP Cookie File\n\n";
};

TEST_F(NetscapeCookieKeep, SharedTableDecidesWhichLinesStay) {
    const std::wstring profile = FirefoxProfile(L"keep.default");
    for (const KeepListCase& row : kKeepListCases) {
        SCOPED_TRACE(ToUtf8(row.host) + " with \"" + ToUtf8(row.entries) + "\"");
        const std::string kept = Line(ToUtf8(row.host), "1");
        WriteTestFile(profile + L"cookies.txt",
                      kHeader + Line(".gone.test", "2") + kept + Line("www.gone.test", "3"));
        PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
        cookies.SetKeepList(row.entries);
        ASSERT_TRUE(cookies.Scan());
        ASSERT_TRUE(cookies.Clean());
        EXPECT_FALSE(cookies.RowFailed());
        // The file differs from what it was by the removed lines alone.
        EXPECT_EQ(ReadTestFile(profile + L"cookies.txt"), kHeader + (row.kept ? kept : ""));
        EXPECT_EQ(CountOf(cookies.CleanPage(), L"status-kept"), row.kept ? 1u : 0u);
    }
}

TEST_F(NetscapeCookieKeep, FileWithNothingToRemoveIsLeftAsItIs) {
    const std::wstring path = FirefoxProfile(L"keep.default") + L"cookies.txt";
    const std::string content = kHeader + Line(".kept.test", "1") + Line("kept.test", "2");
    WriteTestFile(path, content);
    PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
    cookies.SetKeepList(L"kept.test");
    ASSERT_TRUE(cookies.Scan());
    // Held open for reading only: a rewrite would fail the row.
    UniqueHandle holder = HoldOpen(path, FILE_SHARE_READ);
    ASSERT_TRUE(holder.IsValid());
    ASSERT_TRUE(cookies.Clean());
    holder.Close();
    EXPECT_FALSE(cookies.RowFailed());
    EXPECT_EQ(ReadTestFile(path), content);
    EXPECT_EQ(cookies.Get().Domains().at(L"kept.test").result, DomainInfo::kKept);
}

// Row N of the scan report, as its toggle is numbered.
std::wstring ToggleOf(const CDomainPlugin& plugin, const std::wstring& domain) {
    const DomainView& view = plugin.OrderedView();
    for (size_t n = 0; n < view.size(); ++n)
        if (view[n]->name == domain) return L"idKeep_" + std::to_wstring(n + 1);
    return L"";
}

TEST_F(NetscapeCookieKeep, ScanRowTogglesStoreTheListAndCleanShowsKeptRows) {
    const std::wstring path = FirefoxProfile(L"keep.default") + L"cookies.txt";
    const std::string kept = Line(".example.com", "1") + Line("shop.example.com", "2");
    WriteTestFile(path, kHeader + kept + Line(".other.test", "3"));
    PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
    ASSERT_TRUE(cookies.Scan());
    EXPECT_EQ(CountOf(cookies.ScanPage(), L"class=\"keep keep-off\""), 3u);

    CDomainPlugin& plugin = cookies.Get();
    plugin.OnReportClick(ToggleOf(plugin, L"example.com"), nullptr);
    EXPECT_EQ(StoredKeepList(), L"example.com");  // stored at once
    std::wstring page = cookies.ScanPage();
    EXPECT_EQ(CountOf(page, L"class=\"keep keep-on\""), 1u) << page;
    EXPECT_NE(page.find(L"Kept with example.com"), std::wstring::npos) << page;
    EXPECT_EQ(CountOf(page, L"class=\"keep keep-off\""), 1u) << page;

    // A row kept through its parent has no toggle of its own; out-of-range rows do nothing.
    plugin.OnReportClick(ToggleOf(plugin, L"shop.example.com"), nullptr);
    plugin.OnReportClick(L"idKeep_0", nullptr);
    plugin.OnReportClick(L"idKeep_99", nullptr);
    EXPECT_EQ(StoredKeepList(), L"example.com");
    plugin.OnReportClick(ToggleOf(plugin, L"other.test"), nullptr);
    EXPECT_EQ(StoredKeepList(), L"example.com;other.test");
    plugin.OnReportClick(ToggleOf(plugin, L"other.test"), nullptr);
    EXPECT_EQ(StoredKeepList(), L"example.com");

    ASSERT_TRUE(cookies.Clean());
    EXPECT_EQ(ReadTestFile(path), kHeader + kept);
    page = cookies.CleanPage();
    EXPECT_EQ(CountOf(page, L"status-kept"), 2u) << page;
    EXPECT_EQ(CountOf(page, L"status-deleted"), 1u) << page;
    EXPECT_EQ(page.find(L"idKeep_"), std::wstring::npos);  // no toggles after a clean
}

}  // namespace
