#include "sysaccess/file_info.h"

#include <shlobj.h>

#include "sysaccess/handles.h"

namespace veltrane {

namespace {

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

}  // namespace

bool PathExists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsExistingFile(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsPlainFolder(const std::wstring& path) {
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::optional<FileFacts> ReadFileFacts(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileFacts{(static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                     data.ftLastWriteTime};
}

bool IsFileInUse(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

FolderCreation CreateFolderPath(const std::wstring& path) {
    const int error = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    if (error == ERROR_SUCCESS) return {FolderCreation::Kind::kCreated};
    if (PathExists(path)) return {FolderCreation::Kind::kExisted};
    return {FolderCreation::Kind::kFailed, static_cast<DWORD>(error)};
}

}  // namespace veltrane
