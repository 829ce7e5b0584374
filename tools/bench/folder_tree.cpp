#include "bench/folder_tree.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace veltrane {

namespace {

bool WriteFileOf(const std::wstring& path, const std::vector<char>& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size();
    return CloseHandle(file) && ok;
}

// The same single pass the program makes: 0xFF over the whole file, 64 KiB at
// a time, flushed so that the ones reach the disk (an overwrite left in the
// cache is none).
bool OverwriteFile(const std::wstring& path) {
    static const std::vector<char> ones(0x10000, '\xFF');
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size);
    for (LONGLONG done = 0; ok && done < size.QuadPart;) {
        DWORD block = static_cast<DWORD>(std::min<LONGLONG>(ones.size(), size.QuadPart - done));
        DWORD written = 0;
        ok = WriteFile(file, ones.data(), block, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

void DeleteBelow(const std::wstring& folder, bool overwrite, TreeCounts& counts) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = folder + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteBelow(path, overwrite, counts);
            if (RemoveDirectoryW(path.c_str()))
                ++counts.folders;
            else
                ++counts.failures;
        } else if ((!overwrite || OverwriteFile(path)) && DeleteFileW(path.c_str())) {
            ++counts.files;
        } else {
            ++counts.failures;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

}  // namespace

long SeedFolderTree(const std::wstring& root, int filesPerLeaf, int fileSize) {
    const std::vector<char> content(fileSize, 'v');
    long files = 0;
    CreateDirectoryW(root.c_str(), nullptr);
    for (int a = 0; a < 10; ++a) {
        std::wstring first = root + L"\\folder" + std::to_wstring(a);
        CreateDirectoryW(first.c_str(), nullptr);
        for (int b = 0; b < 10; ++b) {
            std::wstring second = first + L"\\sub" + std::to_wstring(b);
            CreateDirectoryW(second.c_str(), nullptr);
            for (int c = 0; c < 5; ++c) {
                std::wstring third = second + L"\\leaf" + std::to_wstring(c);
                CreateDirectoryW(third.c_str(), nullptr);
                for (int f = 0; f < filesPerLeaf; ++f)
                    if (WriteFileOf(third + L"\\file" + std::to_wstring(f) + L".tmp", content))
                        ++files;
            }
        }
    }
    return files;
}

TreeCounts DeleteFolderContents(const std::wstring& folder, bool overwrite) {
    TreeCounts counts;
    DeleteBelow(folder, overwrite, counts);
    return counts;
}

}  // namespace veltrane
