#include "sysaccess/file_walk.h"

#include <optional>

#include "sysaccess/handles.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/path_join.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

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

BaseFileProc::BaseFileProc(const wchar_t* maskText, wchar_t separator)
    : masks(SplitMasks(maskText, separator)) {}

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

std::vector<std::wstring> SplitMasks(const wchar_t* maskText, wchar_t separator) {
    std::vector<std::wstring> masks;
    std::wstring text = maskText ? maskText : L"";
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        if (end > start) masks.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (masks.empty()) masks.push_back(L"*");
    return masks;
}

bool MatchesMask(std::wstring_view name, std::wstring_view mask) {
    if (mask == L"*" || mask == L"*.*") return true;
    auto same = [](wchar_t a, wchar_t b) { return SamePath({&a, 1}, {&b, 1}); };
    size_t n = 0;
    size_t m = 0;
    size_t starMask = std::wstring_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == L'?' || same(mask[m], name[n]))) {
            ++n;
            ++m;
        } else if (starMask != std::wstring_view::npos) {
            // The last "*" takes one character more.
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*') ++m;
    return m == mask.size();
}

uint64_t FolderTreeListing::TotalSize() const {
    uint64_t total = 0;
    for (const FileIdentity& file : files) total += file.size;
    return total;
}

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A folder is opened as itself: a link is never followed to what it leads to.
constexpr DWORD kFolderAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD kListingBuffer = 64 * 1024;

UniqueHandle OpenFolderToList(const std::wstring& canonical) {
    return UniqueHandle(CreateFileW(ExtendedLengthPath(canonical).c_str(),
                                    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    kShareAll, nullptr, OPEN_EXISTING, kFolderAsItself, nullptr));
}

// One entry of a folder as its handle lists it; its identity has no path yet.
struct ListedEntry {
    std::wstring name;
    FileIdentity identity;
};
struct EntriesRead {
    DWORD error = ERROR_SUCCESS;
    std::vector<ListedEntry> entries;
};

bool IsDotName(std::wstring_view name) { return name == L"." || name == L".."; }

template <typename Info>
void AddEntries(const BYTE* buffer, std::vector<ListedEntry>& entries) {
    for (const BYTE* at = buffer;;) {
        const Info& info = *reinterpret_cast<const Info*>(at);
        std::wstring_view name(info.FileName, info.FileNameLength / sizeof(wchar_t));
        if (!IsDotName(name)) {
            ListedEntry entry{std::wstring(name), {}};
            entry.identity.attributes = info.FileAttributes;
            if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                entry.identity.size = static_cast<uint64_t>(info.EndOfFile.QuadPart);
            entry.identity.lastWrite = {static_cast<DWORD>(info.LastWriteTime.QuadPart),
                                        static_cast<DWORD>(info.LastWriteTime.QuadPart >> 32)};
            if constexpr (requires(const Info& listed) { listed.FileId; })
                entry.identity.fileId = static_cast<uint64_t>(info.FileId.QuadPart);
            entries.push_back(std::move(entry));
        }
        if (info.NextEntryOffset == 0) return;
        at += info.NextEntryOffset;
    }
}

// Reads the whole folder through `restart`, then `next` until no entry is
// left; false when the first read fails (the error is in `read`).
template <typename Info>
bool ReadAllEntries(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS restart,
                    FILE_INFO_BY_HANDLE_CLASS next, std::vector<BYTE>& buffer, EntriesRead& read) {
    FILE_INFO_BY_HANDLE_CLASS kind = restart;
    while (GetFileInformationByHandleEx(folder, kind, buffer.data(),
                                        static_cast<DWORD>(buffer.size()))) {
        AddEntries<Info>(buffer.data(), read.entries);
        kind = next;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return true;
    read.error = error;
    return false;
}

// Every entry of an open folder but "." and "..", with ids, sizes, times and
// attributes at no cost per entry. A file system that keeps no file ids
// (FAT, some network shares) is read without them: its items are known again
// by place, size and time only.
EntriesRead ReadFolderEntries(HANDLE folder) {
    std::vector<BYTE> buffer(kListingBuffer);
    EntriesRead read;
    if (ReadAllEntries<FILE_ID_BOTH_DIR_INFO>(folder, FileIdBothDirectoryRestartInfo,
                                              FileIdBothDirectoryInfo, buffer, read))
        return read;
    if (read.error != ERROR_INVALID_PARAMETER && read.error != ERROR_NOT_SUPPORTED &&
        read.error != ERROR_INVALID_FUNCTION && read.error != ERROR_INVALID_LEVEL)
        return read;
    read = {};
    ReadAllEntries<FILE_FULL_DIR_INFO>(folder, FileFullDirectoryRestartInfo, FileFullDirectoryInfo,
                                       buffer, read);
    return read;
}

class FolderLister {
public:
    FolderLister(const IRunContext* plugin, FolderTreeListing& listing)
        : plugin_(plugin), listing_(listing) {}

    // The entries of `folder` that `masks` select, in mask order.
    ListingOutcome ListTop(HANDLE folder, const std::wstring& path,
                           const std::vector<std::wstring>& masks, ListingDepth depth) {
        EntriesRead read = ReadFolderEntries(folder);
        if (read.error != ERROR_SUCCESS) return {ListingResult::kFailed, read.error, {}};
        std::vector<bool> taken(read.entries.size(), false);
        for (const std::wstring& mask : masks) {
            for (size_t i = 0; i < read.entries.size(); ++i) {
                ListedEntry& entry = read.entries[i];
                if (taken[i] || !MatchesMask(entry.name, mask)) continue;
                taken[i] = true;
                if (entry.identity.IsFolder() && depth == ListingDepth::kFiles) continue;
                if (!Add(path, entry, depth == ListingDepth::kTree))
                    return {ListingResult::kCancelled, ERROR_SUCCESS, {}};
            }
        }
        return {ListingResult::kListed, ERROR_SUCCESS, {}};
    }

private:
    bool ListBelow(HANDLE folder, const std::wstring& path) {
        for (ListedEntry& entry : ReadFolderEntries(folder).entries)
            if (!Add(path, entry, true)) return false;
        return true;
    }

    // Lists one entry, and with `enter` what a folder holds before the folder.
    bool Add(const std::wstring& parent, ListedEntry& entry, bool enter) {
        if (IsCancelled(plugin_)) return false;
        entry.identity.path = JoinPath(parent, entry.name);
        entry.identity.volumeSerial = listing_.folder.volumeSerial;
        ++listing_.entries;
        if (!entry.identity.IsFolder()) {
            listing_.files.push_back(std::move(entry.identity));
            return true;
        }
        if (enter && !entry.identity.IsLink()) {
            // Entered only while it is still the folder just listed: one
            // that became a link meanwhile is listed, and its clean refuses it.
            UniqueHandle below = OpenFolderToList(entry.identity.path);
            if (below &&
                CheckIdentity(below.Get(), entry.identity, IdentityParts::kItem).kind ==
                    IdentityCheck::kSame &&
                !ListBelow(below.Get(), entry.identity.path))
                return false;
        }
        listing_.folders.push_back(std::move(entry.identity));
        return true;
    }

    const IRunContext* plugin_;
    FolderTreeListing& listing_;
};

}  // namespace

ListingOutcome ListFolderItems(const IRunContext* plugin, const std::wstring& folder,
                               const wchar_t* masks, ListingDepth depth,
                               FolderTreeListing* listing) {
    *listing = {};
    const std::wstring canonical = CanonicalPath(folder);
    if (canonical.empty()) return {ListingResult::kFailed, ERROR_INVALID_NAME, {}};
    UniqueHandle handle = OpenFolderToList(canonical);
    if (!handle) {
        const DWORD error = GetLastError();
        if (IsNotFoundError(error)) return {ListingResult::kMissing, ERROR_SUCCESS, {}};
        return {ListingResult::kFailed, error, {}};
    }
    const std::optional<std::wstring> finalPath = TryFinalPath(handle.Get());
    if (!finalPath || !IsDirectFinalPath(*finalPath, canonical))
        return {ListingResult::kRefused, ERROR_SUCCESS,
                L"The folder is not listed: it " + LeadsElsewhere(finalPath) + L"."};
    FactsOutcome read = ReadHandleFacts(handle.Get());
    if (read.kind != FactsRead::kRead) return {ListingResult::kFailed, read.error, {}};
    if (!read.facts.identity.IsFolder()) return {ListingResult::kMissing, ERROR_SUCCESS, {}};
    if (read.facts.identity.IsLink())
        return {ListingResult::kRefused, ERROR_SUCCESS,
                L"The folder is not listed: it is a link, and a link is never entered."};
    listing->folder = std::move(read.facts.identity);
    listing->folder.path = canonical;
    listing->folder.volumeSerial = TryVolumeSerial(handle.Get()).value_or(0);
    return FolderLister(plugin, *listing)
        .ListTop(handle.Get(), canonical, SplitMasks(masks, L'|'), depth);
}

}  // namespace veltrane
