#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "engine/kernel.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/named_objects.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

class KernelRun : public testing::Test {
protected:
    void SetUp() override {
        ForgetKernelSettings();
        std::lock_guard<std::mutex> guard(TestPlugin::JournalLock());
        TestPlugin::Journal().clear();
    }
    void TearDown() override {
        kernel.reset();
        ForgetStoredFlags(rows);
        ForgetKernelSettings();
    }

    void Start(std::vector<TestPluginRow> pluginRows) {
        rows = std::move(pluginRows);
        ForgetStoredFlags(rows);
        kernel = std::make_unique<CKernel>(&view, MakeTestFactory(rows, plugins));
        view.Attach(kernel.get());
    }
    bool RunTo(CKernel::Mode mode) {
        return view.PumpUntil([&] { return kernel->GetMode() == mode; });
    }
    std::vector<std::wstring> Journal() {
        std::lock_guard<std::mutex> guard(TestPlugin::JournalLock());
        return TestPlugin::Journal();
    }

    ScopedProgramFolder programFolder;  // the state pages are read from html\ there
    RecordingView view;
    std::vector<TestPluginRow> rows;
    std::map<std::wstring, TestPlugin*> plugins;
    std::unique_ptr<CKernel> kernel;
};

TEST_F(KernelRun, VisitsCheckedPluginsInOrderAndShowsTheHeaviest) {
    Start({{.id = L"KtA"},
           {.id = L"KtB", .weight = 5, .enabled = false},
           {.id = L"KtC", .category = PluginCategory::kIeAndAol, .weight = 2}});
    // A failure does not stop the run.
    plugins[L"KtA"]->scan = [](TestPlugin&) { return CPlugin::kFailed; };
    ASSERT_TRUE(kernel->HandleCommand(L"btn_scan"));
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtA", L"scan:KtC"}));
    EXPECT_EQ(kernel->GetCurrentPluginId(), L"KtC");
    EXPECT_EQ(plugins[L"KtA"]->GetRunState(), CPlugin::kScanned);
    EXPECT_EQ(plugins[L"KtB"]->GetRunState(), CPlugin::kNotRun);
    EXPECT_FALSE(plugins[L"KtB"]->IsInLastScan());
    ASSERT_EQ(view.rows.size(), 4u);
    EXPECT_EQ(view.rows[0], std::make_pair(std::wstring(L"KtA"), std::wstring(L"Processing…")));
    EXPECT_EQ(view.rows[1].second, L"Failed");
    EXPECT_EQ(view.rows[3], std::make_pair(std::wstring(L"KtC"), std::wstring(L"Finished")));
    // Options are stored when they change, never by a scan.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kOptionsKey));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));

    // A clean that left items it showed is finished, with failures, and the run goes on.
    plugins[L"KtA"]->fix = [](TestPlugin&) { return CPlugin::kDoneWithFailures; };
    ASSERT_TRUE(kernel->HandleCommand(L"btn_clean"));
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_EQ(view.processAreaPrepared, 1);
    EXPECT_EQ(Journal().back(), L"fix:KtC");
    EXPECT_NE(
        std::find(view.rows.begin(), view.rows.end(),
                  std::make_pair(std::wstring(L"KtA"), std::wstring(L"Finished with failures"))),
        view.rows.end());
    EXPECT_EQ(plugins[L"KtA"]->GetRunState(), CPlugin::kCleaned);
    EXPECT_FALSE(kernel->HandleCommand(L"btn_scan"));  // not a command of mode 4
    EXPECT_TRUE(kernel->HandleCommand(L"btn_finish"));
    EXPECT_EQ(kernel->GetMode(), CKernel::kIdle);
    EXPECT_TRUE(kernel->GetCurrentPluginId().empty());
    EXPECT_EQ(view.rebootNotices, 0);
}

TEST_F(KernelRun, EqualWeightsChooseTheEarlierPlugin) {
    Start({{.id = L"KtA", .weight = 1}, {.id = L"KtC", .weight = 1}});
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_EQ(kernel->GetCurrentPluginId(), L"KtA");
}

TEST_F(KernelRun, PluginUncheckedDuringTheRunIsSkipped) {
    Start({{.id = L"KtA"}, {.id = L"KtC"}});
    view.onRow = [&](const std::wstring& id, const std::wstring&) {
        if (id == L"KtA") plugins[L"KtC"]->SetEnabled(false);
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtA"}));
}

TEST_F(KernelRun, CancelDuringScanReturnsToIdle) {
    Start({{.id = L"KtA"}, {.id = L"KtC"}});
    plugins[L"KtA"]->scan = [&](TestPlugin& self) {
        kernel->Cancel();
        return self.IsCancelled() ? CPlugin::kCancelled : CPlugin::kDone;
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(view.PumpUntil([&] { return view.modes.size() >= 2; }));
    EXPECT_EQ(kernel->GetMode(), CKernel::kIdle);
    EXPECT_TRUE(kernel->GetCurrentPluginId().empty());
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtA"}));
    EXPECT_EQ(plugins[L"KtA"]->GetRunState(), CPlugin::kNotRun);
}

TEST_F(KernelRun, AbortDuringCleanEndsWithAChosenPlugin) {
    Start({{.id = L"KtA"}, {.id = L"KtC"}});
    plugins[L"KtA"]->fix = [&](TestPlugin&) {
        kernel->Cancel();
        return CPlugin::kCancelled;
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    ASSERT_TRUE(kernel->HandleCommand(L"btn_clean"));
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_EQ(Journal().back(), L"fix:KtA");
    EXPECT_EQ(kernel->GetCurrentPluginId(), L"KtA");
}

TEST_F(KernelRun, ARunStartsEvenWhenTheLayoutCannotBeShown) {
    Start({{.id = L"KtA"}});
    view.layoutFails = true;
    ASSERT_TRUE(kernel->HandleCommand(L"btn_scan"));
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    ASSERT_TRUE(kernel->HandleCommand(L"btn_clean"));
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtA", L"fix:KtA"}));
}

TEST_F(KernelRun, NothingCheckedGoesStraightToTheFinishedModes) {
    Start({{.id = L"KtA", .enabled = false}});
    kernel->SetMode(CKernel::kScanning);
    EXPECT_EQ(kernel->GetMode(), CKernel::kScanFinished);
    kernel->SetMode(CKernel::kCleaning);
    EXPECT_EQ(kernel->GetMode(), CKernel::kCleanFinished);
    EXPECT_TRUE(Journal().empty());
    EXPECT_TRUE(view.rows.empty());
}

TEST_F(KernelRun, RebootNoticeOnceAfterADeferredDeletion) {
    Start({{.id = L"KtA"}});
    plugins[L"KtA"]->fix = [](TestPlugin& self) {
        self.SetRebootNeeded();
        return CPlugin::kDone;
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    kernel->SetMode(CKernel::kCleaning);
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_TRUE(kernel->IsRebootNeeded());
    kernel->HandleCommand(L"btn_finish");
    EXPECT_EQ(view.rebootNotices, 1);
    EXPECT_FALSE(kernel->IsRebootNeeded());

    plugins[L"KtA"]->fix = nullptr;
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    kernel->SetMode(CKernel::kCleaning);
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    kernel->HandleCommand(L"btn_finish");
    EXPECT_EQ(view.rebootNotices, 1);
}

TEST_F(KernelRun, WorkerThatCannotStartFailsItsPluginAndTheRunGoesOn) {
    Start({{.id = L"KtA"}, {.id = L"KtC"}});
    plugins[L"KtA"]->failLaunch = true;
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtC"}));
    ASSERT_GE(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1], std::make_pair(std::wstring(L"KtA"), std::wstring(L"Failed")));
}

TEST_F(KernelRun, APluginThatThrowsFailsAndTheRunGoesOn) {
    Start({{.id = L"KtA"}, {.id = L"KtC"}});
    plugins[L"KtA"]->scan = [](TestPlugin&) -> CPlugin::Result {
        throw std::runtime_error("a reader met what it never expected");
    };
    plugins[L"KtC"]->fix = [](TestPlugin&) -> CPlugin::Result { throw 42; };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_EQ(Journal(), (std::vector<std::wstring>{L"scan:KtA", L"scan:KtC"}));
    ASSERT_GE(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[1], std::make_pair(std::wstring(L"KtA"), std::wstring(L"Failed")));

    view.rows.clear();
    kernel->SetMode(CKernel::kCleaning);
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_NE(std::find(view.rows.begin(), view.rows.end(),
                        std::make_pair(std::wstring(L"KtC"), std::wstring(L"Failed"))),
              view.rows.end());
}

// A name with an unpaired surrogate reaches the page as U+FFFD, and its
// unticked row's key comes back so: the row stays all the same.
TEST_F(KernelRun, AnUntickedRowStaysWhenItsNameIsNotValidText) {
    Start({{.id = L"KtA"}});
    const ItemRef odd = FileItemRef(L"C:\\Temp\\a\xD800" L"b.tmp");
    kernel->SetKeptByYou({FromUtf8(ToUtf8(ItemKey(odd)))});
    EXPECT_EQ(kernel->MayRemove(odd).kind, KeepVerdict::Kind::kKeptByYou);
    EXPECT_EQ(kernel->MayRemove(FileItemRef(L"C:\\Temp\\ab.tmp")).kind, KeepVerdict::Kind::kRemove);
}

TEST_F(KernelRun, ProgressReachesTheViewAsTextAndIsThrottled) {
    Start({{.id = L"KtA"}});
    plugins[L"KtA"]->SetProgressInterval(60000);
    std::vector<bool> posted;
    plugins[L"KtA"]->scan = [&](TestPlugin& self) {
        posted.push_back(self.SetProgress(L"C:\\a<b>.txt"));
        posted.push_back(self.SetProgress(L"throttled"));
        return CPlugin::kDone;
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    view.PumpUntil([&] { return !view.progress.empty(); }, 2000);
    EXPECT_EQ(posted, (std::vector<bool>{true, false}));
    EXPECT_EQ(view.progress, (std::vector<std::wstring>{L"Scanning C:\\a<b>.txt"}));
}

TEST_F(KernelRun, ErrorLinksOpenOnlyExistingErrors) {
    Start({{.id = L"KtA"}});
    TestPlugin& plugin = *plugins[L"KtA"];
    plugin.AddError(ItemError(ItemError::kFile, L"C:\\x.txt", ItemError::kSystemMessage,
                              ERROR_ACCESS_DENIED, true));
    for (const wchar_t* command : {L"idError_0", L"idError_x", L"idError_2", L"other"})
        plugin.OnReportClick(command, nullptr);
    EXPECT_TRUE(view.shownErrors.empty());
    plugin.OnReportClick(L"idError_1", nullptr);
    ASSERT_EQ(view.shownErrors.size(), 1u);
    EXPECT_EQ(view.shownErrors[0].second, L"Access denied.");
}

// The run lock as another instance sees it: true when its count is free now.
bool RunLockIsFree() {
    CKivoCriticalSection other;
    if (!other.CreateOrOpen(kKivoSemaphoreName).Done()) return false;
    return other.TakeIfFree().outcome.Done();
}

TEST_F(KernelRun, HoldsTheRunLockOnlyWhileAScanOrCleanRuns) {
    Start({{.id = L"KtA"}});
    std::vector<bool> freeWhileRunning;
    auto probe = [&](TestPlugin&) {
        freeWhileRunning.push_back(RunLockIsFree());
        return CPlugin::kDone;
    };
    plugins[L"KtA"]->scan = probe;
    plugins[L"KtA"]->fix = probe;
    EXPECT_TRUE(RunLockIsFree());
    ASSERT_TRUE(kernel->SetMode(CKernel::kScanning).Done());
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    EXPECT_TRUE(RunLockIsFree());
    ASSERT_TRUE(kernel->SetMode(CKernel::kCleaning).Done());
    ASSERT_TRUE(RunTo(CKernel::kCleanFinished));
    EXPECT_TRUE(RunLockIsFree());
    EXPECT_EQ(freeWhileRunning, (std::vector<bool>{false, false}));

    // A cancelled scan gives it back too.
    plugins[L"KtA"]->scan = [&](TestPlugin&) {
        kernel->Cancel();
        return CPlugin::kCancelled;
    };
    kernel->SetMode(CKernel::kScanning);
    ASSERT_TRUE(RunTo(CKernel::kIdle));
    EXPECT_TRUE(RunLockIsFree());
    EXPECT_TRUE(view.notices.empty());
}

TEST_F(KernelRun, AKernelEndingDuringARunGivesTheLockBack) {
    Start({{.id = L"KtA"}});
    plugins[L"KtA"]->scan = [](TestPlugin& self) {
        while (!self.IsCancelled()) Sleep(10);
        return CPlugin::kCancelled;
    };
    kernel->SetMode(CKernel::kScanning);
    EXPECT_FALSE(RunLockIsFree());
    kernel.reset();
    EXPECT_TRUE(RunLockIsFree());
}

TEST_F(KernelRun, ALockHeldElsewhereRefusesTheRunAsBusy) {
    Start({{.id = L"KtA"}});
    CKivoCriticalSection other;
    ASSERT_TRUE(other.CreateOrOpen(kKivoSemaphoreName).Done());
    {
        RunLockTake held = other.TakeIfFree();
        ASSERT_TRUE(held.outcome.Done());
        EXPECT_EQ(kernel->SetMode(CKernel::kScanning).kind, RunLockOutcome::kBusy);
        EXPECT_EQ(kernel->GetMode(), CKernel::kIdle);
        EXPECT_EQ(view.notices, (std::vector<std::wstring>{kRunRefusedText}));
        EXPECT_TRUE(Journal().empty());
    }
    ASSERT_TRUE(kernel->SetMode(CKernel::kScanning).Done());
    EXPECT_TRUE(RunTo(CKernel::kScanFinished));
}

// Something else holds the lock's name as another kind of object: the lock
// cannot be opened, which is not the same as another copy scanning.
TEST_F(KernelRun, ALockThatCannotBeOpenedIsToldApartFromABusyOne) {
    NamedObject squatter = CreateNamedMutex(kKivoSemaphoreName, false);
    ASSERT_TRUE(squatter.handle) << "the run lock is open elsewhere: " << squatter.error;
    Start({{.id = L"KtA"}});
    const RunLockOutcome refused = kernel->SetMode(CKernel::kScanning);
    EXPECT_EQ(refused.kind, RunLockOutcome::kNotOpened);
    EXPECT_NE(refused.error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(kernel->GetMode(), CKernel::kIdle);
    ASSERT_EQ(view.notices.size(), 1u);
    EXPECT_EQ(view.notices[0].rfind(L"The run lock could not be opened: ", 0), 0u)
        << ToUtf8(view.notices[0]);
    EXPECT_NE(view.notices[0], RunRefusalText({RunLockOutcome::kBusy}));

    // Once the name is free again, the next run opens the lock and goes.
    squatter.handle.Close();
    ASSERT_TRUE(kernel->SetMode(CKernel::kScanning).Done());
    EXPECT_TRUE(RunTo(CKernel::kScanFinished));
}

// Pages come from the program folder whatever the current directory holds,
// even when something changes it while the program runs.
TEST_F(KernelRun, StatePagesComeFromTheProgramFolderNotTheCurrentDirectory) {
    ScopedTestFolder decoy(L"KernelDecoyFolder");
    for (const wchar_t* page : {L"state_processing.html", L"state_finished.html"})
        WriteTestFile(decoy.Sub(std::wstring(L"html\\English\\") + page), "Decoy");
    Start({{.id = L"KtA"}});
    ScopedCurrentDirectory moved(decoy.Path());
    ASSERT_TRUE(kernel->HandleCommand(L"btn_scan"));
    ASSERT_TRUE(RunTo(CKernel::kScanFinished));
    ASSERT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(view.rows[0].second, L"Processing…");
    EXPECT_EQ(view.rows[1].second, L"Finished");
}

}  // namespace

}  // namespace veltrane
