#pragma once
// The one guard every deletion that walks a folder asks first: may this
// folder be emptied, may it be removed? Drive roots, the system's folders,
// the program folders, every user profile and every folder of the user's own
// data or settings are never emptied or removed, nor is any folder that holds
// one of them, whatever a variable, a registry value or a plug-in says.
// Folders that hold only traces (Recent, History, Cookies, the browser cache,
// the temporary folder) may be emptied, but stay.
#include <string>
#include <vector>

enum class FolderAction {
    kEmpty,   // delete what is inside, keep the folder
    kRemove,  // delete the folder itself
};

struct PlaceVerdict {
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

// The form places are compared in: full, long names, lower case, no
// trailing separator ("c:" for a drive root). Empty when the path is not valid.
std::wstring NormalisePlacePath(const std::wstring& path);

struct ProtectedPlace {
    std::wstring path;  // normalised
    std::wstring what;  // "the Windows folder", for the reason
    bool traceOnly = false;
};

// The places of this machine and user, gathered once per process, without
// the temporary folder, which follows the environment of the moment.
const std::vector<ProtectedPlace>& ProtectedPlaces();
