// The places a clean never empties or removes, gathered from the system's
// known folders, the profile list and the program's own location.
#include "sysaccess/protected_places.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>

#include "sysaccess/file_identity.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/module_path.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/path_join.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct KnownPlace {
    const KNOWNFOLDERID* id;
    const wchar_t* what;
    PlaceKind kind;
};

constexpr PlaceKind kProtected = PlaceKind::kProtected;
constexpr PlaceKind kUserData = PlaceKind::kUserData;
constexpr PlaceKind kTraceOnly = PlaceKind::kTraceOnly;

constexpr KnownPlace kKnownPlaces[] = {
    {&FOLDERID_Windows, L"the Windows folder", kProtected},
    {&FOLDERID_System, L"the system folder", kProtected},
    {&FOLDERID_SystemX86, L"the system folder", kProtected},
    {&FOLDERID_ProgramFiles, L"the Program Files folder", kProtected},
    {&FOLDERID_ProgramFilesX86, L"the Program Files folder", kProtected},
    {&FOLDERID_ProgramFilesX64, L"the Program Files folder", kProtected},
    {&FOLDERID_ProgramData, L"the folder of every program's shared data", kProtected},
    {&FOLDERID_UserProfiles, L"the folder of every user profile", kProtected},
    {&FOLDERID_Profile, L"the user's profile", kProtected},
    {&FOLDERID_Desktop, L"the user's Desktop", kUserData},
    {&FOLDERID_Documents, L"the user's Documents", kUserData},
    {&FOLDERID_Pictures, L"the user's Pictures", kUserData},
    {&FOLDERID_Music, L"the user's Music", kUserData},
    {&FOLDERID_Videos, L"the user's Videos", kUserData},
    {&FOLDERID_Downloads, L"the user's Downloads", kUserData},
    {&FOLDERID_Favorites, L"the user's Favorites", kUserData},
    {&FOLDERID_SkyDrive, L"the user's OneDrive", kUserData},
    {&FOLDERID_RoamingAppData, L"the user's application data", kProtected},
    {&FOLDERID_LocalAppData, L"the user's local application data", kProtected},
    {&FOLDERID_LocalAppDataLow, L"the user's low-integrity application data", kProtected},
    {&FOLDERID_StartMenu, L"the user's Start Menu", kProtected},
    {&FOLDERID_Programs, L"the user's Programs menu", kProtected},
    {&FOLDERID_Startup, L"the user's Startup folder", kProtected},
    {&FOLDERID_Templates, L"the user's Templates", kProtected},
    {&FOLDERID_SendTo, L"the user's Send To folder", kProtected},
    {&FOLDERID_SavedGames, L"the user's Saved Games", kUserData},
    {&FOLDERID_Contacts, L"the user's Contacts", kUserData},
    {&FOLDERID_Links, L"the user's Links", kUserData},
    {&FOLDERID_SavedSearches, L"the user's Searches", kUserData},
    {&FOLDERID_Public, L"the Public folder", kUserData},
    {&FOLDERID_PublicDesktop, L"the Public Desktop", kUserData},
    {&FOLDERID_PublicDocuments, L"the Public Documents", kUserData},
    {&FOLDERID_PublicDownloads, L"the Public Downloads", kUserData},
    {&FOLDERID_PublicMusic, L"the Public Music", kUserData},
    {&FOLDERID_PublicPictures, L"the Public Pictures", kUserData},
    {&FOLDERID_PublicVideos, L"the Public Videos", kUserData},
    {&FOLDERID_CommonStartMenu, L"the Start Menu of every user", kProtected},
    {&FOLDERID_CommonPrograms, L"the Programs menu of every user", kProtected},
    {&FOLDERID_CommonStartup, L"the Startup folder of every user", kProtected},
    {&FOLDERID_CommonTemplates, L"the Templates of every user", kProtected},
    {&FOLDERID_Recent, L"the Recent folder", kTraceOnly},
    {&FOLDERID_History, L"the History folder", kTraceOnly},
    {&FOLDERID_Cookies, L"the Cookies folder", kTraceOnly},
    {&FOLDERID_InternetCache, L"the Temporary Internet Files folder", kTraceOnly},
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

// "c:": the top of a drive.
bool IsVolumeRoot(const std::wstring& path) { return path.size() == 2 && path[1] == L':'; }

// Both normalised: `inner` lies below `outer`.
bool IsBelow(const std::wstring& inner, const std::wstring& outer) {
    return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
           inner[outer.size()] == L'\\';
}

// The known folders the system itself may make links: Wine links these to
// the Linux home. No other folder is taken as the system's link, whatever it
// is when the program starts: a trace folder (Recent, History, the cache) or
// a folder above one that is a link was made so by somebody else.
constexpr const KNOWNFOLDERID* kSystemLinkedFolders[] = {
    &FOLDERID_Desktop, &FOLDERID_Documents, &FOLDERID_Pictures,  &FOLDERID_Music,
    &FOLDERID_Videos,  &FOLDERID_Downloads, &FOLDERID_Templates,
};

// The final path a handle shows, where it differs from the canonical path,
// for the known folders the system itself made links. Gathered when first
// needed: most machines have none, and finding them costs an open per folder.
struct SystemLink {
    std::wstring canonical;
    std::wstring finalPath;
};

const std::vector<SystemLink>& SystemLinks() {
    static const std::vector<SystemLink> links = [] {
        std::vector<SystemLink> found;
        for (const KNOWNFOLDERID* id : kSystemLinkedFolders) {
            const std::wstring canonical = CanonicalPath(GetKnownFolderPath(*id));
            if (canonical.empty()) continue;
            const UniqueHandle folder(CreateFileW(
                ExtendedLengthPath(canonical).c_str(), FILE_READ_ATTRIBUTES,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            const std::optional<std::wstring> finalPath =
                folder ? TryFinalPath(folder.Get()) : std::nullopt;
            if (finalPath && !SamePath(*finalPath, canonical))
                found.push_back({canonical, *finalPath});
        }
        // The deepest first: a link inside another link's folder names its own place.
        std::sort(found.begin(), found.end(), [](const SystemLink& a, const SystemLink& b) {
            return a.canonical.size() > b.canonical.size();
        });
        return found;
    }();
    return links;
}

// Why a folder is refused: "<what it is>" completed into a sentence for the
// report, which names the temporary folder's variables when it is that folder.
std::wstring Refusal(const std::wstring& fact, bool isTemp) {
    if (isTemp)
        return L"The folder is protected: the temporary folder (TEMP and TMP) " + fact +
               L". Set the TEMP and TMP variables to a folder of their own.";
    return L"The folder is protected: it " + fact + L".";
}

// The reason a folder reached through a link or an alias is refused; empty
// when it leads where its name says (or does not exist, and leads nowhere).
std::wstring LinkRefusal(const std::wstring& canonical) {
    const UniqueHandle folder(
        CreateFileW(ExtendedLengthPath(canonical).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return {};
    const std::optional<std::wstring> finalPath = TryFinalPath(folder.Get());
    if (finalPath && IsDirectFinalPath(*finalPath, canonical)) return {};
    return LeadsElsewhere(finalPath);
}

}  // namespace

std::wstring NormalisePlacePath(const std::wstring& path) {
    std::wstring place = CanonicalPath(path);
    if (place.size() == 3 && place[1] == L':') place.pop_back();
    CharLowerBuffW(place.data(), static_cast<DWORD>(place.size()));
    return place;
}

bool IsDirectFinalPath(const std::wstring& finalPath, const std::wstring& canonical) {
    if (SamePath(finalPath, canonical)) return true;
    for (const SystemLink& link : SystemLinks()) {
        if (SamePath(canonical, link.canonical)) return SamePath(finalPath, link.finalPath);
        if (IsPathBelow(canonical, link.canonical))
            return SamePath(finalPath, JoinPath(link.finalPath, std::wstring_view(canonical).substr(
                                                                    link.canonical.size() + 1)));
    }
    return false;
}

const std::vector<ProtectedPlace>& ProtectedPlaces() {
    static const std::vector<ProtectedPlace> places = [] {
        std::vector<std::pair<std::wstring, const wchar_t*>> found;
        std::vector<ProtectedPlace> list;
        for (const KnownPlace& known : kKnownPlaces) {
            std::wstring path = NormalisePlacePath(GetKnownFolderPath(*known.id));
            if (!path.empty()) list.push_back({path, known.what, known.kind});
        }
        found.emplace_back(SystemFolder(GetWindowsDirectoryW), L"the Windows folder");
        found.emplace_back(SystemFolder(GetSystemDirectoryW), L"the system folder");
        found.emplace_back(SystemFolder(GetSystemWow64DirectoryW), L"the system folder");
        found.emplace_back(ExecutableFolder(), L"the program's own folder");
        AddProfiles(found);
        for (const auto& [raw, what] : found) {
            std::wstring path = NormalisePlacePath(raw);
            if (!path.empty()) list.push_back({path, what, PlaceKind::kProtected});
        }
        return list;
    }();
    return places;
}

PlaceVerdict CheckFolder(const std::wstring& folder, FolderAction action) {
    const std::wstring canonical = CanonicalPath(folder);
    if (canonical.empty())
        return {false, L"The folder name is not valid, or it names no place on a drive."};
    std::wstring path = NormalisePlacePath(canonical);
    const bool isTemp = path == TempFolder();
    // Another machine's share cannot be told from the places this guard
    // knows; it is never emptied.
    if (canonical[1] != L':')
        return {false, Refusal(L"is not on a drive of this computer", isTemp)};
    if (IsVolumeRoot(path)) return {false, Refusal(L"is the top of a drive", isTemp)};
    // Protected places first: their reason matters more than "kept".
    for (const ProtectedPlace& place : ProtectedPlaces()) {
        if (place.kind == PlaceKind::kTraceOnly) continue;
        if (place.path == path) return {false, Refusal(L"is " + place.what, isTemp)};
        if (IsBelow(place.path, path))
            return {false, Refusal(L"holds " + place.what + L" (" + place.path + L")", isTemp)};
    }
    if (action != FolderAction::kEmptyTraceFolder) {
        for (const ProtectedPlace& place : ProtectedPlaces()) {
            if (place.kind == PlaceKind::kUserData && IsBelow(path, place.path))
                return {false, Refusal(L"is inside " + place.what + L" (" + place.path +
                                           L"), which holds the user's own files",
                                       isTemp)};
        }
    }
    // A link at or above the folder leads elsewhere than its name says.
    if (std::wstring link = LinkRefusal(canonical); !link.empty())
        return {false, Refusal(link, isTemp)};
    if (action != FolderAction::kRemove) return {};
    std::vector<ProtectedPlace> traceOnly;
    if (std::wstring temp = TempFolder(); !temp.empty())
        traceOnly.push_back({temp, L"the temporary folder", PlaceKind::kTraceOnly});
    for (const ProtectedPlace& place : ProtectedPlaces())
        if (place.kind == PlaceKind::kTraceOnly) traceOnly.push_back(place);
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

}  // namespace veltrane
