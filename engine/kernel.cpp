#include "engine/kernel.h"

#include <shlwapi.h>

#include <utility>

#include "engine/deferred_check.h"
#include "engine/page_reader.h"
#include "engine/program_folder.h"
#include "sysaccess/module_path.h"
#include "sysaccess/pending_renames.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/text.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

// A row's key as the page hands it back: a name that is not valid text (an
// unpaired surrogate) reached the page as U+FFFD, and comes back so. Two
// names alike but for that are then kept together, never removed together.
std::wstring AsThePageSeesIt(const std::wstring& key) { return FromUtf8(ToUtf8(key)); }

// The program in its folder, quoted: an unquoted path with spaces lets
// Windows start another program named like its first word.
std::wstring AutostartCommand() {
    const std::wstring program = ExecutablePath();
    const std::wstring inFolder = ProgramFilePath(PathFindFileNameW(program.c_str()));
    // Never an empty entry: without a named folder, the program where it is.
    return L"\"" + (inFolder.empty() ? program : inFolder) + L"\"";
}

void TraceRunLockProblem(const RunLockOutcome& outcome) {
    Trace(L"Run lock: outcome %d, error %lu\n", static_cast<int>(outcome.kind), outcome.error);
}

// The state page a plug-in's row shows once its scan or clean is over.
const wchar_t* RowStatePage(CPlugin::Result result) {
    switch (result) {
        case CPlugin::kDone:
            return L"state_finished.html";
        case CPlugin::kDoneWithFailures:
            return L"state_finished_failures.html";
        default:
            return L"state_failed.html";
    }
}

}  // namespace

std::wstring RunRefusalText(const RunLockOutcome& outcome) {
    const wchar_t* const why =
        L" Veltrane scans and cleans only while it holds that lock, so that two copies never "
        L"clean at the same time.";
    switch (outcome.kind) {
        case RunLockOutcome::kDone:
            return {};
        case RunLockOutcome::kBusy:
            return kRunRefusedText;
        case RunLockOutcome::kNotOpened:
            return L"The run lock could not be opened: " + FormatSystemErrorLine(outcome.error) +
                   why;
        case RunLockOutcome::kFailed:
            break;
    }
    return L"The run lock could not be taken: " + FormatSystemErrorLine(outcome.error) + why;
}

CKernel::CKernel(IKernelView* view, const PluginFactory& createPlugins, SettingsHome home)
    : view_(view), userHome_(home.user), store_(std::move(home)), options_(store_.Load()) {
    plugins_ = createPlugins(*this);
    cancelEvent_.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // Held open while the program runs; a failure is told when a run needs the lock.
    if (const RunLockOutcome opened = runLock_.CreateOrOpen(kKivoSemaphoreName); !opened.Done())
        TraceRunLockProblem(opened);
}

CKernel::~CKernel() {
    // The window has settled a run already; anyone else gets the worker stopped here.
    if (IsRunning()) Cancel();
    if (!WaitForWorkers(kStopRunTimeoutMs)) {
        // Freeing the plug-ins under a worker would crash in its walk; the
        // process is ending, so they are left to it.
        Trace(L"A worker still runs at exit; its plug-ins are left in place\n");
        for (auto& plugin : plugins_) (void)plugin.release();
    }
    // Each plug-in saves its checked flag as it goes; the run lock's count
    // goes back with runToken_, after this.
    plugins_.clear();
}

RunLockOutcome CKernel::SetMode(Mode mode) {
    const bool run = mode == kScanning || mode == kCleaning;
    if (run && !runToken_.IsHeld()) {
        const RunLockOutcome taken = TakeRunLock();
        if (!taken.Done()) {
            TraceRunLockProblem(taken);
            if (view_) view_->ShowNotice(RunRefusalText(taken));
            return taken;
        }
    }
    if (!run) ReleaseRunLock();
    if (mode == kIdle) currentPluginId_.clear();
    if (mode == kCleanFinished) RecordDeferredDeletions();
    mode_ = mode;
    // A page that is gone or too slow must not keep the run from starting:
    // it shows the layout of the mode as it stands when it attaches again.
    if (view_ && !view_->RecomposeLayout())
        Trace(L"Layout of mode %d not shown\n", static_cast<int>(mode));

    if (mode == kScanning) {
        ResetCancel();
        keptByYou_.clear();  // a new scan shows new rows, all ticked
        TakeRunChoices();
        if (StartNext(L"") == NextStep::kNoneLeft) return SetMode(kScanFinished);
    } else if (mode == kCleaning) {
        if (view_) view_->PrepareProcessArea();
        PendingDeletesOutcome pending = ReadPendingDeletes();
        if (pending.kind == PendingRead::kRead)
            pendingBeforeClean_ = std::move(pending.paths);
        else
            Trace(L"The system's pending deletions could not be read (error %lu)\n", pending.error);
        ResetCancel();
        TakeRunChoices();
        if (StartNext(L"") == NextStep::kNoneLeft) return SetMode(kCleanFinished);
    }
    return {};
}

void CKernel::Cancel() {
    cancelled_.store(true, std::memory_order_release);
    SetEvent(cancelEvent_.Get());
}

bool CKernel::StopRun(DWORD timeoutMs) {
    if (IsRunning()) Cancel();
    bool ended = WaitForWorkers(timeoutMs);
    DeliverWorkerMessages();
    return ended;
}

bool CKernel::WaitForWorkers(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    for (const auto& plugin : plugins_) {
        DWORD spent = GetTickCount() - start;
        if (!plugin->WaitForWorker(spent < timeoutMs ? timeoutMs - spent : 0)) return false;
    }
    return true;
}

void CKernel::DeliverWorkerMessages() {
    HWND window = view_ ? view_->GetMessageWindow() : nullptr;
    // (HWND)-1 asks for the thread's own messages only.
    if (!window && view_ && view_->GetMessageThread() == GetCurrentThreadId())
        window = reinterpret_cast<HWND>(-1);
    if (!window) return;
    MSG message;
    while (PeekMessageW(&message, window, kScanFinishedMessage, kProgressMessage, PM_REMOVE))
        HandleWorkerMessage(message.message, message.wParam, message.lParam);
}

bool CKernel::PostToView(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (!view_) return false;
    if (HWND window = view_->GetMessageWindow())
        return PostMessageW(window, message, wParam, lParam);
    DWORD thread = view_->GetMessageThread();
    return thread != 0 && PostThreadMessageW(thread, message, wParam, lParam);
}

RunLockOutcome CKernel::TakeRunLock() {
    // A lock that could not be opened at start (its name taken by an object
    // of another kind, say) is tried again, so that the run can go once it is free.
    if (!runLock_.IsOpen()) {
        const RunLockOutcome opened = runLock_.CreateOrOpen(kKivoSemaphoreName);
        if (!opened.Done()) return opened;
    }
    RunLockTake take = runLock_.TakeIfFree();
    if (take.outcome.Done()) runToken_ = std::move(take.token);
    return take.outcome;
}

void CKernel::ReleaseRunLock() {
    if (!runToken_.Release()) Trace(L"The run lock could not be given back\n");
}

void CKernel::ResetCancel() {
    ResetEvent(cancelEvent_.Get());
    cancelled_.store(false, std::memory_order_release);
}

bool CKernel::HandleCommand(const std::wstring& command) {
    switch (mode_.load()) {
        case kIdle:
            if (command == L"btn_scan") return SetMode(kScanning), true;
            break;
        case kScanning:
            if (command == L"btn_cancel") return Cancel(), true;
            break;
        case kScanFinished:
            if (command == L"btn_back") return SetMode(kIdle), true;
            if (command == L"btn_clean") return SetMode(kCleaning), true;
            break;
        case kCleaning:
            if (command == L"btn_abort") return Cancel(), true;
            break;
        case kCleanFinished:
            if (command == L"btn_finish") {
                // Cleared first: an exit while the notice is up must not show it again.
                if (rebootNeeded_.exchange(false) && view_) view_->ShowRebootNotice();
                SetMode(kIdle);
                return true;
            }
            break;
    }
    return false;
}

CKernel::NextStep CKernel::StartNext(const std::wstring& previousId) {
    if (previousId.empty() && mode_ == kScanning) {
        for (auto& plugin : plugins_) plugin->ResetRunState();
    }
    bool passed = previousId.empty();
    for (auto& plugin : plugins_) {
        if (!passed) {
            passed = plugin->GetId() == previousId;
            continue;
        }
        if (!plugin->IsEnabled()) continue;
        // The row first: a worker that cannot start reports at once.
        if (view_) view_->SetRowStatus(plugin->GetId(), StatePage(L"state_processing.html"));
        if (mode_ == kScanning)
            plugin->StartScan(cancelEvent_.Get());
        else
            plugin->StartFix(cancelEvent_.Get());
        return NextStep::kStarted;
    }
    return NextStep::kNoneLeft;
}

void CKernel::OnScanFinished(const std::wstring& id, CPlugin::Result result) {
    if (WaitForSingleObject(cancelEvent_.Get(), 0) == WAIT_OBJECT_0) {
        SetMode(kIdle);
        return;
    }
    SetRowFromResult(id, result);
    if (StartNext(id) != NextStep::kNoneLeft) return;
    for (auto& plugin : plugins_) plugin->SetInLastScan(plugin->IsEnabled());
    currentPluginId_ = ChosenPluginId();
    SetMode(kScanFinished);
}

void CKernel::OnFixFinished(const std::wstring& id, CPlugin::Result result) {
    if (WaitForSingleObject(cancelEvent_.Get(), 0) == WAIT_OBJECT_0) {
        currentPluginId_ = ChosenPluginId();
        SetMode(kCleanFinished);
        return;
    }
    SetRowFromResult(id, result);
    if (StartNext(id) != NextStep::kNoneLeft) return;
    currentPluginId_ = ChosenPluginId();
    SetMode(kCleanFinished);
}

void CKernel::OnProgress(const std::wstring&, const std::wstring& text, int step, int stepCount) {
    if (view_) view_->ShowProgress(text, step, stepCount);
}

bool CKernel::RefillReportPart(const std::wstring& elementId, const std::wstring& html) {
    return view_ && view_->RefillReportPart(elementId, html);
}

bool CKernel::HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kScanFinishedMessage || message == kFixFinishedMessage) {
        std::unique_ptr<wchar_t, decltype(&free)> id(reinterpret_cast<wchar_t*>(wParam), &free);
        const auto result = static_cast<CPlugin::Result>(lParam);
        if (message == kScanFinishedMessage)
            OnScanFinished(id.get(), result);
        else
            OnFixFinished(id.get(), result);
        return true;
    }
    if (message == kProgressMessage) {
        std::unique_ptr<ProgressRecord> record(reinterpret_cast<ProgressRecord*>(wParam));
        OnProgress(record->id, record->text, record->step, record->stepCount);
        return true;
    }
    return false;
}

void CKernel::PostFinished(UINT message, const std::wstring& id, CPlugin::Result result) {
    wchar_t* copy = _wcsdup(id.c_str());
    if (!PostToView(message, reinterpret_cast<WPARAM>(copy), result)) free(copy);
}

void CKernel::PostProgress(const std::wstring& id, const std::wstring& text) {
    auto record = std::make_unique<ProgressRecord>();
    record->id = id;
    record->text = text;
    if (PostToView(kProgressMessage, reinterpret_cast<WPARAM>(record.get()), 0)) record.release();
}

void CKernel::OverrideCookieKeepList(const std::wstring& text) {
    keepOverride_ = text;
    TakeCookieKeepList();
}

CookieKeepList CKernel::ReadCookieKeepList() const {
    return keepOverride_ ? CookieKeepList(*keepOverride_) : options_.keepCookies;
}

bool CKernel::StoreCookieKeepList(const CookieKeepList& list) {
    Options changed = options_;
    changed.keepCookies = list;
    return SetOptions(changed).Done();
}

void CKernel::RecordDeferredDeletions() {
    std::optional<std::vector<std::wstring>> before = std::exchange(pendingBeforeClean_, {});
    if (!before || !rebootNeeded_) return;
    const PendingDeletesOutcome after = ReadPendingDeletes();
    if (after.kind != PendingRead::kRead) {
        Trace(L"The system's pending deletions could not be read (error %lu)\n", after.error);
        return;
    }
    const DeferredRecordOutcome recorded =
        RecordDeferredItems(userHome_, NewDeferredItems(*before, after.paths));
    if (recorded.kind != DeferredRecordKind::kDone)
        Trace(L"Deferred deletions not recorded (%d, error %lu)\n", static_cast<int>(recorded.kind),
              recorded.error);
}

void CKernel::TakeCookieKeepList() { keepList_ = ReadCookieKeepList(); }

bool CKernel::GetWipeFiles() const { return options_.overWrite; }

void CKernel::SetKeptByYou(std::vector<std::wstring> itemKeys) {
    keptByYou_.clear();
    for (const std::wstring& key : itemKeys) keptByYou_.insert(AsThePageSeesIt(key));
    Trace(L"Rows kept by you: %zu\n", keptByYou_.size());
}

KeepVerdict CKernel::MayRemove(const ItemRef& item) const {
    // Both are empty outside a run's choices: the unticked rows clear at a
    // scan's start, and the rules are taken when a run starts.
    if (!keptByYou_.empty() && keptByYou_.contains(AsThePageSeesIt(ItemKey(item))))
        return {KeepVerdict::Kind::kKeptByYou, {}};
    if (std::optional<std::wstring> rule = exclusions_.KeepingRule(item))
        return {KeepVerdict::Kind::kExcluded, std::move(*rule)};
    return {};
}

void CKernel::AddRunExclusions(const std::vector<std::wstring>& rules) {
    runExclusions_.insert(runExclusions_.end(), rules.begin(), rules.end());
}

void CKernel::TakeRunChoices() {
    TakeCookieKeepList();
    cleanRefusal_.reset();
    exclusions_ = {};
    if (options_.exclusions.unreadable) {
        cleanRefusal_ = L"The exclusions cannot be read (" + *options_.exclusions.unreadable +
                        L") Nothing is cleaned until they can be read: set them again in "
                        L"Settings.";
    } else {
        std::vector<std::wstring> rules = options_.exclusions.rules;
        rules.insert(rules.end(), runExclusions_.begin(), runExclusions_.end());
        ExclusionRules::Parsed parsed = ExclusionRules::Parse(rules);
        if (!parsed.error.empty())
            cleanRefusal_ = L"An exclusion cannot be used (" + parsed.error +
                            L"). Nothing is cleaned until it is mended in Settings.";
        exclusions_ = std::move(parsed.rules);
    }
    // A site rule keeps what the keep-list keeps; an unreadable list keeps all anyway.
    if (!keepList_.IsUnreadable())
        for (const std::wstring& site : exclusions_.Sites()) (void)keepList_.Add(site);
    ageCutoff_.reset();
    const DWORD hours = ageOverride_.value_or(options_.olderThanHours);
    if (hours > 0) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER cutoff{{now.dwLowDateTime, now.dwHighDateTime}};
        constexpr ULONGLONG kTicksPerHour = 36000000000ULL;
        const ULONGLONG span = static_cast<ULONGLONG>(hours) * kTicksPerHour;
        cutoff.QuadPart = cutoff.QuadPart > span ? cutoff.QuadPart - span : 0;
        ageCutoff_ = FILETIME{cutoff.LowPart, cutoff.HighPart};
    }
}

SettingsOutcome CKernel::SetOptions(const Options& options) {
    options_ = options;
    if (!storesOptions_) return {};
    const SettingsOutcome outcome = store_.Save(options_);
    return outcome.Done() ? store_.ApplyAutostart(options_.bootStartup, AutostartCommand())
                          : outcome;
}

void CKernel::StorePluginTick(const std::wstring& id, bool ticked) {
    if (!store_.StoreTick(id, ticked).Done())
        Trace(L"The tick of %ls could not be stored\n", id.c_str());
}

void CKernel::ShowItemError(const std::wstring& title, const std::wstring& reason) {
    if (view_) view_->ShowItemError(title, reason);
}

CPlugin* CKernel::FindPlugin(const std::wstring& id) const {
    for (const auto& plugin : plugins_)
        if (plugin->GetId() == id) return plugin.get();
    return nullptr;
}

std::wstring CKernel::ChosenPluginId() const {
    const CPlugin* chosen = nullptr;
    for (const auto& plugin : plugins_) {
        if (plugin->GetRunState() == CPlugin::kNotRun) continue;
        if (!chosen || plugin->GetWeight() > chosen->GetWeight()) chosen = plugin.get();
    }
    return chosen ? chosen->GetId() : std::wstring();
}

void CKernel::SetRowFromResult(const std::wstring& id, CPlugin::Result result) {
    if (view_) view_->SetRowStatus(id, StatePage(RowStatePage(result)));
}

std::wstring CKernel::StatePage(const wchar_t* name) const {
    return ReadPage(L"html/" + language_ + L"/" + name);
}

}  // namespace veltrane
