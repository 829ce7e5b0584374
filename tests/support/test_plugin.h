#pragma once
// Plug-ins and a window for driving the kernel in tests: the scan and clean
// behaviour is given by the test, and the view records what the kernel asks of it.
#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/kernel.h"
#include "ui/window_thunk.h"

namespace veltrane {

class TestPlugin : public CPlugin {
public:
    using Step = std::function<Result(TestPlugin&)>;

    TestPlugin(CKernel& kernel, const PluginIdentity& identity) : CPlugin(kernel, identity) {}

    Result Scan() override { return Run(L"scan:", scan); }
    Result Fix() override { return Run(L"fix:", fix); }
    ScanSummary GetScanSummary() const override { return summary; }
    ReportResult BuildScanReport(IHtmlElement& element) override {
        element.SetInnerHtml(L"<p>scan of " + GetId() + L"</p>");
        return ReportResult::kBuilt;
    }
    ReportResult BuildFixReport(IHtmlElement& element) override {
        element.SetInnerHtml(L"<p>clean of " + GetId() + L"</p>");
        return ReportResult::kBuilt;
    }

    void AddError(ItemError error) { errors.push_back(std::move(error)); }
    void SetProgressInterval(unsigned interval) { progressInterval = interval; }

    Step scan;
    Step fix;
    ScanSummary summary;
    bool failLaunch = false;
    // Shared journal of "scan:Id" / "fix:Id" entries, in the order the workers ran.
    static std::vector<std::wstring>& Journal();
    static std::mutex& JournalLock();

protected:
    bool LaunchWorker(LPTHREAD_START_ROUTINE routine) override {
        return !failLaunch && CPlugin::LaunchWorker(routine);
    }

private:
    Result Run(const wchar_t* kind, const Step& step) {
        {
            std::lock_guard<std::mutex> guard(JournalLock());
            Journal().push_back(kind + GetId());
        }
        return step ? step(*this) : kDone;
    }
};

// Builds a plug-in factory from rows (a checked system plug-in of weight 0
// unless the row says otherwise); the created plug-ins are reachable
// through `created` by id.
struct TestPluginRow {
    const wchar_t* id;
    PluginCategory category = PluginCategory::kSystem;
    int weight = 0;
    bool enabled = true;  // the checked flag before anything is stored
};
PluginFactory MakeTestFactory(std::vector<TestPluginRow> rows,
                              std::map<std::wstring, TestPlugin*>& created);
// Removes the stored checked flags of the given ids.
void ForgetStoredFlags(const std::vector<TestPluginRow>& rows);

// An IKernelView on a message-only window that hands the worker messages to the kernel.
class RecordingView : public IKernelView {
public:
    RecordingView();
    ~RecordingView();

    void Attach(CKernel* kernel) { kernel_ = kernel; }
    // Pumps messages until `done` holds or `timeoutMs` passes; false on time-out.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

    HWND GetMessageWindow() const override { return window_; }
    bool RecomposeLayout() override;
    void PrepareProcessArea() override { ++processAreaPrepared; }
    void SetRowStatus(const std::wstring& id, const std::wstring& text) override;
    void ShowItemError(const std::wstring& title, const std::wstring& reason) override;
    void ShowRebootNotice() override { ++rebootNotices; }
    void ShowNotice(const std::wstring& text) override { notices.push_back(text); }
    void ShowProgress(const std::wstring& text, int, int) override { progress.push_back(text); }
    bool RefillReportPart(const std::wstring& id, const std::wstring& html) override {
        refilled.emplace_back(id, html);
        return true;
    }

    // The page is gone or too slow: the layout cannot be shown.
    bool layoutFails = false;
    std::vector<int> modes;
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    std::vector<std::pair<std::wstring, std::wstring>> shownErrors;
    int processAreaPrepared = 0;
    int rebootNotices = 0;
    std::vector<std::wstring> notices;
    std::vector<std::wstring> progress;
    std::vector<std::pair<std::wstring, std::wstring>> refilled;
    std::function<void(const std::wstring& id, const std::wstring& text)> onRow;

private:
    friend class WindowThunk<RecordingView>;
    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
    CKernel* kernel_ = nullptr;
};

// Clears the kernel's registry footprint (options, the autostart entry and the
// record of deferred deletions, the machine's and the user's).
void ForgetKernelSettings();

}  // namespace veltrane
