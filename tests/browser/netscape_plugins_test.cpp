// The Netscape-family plug-ins as the kernel drives them over profiles of
// their own: their pages, a cancelled or locked clean, and the cookie
// keep-list with the scan page's toggles and the clean page's kept rows.
#include <gtest/gtest.h>

#include "netscape_fixture.h"
#include "plugin_harness.h"
#include "plugins/browser/netscape_files.h"
#include "plugins/browser/netscape_plugins.h"
#include "support/cancel_at_clean.h"
#include "support/keep_list_cases.h"
#include "support/test_registry.h"
#include "support/text_count.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring StoredKeepList() {
    std::wstring text;
    GetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, text);
    return text;
}

using NetscapePages = NetscapeTest;

TEST_F(NetscapePages, NothingInstalledScansCleanly) {
    PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
    ASSERT_TRUE(cookies.Scan());
    EXPECT_FALSE(cookies.RowFailed());
    EXPECT_NE(cookies.ScanPage().find(L"No items found."), std::wstring::npos);
}

TEST_F(NetscapePages, CookieRowsAreEscapedAndOrderedByCount) {
    std::wstring profile = MozillaProfile(L"default", L"s1.slt");
    WriteTestFile(profile + L"cookies.txt",
                  "# header\n.many.test\tTRUE\t/\tFALSE\t0\ta\t1\n"
                  "www.many.test\tTRUE\t/\tFALSE\t0\tb\t2\n"
                  "<b>odd.test\tTRUE\t/\tFALSE\t0\tc\t3\n"
                  "x#num#.test\tTRUE\t/\tFALSE\t0\td\t4\n");
    PluginHarness<CPlgNetscapeCookies> cookies(L"NetscapeCookies", PluginCategory::kNetscape);
    ASSERT_TRUE(cookies.Scan());
    std::wstring page = cookies.ScanPage();
    ExpectInOrder(page, L"<td>many.test</td><td>2</td>", L"<td>&lt;b&gt;odd.test</td><td>1</td>");
    EXPECT_EQ(page.find(L"<b>"), std::wstring::npos);
    // A name that looks like a placeholder is not filled in.
    EXPECT_NE(page.find(L"<td>x&#35;num&#35;.test</td><td>1</td>"), std::wstring::npos) << page;
    ASSERT_TRUE(cookies.Clean());
    EXPECT_EQ(CountOf(cookies.CleanPage(), L"Deleted"), 3u);
    EXPECT_EQ(ReadTestFile(profile + L"cookies.txt"), "# header\n");
}

TEST_F(NetscapePages, CancelledCookieCleanRewritesNothing) {
    std::wstring profile = MozillaProfile(L"default", L"s1.slt");
    const std::string cookieFile =
        "# header\n.a.test\tTRUE\t/\tFALSE\t0\ta\t1\n.b.test\tTRUE\t/\tFALSE\t0\tb\t2\n";
    WriteTestFile(profile + L"cookies.txt", cookieFile);
    PluginHarness<CancelAtClean<CPlgNetscapeCookies>> cookies(L"NetscapeCookies",
                                                              PluginCategory::kNetscape);
    ASSERT_TRUE(cookies.Scan());
    ASSERT_TRUE(cookies.Clean());
    EXPECT_EQ(ReadTestFile(profile + L"cookies.txt"), cookieFile);
    std::wstring page = cookies.CleanPage();
    EXPECT_EQ(CountOf(page, L"Not processed"), 2u) << page;
    EXPECT_EQ(CountOf(page, L"Deleted"), 0u);
    EXPECT_TRUE(cookies.Get().GetErrors().empty());
}

TEST_F(NetscapePages, LockedHistoryMarksEveryDomainForReboot) {
    std::wstring profile = MozillaProfile(L"default", L"s1.slt");
    WriteTestFile(profile + L"history.dat",
                  "(1=http://a.test/)(2=http://b.test/)(3=http://c.test/)");
    PluginHarness<CPlgNetscapeHistory> history(L"NetscapeHistory", PluginCategory::kNetscape, 2);
    ASSERT_TRUE(history.Scan());
    const std::wstring path = profile + L"history.dat";
    UniqueHandle holder = HoldOpen(path);
    ASSERT_TRUE(holder.IsValid());
    ASSERT_TRUE(history.Clean());
    holder.Close();

    std::wstring page = history.CleanPage();
    for (const wchar_t* id : {L"idError_1", L"idError_2", L"idError_3"})
        EXPECT_NE(page.find(id), std::wstring::npos) << page;
    EXPECT_EQ(CountOf(page, L"After reboot"), 3u) << page;
    const auto& errors = history.Get().GetErrors();
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].GetTitle(), errors[2].GetTitle());
    EXPECT_NE(errors[0].GetTitle().find(path), std::wstring::npos);
    EXPECT_TRUE(history.Kernel().IsRebootNeeded());
}

// Every domain row has a box. An unticked cookie row keeps its lines in
// every file; an unticked history row keeps its whole file, and with it the
// rows beside it, while a file of other rows still goes.
TEST_F(NetscapePages, UntickedRowsKeepTheirLinesAndTheirWholeFiles) {
    const std::wstring mozilla = MozillaProfile(L"default", L"s1.slt");
    const std::wstring firefox = FirefoxProfile(L"f1.default");
    WriteTestFile(mozilla + L"history.dat", "(1=http://kept.test/)(2=http://beside.test/)");
    WriteTestFile(firefox + L"history.dat", "(1=http://gone.test/)(2=http://gone.test/x)");
    const std::string cookies =
        "# header\n.kept.test\tTRUE\t/\tFALSE\t0\ta\t1\n"
        ".gone.test\tTRUE\t/\tFALSE\t0\tb\t2\n";
    WriteTestFile(mozilla + L"cookies.txt", cookies);
    WriteTestFile(firefox + L"cookies.txt", "www.kept.test\tTRUE\t/\tFALSE\t0\tc\t3\n");

    PluginHarness<CPlgNetscapeHistory> history(L"NetscapeHistory", PluginCategory::kNetscape);
    ASSERT_TRUE(history.Scan());
    const std::wstring historyKey = ItemKey(StoreRowItemRef(kNetscapeHistoryStore, L"kept.test"));
    std::wstring page = history.ScanPage();
    EXPECT_EQ(CountOf(page, L"data-item="), 3u) << page;
    EXPECT_NE(page.find(L"data-item=\"" + EscapeHtml(historyKey) +
                        L"\" data-in-group=\"plugin:NetscapeHistory\""),
              std::wstring::npos)
        << page;
    history.Kernel().SetKeptByYou({historyKey});
    ASSERT_TRUE(history.Clean());
    EXPECT_TRUE(FileExists(mozilla + L"history.dat"));
    EXPECT_FALSE(FileExists(firefox + L"history.dat"));
    const DomainMap& rows = history.Get().Domains();
    EXPECT_EQ(rows.at(L"kept.test").kept.kind, KeepVerdict::Kind::kKeptByYou);
    EXPECT_EQ(rows.at(L"beside.test").result, ItemOutcome::kKept);
    EXPECT_EQ(rows.at(L"gone.test").result, ItemOutcome::kRemoved);
    page = history.CleanPage();
    EXPECT_EQ(CountOf(page, L"Kept by you"), 2u) << page;

    PluginHarness<CPlgNetscapeCookies> cookieRows(L"NetscapeCookies", PluginCategory::kNetscape);
    ASSERT_TRUE(cookieRows.Scan());
    cookieRows.Kernel().SetKeptByYou(
        {ItemKey(StoreRowItemRef(kNetscapeCookiesStore, L"kept.test"))});
    ASSERT_TRUE(cookieRows.Clean());
    EXPECT_EQ(ReadTestFile(mozilla + L"cookies.txt"),
              "# header\n.kept.test\tTRUE\t/\tFALSE\t0\ta\t1\n");
    EXPECT_EQ(ReadTestFile(firefox + L"cookies.txt"), "www.kept.test\tTRUE\t/\tFALSE\t0\tc\t3\n");
    EXPECT_EQ(cookieRows.Get().Domains().at(L"kept.test").kept.kind, KeepVerdict::Kind::kKeptByYou);
    EXPECT_EQ(CountOf(cookieRows.CleanPage(), L"Kept by you"), 1u);
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
    // The report on show is redrawn through the window, as the report builds it.
    ASSERT_EQ(cookies.View().refilled.size(), 1u);
    EXPECT_EQ(CountOf(cookies.View().refilled[0].second, L"class=\"keep keep-on\""), 1u);

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

}  // namespace veltrane
