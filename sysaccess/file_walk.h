#pragma once
// Folder walkers: a folder is listed with one or more wildcard masks and each
// entry is handed to a visitor ("Proc") object.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sysaccess/file_identity.h"
#include "sysaccess/reg_walk.h"  // StringList
#include "sysaccess/run_context.h"

namespace veltrane {

using SizeList = std::vector<uint64_t>;

// Masks from one string split at `separator` ("*.ARL|*.AUT"); an empty or
// missing string gives the single mask "*".
std::vector<std::wstring> SplitMasks(const wchar_t* masks, wchar_t separator);
// Whether `name` matches `mask` ("*": any run of characters, "?": any one),
// case aside; "*" and "*.*" take every name.
bool MatchesMask(std::wstring_view name, std::wstring_view mask);

namespace FileApi {

// Masks come from one string split at `separator` ("*.ARL|*.AUT"); an empty
// or missing string gives the single mask "*".
class BaseFileProc {
public:
    BaseFileProc(const wchar_t* masks, wchar_t separator);
    virtual ~BaseFileProc() = default;

    virtual void Filter(const std::wstring& folder, const WIN32_FIND_DATAW& entry);
    virtual void CheckCancel(const std::wstring& folder, const WIN32_FIND_DATAW& entry);
    virtual void Process(const std::wstring& folder, const WIN32_FIND_DATAW& entry);

    bool skip = false;
    bool abort = false;
    unsigned count = 0;
    std::vector<std::wstring> masks;
};

// Collects full paths of files (with their sizes when asked) and of folders.
class GetFileListProc : public BaseFileProc {
public:
    GetFileListProc(StringList* files, SizeList* sizes, StringList* folders, const wchar_t* masks,
                    wchar_t separator);
    void Filter(const std::wstring& folder, const WIN32_FIND_DATAW& entry) override;
    void Process(const std::wstring& folder, const WIN32_FIND_DATAW& entry) override;

protected:
    StringList* files_;
    SizeList* sizes_;
    StringList* folders_;
};

}  // namespace FileApi

class GetFileListPlugCancelProc : public FileApi::GetFileListProc {
public:
    GetFileListPlugCancelProc(const IRunContext* plugin, StringList* files, SizeList* sizes,
                              StringList* folders, const wchar_t* masks, wchar_t separator)
        : GetFileListProc(files, sizes, folders, masks, separator), plugin_(plugin) {}
    void CheckCancel(const std::wstring& folder, const WIN32_FIND_DATAW& entry) override;

private:
    const IRunContext* plugin_;
};

// One entry of a folder as the system lists it.
struct FolderEntry {
    std::wstring name;
    DWORD attributes = 0;
};
// Every entry directly in `folder`, "." and ".." included, in the system's
// order; none when it cannot be listed. Unlike the walks below, a start
// folder that is a link is listed: the caller reads names, it deletes nothing.
std::vector<FolderEntry> ListFolderEntries(const std::wstring& folder);

// True when `path` is a reparse point (a junction, a folder link): walkers
// never enter one, and deleting it means removing the link only.
bool IsFolderLink(const std::wstring& path);

// True when the walk ran to its end, false when a visitor aborted. A folder
// that does not exist, or is a link, holds nothing. A file matching two masks is visited twice.
bool WalkFolder(const std::wstring& folder, FileApi::BaseFileProc& visitor);
// Also every folder below (only sub-folders whose names match a mask);
// entries below a folder always come before the folder itself.
bool WalkFolderTree(const std::wstring& folder, FileApi::BaseFileProc& visitor);

// The entries directly in `folder`; `sizes` (optional) follows `files`.
bool GetFileList(const IRunContext* plugin, const std::wstring& folder, StringList* files,
                 StringList* folders, const wchar_t* masks, wchar_t separator, unsigned* count,
                 SizeList* sizes = nullptr);
// What a listing through folder handles found: every item with its identity,
// as the clean that follows is to find it again. A link is listed, never
// entered. The clean works from it instead of walking the folder again.
struct FolderTreeListing {
    FileIdentity folder;  // the folder listed, with its volume
    std::vector<FileIdentity> files;
    std::vector<FileIdentity> folders;  // each after what it holds
    unsigned entries = 0;               // files and folders listed

    uint64_t TotalSize() const;
};

enum class ListingDepth {
    kFiles,            // the files directly in the folder
    kFilesAndFolders,  // and the folders directly in it, not entered
    kTree,             // everything below it
};
enum class ListingResult {
    kListed,
    kMissing,  // no such folder: nothing to list
    kRefused,  // the folder is a link, or reached through one or through an alias
    kCancelled,
    kFailed,
};
struct [[nodiscard]] ListingOutcome {
    ListingResult kind = ListingResult::kFailed;
    DWORD error = ERROR_SUCCESS;  // kFailed
    std::wstring reason;          // kRefused, as the report shows it
};
// Lists `folder` through a handle that follows no link, after checking that
// its final path is the folder's canonical path. `masks` ("|"-separated;
// null or empty: every entry) select the entries directly in the folder, in
// mask order, each entry once; below it every entry is listed.
ListingOutcome ListFolderItems(const IRunContext* plugin, const std::wstring& folder,
                               const wchar_t* masks, ListingDepth depth,
                               FolderTreeListing* listing);

}  // namespace veltrane
