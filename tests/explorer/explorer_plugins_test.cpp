// The Windows 7 to 11 plug-ins over seeded traces: each scanned (its report
// showing names, never raw data) and cleaned through a real kernel, with the
// control data beside every place left; the plug-in list's rows; a locked
// thumbnail cache; list entries already gone by the time of the clean; the
// folder views' keys and Explorer's Quick Access list.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include <algorithm>

#include "plugins/explorer/explorer_plugins.h"
#include "plugins/plugin_list.h"
#include "plugins/standard/catalogue.h"
#include "seedtraces/seed_windows.h"
#include "seedtraces/shell_item_data.h"
#include "standard/seed_manifest.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const std::wstring kIds[] = {
    L"ExplorerRecentDocs", L"OpenSavePidlHistory", L"ExplorerTypedPaths", L"ExplorerSearchHistory",
    L"UserAssist",         L"ShellBags",           L"JumpLists",          L"ThumbnailCache",
    L"ErrorReports",       L"WindowsTimeline",     L"OfficeRecentFiles",  L"FeatureUsage"};

void ExpectNoRawDataOrPlaceholder(const std::wstring& report) {
    for (const wchar_t* text : {L"#BINARY DATA#", L"#UNSUPPORTED FORMAT DATA#", L"#reg value#",
                                L"#reg name#", L"#reg path#", L"#status#", L"#item#",
                                L"#subitems found#", L"#subitems removed#", L"#size#"})
        EXPECT_EQ(report.find(text), std::wstring::npos) << ToUtf8(text);
}

// Scans, checks the report shows `shown`, cleans without a failure, and
// scans again to find nothing.
template <typename Plugin>
void ScanAndClean(const wchar_t* id, const std::vector<std::wstring>& shown) {
    SCOPED_TRACE(ToUtf8(id));
    PluginRun<Plugin> run(id);
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_GT(run.plugin->GetScanSummary().items, 0u);
    std::wstring report = run.ScanReport();
    for (const std::wstring& text : shown)
        EXPECT_NE(report.find(text), std::wstring::npos) << ToUtf8(text) << "\n" << ToUtf8(report);
    ExpectNoRawDataOrPlaceholder(report);

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    ExpectNoRawDataOrPlaceholder(run.CleanReport());
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(run.plugin->GetScanSummary().items, 0u);
}

TEST(WindowsPlugins, EachCleansItsTracesAndLeavesWhatIsBeside) {
    StandardSeedManifest seeded;
    ASSERT_TRUE(SeedWindowsTraces(1, &seeded));
    // A file in Recent itself is none of the Jump Lists.
    const std::wstring readme = GetKnownFolderPath(FOLDERID_Recent) + L"\\readme.txt";
    WriteTestFile(readme, "stays");

    ScanAndClean<CPlgExplorerRecentDocs>(L"ExplorerRecentDocs", {L"Quarterly report.docx"});
    ScanAndClean<CPlgOpenSavePidlHistory>(L"OpenSavePidlHistory",
                                          {L"C:\\Users\\Public\\Documents\\draft 0.pdf",
                                           L"WINWORD.EXE (C:\\Users\\Public\\Documents)"});
    ScanAndClean<CPlgExplorerTypedPaths>(L"ExplorerTypedPaths", {L"\\\\fileserver\\projects"});
    ScanAndClean<CPlgExplorerSearchHistory>(L"ExplorerSearchHistory", {L"salary review"});
    ScanAndClean<CPlgUserAssist>(
        L"UserAssist",
        {kUserAssistPrograms[0] + std::wstring(L" (started 1 time, last on 2025-03-01 13:33 UTC)"),
         L"counter UEME_CTLSESSION, not a program"});
    ScanAndClean<CPlgShellBags>(L"ShellBags",
                                {L"Computer", L"C:\\", L"C:\\Project 0", L"C:\\Project 2"});
    ScanAndClean<CPlgJumpLists>(L"JumpLists", {L"5f7b5f1e01b83767.automaticDestinations-ms"});
    ScanAndClean<CPlgThumbnailCache>(L"ThumbnailCache", {L"thumbcache_256.db"});
    ScanAndClean<CPlgErrorReports>(L"ErrorReports", {L"AppCrash_notepad.exe_0"});

    ExpectCleanedAsSeeded(seeded);
    // The lists' own keys stay: only their entries go.
    EXPECT_TRUE(KeyExists(HKCU, kExplorer + L"RecentDocs"));
    EXPECT_TRUE(KeyExists(HKCU, kExplorer + L"ComDlg32\\OpenSavePidlMRU"));
    EXPECT_TRUE(
        KeyExists(HKCU, kExplorer + L"UserAssist\\{CEBFF5CD-ACE2-4F4F-9178-9926F41749EA}\\Count"));
    EXPECT_TRUE(FileExists(readme));

    DeleteFileW(readme.c_str());
    UndoSeeding(seeded);
}

TEST(WindowsPlugins, FollowTheFirstRowsOfThePluginListInOrder) {
    const std::vector<PluginListEntry>& table = GetPluginListTable();
    auto acdSee = std::ranges::find_if(table, [](const PluginListEntry& entry) {
        return entry.identity.id == std::wstring(L"ACDSeeHistory");
    });
    ASSERT_NE(acdSee, table.end());
    std::vector<std::wstring> listed;
    for (auto entry = acdSee + 1; entry != table.end(); ++entry) {
        if (entry->identity.category != PluginCategory::kWindows) continue;
        listed.push_back(entry->identity.id);
        EXPECT_STREQ(CategoryName(entry->identity.category), L"Windows 7 to 11");
    }
    EXPECT_TRUE(std::ranges::equal(listed, kIds));
}

// Explorer holds its thumbnail caches open while it runs.
TEST(WindowsPlugins, ALockedThumbnailCacheGoesAtTheNextStart) {
    const std::wstring cache = GetKnownFolderPath(FOLDERID_LocalAppData) +
                               L"\\Microsoft\\Windows\\Explorer\\thumbcache_48.db";
    WriteTestFile(cache, std::string(4096, 'T'));
    PluginRun<CPlgThumbnailCache> run(L"ThumbnailCache");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        UniqueHandle held = HoldOpen(cache);
        ASSERT_TRUE(held);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    const auto& found = run.plugin->GetEngine().fileEntries[0].found;
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].status, CElimAction::kDeferred);
    EXPECT_TRUE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_NE(run.CleanReport().find(L"status-reboot\" id=\"idError_1\""), std::wstring::npos);
    DeleteFileW(cache.c_str());
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

// An entry gone before the clean came is shown "Already gone", not as removed.
TEST(WindowsPlugins, EntriesAlreadyGoneShowAsGone) {
    const std::wstring recent = kExplorer + L"RecentDocs";
    const std::string data = Utf16Bytes(L"plan.txt");
    for (const wchar_t* name : {L"0", L"1"}) {
        SetBinary(HKCU, recent, name, data.data(), static_cast<DWORD>(data.size()));
        SetBinary(HKCU, recent + L"\\.txt", name, data.data(), static_cast<DWORD>(data.size()));
    }
    PluginRun<CPlgExplorerRecentDocs> run(L"ExplorerRecentDocs");
    ASSERT_EQ(run.Scan(), L"Finished");
    // Explorer rewrites its lists at any time.
    SHDeleteValueW(HKCU, recent.c_str(), L"1");
    DeleteTree(HKCU, recent + L"\\.txt");
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    std::wstring statuses;
    for (const auto& entry : run.plugin->GetEngine().regEntries)
        for (const auto& record : entry.found)
            statuses += record.regName + L"=" + std::to_wstring(record.status) + L" ";
    // RecentDocs\0 went; its "1", the key .txt and its values were gone already.
    EXPECT_EQ(statuses, L"0=4 1=6 =6 0=6 1=6 ") << ToUtf8(statuses);
    EXPECT_FALSE(ValueExists(HKCU, recent, L"0"));
}

// A registry link among the keys of a list kept one per sub-key (a file
// type under RecentDocs, a program group under UserAssist) is one row the
// clean leaves; the key it points to keeps everything it holds.
TEST(WindowsPlugins, RegistryLinksAmongTheListsAreLeftWithWhatTheyPointTo) {
    ScopedTestKey target(L"ExplorerLinkTarget");
    const std::string data = Utf16Bytes(L"plan.txt");
    SetBinary(HKCU, target.Path(), L"0", data.data(), static_cast<DWORD>(data.size()));
    SetBinary(HKCU, target.Sub(L"Count"), L"HRZR_PGYFRFFVBA", data.data(),
              static_cast<DWORD>(data.size()));
    const std::wstring recentLink = kExplorer + L"RecentDocs\\.evil";
    const std::wstring assistLink =
        kExplorer + L"UserAssist\\{00000000-0000-0000-0000-000000000001}";
    // Removed however the test ends: a link left behind would turn up in later tests' lists.
    struct LinksRemoved {
        std::vector<std::wstring> links;
        ~LinksRemoved() {
            for (const std::wstring& link : links) DeleteTree(HKCU, link);
        }
    } made{{recentLink, assistLink}};
    ASSERT_TRUE(MakeRegLink(HKCU, recentLink, target.Path()));
    ASSERT_TRUE(MakeRegLink(HKCU, assistLink, target.Path()));

    PluginRun<CPlgExplorerRecentDocs> recent(L"ExplorerRecentDocs");
    ASSERT_EQ(recent.Scan(), L"Finished");
    ASSERT_EQ(recent.Clean(), L"Finished with failures");
    PluginRun<CPlgUserAssist> assist(L"UserAssist");
    ASSERT_EQ(assist.Scan(), L"Finished");
    ASSERT_EQ(assist.Clean(), L"Finished with failures");
    for (const auto* errors : {&recent.plugin->GetErrors(), &assist.plugin->GetErrors()}) {
        ASSERT_EQ(errors->size(), 1u);
        EXPECT_EQ((*errors)[0].GetReason(), kRegistryLinkLeft);
    }
    EXPECT_TRUE(ValueExists(HKCU, target.Path(), L"0"));
    EXPECT_TRUE(ValueExists(HKCU, target.Sub(L"Count"), L"HRZR_PGYFRFFVBA"));
}

// A folder opened after the scan keeps its key, and the keys above it; the
// keys the scan saw and the clean emptied go.
TEST(WindowsPlugins, FolderViewKeysGoOnceEmptied) {
    const std::wstring bagMru = L"Software\\Microsoft\\Windows\\Shell\\BagMRU";
    const std::string computer = ItemListOfPath(L"C:\\x").substr(0, 20) + std::string(2, '\0');
    const std::string folder = FileItem(L"Tax returns", true) + std::string(2, '\0');
    SetBinary(HKCU, bagMru, L"0", computer.data(), static_cast<DWORD>(computer.size()));
    SetBinary(HKCU, bagMru + L"\\0", L"0", folder.data(), static_cast<DWORD>(folder.size()));
    SetBinary(HKCU, bagMru + L"\\1", L"0", folder.data(), static_cast<DWORD>(folder.size()));
    // An empty key an exclusion names stays, emptied or not.
    CreateKey(HKCU, bagMru + L"\\2");
    PluginRun<CPlgShellBags> run(L"ShellBags");
    run.kernel->AddRunExclusions({L"key:HKCU\\" + bagMru + L"\\2"});
    ASSERT_EQ(run.Scan(), L"Finished");
    // Below "Computer", an item that is not a drive: the shell is not asked for a path.
    EXPECT_NE(run.ScanReport().find(L"Computer\\Tax returns"), std::wstring::npos);
    SetBinary(HKCU, bagMru + L"\\1\\0", L"0", folder.data(), static_cast<DWORD>(folder.size()));
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    EXPECT_FALSE(KeyExists(HKCU, bagMru + L"\\0"));
    EXPECT_FALSE(ValueExists(HKCU, bagMru, L"0"));
    EXPECT_FALSE(ValueExists(HKCU, bagMru + L"\\1", L"0"));
    EXPECT_TRUE(ValueExists(HKCU, bagMru + L"\\1\\0", L"0"));
    EXPECT_TRUE(KeyExists(HKCU, bagMru + L"\\2"));
    DeleteTree(HKCU, bagMru);
}

TEST(WindowsPlugins, QuickAccessStaysUnlessTheOptionSaysOtherwise) {
    const std::wstring lists = GetKnownFolderPath(FOLDERID_Recent) + L"\\AutomaticDestinations";
    const std::wstring quickAccess = lists + L"\\f01b4d95cf55d32a.automaticDestinations-ms";
    const std::wstring word = lists + L"\\a7bd71699cd38d1c.automaticDestinations-ms";
    for (const bool cleanPins : {false, true}) {
        SCOPED_TRACE(cleanPins ? "CleanQuickAccess 1" : "no option");
        WriteTestFile(quickAccess, "pinned folders");
        WriteTestFile(word, "recent documents");
        PluginRun<CPlgJumpLists> run(L"JumpLists");
        Options options = run.kernel->GetOptions();
        options.cleanQuickAccess = cleanPins;
        ASSERT_TRUE(run.kernel->SetOptions(options).Done());
        ASSERT_EQ(run.Scan(), L"Finished");
        EXPECT_EQ(run.ScanReport().find(L"f01b4d95cf55d32a") != std::wstring::npos, cleanPins);
        ASSERT_EQ(run.Clean(), L"Finished");
        EXPECT_EQ(FileExists(quickAccess), !cleanPins);
        EXPECT_FALSE(FileExists(word));
    }
    DeleteFileW(quickAccess.c_str());
}

}  // namespace

}  // namespace veltrane
