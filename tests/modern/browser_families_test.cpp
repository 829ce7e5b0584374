// Every browser channel and fork through the unattended program: found under
// its own name, its history, cookies and caches cleaned, its bookmarks,
// passwords and preferences left as they were; the leftovers that still name
// visited sites; and the keep-list holding a site's cookies and site data
// together.
#include <gtest/gtest.h>

#include <set>

#include "corpus/unattended_run.h"
#include "modern_fixture.h"
#include "seedtraces/site_data_traces.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// Where a family keeps its profiles: Chromium's User Data (Opera's roaming
// folder, with its caches in `local`), or the Firefox family's folder of
// profiles.ini with its Local AppData twin `local`.
struct Family {
    const wchar_t* name;
    bool firefox;
    int csidl;
    const wchar_t* path;
    const wchar_t* local;  // below Local AppData; nullptr: the caches lie with the profile
};

const Family kFamilies[] = {
    {L"Google Chrome Beta", false, CSIDL_LOCAL_APPDATA, L"Google\\Chrome Beta\\User Data"},
    {L"Google Chrome Dev", false, CSIDL_LOCAL_APPDATA, L"Google\\Chrome Dev\\User Data"},
    {L"Google Chrome Canary", false, CSIDL_LOCAL_APPDATA, L"Google\\Chrome SxS\\User Data"},
    {L"Microsoft Edge Beta", false, CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge Beta\\User Data"},
    {L"Microsoft Edge Dev", false, CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge Dev\\User Data"},
    {L"Microsoft Edge Canary", false, CSIDL_LOCAL_APPDATA, L"Microsoft\\Edge SxS\\User Data"},
    {L"Brave Beta", false, CSIDL_LOCAL_APPDATA, L"BraveSoftware\\Brave-Browser-Beta\\User Data"},
    {L"Brave Nightly", false, CSIDL_LOCAL_APPDATA,
     L"BraveSoftware\\Brave-Browser-Nightly\\User Data"},
    {L"Yandex Browser", false, CSIDL_LOCAL_APPDATA, L"Yandex\\YandexBrowser\\User Data"},
    {L"Thorium", false, CSIDL_LOCAL_APPDATA, L"Thorium\\User Data"},
    {L"Arc", false, CSIDL_LOCAL_APPDATA,
     L"Packages\\TheBrowserCompany.Arc_ttt1ap7aakyb4\\LocalCache\\Local\\Arc\\User Data"},
    {L"Opera Air", false, CSIDL_APPDATA, L"Opera Software\\Opera Air Stable",
     L"Opera Software\\Opera Air Stable"},
    {L"Opera Next", false, CSIDL_APPDATA, L"Opera Software\\Opera Next",
     L"Opera Software\\Opera Next"},
    {L"Opera Developer", false, CSIDL_APPDATA, L"Opera Software\\Opera Developer",
     L"Opera Software\\Opera Developer"},
    {L"Firefox (Microsoft Store)", true, CSIDL_LOCAL_APPDATA,
     L"Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Roaming\\Mozilla\\Firefox",
     L"Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Local\\Mozilla\\Firefox"},
    {L"LibreWolf", true, CSIDL_APPDATA, L"librewolf", L"librewolf"},
    {L"Waterfox", true, CSIDL_APPDATA, L"Waterfox", L"Waterfox"},
    {L"Zen", true, CSIDL_APPDATA, L"zen", L"zen"},
    {L"Floorp", true, CSIDL_APPDATA, L"Floorp", L"Floorp"},
};

// One profile of a family, where the seeder writes it.
struct PlantedProfile {
    std::wstring label;  // as the reports head its rows
    std::wstring folder;
    std::wstring cache;
};

// Every family of the table planted beside the fixture's Chrome, Edge and Firefox.
class BrowserFamilies : public ModernBrowsersTest {
protected:
    void SetUp() override {
        ModernBrowsersTest::SetUp();
        RemoveFamilies();
        for (const Family& family : kFamilies) ASSERT_TRUE(Plant(family)) << ToUtf8(family.name);
    }
    void TearDown() override {
        RemoveFamilies();
        ModernBrowsersTest::TearDown();
    }

    static PlantedProfile ProfileOf(const Family& family) {
        const std::wstring root = Known(family.csidl) + family.path + L"\\";
        const std::wstring local = family.local ? Local() + family.local + L"\\" : root;
        if (family.firefox)
            return {std::wstring(family.name) + L" - default", root + L"Profiles\\fam.default\\",
                    local + L"Profiles\\fam.default\\"};
        return {std::wstring(family.name) + L" - Person 1 (Default)", root + L"Default\\",
                local + L"Default\\"};
    }

private:
    static bool Plant(const Family& family) {
        const std::wstring root = Known(family.csidl) + family.path + L"\\";
        const PlantedProfile profile = ProfileOf(family);
        if (family.firefox)
            return WriteProfilesIni(root, {{L"default", L"Profiles/fam.default", true}}) &&
                   WriteFirefoxProfile(profile.folder, profile.cache);
        return WriteChromiumUserData(root, {{L"Default", L"Person 1"}}) &&
               WriteChromiumProfile(profile.folder, profile.cache);
    }
    static void RemoveFamilies() {
        for (const Family& family : kFamilies) {
            RemoveTree(Known(family.csidl) + family.path);
            if (family.local) RemoveTree(Local() + family.local);
        }
    }
};

// The unattended run ended well: exit code 0 and every plug-in done.
void ExpectAllDone(const UnattendedRun& run) {
    EXPECT_EQ(run.exitCode, 0);
    for (const auto& [id, plugin] : run.plugins.items()) EXPECT_EQ(plugin["result"], 0) << id;
}

std::wstring ReportText(const UnattendedRun& run, const wchar_t* id) {
    return FromUtf8(ReadTestFile(run.reports.at(id)));
}

// The names of the rows a report lists (every cell of every row).
std::set<std::wstring> ReportCells(const UnattendedRun& run, const wchar_t* id) {
    std::set<std::wstring> cells;
    for (const ReportRow& row : run.rows.at(id)) cells.insert(row.begin(), row.end());
    return cells;
}

const std::vector<std::wstring> kChromiumIds = {L"ChromiumHistory", L"ChromiumCookies",
                                                L"ChromiumCache"};
const std::vector<std::wstring> kFirefoxIds = {L"FirefoxHistory", L"FirefoxCookies",
                                               L"FirefoxCache"};

TEST_F(BrowserFamilies, EachIsFoundUnderItsOwnNameAndCleanedBesideItsControls) {
    std::vector<std::pair<std::wstring, std::string>> controls;
    for (const Family& family : kFamilies) {
        const PlantedProfile profile = ProfileOf(family);
        const std::vector<const wchar_t*> kept =
            family.firefox ? std::vector{L"logins.json", L"key4.db", L"prefs.js"}
                           : std::vector{L"Bookmarks", L"Login Data", L"Preferences"};
        for (const wchar_t* name : kept)
            controls.emplace_back(profile.folder + name, FileBytes(profile.folder + name));
    }
    std::vector<std::wstring> ids = kChromiumIds;
    ids.insert(ids.end(), kFirefoxIds.begin(), kFirefoxIds.end());

    const UnattendedRun scan = RunUnattended(L"/scan", ids);
    ExpectAllDone(scan);
    for (const Family& family : kFamilies) {
        const std::vector<std::wstring>& familyIds = family.firefox ? kFirefoxIds : kChromiumIds;
        const std::wstring label = ProfileOf(family).label;
        for (const std::wstring& id : familyIds)
            EXPECT_NE(ReportText(scan, id.c_str()).find(label), std::wstring::npos)
                << ToUtf8(label) << " in " << ToUtf8(id);
    }

    ExpectAllDone(RunUnattended(L"/clean", ids));
    for (const Family& family : kFamilies) {
        const PlantedProfile profile = ProfileOf(family);
        SCOPED_TRACE(ToUtf8(family.name));
        if (family.firefox) {
            const std::wstring places = profile.folder + L"places.sqlite";
            EXPECT_EQ(CountRows(places, "moz_historyvisits"), 0);
            EXPECT_EQ(QueryOne(places, std::string("SELECT count(*) FROM moz_places WHERE url='") +
                                           seeded::kFirefoxBookmarkedUrl + "'"),
                      L"1");
            EXPECT_EQ(CountRows(profile.folder + L"cookies.sqlite", "moz_cookies"), 0);
            EXPECT_FALSE(FileExists(profile.cache + L"cache2\\entries"
                                                    L"\\0A1B2C3D4E5F60718293A4B5C6D7E8F901234567"));
        } else {
            EXPECT_EQ(CountRows(profile.folder + L"History", "visits"), 0);
            EXPECT_EQ(CountRows(profile.folder + L"Network\\Cookies", "cookies"), 0);
            EXPECT_FALSE(FileExists(profile.cache + L"Cache\\Cache_Data\\f_000001"));
        }
    }
    for (const auto& [path, bytes] : controls) EXPECT_EQ(FileBytes(path), bytes) << ToUtf8(path);
}

// The files that name visited sites beyond the history databases go with
// history; what lies beside them and names none stays.
using HistoryLeftovers = ModernBrowsersTest;
TEST_F(HistoryLeftovers, GoWithHistoryAndTheirNeighboursStay) {
    const std::vector<std::wstring> leftovers = {
        ChromeDefault() + L"DIPS",
        ChromeDefault() + L"DIPS-wal",
        ChromeDefault() + L"Network\\Network Persistent State",
        ChromeDefault() + L"Network\\Reporting and NEL",
        ChromeDefault() + L"Network\\Reporting and NEL-journal",
        Chrome() + L"Crashpad\\reports\\0a1b2c3d-0000-4000-8000-000000000001.dmp",
        Chrome() + L"Crashpad\\attachments\\0a1b2c3d-0000-4000-8000-000000000001\\log.txt",
        FirefoxRelativeCache() + L"thumbnails\\0a1b2c3d4e5f.png",
        FirefoxRelativeCache() + L"jumpListCache\\Vd8uJ4TvQqZ4Xy0=.ico",
        FirefoxRelative() + L"AlternateServices.bin",
        FirefoxRelative() + L"AlternateServices.txt",
        FirefoxRelative() + L"minidumps\\4c1e0f5a-0000-4000-8000-000000000002.dmp",
        FirefoxRoot() + L"Crash Reports\\pending\\4c1e0f5a-0000-4000-8000-000000000003.dmp",
        FirefoxRoot() + L"Crash Reports\\submitted\\bp-4c1e0f5a-0000-4000-8000-000000000004.txt",
    };
    for (const std::wstring& path : leftovers) WriteTestFile(path, "https://visited.test/");
    const std::vector<std::wstring> neighbours = {
        Chrome() + L"Crashpad\\settings.dat",
        Chrome() + L"Crashpad\\metadata",
        ChromeDefault() + L"Network\\Cookies",
        ChromeDefault() + L"Network\\TransportSecurity",
        FirefoxRoot() + L"Crash Reports\\InstallTime20261201101500",
        FirefoxRoot() + L"profiles.ini",
        FirefoxRelativeCache() + L"startupCache\\startupCache.8.little",
        FirefoxRelative() + L"SiteSecurityServiceState.bin",
    };
    for (const std::wstring& path : neighbours)
        if (!FileExists(path)) WriteTestFile(path, "not a leftover");
    std::vector<std::string> before;
    for (const std::wstring& path : neighbours) before.push_back(FileBytes(path));

    const UnattendedRun scan = RunUnattended(L"/scan", {L"ChromiumHistory", L"FirefoxHistory"});
    ExpectAllDone(scan);
    const std::set<std::wstring> chromium = ReportCells(scan, L"ChromiumHistory");
    for (const wchar_t* row :
         {L"DIPS", L"Network Persistent State", L"Reporting and NEL",
          L"Crashpad\\reports (all profiles)", L"Crashpad\\attachments (all profiles)"})
        EXPECT_TRUE(chromium.count(row)) << ToUtf8(row);
    const std::set<std::wstring> firefox = ReportCells(scan, L"FirefoxHistory");
    for (const wchar_t* row :
         {L"thumbnails", L"jumpListCache", L"AlternateServices", L"minidumps",
          L"Crash Reports\\pending (all profiles)", L"Crash Reports\\submitted (all profiles)"})
        EXPECT_TRUE(firefox.count(row)) << ToUtf8(row);

    ExpectAllDone(RunUnattended(L"/clean", {L"ChromiumHistory", L"FirefoxHistory"}));
    for (const std::wstring& path : leftovers) EXPECT_FALSE(FileExists(path)) << ToUtf8(path);
    for (size_t i = 0; i < neighbours.size(); ++i)
        EXPECT_EQ(FileBytes(neighbours[i]), before[i]) << ToUtf8(neighbours[i]);
}

// A kept site keeps its cookies and its site data in one run; a site not
// kept loses both.
using KeptSites = ModernBrowsersTest;
TEST_F(KeptSites, KeepTheirCookiesAndSiteDataTogether) {
    const std::string kept = seeded::kKeptSiteHost;
    const std::string gone = seeded::kSiteDataHost;
    ASSERT_TRUE(WriteChromiumSiteData(ChromeDefault()));
    ASSERT_TRUE(WriteFirefoxSiteData(FirefoxRelative()));
    ASSERT_TRUE(WriteChromiumCookies(ChromeDefault() + L"Network\\Cookies",
                                     {"." + kept, "www." + kept, "." + gone}));
    ASSERT_TRUE(WriteFirefoxCookies(FirefoxRelative() + L"cookies.sqlite", {"." + kept, gone}));
    const auto indexedDb = [&](const std::string& host) {
        return ChromeDefault() + L"IndexedDB\\https_" + FromUtf8(host) + L"_0.indexeddb.leveldb";
    };
    const auto firefoxOrigin = [&](const std::string& host) {
        return FirefoxRelative() + L"storage\\default\\https+++" + FromUtf8(host);
    };
    const std::string keptIndexedDb = FileBytes(indexedDb(kept) + L"\\000003.log");

    ExpectAllDone(RunUnattended(
        L"/clean", {L"ChromiumCookies", L"ChromiumSiteData", L"FirefoxCookies", L"FirefoxSiteData"},
        L" /keep:" + FromUtf8(kept)));
    EXPECT_EQ(QueryOne(ChromeDefault() + L"Network\\Cookies",
                       "SELECT group_concat(host_key) FROM (SELECT host_key FROM cookies "
                       "ORDER BY host_key)"),
              FromUtf8("." + kept + ",www." + kept));
    EXPECT_EQ(QueryOne(FirefoxRelative() + L"cookies.sqlite",
                       "SELECT group_concat(host) FROM moz_cookies"),
              FromUtf8("." + kept));
    EXPECT_EQ(FileBytes(indexedDb(kept) + L"\\000003.log"), keptIndexedDb);
    EXPECT_TRUE(FileExists(firefoxOrigin(kept) + L"\\ls\\data.sqlite"));
    EXPECT_FALSE(FileExists(indexedDb(gone)));
    EXPECT_FALSE(FileExists(firefoxOrigin(gone)));
}

}  // namespace

}  // namespace veltrane
