// Known folder paths: by id where the system knows ids, else by the CSIDL
// that names the same folder.
#include "sysaccess/known_folders.h"

#include <knownfolders.h>

namespace veltrane {

namespace {

using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);

struct CsidlFallback {
    const KNOWNFOLDERID* id;
    int csidl;
};

// Folders that exist before Vista; the others (Downloads, Saved Games,
// Contacts, Links, Searches, LocalLow, Public, the Users root) do not.
constexpr CsidlFallback kFallbacks[] = {
    {&FOLDERID_Desktop, CSIDL_DESKTOPDIRECTORY},
    {&FOLDERID_Documents, CSIDL_PERSONAL},
    {&FOLDERID_Pictures, CSIDL_MYPICTURES},
    {&FOLDERID_Music, CSIDL_MYMUSIC},
    {&FOLDERID_Videos, CSIDL_MYVIDEO},
    {&FOLDERID_Favorites, CSIDL_FAVORITES},
    {&FOLDERID_RoamingAppData, CSIDL_APPDATA},
    {&FOLDERID_LocalAppData, CSIDL_LOCAL_APPDATA},
    {&FOLDERID_StartMenu, CSIDL_STARTMENU},
    {&FOLDERID_Programs, CSIDL_PROGRAMS},
    {&FOLDERID_Startup, CSIDL_STARTUP},
    {&FOLDERID_Templates, CSIDL_TEMPLATES},
    {&FOLDERID_SendTo, CSIDL_SENDTO},
    {&FOLDERID_Recent, CSIDL_RECENT},
    {&FOLDERID_History, CSIDL_HISTORY},
    {&FOLDERID_Cookies, CSIDL_COOKIES},
    {&FOLDERID_InternetCache, CSIDL_INTERNET_CACHE},
    {&FOLDERID_Profile, CSIDL_PROFILE},
    {&FOLDERID_PublicDesktop, CSIDL_COMMON_DESKTOPDIRECTORY},
    {&FOLDERID_PublicDocuments, CSIDL_COMMON_DOCUMENTS},
    {&FOLDERID_PublicMusic, CSIDL_COMMON_MUSIC},
    {&FOLDERID_PublicPictures, CSIDL_COMMON_PICTURES},
    {&FOLDERID_PublicVideos, CSIDL_COMMON_VIDEO},
    {&FOLDERID_CommonStartMenu, CSIDL_COMMON_STARTMENU},
    {&FOLDERID_CommonPrograms, CSIDL_COMMON_PROGRAMS},
    {&FOLDERID_CommonStartup, CSIDL_COMMON_STARTUP},
    {&FOLDERID_CommonTemplates, CSIDL_COMMON_TEMPLATES},
    {&FOLDERID_ProgramData, CSIDL_COMMON_APPDATA},
    {&FOLDERID_ProgramFiles, CSIDL_PROGRAM_FILES},
    {&FOLDERID_ProgramFilesX86, CSIDL_PROGRAM_FILESX86},
    {&FOLDERID_Windows, CSIDL_WINDOWS},
    {&FOLDERID_System, CSIDL_SYSTEM},
    {&FOLDERID_SystemX86, CSIDL_SYSTEMX86},
};

GetKnownFolderPathFn KnownFolderFunction() {
    static const GetKnownFolderPathFn function = [] {
        HMODULE shell = GetModuleHandleW(L"shell32.dll");
        if (!shell) shell = LoadLibraryW(L"shell32.dll");
        return shell ? reinterpret_cast<GetKnownFolderPathFn>(
                           reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")))
                     : nullptr;
    }();
    return function;
}

}  // namespace

std::wstring GetKnownFolderPath(const KNOWNFOLDERID& id) {
    if (GetKnownFolderPathFn function = KnownFolderFunction()) {
        PWSTR path = nullptr;
        // Not verified: a folder that does not exist yet is still the place it names.
        HRESULT hr = function(id, KF_FLAG_DONT_VERIFY, nullptr, &path);
        std::wstring result = SUCCEEDED(hr) && path ? path : L"";
        CoTaskMemFree(path);
        return result;
    }
    for (const CsidlFallback& fallback : kFallbacks) {
        if (!IsEqualGUID(*fallback.id, id)) continue;
        wchar_t path[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, fallback.csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
            return path;
        break;
    }
    return {};
}

}  // namespace veltrane
