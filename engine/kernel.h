#pragma once
// The engine behind the main window: the plug-in list, the mode, the run
// that visits the checked plug-ins one at a time on worker threads, the
// cancel event and the options, of which the kernel is the only writer.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/cookie_keep_list.h"
#include "engine/exclusion_rules.h"
#include "engine/html_element.h"
#include "engine/kernel_view.h"
#include "engine/kivo_critical_section.h"
#include "engine/options.h"
#include "engine/plugin.h"
#include "sysaccess/handles.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

class CKernel;
using PluginList = std::vector<std::unique_ptr<CPlugin>>;
// Creates the plug-ins, in list order, for a kernel.
using PluginFactory = std::function<PluginList(CKernel&)>;

// Payload of the progress message; the receiver deletes it.
struct ProgressRecord {
    std::wstring id;
    std::wstring text;
    int step = -1;
    int stepCount = -1;
};

class CKernel {
public:
    enum Mode : int {
        kIdle = 0,
        kScanning = 1,
        kScanFinished = 2,
        kCleaning = 3,
        kCleanFinished = 4
    };
    static constexpr UINT kScanFinishedMessage = WM_USER + 1;
    static constexpr UINT kFixFinishedMessage = WM_USER + 2;
    static constexpr UINT kProgressMessage = WM_USER + 3;
    // How long an exit waits for the worker of a cancelled run.
    static constexpr DWORD kStopRunTimeoutMs = 15000;

    // Loads the options from `home` before the plug-ins are made (they read their ticks).
    CKernel(IKernelView* view, const PluginFactory& createPlugins, SettingsHome home = {});
    virtual ~CKernel();
    CKernel(const CKernel&) = delete;
    CKernel& operator=(const CKernel&) = delete;

    // Mode changes and the button commands of each mode. A scan or clean
    // needs the machine-wide run lock: without it the mode stays as it was,
    // the view is told why, and the outcome says whether another instance
    // holds the lock or it could not be opened.
    RunLockOutcome SetMode(Mode mode);
    void Cancel();
    bool IsRunning() const { return mode_ == kScanning || mode_ == kCleaning; }
    // Ends a scan or clean that runs before the program ends: cancels it,
    // waits up to `timeoutMs` for its worker and delivers the worker's last
    // messages, so that the mode, the reports and the errors settle. True
    // when no worker runs any more.
    bool StopRun(DWORD timeoutMs = kStopRunTimeoutMs);
    // "btn_scan", "btn_cancel", ...: true when the command belongs to the current mode.
    bool HandleCommand(const std::wstring& command);

    // The worker messages, on the user-interface thread. Takes ownership of
    // the payload in wParam and frees it; false for any other message.
    bool HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnScanFinished(const std::wstring& id, CPlugin::Result result);
    void OnFixFinished(const std::wstring& id, CPlugin::Result result);
    void OnProgress(const std::wstring& id, const std::wstring& text, int step, int stepCount);

    // Called from worker threads.
    void PostFinished(UINT message, const std::wstring& id, CPlugin::Result result);
    void PostProgress(const std::wstring& id, const std::wstring& text);
    bool GetWipeFiles() const;
    void SetRebootNeeded(bool flag) { rebootNeeded_ = flag; }
    bool IsRebootNeeded() const { return rebootNeeded_; }

    // Where deferred deletions are recorded for the check at the next start.
    const RegPlace& GetUserHome() const { return userHome_; }

    const Options& GetOptions() const { return options_; }
    // Takes `options` and stores what changed at once, the autostart entry
    // following "BootStartup". Settings, the welcome and the keep toggles all
    // come here; while the kernel stores no options, they change in memory only.
    [[nodiscard]] SettingsOutcome SetOptions(const Options& options);
    // Where the options and ticks are kept, and that key as text.
    SettingsScope GetOptionsScope() const { return store_.Scope(); }
    std::wstring GetOptionsKeyText() const { return store_.ScopeKeyText(); }
    // Off: the kernel never stores the options or touches the autostart entry
    // (the unattended front end changes only the ticks it is asked to, and puts them back).
    void SetStoresOptions(bool stores) { storesOptions_ = stores; }
    // A plug-in's stored tick (nothing when none is stored), and its storage.
    std::optional<DWORD> ReadPluginTick(const std::wstring& id) const {
        return store_.TryReadTick(id);
    }
    void StorePluginTick(const std::wstring& id, bool ticked);

    void ShowItemError(const std::wstring& title, const std::wstring& reason);
    const std::wstring& GetLanguage() const { return language_; }
    Mode GetMode() const { return mode_; }
    const std::wstring& GetCurrentPluginId() const { return currentPluginId_; }
    void SetCurrentPluginId(const std::wstring& id) { currentPluginId_ = id; }
    const PluginList& GetPlugins() const { return plugins_; }
    CPlugin* FindPlugin(const std::wstring& id) const;
    // The cookie keep-list in force for the current run: a copy taken when a
    // scan or clean starts, so workers read it without racing the window.
    const CookieKeepList& GetCookieKeepList() const { return keepList_; }
    // The list for the runs of this kernel instead of the stored option (the
    // unattended "/keep:"), in force at once; the option itself is left as it
    // is. Not during a run.
    void OverrideCookieKeepList(const std::wstring& text);
    // The list as it stands now (the override, else the option), and its
    // storage in the option at once; for the window's thread.
    CookieKeepList ReadCookieKeepList() const;
    bool StoreCookieKeepList(const CookieKeepList& list);
    // The keys (ItemKey) of the rows the user unticked in the scan report:
    // the clean leaves those items and shows them "Kept by you". They last
    // until the next scan starts. Not during a run.
    void SetKeptByYou(std::vector<std::wstring> itemKeys);
    // Whether the current clean may remove `item`: not when the user unticked
    // it or an exclusion rule keeps it. Called from workers.
    KeepVerdict MayRemove(const ItemRef& item) const;
    // Rules of the runs of this kernel, added to the stored ones (the
    // unattended "/exclude:"), each already read once. Not during a run.
    void AddRunExclusions(const std::vector<std::wstring>& rules);
    // Why no clean may run now: the stored rules cannot be read, or one of
    // them cannot be parsed; nothing when cleans may run. Taken at run start.
    const std::optional<std::wstring>& CleanRefusal() const { return cleanRefusal_; }
    // The age limit in hours of the runs of this kernel instead of the stored
    // option (the unattended "/older:"); 0 is off. Not during a run.
    void OverrideAgeLimit(DWORD hours) { ageOverride_ = hours; }
    // Files last written after this are too new for the plug-ins the age limit
    // applies to; nothing when there is no limit. Taken at run start.
    const std::optional<FILETIME>& GetAgeCutoff() const { return ageCutoff_; }
    HANDLE GetCancelEvent() const { return cancelEvent_.Get(); }
    // The state of the cancel event without a trip to the system, for the
    // per-item checks of the workers.
    bool IsCancelSignalled() const { return cancelled_.load(std::memory_order_acquire); }
    // For a plug-in whose report redraws a part of itself: through the view.
    bool RefillReportPart(const std::wstring& elementId, const std::wstring& html);

private:
    void ResetCancel();
    bool WaitForWorkers(DWORD timeoutMs) const;
    void DeliverWorkerMessages();
    // Posts a worker message to the view's window or thread; false when it has neither.
    bool PostToView(UINT message, WPARAM wParam, LPARAM lParam) const;
    RunLockOutcome TakeRunLock();
    void ReleaseRunLock();
    enum class NextStep : int { kStarted = 0, kNoneLeft = 2 };
    // Starts the first ticked plug-in after `previousId` ("" for the first of all).
    NextStep StartNext(const std::wstring& previousId);
    std::wstring ChosenPluginId() const;
    void SetRowFromResult(const std::wstring& id, CPlugin::Result result);
    std::wstring StatePage(const wchar_t* name) const;
    void TakeCookieKeepList();
    // The exclusions, the age limit and the keep-list in force for the run starting now.
    void TakeRunChoices();
    // Records the deletions the system's list gained since the clean started.
    void RecordDeferredDeletions();

    // Written on the window's thread; workers read it for their progress texts.
    std::atomic<Mode> mode_ = kIdle;
    PluginList plugins_;
    std::wstring language_ = L"English";
    UniqueHandle cancelEvent_;
    std::atomic<bool> cancelled_{false};  // mirrors cancelEvent_
    std::wstring currentPluginId_;
    IKernelView* view_;
    RegPlace userHome_;  // before store_, which takes the home
    OptionsStore store_;
    Options options_;
    CookieKeepList keepList_;
    std::optional<std::wstring> keepOverride_;
    // Written on the window's thread between runs, read by workers during a clean.
    std::unordered_set<std::wstring> keptByYou_;
    std::vector<std::wstring> runExclusions_;
    ExclusionRules exclusions_;  // in force for the current run
    std::optional<std::wstring> cleanRefusal_;
    std::optional<DWORD> ageOverride_;
    std::optional<FILETIME> ageCutoff_;
    // Set by workers whose deletions wait for a restart.
    std::atomic<bool> rebootNeeded_ = false;
    bool storesOptions_ = true;
    // The system's deletions for the next start as a clean found them.
    std::optional<std::vector<std::wstring>> pendingBeforeClean_;
    // Open from start to end; its count is held while a scan or clean runs,
    // and the other instances see it taken.
    CKivoCriticalSection runLock_;
    RunLockToken runToken_;
};

inline constexpr wchar_t kRunRefusedText[] =
    L"Another copy of Veltrane is scanning or cleaning. Try again when it has finished.";
// What the user is told when a scan or clean cannot start for the run lock.
std::wstring RunRefusalText(const RunLockOutcome& outcome);

}  // namespace veltrane
