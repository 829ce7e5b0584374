// The two site data plug-ins on seeded profiles: the keep-list, a store that
// cannot be read, a profile in use, beside what must stay (other sites' kept
// data, extensions' storage, passwords).
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "modern_fixture.h"
#include "plugins/browser/site_data_plugin.h"
#include "seedtraces/site_data_traces.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

class SiteData : public ModernBrowsersTest {
protected:
    void SetUp() override {
        ModernBrowsersTest::SetUp();
        ASSERT_TRUE(WriteChromiumSiteData(ChromeDefault()));
        ASSERT_TRUE(WriteFirefoxSiteData(FirefoxRelative()));
    }
    static std::wstring IndexedDb(const char* host) {
        return ChromeDefault() + L"IndexedDB\\https_" + FromUtf8(host) + L"_0.indexeddb.leveldb";
    }
    static std::wstring ExtensionIndexedDb() {
        return ChromeDefault() + L"IndexedDB\\chrome-extension_" + FromUtf8(seeded::kExtensionId) +
               L"_0.indexeddb.leveldb";
    }
    static std::wstring LocalStorage() { return ChromeDefault() + L"Local Storage\\leveldb\\"; }
    static std::wstring FirefoxOrigin(const char* host, const wchar_t* port = L"") {
        return FirefoxRelative() + L"storage\\default\\https+++" + FromUtf8(host) + port;
    }
};

// The rows of a site in the profile at `index` (0-based), by place.
std::vector<const DomainInfo*> SiteRows(const CProfileStorePlugin& plugin, size_t index,
                                        const char* host) {
    std::vector<const DomainInfo*> rows;
    for (const DomainInfo* row : plugin.OrderedView())
        if (row->profileIndex == static_cast<int>(index) + 1 && row->name == FromUtf8(host))
            rows.push_back(row);
    return rows;
}

bool AllTook(const std::vector<const DomainInfo*>& rows, DomainInfo::Result result) {
    for (const DomainInfo* row : rows)
        if (row->result != result) return false;
    return !rows.empty();
}

TEST_F(SiteData, ChromiumKeepsTheKeptSitesDataAndExtensionsAndRemovesTheRest) {
    const std::vector<std::wstring> controls = {
        ChromeDefault() + L"Login Data", ChromeDefault() + L"Preferences",
        ExtensionIndexedDb() + L"\\000003.log",
        ChromeDefault() + L"Local Extension Settings\\" + FromUtf8(seeded::kExtensionId) +
            L"\\000003.log",
        IndexedDb(seeded::kKeptSiteHost) + L"\\000003.log"};
    std::vector<std::string> before;
    for (const std::wstring& path : controls) before.push_back(FileBytes(path));

    PluginHarness<CPlgChromiumSiteData> chrome(L"ChromiumSiteData", PluginCategory::kChromium);
    ASSERT_TRUE(chrome.Scan());
    // IndexedDB (and its files), Local and Session Storage, service workers,
    // Cache Storage and the File System.
    EXPECT_EQ(SiteRows(chrome.Get(), 0, seeded::kSiteDataHost).size(), 7u);
    EXPECT_EQ(SiteRows(chrome.Get(), 0, seeded::kKeptSiteHost).size(), 1u);
    const std::wstring page = chrome.ScanPage();
    EXPECT_EQ(page.find(L"chrome-extension"), std::wstring::npos);
    EXPECT_EQ(page.find(FromUtf8(seeded::kExtensionId)), std::wstring::npos);

    chrome.SetKeepList(FromUtf8(seeded::kKeptSiteHost));
    ASSERT_TRUE(chrome.Clean());
    EXPECT_FALSE(chrome.RowFailed());
    EXPECT_TRUE(AllTook(SiteRows(chrome.Get(), 0, seeded::kSiteDataHost), DomainInfo::kDeleted));
    EXPECT_TRUE(AllTook(SiteRows(chrome.Get(), 0, seeded::kKeptSiteHost), DomainInfo::kKept));
    EXPECT_FALSE(FileExists(IndexedDb(seeded::kSiteDataHost)));
    EXPECT_FALSE(FileExists(ChromeDefault() + L"IndexedDB\\https_site-data.test_0.indexeddb.blob"));
    EXPECT_FALSE(
        FileExists(ChromeDefault() + L"Service Worker\\CacheStorage\\" + std::wstring(40, L'a')));
    for (const wchar_t* store : {L"Local Storage\\leveldb\\", L"Session Storage\\",
                                 L"Service Worker\\Database\\", L"File System\\Origins\\"})
        EXPECT_FALSE(FileExists(ChromeDefault() + store + L"000003.log")) << ToUtf8(store);
    // The stores' folders stay (the File System's whole tree is its store).
    for (const wchar_t* folder :
         {L"Local Storage\\leveldb\\", L"Session Storage\\", L"File System\\"})
        EXPECT_TRUE(FileExists(ChromeDefault() + folder)) << ToUtf8(folder);
    for (size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(FileBytes(controls[i]), before[i]) << ToUtf8(controls[i]);
}

TEST_F(SiteData, AStoreSharedWithAKeptSiteOrUnreadableWithAKeepListStaysWhole) {
    const std::string localStorage = FileBytes(LocalStorage() + L"000003.log");
    // other-site.test shares Local Storage with site-data.test.
    PluginHarness<CPlgChromiumSiteData> chrome(L"ChromiumSiteData", PluginCategory::kChromium);
    ASSERT_TRUE(chrome.Scan());
    chrome.SetKeepList(FromUtf8(seeded::kOtherSiteHost));
    ASSERT_TRUE(chrome.Clean());
    EXPECT_TRUE(chrome.RowLeftItems());
    EXPECT_EQ(FileBytes(LocalStorage() + L"000003.log"), localStorage);
    EXPECT_FALSE(FileExists(IndexedDb(seeded::kSiteDataHost)));  // its own folder still goes
    bool refused = false;
    for (const DomainInfo* row : SiteRows(chrome.Get(), 0, seeded::kSiteDataHost))
        if (row->result == DomainInfo::kError && row->error &&
            row->error->GetReason().find(L"other-site.test") != std::wstring::npos)
            refused = true;
    EXPECT_TRUE(refused);

    // A store whose keys cannot be read: whole only while the keep-list is empty.
    std::string damaged = localStorage;
    damaged[damaged.size() / 2] ^= 1;
    for (const wchar_t* keep : {L"unrelated.test", L""}) {
        WriteTestFile(LocalStorage() + L"000003.log", damaged);
        ASSERT_TRUE(chrome.Scan());
        chrome.SetKeepList(keep);
        ASSERT_TRUE(chrome.Clean());
        EXPECT_EQ(FileExists(LocalStorage() + L"000003.log"), *keep != L'\0') << ToUtf8(keep);
        const std::vector<const DomainInfo*> store =
            SiteRows(chrome.Get(), 0, "Local Storage\\leveldb");
        ASSERT_EQ(store.size(), 1u);
        EXPECT_EQ(store[0]->error && store[0]->error->GetReason().find(
                                         L"cannot read which sites") != std::wstring::npos,
                  *keep != L'\0');
    }
}

TEST_F(SiteData, FirefoxRemovesOriginFoldersAndTheirRowsButTheKeptAndTheBrowsers) {
    const std::wstring extension =
        FirefoxRelative() +
        L"storage\\default\\moz-extension+++0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d"
        L"^userContextId=4294967295";
    const std::wstring permanent = FirefoxRelative() + L"storage\\permanent\\chrome";
    PluginHarness<CPlgFirefoxSiteData> firefox(L"FirefoxSiteData", PluginCategory::kFirefox);
    ASSERT_TRUE(firefox.Scan());
    EXPECT_EQ(firefox.ScanPage().find(L"moz-extension"), std::wstring::npos);
    firefox.SetKeepList(FromUtf8(seeded::kKeptSiteHost));
    ASSERT_TRUE(firefox.Clean());
    EXPECT_FALSE(firefox.RowFailed());
    EXPECT_FALSE(FileExists(FirefoxOrigin(seeded::kSiteDataHost)));
    EXPECT_FALSE(FileExists(FirefoxOrigin(seeded::kOtherSiteHost, L"+++8443")));
    EXPECT_TRUE(FileExists(FirefoxOrigin(seeded::kKeptSiteHost) + L"\\ls\\data.sqlite"));
    EXPECT_TRUE(FileExists(extension));
    EXPECT_TRUE(FileExists(permanent));
    const std::wstring quota = FirefoxRelative() + L"storage.sqlite";
    EXPECT_EQ(QueryOne(quota, "SELECT group_concat(origin) FROM origin"),
              L"https://kept-site.test");
    EXPECT_EQ(QueryOne(quota, "SELECT valid FROM cache"), L"0");  // counted anew at the start
    const std::wstring old = FirefoxRelative() + L"webappsstore.sqlite";
    EXPECT_EQ(QueryOne(old, "SELECT group_concat(originKey) FROM webappsstore2"),
              L"tset.etis-tpek.:https:443");
    EXPECT_FALSE(BytesContain(old, seeded::kSiteDataMarker));
    // The other profile had no site data: nothing of it was touched.
    EXPECT_TRUE(FileExists(FirefoxAbsolute() + L"places.sqlite"));
}

TEST_F(SiteData, AProfileInUseKeepsItsSiteData) {
    HeldLock lock(Chrome() + L"lockfile");
    ASSERT_TRUE(lock.Holding());
    PluginHarness<CPlgChromiumSiteData> chrome(L"ChromiumSiteData", PluginCategory::kChromium);
    ASSERT_TRUE(chrome.Scan());
    EXPECT_FALSE(SiteRows(chrome.Get(), 0, seeded::kSiteDataHost).empty());
    ASSERT_TRUE(chrome.Clean());
    EXPECT_TRUE(AllTook(SiteRows(chrome.Get(), 0, seeded::kSiteDataHost), DomainInfo::kError));
    EXPECT_TRUE(FileExists(IndexedDb(seeded::kSiteDataHost)));
    EXPECT_TRUE(FileExists(LocalStorage() + L"000003.log"));
}

}  // namespace

}  // namespace veltrane
