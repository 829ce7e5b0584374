#include "app/app_main.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/autostart_sync.h"
#include "engine/deferred_check.h"
#include "engine/program_folder.h"
#include "sysaccess/console_output.h"
#include "sysaccess/named_objects.h"
#include "sysaccess/os_version.h"
#include "sysaccess/trace.h"
#include "ui/dlg_main.h"
#include "ui/urls.h"
#include "ui/web_host.h"

namespace veltrane {

namespace {

constexpr DWORD kMutexAccess = MUTEX_ALL_ACCESS;

void RunMessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

std::wstring CommandLineArguments(const wchar_t* fullCommandLine) {
    const wchar_t* p = fullCommandLine ? fullCommandLine : L"";
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p == L'"') ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t') ++p;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

bool PrepareUnicodeLayer() {
    if (IsWindowsNT()) return true;
    if (LoadLibraryA("unicows.dll")) return true;
    MessageBoxW(nullptr, L"Failed to initialize UNICOWS.DLL", nullptr, MB_ICONHAND);
    return false;
}

CAppMain::CAppMain(std::wstring commandLine, PluginFactory createPlugins)
    : commandLine_(std::move(commandLine)), createPlugins_(std::move(createPlugins)) {}

int CAppMain::Run() {
    InitInstance();
    return ExitInstance();
}

bool CAppMain::InitInstance() {
    CoInitialize(nullptr);
    InitCommonControls();
    handshakeMessage_ = RegisterWindowMessageW(kHandshakeMessageName);

    NamedObject running = OpenNamedMutex(kInstanceMutexName, kMutexAccess, Inheritance::kInherited);
    if (!running.handle) {
        // Two starts at the same moment both miss the mutex: only one creates it.
        NamedObject created = CreateNamedMutex(kInstanceMutexName, true);
        if (created.kind == NamedObject::Kind::kAlreadyExisted)
            running = std::move(created);
        else
            instanceMutex_ = std::move(created.handle);
    }
    if (running.handle) {
        ActivatePreviousInstance(commandLine_ == kEmergencyCloseSwitch);
        return false;
    }
    // The mutex stays ours until ExitInstance.

    // Before anything else can defer or remove more: what the last clean deferred, checked once.
    std::optional<DeferredCheck> deferred = CheckDeferredItems(SettingsHome{}.user);

    // A problem with urls.ini is told in the page, once one is there.
    std::vector<std::wstring> urlProblems;
    LoadUrls(ProgramFilePath(L"urls.ini"), [&urlProblems](const std::wstring& text) {
        Trace(L"%ls\n", text.c_str());
        urlProblems.push_back(text);
    });
    {
        // Before the kernel reads the options, so that it sees "BootStartup" as synced.
        SyncAutostart();
        CDlgMain dialog(kMainPage, createPlugins_);
        dialog.SetHandshakeMessage(handshakeMessage_);
        for (const std::wstring& text : urlProblems) dialog.AddStartupNotice(text);
        if (deferred) dialog.SetDeferredCheck(std::move(*deferred));
        if (!dialog.Create()) {
            Trace(L"The main window could not be created\n");
            return false;
        }
        // An address of its own, for headless use: it opens once, like the shell's.
        std::wstring line = L"Veltrane UI: " + dialog.GetLaunchAddress();
        WriteOutput(line + L"\n");
        Trace(L"%ls\n", line.c_str());
        RunMessageLoop();
    }
    CWebHost::Get().Stop();
    return false;
}

int CAppMain::ExitInstance() {
    if (instanceMutex_) {
        ReleaseMutex(instanceMutex_.Get());
        instanceMutex_.Close();
    }
    CoUninitialize();
    return 1;
}

void CAppMain::ActivatePreviousInstance(bool emergency) const {
    HWND window = FindWindowW(nullptr, kMainWindowTitle);
    if (!window) return;
    DWORD_PTR answer = 0;
    // A window of another program may hang: it gets a few seconds to answer.
    if (!SendMessageTimeoutW(window, handshakeMessage_, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) ||
        answer != static_cast<DWORD_PTR>(CDlgMain::kHandshakeAnswer))
        return;
    if (emergency) {
        SendMessageW(window, kEmergencyCloseMessage, 0, 0);
        return;
    }
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Sleep(5);
    SetForegroundWindow(window);
}

}  // namespace veltrane
