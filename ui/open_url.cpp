#include "ui/open_url.h"

#include <exdisp.h>
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <memory>

#include "sysaccess/com_owners.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/thread_entry.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

// Internet Explorer may take long to start, or never answer (under Wine it has
// no HTML engine at all): past this the shell is asked instead.
constexpr DWORD kAutomationTimeoutMs = 5000;

struct AutomationRequest {
    std::wstring url;
    bool shown = false;
};

DWORD ShowInInternetExplorer(void* parameter) {
    std::shared_ptr<AutomationRequest> request(
        *static_cast<std::shared_ptr<AutomationRequest>*>(parameter));
    delete static_cast<std::shared_ptr<AutomationRequest>*>(parameter);

    const ScopedComApartment apartment;
    if (!apartment) return 0;
    CLSID clsid;
    ComPtr<IWebBrowser2> browser;
    if (FAILED(CLSIDFromString(L"InternetExplorer.Application", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                browser.ReceiveVoid())))
        return 0;
    SHANDLE_PTR handle = 0;
    browser->get_HWND(&handle);
    HWND window = reinterpret_cast<HWND>(handle);
    if (!window) return 0;
    ShowWindow(window, SW_SHOW);
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(GetLastActivePopup(window));
    ScopedVariant empty;
    const UniqueBstr address(SysAllocString(request->url.c_str()));
    browser->Navigate(address.Get(), &empty.Get(), &empty.Get(), &empty.Get(), &empty.Get());
    request->shown = true;
    return 0;
}

// Runs on a thread of its own so that a hanging server cannot hold the caller.
DWORD WINAPI OpenWithAutomation(void* parameter) {
    return CatchAtThreadEntry(
        L"Open address", [parameter] { return ShowInInternetExplorer(parameter); },
        [] { return DWORD{0}; });
}

bool TryAutomation(const std::wstring& url) {
    if (IsRunningOnWine()) return false;
    auto request = std::make_shared<AutomationRequest>();
    request->url = url;
    auto* parameter = new std::shared_ptr<AutomationRequest>(request);
    const UniqueHandle thread(CreateThread(nullptr, 0, &OpenWithAutomation, parameter, 0, nullptr));
    if (!thread) {
        delete parameter;
        return false;
    }
    bool finished = WaitForSingleObject(thread.Get(), kAutomationTimeoutMs) == WAIT_OBJECT_0;
    if (!finished) Trace(L"OpenUrl: Internet Explorer did not answer, using the shell\n");
    return finished && request->shown;
}

}  // namespace

void OpenUrl(const std::wstring& url) {
    if (TryAutomation(url)) return;

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpVerb = L"open";
    info.lpFile = L"explorer";
    info.lpParameters = url.c_str();
    info.nShow = SW_RESTORE;
    if (ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32) return;
    ShellExecuteW(nullptr, L"open", L"explorer", url.c_str(), nullptr, SW_RESTORE);
}

bool OpenWithShell(const std::wstring& url) {
    return reinterpret_cast<INT_PTR>(
               ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace veltrane
