#pragma once
// The main window: the page "Common\layout.html" with its one container
// "Layout", the kernel it owns, the hand-shake with a second instance and the
// worker messages of the kernel's runs.
#include "engine/kernel.h"
#include "ui/dlg_base.h"

inline constexpr wchar_t kMainWindowTitle[] = L"Veltrane";
inline constexpr wchar_t kMainPage[] = L"Common\\layout.html";

class CDlgMain : public CDlgBase, public IKernelView {
public:
    // What the main window answers to the hand-shake message.
    static constexpr LRESULT kHandshakeAnswer = 0x60F692;

    CDlgMain(const std::wstring& pageName, const PluginFactory& createPlugins);

    void SetHandshakeMessage(UINT message) { handshakeMessage_ = message; }
    CKernel& GetKernel() { return kernel_; }

    // IKernelView
    HWND GetMessageWindow() const override { return GetSafeHwnd(); }
    bool RecomposeLayout() override;
    void PrepareProcessArea() override;
    void SetRowStatus(const std::wstring& pluginId, const std::wstring& text) override;
    void ShowItemError(const std::wstring& title, const std::wstring& reason) override;
    void ShowRebootNotice() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDocumentComplete(bool reattached) override;

private:
    void OnElementClick(const PageEvent& event);
    void OnPluginDescription(const PageEvent& event);

    UINT handshakeMessage_ = 0;
    CKernel kernel_;
};
