#pragma once
// The one guard every deletion that walks a folder asks first: may this
// folder be emptied, may it be removed? Drive roots, the system's folders,
// the program folders, every user profile and every folder of the user's own
// data or settings are never emptied or removed, nor is any folder that holds
// one of them, nor any folder inside a folder of the user's own files
// (Documents, Desktop, Pictures...), whatever a variable, a registry value or a
// plug-in says. Places are compared, not spellings: "\\?\", subst drives and
// administrative shares of this machine are read as the folder they name, and
// a folder reached through a link or an alias is refused. Folders that hold
// only traces (Recent, History, Cookies, the browser cache, the temporary
// folder) may be emptied, but stay.
#include <string>
#include <vector>

namespace veltrane {

enum class FolderAction {
    kEmpty,   // delete what is inside, keep the folder
    kRemove,  // delete the folder itself
    // Delete the listed files directly inside a plug-in's own trace folder
    // (Recent, a browser cache), keep the folder and all below it: allowed
    // inside a folder of the user's own files too.
    kEmptyTraceFolder,
};

struct [[nodiscard]] PlaceVerdict {
    bool allowed = true;
    std::wstring reason;  // why not, as the report shows it; empty when allowed
};

PlaceVerdict CheckFolder(const std::wstring& folder, FolderAction action);
inline bool MayEmptyFolder(const std::wstring& folder) {
    return CheckFolder(folder, FolderAction::kEmpty).allowed;
}
inline bool MayRemoveFolder(const std::wstring& folder) {
    return CheckFolder(folder, FolderAction::kRemove).allowed;
}

// The form places are compared in: canonical (CanonicalPath), lower case, no
// trailing separator ("c:" for a drive root). Empty when the path is not valid.
std::wstring NormalisePlacePath(const std::wstring& path);

enum class PlaceKind {
    kProtected,  // never emptied or removed, nor what holds it
    kUserData,   // the same, and nothing inside it is emptied or removed either
    kTraceOnly,  // emptied, never removed
};
struct ProtectedPlace {
    std::wstring path;  // normalised
    std::wstring what;  // "the Windows folder", for the reason
    PlaceKind kind = PlaceKind::kProtected;
};

// Whether `finalPath`, what a handle opened at `canonical` shows, says it was
// reached through no link or alias, but for the links the system made for its
// own folders (Wine links Documents, Desktop, Pictures... to the Linux home).
bool IsDirectFinalPath(const std::wstring& finalPath, const std::wstring& canonical);

// The places of this machine and user, gathered once per process, without
// the temporary folder, which follows the environment of the moment.
const std::vector<ProtectedPlace>& ProtectedPlaces();

}  // namespace veltrane
