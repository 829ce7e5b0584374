#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include "plugins/system/message_history.h"
#include "support/cancel_at_clean.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/registry_links.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kIcqProPrefs[] = L"Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs";
constexpr wchar_t kMsnAccounts[] = L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";

// Points the three messengers at folders of the test, and puts the
// registry back afterwards.
class MessengerRun : public testing::Test {
protected:
    void SetUp() override {
        hadAppData = GetString(HKEY_CURRENT_USER, kShellFolders, L"AppData", appData);
        SetString(HKEY_CURRENT_USER, kShellFolders, L"AppData", folder.Sub(L"AppData"));
        SetString(HKEY_LOCAL_MACHINE, kIcqProPrefs, L"ICQPath", folder.Sub(L"ICQ"));
        DeleteTree(HKEY_CURRENT_USER, kMsnAccounts);
    }
    void TearDown() override {
        if (hadAppData)
            SetString(HKEY_CURRENT_USER, kShellFolders, L"AppData", appData);
        else
            SHDeleteValueW(HKEY_CURRENT_USER, kShellFolders, L"AppData");
        DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
        DeleteTree(HKEY_CURRENT_USER, L"Software\\Microsoft\\MSNMessenger");
    }

    static std::vector<std::wstring> Paths(
        const std::vector<CPlgMessageHistory::HistoryFile>& list) {
        std::vector<std::wstring> paths;
        for (const auto& record : list) paths.push_back(record.path);
        return paths;
    }

    ScopedTestFolder folder{L"Messengers"};
    std::wstring appData;
    bool hadAppData = false;
};

TEST_F(MessengerRun, EachMessengerIsFoundByItsFoldersAndPatterns) {
    std::wstring lite = folder.Sub(L"AppData\\ICQLite\\HistoryDB");
    WriteTestFile(lite + L"\\111\\222\\History.dat", "12345");
    WriteTestFile(lite + L"\\111\\333\\History.idx", "1");
    WriteTestFile(lite + L"\\top.dat", "directly in HistoryDB");
    WriteTestFile(lite + L"\\111\\one-level.dat", "one level below");
    WriteTestFile(lite + L"\\111\\222\\deeper\\three-levels.dat", "too deep");

    std::wstring pro = folder.Sub(L"ICQ\\2003b");
    for (const wchar_t* account : {L"\\11111111", L"\\22222222"}) {
        WriteTestFile(pro + account + L"\\Messages.dat", "m");
        WriteTestFile(pro + account + L"\\messages.idx", "i");
        WriteTestFile(pro + account + L"\\contacts.dat", "not history");
    }
    WriteTestFile(pro + L"\\messages.dat", "not in an account folder");

    std::wstring log = folder.Sub(L"My Received Files\\alice\\History");
    WriteTestFile(log + L"\\bob@example.com.xml", "<Log/>");
    WriteTestFile(log + L"\\MessageLog.xsl", "<xsl/>");
    WriteTestFile(log + L"\\notes.txt", "not a log");
    WriteTestFile(log + L"\\old\\carol.xml", "in a sub-folder");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);
    // An account without a log folder must not list the current folder.
    CreateKey(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4712");

    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    WriteTestFile(std::wstring(kInstalledProgramFolder) + L"\\stray.xml", "beside the program");
    ASSERT_EQ(run.Scan(), L"Finished");
    DeleteFileW((std::wstring(kInstalledProgramFolder) + L"\\stray.xml").c_str());

    EXPECT_EQ(Paths(run.plugin->GetFiles(CPlgMessageHistory::kIcqLite)),
              (std::vector<std::wstring>{lite + L"\\111\\222\\History.dat",
                                         lite + L"\\111\\333\\History.idx"}));
    EXPECT_EQ(run.plugin->GetFiles(CPlgMessageHistory::kIcqLite)[0].length, 5);
    auto proFiles = Paths(run.plugin->GetFiles(CPlgMessageHistory::kIcqPro));
    std::sort(proFiles.begin(), proFiles.end());
    EXPECT_EQ(proFiles, (std::vector<std::wstring>{
                            pro + L"\\11111111\\Messages.dat", pro + L"\\11111111\\messages.idx",
                            pro + L"\\22222222\\Messages.dat", pro + L"\\22222222\\messages.idx"}));
    EXPECT_EQ(
        Paths(run.plugin->GetFiles(CPlgMessageHistory::kMsn)),
        (std::vector<std::wstring>{log + L"\\bob@example.com.xml", log + L"\\MessageLog.xsl"}));
    EXPECT_EQ(run.plugin->GetScanSummary().items, 8u);

    std::wstring report = run.ScanReport();
    // The header spans its rows and heads their group; each row names the group.
    EXPECT_NE(report.find(L"rowspan=\"4\" scope=\"rowgroup\" data-group=\"MessageHistory/"
                          L"messenger:ICQ Pro 2003b\" data-in-group=\"plugin:MessageHistory\">"
                          L"ICQ Pro 2003b<"),
              std::wstring::npos)
        << report;
    EXPECT_EQ(CountOf(report, L">ICQ Pro 2003b<"), 1u);
    EXPECT_EQ(CountOf(report, L"data-in-group=\"MessageHistory/messenger:ICQ Pro 2003b\""), 4u);
    EXPECT_NE(report.find(L"History files: 8"), std::wstring::npos);
    EXPECT_NE(report.find(L"bob@example.com.xml"), std::wstring::npos);
}

TEST_F(MessengerRun, WithoutMessengersEachHasOneEmptyRowAndIcqProLooksOnE) {
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
    EXPECT_EQ(CPlgMessageHistory::IcqProHistoryFolder(), L"E:\\Program Files\\ICQ\\2003b");
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    std::wstring report = run.ScanReport();
    EXPECT_EQ(CountOf(report, L"No history found"), 3u) << report;
    EXPECT_EQ(CountOf(report, L"rowspan=\"1\""), 3u);
    EXPECT_NE(report.find(L"History files: 0"), std::wstring::npos);
}

TEST_F(MessengerRun, CleanDeletesHistoryAndDefersAFileInUse) {
    std::wstring pro = folder.Sub(L"ICQ\\2003b\\11111111");
    WriteTestFile(pro + L"\\Messages.dat", "m");
    WriteTestFile(pro + L"\\contacts.dat", "kept");
    std::wstring log = folder.Sub(L"Log");
    WriteTestFile(log + L"\\a.xml", "<Log/>");
    WriteTestFile(log + L"\\b.xml", "<Log/>");
    WriteTestFile(log + L"\\c.xml", "<Log/>");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);

    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_TRUE(DeleteFileW((log + L"\\c.xml").c_str()));  // gone before the clean
    {
        UniqueHandle held = HoldOpen(log + L"\\b.xml");
        ASSERT_TRUE(held);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_FALSE(FileExists(pro + L"\\Messages.dat"));
    EXPECT_FALSE(FileExists(log + L"\\a.xml"));
    EXPECT_TRUE(FileExists(pro + L"\\contacts.dat"));
    EXPECT_TRUE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetTitle(),
              L"Error occurred while attempting to delete file \"" + log +
                  L"\\b.xml\".\nIt will be deleted after system reboot.");
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 2u) << report;
    EXPECT_EQ(CountOf(report, L"Already gone"), 1u) << report;
    // Messages.dat and a.xml went now; b.xml waits, c.xml freed nothing.
    const CleanSummary summary = run.plugin->GetCleanSummary();
    EXPECT_EQ(summary.removed, 2u);
    EXPECT_EQ(summary.freedBytes, 1u + 6u);
    EXPECT_EQ(summary.deferred, 1u);
    EXPECT_NE(
        report.find(L"b.xml</td><td><a href=\"#\" class=\"status status-reboot\" id=\"idError_1\""),
        std::wstring::npos);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

// Found by the robustness tests: a log folder far longer than a path may be
// crashed the scan in the protected-places check.
TEST_F(MessengerRun, AnOverlongLogFolderIsScannedWithoutHarm) {
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath",
              L"C:\\" + std::wstring(40000, L'x'));
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_TRUE(run.plugin->GetFiles(CPlgMessageHistory::kMsn).empty());
}

// An account key that is a registry link names another program's folder:
// one row says it was left, and nothing in that folder goes.
TEST_F(MessengerRun, AnAccountThatIsARegistryLinkIsLeft) {
    ScopedTestKey other(L"MessengerLinkTarget");
    std::wstring kept = folder.Sub(L"Other");
    WriteTestFile(kept + L"\\ledger.xml", "<Books/>");
    SetString(HKEY_CURRENT_USER, other.Path(), L"MessageLogPath", kept);
    CreateKey(HKEY_CURRENT_USER, kMsnAccounts);
    ASSERT_TRUE(
        MakeRegLink(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4713", other.Path()));
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    EXPECT_EQ(
        Paths(run.plugin->GetFiles(CPlgMessageHistory::kMsn)),
        std::vector<std::wstring>{L"HKEY_CURRENT_USER\\" + std::wstring(kMsnAccounts) + L"\\4713"});
    ASSERT_EQ(run.Clean(), L"Finished with failures");
    EXPECT_TRUE(FileExists(kept + L"\\ledger.xml"));
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetReason(), kRegistryLinkLeft);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetKind(), ItemError::kRegKey);
}

TEST_F(MessengerRun, CancelledCleanLeavesEveryFileNotProcessed) {
    std::wstring log = folder.Sub(L"Log");
    WriteTestFile(log + L"\\a.xml", "<Log/>");
    WriteTestFile(log + L"\\b.xml", "<Log/>");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);
    PluginRun<CancelAtClean<CPlgMessageHistory>> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    run.Clean();
    EXPECT_TRUE(FileExists(log + L"\\a.xml"));
    EXPECT_TRUE(FileExists(log + L"\\b.xml"));
    for (const auto& record : run.plugin->GetFiles(CPlgMessageHistory::kMsn))
        EXPECT_EQ(record.result, ItemOutcome::kNotProcessed);
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-cancelled"), 2u) << report;
    EXPECT_EQ(CountOf(report, L"status-deleted"), 0u);
}

// Opened by someone who shares everything, the file is still never written
// to: not one byte changes, and it goes at the next start.
TEST_F(MessengerRun, AFileInUseIsNeverOverwrittenAndGoesAtTheNextStart) {
    std::wstring log = folder.Sub(L"Log");
    const std::string secret = "a private conversation";
    WriteTestFile(log + L"\\a.xml", secret);
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);
    PluginRun<CPlgMessageHistory> run(L"MessageHistory", true);
    ASSERT_EQ(run.Scan(), L"Finished");
    UniqueHandle reader =
        HoldOpen(log + L"\\a.xml", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(reader);
    ASSERT_EQ(run.Clean(), L"Finished");  // a deletion at the next start is done
    std::string left(secret.size(), '\0');
    DWORD read = 0;
    ASSERT_TRUE(
        ReadFile(reader.Get(), left.data(), static_cast<DWORD>(left.size()), &read, nullptr));
    EXPECT_EQ(left, secret);
    reader.Close();
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-reboot"), 1u);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

TEST_F(MessengerRun, AnUntickedHistoryFileStaysAndShowsKeptByYou) {
    std::wstring log = folder.Sub(L"Log");
    WriteTestFile(log + L"\\bob@example.com.xml", "<Log/>");
    WriteTestFile(log + L"\\carol@example.com.xml", "<Log/>");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring kept = run.plugin->GetFiles(CPlgMessageHistory::kMsn)[0].identity.path;
    run.kernel->SetKeptByYou({ItemKey(FileItemRef(kept))});
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(FileExists(kept));
    EXPECT_EQ(run.plugin->GetCleanSummary().removed, 1u);
    EXPECT_EQ(CountOf(run.CleanReport(), L"Kept by you"), 1u) << run.CleanReport();
}

TEST_F(MessengerRun, PlaceholderLookAlikesInFileNamesShowAsWritten) {
    std::wstring log = folder.Sub(L"Log");
    WriteTestFile(log + L"\\#result# #messenger# #totalinfo#.xml", "<Log/>");
    SetString(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\4711", L"MessageLogPath", log);
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring shown = L"&#35;result&#35; &#35;messenger&#35; &#35;totalinfo&#35;.xml";
    EXPECT_EQ(CountOf(run.ScanReport(), shown + L"</td>"), 1u) << run.ScanReport();
    ASSERT_EQ(run.Clean(), L"Finished");
    std::wstring report = run.CleanReport();
    EXPECT_NE(report.find(shown + L"</td><td><span class=\"status status-deleted\">"),
              std::wstring::npos)
        << report;
}

}  // namespace

}  // namespace veltrane
