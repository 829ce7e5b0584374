#include "sysaccess/file_walk.h"

#include "sysaccess/handles.h"
#include "sysaccess/path_join.h"

namespace {

bool IsFolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

uint64_t EntrySize(const WIN32_FIND_DATAW& entry) {
    return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

// The entry protocol shared with the registry walks; false when the walk must stop.
bool VisitEntry(const std::wstring& folder, const WIN32_FIND_DATAW& entry,
                FileApi::BaseFileProc& visitor) {
    visitor.skip = false;
    visitor.abort = false;
    visitor.Filter(folder, entry);
    visitor.CheckCancel(folder, entry);
    if (!visitor.skip) {
        visitor.Process(folder, entry);
        ++visitor.count;
    }
    return !visitor.abort;
}

bool Walk(const std::wstring& folder, FileApi::BaseFileProc& visitor, bool recursive) {
    for (const std::wstring& mask : visitor.masks) {
        WIN32_FIND_DATAW entry;
        // Basic information and large fetches: the short name is never used.
        FindHandle find(FindFirstFileExW(JoinPath(folder, mask.c_str()).c_str(), FindExInfoBasic,
                                         &entry, FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
        if (!find) continue;
        do {
            if (IsDotEntry(entry.cFileName)) continue;
            // Reparse points are visited, never entered: a link may lead anywhere.
            if (recursive && IsFolder(entry) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                !Walk(JoinPath(folder, entry.cFileName), visitor, true))
                return false;
            if (!VisitEntry(folder, entry, visitor)) return false;
        } while (FindNextFileW(find.Get(), &entry));
    }
    return true;
}

}  // namespace

namespace FileApi {

BaseFileProc::BaseFileProc(const wchar_t* maskText, wchar_t separator) {
    std::wstring text = maskText ? maskText : L"";
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) masks.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (masks.empty()) masks.push_back(L"*");
}

void BaseFileProc::Filter(const std::wstring&, const WIN32_FIND_DATAW&) {}
void BaseFileProc::CheckCancel(const std::wstring&, const WIN32_FIND_DATAW&) {}
void BaseFileProc::Process(const std::wstring&, const WIN32_FIND_DATAW&) {}

GetFileListProc::GetFileListProc(StringList* files, SizeList* sizes, StringList* folders,
                                 const wchar_t* masks, wchar_t separator)
    : BaseFileProc(masks, separator), files_(files), sizes_(sizes), folders_(folders) {}

void GetFileListProc::Filter(const std::wstring&, const WIN32_FIND_DATAW& entry) {
    if (IsFolder(entry) ? folders_ == nullptr : files_ == nullptr) skip = true;
}

void GetFileListProc::Process(const std::wstring& folder, const WIN32_FIND_DATAW& entry) {
    if (IsFolder(entry)) {
        folders_->push_back(JoinPath(folder, entry.cFileName));
        return;
    }
    files_->push_back(JoinPath(folder, entry.cFileName));
    if (sizes_) sizes_->push_back(EntrySize(entry));
}

}  // namespace FileApi

void GetFileListPlugCancelProc::CheckCancel(const std::wstring&, const WIN32_FIND_DATAW&) {
    if (IsCancelled(plugin_)) skip = abort = true;
}

std::vector<FolderEntry> ListFolderEntries(const std::wstring& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic, &entry,
                                     FindExSearchNameMatch, nullptr, 0));
    if (!find) return entries;
    do {
        entries.push_back({entry.cFileName, entry.dwFileAttributes});
    } while (FindNextFileW(find.Get(), &entry));
    return entries;
}

bool IsFolderLink(const std::wstring& path) {
    // With a trailing separator the system answers for the link's target.
    std::wstring name = path;
    while (name.size() > 3 && (name.back() == L'\\' || name.back() == L'/')) name.pop_back();
    DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The folder a walk starts from is checked like every folder below it: a
// link handed in as the start (a bin folder, an account folder) is not entered.
bool WalkFolder(const std::wstring& folder, FileApi::BaseFileProc& visitor) {
    return IsFolderLink(folder) || Walk(folder, visitor, false);
}

bool WalkFolderTree(const std::wstring& folder, FileApi::BaseFileProc& visitor) {
    return IsFolderLink(folder) || Walk(folder, visitor, true);
}

bool GetFileList(const IRunContext* plugin, const std::wstring& folder, StringList* files,
                 StringList* folders, const wchar_t* masks, wchar_t separator, unsigned* count,
                 SizeList* sizes) {
    GetFileListPlugCancelProc visitor(plugin, files, sizes, folders, masks, separator);
    bool result = WalkFolder(folder, visitor);
    if (count) *count = visitor.count;
    return result;
}

uint64_t FolderTreeListing::TotalSize() const {
    uint64_t total = 0;
    for (uint64_t size : sizes) total += size;
    return total;
}

bool ListFolderTree(const IRunContext* plugin, const std::wstring& folder,
                    FolderTreeListing* listing) {
    *listing = {};
    GetFileListPlugCancelProc visitor(plugin, &listing->files, &listing->sizes, &listing->folders,
                                      L"", L'|');
    bool result = WalkFolderTree(folder, visitor);
    listing->entries = visitor.count;
    return result;
}
