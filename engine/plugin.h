#pragma once
// The common part of every plug-in: identity, category, the persisted
// checked flag, its pages, the worker threads of scan and clean,
// cancellation and progress.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/html_element.h"
#include "engine/item_error.h"
#include "sysaccess/handles.h"
#include "sysaccess/run_context.h"

namespace veltrane {

class CKernel;

// The group a plug-in is listed under. The numbers are the ones the plug-in
// list has always used.
enum class PluginCategory : int {
    kIeAndAol = 0,
    kSystem = 1,
    kNetscape = 2,
    kOpera = 3,
    kMultimedia = 4,
    kCommunication = 5,
    kChromium = 6,
    kFirefox = 7,
    kWindows = 8,
};

// What a report call did. The window shows whatever the element holds either
// way; the numbers are the ones the plug-ins have always answered.
enum class ReportResult : int {
    kBuilt = 0,
    kNotYet = 1,    // the plug-in has not scanned (or cleaned) since the run began
    kNoReport = 4,  // nothing was built: the base, or a table-driven plug-in before its scan
};

// A plug-in's row of the plug-in list.
struct PluginIdentity {
    const wchar_t* id;
    PluginCategory category;
    int weight = 0;  // the greatest weight of a run decides whose report is shown
};

// What a plug-in's last scan report counts as found, for unattended runs.
struct ScanSummary {
    uint64_t items = 0;
    uint64_t bytes = 0;
};

// What a clean did with the rows it showed, for unattended runs. Failed rows
// (refused ones among them), rows left because they changed since the scan
// and rows deferred to the next start come from the item errors; rows
// removed and the bytes freed now only from a plug-in that counts them.
struct CleanSummary {
    std::optional<uint64_t> removed;
    uint64_t failed = 0;
    uint64_t deferred = 0;
    uint64_t changed = 0;
    std::optional<uint64_t> freedBytes;
    uint64_t kept = 0;  // items left because the user or a rule kept them (GetKeptCount)

    // Rows it showed that are still there and will stay.
    bool LeftItems() const { return failed + changed > 0; }
};

// The shared result pages, read once per language from the plug-ins folder.
struct SharedResultPages {
    std::wstring resError;
    std::wstring resReboot;
    std::wstring resDeleted;
    std::wstring resDeletedNotOverwritten;  // its data belongs to another name too
    std::wstring resGone;                   // not there any more when the clean came
    std::wstring resCancelled;
    std::wstring resKept;            // cookies left by the cookie keep-list
    std::wstring resKeptByYou;       // rows the user unticked in the scan report
    std::wstring resExcluded;        // items an exclusion rule keeps; "#rule#" names the rule
    std::wstring resNewerThanLimit;  // files written within the age limit
    std::wstring newerThanLimit;     // a scan summary's line: "#count#" files too new
    std::wstring scaning;
    std::wstring clearing;
    std::wstring resScanFinished;
    std::wstring resFixFinished;
    std::wstring noItemsFound;
    std::wstring noItemsErased;
};

class CPlugin : public IRunContext {
public:
    // The outcome of Scan and Fix, carried to the window as the finished
    // message's lParam. kDoneWithFailures: the clean ran to its end but left
    // rows it showed failed, refused or changed since the scan.
    enum [[nodiscard]] Result : int{kDone = 0, kFailed = 1, kDoneWithFailures = 2, kCancelled = 3};
    enum RunState : int { kNotRun = 0, kScanned = 1, kCleaned = 2 };

    CPlugin(CKernel& kernel, const PluginIdentity& identity);
    virtual ~CPlugin();
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    virtual std::wstring GetId() const { return id_; }
    // Read on first use, on the thread that shows the window or the reports.
    virtual std::wstring GetNameHtml() const;
    virtual std::wstring GetCategoryName() const;
    virtual void StartScan(HANDLE cancelEvent);
    virtual void StartFix(HANDLE cancelEvent);
    // Waits up to `timeoutMs` for the last worker started; true when none runs.
    bool WaitForWorker(DWORD timeoutMs) const;
    virtual void ShowDescription(IHtmlElement& element);
    // Fill the element with the report of the last scan or clean. The
    // default builds nothing.
    virtual ReportResult BuildScanReport(IHtmlElement& element);
    virtual ReportResult BuildFixReport(IHtmlElement& element);
    // A click on an element of this plug-in's report; "idError_N" opens item error N.
    virtual void OnReportClick(const std::wstring& command, IHtmlElement* element);
    virtual void LoadPages(const std::wstring& language);
    virtual Result Scan() = 0;
    virtual Result Fix() = 0;
    // Items and bytes the last scan found, as its scan report counts them.
    virtual ScanSummary GetScanSummary() const = 0;
    // What the last clean did; by default counted from its item errors.
    virtual CleanSummary GetCleanSummary() const;

    // IRunContext, for the walkers and deletion routines.
    bool IsCancelled() const override;
    bool GetWipeFiles() const override;
    void SetRebootNeeded() override;
    KeepVerdict MayRemove(const ItemRef& item) const override;

    // Posts a progress message unless throttled; false when throttled.
    bool SetProgress(const std::wstring& itemText);
    std::wstring GetPluginsFolder() const;
    std::wstring GetPluginFolder() const;
    static const SharedResultPages& SharedPages();
    // The status cell of a row kept by `verdict`: "Kept by you", or "Excluded"
    // with its rule (escaped); empty for kRemove.
    static std::wstring KeptStatusHtml(const KeepVerdict& verdict);

    int GetWeight() const { return weight_; }
    PluginCategory GetCategory() const { return category_; }
    bool IsEnabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool IsInLastScan() const { return inLastScan_; }
    void SetInLastScan(bool value) { inLastScan_ = value; }
    RunState GetRunState() const { return runState_; }
    void ResetRunState() { runState_ = kNotRun; }
    const std::vector<ItemError>& GetErrors() const { return errors; }
    // Whether the age limit applies to this plug-in (it empties folders of
    // files that are only useful for a while), and whether a file last written
    // at `lastWrite` is too new for it under the run's limit.
    bool AgeLimitApplies() const { return ageLimitApplies_; }
    bool IsTooNew(const FILETIME& lastWrite) const;
    // The items the last clean left because the user or a rule kept them.
    uint64_t GetKeptCount() const { return keptKeys_.size(); }

protected:
    // Starts `routine` on a new thread; false when no thread could be made.
    virtual bool LaunchWorker(LPTHREAD_START_ROUTINE routine);
    CKernel& GetKernel() const { return *kernel_; }
    void SetAgeLimitApplies() { ageLimitApplies_ = true; }

    unsigned progressInterval = 0;
    std::vector<ItemError> errors;

private:
    static DWORD WINAPI ScanThread(void* self);
    static DWORD WINAPI FixThread(void* self);
    void FinishScan(Result result);
    void FinishFix(Result result);

    int weight_;
    PluginCategory category_;
    DWORD lastProgressTick_ = 0;
    bool inLastScan_ = true;
    bool enabled_ = true;
    bool ageLimitApplies_ = false;
    // The checked flag as the registry holds it; none when it holds none yet (or not as 0 or 1).
    std::optional<bool> storedEnabled_;
    std::wstring id_;
    mutable std::optional<std::wstring> nameHtml_;
    CKernel* kernel_;
    HANDLE cancelEvent_ = nullptr;
    // Written by the worker as it finishes, read by the window's thread.
    std::atomic<RunState> runState_ = kNotRun;
    UniqueHandle worker_;
    // The keys of the items kept in the current clean; the worker's alone while it runs.
    mutable std::unordered_set<std::wstring> keptKeys_;
};

const wchar_t* CategoryName(PluginCategory category);

}  // namespace veltrane
