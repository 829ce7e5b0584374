#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include "plugins/system/recycle_bin.h"
#include "support/cancel_at_clean.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_format.h"
#include "system/plugin_run.h"

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

class RecycleBinRun : public testing::Test {
protected:
    void SetUp() override {
        SHEmptyRecycleBinW(nullptr, nullptr,
                           SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
        RemoveTree(L"C:\\RECYCLER");
        RemoveTree(L"C:\\Recycled");
    }
    void TearDown() override {
        RemoveTree(L"C:\\RECYCLER");
        RemoveTree(L"C:\\Recycled");
        // Deferred deletions of this test must not wait for a reboot of the sandbox.
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    }

    // Sends a file of `size` bytes to the shell's own Recycle Bin.
    static void Trash(const std::wstring& path, size_t size) {
        WriteTestFile(path, std::string(size, 'x'));
        std::wstring from = path + L'\0';
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        ASSERT_EQ(SHFileOperationW(&operation), 0);
    }

    ScopedTestFolder folder{L"RecycleBin"};
    std::wstring bin = L"C:\\RECYCLER\\S-1-5-21-1004336348-1177238915-682003330-1000";
};

TEST_F(RecycleBinRun, OnlyFixedDrivesGetARow) {
    // A drive letter Windows lists but that is no fixed disk.
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"R:", L"\\Device\\Null"));
    EXPECT_NE(GetLogicalDrives() & (1u << (L'R' - L'A')), 0u);
    EXPECT_NE(GetDriveTypeW(L"R:\\"), static_cast<UINT>(DRIVE_FIXED));
    StringList roots;
    ASSERT_TRUE(GetFixedDrives(roots));
    DefineDosDeviceW(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION, L"R:", L"\\Device\\Null");
    EXPECT_EQ(roots, StringList{L"C:\\"});

    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->GetVolumes().size(), 1u);
    EXPECT_EQ(run.plugin->GetVolumes().begin()->first, L"C:\\");
    EXPECT_EQ(CountOf(run.document.shown.back(), L" C:\\"), 1u);
}

TEST_F(RecycleBinRun, ScanShowsWhatTheShellCountsAndTheCleanEmptiesIt) {
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& empty = run.plugin->GetVolumes().at(L"C:\\");
    EXPECT_EQ(empty.items, 0u);
    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<td>C:\\</td><td>0 B</td><td>0</td>"), std::wstring::npos) << report;

    Trash(folder.Sub(L"letter.txt"), 1234);
    Trash(folder.Sub(L"photo.bmp"), 600);
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& full = run.plugin->GetVolumes().at(L"C:\\");
    EXPECT_EQ(full.items, 2u);
    EXPECT_EQ(full.size, 1834u);
    EXPECT_EQ(run.plugin->GetScanSummary().items, 2u);
    report = run.ScanReport();
    EXPECT_NE(report.find(L"<td>C:\\</td><td>1.83 KB</td><td>2</td>"), std::wstring::npos)
        << report;
    EXPECT_EQ(run.CleanReport(), L"");  // no clean yet
    EXPECT_EQ(run.lastReportResult, ReportResult::kNotYet);

    ASSERT_EQ(run.Clean(), L"Finished");
    SHQUERYRBINFO info = {sizeof(info)};
    ASSERT_EQ(SHQueryRecycleBinW(L"C:\\", &info), S_OK);
    EXPECT_EQ(info.i64NumItems, 0);
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, CPlgRecycleBin::kVolumeCleaned);
    report = run.CleanReport();
    EXPECT_NE(report.find(L"1.83 KB"), std::wstring::npos);  // the figures found by the scan
    EXPECT_NE(report.find(L"status-deleted"), std::wstring::npos);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    EXPECT_FALSE(run.kernel->IsRebootNeeded());
}

TEST_F(RecycleBinRun, BinIndexFilesAreNotDeletedOneByOneButOtherNamesAre) {
    WriteTestFile(bin + L"\\INFO2", std::string(20, '\0'));
    WriteTestFile(bin + L"\\desktop.ini", "[.ShellClassInfo]");
    WriteTestFile(bin + L"\\Dc1.txt", "deleted");
    WriteTestFile(bin + L"\\Dc2\\inner\\draft.doc", "deleted folder");
    WriteTestFile(L"C:\\Recycled\\INFO2", std::string(20, '\0'));
    WriteTestFile(L"C:\\Recycled\\DC1.TXT", "old bin");
    WriteTestFile(folder.Sub(L"keep.txt"), "not in a bin");

    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        // Held open, the index files could only be deferred: the volume
        // still counts as cleaned because they are left to the bin.
        UniqueHandle info2 = HoldOpen(bin + L"\\INFO2");
        UniqueHandle desktop = HoldOpen(bin + L"\\desktop.ini");
        ASSERT_TRUE(info2 && desktop);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, CPlgRecycleBin::kVolumeCleaned);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    EXPECT_FALSE(FileExists(bin + L"\\Dc1.txt"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc2"));
    EXPECT_FALSE(FileExists(L"C:\\Recycled\\DC1.TXT"));
    EXPECT_TRUE(FileExists(folder.Sub(L"keep.txt")));
}

TEST_F(RecycleBinRun, TheIndexNameInOtherLettersIsAnOrdinaryFileOfTheBin) {
    std::wstring other = L"C:\\RECYCLER\\S-1-5-21-1004336348-1177238915-682003330-1001";
    WriteTestFile(other + L"\\info2", "a deleted file called info2");
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        UniqueHandle lowerCase = HoldOpen(other + L"\\info2");
        ASSERT_TRUE(lowerCase);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result,
              CPlgRecycleBin::kVolumeCleanedAfterReboot);
}

TEST_F(RecycleBinRun, FileInUseIsCleanedAfterRebootWithItsOwnErrorTitle) {
    WriteTestFile(bin + L"\\Dc7.doc", "open in an editor");
    WriteTestFile(bin + L"\\Dc8\\Dc8.txt", "open in a folder");
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        UniqueHandle held = HoldOpen(bin + L"\\Dc7.doc");
        UniqueHandle heldInFolder = HoldOpen(bin + L"\\Dc8\\Dc8.txt");
        ASSERT_TRUE(held && heldInFolder);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result,
              CPlgRecycleBin::kVolumeCleanedAfterReboot);
    EXPECT_TRUE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    const ItemError& error = run.plugin->GetErrors()[0];
    EXPECT_EQ(error.GetTitle(),
              L"Error occurred while attempting to clean Recycle Bin at Volume \"C:\\\"."
              L"<br>It will be cleaned after system reboot.");
    std::wstring report = run.CleanReport();
    EXPECT_NE(report.find(L"cid=\"idError_1\""), std::wstring::npos) << report;
    EXPECT_NE(report.find(L"status-reboot"), std::wstring::npos);
    EXPECT_EQ(run.lastReportResult, ReportResult::kBuilt);

    // Pending for the next start: the shortcut of both files and their folder.
    const std::wstring pending = PendingRenameOperations();
    ASSERT_FALSE(pending.empty());
    EXPECT_NE(pending.find(L"Dc7.doc"), std::wstring::npos);
    EXPECT_NE(pending.find(L"Dc8.txt"), std::wstring::npos);
}

TEST_F(RecycleBinRun, AFolderThatCannotGoFailsTheVolumeWithTheSystemsReason) {
    WriteTestFile(bin + L"\\Dc3\\inner.txt", "deleted folder");
    WriteTestFile(bin + L"\\Dc4.txt", "deleted file");
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        // Another program has the folder open and does not let it be deleted.
        UniqueHandle folderInUse(CreateFileW((bin + L"\\Dc3").c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_TRUE(folderInUse);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_TRUE(FileExists(bin + L"\\Dc3"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc3\\inner.txt"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc4.txt"));
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, CPlgRecycleBin::kVolumeFailed);
    EXPECT_FALSE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    const ItemError& error = run.plugin->GetErrors()[0];
    EXPECT_EQ(error.GetTitle(),
              L"Error occurred while attempting to clean Recycle Bin at Volume \"C:\\\".");
    EXPECT_FALSE(error.IsReboot());
    EXPECT_EQ(error.GetReason(), FormatSystemError(ERROR_SHARING_VIOLATION));
    std::wstring report = run.CleanReport();
    EXPECT_NE(report.find(L"class=\"status status-failed\" id=\"idError_1\""), std::wstring::npos)
        << report;
    EXPECT_EQ(CountOf(report, L"status-deleted"), 0u);
}

TEST_F(RecycleBinRun, CancelledCleanLeavesTheBinAsItWas) {
    WriteTestFile(bin + L"\\Dc5.txt", "deleted file");
    WriteTestFile(bin + L"\\Dc6\\inner.txt", "deleted folder");
    PluginRun<CancelAtClean<CPlgRecycleBin>> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    run.Clean();
    EXPECT_TRUE(FileExists(bin + L"\\Dc5.txt"));
    EXPECT_TRUE(FileExists(bin + L"\\Dc6\\inner.txt"));
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, CPlgRecycleBin::kVolumeNotProcessed);
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-cancelled"), 1u) << report;
}

TEST_F(RecycleBinRun, OverwriteFillsTheBinsFilesBeforeTheyGo) {
    const std::string secret = "a deleted letter";
    WriteTestFile(bin + L"\\Dc9.txt", secret);
    WriteTestFile(bin + L"\\Dc10\\inner.txt", secret);
    PluginRun<CPlgRecycleBin> run(L"RecycleBin", true);
    ASSERT_EQ(run.Scan(), L"Finished");
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle file = HoldOpen(bin + L"\\Dc9.txt", shareAll);
    UniqueHandle inFolder = HoldOpen(bin + L"\\Dc10\\inner.txt", shareAll);
    ASSERT_TRUE(file && inFolder);
    ASSERT_EQ(run.Clean(), L"Finished");
    for (HANDLE handle : {file.Get(), inFolder.Get()}) {
        std::string left(secret.size(), '\0');
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(handle, left.data(), static_cast<DWORD>(left.size()), &read, nullptr));
        EXPECT_EQ(left, std::string(secret.size(), '\xFF'));
    }
    file.Close();  // the names go with the last handles
    inFolder.Close();
    EXPECT_FALSE(FileExists(bin + L"\\Dc9.txt"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc10\\inner.txt"));
}

}  // namespace
