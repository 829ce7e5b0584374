#include "support/test_files.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdio>

#include "engine/program_folder.h"
#include "support/test_links.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

std::wstring ParentOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

ScopedTestFolder::ScopedTestFolder(const std::wstring& name)
    : path_(L"C:\\VeltraneTests\\" + name) {
    RemoveTree(path_);
    MakeFolder(path_);
}

ScopedTestFolder::~ScopedTestFolder() { RemoveTree(path_); }

void MakeFolder(const std::wstring& path) { SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }

void WriteTestFile(const std::wstring& path, const std::string& content) {
    MakeFolder(ParentOf(path));
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) return;
    fwrite(content.data(), 1, content.size(), file);
    fclose(file);
}

std::string ReadTestFile(const std::wstring& path) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return {};
    std::string content;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0) content.append(buffer, got);
    fclose(file);
    return content;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            // A link goes as a link: what it leads to belongs to somebody else.
            if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveFolderLink(child);
                continue;
            }
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find.Get(), &data));
    }
    find.Close();
    RemoveDirectoryW(path.c_str());
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& path) {
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    previous_ = current;
    SetCurrentDirectoryW(path.c_str());
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() { SetCurrentDirectoryW(previous_.c_str()); }

ScopedProgramFolder::ScopedProgramFolder(const std::wstring& folder)
    : previous_(GetProgramFolder()) {
    SetProgramFolder(folder);
}

ScopedProgramFolder::~ScopedProgramFolder() { SetProgramFolder(previous_); }

UniqueHandle HoldOpen(const std::wstring& path, DWORD share) {
    return UniqueHandle(
        CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

}  // namespace veltrane
