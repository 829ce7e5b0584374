#include "engine/kernel.h"

#include <shlwapi.h>

#include <cstdlib>
#include <ctime>

#include "engine/page_reader.h"
#include "sysaccess/text.h"

CKernel::CKernel(IKernelView* view, const PluginFactory& createPlugins)
    : view_(view), options_(HKEY_LOCAL_MACHINE, kOptionsKey) {
    srand(static_cast<unsigned>(time(nullptr)));
    plugins_ = createPlugins(*this);
    cancelEvent_.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    options_.Load();
}

CKernel::~CKernel() {
    SaveOptions();
    // Each plug-in saves its checked flag as it goes.
    plugins_.clear();
}

bool CKernel::SetMode(int mode) {
    if (mode == kIdle) currentPluginId_.clear();
    InterlockedExchange(&mode_, mode);
    if (view_ && !view_->RecomposeLayout()) return false;

    if (mode == kScanning) {
        ResetCancel();
        TakeCookieKeepList();
        if (StartNext(L"") == 2) return SetMode(kScanFinished);
    } else if (mode == kCleaning) {
        if (view_) view_->PrepareProcessArea();
        ResetCancel();
        TakeCookieKeepList();
        if (StartNext(L"") == 2) return SetMode(kCleanFinished);
    }
    return true;
}

void CKernel::Cancel() {
    cancelled_.store(true, std::memory_order_release);
    SetEvent(cancelEvent_.Get());
}

void CKernel::ResetCancel() {
    ResetEvent(cancelEvent_.Get());
    cancelled_.store(false, std::memory_order_release);
}

bool CKernel::HandleCommand(const std::wstring& command) {
    switch (mode_) {
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
                if (rebootNeeded_) {
                    if (view_) view_->ShowRebootNotice();
                    rebootNeeded_ = false;
                }
                SetMode(kIdle);
                return true;
            }
            break;
    }
    return false;
}

int CKernel::StartNext(const std::wstring& previousId) {
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
        return 0;
    }
    return 2;
}

void CKernel::OnScanFinished(const std::wstring& id, int result) {
    if (WaitForSingleObject(cancelEvent_.Get(), 0) == WAIT_OBJECT_0) {
        SetMode(kIdle);
        return;
    }
    SetRowFromResult(id, result);
    if (StartNext(id) != 2) return;
    for (auto& plugin : plugins_) plugin->SetInLastScan(plugin->IsEnabled());
    currentPluginId_ = ChosenPluginId();
    SetMode(kScanFinished);
    SaveOptions();
}

void CKernel::OnFixFinished(const std::wstring& id, int result) {
    if (WaitForSingleObject(cancelEvent_.Get(), 0) == WAIT_OBJECT_0) {
        currentPluginId_ = ChosenPluginId();
        SetMode(kCleanFinished);
        return;
    }
    SetRowFromResult(id, result);
    if (StartNext(id) != 2) return;
    currentPluginId_ = ChosenPluginId();
    SetMode(kCleanFinished);
}

void CKernel::OnProgress(const std::wstring&, const std::wstring& text, int step, int stepCount) {
    if (!document_) return;
    auto area = document_->GetElementById(L"ResultsArea");
    if (!area) return;
    std::wstring html = ReadPage(L"html/Common/scanning_results_area.html");
    ReplaceAll(html, L"#scanmessage#", text);
    ReplaceAll(html, L"#step#", std::to_wstring(step));
    ReplaceAll(html, L"#stepcount#", std::to_wstring(stepCount));
    area->SetInnerHtml(html);
}

bool CKernel::HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kScanFinishedMessage || message == kFixFinishedMessage) {
        std::unique_ptr<wchar_t, decltype(&free)> id(reinterpret_cast<wchar_t*>(wParam), &free);
        if (message == kScanFinishedMessage)
            OnScanFinished(id.get(), static_cast<int>(lParam));
        else
            OnFixFinished(id.get(), static_cast<int>(lParam));
        return true;
    }
    if (message == kProgressMessage) {
        std::unique_ptr<ProgressRecord> record(reinterpret_cast<ProgressRecord*>(wParam));
        OnProgress(record->id, record->text, record->step, record->stepCount);
        return true;
    }
    return false;
}

void CKernel::PostFinished(UINT message, const std::wstring& id, int result) {
    HWND window = view_ ? view_->GetMessageWindow() : nullptr;
    wchar_t* copy = _wcsdup(id.c_str());
    if (window == nullptr || !PostMessageW(window, message, reinterpret_cast<WPARAM>(copy), result))
        free(copy);
}

void CKernel::PostProgress(const std::wstring& id, const std::wstring& text) {
    HWND window = view_ ? view_->GetMessageWindow() : nullptr;
    if (window == nullptr) return;
    auto record = std::make_unique<ProgressRecord>();
    record->id = id;
    record->text = text;
    if (PostMessageW(window, kProgressMessage, reinterpret_cast<WPARAM>(record.get()), 0))
        record.release();
}

void CKernel::OverrideCookieKeepList(const std::wstring& text) {
    keepOverride_ = text;
    TakeCookieKeepList();
}

CookieKeepList CKernel::ReadCookieKeepList() const {
    return CookieKeepList(keepOverride_ ? *keepOverride_ : options_.PeekOption(kKeepCookiesOption));
}

bool CKernel::StoreCookieKeepList(const CookieKeepList& list) {
    options_.Option(kKeepCookiesOption) = list.ToText();
    // Saved now: a toggle in a report must not wait for the program to end.
    return options_.Save();
}

void CKernel::TakeCookieKeepList() { keepList_ = ReadCookieKeepList(); }

bool CKernel::GetWipeFiles() const { return IsOverWrite(options_); }

void CKernel::SaveOptions() {
    options_.Save();
    if (IsBootStartup(options_)) {
        wchar_t directory[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, directory);
        wchar_t module[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring path = directory;
        if (!path.empty() && path.back() != L'\\') path += L'\\';
        path += PathFindFileNameW(module);
        // Quoted: an unquoted path with spaces lets Windows start another
        // program named like its first word.
        std::wstring command = L"\"" + path + L"\"";
        SHSetValueW(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, REG_SZ, command.c_str(),
                    static_cast<DWORD>(command.size() * sizeof(wchar_t)));
    } else {
        SHDeleteValueW(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
    }
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

void CKernel::SetRowFromResult(const std::wstring& id, int result) {
    if (view_)
        view_->SetRowStatus(id,
                            StatePage(result != 0 ? L"state_failed.html" : L"state_finished.html"));
}

std::wstring CKernel::StatePage(const wchar_t* name) const {
    return ReadPage(L"html/" + language_ + L"/" + name);
}
