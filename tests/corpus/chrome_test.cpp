// Chrome's own files, from the public test data of plaso
// (github.com/log2timeline/plaso, test_data/, commit 4ea03ef9; Apache
// License 2.0; see the corpus's MANIFEST.md), planted in Chrome and Opera
// profiles and cleaned through the unattended program. What must go and what
// must stay is read from the files themselves with SQLite.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "browser_corpus.h"
#include "plugins/browser/chromium_plugins.h"
#include "plugins/browser/url_domain.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// Every History version of the corpus, one profile each.
struct HistoryCase {
    const wchar_t* corpus;
    const wchar_t* profile;
};
const HistoryCase kHistories[] = {
    {L"chrome\\History-v20-plaso", L"Default"},
    {L"chrome\\History-57.0.2987.133", L"Profile 1"},
    {L"chrome\\History-58.0.3029.96", L"Profile 2"},
    {L"chrome\\History-59.0.3071.86", L"Profile 3"},
    {L"chrome\\History-59_added-fake-column", L"Profile 4"},
};

const wchar_t kChromiumIds[] =
    L"ChromiumHistory,ChromiumCookies,ChromiumFormData,ChromiumCache,ChromiumSessions";

std::string Bookmarks(const std::vector<std::string>& urls) {
    std::string children;
    for (size_t i = 0; i < urls.size(); ++i)
        children += std::string(i ? "," : "") + "{\"type\":\"url\",\"name\":\"kept " +
                    std::to_string(i) + "\",\"url\":\"" + urls[i] + "\"}";
    return "{\"roots\":{\"bookmark_bar\":{\"type\":\"folder\",\"children\":[" + children +
           "]},\"other\":{\"type\":\"folder\",\"children\":[]}},\"version\":1}";
}

class ChromeCorpus : public testing::Test {
protected:
    void SetUp() override {
        Remove();
        ASSERT_FALSE(Chrome().empty());
    }
    void TearDown() override { Remove(); }

    static std::wstring Chrome() {
        return KnownFolder(CSIDL_LOCAL_APPDATA) + L"Google\\Chrome\\User Data\\";
    }
    static std::wstring OperaRoaming() {
        return KnownFolder(CSIDL_APPDATA) + L"Opera Software\\Opera Stable\\";
    }
    static std::wstring OperaLocal() {
        return KnownFolder(CSIDL_LOCAL_APPDATA) + L"Opera Software\\Opera Stable\\";
    }

private:
    static void Remove() {
        RemoveTree(KnownFolder(CSIDL_LOCAL_APPDATA) + L"Google");
        RemoveTree(KnownFolder(CSIDL_APPDATA) + L"Opera Software");
        RemoveTree(KnownFolder(CSIDL_LOCAL_APPDATA) + L"Opera Software");
    }
};

// What a History clean must remove, and keep, read from the file: the
// addresses of every page, download and search, and their hosts, except the
// bookmarked pages (and anything that is part of them).
Traces HistoryTraces(const std::wstring& history, const std::set<std::string>& bookmarked) {
    Traces traces;
    for (const std::string& row :
         Column(history, "SELECT url || char(10) || ifnull(title, '') FROM urls")) {
        const std::string url = row.substr(0, row.find('\n'));
        if (bookmarked.count(url) != 0) {
            traces.Keep(row);
            continue;
        }
        traces.Add(url);
        traces.Add(HostOf(url));
    }
    for (const std::string& term : Column(history, "SELECT term FROM keyword_search_terms"))
        traces.Add(term);
    // Where downloads came from and went: a chain of addresses today, one
    // column of the download itself in old versions.
    const bool chains =
        !Column(history, "SELECT 1 FROM sqlite_master WHERE name = 'downloads_url_chains'").empty();
    for (const char* query :
         {chains ? "SELECT url FROM downloads_url_chains" : "SELECT url FROM downloads",
          chains ? "SELECT target_path FROM downloads" : "SELECT full_path FROM downloads"})
        for (const std::string& text : Column(history, query)) traces.Add(text);
    return traces;
}

TEST_F(ChromeCorpus, EveryVersionOfEveryStoreIsCleanedOrRefusedAndWhatStaysIsUntouched) {
    for (const HistoryCase& test : kHistories) SKIP_WITHOUT_CORPUS_FILE(test.corpus);
    SKIP_WITHOUT_CORPUS_FILE(L"chrome\\Cookies-v5-plaso.db");

    // Chrome: one profile per History version, the old cookie file and
    // Web Data in Default, today's cookie file in Profile 1.
    std::string profiles;
    for (const HistoryCase& test : kHistories)
        profiles += std::string(profiles.empty() ? "" : ",") + "\"" + ToUtf8(test.profile) +
                    "\":{\"name\":\"" + ToUtf8(test.profile) + "\"}";
    const std::string localState = "{\"profile\":{\"info_cache\":{" + profiles;
    WriteTestFile(Chrome() + L"Local State", localState + "}}}");
    std::vector<std::wstring> histories;
    std::vector<std::set<std::string>> bookmarked;
    for (const HistoryCase& test : kHistories) {
        const std::wstring profile = Chrome() + test.profile + L"\\";
        ASSERT_TRUE(PlantCorpusFile(test.corpus, profile + L"History"));
        // The first page is bookmarked locally, the second in the account.
        std::vector<std::string> urls = Column(profile + L"History", "SELECT url FROM urls");
        std::set<std::string> kept;
        if (urls.size() > 1) {
            WriteTestFile(profile + L"Bookmarks", Bookmarks({urls[0]}));
            WriteTestFile(profile + L"AccountBookmarks", Bookmarks({urls[1]}));
            kept = {urls[0], urls[1]};
        }
        histories.push_back(profile + L"History");
        bookmarked.push_back(kept);
    }
    const std::wstring oldCookies = Chrome() + L"Default\\Cookies";
    const std::wstring cookies = Chrome() + L"Profile 1\\Network\\Cookies";
    const std::wstring webData = Chrome() + L"Default\\Web Data";
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\Cookies-v5-plaso.db", oldCookies));
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\Cookies-68.0.3440.106", cookies));
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\Web Data-v77", webData));
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\Preferences", Chrome() + L"Default\\Preferences"));
    ASSERT_TRUE(PlantCorpusFolder(L"chrome\\cache", Chrome() + L"Default\\Cache"));
    WriteTestFile(Chrome() + L"Default\\Login Data", "SQLite format 3 stand-in for passwords");
    // Today's Opera: the profile in "Opera Stable\Default", its page cache in
    // the local twin, GPUCache in the roaming folder.
    const std::wstring operaHistory = OperaRoaming() + L"Default\\History";
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\History-59.0.3071.86", operaHistory));
    ASSERT_TRUE(PlantCorpusFolder(L"chrome\\cache", OperaLocal() + L"Default\\Cache"));
    ASSERT_TRUE(PlantCorpusFolder(L"chrome\\cache", OperaRoaming() + L"Default\\GPUCache"));
    histories.push_back(operaHistory);
    bookmarked.emplace_back();

    std::vector<Traces> historyTraces;
    for (size_t i = 0; i < histories.size(); ++i)
        historyTraces.push_back(HistoryTraces(histories[i], bookmarked[i]));
    Traces cookieTraces;
    for (const std::wstring& file : {oldCookies, cookies}) {
        for (const std::string& host : Column(file, "SELECT host_key FROM cookies"))
            cookieTraces.Add(host);
        for (const std::string& value :
             Column(file, "SELECT value FROM cookies WHERE length(value) >= 12"))
            cookieTraces.Add(value);
    }
    const int cookieCount = std::stoi(One(oldCookies, "SELECT count(*) FROM cookies")) +
                            std::stoi(One(cookies, "SELECT count(*) FROM cookies"));
    Traces formTraces;
    for (const std::string& value : Column(webData, "SELECT value FROM autofill"))
        formTraces.Add(value);
    const std::vector<std::string> searchEngines = Column(
        webData, "SELECT id||'|'||short_name||'|'||keyword||'|'||url FROM keywords ORDER BY id");
    ASSERT_EQ(searchEngines.size(), 10u);

    Untouched untouched;
    for (const wchar_t* name :
         {L"Default\\Preferences", L"Default\\Login Data", L"Default\\Bookmarks",
          L"Default\\AccountBookmarks", L"Local State"})
        untouched.Add(Chrome() + name);

    // The preview reads every version and changes nothing.
    Untouched scanned;
    for (const std::wstring& file : histories) scanned.Add(file);
    for (const std::wstring& file : {oldCookies, cookies, webData}) scanned.Add(file);
    UnattendedRun scan = RunUnattended(false, kChromiumIds);
    scanned.Expect();
    const std::string history = scan.Report(L"ChromiumHistory", false);
    for (const HistoryCase& test : kHistories)
        EXPECT_NE(history.find("Google Chrome - " + ToUtf8(test.profile)), std::string::npos)
            << ToUtf8(test.profile);
    EXPECT_NE(history.find("Opera - Default"), std::string::npos) << history;
    EXPECT_EQ(PluginEntry(scan, "ChromiumCookies")["items"], cookieCount);
    ExpectSoundReports(scan, {L"ChromiumHistory", L"ChromiumCookies", L"ChromiumFormData"});
    const std::string caches = scan.Report(L"ChromiumCache", false);
    EXPECT_NE(caches.find("GPUCache (roaming)"), std::string::npos) << caches;

    UnattendedRun clean = RunUnattended(true, kChromiumIds);
    EXPECT_EQ(clean.exitCode, 0u) << clean.output;
    for (const nlohmann::json& plugin : clean.document["plugins"])
        EXPECT_EQ(plugin["result"], 0) << plugin.dump();

    for (size_t i = 0; i < histories.size(); ++i) {
        const std::wstring& file = histories[i];
        EXPECT_EQ(historyTraces[i].LeftIn(file), std::vector<std::string>()) << ToUtf8(file);
        EXPECT_EQ(One(file, "PRAGMA integrity_check"), "ok") << ToUtf8(file);
        EXPECT_EQ(One(file, "SELECT count(*) FROM visits"), "0") << ToUtf8(file);
        std::vector<std::string> left = Column(file, "SELECT url FROM urls ORDER BY url");
        EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), bookmarked[i]) << ToUtf8(file);
        EXPECT_EQ(One(file, "SELECT count(*) FROM urls WHERE visit_count > 0"), "0");
    }
    for (const std::wstring& file : {oldCookies, cookies}) {
        EXPECT_EQ(One(file, "SELECT count(*) FROM cookies"), "0") << ToUtf8(file);
        EXPECT_EQ(cookieTraces.LeftIn(file), std::vector<std::string>()) << ToUtf8(file);
        EXPECT_EQ(One(file, "PRAGMA integrity_check"), "ok");
    }
    EXPECT_EQ(One(webData, "SELECT count(*) FROM autofill"), "0");
    EXPECT_EQ(formTraces.LeftIn(webData), std::vector<std::string>());
    EXPECT_EQ(
        Column(webData,
               "SELECT id||'|'||short_name||'|'||keyword||'|'||url FROM keywords ORDER BY id"),
        searchEngines);
    EXPECT_EQ(One(webData, "PRAGMA integrity_check"), "ok");
    for (const std::wstring& cache :
         {Chrome() + L"Default\\Cache", OperaLocal() + L"Default\\Cache",
          OperaRoaming() + L"Default\\GPUCache"}) {
        EXPECT_EQ(CountFiles(cache), 0u) << ToUtf8(cache);
        EXPECT_TRUE(FileExists(cache)) << ToUtf8(cache);
    }
    untouched.Expect();
    ExpectSoundReports(
        clean, {L"ChromiumHistory", L"ChromiumCookies", L"ChromiumFormData", L"ChromiumCache"});
}

// A History and cookies the scan listed, changed by the browser before the
// clean, with one History row unticked: the clean removes the ticked rows'
// pages, visits and cookies as the scan counted them, and nothing else.
TEST_F(ChromeCorpus, TheCleanRemovesOnlyWhatTheScanListedAndTheUserLeftTicked) {
    SKIP_WITHOUT_CORPUS_FILE(L"chrome\\History-v20-plaso");
    SKIP_WITHOUT_CORPUS_FILE(L"chrome\\Cookies-68.0.3440.106");
    WriteTestFile(Chrome() + L"Local State",
                  "{\"profile\":{\"info_cache\":{\"Default\":{\"name\":\"Default\"}}}}");
    const std::wstring history = Chrome() + L"Default\\History";
    const std::wstring cookies = Chrome() + L"Default\\Network\\Cookies";
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\History-v20-plaso", history));
    ASSERT_TRUE(PlantCorpusFile(L"chrome\\Cookies-68.0.3440.106", cookies));
    const std::string kept = "url LIKE 'http://en.softsia.com/%'";
    const std::string gone = "url LIKE 'https://chrome.google.com/%'";
    auto visitsOf = [&](const std::string& pages) {
        return One(history, "SELECT count(*) FROM visits WHERE url IN (SELECT id FROM urls WHERE " +
                                pages + ")");
    };
    const std::vector<std::string> keptPages =
        Column(history, "SELECT id FROM urls WHERE " + kept + " ORDER BY id");
    const std::string keptVisits = visitsOf(kept);
    const std::string gonePage = One(history, "SELECT min(id) FROM urls WHERE " + gone);
    ASSERT_GT(keptPages.size(), 1u);
    ASSERT_NE(visitsOf(gone), "0");

    PluginHarness<CPlgChromiumHistory> plugin(L"ChromiumHistory", PluginCategory::kChromium);
    PluginHarness<CPlgChromiumCookies> cookieStore(L"ChromiumCookies", PluginCategory::kChromium);
    ASSERT_TRUE(plugin.Scan());
    ASSERT_TRUE(cookieStore.Scan());
    const std::wstring softsia = GetUrlDomain(L"http://en.softsia.com/");
    const std::wstring scanPage = plugin.ScanPage();
    // The row's key names this database and the row, so unticking it keeps
    // that site's history in this profile only.
    const std::wstring key = RowItemKey(scanPage, softsia);
    EXPECT_EQ(key, L"row:" + history + L"|" + softsia);
    EXPECT_NE(scanPage.find(L"data-group=\"ChromiumHistory/profile:"), std::wstring::npos);
    EXPECT_NE(scanPage.find(L"data-group=\"plugin:ChromiumHistory\""), std::wstring::npos);
    plugin.Kernel().SetKeptByYou({key});
    // Chrome writes on between the scan and the clean: a new page with its
    // visit, and a new visit to a page the scan listed.
    Exec(history,
         "INSERT INTO urls(id, url, title, last_visit_time) VALUES(9000, "
         "'https://after.scan.example/', 'after', 13000000000000000); "
         "INSERT INTO visits(id, url, visit_time) VALUES(9000, 9000, 13000000000000000); "
         "INSERT INTO visits(id, url, visit_time) VALUES(9001, " +
             gonePage + ", 13000000000000000)");
    // A site the scan listed sets another cookie.
    Exec(cookies,
         "INSERT INTO cookies(creation_utc, host_key, name, value, path, expires_utc, is_secure, "
         "is_httponly, last_access_utc) VALUES(13000000000000000, '.twitter.com', 'after', "
         "'set after the scan', '/', 0, 0, 0, 13000000000000000)");

    ASSERT_TRUE(plugin.Clean());
    ASSERT_TRUE(cookieStore.Clean());
    EXPECT_FALSE(plugin.RowFailed() || plugin.RowLeftItems()) << ToUtf8(plugin.CleanPage());
    EXPECT_EQ(Column(cookies, "SELECT name FROM cookies"), std::vector<std::string>{"after"});
    EXPECT_EQ(Column(history, "SELECT id FROM urls WHERE " + kept + " ORDER BY id"), keptPages);
    EXPECT_EQ(visitsOf(kept), keptVisits);
    EXPECT_EQ(Column(history, "SELECT id FROM visits WHERE id >= 9000 ORDER BY id"),
              (std::vector<std::string>{"9000", "9001"}));
    // The page visited again stays with that visit alone; the rest of its site goes.
    EXPECT_EQ(Column(history, "SELECT id FROM urls WHERE " + gone),
              std::vector<std::string>{gonePage});
    EXPECT_EQ(visitsOf(gone), "1");
    EXPECT_EQ(One(history, "SELECT count(*) FROM urls WHERE id = 9000"), "1");
    EXPECT_EQ(One(history, "SELECT count(*) FROM urls WHERE NOT (" + kept + " OR " + gone +
                               ") AND id < 9000"),
              "0");
    EXPECT_EQ(One(history, "PRAGMA integrity_check"), "ok");
    const std::wstring cleanPage = plugin.CleanPage();
    const size_t row = cleanPage.find(L"<td>" + softsia + L"</td>");
    ASSERT_NE(row, std::wstring::npos) << cleanPage;
    EXPECT_NE(cleanPage.substr(row, cleanPage.find(L"</tr>", row) - row).find(L"Kept by you"),
              std::wstring::npos)
        << cleanPage;
}

}  // namespace

}  // namespace veltrane
