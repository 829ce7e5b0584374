#pragma once
// What a path on disk is, asked without keeping anything open: whether it
// exists, whether it is a file or a plain folder, a file's size and time,
// whether another program holds it; and the making of a folder path.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace veltrane {

bool PathExists(const std::wstring& path);
// Exists and is not a folder.
bool IsExistingFile(const std::wstring& path);
// A folder that is not a link.
bool IsPlainFolder(const std::wstring& path);

struct FileFacts {
    uint64_t size = 0;
    FILETIME lastWrite = {};
};
// Nothing for a path that is missing or a folder.
[[nodiscard]] std::optional<FileFacts> ReadFileFacts(const std::wstring& path);

// True when another program holds the file open: an open that shares nothing
// is refused. A missing file is not in use.
bool IsFileInUse(const std::wstring& path);

struct [[nodiscard]] FolderCreation {
    enum class Kind { kCreated, kExisted, kFailed };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kFailed
    bool Done() const { return kind != Kind::kFailed; }
};
// Makes the folder with its parents when missing; done when it exists afterwards.
[[nodiscard]] FolderCreation CreateFolderPath(const std::wstring& path);

}  // namespace veltrane
