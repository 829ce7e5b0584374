#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "plugins/system/windows_recent.h"
#include "support/test_links.h"
#include "sysaccess/handles.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

std::wstring RecentFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_RECENT, TRUE);
    return path;
}

void SaveShortcut(const std::wstring& shortcut, const std::wstring& target) {
    IShellLinkW* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    IPersistFile* file = nullptr;
    link->SetPath(target.c_str());
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Save(shortcut.c_str(), TRUE), S_OK);
    file->Release();
    link->Release();
}

class RecentRun : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        RemoveTree(RecentFolder());
        MakeFolder(RecentFolder());
    }
    void TearDown() override {
        RemoveTree(RecentFolder());
        MakeFolder(RecentFolder());
        CoUninitialize();
    }
    ScopedTestFolder folder{L"Recent"};
};

TEST_F(RecentRun, ShortcutsAreListedWithTheirTargetsAndCleanedAway) {
    WriteTestFile(folder.Sub(L"letter.txt"), "Dear ...");
    SaveShortcut(RecentFolder() + L"\\letter.txt.lnk", folder.Sub(L"letter.txt"));
    SaveShortcut(RecentFolder() + L"\\gone.doc.lnk", folder.Sub(L"gone.doc"));
    WriteTestFile(RecentFolder() + L"\\stray.dat", "not a shortcut");

    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    const RecentDocumentList& list = run.plugin->GetList();
    ASSERT_EQ(list.size(), 2u);
    const RecentDocument* letter = nullptr;
    const RecentDocument* gone = nullptr;
    for (const RecentDocument& record : list)
        (record.path == folder.Sub(L"letter.txt") ? letter : gone) = &record;
    ASSERT_TRUE(letter && gone);
    EXPECT_EQ(letter->shortcut, RecentFolder() + L"\\letter.txt.lnk");
    EXPECT_NE(letter->name.find(L"letter"), std::wstring::npos);
    EXPECT_FALSE(letter->type.empty());
    EXPECT_EQ(gone->path, folder.Sub(L"gone.doc"));
    EXPECT_EQ(gone->type, L"");  // the target is gone, the trace is not
    std::wstring report = run.ScanReport();
    EXPECT_NE(report.find(L"Recent documents: 2"), std::wstring::npos) << report;

    // A shortcut made after the scan is not one the scan showed.
    SaveShortcut(RecentFolder() + L"\\later.txt.lnk", folder.Sub(L"letter.txt"));
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_FALSE(FileExists(RecentFolder() + L"\\letter.txt.lnk"));
    EXPECT_FALSE(FileExists(RecentFolder() + L"\\gone.doc.lnk"));
    // Only what the scan listed goes.
    EXPECT_TRUE(FileExists(RecentFolder() + L"\\stray.dat"));
    EXPECT_TRUE(FileExists(RecentFolder() + L"\\later.txt.lnk"));
    EXPECT_TRUE(FileExists(folder.Sub(L"letter.txt")));  // the document itself stays
    EXPECT_EQ(CountOf(run.CleanReport(), L"status-deleted"), 2u);
}

TEST_F(RecentRun, AShortcutInUseIsDeletedAfterReboot) {
    std::wstring shortcut = RecentFolder() + L"\\plan.txt.lnk";
    SaveShortcut(shortcut, folder.Sub(L"plan.txt"));
    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    {
        UniqueHandle held = HoldOpen(shortcut);
        ASSERT_TRUE(held);
        ASSERT_EQ(run.Clean(), L"Finished");
    }
    ASSERT_EQ(run.plugin->GetList().size(), 1u);
    EXPECT_EQ(run.plugin->GetList()[0].result, ItemOutcome::kDeferred);
    EXPECT_TRUE(run.kernel->IsRebootNeeded());
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_EQ(run.plugin->GetErrors()[0].GetTitle(),
              L"Error occurred while attempting to delete file \"" + shortcut +
                  L"\".\nIt will be deleted after system reboot.");
    EXPECT_NE(run.CleanReport().find(L"status-reboot\" id=\"idError_1\""), std::wstring::npos);
    SHDeleteValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations");
}

// A shortcut that is a file link (Wine shows a Linux symbolic link as a plain
// file) is listed with why it stays, and its row fails; the shortcut it
// leads to is neither overwritten nor deleted.
TEST_F(RecentRun, AShortcutThatIsAFileLinkIsShownAndLeft) {
    const std::wstring elsewhere = folder.Sub(L"elsewhere.txt.lnk");
    SaveShortcut(elsewhere, folder.Sub(L"letter.txt"));
    const std::string bytes = ReadTestFile(elsewhere);
    const std::wstring link = RecentFolder() + L"\\letter.txt.lnk";
    ASSERT_TRUE(MakeFileLink(link, elsewhere));
    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->GetList().size(), 1u);

    EXPECT_EQ(run.Clean(), L"Finished with failures");
    EXPECT_EQ(ReadTestFile(elsewhere), bytes);
    EXPECT_EQ(run.plugin->GetList()[0].result, ItemOutcome::kFailed);
    ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
    EXPECT_NE(run.plugin->GetErrors()[0].GetReason().find(L"link"), std::wstring::npos);
    RemoveFolderLink(link);
}

// Found by the robustness tests: the shell's loader read a volume label at
// whatever offset a damaged shortcut gave and brought the program down.
TEST_F(RecentRun, ADamagedShortcutIsPassedOverWithoutHarm) {
    WriteTestFile(folder.Sub(L"letter.txt"), "Dear ...");
    const std::wstring damaged = RecentFolder() + L"\\damaged.txt.lnk";
    SaveShortcut(damaged, folder.Sub(L"letter.txt"));
    SaveShortcut(RecentFolder() + L"\\letter.txt.lnk", folder.Sub(L"letter.txt"));
    std::string bytes = ReadTestFile(damaged);
    ASSERT_GE(bytes.size(), 0x4Cu);
    auto u32 = [&](size_t at) {
        uint32_t value = 0;
        memcpy(&value, bytes.data() + at, 4);
        return value;
    };
    const uint32_t flags = u32(0x14);
    ASSERT_NE(flags & 0x2, 0u);  // the shortcut carries its link info
    size_t info = 0x4C;
    if (flags & 0x1)
        info += 2 + (static_cast<unsigned char>(bytes[0x4C]) |
                     static_cast<unsigned char>(bytes[0x4D]) << 8);
    const size_t volume = info + u32(info + 12);
    ASSERT_LT(volume + 16, bytes.size());
    const uint32_t farAway = 0x7FFFFFF0;  // the volume label's offset
    memcpy(bytes.data() + volume + 12, &farAway, 4);
    WriteTestFile(damaged, bytes);

    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_EQ(run.plugin->GetList().size(), 1u);
    EXPECT_EQ(run.plugin->GetList()[0].shortcut, RecentFolder() + L"\\letter.txt.lnk");
    ASSERT_EQ(run.Clean(), L"Finished");
    EXPECT_TRUE(FileExists(damaged));  // not listed, so not removed
}

TEST_F(RecentRun, CountsTellWhatWentAndAShortcutGoneBeforeTheCleanFreesNothing) {
    const std::wstring kept = RecentFolder() + L"\\kept.txt.lnk";
    const std::wstring early = RecentFolder() + L"\\early.txt.lnk";
    SaveShortcut(kept, folder.Sub(L"kept.txt"));
    SaveShortcut(early, folder.Sub(L"early.txt"));
    const uint64_t size = ReadTestFile(kept).size();
    PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
    ASSERT_EQ(run.Scan(), L"Finished");
    ASSERT_TRUE(DeleteFileW(early.c_str()));  // the user removed it meanwhile
    ASSERT_EQ(run.Clean(), L"Finished");
    const CleanSummary summary = run.plugin->GetCleanSummary();
    EXPECT_EQ(summary.removed, 1u);
    EXPECT_EQ(summary.freedBytes, size);
    EXPECT_EQ(summary.failed, 0u);
    const std::wstring report = run.CleanReport();
    EXPECT_EQ(CountOf(report, L"status-deleted"), 1u) << report;
    EXPECT_EQ(CountOf(report, L"Already gone"), 1u) << report;
}

// A Recent folder that is a link (or lies below one) is not listed: one row
// names it, the clean fails it and nothing behind the link goes.
TEST_F(RecentRun, ARecentFolderThatIsALinkIsLeftWithARowThatSaysWhy) {
    const std::wstring elsewhere = folder.Sub(L"Elsewhere");
    MakeFolder(elsewhere);
    SaveShortcut(elsewhere + L"\\letter.txt.lnk", folder.Sub(L"letter.txt"));
    ASSERT_TRUE(FileExists(elsewhere + L"\\letter.txt.lnk"));
    // Named once: asking the shell again makes the folder anew.
    const std::wstring recent = RecentFolder();
    RemoveTree(recent);
    RemoveDirectoryW(recent.c_str());
    ASSERT_FALSE(FileExists(recent));
    {
        ScopedFolderLinks links;
        ASSERT_TRUE(links.Make(recent, elsewhere));
        PluginRun<CPlgWinRecUsed> run(L"WinRecUsed");
        ASSERT_EQ(run.Scan(), L"Finished");
        ASSERT_EQ(run.plugin->GetList().size(), 1u);
        EXPECT_EQ(run.plugin->GetList()[0].name, L"Not cleaned: " + recent);
        run.Clean();
        ASSERT_EQ(run.plugin->GetErrors().size(), 1u);
        EXPECT_NE(run.plugin->GetErrors()[0].GetReason().find(L"link"), std::wstring::npos)
            << run.plugin->GetErrors()[0].GetReason();
        EXPECT_TRUE(run.plugin->GetCleanSummary().LeftItems());
    }
    EXPECT_TRUE(FileExists(elsewhere + L"\\letter.txt.lnk"));
    MakeFolder(recent);
}

}  // namespace

}  // namespace veltrane
