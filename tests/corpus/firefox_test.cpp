// Firefox's own files, from the public test data of plaso
// (github.com/log2timeline/plaso, test_data/, commit 4ea03ef9) and dtformats
// (github.com/libyal/dtformats, test_data/, commit 8922cfb9), both under the
// Apache License 2.0 (see the corpus's MANIFEST.md), planted in two Firefox
// profiles and cleaned through the unattended program. What must go and what
// must stay is read from the files themselves with SQLite.
#include <gtest/gtest.h>

#include "browser/plugin_harness.h"
#include "browser_corpus.h"
#include "plugins/browser/firefox_plugins.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kAbsolute[] = L"C:\\VeltraneCorpusFirefox\\old profile";
const wchar_t kFirefoxIds[] = L"FirefoxHistory,FirefoxCookies,FirefoxCache";

class FirefoxCorpus : public testing::Test {
protected:
    void SetUp() override {
        Remove();
        ASSERT_FALSE(Root().empty());
    }
    void TearDown() override { Remove(); }

    static std::wstring Root() { return KnownFolder(CSIDL_APPDATA) + L"Mozilla\\Firefox\\"; }
    static std::wstring Relative() { return Root() + L"Profiles\\corpus.default\\"; }
    static std::wstring RelativeCache() {
        return KnownFolder(CSIDL_LOCAL_APPDATA) + L"Mozilla\\Firefox\\Profiles\\corpus.default\\";
    }
    static std::wstring Absolute() { return std::wstring(kAbsolute) + L"\\"; }

private:
    static void Remove() {
        RemoveTree(KnownFolder(CSIDL_APPDATA) + L"Mozilla");
        RemoveTree(KnownFolder(CSIDL_LOCAL_APPDATA) + L"Mozilla");
        RemoveTree(L"C:\\VeltraneCorpusFirefox");
    }
};

TEST_F(FirefoxCorpus, EveryVersionOfEveryStoreIsCleanedAndBookmarksStay) {
    SKIP_WITHOUT_CORPUS_FILE(L"firefox\\places-v10-plaso.sqlite");
    WriteTestFile(Root() + L"profiles.ini",
                  "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
                  "IsRelative=1\r\nPath=Profiles/corpus.default\r\nDefault=1\r\n\r\n"
                  "[Profile1]\r\nName=old\r\nIsRelative=0\r\nPath=" +
                      ToUtf8(kAbsolute) + "\r\n");
    const std::wstring places = Relative() + L"places.sqlite";
    const std::wstring downloads = Relative() + L"downloads.sqlite";
    const std::vector<std::wstring> cookieFiles = {Relative() + L"cookies.sqlite",
                                                   Absolute() + L"cookies.sqlite"};
    ASSERT_TRUE(PlantCorpusFile(L"firefox\\places-v10-plaso.sqlite", places));
    ASSERT_TRUE(PlantCorpusFile(L"firefox\\downloads.sqlite", downloads));
    ASSERT_TRUE(PlantCorpusFile(L"firefox\\cookies-v12-plaso.sqlite", cookieFiles[0]));
    ASSERT_TRUE(PlantCorpusFile(L"firefox\\cookies-v5-plaso.sqlite", cookieFiles[1]));
    ASSERT_TRUE(
        PlantCorpusFolder(L"firefox\\cache2\\entries", RelativeCache() + L"cache2\\entries"));
    WriteTestFile(Relative() + L"prefs.js", "user_pref(\"browser.startup.page\", 3);\n");
    WriteTestFile(Relative() + L"logins.json", "{\"logins\":[],\"version\":3}");

    // The truth: pages no bookmark keeps go with their hosts and icons.
    Traces placeTraces;
    const std::string kept = "id IN (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)";
    for (const std::string& url : Column(places, "SELECT url FROM moz_places WHERE " + kept))
        placeTraces.Keep(url);
    for (const std::string& url : Column(places, "SELECT url FROM moz_places WHERE NOT " + kept)) {
        placeTraces.Add(url);
        placeTraces.Add(HostOf(url));
    }
    for (const std::string& icon :
         Column(places,
                "SELECT url FROM moz_favicons WHERE id NOT IN (SELECT favicon_id FROM "
                "moz_places WHERE favicon_id IS NOT NULL AND " +
                    kept + ")"))
        placeTraces.Add(icon);
    ASSERT_GT(placeTraces.Size(), 0u);
    const std::vector<std::string> bookmarks =
        Column(places, "SELECT id||'|'||ifnull(fk,'')||'|'||ifnull(title,'') FROM moz_bookmarks");
    const std::vector<std::string> keptPlaces =
        Column(places, "SELECT url FROM moz_places WHERE " + kept + " ORDER BY id");
    Traces downloadTraces;
    for (const std::string& row :
         Column(downloads, "SELECT source || char(10) || target FROM moz_downloads")) {
        downloadTraces.Add(row.substr(0, row.find('\n')));
        downloadTraces.Add(row.substr(row.find('\n') + 1));
    }
    Traces cookieTraces;
    int cookieCount = 0;
    for (const std::wstring& file : cookieFiles) {
        for (const std::string& host : Column(file, "SELECT host FROM moz_cookies"))
            cookieTraces.Add(host);
        for (const std::string& value :
             Column(file, "SELECT value FROM moz_cookies WHERE length(value) >= 12"))
            cookieTraces.Add(value);
        cookieCount += std::stoi(One(file, "SELECT count(*) FROM moz_cookies"));
    }
    const size_t cacheFiles = CountFiles(RelativeCache() + L"cache2");
    ASSERT_GT(cacheFiles, 10u);

    Untouched untouched;
    for (const wchar_t* name : {L"prefs.js", L"logins.json"}) untouched.Add(Relative() + name);
    untouched.Add(Root() + L"profiles.ini");

    // The preview changes nothing, and leaves no -wal or -shm beside the
    // WAL databases it read.
    Untouched scanned;
    for (const std::wstring& file : {places, downloads, cookieFiles[0], cookieFiles[1]})
        scanned.Add(file);
    UnattendedRun scan = RunUnattended(false, kFirefoxIds);
    scanned.Expect();
    for (const std::wstring& file : cookieFiles) EXPECT_FALSE(HasWalOrShm(file)) << ToUtf8(file);
    EXPECT_EQ(PluginEntry(scan, "FirefoxCookies")["items"], cookieCount);
    EXPECT_EQ(PluginEntry(scan, "FirefoxCache")["items"], cacheFiles);
    ExpectSoundReports(scan, {L"FirefoxHistory", L"FirefoxCookies", L"FirefoxCache"});
    EXPECT_NE(scan.Report(L"FirefoxHistory", false).find("Firefox - default"), std::string::npos);
    EXPECT_NE(scan.Report(L"FirefoxCookies", false).find("Firefox - old"), std::string::npos);

    UnattendedRun clean = RunUnattended(true, kFirefoxIds);
    EXPECT_EQ(clean.exitCode, 0u) << clean.output;
    for (const nlohmann::json& plugin : clean.document["plugins"])
        EXPECT_EQ(plugin["result"], 0) << plugin.dump();

    EXPECT_EQ(placeTraces.LeftIn(places), std::vector<std::string>());
    EXPECT_EQ(One(places, "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(Column(places, "SELECT url FROM moz_places ORDER BY id"), keptPlaces);
    EXPECT_EQ(One(places,
                  "SELECT count(*) FROM moz_places WHERE visit_count > 0 OR typed > 0 OR "
                  "last_visit_date IS NOT NULL"),
              "0");
    EXPECT_EQ(
        Column(places, "SELECT id||'|'||ifnull(fk,'')||'|'||ifnull(title,'') FROM moz_bookmarks"),
        bookmarks);
    EXPECT_EQ(One(downloads, "SELECT count(*) FROM moz_downloads"), "0");
    EXPECT_EQ(downloadTraces.LeftIn(downloads), std::vector<std::string>());
    for (const std::wstring& file : cookieFiles) {
        EXPECT_EQ(One(file, "SELECT count(*) FROM moz_cookies"), "0") << ToUtf8(file);
        EXPECT_EQ(cookieTraces.LeftIn(file), std::vector<std::string>()) << ToUtf8(file);
    }
    for (const std::wstring& file : {places, downloads, cookieFiles[0], cookieFiles[1]})
        EXPECT_EQ(One(file, "PRAGMA integrity_check"), "ok") << ToUtf8(file);
    EXPECT_EQ(CountFiles(RelativeCache() + L"cache2"), 0u);
    untouched.Expect();
    ExpectSoundReports(clean, {L"FirefoxHistory", L"FirefoxCookies", L"FirefoxCache"});
}

// places.sqlite and a form history the scan listed, written to by Firefox
// before the clean, with one history row unticked: the clean removes the
// ticked rows as the scan counted them, and nothing else.
TEST_F(FirefoxCorpus, TheCleanRemovesOnlyWhatTheScanListedAndTheUserLeftTicked) {
    SKIP_WITHOUT_CORPUS_FILE(L"firefox\\places-v10-plaso.sqlite");
    WriteTestFile(Root() + L"profiles.ini",
                  "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName="
                  "default\r\nIsRelative=1\r\nPath=Profiles/corpus.default\r\n"
                  "Default=1\r\n");
    const std::wstring places = Relative() + L"places.sqlite";
    const std::wstring forms = Relative() + L"formhistory.sqlite";
    ASSERT_TRUE(PlantCorpusFile(L"firefox\\places-v10-plaso.sqlite", places));
    // The corpus's only visited page (news.google.com) is unticked; a
    // second site visited is the control that goes.
    Exec(places,
         "INSERT INTO moz_places(id, url, title, rev_host, visit_count, last_visit_date) "
         "VALUES(500, 'https://control.example/', 'control', 'elpmaxe.lortnoc.', 1, "
         "1309518981371935); INSERT INTO moz_historyvisits(id, place_id, visit_date, visit_type) "
         "VALUES(500, 500, 1309518981371935, 1)");
    Exec(forms,
         "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, value "
         "TEXT NOT NULL, timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT); "
         "INSERT INTO moz_formhistory VALUES(1, 'searchbar-history', 'listed search', 1, "
         "1309518981371935, 1309518981371935, 'a'), (2, 'email', 'listed@example.test', 1, "
         "1309518981371935, 1309518981371935, 'b')");

    PluginHarness<CPlgFirefoxHistory> history(L"FirefoxHistory", PluginCategory::kFirefox);
    PluginHarness<CPlgFirefoxFormHistory> formHistory(L"FirefoxFormHistory",
                                                      PluginCategory::kFirefox);
    ASSERT_TRUE(history.Scan());
    ASSERT_TRUE(formHistory.Scan());
    const std::wstring key = RowItemKey(history.ScanPage(), L"news.google.com");
    EXPECT_EQ(key, L"row:" + places + L"|news.google.com");
    history.Kernel().SetKeptByYou({key});
    // Firefox writes on between the scan and the clean.
    Exec(places,
         "INSERT INTO moz_places(id, url, title, rev_host, visit_count, last_visit_date) "
         "VALUES(600, 'https://after.example/', 'after', 'elpmaxe.retfa.', 1, "
         "1309518981371935); INSERT INTO moz_historyvisits(id, place_id, visit_date, visit_type) "
         "VALUES(600, 600, 1309518981371935, 1)");
    Exec(forms,
         "INSERT INTO moz_formhistory VALUES(3, 'searchbar-history', 'typed after the scan', 1, "
         "1309518981371935, 1309518981371935, 'c')");

    ASSERT_TRUE(history.Clean());
    ASSERT_TRUE(formHistory.Clean());
    EXPECT_EQ(Column(places, "SELECT place_id FROM moz_historyvisits ORDER BY id"),
              (std::vector<std::string>{"92", "600"}));
    EXPECT_EQ(One(places, "SELECT group_concat(id) FROM moz_places WHERE id IN (92, 500, 600)"),
              "92,600");
    EXPECT_EQ(One(places, "SELECT count(*) FROM moz_places"), "93");  // the bookmarks stay
    EXPECT_EQ(One(places, "PRAGMA integrity_check"), "ok");
    EXPECT_NE(history.CleanPage().find(L"Kept by you"), std::wstring::npos);
    EXPECT_EQ(Column(forms, "SELECT value FROM moz_formhistory"),
              std::vector<std::string>{"typed after the scan"});
}

}  // namespace

}  // namespace veltrane
