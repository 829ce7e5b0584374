// The places a clean never empties or removes, gathered from the system's
// known folders, the profile list and the program's own location.
#include "sysaccess/protected_places.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/module_path.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_text.h"

namespace {

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct KnownPlace {
    const KNOWNFOLDERID* id;
    const wchar_t* what;
    bool traceOnly;
};

constexpr KnownPlace kKnownPlaces[] = {
    {&FOLDERID_Windows, L"the Windows folder", false},
    {&FOLDERID_System, L"the system folder", false},
    {&FOLDERID_SystemX86, L"the system folder", false},
    {&FOLDERID_ProgramFiles, L"the Program Files folder", false},
    {&FOLDERID_ProgramFilesX86, L"the Program Files folder", false},
    {&FOLDERID_ProgramFilesX64, L"the Program Files folder", false},
    {&FOLDERID_ProgramData, L"the folder of every program's shared data", false},
    {&FOLDERID_UserProfiles, L"the folder of every user profile", false},
    {&FOLDERID_Profile, L"the user's profile", false},
    {&FOLDERID_Desktop, L"the user's Desktop", false},
    {&FOLDERID_Documents, L"the user's Documents", false},
    {&FOLDERID_Pictures, L"the user's Pictures", false},
    {&FOLDERID_Music, L"the user's Music", false},
    {&FOLDERID_Videos, L"the user's Videos", false},
    {&FOLDERID_Downloads, L"the user's Downloads", false},
    {&FOLDERID_Favorites, L"the user's Favorites", false},
    {&FOLDERID_RoamingAppData, L"the user's application data", false},
    {&FOLDERID_LocalAppData, L"the user's local application data", false},
    {&FOLDERID_LocalAppDataLow, L"the user's low-integrity application data", false},
    {&FOLDERID_StartMenu, L"the user's Start Menu", false},
    {&FOLDERID_Programs, L"the user's Programs menu", false},
    {&FOLDERID_Startup, L"the user's Startup folder", false},
    {&FOLDERID_Templates, L"the user's Templates", false},
    {&FOLDERID_SendTo, L"the user's Send To folder", false},
    {&FOLDERID_SavedGames, L"the user's Saved Games", false},
    {&FOLDERID_Contacts, L"the user's Contacts", false},
    {&FOLDERID_Links, L"the user's Links", false},
    {&FOLDERID_SavedSearches, L"the user's Searches", false},
    {&FOLDERID_Public, L"the Public folder", false},
    {&FOLDERID_PublicDesktop, L"the Public Desktop", false},
    {&FOLDERID_PublicDocuments, L"the Public Documents", false},
    {&FOLDERID_PublicDownloads, L"the Public Downloads", false},
    {&FOLDERID_PublicMusic, L"the Public Music", false},
    {&FOLDERID_PublicPictures, L"the Public Pictures", false},
    {&FOLDERID_PublicVideos, L"the Public Videos", false},
    {&FOLDERID_CommonStartMenu, L"the Start Menu of every user", false},
    {&FOLDERID_CommonPrograms, L"the Programs menu of every user", false},
    {&FOLDERID_CommonStartup, L"the Startup folder of every user", false},
    {&FOLDERID_CommonTemplates, L"the Templates of every user", false},
    {&FOLDERID_Recent, L"the Recent folder", true},
    {&FOLDERID_History, L"the History folder", true},
    {&FOLDERID_Cookies, L"the Cookies folder", true},
    {&FOLDERID_InternetCache, L"the Temporary Internet Files folder", true},
};

std::wstring ExpandEnvironment(const std::wstring& text) {
    DWORD length = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (length == 0) return text;
    std::wstring expanded(length, L'\0');
    length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), length);
    expanded.resize(length > 0 ? length - 1 : 0);
    return expanded;
}

std::wstring ReadExpandedString(HKEY key, const wchar_t* name) {
    RegText value;
    if (ReadRegText(key, name, value) != RegTextRead::kRead || !IsStringType(value.type)) return {};
    return ExpandEnvironment(value.text);
}

// Every profile the machine knows, the folder that holds them, and the
// default and public profiles, from the profile list.
void AddProfiles(std::vector<std::pair<std::wstring, const wchar_t*>>& places) {
    const RegKey list = OpenRegKey(HKEY_LOCAL_MACHINE, kProfileList, KEY_READ);
    if (!list) return;
    places.emplace_back(ReadExpandedString(list.Get(), L"ProfilesDirectory"),
                        L"the folder of every user profile");
    places.emplace_back(ReadExpandedString(list.Get(), L"Default"), L"the default user profile");
    places.emplace_back(ReadExpandedString(list.Get(), L"Public"), L"the Public folder");
    for (const std::wstring& name : ListSubKeyNames(list.Get())) {
        const RegKey profile = OpenRegKey(list.Get(), name.c_str(), KEY_READ);
        if (!profile) continue;
        places.emplace_back(ReadExpandedString(profile.Get(), L"ProfileImagePath"),
                            L"a user profile");
    }
}

std::wstring SystemFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH] = {};
    UINT length = query(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, path);
    return length > 0 && length <= MAX_PATH ? NormalisePlacePath(path) : std::wstring();
}

// "c:" or "\\server\share": the top of a volume.
bool IsVolumeRoot(const std::wstring& path) {
    if (path.size() == 2 && path[1] == L':') return true;
    if (path.rfind(L"\\\\", 0) != 0) return false;
    size_t share = path.find(L'\\', 2);
    return share == std::wstring::npos || path.find(L'\\', share + 1) == std::wstring::npos;
}

bool IsBelow(const std::wstring& inner, const std::wstring& outer) {
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == L'\\';
}

std::wstring Refusal(const std::wstring& folder, const ProtectedPlace& place, bool equal,
                     const std::wstring& temp) {
    if (!temp.empty() && folder == temp)
        return L"The folder is protected: the temporary folder resolves to a folder that holds "
               L"the user's own files (" +
               place.what + L"). Set the TEMP and TMP variables to a folder of their own.";
    if (equal) return L"The folder is protected: it is " + place.what + L".";
    return L"The folder is protected: it holds " + place.what + L" (" + place.path + L").";
}

}  // namespace

std::wstring NormalisePlacePath(const std::wstring& path) {
    if (path.empty()) return {};
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return {};
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size()) return {};
    full.resize(length);
    for (wchar_t& c : full)
        if (c == L'/') c = L'\\';
    while (full.size() > 2 && full.back() == L'\\') full.pop_back();
    // Short (8.3) names name the same folder; only an existing folder has a
    // long form. Every short name holds a "~", and looking one up costs a
    // trip to the file system per part of the path, so only those are looked
    // up. Wine's GetLongPathNameW overruns its own MAX_PATH buffer on a longer name.
    DWORD longLength = full.size() < MAX_PATH && full.find(L'~') != std::wstring::npos
                           ? GetLongPathNameW(full.c_str(), nullptr, 0)
                           : 0;
    if (longLength > 0) {
        std::wstring longPath(longLength, L'\0');
        longLength = GetLongPathNameW(full.c_str(), longPath.data(), longLength);
        if (longLength > 0 && longLength < longPath.size()) {
            longPath.resize(longLength);
            full = longPath;
            while (full.size() > 2 && full.back() == L'\\') full.pop_back();
        }
    }
    if (full.size() == 3 && full[1] == L':' && full[2] == L'\\') full.pop_back();
    CharLowerBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

const std::vector<ProtectedPlace>& ProtectedPlaces() {
    static const std::vector<ProtectedPlace> places = [] {
        std::vector<std::pair<std::wstring, const wchar_t*>> found;
        std::vector<ProtectedPlace> list;
        for (const KnownPlace& known : kKnownPlaces) {
            std::wstring path = NormalisePlacePath(GetKnownFolderPath(*known.id));
            if (!path.empty()) list.push_back({path, known.what, known.traceOnly});
        }
        found.emplace_back(SystemFolder(GetWindowsDirectoryW), L"the Windows folder");
        found.emplace_back(SystemFolder(GetSystemDirectoryW), L"the system folder");
        found.emplace_back(SystemFolder(GetSystemWow64DirectoryW), L"the system folder");
        found.emplace_back(ExecutableFolder(), L"the program's own folder");
        AddProfiles(found);
        for (const auto& [raw, what] : found) {
            std::wstring path = NormalisePlacePath(raw);
            if (!path.empty()) list.push_back({path, what, false});
        }
        return list;
    }();
    return places;
}

PlaceVerdict CheckFolder(const std::wstring& folder, FolderAction action) {
    std::wstring path = NormalisePlacePath(folder);
    if (path.empty()) return {false, L"The folder name is not valid."};
    std::wstring temp = TempFolder();
    if (IsVolumeRoot(path)) {
        ProtectedPlace root{path, L"the top of a drive", false};
        return {false, Refusal(path, root, true, temp)};
    }
    const bool remove = action == FolderAction::kRemove;
    // Protected places first: their reason matters more than "kept".
    for (const ProtectedPlace& place : ProtectedPlaces()) {
        if (place.traceOnly) continue;
        bool equal = place.path == path;
        if (equal || IsBelow(place.path, path)) return {false, Refusal(path, place, equal, temp)};
    }
    if (!remove) return {};
    std::vector<ProtectedPlace> traceOnly;
    if (!temp.empty()) traceOnly.push_back({temp, L"the temporary folder", true});
    for (const ProtectedPlace& place : ProtectedPlaces())
        if (place.traceOnly) traceOnly.push_back(place);
    for (const ProtectedPlace& place : traceOnly) {
        if (place.path == path)
            return {false, L"The folder is kept: it is " + place.what +
                               L", which is emptied but never removed."};
        if (IsBelow(place.path, path))
            return {false, L"The folder is kept: it holds " + place.what + L" (" + place.path +
                               L"), which is emptied but never removed."};
    }
    return {};
}
