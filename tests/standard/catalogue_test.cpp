// The catalogue of described plug-ins: every description checked against its
// table, the computed ones, the behaviour of the few with something of their
// own, and the page and template files that ship with them.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>

#include "engine/page_reader.h"
#include "plugins/plugin_list.h"
#include "plugins/standard/catalogue.h"
#include "probe_plugin.h"
#include "seedtraces/seed_standard.h"
#include "standard/registry_place.h"
#include "support/scoped_overrides.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/text.h"

namespace {

using Engine = CElimAction;
const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;

struct RegRow {
    HKEY root;
    std::wstring key;
    int mode;
    std::wstring value;
    bool operator==(const RegRow&) const = default;
};
struct FileRow {
    std::wstring path;
    int mode;
    std::wstring mask;
    bool operator==(const FileRow&) const = default;
};
struct Description {
    const wchar_t* id;
    PluginCategory category;
    int weight = 0;
    CStandartPlugin::ReportLayout layout;
    bool showValueData = false;
    bool matchByData = false;
    std::vector<RegRow> reg;
    std::vector<FileRow> files;
};

// The rows a description holds, one maker per mode.
RegRow Value(HKEY root, const std::wstring& key, const std::wstring& value) {
    return {root, key, Engine::kSingleValue, value};
}
RegRow AllValues(HKEY root, const std::wstring& key) {
    return {root, key, Engine::kAllValues, L""};
}
RegRow KeyTree(HKEY root, const std::wstring& key) { return {root, key, Engine::kKeyTree, L""}; }
FileRow SingleFile(const std::wstring& path) { return {path, Engine::kSingleFile, L"*.*"}; }
FileRow FolderFiles(const std::wstring& path, const std::wstring& masks) {
    return {path, Engine::kFolderFiles, masks};
}
FileRow FolderTree(const std::wstring& path) { return {path, Engine::kFolderTree, L"*.*"}; }

const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::wstring kNtLogon = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::wstring k9xLogon = L"Software\\Microsoft\\Windows\\CurrentVersion\\Winlogon";
const std::wstring kMachineLogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::vector<RegRow> RealPlayerKeys() {
    const std::wstring machine =
        L"SOFTWARE\\Classes\\SOFTWARE\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
    const std::wstring user = L"SOFTWARE\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
    std::vector<RegRow> rows = {KeyTree(HKLM, machine + L"MostRecentClips"),
                                KeyTree(HKCU, user + L"MostRecentClips")};
    for (int n = 1; n <= 10; ++n) {
        rows.push_back(KeyTree(HKLM, machine + L"MostRecentClips" + std::to_wstring(n)));
        rows.push_back(KeyTree(HKCU, user + L"MostRecentClips" + std::to_wstring(n)));
    }
    rows.push_back(KeyTree(HKLM, machine + L"HistoryList"));
    rows.push_back(KeyTree(HKCU, user + L"HistoryList"));
    return rows;
}

// In list order. FindHistory as on Windows 98 and NT 4.
std::vector<Description> Catalogue() {
    using Layout = CStandartPlugin::ReportLayout;
    using enum PluginCategory;
    const std::wstring acd32 = L"Software\\ACD Systems\\ACDSee32";
    const std::wstring acd50 = L"Software\\ACD Systems\\ACDSee\\50";
    const std::wstring acd = L"Software\\ACD Systems\\ACDSee";
    const std::wstring ie = L"Software\\Microsoft\\Internet Explorer\\";
    const std::wstring player = L"Software\\Microsoft\\MediaPlayer\\Player\\";
    const std::wstring opera = L"[PATH_APP_OPERA_ROOT]";
    const std::wstring opera7 = L"[PATH_APP_OPERA7_USERDATA]";
    const std::wstring opera75 = L"[PATH_APP_OPERA75_USERDATA]";
    // clang-format off
    return {
        {.id = L"RunHistory", .category = kSystem, .layout = Layout::kRegValues,
         .reg = {AllValues(HKCU, kExplorer + L"RunMRU")}},
        {.id = L"OrderHistory", .category = kSystem, .layout = Layout::kRegValues,
         .reg = {AllValues(HKCU, kExplorer + L"MenuOrder\\Start Menu\\Programs"),
                 AllValues(HKCU, kExplorer + L"MenuOrder\\Favorites")}},
        {.id = L"OpenHistory", .category = kSystem, .layout = Layout::kRegKeysValues,
         .reg = {KeyTree(HKCU, kExplorer + L"ComDlg32\\OpenSaveMRU")}},
        {.id = L"TempDir", .category = kSystem, .layout = Layout::kFilesFolders,
         .files = {FolderTree(L"[PATH_SYS_TEMP]")}},
        {.id = L"RegeditLastKey", .category = kSystem, .layout = Layout::kRegValues,
         .showValueData = true,
         .reg = {Value(HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit",
                       L"LastKey")}},
        {.id = L"NetLastUserLogon", .category = kSystem, .layout = Layout::kRegValues,
         .showValueData = true,
         .reg = {Value(HKCU, kNtLogon, L"DefaultUserName"),
                 Value(HKCU, kNtLogon, L"AltDefaultUserName"),
                 Value(HKCU, k9xLogon, L"DefaultUserName"),
                 Value(HKLM, kMachineLogon, L"DefaultUserName"),
                 Value(HKLM, kMachineLogon, L"AltDefaultUserName"),
                 Value(HKLM, L"Network\\Logon", L"username")}},
        {.id = L"NetLastDomainLogon", .category = kSystem, .layout = Layout::kRegValues,
         .showValueData = true,
         .reg = {Value(HKCU, kNtLogon, L"DefaultDomainName"),
                 Value(HKCU, kNtLogon, L"AltDefaultDomainName"),
                 Value(HKCU, k9xLogon, L"DefaultDomainName"),
                 Value(HKLM, kMachineLogon, L"DefaultDomainName"),
                 Value(HKLM, kMachineLogon, L"AltDefaultDomainName")}},
        {.id = L"FindHistory", .category = kSystem, .layout = Layout::kRegKeysValues,
         .reg = {KeyTree(HKCU, kExplorer + L"FindComputerMRU"),
                 KeyTree(HKCU, kExplorer + L"Doc Find Spec MRU")}},
        {.id = L"IEAutoCompletePsw", .category = kIeAndAol,
         .layout = Layout::kRegKeysValues, .reg = {KeyTree(HKCU, ie + L"IntelliForms")}},
        {.id = L"IEAddressBarHistory", .category = kIeAndAol, .weight = 3,
         .layout = Layout::kRegValues, .showValueData = true, .matchByData = true,
         .reg = {AllValues(HKCU, ie + L"TypedURLs")}},
        {.id = L"AOLAddressBarHistory", .category = kIeAndAol, .layout = Layout::kFiles,
         .files = {FolderFiles(L"[PATH_APP_AOL_ROOT]\\organize", L"*.ARL|*.AUT")}},
        {.id = L"IEDownload", .category = kIeAndAol, .layout = Layout::kFilesFolders,
         .files = {FolderTree(L"[PATH_SYS_DOWNLOADEDPROGRAMS]")}},
        {.id = L"IEHelper", .category = kIeAndAol, .layout = Layout::kRegKeysValues,
         .reg = {KeyTree(HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                               L"Browser Helper Objects")}},
        {.id = L"OperaCache", .category = kOpera, .layout = Layout::kFiles,
         .files = {FolderFiles(L"[PATH_APP_OPERA6_CACHE]", L"*.*"),
                   FolderFiles(L"[PATH_APP_OPERA7_CACHE]", L"*.*"),
                   FolderFiles(L"[PATH_APP_OPERA75_CACHE]", L"*.*")}},
        {.id = L"OperaCookies", .category = kOpera, .layout = Layout::kFiles,
         .files = {SingleFile(opera + L"\\cookies4.dat"), SingleFile(opera7 + L"\\cookies4.dat"),
                   SingleFile(opera75 + L"\\cookies4.dat")}},
        {.id = L"OperaAddressHistory", .category = kOpera, .layout = Layout::kFiles,
         .files = {SingleFile(opera + L"\\opera.dir"), SingleFile(opera + L"\\global.dat"),
                   SingleFile(opera7 + L"\\opera.dir"), SingleFile(opera7 + L"\\global.dat"),
                   SingleFile(opera75 + L"\\opera.dir"), SingleFile(opera75 + L"\\global.dat")}},
        {.id = L"WCMediaHistory", .category = kMultimedia, .layout = Layout::kRegValues,
         .reg = {AllValues(HKCU, player + L"RecentURLList"),
                 AllValues(HKCU, player + L"RecentFileList")}},
        {.id = L"RealPlayerPlaylist", .category = kMultimedia, .layout = Layout::kRegKeysValues,
         .reg = RealPlayerKeys()},
        {.id = L"ACDSeeHistory", .category = kMultimedia, .layout = Layout::kRegValues,
         .showValueData = true,
         .reg = {Value(HKCU, acd32, L"LastFolder"), Value(HKCU, acd32, L"HistPaths"),
                 Value(HKCU, acd32, L"OpenFolder"),
                 Value(HKCU, acd50, L"HistPaths"), Value(HKCU, acd50, L"OpenFolder"),
                 Value(HKCU, acd50, L"HistSearchText"), Value(HKCU, acd50, L"HistFileFilters"),
                 Value(HKCU, acd, L"HistPaths"), Value(HKCU, acd, L"OpenFolder"),
                 Value(HKCU, acd, L"HistSearchText"), Value(HKCU, acd, L"HistFileFilters")}},
    };
    // clang-format on
}

std::vector<std::wstring> CatalogueIds() {
    std::vector<std::wstring> ids;
    for (const Description& description : Catalogue()) ids.push_back(description.id);
    return ids;
}

const PluginListEntry* FindRow(const std::wstring& id) {
    for (const PluginListEntry& entry : GetPluginListTable())
        if (entry.identity.id == id) return &entry;
    return nullptr;
}

std::vector<RegRow> RegRows(const CStandartPlugin& plugin) {
    std::vector<RegRow> rows;
    for (const auto& entry : plugin.GetEngine().regEntries)
        rows.push_back({entry.root, entry.keyPath, entry.mode, entry.valueName});
    return rows;
}

std::vector<FileRow> FileRows(const CStandartPlugin& plugin) {
    std::vector<FileRow> rows;
    for (const auto& entry : plugin.GetEngine().fileEntries)
        rows.push_back({entry.path, entry.mode, entry.mask});
    return rows;
}

// The plug-ins as the program makes them, from the installed program's folder.
class CatalogueTest : public testing::Test {
protected:
    template <typename Plugin>
    std::unique_ptr<Joinable<Plugin>> Make(const wchar_t* id) {
        const PluginListEntry* row = FindRow(id);
        EXPECT_NE(row, nullptr) << ToUtf8(id);
        return std::make_unique<Joinable<Plugin>>(
            bare.kernel, row ? row->identity : PluginIdentity{id, PluginCategory::kIeAndAol, 0});
    }
    std::unique_ptr<CStandartPlugin> MakeFromList(const std::wstring& id) {
        const PluginListEntry* row = FindRow(id);
        if (!row) return nullptr;
        auto* plugin =
            dynamic_cast<CStandartPlugin*>(row->create(bare.kernel, row->identity).release());
        return std::unique_ptr<CStandartPlugin>(plugin);
    }

    ScopedProgramFolder programFolder;
    BareKernel bare{CatalogueIds()};
};

TEST_F(CatalogueTest, PluginListHoldsTheNineteenInOrder) {
    const std::vector<std::wstring> ids = CatalogueIds();
    std::vector<std::wstring> listed;
    for (const PluginListEntry& entry : GetPluginListTable()) {
        std::wstring id = entry.identity.id;
        if (std::ranges::find(ids, id) != ids.end()) listed.push_back(id);
    }
    EXPECT_EQ(listed, ids);
    for (const Description& description : Catalogue()) {
        const PluginListEntry* row = FindRow(description.id);
        ASSERT_NE(row, nullptr) << ToUtf8(description.id);
        EXPECT_EQ(row->identity.category, description.category) << ToUtf8(description.id);
        EXPECT_EQ(row->identity.weight, description.weight) << ToUtf8(description.id);
    }
}

TEST_F(CatalogueTest, EveryDescriptionMatchesItsTable) {
    ScopedOsVersion windows98(kWindows98);
    for (const Description& description : Catalogue()) {
        SCOPED_TRACE(ToUtf8(description.id));
        std::unique_ptr<CStandartPlugin> plugin = MakeFromList(description.id);
        ASSERT_NE(plugin, nullptr);
        EXPECT_EQ(plugin->GetId(), description.id);
        EXPECT_EQ(plugin->GetReportLayout(), description.layout);
        EXPECT_EQ(plugin->GetEngine().showValueData, description.showValueData);
        EXPECT_EQ(plugin->GetEngine().matchByData, description.matchByData);
        EXPECT_TRUE(RegRows(*plugin) == description.reg);
        EXPECT_TRUE(FileRows(*plugin) == description.files);
        // A plug-in describes registry entries or files, never both.
        EXPECT_NE(RegRows(*plugin).empty(), FileRows(*plugin).empty());
    }
}

TEST_F(CatalogueTest, FindHistoryChoosesItsKeysByWindowsVersion) {
    const std::wstring acMru = L"Software\\Microsoft\\Search Assistant\\ACMru";
    const std::wstring bars =
        L"Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
        L"{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}";
    const std::vector<RegRow> older = {KeyTree(HKCU, kExplorer + L"FindComputerMRU"),
                                       KeyTree(HKCU, kExplorer + L"Doc Find Spec MRU")};
    struct Case {
        OsVersion version;
        std::vector<RegRow> rows;
    };
    const Case cases[] = {
        {kWindowsXP, {KeyTree(HKCU, acMru)}},
        {kWindowsServer2003, {KeyTree(HKCU, acMru)}},
        {kWindows2000, {KeyTree(HKCU, bars)}},
        {kWindowsMe, {KeyTree(HKCU, bars)}},
        {kWindows98, older},
        {kWindowsNT4, older},
        {kWindows7, older},  // any NT other than 5
    };
    for (const Case& c : cases) {
        ScopedOsVersion version(c.version);
        auto plugin = Make<CPlgFindHistory>(L"FindHistory");
        EXPECT_TRUE(RegRows(*plugin) == c.rows)
            << c.version.platformId << " " << c.version.major << "." << c.version.minor;
    }
}

TEST_F(CatalogueTest, RealPlayerDescribesTwentyFourKeys) {
    auto plugin = Make<CPlgRealPlayerPlaylist>(L"RealPlayerPlaylist");
    std::vector<RegRow> rows = RegRows(*plugin);
    ASSERT_EQ(rows.size(), 24u);
    EXPECT_TRUE(rows == RealPlayerKeys());
    for (const RegRow& row : rows) {
        EXPECT_FALSE(EndsWith(row.key, L"MostRecentClips0"));
        EXPECT_FALSE(EndsWith(row.key, L"MostRecentClips11"));
    }
}

// Reports with the shipped templates keep no placeholder of their own.
void ExpectNoPlaceholderLeft(const std::wstring& report) {
    for (const wchar_t* placeholder :
         {L"#plugin name#", L"#column headers#", L"#report items#", L"#header#", L"#item#",
          L"#total report#", L"#reg value#", L"#reg name#", L"#reg path#", L"#status#",
          L"#items found#", L"#items removed#", L"#items failed#", L"#subitems found#",
          L"#subitems removed#", L"#size#", L"#id#"})
        EXPECT_EQ(report.find(placeholder), std::wstring::npos) << ToUtf8(placeholder);
}

template <typename Plugin>
std::wstring ScanReportOf(Plugin& plugin) {
    MemoryHtmlElement element;
    plugin.BuildScanReport(element);
    return element.innerHtml;
}

template <typename Plugin>
std::wstring FixReportOf(Plugin& plugin) {
    MemoryHtmlElement element;
    plugin.BuildFixReport(element);
    return element.innerHtml;
}

TEST_F(CatalogueTest, RunHistoryCleanCompletesAfterReboot) {
    const std::wstring runMru = kExplorer + L"RunMRU";
    RegistryPlace place(HKCU, runMru, {L"a", L"b", L"c", L"MRUList"});
    SHDeleteValueW(HKCU, runMru.c_str(), L"MRUList");
    SetString(HKCU, runMru, L"a", L"notepad\\1");
    SetString(HKCU, runMru, L"b", L"cmd\\1");
    SetString(HKCU, runMru, L"c", L"regedit\\1");
    auto plugin = Make<CPlgRunHistory>(L"RunHistory");
    bare.kernel.SetRebootNeeded(false);
    ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
    ASSERT_EQ(plugin->GetEngine().regEntries[0].found.size(), 3u);
    ASSERT_EQ(plugin->Fix(), CPlugin::kDone);

    for (const auto& record : plugin->GetEngine().regEntries[0].found)
        EXPECT_EQ(record.status, Engine::kDeferred);
    ASSERT_EQ(plugin->GetErrors().size(), 3u);
    for (const ItemError& error : plugin->GetErrors()) {
        EXPECT_EQ(error.GetTitle(), L"Cleanup process will be completed after system reboot.");
        EXPECT_EQ(error.GetReason(), L"Windows is cashing Run history.");
    }
    EXPECT_TRUE(bare.kernel.IsRebootNeeded());
    EXPECT_FALSE(ValueExists(HKCU, runMru, L"b"));
    std::wstring report = FixReportOf(*plugin);
    for (int n = 1; n <= 3; ++n)
        EXPECT_NE(report.find(L"idError_" + std::to_wstring(n)), std::wstring::npos) << n;
    ExpectNoPlaceholderLeft(report);

    // Nothing removed: no error and no reboot.
    bare.kernel.SetRebootNeeded(false);
    ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
    ASSERT_EQ(plugin->Fix(), CPlugin::kDone);
    EXPECT_TRUE(plugin->GetErrors().empty());
    EXPECT_FALSE(bare.kernel.IsRebootNeeded());
}

TEST_F(CatalogueTest, TypedAddressesAreShownAndFollowedThroughRenumbering) {
    std::vector<std::wstring> names;
    for (int n = 1; n <= 5; ++n) names.push_back(L"url" + std::to_wstring(n));
    RegistryPlace place(HKCU, kTypedUrlsKey, names);
    for (const std::wstring& name : names) SHDeleteValueW(HKCU, kTypedUrlsKey, name.c_str());
    SetString(HKCU, kTypedUrlsKey, L"url1", L"http://one.example/?a=1&b=2");
    SetString(HKCU, kTypedUrlsKey, L"url2", L"http://two.example/");
    SetString(HKCU, kTypedUrlsKey, L"url3", L"http://three.example/");

    auto plugin = Make<CPlgIEAddressBarHistory>(L"IEAddressBarHistory");
    ASSERT_TRUE(plugin->ScanOnWorker());
    std::wstring report = ScanReportOf(*plugin);
    EXPECT_NE(report.find(L"http://one.example/?a=1&amp;b=2"), std::wstring::npos)
        << ToUtf8(report);
    EXPECT_NE(report.find(L"http://three.example/"), std::wstring::npos);
    ExpectNoPlaceholderLeft(report);

    ASSERT_TRUE(RenumberTypedUrls(L"http://typed.later/"));
    ASSERT_EQ(plugin->Fix(), CPlugin::kDone);
    std::wstring first;
    EXPECT_TRUE(GetString(HKCU, kTypedUrlsKey, L"url1", first));
    EXPECT_EQ(first, L"http://typed.later/");
    for (int n = 2; n <= 4; ++n)
        EXPECT_FALSE(ValueExists(HKCU, kTypedUrlsKey, L"url" + std::to_wstring(n))) << n;
    ExpectNoPlaceholderLeft(FixReportOf(*plugin));
}

TEST_F(CatalogueTest, LastLogonUserNameOfTheNetworkIsTheMachines) {
    RegistryPlace machine(HKLM, L"Network\\Logon", {L"username"});
    RegistryPlace user(HKCU, L"Network\\Logon", {L"username"});
    SetString(HKLM, L"Network\\Logon", L"username", L"alice");
    SetString(HKCU, L"Network\\Logon", L"username", L"not this one");
    auto plugin = Make<CPlgNetLastUserLogon>(L"NetLastUserLogon");
    ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
    const auto& entry = plugin->GetEngine().regEntries.back();
    ASSERT_EQ(entry.found.size(), 1u);
    EXPECT_EQ(entry.found[0].name, L"HKEY_LOCAL_MACHINE\\Network\\Logon\\username");
    EXPECT_EQ(entry.found[0].valueData, L"alice");
    ASSERT_EQ(plugin->Fix(), CPlugin::kDone);
    EXPECT_FALSE(ValueExists(HKLM, L"Network\\Logon", L"username"));
    EXPECT_TRUE(ValueExists(HKCU, L"Network\\Logon", L"username"));
}

TEST_F(CatalogueTest, AolHistoryIsTheListsDirectlyInOrganize) {
    ScopedTestFolder aolRoot(L"AolRoot");
    RegistryPlace appPath(HKLM, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Aol.exe",
                          {L"Path"});
    SetString(HKLM, appPath.Key(), L"Path", aolRoot.Path());
    WriteTestFile(aolRoot.Sub(L"organize\\Name.ARL"), "1");
    WriteTestFile(aolRoot.Sub(L"organize\\Name.AUT"), "2");
    WriteTestFile(aolRoot.Sub(L"organize\\Name.txt"), "3");
    WriteTestFile(aolRoot.Sub(L"organize\\Archive\\Old.ARL"), "4");
    auto plugin = Make<CPlgAOLAddressBarHistory>(L"AOLAddressBarHistory");
    ASSERT_TRUE(plugin->ScanOnWorker());
    const auto& found = plugin->GetEngine().fileEntries[0].found;
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, aolRoot.Sub(L"organize\\Name.ARL"));
    EXPECT_EQ(found[1].name, aolRoot.Sub(L"organize\\Name.AUT"));
    ExpectNoPlaceholderLeft(ScanReportOf(*plugin));
    ASSERT_EQ(plugin->Fix(), CPlugin::kDone);
    EXPECT_TRUE(FileExists(aolRoot.Sub(L"organize\\Name.txt")));
    EXPECT_TRUE(FileExists(aolRoot.Sub(L"organize\\Archive\\Old.ARL")));
    EXPECT_FALSE(FileExists(aolRoot.Sub(L"organize\\Name.ARL")));
}

TEST_F(CatalogueTest, OperaCookiesRefusesWhileCookiesAreToBeKept) {
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    const std::wstring opera = std::wstring(appData) + L"\\Opera";
    const std::wstring file = opera + L"\\Opera7\\profile\\cookies4.dat";
    RemoveTree(opera);
    WriteTestFile(file, "cookies");
    auto plugin = Make<CPlgOperaCookies>(L"OperaCookies");

    bare.kernel.OverrideCookieKeepList(L"example.com");
    ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
    EXPECT_EQ(plugin->Fix(), CPlugin::kDoneWithFailures);
    EXPECT_TRUE(FileExists(file));
    ASSERT_EQ(plugin->GetErrors().size(), 1u);
    EXPECT_NE(plugin->GetErrors()[0].GetTitle().find(file), std::wstring::npos);
    EXPECT_NE(plugin->GetErrors()[0].GetReason().find(L"Cookies to keep"), std::wstring::npos);
    const std::wstring report = FixReportOf(*plugin);
    EXPECT_NE(report.find(L"idError_1"), std::wstring::npos) << report;
    ExpectNoPlaceholderLeft(report);

    bare.kernel.OverrideCookieKeepList(L"");
    ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
    EXPECT_EQ(plugin->Fix(), CPlugin::kDone);
    EXPECT_FALSE(FileExists(file));
    RemoveTree(opera);
}

// The shipped data files: pages for every plug-in, and header columns that
// match the cells of every kind of row each layout shows.
TEST_F(CatalogueTest, ShippedPagesAndTemplatesFitTogether) {
    const std::wstring shared = L"html\\English\\Plugins\\";
    const wchar_t* families[] = {L"Files", L"FilesFolders", L"RegValues", L"RegKeysValues"};
    const std::vector<std::vector<const wchar_t*>> rowKinds = {
        {L"Files"}, {L"Files", L"Folders"}, {L"RegValues"}, {L"RegKeys", L"RegValues"}};
    auto lines = [&](const std::wstring& own, const std::wstring& name, bool keepEmpty) {
        std::vector<std::wstring> read;
        if (!ReadTemplateLines(own + name, read)) {
            EXPECT_TRUE(ReadTemplateLines(shared + name, read)) << ToUtf8(name);
        }
        if (!keepEmpty) std::erase(read, std::wstring());
        return read;
    };

    for (const Description& description : Catalogue()) {
        SCOPED_TRACE(ToUtf8(description.id));
        const std::wstring own = shared + L"Plg" + description.id + L"\\";
        EXPECT_FALSE(ReadPage(own + L"name.html").empty());
        EXPECT_FALSE(ReadPage(own + L"description.html").empty());
        const CStandartPlugin::ReportLayout layout = description.layout;
        const bool keepEmpty =
            layout == CStandartPlugin::kFilesFolders || layout == CStandartPlugin::kRegKeysValues;
        for (const wchar_t* kind : {L"Scan", L"Fix"}) {
            size_t columns =
                lines(own, families[layout] + (L"HeaderTemplates" + std::wstring(kind)) + L".txt",
                      true)
                    .size();
            EXPECT_GT(columns, 1u);
            for (const wchar_t* row : rowKinds[layout]) {
                auto cells =
                    lines(own, row + (L"Templates" + std::wstring(kind)) + L".txt", keepEmpty);
                EXPECT_EQ(cells.size(), columns) << ToUtf8(row) << " " << ToUtf8(kind);
                bool showsData = std::ranges::find(cells, L"#reg value#") != cells.end();
                EXPECT_EQ(showsData, description.showValueData) << ToUtf8(row);
                bool showsStatus = std::ranges::find(cells, L"#status#") != cells.end();
                EXPECT_EQ(showsStatus, std::wstring(kind) == L"Fix") << ToUtf8(row);
            }
        }
    }
    std::wstring frame = ReadPage(shared + L"Report.html");
    for (const wchar_t* placeholder :
         {L"#plugin name#", L"#column headers#", L"#report items#", L"#total report#"})
        EXPECT_NE(frame.find(placeholder), std::wstring::npos) << ToUtf8(placeholder);
    EXPECT_NE(ReadPage(shared + L"ColumnHeader.html").find(L"#header#"), std::wstring::npos);
    EXPECT_NE(ReadPage(shared + L"ReportItem.html").find(L"#item#"), std::wstring::npos);
    for (const wchar_t* family : families) {
        EXPECT_NE(ReadPage(shared + family + L"TotalScan.html").find(L"#items found#"),
                  std::wstring::npos);
        EXPECT_NE(ReadPage(shared + family + L"TotalFix.html").find(L"#items removed#"),
                  std::wstring::npos);
    }
}

}  // namespace
