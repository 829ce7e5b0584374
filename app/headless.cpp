#include "app/headless.h"

#include <map>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/deferred_check.h"
#include "engine/page_reader.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/file_info.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr UINT kStartCleanMessage = WM_APP + 1;

struct PluginOutcome {
    std::wstring id;
    CPlugin::Result result = CPlugin::kDone;
    ScanSummary summary;
    std::optional<CleanSummary> clean;  // what the clean did, once it ran
    std::wstring scanReport;
    std::wstring cleanReport;
};

// Test hook: when VELTRANE_TEST_PAUSE_BEFORE_CLEAN names an event prefix, the
// run sets "<prefix>-scanned" after its scan and waits (ten minutes at most)
// for "<prefix>-clean", so that the safety-net test can change the machine
// between the scan and the clean. Without the variable nothing waits.
void PauseBeforeCleanForTests() {
    wchar_t prefix[128] = {};
    DWORD length = GetEnvironmentVariableW(L"VELTRANE_TEST_PAUSE_BEFORE_CLEAN", prefix, 128);
    if (length == 0 || length >= 128) return;
    UniqueHandle scanned(
        CreateEventW(nullptr, TRUE, FALSE, (std::wstring(prefix) + L"-scanned").c_str()));
    UniqueHandle clean(
        CreateEventW(nullptr, TRUE, FALSE, (std::wstring(prefix) + L"-clean").c_str()));
    if (!scanned || !clean) return;
    SetEvent(scanned.Get());
    WaitForSingleObject(clean.Get(), 10 * 60 * 1000);
}

std::wstring ReportFrame(const std::wstring& title, const std::wstring& fragment) {
    std::wstring page = ReadPage(L"html/Common/report_page.html");
    if (page.empty()) return fragment;
    ReplaceAll(page, L"#title#", EscapeHtml(title));
    ReplaceAll(page, L"#report#", fragment);
    return page;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text) {
    return WriteWholeFile(path, ToUtf8(text)).Done();
}

class HeadlessRun : public IKernelView {
public:
    // The worker messages come to this thread's own queue: there is no window
    // to show, and making one would load the display driver.
    explicit HeadlessRun(const HeadlessRequest& request)
        : request_(request), thread_(GetCurrentThreadId()) {
        MSG message;
        PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // makes the queue
    }

    void Attach(CKernel* kernel) { kernel_ = kernel; }

    // What the last clean deferred, checked once the run has the run lock:
    // a run refused because another copy runs leaves the record to the run
    // that really starts.
    const std::optional<DeferredCheck>& Deferred() const { return deferred_; }

    // Runs the scan (and clean) and returns when the last mode is reached;
    // not done when the run lock kept it from starting.
    RunLockOutcome Run() {
        for (const auto& plugin : kernel_->GetPlugins())
            if (plugin->IsEnabled()) {
                PluginOutcome outcome;
                outcome.id = plugin->GetId();
                outcomes_.push_back(outcome);
            }
        refusal_ = kernel_->SetMode(CKernel::kScanning);
        if (!refusal_.Done()) return refusal_;
        MSG message;
        while (!finished_ && GetMessageW(&message, nullptr, 0, 0) > 0) Handle(message);
        // Progress posted just before the end still owns its payload.
        while (PeekMessageW(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) Handle(message);
        return refusal_;
    }

    const std::vector<PluginOutcome>& Outcomes() const { return outcomes_; }

    HWND GetMessageWindow() const override { return nullptr; }
    DWORD GetMessageThread() const override { return thread_; }
    bool RecomposeLayout() override {
        const CKernel::Mode mode = kernel_->GetMode();
        // Before the run can defer more: what the last clean deferred, checked once.
        if (mode == CKernel::kScanning && !deferredChecked_) {
            deferredChecked_ = true;
            deferred_ = CheckDeferredItems(kernel_->GetUserHome());
        }
        if (mode == CKernel::kScanFinished) {
            CollectReports(true);
            if (request_.action == HeadlessRequest::kClean)
                PostThreadMessageW(thread_, kStartCleanMessage, 0, 0);
            else
                finished_ = true;
        } else if (mode == CKernel::kCleanFinished) {
            CollectReports(false);
            finished_ = true;
        }
        return true;
    }
    void PrepareProcessArea() override {}
    void SetRowStatus(const std::wstring&, const std::wstring&) override {}
    void ShowItemError(const std::wstring&, const std::wstring&) override {}
    void ShowRebootNotice() override {}
    void ShowProgress(const std::wstring&, int, int) override {}
    // The reports are built into files, never redrawn.
    bool RefillReportPart(const std::wstring&, const std::wstring&) override { return false; }

private:
    void Handle(const MSG& message) {
        if (message.hwnd) {  // nothing of ours; a system component's window, if any
            DispatchMessageW(&message);
            return;
        }
        if (!kernel_) return;
        if (message.message == CKernel::kScanFinishedMessage ||
            message.message == CKernel::kFixFinishedMessage)
            RecordResult(reinterpret_cast<const wchar_t*>(message.wParam),
                         static_cast<CPlugin::Result>(message.lParam));
        if (kernel_->HandleWorkerMessage(message.message, message.wParam, message.lParam)) return;
        if (message.message == kStartCleanMessage) {
            PauseBeforeCleanForTests();
            // Another instance may have started between our scan and clean.
            refusal_ = kernel_->SetMode(CKernel::kCleaning);
            if (!refusal_.Done()) finished_ = true;
        }
    }

    PluginOutcome* FindOutcome(const std::wstring& id) {
        for (auto& outcome : outcomes_)
            if (outcome.id == id) return &outcome;
        return nullptr;
    }

    void RecordResult(const wchar_t* id, CPlugin::Result result) {
        if (PluginOutcome* outcome = FindOutcome(id))
            if (outcome->result == CPlugin::kDone) outcome->result = result;
    }

    void CollectReports(bool scan) {
        for (auto& outcome : outcomes_) {
            CPlugin* plugin = kernel_->FindPlugin(outcome.id);
            if (!plugin) continue;
            if (scan)
                outcome.summary = plugin->GetScanSummary();
            else if (plugin->GetRunState() == CPlugin::kCleaned) {
                outcome.clean = plugin->GetCleanSummary();
                outcome.clean->kept = plugin->GetKeptCount();
            }
            if (request_.reportFolder.empty()) continue;
            MemoryHtmlElement element;
            if (scan)
                plugin->BuildScanReport(element);
            else
                plugin->BuildFixReport(element);
            std::wstring kind = scan ? L"scan" : L"clean";
            std::wstring path = request_.reportFolder + L"\\" + outcome.id + L"." + kind + L".html";
            std::wstring title = outcome.id + L" " + kind + L" report";
            if (WriteUtf8File(path, ReportFrame(title, element.innerHtml)))
                (scan ? outcome.scanReport : outcome.cleanReport) = path;
        }
    }

    const HeadlessRequest& request_;
    CKernel* kernel_ = nullptr;
    const DWORD thread_;
    bool finished_ = false;
    RunLockOutcome refusal_;
    bool deferredChecked_ = false;
    std::optional<DeferredCheck> deferred_;
    std::vector<PluginOutcome> outcomes_;
};

std::wstring Pad(std::wstring text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), L' ');
    return text;
}

std::wstring PadLeft(const std::wstring& text, size_t width) {
    return text.size() < width ? std::wstring(width - text.size(), L' ') + text : text;
}

const wchar_t* ResultName(CPlugin::Result result) {
    switch (result) {
        case CPlugin::kDone:
            return L"done";
        case CPlugin::kCancelled:
            return L"cancelled";
        case CPlugin::kDoneWithFailures:  // it left rows it showed
            return L"left items";
        case CPlugin::kFailed:
            break;
    }
    return L"failed";
}

std::wstring ListPlugins(const CKernel& kernel, bool json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::wstring text;
    int position = 0;
    for (const auto& plugin : kernel.GetPlugins()) {
        ++position;
        if (json) {
            list.push_back({{"position", position},
                            {"id", ToUtf8(plugin->GetId())},
                            {"category", ToUtf8(plugin->GetCategoryName())},
                            {"checked", plugin->IsEnabled()}});
            continue;
        }
        // Two spaces after each column, however long its text.
        text += PadLeft(std::to_wstring(position), 3) + L"  " + Pad(plugin->GetId(), 22) + L"  " +
                Pad(plugin->GetCategoryName(), 40) + L"  " +
                (plugin->IsEnabled() ? L"checked" : L"unchecked") + L"\n";
    }
    if (json) return FromUtf8(nlohmann::ordered_json{{"plugins", list}}.dump(2)) + L"\n";
    return text;
}

// What a clean did, as /json counts it: a count the plug-in does not keep is null.
void AddCleanCounts(const CleanSummary& clean, nlohmann::ordered_json& entry) {
    auto known = [](const std::optional<uint64_t>& count) {
        return count ? nlohmann::ordered_json(*count) : nlohmann::ordered_json(nullptr);
    };
    entry["removed"] = known(clean.removed);
    entry["failed"] = clean.failed;
    entry["deferred"] = clean.deferred;
    entry["changed"] = clean.changed;
    entry["freedBytes"] = known(clean.freedBytes);
    entry["kept"] = clean.kept;
}

nlohmann::ordered_json DeferredCheckJson(const DeferredCheck& check) {
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (const DeferredItemCheck& item : check.items) {
        const char* state = item.state == DeferredState::kRemoved      ? "removed"
                            : item.state == DeferredState::kStillThere ? "stillThere"
                                                                       : "unchecked";
        items.push_back({{"path", ToUtf8(item.item.path)}, {"state", state}});
    }
    return {{"removed", check.Count(DeferredState::kRemoved)},
            {"stillThere", check.Count(DeferredState::kStillThere)},
            {"unchecked", check.Count(DeferredState::kUnchecked)},
            {"items", items}};
}

std::wstring RunReport(const HeadlessRequest& request, const CKernel& kernel,
                       const std::vector<PluginOutcome>& outcomes,
                       const std::optional<DeferredCheck>& deferred) {
    bool clean = request.action == HeadlessRequest::kClean;
    if (request.json) {
        nlohmann::ordered_json plugins = nlohmann::ordered_json::array();
        for (const auto& outcome : outcomes) {
            auto path = [](const std::wstring& p) {
                return p.empty() ? nlohmann::ordered_json(nullptr)
                                 : nlohmann::ordered_json(ToUtf8(p));
            };
            nlohmann::ordered_json entry = {{"id", ToUtf8(outcome.id)},
                                            {"result", outcome.result},
                                            {"items", outcome.summary.items},
                                            {"bytes", outcome.summary.bytes}};
            if (clean) AddCleanCounts(outcome.clean.value_or(CleanSummary{}), entry);
            entry["scanReport"] = path(outcome.scanReport);
            entry["cleanReport"] = path(outcome.cleanReport);
            plugins.push_back(std::move(entry));
        }
        nlohmann::ordered_json document = {{"mode", clean ? "clean" : "scan"},
                                           {"rebootNeeded", kernel.IsRebootNeeded()},
                                           {"plugins", plugins}};
        if (deferred) document["deferredCheck"] = DeferredCheckJson(*deferred);
        return FromUtf8(document.dump(2)) + L"\n";
    }
    std::wstring text = Pad(L"Plug-in", 24) + Pad(L"Result", 11) + PadLeft(L"Items", 10) +
                        PadLeft(L"Bytes", 16) + L"\n";
    for (const auto& outcome : outcomes) {
        text += Pad(outcome.id, 24) + Pad(ResultName(outcome.result), 11) +
                PadLeft(std::to_wstring(outcome.summary.items), 10) +
                PadLeft(std::to_wstring(outcome.summary.bytes), 16) + L"\n";
    }
    if (outcomes.empty()) text += L"(no plug-in checked)\n";
    if (!request.reportFolder.empty()) text += L"Reports: " + request.reportFolder + L"\n";
    if (kernel.IsRebootNeeded()) text += L"Please reboot system to complete cleanup process.\n";
    if (deferred) text += DeferredCheckText(*deferred) + L"\n";
    return text;
}

}  // namespace

ExitCode RunHeadless(const HeadlessRequest& request, const PluginFactory& createPlugins,
                     std::wstring& output) {
    HeadlessRun run(request);
    CKernel kernel(&run, createPlugins);
    // Options and the autostart entry belong to the window; an unattended run
    // changes only the checked flags it was asked to, and puts them back.
    kernel.SetStoresOptions(false);
    run.Attach(&kernel);
    if (request.keepCookies) kernel.OverrideCookieKeepList(*request.keepCookies);
    kernel.AddRunExclusions(request.exclusions);
    if (request.olderThanHours) kernel.OverrideAgeLimit(*request.olderThanHours);

    for (const std::wstring& id : request.only) {
        if (!kernel.FindPlugin(id)) {
            output = L"Unknown plug-in id: " + id + L"\n";
            return kExitUsage;
        }
    }
    if (request.action == HeadlessRequest::kList) {
        output = ListPlugins(kernel, request.json);
        return kExitDone;
    }
    if (!request.reportFolder.empty() && !CreateFolderPath(request.reportFolder).Done()) {
        output = L"Cannot create the report folder: " + request.reportFolder + L"\n";
        return kExitUsage;
    }

    // /only: runs exactly those plug-ins; their stored checked flags stay as they were.
    std::map<CPlugin*, bool> storedFlags;
    if (!request.only.empty()) {
        for (const auto& plugin : kernel.GetPlugins()) {
            storedFlags[plugin.get()] = plugin->IsEnabled();
            bool listed = false;
            for (const std::wstring& id : request.only) listed = listed || id == plugin->GetId();
            plugin->SetEnabled(listed);
        }
    }
    const RunLockOutcome refusal = run.Run();
    for (const auto& [plugin, enabled] : storedFlags) plugin->SetEnabled(enabled);
    if (!refusal.Done()) {
        output = RunRefusalText(refusal) + L"\n";
        return refusal.kind == RunLockOutcome::kBusy ? kExitBusy : kExitFailed;
    }

    output = RunReport(request, kernel, run.Outcomes(), run.Deferred());
    bool itemsLeft = false;
    for (const auto& outcome : run.Outcomes()) {
        if (outcome.result == CPlugin::kDoneWithFailures)
            itemsLeft = true;
        else if (outcome.result != CPlugin::kDone)
            return kExitFailed;
    }
    return itemsLeft ? kExitItemsLeft : kExitDone;
}

}  // namespace veltrane
