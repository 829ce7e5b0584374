#include "support/test_plugin.h"

#include <shlwapi.h>

#include "sysaccess/settings_store.h"

namespace veltrane {

std::vector<std::wstring>& TestPlugin::Journal() {
    static std::vector<std::wstring> journal;
    return journal;
}

std::mutex& TestPlugin::JournalLock() {
    static std::mutex lock;
    return lock;
}

PluginFactory MakeTestFactory(std::vector<TestPluginRow> rows,
                              std::map<std::wstring, TestPlugin*>& created) {
    return [rows, &created](CKernel& kernel) {
        PluginList list;
        for (const TestPluginRow& row : rows) {
            auto plugin = std::make_unique<TestPlugin>(
                kernel, PluginIdentity{row.id, row.category, row.weight});
            plugin->SetEnabled(row.enabled);
            created[row.id] = plugin.get();
            list.push_back(std::move(plugin));
        }
        return list;
    };
}

void ForgetStoredFlags(const std::vector<TestPluginRow>& rows) {
    for (const TestPluginRow& row : rows) SHDeleteValueW(HKEY_LOCAL_MACHINE, kPluginsKey, row.id);
}

void ForgetKernelSettings() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        SHDeleteKeyW(root, kOptionsKey);
        SHDeleteValueW(root, kRunKey, kRunValue);
    }
    // The record of a clean's deferred deletions: a test that cleared the
    // system's list leaves items a later start would report as done.
    SHDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Veltrane\\Deferred");
}

RecordingView::RecordingView() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &WindowThunk<RecordingView>::Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VeltraneTestView";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, windowClass.hInstance, this);
}

RecordingView::~RecordingView() { DestroyWindow(window_); }

LRESULT RecordingView::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (kernel_ && kernel_->HandleWorkerMessage(message, wParam, lParam)) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RecordingView::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

bool RecordingView::RecomposeLayout() {
    modes.push_back(kernel_ ? kernel_->GetMode() : -1);
    return !layoutFails;
}

void RecordingView::SetRowStatus(const std::wstring& id, const std::wstring& text) {
    rows.emplace_back(id, text);
    if (onRow) onRow(id, text);
}

void RecordingView::ShowItemError(const std::wstring& title, const std::wstring& reason) {
    shownErrors.emplace_back(title, reason);
}

}  // namespace veltrane
