#pragma once
// The main window: the page "Common\layout.html" with its one container
// "Layout", the kernel it owns, the hand-shake with a second instance and the
// worker messages of the kernel's runs; the commands of the page and of the
// notification-area icon, closing to the notification area or quitting.
#include "engine/deferred_check.h"
#include "engine/kernel.h"
#include "ui/composition.h"
#include "ui/dlg_base.h"
#include "ui/dlg_error.h"
#include "ui/system_tray.h"
#include "ui/window_handle_block.h"

namespace veltrane {

inline constexpr wchar_t kMainWindowTitle[] = L"Veltrane";
inline constexpr wchar_t kMainPage[] = L"Common\\layout.html";

class CDlgMain : public CDlgBase, public IKernelView {
public:
    // What the main window answers to the hand-shake message.
    static constexpr LRESULT kHandshakeAnswer = 0x60F692;

    CDlgMain(const std::wstring& pageName, const PluginFactory& createPlugins);
    // A run still going is stopped before the kernel and its plug-ins go.
    ~CDlgMain();

    // How long the page may be gone before that counts as closing the window:
    // a reload comes back well within it.
    static constexpr UINT kPageGoneGraceMs = 3000;

    void SetHandshakeMessage(UINT message) { handshakeMessage_ = message; }
    CKernel& GetKernel() { return kernel_; }

    // Shown means the page is open for the user; hidden, the program lives on
    // in the notification area.
    bool IsShown() const { return shown_; }
    void ShowMain();
    void HideMain();

    // IKernelView
    HWND GetMessageWindow() const override { return GetSafeHwnd(); }
    bool RecomposeLayout() override;
    void PrepareProcessArea() override;
    void SetRowStatus(const std::wstring& pluginId, const std::wstring& text) override;
    void ShowItemError(const std::wstring& title, const std::wstring& reason) override;
    void ShowRebootNotice() override;
    void ShowNotice(const std::wstring& text) override;
    void ShowProgress(const std::wstring& text, int step, int stepCount) override;
    bool RefillReportPart(const std::wstring& elementId, const std::wstring& html) override;

    // A start-up problem (urls.ini): told in the page once one is attached.
    void AddStartupNotice(const std::wstring& text) { startupNotices_.push_back(text); }
    // What became of the last clean's deferred deletions: told once, with the
    // choice to schedule those still there again.
    void SetDeferredCheck(DeferredCheck check) { deferredCheck_ = std::move(check); }

protected:
    bool OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDocumentComplete(bool reattached) override;
    void OnCancel() override;
    void OnShowRequested() override;
    void OnPageDetached() override;

private:
    void OnElementClick(const PageEvent& event);
    void OnPluginDescription(const PageEvent& event);
    // True when the command was one of the window's own and handling ends.
    bool HandleListCommand(const std::wstring& command, const std::wstring& pluginId);
    void ShowAbout();
    void ShowSettings();
    void ExitRoutine();
    void NoticeRebootIfNeeded();
    void MarkPage();
    void ShowStartupNotices();
    void ShowDeferredCheck();
    void ShowWelcome();

    UINT handshakeMessage_ = 0;
    CKernel kernel_;
    CComposition composition_;
    CDlgError errorWindow_;
    CSystemTray tray_;
    CWindowHandleBlock handleBlock_;
    bool shown_ = true;
    std::vector<std::wstring> startupNotices_;
    std::optional<DeferredCheck> deferredCheck_;
    bool welcomeDue_ = false;
};

// Puts the check mark on the tray menu's "Restore" while the window is shown.
void CheckRestoreItem(HMENU menu, bool shown);

}  // namespace veltrane
