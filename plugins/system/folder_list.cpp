#include "plugins/system/folder_list.h"

#include "sysaccess/file_walk.h"

namespace veltrane {

StringList VisibleSubFolders(const std::wstring& folder) {
    StringList folders;
    unsigned count = 0;
    GetFileList(nullptr, folder, nullptr, &folders, L"*", L'|', &count);
    StringList visible;
    for (const std::wstring& path : folders) {
        size_t slash = path.rfind(L'\\');
        if (path.compare(slash == std::wstring::npos ? 0 : slash + 1, 1, L".") != 0)
            visible.push_back(path);
    }
    return visible;
}

}  // namespace veltrane
