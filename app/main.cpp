// Veltrane's entry point.
// windows.h first: shellapi.h builds on it.
#include <windows.h>

#include <shellapi.h>

#include <cwctype>
#include <string>
#include <vector>

#include "app/app_main.h"
#include "app/command_line.h"
#include "app/headless.h"
#include "app/program_folder.h"
#include "plugins/plugin_list.h"
#include "sysaccess/console_output.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

std::vector<std::wstring> Arguments() {
    int count = 0;
    wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
    UniqueLocalMemory owner(static_cast<HLOCAL>(list));
    std::vector<std::wstring> arguments;
    for (int i = 1; list != nullptr && i < count; ++i) arguments.push_back(list[i]);
    return arguments;
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(path.c_str(), _countof(full), full, nullptr);
    return length == 0 || length >= _countof(full) ? path : std::wstring(full, length);
}

// Any unattended switch selects the unattended front end; everything else
// starts the window (or hands over to the one that runs).
bool HasUnattendedSwitch(const std::vector<std::wstring>& arguments) {
    for (std::wstring argument : arguments) {
        for (wchar_t& c : argument) c = static_cast<wchar_t>(towlower(c));
        if (argument == L"/list" || argument == L"/scan" || argument == L"/clean" ||
            argument == L"/json" || argument.rfind(L"/only:", 0) == 0 ||
            argument.rfind(L"/report:", 0) == 0 || argument.rfind(L"/keep:", 0) == 0)
            return true;
    }
    return false;
}

constexpr wchar_t kUsage[] =
    L"Usage: veltrane.exe /list [/json]\n"
    L"       veltrane.exe /scan  [/only:ID,ID,...] [/report:DIR] [/keep:DOMAIN;...]\n"
    L"                           [/exclude:RULE]... [/older:HOURS] [/json]\n"
    L"       veltrane.exe /clean [/only:ID,ID,...] [/report:DIR] [/keep:DOMAIN;...]\n"
    L"                           [/exclude:RULE]... [/older:HOURS] [/json]\n";

}  // namespace

}  // namespace veltrane

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
    using namespace veltrane;
    if (!PrepareUnicodeLayer()) return -1;
    std::vector<std::wstring> arguments = Arguments();
    if (!HasUnattendedSwitch(arguments)) {
        SettleInProgramFolder();
        return CAppMain(CommandLineArguments(GetCommandLineW()), &CreatePlugins).Run();
    }

    std::wstring error;
    HeadlessRequest request = ParseHeadlessArguments(arguments, error);
    if (!error.empty()) {
        WriteOutput(error + L"\n" + kUsage);
        return kExitUsage;
    }
    if (request.action == HeadlessRequest::kNone) {
        WriteOutput(kUsage);
        return kExitFailed;
    }
    // Report folders are named relative to where the program was started,
    // before the current directory moves.
    if (!request.reportFolder.empty()) request.reportFolder = FullPath(request.reportFolder);
    SettleInProgramFolder();

    // No COM apartment on this thread: the plug-ins that use COM set up their
    // own on the thread they run on, and under Wine an apartment made here
    // would cost every unattended run the display driver's start.
    std::wstring output;
    int code = RunHeadless(request, &CreatePlugins, output);
    WriteOutput(output);
    return code;
}
