#include "ui/dlg_main.h"

#include "sysaccess/trace.h"

CDlgMain::CDlgMain(const std::wstring& pageName, const PluginFactory& createPlugins)
    : CDlgBase(pageName, kMainWindowTitle, nullptr), kernel_(this, createPlugins) {
    BindEvent(L"control", PageEventKind::kClick, [this](const PageEvent& e) { OnElementClick(e); });
    BindEvent(L"pluginname", PageEventKind::kClick,
              [this](const PageEvent& e) { OnElementClick(e); });
    BindEvent(L"pluginname", PageEventKind::kMouseOver,
              [this](const PageEvent& e) { OnPluginDescription(e); });
}

bool CDlgMain::RecomposeLayout() {
    // Every mode's areas live inside "Layout"; a page without it cannot show a run.
    IHtmlDocument* document = GetDocument();
    return document && document->GetElementById(L"Layout") != nullptr;
}

void CDlgMain::PrepareProcessArea() {}

void CDlgMain::SetRowStatus(const std::wstring&, const std::wstring&) {}

void CDlgMain::ShowItemError(const std::wstring&, const std::wstring&) {}

void CDlgMain::ShowRebootNotice() {
    MessageBoxW(GetSafeHwnd(), L"Please reboot system to complete cleanup process.",
                kMainWindowTitle, MB_ICONINFORMATION);
}

LRESULT CDlgMain::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (handshakeMessage_ != 0 && message == handshakeMessage_) return kHandshakeAnswer;
    if (message == WM_KEYDOWN) return 0;
    if (message >= CKernel::kScanFinishedMessage && message <= CKernel::kProgressMessage) {
        kernel_.HandleWorkerMessage(message, wParam, lParam);
        return 0;
    }
    return CDlgBase::WindowProc(message, wParam, lParam);
}

void CDlgMain::OnDocumentComplete(bool reattached) {
    CDlgBase::OnDocumentComplete(reattached);
    kernel_.SetDocument(GetDocument());
    // A reloaded page shows the run as it stands; only the first page starts idle.
    if (reattached)
        RecomposeLayout();
    else
        kernel_.SetMode(CKernel::kIdle);
}

void CDlgMain::OnElementClick(const PageEvent& event) {
    auto command = event.attributes.find(L"cid");
    if (command == event.attributes.end()) return;
    auto plugin = event.attributes.find(L"pluginid");
    std::wstring pluginId = plugin == event.attributes.end() ? L"" : plugin->second;
    Trace(L"OnClick(%ls): %ls\n", command->second.c_str(), pluginId.c_str());
    kernel_.HandleCommand(command->second);
}

void CDlgMain::OnPluginDescription(const PageEvent& event) {
    auto pluginId = event.attributes.find(L"pluginid");
    if (pluginId == event.attributes.end()) return;
    CPlugin* plugin = kernel_.FindPlugin(pluginId->second);
    std::unique_ptr<IHtmlElement> area = GetDocument()->GetElementById(L"InfoArea");
    if (plugin && area) plugin->ShowDescription(*area);
}
