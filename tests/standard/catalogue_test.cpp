// The catalogue of described plug-ins: every registry row of every
// description planted and cleaned alone, the computed descriptions, the behaviour of the few with
// something of their own, and the page and template files that ship with them.
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

namespace veltrane {

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

RegRow KeyTree(HKEY root, const std::wstring& key) { return {root, key, Engine::kKeyTree, L""}; }

const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

// Where each described plug-in stands in the list: its category and weight.
struct Listing {
    const wchar_t* id;
    PluginCategory category;
    int weight = 0;
};

// In list order.
std::vector<Listing> Listings() {
    using enum PluginCategory;
    return {{L"RunHistory", kSystem},
            {L"OrderHistory", kSystem},
            {L"OpenHistory", kSystem},
            {L"TempDir", kSystem},
            {L"RegeditLastKey", kSystem},
            {L"NetLastUserLogon", kSystem},
            {L"NetLastDomainLogon", kSystem},
            {L"FindHistory", kSystem},
            {L"IEAutoCompletePsw", kIeAndAol},
            {L"IEAddressBarHistory", kIeAndAol, 3},
            {L"AOLAddressBarHistory", kIeAndAol},
            {L"IEDownload", kIeAndAol},
            {L"IEHelper", kIeAndAol},
            {L"OperaCache", kOpera},
            {L"OperaCookies", kOpera},
            {L"OperaAddressHistory", kOpera},
            {L"WCMediaHistory", kMultimedia},
            {L"RealPlayerPlaylist", kMultimedia},
            {L"ACDSeeHistory", kMultimedia}};
}

std::vector<std::wstring> CatalogueIds() {
    std::vector<std::wstring> ids;
    for (const Listing& listing : Listings()) ids.push_back(listing.id);
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

// A trace planted at a registry row of a description, in the row's own
// shape, with a control beside it that a clean of the row must leave: a
// value of the same key beside a single value, a sub-key below a key whose
// values go, a key of the same parent beside a whole key.
class PlantedRow {
public:
    explicit PlantedRow(const RegRow& row) : row_(row) {
        // The outermost key that does not exist yet is the test's to remove.
        for (size_t end = 0; end != std::wstring::npos;) {
            end = row.key.find(L'\\', end + 1);
            if (!KeyExists(row.root, row.key.substr(0, end))) {
                created_ = row.key.substr(0, end);
                break;
            }
        }
        switch (row.mode) {
            case Engine::kSingleValue:
                SetString(row.root, row.key, row.value, L"trace");
                SetString(row.root, row.key, kControl, L"control");
                break;
            case Engine::kAllValues:
                SetString(row.root, row.key, L"a", L"http://trace.example/a");
                SetString(row.root, row.key, L"b", L"http://trace.example/b");
                SetString(row.root, row.key + L"\\" + kControl, L"a", L"control");
                break;
            default:
                SetString(row.root, row.key + L"\\trace", L"a", L"trace");
                SetString(row.root, Sibling(), L"a", L"control");
                break;
        }
    }
    ~PlantedRow() {
        DeleteTree(row_.root, Sibling());
        if (!created_.empty())
            DeleteTree(row_.root, created_);
        else if (row_.mode == Engine::kSingleValue)
            SHDeleteValueW(row_.root, row_.key.c_str(), kControl);
        else if (row_.mode == Engine::kAllValues)
            DeleteTree(row_.root, row_.key + L"\\" + kControl);
    }
    PlantedRow(const PlantedRow&) = delete;
    PlantedRow& operator=(const PlantedRow&) = delete;

    void ExpectCleanedAlone() const {
        const std::string row = ToUtf8(row_.key + L"|" + row_.value);
        switch (row_.mode) {
            case Engine::kSingleValue:
                EXPECT_FALSE(ValueExists(row_.root, row_.key, row_.value)) << row;
                EXPECT_TRUE(ValueExists(row_.root, row_.key, kControl)) << row;
                break;
            case Engine::kAllValues:
                EXPECT_FALSE(ValueExists(row_.root, row_.key, L"a")) << row;
                EXPECT_FALSE(ValueExists(row_.root, row_.key, L"b")) << row;
                EXPECT_TRUE(ValueExists(row_.root, row_.key + L"\\" + kControl, L"a")) << row;
                break;
            default:
                EXPECT_FALSE(KeyExists(row_.root, row_.key)) << row;
                EXPECT_TRUE(ValueExists(row_.root, Sibling(), L"a")) << row;
                break;
        }
    }

private:
    static constexpr wchar_t kControl[] = L"veltrane control";
    std::wstring Sibling() const { return row_.key + L" " + kControl; }

    RegRow row_;
    std::wstring created_;
};

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
    for (const Listing& listing : Listings()) {
        const PluginListEntry* row = FindRow(listing.id);
        ASSERT_NE(row, nullptr) << ToUtf8(listing.id);
        EXPECT_EQ(row->identity.category, listing.category) << ToUtf8(listing.id);
        EXPECT_EQ(row->identity.weight, listing.weight) << ToUtf8(listing.id);
    }
}

// Every registry row of every description, planted in its own shape: the
// scan finds it and the clean removes it and nothing beside it. (The file
// rows are seeded by the seeder and cleaned through the program, end to end.)
TEST_F(CatalogueTest, EveryRegistryRowIsFoundAndCleanedAlone) {
    ScopedOsVersion windows98(kWindows98);
    for (const std::wstring& id : CatalogueIds()) {
        SCOPED_TRACE(ToUtf8(id));
        std::unique_ptr<CStandartPlugin> plugin = MakeFromList(id);
        ASSERT_NE(plugin, nullptr);
        const std::vector<RegRow> rows = RegRows(*plugin);
        // A plug-in describes registry entries or files, never both.
        EXPECT_NE(rows.empty(), plugin->GetEngine().fileEntries.empty());
        if (rows.empty()) continue;
        std::vector<std::unique_ptr<PlantedRow>> planted;
        for (const RegRow& row : rows) planted.push_back(std::make_unique<PlantedRow>(row));
        ASSERT_EQ(plugin->Scan(), CPlugin::kDone);
        const auto& entries = plugin->GetEngine().regEntries;
        for (size_t n = 0; n < entries.size(); ++n)
            EXPECT_FALSE(entries[n].found.empty()) << ToUtf8(rows[n].key + L"|" + rows[n].value);
        ASSERT_EQ(plugin->Fix(), CPlugin::kDone);
        for (const auto& row : planted) row->ExpectCleanedAlone();
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

    for (const std::wstring& id : CatalogueIds()) {
        SCOPED_TRACE(ToUtf8(id));
        std::unique_ptr<CStandartPlugin> plugin = MakeFromList(id);
        ASSERT_NE(plugin, nullptr);
        const std::wstring own = shared + L"Plg" + id + L"\\";
        EXPECT_FALSE(ReadPage(own + L"name.html").empty());
        EXPECT_FALSE(ReadPage(own + L"description.html").empty());
        const CStandartPlugin::ReportLayout layout = plugin->GetReportLayout();
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
                EXPECT_EQ(showsData, plugin->GetEngine().showValueData) << ToUtf8(row);
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

}  // namespace veltrane
