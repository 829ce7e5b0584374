#include "sysaccess/path_macros.h"

#include <windows.h>

#include <shlobj.h>

#include <optional>
#include <vector>

#include "sysaccess/known_folders.h"
#include "sysaccess/registry_text.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// A string value; nothing when the key or value is missing. Read directly
// rather than through a registry-backed option, which would write itself back.
std::optional<std::wstring> QueryRegString(HKEY root, const std::wstring& keyPath,
                                           const wchar_t* valueName) {
    RegText value;
    if (ReadRegText(root, keyPath.c_str(), valueName, value) != RegTextRead::kRead)
        return std::nullopt;
    // A value of another type stands for an empty path.
    return std::move(value.text);
}

std::wstring ReadRegString(HKEY root, const std::wstring& keyPath, const wchar_t* valueName) {
    return QueryRegString(root, keyPath, valueName).value_or(std::wstring());
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[999] = {};
    DWORD length = GetEnvironmentVariableW(name, value, _countof(value));
    return length == 0 || length >= _countof(value) ? std::wstring() : std::wstring(value, length);
}

std::wstring AppDataFolder() {
    wchar_t path[MAX_PATH] = {};
    return SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE) ? path : L"";
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetTempPathW(_countof(path), path);
    return length == 0 || length >= _countof(path) ? std::wstring() : std::wstring(path, length);
}

// Netscape 4 keeps its user folder only inside the mail state path.
std::wstring Netscape4Root() {
    const std::wstring biff = L"Software\\Netscape\\Netscape Navigator\\biff";
    std::wstring user = ReadRegString(HKEY_CURRENT_USER, biff, L"CurrentUser");
    std::wstring users = biff + L"\\users\\" + user;
    std::wstring server =
        QueryRegString(HKEY_CURRENT_USER, users, L"defaultServer").value_or(L"mail");
    std::wstring popstate =
        ReadRegString(HKEY_CURRENT_USER, users + L"\\servers\\" + server, L"popstatePath");
    size_t mail = popstate.find(L"\\mail\\");
    return mail == std::wstring::npos ? std::wstring() : popstate.substr(0, mail);
}

std::wstring OutlookExpressStoreRoot() {
    std::wstring identity = ReadRegString(HKEY_CURRENT_USER, L"Identities", L"Default User ID");
    return ReadRegString(
        HKEY_CURRENT_USER,
        L"Identities\\" + identity + L"\\Software\\Microsoft\\Outlook Express\\5.0", L"Store Root");
}

struct Step {
    std::wstring macro;
    std::wstring value;
    bool unknown;  // the place it names could not be determined
};

}  // namespace

std::wstring ExpandPathMacros(const std::wstring& path, bool* anyEmpty) {
    const std::wstring shellFolders =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::wstring appPaths = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    std::wstring appData = AppDataFolder();
    std::wstring opera = ReadRegString(HKEY_LOCAL_MACHINE, appPaths + L"Opera.exe", L"Path");

    std::vector<Step> steps;
    auto add = [&steps](std::wstring macro, std::wstring value) {
        bool unknown = value.empty();
        steps.push_back({std::move(macro), std::move(value), unknown});
    };
    // A place below another is as unknown as its base ("\Cache4" is nobody's cache).
    auto addBelow = [&steps](std::wstring macro, const std::wstring& base, const wchar_t* rest) {
        steps.push_back({std::move(macro), base + rest, base.empty()});
    };
    for (const wchar_t* name : {L"HISTORY", L"COOKIES", L"CACHE", L"RECENT"}) {
        add(std::wstring(L"[PATH_SYS_SHELL_") + name + L"]",
            ReadRegString(HKEY_CURRENT_USER, shellFolders, name));
    }
    add(L"[PATH_APP_NN4_ROOT]", Netscape4Root());
    add(L"[PATH_APP_AOL_ROOT]", ReadRegString(HKEY_LOCAL_MACHINE, appPaths + L"Aol.exe", L"Path"));
    add(L"[PATH_APP_OPERA_ROOT]", opera);
    addBelow(L"[PATH_APP_OPERA7_USERDATA]", appData, L"\\Opera\\Opera7\\profile");
    addBelow(L"[PATH_APP_OPERA75_USERDATA]", appData, L"\\Opera\\Opera75\\profile");
    addBelow(L"[PATH_APP_OPERA6_CACHE]", opera, L"\\Cache4");
    addBelow(L"[PATH_APP_OPERA7_CACHE]", appData, L"\\Opera\\Opera7\\profile\\Cache4");
    addBelow(L"[PATH_APP_OPERA75_CACHE]", appData, L"\\Opera\\Opera75\\profile\\Cache4");
    add(L"[PATH_APP_OUTLOOKEXPRESS_STOREROOT]", OutlookExpressStoreRoot());
    add(L"[PATH_SYS_DOWNLOADEDPROGRAMS]",
        ReadRegString(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                      L"ActiveXCache"));
    add(L"[PATH_SYS_TEMP]", TempFolder());
    add(L"%UserProfile%", Environment(L"UserProfile"));
    add(L"%AppData%", Environment(L"AppData"));
    add(L"%ProgramFiles%", Environment(L"ProgramFiles"));
    add(L"%WinDir%", Environment(L"WinDir"));
    // Folders Windows names by id since Vista, never assembled from another.
    add(L"[PATH_KNOWN_RECENT]", GetKnownFolderPath(FOLDERID_Recent));
    add(L"[PATH_KNOWN_LOCALAPPDATA]", GetKnownFolderPath(FOLDERID_LocalAppData));
    add(L"[PATH_KNOWN_PROGRAMDATA]", GetKnownFolderPath(FOLDERID_ProgramData));

    // In order: a value inserted by one step is itself subject to the later ones.
    std::wstring result = path;
    bool empty = false;
    for (const Step& step : steps) {
        if (result.find(step.macro) == std::wstring::npos) continue;
        empty = empty || step.unknown;
        ReplaceAll(result, step.macro, step.value);
    }
    if (anyEmpty) *anyEmpty = empty;
    return result;
}

std::wstring ExpandUserNameMacro(const std::wstring& keyPath) {
    std::vector<wchar_t> name(65535, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    std::wstring user = GetUserNameW(name.data(), &length) ? name.data() : L"";
    std::wstring result = keyPath;
    ReplaceAll(result, L"[WIN_USERNAME]", user);
    return result;
}

}  // namespace veltrane
