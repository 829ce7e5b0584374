#include "ui/dlg_main.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "sysaccess/text.h"
#include "sysaccess/trace.h"
#include "ui/dlg_about.h"
#include "ui/dlg_notice.h"
#include "ui/dlg_settings.h"
#include "ui/dlg_welcome.h"
#include "ui/open_url.h"
#include "ui/resource_ids.h"
#include "ui/urls.h"

namespace veltrane {

namespace {

// Shows the start-up notices and the welcome dialog in the first page once
// its layout is in, outside the handler of its completion.
constexpr UINT kShowStartupDialogsMessage = WM_APP + 0x51;
constexpr UINT_PTR kPageGoneTimer = 1;

std::wstring AttributeOf(const PageEvent& event, const wchar_t* name) {
    auto found = event.attributes.find(name);
    return found == event.attributes.end() ? std::wstring() : found->second;
}

// The keys of the rows the user unticked in the scan report, which the page
// puts on the Clean button as a JSON list of texts; none when it carries no
// list, nothing when what it carries is not one.
std::optional<std::vector<std::wstring>> UntickedRows(const PageEvent& event) {
    const std::wstring text = AttributeOf(event, L"data-kept");
    if (text.empty()) return std::vector<std::wstring>{};
    const nlohmann::json list = nlohmann::json::parse(ToUtf8(text), nullptr, false);
    if (!list.is_array()) return std::nullopt;
    std::vector<std::wstring> keys;
    for (const nlohmann::json& key : list) {
        if (!key.is_string()) return std::nullopt;
        keys.push_back(FromUtf8(key.get<std::string>()));
    }
    return keys;
}

std::wstring ResourceString(UINT id, const wchar_t* fallback) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring(fallback);
}

}  // namespace

void CheckRestoreItem(HMENU menu, bool shown) {
    CheckMenuItem(menu, ID_TRAY_RESTORE, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
}

CDlgMain::CDlgMain(const std::wstring& pageName, const PluginFactory& createPlugins)
    : CDlgBase(pageName, kMainWindowTitle, nullptr),
      kernel_(this, createPlugins),
      composition_(kernel_),
      errorWindow_(this) {
    BindEvent(L"control", PageEventKind::kClick, [this](const PageEvent& e) { OnElementClick(e); });
    BindEvent(L"pluginname", PageEventKind::kClick,
              [this](const PageEvent& e) { OnElementClick(e); });
    BindEvent(L"pluginname", PageEventKind::kMouseOver,
              [this](const PageEvent& e) { OnPluginDescription(e); });
    // The error links of the reports are named after their error, "idError_" and its number.
    BindEvent(L"idError_*", PageEventKind::kClick,
              [this](const PageEvent& e) { OnElementClick(e); });
    // The keep toggles of the cookie reports: "idKeep_" and the row number.
    BindEvent(L"idKeep_*", PageEventKind::kClick,
              [this](const PageEvent& e) { OnElementClick(e); });

    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TRAY));
    tray_.Create(nullptr, CSystemTray::kNotifyMessage, kMainWindowTitle, icon, IDR_TRAY_MENU);
    tray_.SetMenuDefaultItem(ID_TRAY_RESTORE, false);
    tray_.SetPreMenuHook([this](HMENU menu) { CheckRestoreItem(menu, shown_); });
}

CDlgMain::~CDlgMain() {
    if (!kernel_.StopRun()) Trace(L"The run did not end in time\n");
}

bool CDlgMain::OnInitDialog() {
    if (!CDlgBase::OnInitDialog()) return false;
    HWND window = GetSafeHwnd();
    handleBlock_.Publish(window);
    tray_.SetTargetWindow(window);
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    welcomeDue_ = kernel_.GetOptions().showWelcome;
    return true;
}

bool CDlgMain::RecomposeLayout() { return composition_.RecomposeLayout(); }

void CDlgMain::PrepareProcessArea() { composition_.RenderProcessArea(); }

void CDlgMain::SetRowStatus(const std::wstring& pluginId, const std::wstring& text) {
    composition_.SetRowStatus(pluginId, text);
}

void CDlgMain::ShowItemError(const std::wstring& title, const std::wstring& reason) {
    errorWindow_.ShowError(title, reason);
}

void CDlgMain::ShowRebootNotice() {
    veltrane::ShowNotice(
        this,
        ResourceString(IDS_REBOOT_NOTICE, L"Please reboot system to complete cleanup process."),
        ResourceString(IDS_TITLE, kMainWindowTitle), MB_ICONINFORMATION);
}

void CDlgMain::ShowNotice(const std::wstring& text) {
    veltrane::ShowNotice(this, text, ResourceString(IDS_TITLE, kMainWindowTitle),
                 MB_OK | MB_ICONEXCLAMATION);
}

void CDlgMain::ShowProgress(const std::wstring& text, int step, int stepCount) {
    composition_.ShowProgress(text, step, stepCount);
}

bool CDlgMain::RefillReportPart(const std::wstring& elementId, const std::wstring& html) {
    return composition_.RefillElement(elementId, html);
}

void CDlgMain::ShowStartupNotices() {
    std::vector<std::wstring> notices;
    notices.swap(startupNotices_);
    for (const std::wstring& text : notices) ShowNotice(text);
    ShowDeferredCheck();
}

void CDlgMain::ShowDeferredCheck() {
    std::optional<DeferredCheck> check = std::exchange(deferredCheck_, std::nullopt);
    if (!check) return;
    const std::wstring title = ResourceString(IDS_TITLE, kMainWindowTitle);
    // A notice has room for a few lines; the unattended output lists them all.
    std::wstring text = DeferredCheckText(*check, 15);
    if (check->Count(DeferredState::kStillThere) == 0) {
        veltrane::ShowNotice(this, text, title, MB_OK | MB_ICONINFORMATION);
        return;
    }
    text += L"\n\nSchedule the items still there for deletion at the next restart again?";
    if (veltrane::ShowNotice(this, text, title, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    const size_t scheduled = ScheduleStillThereAgain(kernel_.GetUserHome(), *check);
    if (scheduled < check->Count(DeferredState::kStillThere))
        veltrane::ShowNotice(this,
                     std::to_wstring(scheduled) +
                         L" of the items were scheduled again; the others changed since the "
                         L"check or could not be scheduled.",
                     title, MB_OK | MB_ICONEXCLAMATION);
}

void CDlgMain::ShowWelcome() {
    if (!welcomeDue_) return;
    welcomeDue_ = false;
    CDlgWelcome(this, kernel_).DoModal();
}

LRESULT CDlgMain::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (handshakeMessage_ != 0 && message == handshakeMessage_) return kHandshakeAnswer;
    switch (message) {
        case WM_KEYDOWN:
            return 0;
        case kShowStartupDialogsMessage:
            ShowStartupNotices();
            ShowWelcome();
            return 0;
        case WM_TIMER:
            if (wParam != kPageGoneTimer) break;
            KillTimer(GetSafeHwnd(), kPageGoneTimer);
            // No page came back: the user closed the window's page.
            if (!IsPageAttached() && shown_) {
                Trace(L"The page is gone: the window closes\n");
                OnCancel();
            }
            return 0;
        case WM_QUERYENDSESSION:
            ExitRoutine();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_TRAY_RESTORE:
                    if (shown_)
                        HideMain();
                    else
                        ShowMain();
                    return 0;
                case ID_TRAY_ABOUT:
                    ShowAbout();
                    return 0;
                case ID_TRAY_EXIT:
                    ExitRoutine();
                    return 0;
            }
            break;
    }
    if (message >= CKernel::kScanFinishedMessage && message <= CKernel::kProgressMessage) {
        kernel_.HandleWorkerMessage(message, wParam, lParam);
        return 0;
    }
    return CDlgBase::WindowProc(message, wParam, lParam);
}

void CDlgMain::OnDocumentComplete(bool reattached) {
    KillTimer(GetSafeHwnd(), kPageGoneTimer);
    CDlgBase::OnDocumentComplete(reattached);
    composition_.SetDocument(GetDocument());
    MarkPage();
    // A reloaded page shows the run as it stands; only the first page starts idle.
    if (reattached)
        RecomposeLayout();
    else
        kernel_.SetMode(CKernel::kIdle);
    if (!startupNotices_.empty() || deferredCheck_ || welcomeDue_)
        PostMessageW(GetSafeHwnd(), kShowStartupDialogsMessage, 0, 0);
}

void CDlgMain::OnPageDetached() {
    if (shown_) SetTimer(GetSafeHwnd(), kPageGoneTimer, kPageGoneGraceMs, nullptr);
}

void CDlgMain::OnCancel() {
    errorWindow_.Hide();
    if (!kernel_.GetOptions().hideOnExit) {
        ExitRoutine();
        return;
    }
    NoticeRebootIfNeeded();
    HideMain();
}

void CDlgMain::OnShowRequested() {
    // Asked to show again: a page that left before is no reason to close.
    KillTimer(GetSafeHwnd(), kPageGoneTimer);
    shown_ = true;
    Trace(L"Window shown\n");
    MarkPage();
    CDlgBase::OnShowRequested();
}

void CDlgMain::ShowMain() { ShowWindow(GetSafeHwnd(), SW_SHOW); }

void CDlgMain::HideMain() {
    shown_ = false;
    Trace(L"Window hidden\n");
    MarkPage();
}

void CDlgMain::MarkPage() {
    // The page stays open in the browser; hidden, it says where the program went.
    if (auto body = GetDocument()->GetElementById(L"DlgBody"))
        body->SetAttribute(L"data-window", shown_ ? L"shown" : L"hidden");
}

void CDlgMain::ExitRoutine() {
    errorWindow_.Hide();
    // The worker must be out of the plug-ins before they go; a clean cut
    // short this way still ends with its report, and its reboot notice.
    if (!kernel_.StopRun()) Trace(L"The run did not end in time\n");
    NoticeRebootIfNeeded();
    PostQuitMessage(0);
}

void CDlgMain::NoticeRebootIfNeeded() {
    if (!kernel_.IsRebootNeeded()) return;
    kernel_.SetRebootNeeded(false);
    ShowRebootNotice();
}

void CDlgMain::ShowAbout() {
    // From the tray while another dialog is open: that one comes forward.
    if (HasModalChild()) {
        ShowMain();
        return;
    }
    CDlgAbout about(kAboutPage, kernel_.GetLanguage(), this);
    about.DoModal();
}

void CDlgMain::ShowSettings() {
    CDlgSettings settings(kSettingsPage, kernel_, this);
    settings.DoModal();
}

void CDlgMain::OnElementClick(const PageEvent& event) {
    auto found = event.attributes.find(L"cid");
    if (found == event.attributes.end()) return;
    const std::wstring command = found->second;
    const std::wstring pluginId = AttributeOf(event, L"pluginid");
    Trace(L"OnClick(%ls): %ls\n", command.c_str(), pluginId.c_str());

    const CKernel::Mode mode = kernel_.GetMode();
    if (command == L"btn_help") {
        OpenUrl(REMOTE_HELP_URL);
    } else if (command == L"btn_about") {
        ShowAbout();
    } else if (command == L"btn_settings") {
        if (mode == CKernel::kIdle || mode == CKernel::kScanFinished ||
            mode == CKernel::kCleanFinished)
            ShowSettings();
    } else if (HandleListCommand(command, pluginId)) {
        return;
    } else {
        // The finish of a clean also closes the explanation of its errors.
        if (command == L"btn_finish" && mode == CKernel::kCleanFinished) errorWindow_.Hide();
        if (command == L"btn_clean" && mode == CKernel::kScanFinished) {
            std::optional<std::vector<std::wstring>> unticked = UntickedRows(event);
            if (!unticked) {
                ShowNotice(L"The rows you unticked could not be read, so nothing was cleaned.");
                return;
            }
            kernel_.SetKeptByYou(std::move(*unticked));
        }
        kernel_.HandleCommand(command);
    }

    // Links inside a report (its item errors, say) belong to a plug-in.
    CPlugin* plugin = kernel_.FindPlugin(pluginId);
    if (!plugin) plugin = kernel_.FindPlugin(kernel_.GetCurrentPluginId());
    if (plugin) {
        std::unique_ptr<IHtmlElement> element = ElementOf(event);
        plugin->OnReportClick(command, element.get());
    }
}

bool CDlgMain::HandleListCommand(const std::wstring& command, const std::wstring& pluginId) {
    if (command == L"btn_checkall" || command == L"btn_uncheckall") {
        const bool checked = command == L"btn_checkall";
        for (const auto& plugin : kernel_.GetPlugins()) plugin->SetEnabled(checked);
        composition_.RecomposeLayout();
        return true;
    }
    if (_wcsicmp(command.c_str(), L"check") == 0) {
        if (CPlugin* plugin = kernel_.FindPlugin(pluginId)) {
            plugin->SetEnabled(!plugin->IsEnabled());
            composition_.RenderButtonsControlArea();
        }
        return true;
    }
    if (_wcsicmp(command.c_str(), L"name") == 0) {
        CPlugin* plugin = kernel_.FindPlugin(pluginId);
        const CKernel::Mode mode = kernel_.GetMode();
        if (plugin && (mode == CKernel::kScanFinished || mode == CKernel::kCleanFinished) &&
            plugin->GetRunState() != CPlugin::kNotRun) {
            kernel_.SetCurrentPluginId(pluginId);
            composition_.RenderDetailsArea();
            composition_.RenderPluginsArea();
        }
        return true;
    }
    return false;
}

void CDlgMain::OnPluginDescription(const PageEvent& event) {
    auto pluginId = event.attributes.find(L"pluginid");
    if (pluginId == event.attributes.end()) return;
    CPlugin* plugin = kernel_.FindPlugin(pluginId->second);
    std::unique_ptr<IHtmlElement> area = GetDocument()->GetElementById(L"InfoArea");
    if (plugin && area) plugin->ShowDescription(*area);
}

}  // namespace veltrane
