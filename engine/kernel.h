#pragma once
// The engine behind the main window: the plug-in list, the mode, the run
// that visits the checked plug-ins one at a time on worker threads, the
// cancel event and the options.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "engine/cookie_keep_list.h"
#include "engine/html_element.h"
#include "engine/kernel_view.h"
#include "engine/plugin.h"
#include "sysaccess/handles.h"

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

    CKernel(IKernelView* view, const PluginFactory& createPlugins);
    virtual ~CKernel();
    CKernel(const CKernel&) = delete;
    CKernel& operator=(const CKernel&) = delete;

    // Mode changes and the button commands of each mode.
    bool SetMode(int mode);
    void Cancel();
    // "btn_scan", "btn_cancel", ...: true when the command belongs to the current mode.
    bool HandleCommand(const std::wstring& command);

    // The worker messages, on the user-interface thread. Takes ownership of
    // the payload in wParam and frees it; false for any other message.
    bool HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnScanFinished(const std::wstring& id, int result);
    void OnFixFinished(const std::wstring& id, int result);
    void OnProgress(const std::wstring& id, const std::wstring& text, int step, int stepCount);

    // Called from worker threads.
    void PostFinished(UINT message, const std::wstring& id, int result);
    void PostProgress(const std::wstring& id, const std::wstring& text);
    bool GetWipeFiles() const;
    void SetRebootNeeded(bool flag) { rebootNeeded_ = flag; }
    bool IsRebootNeeded() const { return rebootNeeded_; }

    // Saves the options and makes the autostart entry match "BootStartup".
    void SaveOptions();

    void ShowItemError(const std::wstring& title, const std::wstring& reason);
    const std::wstring& GetLanguage() const { return language_; }
    int GetMode() const { return mode_; }
    const std::wstring& GetCurrentPluginId() const { return currentPluginId_; }
    void SetCurrentPluginId(const std::wstring& id) { currentPluginId_ = id; }
    const PluginList& GetPlugins() const { return plugins_; }
    CPlugin* FindPlugin(const std::wstring& id) const;
    CSettings& GetOptions() { return options_; }
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
    HANDLE GetCancelEvent() const { return cancelEvent_.Get(); }
    // The state of the cancel event without a trip to the system, for the
    // per-item checks of the workers.
    bool IsCancelSignalled() const { return cancelled_.load(std::memory_order_acquire); }
    void SetDocument(IHtmlDocument* document) { document_ = document; }
    IHtmlDocument* GetDocument() const { return document_; }

private:
    void ResetCancel();
    // 0 when a plug-in was started, 2 when none was left after `previousId`.
    int StartNext(const std::wstring& previousId);
    std::wstring ChosenPluginId() const;
    void SetRowFromResult(const std::wstring& id, int result);
    std::wstring StatePage(const wchar_t* name) const;
    void TakeCookieKeepList();

    volatile LONG mode_ = kIdle;
    PluginList plugins_;
    IHtmlDocument* document_ = nullptr;
    std::wstring language_ = L"English";
    UniqueHandle cancelEvent_;
    std::atomic<bool> cancelled_{false};  // mirrors cancelEvent_
    std::wstring currentPluginId_;
    IKernelView* view_;
    CSettings options_;
    CookieKeepList keepList_;
    std::optional<std::wstring> keepOverride_;
    volatile bool rebootNeeded_ = false;
};
