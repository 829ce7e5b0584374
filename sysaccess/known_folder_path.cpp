#include "sysaccess/known_folder_path.h"

#include <windows.h>

#include <objbase.h>

#include "sysaccess/known_folders.h"

namespace veltrane {

std::wstring ExpandKnownFolderPrefix(std::wstring_view path) {
    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" is 38 characters.
    constexpr size_t kGuidLength = 38;
    if (path.size() <= kGuidLength || path[0] != L'{' || path[kGuidLength - 1] != L'}')
        return std::wstring(path);
    const std::wstring guid(path.substr(0, kGuidLength));
    KNOWNFOLDERID folder;
    if (FAILED(IIDFromString(guid.c_str(), &folder))) return std::wstring(path);
    const std::wstring folderPath = GetKnownFolderPath(folder);
    if (folderPath.empty()) return std::wstring(path);
    return folderPath + std::wstring(path.substr(kGuidLength));
}

}  // namespace veltrane
