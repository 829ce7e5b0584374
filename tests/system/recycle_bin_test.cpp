#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>

#include "plugins/system/recycle_bin.h"
#include "support/cancel_at_clean.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

constexpr DWORD kBinAttributes = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
constexpr char kBinDesktopIni[] =
    "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n";

// Removes an empty folder the shell put in its trash, and the trash's note
// of it, which Wine's shell never erases. Wine reaches the Linux files of the
// sandbox's XDG trash by the \\?\unix\ path; nothing outside the sandbox.
bool ForgetTrashedEmptyFolder(const std::wstring& name) {
    wchar_t data[MAX_PATH] = {};
    wchar_t sandbox[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"XDG_DATA_HOME", data, MAX_PATH) ||
        !GetEnvironmentVariableW(L"VELTRANE_SANDBOX", sandbox, MAX_PATH) || sandbox[0] != L'/' ||
        !StartsWith(data, std::wstring(sandbox) + L"/"))
        return false;
    std::wstring trash = L"\\\\?\\unix" + std::wstring(data) + L"/Trash/";
    std::ranges::replace(trash, L'/', L'\\');
    return RemoveDirectoryW((trash + L"files\\" + name).c_str()) &&
           DeleteFileW((trash + L"info\\" + name + L".trashinfo").c_str());
}

FILETIME HoursAgo(unsigned hours) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= hours * 36000000000ULL;
    return {time.LowPart, time.HighPart};
}

void AppendLittleEndian(std::string& bytes, uint64_t value, size_t size) {
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A $I index as Windows 10 writes it: version 2, size, deletion time, path.
std::string VistaIndex(const FILETIME& deleted) {
    std::string bytes;
    AppendLittleEndian(bytes, 2, 8);
    AppendLittleEndian(bytes, 5, 8);
    AppendLittleEndian(bytes, Ticks(deleted), 8);
    AppendLittleEndian(bytes, 3, 4);
    bytes.append("C\0:\0x\0\0\0", 8);
    return bytes;
}

// An INFO2 of 800-byte records: the deletion time of each numbered item.
std::string Info2(const std::vector<std::pair<uint32_t, FILETIME>>& records) {
    std::string bytes;
    for (uint64_t field : {5u, 0u, 0u, 800u, 0u}) AppendLittleEndian(bytes, field, 4);
    for (const auto& [number, deleted] : records) {
        std::string record(260, '\0');
        record.replace(0, 8, "C:\\x.txt");
        AppendLittleEndian(record, number, 4);
        AppendLittleEndian(record, 2, 4);  // drive C
        AppendLittleEndian(record, Ticks(deleted), 8);
        AppendLittleEndian(record, 5, 4);
        record.resize(800, '\0');
        bytes += record;
    }
    return bytes;
}

void SetWriteTime(const std::wstring& path, const FILETIME& time) {
    UniqueHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &time));
}

// A folder with the system and hidden attributes every bin folder has.
void MakeBinFolder(const std::wstring& path) {
    MakeFolder(path);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), kBinAttributes));
}

class RecycleBinRun : public testing::Test {
protected:
    void SetUp() override {
        SHEmptyRecycleBinW(nullptr, nullptr, kQuiet);
        RemoveBins();
    }
    void TearDown() override {
        RemoveBins();
        // Deferred deletions of this test must not wait for a reboot of the sandbox.
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    }
    static void RemoveBins() {
        for (const wchar_t* name : {L"C:\\RECYCLER", L"C:\\Recycled", L"C:\\$Recycle.Bin"})
            RemoveTree(name);
    }

    // Sends a file of `size` bytes to the shell's own Recycle Bin.
    static void Trash(const std::wstring& path, size_t size) {
        WriteTestFile(path, std::string(size, 'x'));
        TrashPath(path);
    }
    static void TrashPath(const std::wstring& path) {
        std::wstring from = path + L'\0';
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        ASSERT_EQ(SHFileOperationW(&operation), 0);
    }
    // A user's bin as Windows 2000 and XP keep it on NTFS.
    void MakeXpBin() {
        MakeBinFolder(L"C:\\RECYCLER");
        MakeBinFolder(bin);
        WriteTestFile(bin + L"\\INFO2", std::string(20, '\0'));
        WriteTestFile(bin + L"\\desktop.ini", kBinDesktopIni);
    }

    static constexpr UINT kQuiet = SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND;
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
    EXPECT_EQ(CountOf(run.view.progress.back(), L" C:\\"), 1u);
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
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kRemoved);
    report = run.CleanReport();
    EXPECT_NE(report.find(L"1.83 KB"), std::wstring::npos);  // the figures found by the scan
    EXPECT_NE(report.find(L"status-deleted"), std::wstring::npos);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    EXPECT_FALSE(run.kernel->IsRebootNeeded());
}

// One bin of each generation: Windows 98's Recycled, XP's per-user RECYCLER
// and Vista's $Recycle.Bin with $R items and their $I index files.
TEST_F(RecycleBinRun, EachGenerationsBinIsListedCountedAndEmptiedOfItsItemsOnly) {
    MakeXpBin();
    WriteTestFile(bin + L"\\Dc1.txt", std::string(100, 'a'));
    WriteTestFile(bin + L"\\Dc2\\letter.doc", std::string(30, 'b'));
    WriteTestFile(bin + L"\\Dc2\\inner\\draft.doc", std::string(40, 'c'));
    MakeBinFolder(L"C:\\Recycled");
    WriteTestFile(L"C:\\Recycled\\INFO2", std::string(20, '\0'));
    WriteTestFile(L"C:\\Recycled\\DC1.TXT", std::string(7, 'd'));
    const std::wstring vista = L"C:\\$Recycle.Bin\\S-1-5-21-1004336348-1177238915-682003330-1001";
    MakeBinFolder(L"C:\\$Recycle.Bin");
    MakeBinFolder(vista);
    // Vista onwards write the bin's desktop.ini in UTF-16.
    std::string unicodeIni = "\xFF\xFE";
    for (char c : std::string(kBinDesktopIni)) unicodeIni += {c, '\0'};
    WriteTestFile(vista + L"\\desktop.ini", unicodeIni);
    WriteTestFile(vista + L"\\$RABC123.txt", std::string(50, 'e'));
    WriteTestFile(vista + L"\\$IABC123.txt", std::string(544, 'i'));
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"})
        WriteTestFile(vista + L"\\$RDEF456\\" + name, std::string(10, 'f'));
    WriteTestFile(vista + L"\\$IDEF456", std::string(544, 'i'));
    WriteTestFile(vista + L"\\$IZZZ999.doc", std::string(544, 'i'));  // an index left alone
    WriteTestFile(folder.Sub(L"keep.txt"), "not in a bin");

    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& volume = run.plugin->GetVolumes().at(L"C:\\");
    // A folder counts its files: Dc1.txt, Dc2's two, DC1.TXT, $RABC123.txt,
    // $RDEF456's three and the lone index.
    EXPECT_EQ(volume.items, 9u);
    EXPECT_EQ(volume.size, 100u + 30 + 40 + 7 + 50 + 30 + 544);
    EXPECT_EQ(volume.binItems.size(), 6u);
    EXPECT_TRUE(volume.left.empty());
    const std::wstring report = run.ScanReport();
    for (const std::wstring& shown :
         {bin + L"\\Dc2", vista + L"\\$RDEF456", std::wstring(L"C:\\Recycled\\DC1.TXT")})
        EXPECT_NE(report.find(L"<td>" + shown + L"</td>"), std::wstring::npos) << report;

    {
        // The index files stay for the shell; held open, they could not even be deferred.
        UniqueHandle info2 = HoldOpen(bin + L"\\INFO2");
        UniqueHandle desktop = HoldOpen(vista + L"\\desktop.ini");
        ASSERT_TRUE(info2 && desktop);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kRemoved);
    EXPECT_TRUE(run.plugin->GetErrors().empty());
    for (const std::wstring& gone :
         {bin + L"\\Dc1.txt", bin + L"\\Dc2", std::wstring(L"C:\\Recycled\\DC1.TXT"),
          vista + L"\\$RABC123.txt", vista + L"\\$IABC123.txt", vista + L"\\$RDEF456",
          vista + L"\\$IDEF456", vista + L"\\$IZZZ999.doc"})
        EXPECT_FALSE(FileExists(gone)) << ToUtf8(gone);
    for (const std::wstring& kept : {bin + L"\\INFO2", vista + L"\\desktop.ini",
                                     std::wstring(L"C:\\Recycled\\INFO2"), folder.Sub(L"keep.txt")})
        EXPECT_TRUE(FileExists(kept)) << ToUtf8(kept);
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-deleted"), 1u + 6u);
}

// What went before the clean came frees nothing and says "Already gone"; the
// counts and bytes are what the clean removed now.
TEST_F(RecycleBinRun, ItemsGoneBeforeTheCleanFreeNothingAndTheCountsTellWhatWent) {
    MakeXpBin();
    WriteTestFile(bin + L"\\Dc1.txt", std::string(100, 'a'));
    WriteTestFile(bin + L"\\Dc2.txt", std::string(30, 'b'));
    WriteTestFile(bin + L"\\Dc3\\draft.doc", std::string(40, 'c'));
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->GetVolumes().at(L"C:\\").binItems.size(), 3u);
    // Restored by the user meanwhile.
    ASSERT_TRUE(DeleteFileW((bin + L"\\Dc2.txt").c_str()));
    RemoveTree(bin + L"\\Dc3");
    RemoveDirectoryW((bin + L"\\Dc3").c_str());

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_FALSE(FileExists(bin + L"\\Dc1.txt"));
    const CleanSummary summary = run.plugin->GetCleanSummary();
    EXPECT_EQ(summary.removed, 1u);
    EXPECT_EQ(summary.freedBytes, 100u);
    EXPECT_EQ(summary.failed, 0u);
    const std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"Already gone"), 2u) << report;
}

// A user's folders that happen to bear a bin's name, and what sits in a bin
// without being one of its items, are left and shown with the reason.
TEST_F(RecycleBinRun, FoldersThatOnlyLookLikeBinsAreLeftAndSaySo) {
    WriteTestFile(L"C:\\Recycled\\Family photos\\beach.jpg", "a photo");
    WriteTestFile(L"C:\\Recycler\\Invoices\\2023-04.pdf", "an invoice");
    MakeBinFolder(L"C:\\$Recycle.Bin");
    WriteTestFile(L"C:\\$Recycle.Bin\\Projects\\plan.txt", "not a user's bin");
    const std::wstring bare = L"C:\\$Recycle.Bin\\S-1-5-21-7-7-7-1002";
    MakeBinFolder(bare);
    WriteTestFile(bare + L"\\$Rnotes.txt", "a bin's name, no bin's files");
    const std::wstring real = L"C:\\$Recycle.Bin\\S-1-5-21-7-7-7-1003";
    MakeBinFolder(real);
    WriteTestFile(real + L"\\desktop.ini", kBinDesktopIni);
    WriteTestFile(real + L"\\notes.txt", "in a bin, but not its item");

    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& volume = run.plugin->GetVolumes().at(L"C:\\");
    EXPECT_EQ(volume.items, 0u);
    EXPECT_TRUE(volume.binItems.empty());
    std::vector<std::wstring> left;
    for (const LeftPlace& place : volume.left) left.push_back(place.path);
    std::ranges::sort(left);
    EXPECT_EQ(left,
              (std::vector<std::wstring>{L"C:\\$Recycle.Bin\\Projects", bare, real + L"\\notes.txt",
                                         L"C:\\Recycled", L"C:\\Recycler"}));
    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"<td>C:\\Recycler</td><td colspan=\"2\">Not a recycle bin: it lacks the "
                          L"system and hidden attributes"),
              std::wstring::npos)
        << report;

    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kRemoved);
    EXPECT_EQ(ReadTestFile(L"C:\\Recycled\\Family photos\\beach.jpg"), "a photo");
    EXPECT_EQ(ReadTestFile(L"C:\\Recycler\\Invoices\\2023-04.pdf"), "an invoice");
    EXPECT_TRUE(FileExists(L"C:\\$Recycle.Bin\\Projects\\plan.txt"));
    EXPECT_TRUE(FileExists(bare + L"\\$Rnotes.txt"));
    EXPECT_TRUE(FileExists(real + L"\\notes.txt"));
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-kept"), 5u);
}

// Wine's shell keeps its bin in the XDG trash and erases no folder there,
// though it answers that it emptied the bin: a look afterwards tells.
TEST_F(RecycleBinRun, AnEmptyingTheShellDidNotDoFailsTheVolume) {
    MakeFolder(folder.Sub(L"veltrane-thrown-folder"));
    TrashPath(folder.Sub(L"veltrane-thrown-folder"));
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& volume = run.plugin->GetVolumes().at(L"C:\\");
    EXPECT_TRUE(volume.shell.counted);
    EXPECT_EQ(volume.items, 1u);
    ASSERT_EQ(run.Clean(), L"Finished with failures");
    const bool forgotten = ForgetTrashedEmptyFolder(L"veltrane-thrown-folder");
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kFailed);
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").shell.result, ItemOutcome::kFailed);
    ASSERT_EQ(run.plugin->GetErrors().size(), 2u);  // the volume's and the shell's
    EXPECT_EQ(run.plugin->GetCleanSummary().failed, 1u);
    EXPECT_EQ(run.plugin->GetErrors()[1].GetReason(),
              L"The shell said it emptied the Recycle Bin, but 1 items are still in it.");
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-failed"), 2u);
    ASSERT_TRUE(forgotten);
}

TEST_F(RecycleBinRun, FileInUseIsCleanedAfterRebootWithItsOwnErrorTitle) {
    MakeXpBin();
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
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kDeferred);
    EXPECT_TRUE(run.kernel->IsRebootNeeded());
    // The volume's error, then the file's and the folder's, each linked from its row.
    ASSERT_EQ(run.plugin->GetErrors().size(), 3u);
    const ItemError& error = run.plugin->GetErrors()[0];
    EXPECT_EQ(error.GetTitle(),
              L"Error occurred while attempting to clean Recycle Bin at Volume \"C:\\\"."
              L"\nIt will be cleaned after system reboot.");
    EXPECT_EQ(run.plugin->GetErrors()[1].GetName(), bin + L"\\Dc7.doc");
    EXPECT_TRUE(run.plugin->GetErrors()[2].IsReboot());
    // Each item counts once; the volume's own error only sums them up.
    EXPECT_EQ(run.plugin->GetCleanSummary().deferred, 2u);
    std::wstring report = run.CleanReport();
    for (const wchar_t* link : {L"cid=\"idError_1\"", L"cid=\"idError_2\"", L"cid=\"idError_3\""})
        EXPECT_EQ(CountOf(report, link), 1u) << report;
    EXPECT_NE(report.find(L"status-reboot"), std::wstring::npos);
    EXPECT_EQ(run.lastReportResult, ReportResult::kBuilt);

    // Pending for the next start: the shortcut of both files and their folder.
    const std::wstring pending = PendingRenameOperations();
    ASSERT_FALSE(pending.empty());
    EXPECT_NE(pending.find(L"Dc7.doc"), std::wstring::npos);
    EXPECT_NE(pending.find(L"Dc8.txt"), std::wstring::npos);
}

TEST_F(RecycleBinRun, AFolderThatCannotGoFailsTheVolumeWithTheSystemsReason) {
    MakeXpBin();
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
        ASSERT_EQ(run.Clean(), L"Finished with failures");
    }
    EXPECT_TRUE(FileExists(bin + L"\\Dc3"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc3\\inner.txt"));
    EXPECT_FALSE(FileExists(bin + L"\\Dc4.txt"));
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kFailed);
    EXPECT_FALSE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 2u);  // the volume's and the folder's
    EXPECT_EQ(run.plugin->GetErrors()[1].GetName(), bin + L"\\Dc3");
    const ItemError& error = run.plugin->GetErrors()[0];
    EXPECT_EQ(error.GetTitle(),
              L"Error occurred while attempting to clean Recycle Bin at Volume \"C:\\\".");
    EXPECT_FALSE(error.IsReboot());
    EXPECT_EQ(error.GetReason(), FormatSystemError(ERROR_SHARING_VIOLATION));
    std::wstring report = run.CleanReport();
    EXPECT_NE(report.find(L"class=\"status status-failed\" id=\"idError_1\""), std::wstring::npos)
        << report;
    EXPECT_EQ(CountOf(report, L"status-deleted"), 1u);  // Dc4.txt
}

TEST_F(RecycleBinRun, CancelledCleanLeavesTheBinAsItWas) {
    MakeXpBin();
    WriteTestFile(bin + L"\\Dc5.txt", "deleted file");
    WriteTestFile(bin + L"\\Dc6\\inner.txt", "deleted folder");
    PluginRun<CancelAtClean<CPlgRecycleBin>> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    run.Clean();
    EXPECT_TRUE(FileExists(bin + L"\\Dc5.txt"));
    EXPECT_TRUE(FileExists(bin + L"\\Dc6\\inner.txt"));
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kNotProcessed);
    std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-cancelled"), 3u) << report;  // the volume and its two items
}

// Held by a program that shares everything, a bin's files are still never
// written to: not one byte changes, and they go at the next start.
TEST_F(RecycleBinRun, FilesInUseAreNeverOverwrittenAndGoAtTheNextStart) {
    MakeXpBin();
    const std::string secret = "a deleted letter";
    WriteTestFile(bin + L"\\Dc9.txt", secret);
    WriteTestFile(bin + L"\\Dc10\\inner.txt", secret);
    PluginRun<CPlgRecycleBin> run(L"RecycleBin", true);
    ASSERT_EQ(run.Scan(), L"Finished");
    const DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    UniqueHandle file = HoldOpen(bin + L"\\Dc9.txt", shareAll);
    UniqueHandle inFolder = HoldOpen(bin + L"\\Dc10\\inner.txt", shareAll);
    ASSERT_TRUE(file && inFolder);
    ASSERT_EQ(run.Clean(), L"Finished");  // deletions at the next start are done
    for (HANDLE handle : {file.Get(), inFolder.Get()}) {
        std::string left(secret.size(), '\0');
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(handle, left.data(), static_cast<DWORD>(left.size()), &read, nullptr));
        EXPECT_EQ(left, secret);
    }
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").result, ItemOutcome::kDeferred);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

// Unticked in the report, an item stays with its index, shows "Kept by you",
// and the others go; the rows carry the keys the page's boxes hand back.
TEST_F(RecycleBinRun, AnUntickedItemStaysWithItsIndexAndTheOthersGo) {
    const std::wstring vista = L"C:\\$Recycle.Bin\\S-1-5-21-1004336348-1177238915-682003330-1001";
    MakeBinFolder(L"C:\\$Recycle.Bin");
    MakeBinFolder(vista);
    WriteTestFile(vista + L"\\desktop.ini", kBinDesktopIni);
    for (const wchar_t* id : {L"AAA111.txt", L"BBB222.txt"}) {
        WriteTestFile(vista + L"\\$R" + id, "deleted");
        WriteTestFile(vista + L"\\$I" + id, VistaIndex(HoursAgo(1)));
    }
    const std::wstring keep = vista + L"\\$RAAA111.txt";
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring report = run.ScanReport();
    const std::wstring drive = L"RecycleBin/drive:C:\\";
    EXPECT_NE(report.find(L"data-group=\"" + drive + L"\" data-in-group=\"plugin:RecycleBin\""),
              std::wstring::npos)
        << report;
    EXPECT_NE(report.find(L"data-item=\"file:" + keep + L"\" data-in-group=\"" + drive + L"\""),
              std::wstring::npos)
        << report;

    run.kernel->SetKeptByYou({ItemKey(FileItemRef(keep))});
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(FileExists(keep));
    EXPECT_TRUE(FileExists(vista + L"\\$IAAA111.txt"));
    EXPECT_FALSE(FileExists(vista + L"\\$RBBB222.txt"));
    EXPECT_FALSE(FileExists(vista + L"\\$IBBB222.txt"));
    EXPECT_EQ(run.plugin->GetCleanSummary().removed, 1u);
    EXPECT_EQ(CountOf(run.CleanReport(), L"Kept by you"), 1u) << run.CleanReport();
}

// The shell's own bin is a row of its own: unticked, the shell is not asked
// to empty it and all it holds stays. Keys that name nothing listed (another
// drive's shell bin, the drive's folder) keep nothing: the next clean empties it.
TEST_F(RecycleBinRun, AnUntickedShellBinStaysWholeAndKeysOfNothingKeepNothing) {
    Trash(folder.Sub(L"letter.txt"), 100);
    Trash(folder.Sub(L"photo.bmp"), 200);
    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    ASSERT_EQ(run.Scan(), L"Finished");
    const std::wstring key = ItemKey(ShellBinItemRef(L"C:\\"));
    const std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"data-item=\"" + EscapeHtml(key) +
                          L"\" data-in-group=\"RecycleBin/drive:C:\\\""),
              std::wstring::npos)
        << report;

    run.kernel->SetKeptByYou({key});
    ASSERT_EQ(run.Clean(), L"Finished");
    SHQUERYRBINFO info = {sizeof(info)};
    ASSERT_EQ(SHQueryRecycleBinW(L"C:\\", &info), S_OK);
    EXPECT_EQ(info.i64NumItems, 2);
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").shell.result, ItemOutcome::kKept);
    EXPECT_EQ(CountOf(run.CleanReport(), L"Kept by you"), 1u) << run.CleanReport();
    EXPECT_EQ(run.plugin->GetCleanSummary().removed, 0u);

    ASSERT_EQ(run.Scan(), L"Finished");
    run.kernel->SetKeptByYou({ItemKey(ShellBinItemRef(L"D:\\")), ItemKey(FolderItemRef(L"C:\\")),
                              L"entry:The shell's Recycle Bin|"});
    ASSERT_EQ(run.Clean(), L"Finished");
    ASSERT_EQ(SHQueryRecycleBinW(L"C:\\", &info), S_OK);
    EXPECT_EQ(info.i64NumItems, 0);
    EXPECT_EQ(run.plugin->GetVolumes().at(L"C:\\").shell.result, ItemOutcome::kRemoved);
}

// The age limit judges an item by when it was deleted, as $I and INFO2 tell,
// not by its file's write time; an item no index dates stays under a limit.
TEST_F(RecycleBinRun, TheAgeLimitGoesByTheDeletionTimeOfEachItem) {
    const std::wstring vista = L"C:\\$Recycle.Bin\\S-1-5-21-1004336348-1177238915-682003330-1001";
    MakeBinFolder(L"C:\\$Recycle.Bin");
    MakeBinFolder(vista);
    WriteTestFile(vista + L"\\desktop.ini", kBinDesktopIni);
    // Deleted an hour ago, last written ten days ago: stays.
    WriteTestFile(vista + L"\\$RNEW111.txt", "recently deleted");
    SetWriteTime(vista + L"\\$RNEW111.txt", HoursAgo(240));
    WriteTestFile(vista + L"\\$INEW111.txt", VistaIndex(HoursAgo(1)));
    // Deleted ten days ago, written just now: goes.
    WriteTestFile(vista + L"\\$ROLD222.txt", "deleted long ago");
    WriteTestFile(vista + L"\\$IOLD222.txt", VistaIndex(HoursAgo(240)));
    WriteTestFile(vista + L"\\$RNOI333.txt", "no index tells when");
    MakeXpBin();
    WriteTestFile(bin + L"\\INFO2", Info2({{1, HoursAgo(2)}, {2, HoursAgo(300)}}));
    WriteTestFile(bin + L"\\Dc1.txt", "recently deleted");
    SetWriteTime(bin + L"\\Dc1.txt", HoursAgo(240));
    WriteTestFile(bin + L"\\Dc2.txt", "deleted long ago");

    PluginRun<CPlgRecycleBin> run(L"RecycleBin");
    run.kernel->OverrideAgeLimit(24);
    ASSERT_EQ(run.Scan(), L"Finished");
    const CPlgRecycleBin::Volume& volume = run.plugin->GetVolumes().at(L"C:\\");
    EXPECT_EQ(volume.items, 2u);
    EXPECT_EQ(volume.newerThanLimit, 3u);
    EXPECT_NE(run.ScanReport().find(L"3 files newer than the age limit"), std::wstring::npos)
        << run.ScanReport();
    ASSERT_EQ(run.Clean(), L"Finished");
    for (const std::wstring& kept : {vista + L"\\$RNEW111.txt", vista + L"\\$INEW111.txt",
                                     vista + L"\\$RNOI333.txt", bin + L"\\Dc1.txt"})
        EXPECT_TRUE(FileExists(kept)) << ToUtf8(kept);
    for (const std::wstring& gone :
         {vista + L"\\$ROLD222.txt", vista + L"\\$IOLD222.txt", bin + L"\\Dc2.txt"})
        EXPECT_FALSE(FileExists(gone)) << ToUtf8(gone);
}

}  // namespace

}  // namespace veltrane
