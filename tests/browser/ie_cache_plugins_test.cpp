// The IE cache, cookie and history plug-ins as the kernel drives them over
// WinInet's own cache: their pages, entries in use, the history folder, a
// store reached through a link, and the cookie keep-list.
#include <windows.h>

#include <shlobj.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "plugin_harness.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/url_cache.h"
#include "seedtraces/browser_traces.h"
#include "support/keep_list_cases.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "support/text_count.h"
#include "sysaccess/text.h"
#include "test_run.h"
#include "url_cache_fixture.h"

namespace veltrane {

namespace {

using IEPages = EmptyUrlCacheTest;

TEST_F(IEPages, EmptyScanAndCleanPages) {
    PluginHarness<CPlgIECache> cache(L"IEFileCache", PluginCategory::kIeAndAol);
    EXPECT_EQ(cache.ScanPage(), L"");  // nothing before a scan
    ASSERT_TRUE(cache.Scan());
    std::wstring scan = cache.ScanPage();
    EXPECT_NE(scan.find(L"No items found."), std::wstring::npos) << scan;
    EXPECT_NE(scan.find(L"Total: 0 domains"), std::wstring::npos) << scan;
    EXPECT_NE(scan.find(L"0 B"), std::wstring::npos) << scan;
    ASSERT_TRUE(cache.Clean());
    EXPECT_NE(cache.CleanPage().find(L"Nothing to clean"), std::wstring::npos);
}

TEST_F(IEPages, CachePageListsDomainsLargestFirst) {
    ASSERT_TRUE(AddCacheEntry(L"http://small.test/a", 500));
    ASSERT_TRUE(AddCacheEntry(L"http://www.large.test/a", 1000000));
    ASSERT_TRUE(AddCacheEntry(L"https://large.test/b", 234567));
    PluginHarness<CPlgIECache> cache(L"IEFileCache", PluginCategory::kIeAndAol);
    ASSERT_TRUE(cache.Scan());
    std::wstring page = cache.ScanPage();
    ExpectInOrder(page, L"<td>large.test</td><td>2</td><td>1.23 MB</td>",
                  L"<td>small.test</td><td>1</td><td>0.50 KB</td>");
    EXPECT_NE(page.find(L"Total: 2 domains</th><th>3</th><th>1.23 MB"), std::wstring::npos) << page;
    EXPECT_EQ(cache.Get().GetScanSummary().bytes, 1235067u);
}

TEST_F(IEPages, EntryInUseIsNumberedOnTheCleanPage) {
    ASSERT_TRUE(AddCacheEntry(L"http://a-free.test/x", 10));
    ASSERT_TRUE(AddCacheEntry(L"http://b-inuse.test/x", 10));
    ASSERT_TRUE(AddCacheEntry(L"http://c-inuse.test/x", 10));
    PluginHarness<CPlgIECache> cache(L"IEFileCache", PluginCategory::kIeAndAol);
    ASSERT_TRUE(cache.Scan());
    BYTE buffer[4096];
    for (const wchar_t* url : {L"http://b-inuse.test/x", L"http://c-inuse.test/x"}) {
        DWORD size = sizeof(buffer);
        ASSERT_TRUE(RetrieveUrlCacheEntryFileW(
            url, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer), &size, 0));
    }
    ASSERT_TRUE(cache.Clean());
    UnlockUrlCacheEntryFileW(L"http://b-inuse.test/x", 0);
    UnlockUrlCacheEntryFileW(L"http://c-inuse.test/x", 0);

    std::wstring page = cache.CleanPage();
    EXPECT_EQ(CountOf(page, L"Deleted"), 1u) << page;
    EXPECT_NE(page.find(L"id=\"idError_1\""), std::wstring::npos) << page;
    EXPECT_NE(page.find(L"id=\"idError_2\""), std::wstring::npos) << page;
    ASSERT_EQ(cache.Get().GetErrors().size(), 2u);
    EXPECT_EQ(cache.Get().GetCleanSummary().failed, 2u);
    EXPECT_TRUE(cache.RowLeftItems());
}

TEST_F(IEPages, HistoryPageAndHistoryFolder) {
    SYSTEMTIME local = {2026, 12, 1, 7, 0, 15, 0, 0};
    SYSTEMTIME utc;
    FILETIME older;
    FILETIME newer;
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &newer));
    local.wDay = 1;
    TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc);
    SystemTimeToFileTime(&utc, &older);
    ASSERT_TRUE(AddHistoryEntry(L"http://www.old.test/", &older));
    ASSERT_TRUE(AddHistoryEntry(L"http://new.test/a", &newer));
    wchar_t history[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, history, CSIDL_HISTORY, TRUE));
    const std::wstring dayFolder = std::wstring(history) + L"\\MSHist012026120720261208";
    WriteTestFile(dayFolder + L"\\visits.dat", "x");

    PluginHarness<CPlgIEHistory> plugin(L"IEHistory", PluginCategory::kIeAndAol);
    ASSERT_TRUE(plugin.Scan());
    std::wstring page = plugin.ScanPage();
    // Wine counts one hit for each committed entry.
    ExpectInOrder(page, L"<td>new.test</td><td>1</td><td>07-Dec-26 00:15</td>",
                  L"<td>old.test</td>");
    // The folder's files are a row of their own, as listed: what comes after the scan stays.
    EXPECT_NE(page.find(L"<td>" + EscapeHtml(history) + L"</td><td>0</td>"), std::wstring::npos)
        << page;
    const std::wstring stray = std::wstring(history) + L"\\after the scan.txt";
    WriteTestFile(stray, "written after the scan");
    ASSERT_TRUE(plugin.Clean());
    EXPECT_EQ(CountOf(plugin.CleanPage(), L"Deleted"), 3u);
    EXPECT_FALSE(FileExists(dayFolder));
    EXPECT_TRUE(FileExists(history));
    EXPECT_EQ(ReadTestFile(stray), "written after the scan");
    DeleteFileW(stray.c_str());
}

// A store folder that is reached through a link is not cleaned: WinInet
// would write its index and delete its files behind the link. The scan shows
// one row that names it, the clean fails it and touches no entry.
TEST_F(IEPages, StoreFolderReachedThroughALinkIsNotCleaned) {
    ASSERT_TRUE(AddCacheEntry(L"http://kept.test/a", 10));
    ScopedTestFolder base(L"IEStoreLink");
    MakeFolder(base.Sub(L"Elsewhere\\INetCache"));
    ScopedFolderLinks links;
    ASSERT_TRUE(links.Make(base.Sub(L"Local"), base.Sub(L"Elsewhere")));
    const std::wstring folders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    std::wstring before;
    ASSERT_TRUE(GetString(HKEY_CURRENT_USER, folders, L"Cache", before));
    SetString(HKEY_CURRENT_USER, folders, L"Cache", base.Sub(L"Local\\INetCache"));
    PluginHarness<CPlgIECache> cache(L"IEFileCache", PluginCategory::kIeAndAol);
    const bool scanned = cache.Scan();
    const std::wstring scanPage = cache.ScanPage();
    const bool cleaned = cache.Clean();
    SetString(HKEY_CURRENT_USER, folders, L"Cache", before);

    ASSERT_TRUE(scanned && cleaned);
    EXPECT_NE(scanPage.find(L"Not cleaned: " + base.Sub(L"Local\\INetCache")), std::wstring::npos)
        << scanPage;
    EXPECT_EQ(scanPage.find(L"kept.test"), std::wstring::npos) << scanPage;
    ASSERT_EQ(cache.Get().GetErrors().size(), 1u);
    EXPECT_NE(cache.Get().GetErrors()[0].GetReason().find(L"link"), std::wstring::npos)
        << cache.Get().GetErrors()[0].GetReason();
    EXPECT_TRUE(cache.RowLeftItems());
    EXPECT_TRUE(CacheEntryExists(L"http://kept.test/a"));
}

TEST(AccessDate, BeforeTheRuntimeEpochShowsItsStart) {
    FILETIME zero = {};
    struct tm local = {};
    time_t epoch = 0;
    localtime_s(&local, &epoch);
    wchar_t expected[64];
    wcsftime(expected, 64, L"%d-%b-%y %H:%M", &local);
    EXPECT_EQ(FormatAccessDate(zero), expected);
}

DomainMap CookieEntries() {
    DomainMap domains;
    TestRun run;
    EXPECT_EQ(EnumerateUrlCache(UrlCacheKind::kCookies, domains, run), CPlugin::kDone);
    return domains;
}

void EmptyCookieCache() {
    DomainMap domains = CookieEntries();
    TestRun run;
    EXPECT_EQ(DeleteUrlCacheDomains(UrlCacheKind::kCookies, domains, run), CPlugin::kDone);
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

}  // namespace

}  // namespace veltrane
