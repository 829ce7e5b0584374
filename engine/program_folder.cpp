#include "engine/program_folder.h"

#include <mutex>

#include "sysaccess/path_join.h"

namespace veltrane {

namespace {

// Workers read it for their pages while a test may name another folder.
std::mutex& FolderLock() {
    static std::mutex lock;
    return lock;
}

std::wstring& Folder() {
    static std::wstring folder;
    return folder;
}

}  // namespace

void SetProgramFolder(const std::wstring& folder) {
    std::lock_guard<std::mutex> guard(FolderLock());
    Folder() = folder;
}

std::wstring GetProgramFolder() {
    std::lock_guard<std::mutex> guard(FolderLock());
    return Folder();
}

std::wstring ProgramFilePath(const std::wstring& relativePath) {
    const std::wstring folder = GetProgramFolder();
    return folder.empty() ? std::wstring() : JoinPath(folder, relativePath);
}

}  // namespace veltrane
