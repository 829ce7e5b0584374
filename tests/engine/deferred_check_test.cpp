// Deletions a clean defers to the next start are recorded, and checked once
// after a restart: Wine's restart (wineboot -r) carries out the system's list.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "engine/deferred_check.h"
#include "engine/kernel.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/pending_renames.h"

namespace veltrane {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

bool ScheduleForRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// The system's list with the deletion of `path` taken out, as if the restart could not remove it.
void DropFromPendingList(const std::wstring& path) {
    std::wstring list = PendingRenameOperations();
    const std::wstring entry = L"\\??\\" + path + std::wstring(1, L'\0') + std::wstring(1, L'\0');
    const size_t at = list.find(entry);
    ASSERT_NE(at, std::wstring::npos);
    list.erase(at, entry.size());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
                   static_cast<DWORD>(list.size() * sizeof(wchar_t)));
    RegCloseKey(key);
}

void Restart() {
    const ChildResult restart = RunChild(L"C:\\windows\\system32\\wineboot.exe -r");
    ASSERT_TRUE(restart.started);
}

DeferredState StateOf(const DeferredCheck& check, const std::wstring& path) {
    for (const DeferredItemCheck& item : check.items)
        if (_wcsicmp(item.item.path.c_str(), path.c_str()) == 0) return item.state;
    ADD_FAILURE() << "not in the check: " << testing::PrintToString(path);
    return DeferredState::kUnchecked;
}

class DeferredDeletions : public testing::Test {
protected:
    // The restart here carries out every pending deletion of the sandbox, so
    // the records of earlier tests' cleans would fall due at a later start of
    // the window: the list and the program's own record start and end empty.
    void SetUp() override { Forget(); }
    void TearDown() override { Forget(); }
    static void Forget() {
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingValue);
        ForgetKernelSettings();
    }

    ScopedTestKey home{L"DeferredHome"};
    ScopedTestFolder folder{L"Deferred"};
    ScopedProgramFolder programFolder;
};

TEST_F(DeferredDeletions, ACleanRecordsThemAndTheNextStartTellsWhatTheRestartDid) {
    for (const wchar_t* name : {L"earlier.tmp", L"gone.tmp", L"replaced.tmp", L"left.tmp"})
        WriteTestFile(folder.Sub(name), "data");
    // Scheduled before the clean, by someone else: not the clean's to tell of.
    ASSERT_TRUE(ScheduleForRestart(folder.Sub(L"earlier.tmp")));

    RecordingView view;
    std::map<std::wstring, TestPlugin*> plugins;
    const std::vector<TestPluginRow> rows = {{.id = L"DfA"}};
    ForgetStoredFlags(rows);
    {
        CKernel kernel(&view, MakeTestFactory(rows, plugins),
                       SettingsHome{.user = {HKEY_CURRENT_USER, home.Path()}});
        view.Attach(&kernel);
        plugins[L"DfA"]->fix = [&](TestPlugin& self) {
            for (const wchar_t* name : {L"gone.tmp", L"replaced.tmp", L"left.tmp"})
                if (!ScheduleForRestart(folder.Sub(name))) return CPlugin::kFailed;
            self.SetRebootNeeded();
            return CPlugin::kDone;
        };
        kernel.SetMode(CKernel::kScanning);
        ASSERT_TRUE(view.PumpUntil([&] { return kernel.GetMode() == CKernel::kScanFinished; }));
        kernel.SetMode(CKernel::kCleaning);
        ASSERT_TRUE(view.PumpUntil([&] { return kernel.GetMode() == CKernel::kCleanFinished; }));
        view.Attach(nullptr);
    }
    ForgetStoredFlags(rows);

    // Before the restart there is nothing to tell: the items wait in the record.
    const RegPlace place{HKEY_CURRENT_USER, home.Path()};
    EXPECT_FALSE(CheckDeferredItems(place));

    DropFromPendingList(folder.Sub(L"left.tmp"));
    Restart();
    EXPECT_FALSE(FileExists(folder.Sub(L"earlier.tmp")));
    EXPECT_FALSE(FileExists(folder.Sub(L"gone.tmp")));
    ASSERT_TRUE(FileExists(folder.Sub(L"left.tmp")));
    // The same name, another file: the deferred one was removed.
    WriteTestFile(folder.Sub(L"replaced.tmp"), "new");

    const std::optional<DeferredCheck> check = CheckDeferredItems(place);
    ASSERT_TRUE(check);
    ASSERT_EQ(check->items.size(), 3u);
    EXPECT_EQ(StateOf(*check, folder.Sub(L"gone.tmp")), DeferredState::kRemoved);
    EXPECT_EQ(StateOf(*check, folder.Sub(L"replaced.tmp")), DeferredState::kRemoved);
    EXPECT_EQ(StateOf(*check, folder.Sub(L"left.tmp")), DeferredState::kStillThere);
    EXPECT_EQ(DeferredCheckText(*check).rfind(
                  L"2 items deferred at the last clean were removed at restart; 1 is still "
                  L"there.\n",
                  0),
              0u);
    // A notice lists a few and counts the rest.
    const std::wstring shortText = DeferredCheckText(*check, 1);
    EXPECT_EQ(shortText.substr(shortText.rfind(L'\n')), L"\nand 2 more");
    // Told once.
    EXPECT_FALSE(CheckDeferredItems(place));

    // Scheduled again: the one still there, and only the file that was deferred.
    EXPECT_EQ(ScheduleStillThereAgain(place, *check), 1u);
    const PendingDeletesOutcome pending = ReadPendingDeletes();
    ASSERT_EQ(pending.kind, PendingRead::kRead);
    ASSERT_EQ(pending.paths.size(), 1u);
    EXPECT_EQ(_wcsicmp(pending.paths[0].c_str(), folder.Sub(L"left.tmp").c_str()), 0);
    Restart();
    EXPECT_FALSE(FileExists(folder.Sub(L"left.tmp")));
    EXPECT_TRUE(FileExists(folder.Sub(L"replaced.tmp")));
    const std::optional<DeferredCheck> again = CheckDeferredItems(place);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Count(DeferredState::kRemoved), 1u);
}

TEST_F(DeferredDeletions, ARecordKeyThatIsARegistryLinkIsNeitherWrittenNorRead) {
    WriteTestFile(folder.Sub(L"item.tmp"), "data");
    ScopedTestKey elsewhere(L"DeferredElsewhere");
    ASSERT_TRUE(MakeRegLink(HKEY_CURRENT_USER, home.Sub(L"Deferred"), elsewhere.Path()));
    const RegPlace place{HKEY_CURRENT_USER, home.Path()};
    const std::vector<DeferredItem> items = NewDeferredItems({}, {folder.Sub(L"item.tmp")});
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(RecordDeferredItems(place, items).kind, DeferredRecordKind::kLinkRefused);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, elsewhere.Path(), L"Items"));

    // A record planted behind the link is not taken for the program's.
    SetString(HKEY_CURRENT_USER, elsewhere.Path(), L"Items",
              L"00000000 0000000000000001 " + folder.Sub(L"item.tmp") + L'\0', REG_MULTI_SZ);
    EXPECT_FALSE(CheckDeferredItems(place));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, elsewhere.Path(), L"Items"));
    DeleteTree(HKEY_CURRENT_USER, home.Sub(L"Deferred"));
}

}  // namespace

}  // namespace veltrane
