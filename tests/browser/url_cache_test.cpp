#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include "plugin_harness.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "plugins/browser/url_cache.h"
#include "seedtraces/browser_traces.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "support/text_count.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/text.h"
#include "test_run.h"
#include "url_cache_fixture.h"

namespace veltrane {

namespace {

class UrlCacheTest : public EmptyUrlCacheTest {
protected:
    static DomainMap Enumerate(UrlCacheKind kind, CPlugin::Result* result = nullptr) {
        DomainMap domains;
        TestRun run;
        const CPlugin::Result code = EnumerateUrlCache(kind, domains, run);
        if (result) *result = code;
        return domains;
    }
};

TEST_F(UrlCacheTest, EmptyCacheIsNoError) {
    for (UrlCacheKind kind :
         {UrlCacheKind::kFiles, UrlCacheKind::kCookies, UrlCacheKind::kHistory}) {
        SCOPED_TRACE(static_cast<int>(kind));
        CPlugin::Result result = CPlugin::kFailed;
        EXPECT_TRUE(Enumerate(kind, &result).empty());
        EXPECT_EQ(result, CPlugin::kDone);
    }
}

TEST_F(UrlCacheTest, EntriesAreSelectedByKindAndFiledByDomain) {
    ASSERT_TRUE(AddCacheEntry(L"http://www.example.com/a.html", 1000));
    ASSERT_TRUE(AddCacheEntry(L"https://example.com/b.css", 234));
    ASSERT_TRUE(AddCacheEntry(L"http://Example.com/c.png", 10));
    ASSERT_TRUE(AddCacheEntry(L"res://ieframe.dll/x.htm", 10));
    ASSERT_TRUE(AddCacheEntry(L"nocolonentry", 10));
    ASSERT_TRUE(AddCookie(L"http://www.cookie.test/", L"id", L"1"));
    ASSERT_TRUE(AddHistoryEntry(L"http://www.visited.test/page"));

    DomainMap files = Enumerate(UrlCacheKind::kFiles);
    ASSERT_EQ(files.count(L"example.com"), 1u);
    EXPECT_EQ(files[L"example.com"].itemCount, 2);
    EXPECT_EQ(files[L"example.com"].sizeSum, 1234u);
    EXPECT_EQ(files.count(L"Example.com"), 1u);
    EXPECT_EQ(files.count(L"System"), 1u);
    EXPECT_EQ(files.count(L"Unknown Domain"), 1u);
    EXPECT_EQ(files.count(L"cookie.test"), 0u);
    EXPECT_EQ(files.count(L"visited.test"), 0u);
    EXPECT_EQ(files.size(), 4u);

    DomainMap cookies = Enumerate(UrlCacheKind::kCookies);
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies.begin()->first, L"cookie.test");

    DomainMap history = Enumerate(UrlCacheKind::kHistory);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history.begin()->first, L"visited.test");
}

TEST_F(UrlCacheTest, EntryLargerThanTheFirstBufferIsFiled) {
    // 70,000 bytes of header information make the entry outgrow 64 KB.
    std::wstring header(70000, L'h');
    ASSERT_TRUE(AddCacheEntry(L"http://big.test/huge", 5, header));
    ASSERT_TRUE(AddCacheEntry(L"http://small.test/a", 5));
    CPlugin::Result result = CPlugin::kFailed;
    DomainMap files = Enumerate(UrlCacheKind::kFiles, &result);
    EXPECT_EQ(result, CPlugin::kDone);
    EXPECT_EQ(files.count(L"big.test"), 1u);
    EXPECT_EQ(files.count(L"small.test"), 1u);
}

TEST_F(UrlCacheTest, CancelIsSeenEveryHundredAndFirstEntry) {
    for (int i = 0; i < 150; ++i)
        ASSERT_TRUE(AddCacheEntry(L"http://many.test/" + std::to_wstring(i), 1));
    DomainMap domains;
    TestRun run;
    run.cancelAfterChecks = 0;
    EXPECT_EQ(EnumerateUrlCache(UrlCacheKind::kFiles, domains, run), 3);
    EXPECT_EQ(run.checks, 1);
    EXPECT_EQ(domains[L"many.test"].itemCount, 101);
}

TEST_F(UrlCacheTest, DeletionRemovesEntriesAndTheirFiles) {
    for (bool wipe : {false, true}) {
        const std::wstring url = wipe ? L"http://wiped.test/a" : L"http://plain.test/a";
        ASSERT_TRUE(AddCacheEntry(url, 70000));
        std::wstring localFile = CacheEntryLocalFile(url);
        ASSERT_FALSE(localFile.empty());
        ASSERT_TRUE(AddCookie(L"http://cookie.test/", L"c", L"1"));
        ASSERT_TRUE(AddHistoryEntry(L"http://visited.test/"));

        for (UrlCacheKind kind :
             {UrlCacheKind::kFiles, UrlCacheKind::kCookies, UrlCacheKind::kHistory}) {
            DomainMap domains = Enumerate(kind);
            ASSERT_FALSE(domains.empty());
            TestRun run;
            run.wipe = wipe;
            EXPECT_EQ(DeleteUrlCacheDomains(kind, domains, run), CPlugin::kDone);
            for (const auto& [name, domain] : domains) {
                EXPECT_EQ(domain.result, DomainInfo::kDeleted) << name;
                EXPECT_FALSE(domain.error) << name;
            }
            EXPECT_FALSE(run.rebootNeeded);
            EXPECT_TRUE(Enumerate(kind).empty());
        }
        EXPECT_FALSE(CacheEntryExists(url));
        EXPECT_FALSE(FileExists(localFile));
    }
}

TEST_F(UrlCacheTest, LockedFileThatCannotBeWipedIsLeftForReboot) {
    ASSERT_TRUE(AddCacheEntry(L"http://a-first.test/x", 10));
    ASSERT_TRUE(AddCacheEntry(L"http://b-locked.test/x", 10));
    ASSERT_TRUE(AddCacheEntry(L"http://b-locked.test/y", 10));
    std::wstring locked = CacheEntryLocalFile(L"http://b-locked.test/x");
    UniqueHandle holder = HoldOpen(locked);
    ASSERT_TRUE(holder.IsValid());

    DomainMap domains = Enumerate(UrlCacheKind::kFiles);
    TestRun run;
    run.wipe = true;
    EXPECT_EQ(DeleteUrlCacheDomains(UrlCacheKind::kFiles, domains, run), CPlugin::kDone);
    holder.Close();

    EXPECT_EQ(domains[L"a-first.test"].result, DomainInfo::kDeleted);
    const DomainInfo& failed = domains[L"b-locked.test"];
    EXPECT_EQ(failed.result, DomainInfo::kRebootNeeded);
    ASSERT_TRUE(failed.error);
    EXPECT_TRUE(failed.error->IsReboot());
    EXPECT_EQ(failed.error->GetKind(), ItemError::kStoreEntries);
    EXPECT_EQ(failed.error->GetCode(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(failed.error->GetTitle().rfind(L"Error occurred while attempting to delete Internet "
                                             L"Explorer cached files that correspond to "
                                             L"\"b-locked.test\".\n",
                                             0),
              0u)
        << failed.error->GetTitle();
    EXPECT_NE(failed.error->GetTitle().find(L"Cannot wipe file"), std::wstring::npos);
    EXPECT_TRUE(run.rebootNeeded);
    EXPECT_NE(PendingRenameOperations().find(locked), std::wstring::npos);
    EXPECT_TRUE(CacheEntryExists(L"http://b-locked.test/x"));
}

TEST_F(UrlCacheTest, EntryInUseIsLeftWithItsFile) {
    const std::wstring url = L"http://inuse.test/x";
    ASSERT_TRUE(AddCacheEntry(url, 10));
    std::wstring localFile = CacheEntryLocalFile(url);
    BYTE buffer[4096];
    DWORD size = sizeof(buffer);
    // An entry retrieved and not yet unlocked is in use: its file is not pulled from under it.
    ASSERT_TRUE(RetrieveUrlCacheEntryFileW(
        url.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer), &size, 0));

    DomainMap domains = Enumerate(UrlCacheKind::kFiles);
    TestRun run;
    EXPECT_EQ(DeleteUrlCacheDomains(UrlCacheKind::kFiles, domains, run), CPlugin::kDone);
    UnlockUrlCacheEntryFileW(url.c_str(), 0);

    const DomainInfo& failed = domains[L"inuse.test"];
    EXPECT_EQ(failed.result, DomainInfo::kError);
    ASSERT_TRUE(failed.error);
    EXPECT_EQ(failed.error->GetCode(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_NE(failed.error->GetTitle().find(L"Cannot delete file \"" + localFile + L"\""),
              std::wstring::npos);
    EXPECT_FALSE(run.rebootNeeded);
    EXPECT_TRUE(FileExists(localFile));
    EXPECT_TRUE(CacheEntryExists(url));
}

// The clean removes each cache file as the scan saw it: one written to or
// turned into a link to another file since stays, and so does its entry
// (WinInet would delete whatever its path names).
TEST_F(UrlCacheTest, FilesChangedSinceTheScanStayWithTheirEntries) {
    ScopedTestFolder control(L"UrlCacheControl");
    WriteTestFile(control.Sub(L"letter.txt"), "not a cache file");
    for (const wchar_t* url :
         {L"http://a-rewritten.test/x", L"http://b-linked.test/x", L"http://c-plain.test/x"})
        ASSERT_TRUE(AddCacheEntry(url, 10));
    const std::wstring rewritten = CacheEntryLocalFile(L"http://a-rewritten.test/x");
    const std::wstring linked = CacheEntryLocalFile(L"http://b-linked.test/x");
    const std::wstring plain = CacheEntryLocalFile(L"http://c-plain.test/x");

    DomainMap domains = Enumerate(UrlCacheKind::kFiles);
    WriteTestFile(rewritten, "written again after the scan");
    ASSERT_TRUE(DeleteFileW(linked.c_str()));
    ASSERT_TRUE(MakeFileLink(linked, control.Sub(L"letter.txt")));
    TestRun run;
    run.wipe = true;
    EXPECT_EQ(DeleteUrlCacheDomains(UrlCacheKind::kFiles, domains, run), CPlugin::kDone);
    EXPECT_TRUE(RemoveFolderLink(linked));

    for (const wchar_t* name : {L"a-rewritten.test", L"b-linked.test"}) {
        const DomainInfo& left = domains[name];
        EXPECT_EQ(left.result, DomainInfo::kError) << name;
        ASSERT_TRUE(left.error) << name;
        EXPECT_EQ(left.error->GetReason().rfind(kChangedSinceScan, 0), 0u)
            << left.error->GetReason();
    }
    EXPECT_EQ(ReadTestFile(rewritten), "written again after the scan");
    EXPECT_EQ(ReadTestFile(control.Sub(L"letter.txt")), "not a cache file");
    EXPECT_TRUE(CacheEntryExists(L"http://a-rewritten.test/x"));
    EXPECT_TRUE(CacheEntryExists(L"http://b-linked.test/x"));
    EXPECT_EQ(domains[L"c-plain.test"].result, DomainInfo::kDeleted);
    EXPECT_FALSE(FileExists(plain));
}

// Every entry has its own check box under its domain's: the entry the user
// unticked stays with its file and says "Kept by you", while its neighbour in
// the same domain and another domain's entry go.
TEST_F(UrlCacheTest, AnUntickedEntryStaysAndSaysKeptByYou) {
    const std::wstring kept = L"http://kept.test/a";
    for (const wchar_t* url : {kept.c_str(), L"http://kept.test/b", L"http://gone.test/x"})
        ASSERT_TRUE(AddCacheEntry(url, 10));
    const std::wstring keptFile = CacheEntryLocalFile(kept);
    PluginHarness<CPlgIECache> cache(L"IEFileCache", PluginCategory::kIeAndAol);
    ASSERT_TRUE(cache.Scan());
    const std::wstring key = ItemKey(UrlEntryItemRef(UrlEntryStore(UrlCacheKind::kFiles), kept));
    const std::wstring page = cache.ScanPage();
    EXPECT_NE(page.find(L"data-item=\"" + EscapeHtml(key) +
                        L"\" data-in-group=\"IEFileCache/domain:kept.test\""),
              std::wstring::npos)
        << page;
    EXPECT_NE(
        page.find(
            L"data-group=\"IEFileCache/domain:kept.test\" data-in-group=\"plugin:IEFileCache\""),
        std::wstring::npos)
        << page;

    cache.Kernel().SetKeptByYou({key});
    ASSERT_TRUE(cache.Clean());
    EXPECT_TRUE(CacheEntryExists(kept));
    EXPECT_TRUE(FileExists(keptFile));
    EXPECT_FALSE(CacheEntryExists(L"http://kept.test/b"));
    EXPECT_FALSE(CacheEntryExists(L"http://gone.test/x"));
    EXPECT_EQ(cache.Get().GetKeptCount(), 1u);
    EXPECT_NE(cache.CleanPage().find(L"Kept by you"), std::wstring::npos);
}

// The History folder's own row has a box: unticked, everything the folder
// holds stays and the row says "Kept by you", while the history entries go.
TEST_F(UrlCacheTest, AnUntickedHistoryFolderKeepsAllItHolds) {
    ASSERT_TRUE(AddHistoryEntry(L"http://visited.test/a"));
    wchar_t history[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, history, CSIDL_HISTORY, TRUE));
    const std::wstring dayFolder = std::wstring(history) + L"\\MSHist012026120720261208";
    WriteTestFile(dayFolder + L"\\visits.dat", "x");
    PluginHarness<CPlgIEHistory> plugin(L"IEHistory", PluginCategory::kIeAndAol);
    ASSERT_TRUE(plugin.Scan());
    const std::wstring key = ItemKey(FolderItemRef(CanonicalPath(history)));
    const std::wstring page = plugin.ScanPage();
    EXPECT_NE(
        page.find(L"data-item=\"" + EscapeHtml(key) + L"\" data-in-group=\"plugin:IEHistory\""),
        std::wstring::npos)
        << page;

    plugin.Kernel().SetKeptByYou({key});
    ASSERT_TRUE(plugin.Clean());
    const bool kept = FileExists(dayFolder + L"\\visits.dat");
    RemoveTree(dayFolder);
    EXPECT_TRUE(kept);
    EXPECT_FALSE(CacheEntryExists(HistoryEntryPrefix() + L"http://visited.test/a"));
    EXPECT_EQ(CountOf(plugin.CleanPage(), L"Kept by you"), 1u) << plugin.CleanPage();
    EXPECT_FALSE(plugin.RowLeftItems());
}

// History entries have no file, but they live in the History folder's
// index: a rule that keeps the folder keeps them, with the rule named.
TEST_F(UrlCacheTest, AFolderRuleOverHistoryKeepsItsEntries) {
    ASSERT_TRUE(AddHistoryEntry(L"http://visited.test/a"));
    wchar_t history[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, history, CSIDL_HISTORY, TRUE));
    PluginHarness<CPlgIEHistory> plugin(L"IEHistory", PluginCategory::kIeAndAol);
    plugin.Kernel().AddRunExclusions({L"folder:" + std::wstring(history)});
    ASSERT_TRUE(plugin.Scan());
    ASSERT_TRUE(plugin.Clean());
    EXPECT_TRUE(CacheEntryExists(HistoryEntryPrefix() + L"http://visited.test/a"));
    EXPECT_NE(plugin.CleanPage().find(L"Excluded (folder:"), std::wstring::npos)
        << plugin.CleanPage();
}

}  // namespace

}  // namespace veltrane
