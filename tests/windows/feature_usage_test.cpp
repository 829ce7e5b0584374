// Explorer's usage counters on Wine's registry: counts are listed readably
// and go one by one; other values and keys beside them stay.
#include <gtest/gtest.h>

#include "plugins/windows/feature_usage.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const std::wstring kUsage = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FeatureUsage";
const std::wstring kSwitched = kUsage + L"\\AppSwitched";
const std::wstring kWord = L"{6D809377-6AF0-444B-8957-A3773F02200E}\\Office\\WINWORD.EXE";

// Word switched to 12 times, Explorer once, and nothing else counted.
void SeedTwoCounts() {
    DeleteTree(HKCU, kUsage);
    SetDword(HKCU, kSwitched, kWord, 12);
    SetDword(HKCU, kSwitched, L"Microsoft.Windows.Explorer", 1);
}

TEST(FeatureUsage, CountsAreListedReadablyAndOnlyTheyGo) {
    DeleteTree(HKCU, kUsage);
    SetDword(HKCU, kSwitched, kWord, 12);
    SetDword(HKCU, kSwitched, L"Microsoft.Windows.Explorer", 1);
    SetString(HKCU, kSwitched, L"Layout", L"not a count");
    SetDword(HKCU, kUsage + L"\\TrayButtonClicked", L"StartButton", 4);
    SetDword(HKCU, kUsage + L"\\SomethingNew", L"Counter", 4);

    PluginRun<CPlgFeatureUsage> run(L"FeatureUsage");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring word = GetKnownFolderPath(FOLDERID_ProgramFiles) + L"\\Office\\WINWORD.EXE";
    std::vector<std::wstring> names;
    for (const DomainInfo* row : run.plugin->OrderedView()) names.push_back(row->name);
    EXPECT_EQ(names,
              (std::vector<std::wstring>{word, L"Microsoft.Windows.Explorer", L"StartButton"}));
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"switched to 12 times"), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"switched to 1 time<"), std::wstring::npos) << report;

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_FALSE(ValueExists(HKCU, kSwitched, kWord));
    EXPECT_FALSE(ValueExists(HKCU, kSwitched, L"Microsoft.Windows.Explorer"));
    EXPECT_FALSE(ValueExists(HKCU, kUsage + L"\\TrayButtonClicked", L"StartButton"));
    EXPECT_TRUE(ValueExists(HKCU, kSwitched, L"Layout"));
    EXPECT_TRUE(ValueExists(HKCU, kUsage + L"\\SomethingNew", L"Counter"));
    EXPECT_TRUE(KeyExists(HKCU, kUsage + L"\\TrayButtonClicked"));
    DeleteTree(HKCU, kUsage);
}

// A count the program raised after the scan is no longer the one shown: it
// stays, and its row fails as changed since the scan.
TEST(FeatureUsage, ACountRaisedSinceTheScanStays) {
    SeedTwoCounts();
    PluginRun<CPlgFeatureUsage> run(L"FeatureUsage");
    ASSERT_EQ(run.Scan(), L"Finished");
    SetDword(HKCU, kSwitched, kWord, 13);

    EXPECT_EQ(run.Clean(), L"Finished with failures");
    EXPECT_TRUE(ValueExists(HKCU, kSwitched, kWord));
    EXPECT_FALSE(ValueExists(HKCU, kSwitched, L"Microsoft.Windows.Explorer"));
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason().rfind(kChangedSinceScan, 0), 0u);
    DeleteTree(HKCU, kUsage);
}

// The report names every row's value for its check box under its list's
// group; a row the user unticked stays whole and says so, its neighbour goes.
TEST(FeatureUsage, AnUntickedRowStaysAndSaysKeptByYou) {
    SeedTwoCounts();
    PluginRun<CPlgFeatureUsage> run(L"FeatureUsage");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring word = ItemKey(RegValueItemRef(HKCU, kSwitched, kWord));
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"data-item=\"" + EscapeHtml(word) + L"\""), std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"data-group=\"FeatureUsage/list:"), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"data-group=\"plugin:FeatureUsage\""), std::wstring::npos) << report;

    run.kernel->SetKeptByYou({word});
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(ValueExists(HKCU, kSwitched, kWord));
    EXPECT_FALSE(ValueExists(HKCU, kSwitched, L"Microsoft.Windows.Explorer"));
    EXPECT_EQ(run.plugin->GetKeptCount(), 1u);
    EXPECT_NE(run.CleanReport().find(L"Kept by you"), std::wstring::npos);
    DeleteTree(HKCU, kUsage);
}

}  // namespace

}  // namespace veltrane
