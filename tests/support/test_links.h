#pragma once
// Folder and file links for tests. Wine 8 creates no link through the Windows API
// (CreateSymbolicLinkW succeeds and makes nothing, FSCTL_SET_REPARSE_POINT
// fails), but it reports a Linux symbolic link to a folder as a reparse
// point (attributes 0x410), which is what a junction looks like to a walker.
// So under Wine these helpers ask Linux directly: the Windows paths become
// Linux paths through Wine's wine_get_unix_file_name, and the symlink and
// unlink system calls are made from the test process. Both ends must lie on
// the sandbox's C: drive; anything else is refused. Wine cannot remove such a
// link itself (RemoveDirectoryW fails), so tests remove theirs with RemoveFolderLink.
// On Windows they are plain CreateSymbolicLinkW and RemoveDirectoryW.
#include <string>
#include <vector>

namespace veltrane {

// Makes `link` (which must not exist) a link to the folder `target`.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Makes `link` a link to the file `target`. Wine shows such a link as a
// plain file, and opening it opens the target.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);
// Removes the link itself (to a folder or a file); true when it is gone.
bool RemoveFolderLink(const std::wstring& link);

// Folder links made for one test, removed however it ends (before the
// folders they lead to, when declared after them).
class ScopedFolderLinks {
public:
    ScopedFolderLinks() = default;
    ~ScopedFolderLinks() {
        for (const std::wstring& link : links_) RemoveFolderLink(link);
    }
    ScopedFolderLinks(const ScopedFolderLinks&) = delete;
    ScopedFolderLinks& operator=(const ScopedFolderLinks&) = delete;
    bool Make(const std::wstring& link, const std::wstring& target) {
        links_.push_back(link);
        return MakeFolderLink(link, target);
    }

private:
    std::vector<std::wstring> links_;
};

}  // namespace veltrane
