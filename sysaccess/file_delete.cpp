#include "sysaccess/file_delete.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "sysaccess/file_bytes.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/os_version.h"
#include "sysaccess/protected_places.h"

namespace {

constexpr DWORD kWipeBlock = 0x10000;

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The Windows 9x way: a "nul = <short path>" line first in WININIT.INI's [rename] section.
bool AddWininitRename(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    std::wstring name = (length > 0 && length < MAX_PATH) ? std::wstring(shortPath, length) : path;
    // The file is read by the 9x boot loader in the system's code page.
    int bytes = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);

    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::wstring iniPath = std::wstring(windows) + L"\\WININIT.INI";

    // A missing file is started afresh.
    std::string text;
    ReadWholeFile(iniPath, text);
    std::string lines;  // line ends as LF while editing
    for (char c : text)
        if (c != '\r') lines += c;

    const std::string header = "[rename]\n";
    std::string entry = "nul = " + narrow + "\n";
    size_t at = lines.find(header);
    if (at == std::string::npos)
        lines += header + entry;
    else
        lines.insert(at + header.size(), entry);

    std::string output;
    for (char c : lines) {
        if (c == '\n') output += '\r';
        output += c;
    }
    return WriteWholeFile(iniPath, output);
}

// The attributes, size and number of names of an open file. Asked for one by
// one: GetFileInformationByHandle also wants the volume's serial number, which
// Wine fetches from its mount manager, a round trip to another process per file.
bool ReadOpenFileInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    FILE_STANDARD_INFO standard = {};
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)) ||
        !GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof(tag)))
        return false;
    info = {};
    info.dwFileAttributes = tag.FileAttributes;
    info.nFileSizeHigh = static_cast<DWORD>(standard.EndOfFile.QuadPart >> 32);
    info.nFileSizeLow = static_cast<DWORD>(standard.EndOfFile.QuadPart);
    info.nNumberOfLinks = standard.NumberOfLinks;
    return true;
}

std::function<bool(const std::wstring&)>& SchedulerOverride() {
    static std::function<bool(const std::wstring&)> scheduler;
    return scheduler;
}

// The deletion waits for the next start; when the system will not take it
// either, the file stays and the scheduler's reason is the one that counts.
DeleteOutcome Defer(const std::wstring& path, DWORD error) {
    if (!ScheduleDeleteOnReboot(path)) return DeleteOutcome::kFailed;
    SetLastError(error);
    return DeleteOutcome::kDeferred;
}

}  // namespace

bool MayOverwriteOpenFile(const BY_HANDLE_FILE_INFORMATION& info) {
    return !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && info.nNumberOfLinks <= 1;
}

WipeOutcome WipeFile(const std::wstring& path) {
    // Opened without following a link, and checked through the handle, so
    // the name cannot be swapped for a link between the check and the writes.
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return IsGone(GetLastError()) ? WipeOutcome::kMissing : WipeOutcome::kFailed;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!ReadOpenFileInformation(file.Get(), info)) return WipeOutcome::kFailed;
    if (!MayOverwriteOpenFile(info)) return WipeOutcome::kShared;

    static const std::string ones(kWipeBlock, '\xFF');
    uint64_t remaining = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    while (remaining > 0) {
        DWORD block = static_cast<DWORD>(remaining < kWipeBlock ? remaining : kWipeBlock);
        DWORD written = 0;
        // A failed or empty write ends the pass as failed instead of looping.
        if (!WriteFile(file.Get(), ones.data(), block, &written, nullptr) || written == 0)
            return WipeOutcome::kFailed;
        remaining -= written;
    }
    // Ones left in the cache are not an overwrite: they may never reach the disk.
    if (!FlushFileBuffers(file.Get())) return WipeOutcome::kFailed;
    return file.Close() ? WipeOutcome::kWiped : WipeOutcome::kFailed;
}

DWORD RewriteFileBytes(const std::wstring& path, std::string_view content) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return GetLastError();
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!ReadOpenFileInformation(file.Get(), info)) return GetLastError();
    if (!MayOverwriteOpenFile(info)) return ERROR_ACCESS_DENIED;
    DWORD written = 0;
    if (!WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr))
        return GetLastError();
    // A short write sets no error of its own.
    if (written != content.size()) return ERROR_HANDLE_DISK_FULL;
    if (!SetEndOfFile(file.Get()) || !file.Close()) return GetLastError();
    return ERROR_SUCCESS;
}

DeleteOutcome DeleteFileEx(const std::wstring& path, bool overwrite) {
    const wchar_t* name = path.c_str();
    DeleteOutcome removed = DeleteOutcome::kRemoved;
    if (overwrite) {
        // Most files open for writing as they are; clearing the attributes of
        // every file up front would cost a trip to the file system each, so
        // only a file that refuses (read-only) gets them cleared and a retry.
        WipeOutcome wiped = WipeFile(path);
        if (wiped == WipeOutcome::kFailed && GetLastError() == ERROR_ACCESS_DENIED &&
            SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL))
            wiped = WipeFile(path);
        if (wiped == WipeOutcome::kMissing) return DeleteOutcome::kRemoved;
        if (wiped == WipeOutcome::kFailed) return Defer(path, GetLastError());
        if (wiped == WipeOutcome::kShared) removed = DeleteOutcome::kRemovedWithoutOverwrite;
    }
    if (DeleteFileW(name)) return removed;
    DWORD error = GetLastError();
    if (IsGone(error)) return removed;
    if (error == ERROR_ACCESS_DENIED && SetFileAttributesW(name, FILE_ATTRIBUTE_NORMAL)) {
        // Read-only, hidden and system files go too.
        if (DeleteFileW(name)) return removed;
        error = GetLastError();
        if (IsGone(error)) return removed;
    }
    return Defer(path, error);
}

bool RemoveFolder(const std::wstring& path) {
    if (!MayRemoveFolder(path)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // On a link this removes the link, never what it leads to.
    return RemoveDirectoryW(path.c_str()) || IsGone(GetLastError());
}

bool ScheduleDeleteOnReboot(const std::wstring& path) {
    if (SchedulerOverride()) return SchedulerOverride()(path);
    if (IsWindowsNT()) return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return AddWininitRename(path);
}

void SetRebootSchedulerOverride(std::function<bool(const std::wstring&)> scheduler) {
    SchedulerOverride() = std::move(scheduler);
}

namespace {

// Deletes the listed files, adding up what went and noting deferrals. False
// when cancelled or when a file stayed.
bool DeleteListedFiles(const StringList& files, const SizeList& sizes, IRunContext* plugin,
                       unsigned* count, uint64_t* size, bool* reboot) {
    bool overwrite = plugin != nullptr && plugin->GetWipeFiles();
    bool allGone = true;
    for (size_t i = 0; i < files.size(); ++i) {
        if (IsCancelled(plugin)) return false;
        DeleteOutcome outcome = DeleteFileEx(files[i], overwrite);
        if (outcome == DeleteOutcome::kFailed) {
            allGone = false;
            continue;
        }
        if (count) ++*count;
        if (size) *size += sizes[i];
        if (outcome == DeleteOutcome::kDeferred) {
            if (plugin) plugin->SetRebootNeeded();
            if (reboot) *reboot = true;
        }
    }
    return allGone;
}

// The guard's answer for a folder about to be emptied; a refusal reads as
// "access denied" to callers that only look at the error code.
bool MayEmpty(const std::wstring& folder) {
    if (MayEmptyFolder(folder)) return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

void ResetOutputs(unsigned* count, uint64_t* size, bool* reboot) {
    if (count) *count = 0;
    if (size) *size = 0;
    if (reboot) *reboot = false;
}

// What a tree deletion removed (or deferred).
struct Removal {
    unsigned count = 0;
    uint64_t size = 0;
    bool deferred = false;
    // A folder not empty although every listed file went: something came after the listing.
    bool leftovers = false;

    void Report(unsigned* countOut, uint64_t* sizeOut, bool* rebootOut) const {
        if (countOut) *countOut = count;
        if (sizeOut) *sizeOut = size;
        if (rebootOut) *rebootOut = deferred;
    }
};

// Deletes the listed files, then the listed folders (each comes after what it
// holds). False when cancelled or when something stayed.
bool DeleteListing(const FolderTreeListing& listing, IRunContext* plugin, Removal& removal) {
    bool result = DeleteListedFiles(listing.files, listing.sizes, plugin, &removal.count,
                                    &removal.size, &removal.deferred);
    if (IsCancelled(plugin)) return false;
    // A folder still holding a file that stayed or waits for the next start is expected.
    const bool listedFilesGone = result && !removal.deferred;
    for (const std::wstring& path : listing.folders) {
        if (IsCancelled(plugin)) return false;
        if (RemoveFolder(path)) {
            ++removal.count;
        } else {
            removal.leftovers =
                removal.leftovers || (listedFilesGone && GetLastError() == ERROR_DIR_NOT_EMPTY);
            result = false;
        }
    }
    return result;
}

// Whether every listed folder is still a plain folder: the listing's paths
// are followed by name, and a folder turned into a link would lead elsewhere.
bool ListedFoldersUnchanged(const FolderTreeListing& listing) {
    return std::all_of(listing.folders.begin(), listing.folders.end(), IsPlainFolder);
}

}  // namespace

bool DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin, bool /*counted*/,
                       unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks) {
    ResetOutputs(count, size, reboot);
    if (!MayEmpty(folder)) return false;
    StringList files;
    SizeList sizes;
    if (!GetFileList(plugin, folder, &files, nullptr, masks, L'|', nullptr, &sizes)) return false;
    return DeleteListedFiles(files, sizes, plugin, count, size, reboot);
}

bool DeleteFolderTree(const std::wstring& folder, IRunContext* plugin, bool /*counted*/,
                      unsigned* count, uint64_t* size, bool* reboot, const wchar_t* masks) {
    ResetOutputs(count, size, reboot);
    if (!MayEmpty(folder)) return false;
    FolderTreeListing listing;
    GetFileListPlugCancelProc visitor(plugin, &listing.files, &listing.sizes, &listing.folders,
                                      masks, L'|');
    if (!WalkFolderTree(folder, visitor)) return false;
    Removal removal;
    bool result = DeleteListing(listing, plugin, removal);
    removal.Report(count, size, reboot);
    return result;
}

bool DeleteListedFolderTree(const std::wstring& folder, const FolderTreeListing& listing,
                            IRunContext* plugin, unsigned* count, uint64_t* size, bool* reboot) {
    ResetOutputs(count, size, reboot);
    if (!MayEmpty(folder)) return false;
    if (IsFolderLink(folder) || !ListedFoldersUnchanged(listing))
        return DeleteFolderTree(folder, plugin, true, count, size, reboot, L"");

    Removal removal;
    bool result = DeleteListing(listing, plugin, removal);
    if (removal.leftovers && !IsCancelled(plugin)) {
        // Files that came after the scan: the walk removes them as before.
        Removal more;
        result =
            DeleteFolderTree(folder, plugin, true, &more.count, &more.size, &more.deferred, L"");
        removal.count += more.count;
        removal.size += more.size;
        removal.deferred = removal.deferred || more.deferred;
    }
    removal.Report(count, size, reboot);
    return result;
}
