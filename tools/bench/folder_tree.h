#pragma once
// The folder tree of the temporary-folder benchmark.
#include <string>

namespace veltrane {

// Creates `root` with three levels of folders below it (10, 10 each, 5 each:
// 611 folders with the root) and `filesPerLeaf` files of `fileSize` bytes in
// every folder of the last level. Returns the number of files written.
long SeedFolderTree(const std::wstring& root, int filesPerLeaf, int fileSize);

struct TreeCounts {
    long files = 0;
    long folders = 0;
    long failures = 0;
};

// Deletes everything below `folder` with FindFirstFileW, DeleteFileW and
// RemoveDirectoryW, leaving `folder` itself; with `overwrite` each file's
// content is replaced by 0xFF bytes first.
TreeCounts DeleteFolderContents(const std::wstring& folder, bool overwrite);

}  // namespace veltrane
