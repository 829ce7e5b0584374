#include "sysaccess/file_delete.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sysaccess/handles.h"
#include "sysaccess/path_canonical.h"
#include "sysaccess/protected_places.h"

namespace veltrane {

namespace {

constexpr DWORD kWipeBlock = 0x10000;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A folder is opened as itself: a link is never followed to what it leads to.
constexpr DWORD kFolderAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

std::function<bool(const std::wstring&)>& SchedulerOverride() {
    static std::function<bool(const std::wstring&)> scheduler;
    return scheduler;
}

Removal Outcome(RemovalKind kind, DWORD error = ERROR_SUCCESS) { return {kind, error, {}, 0}; }

// The deletion waits for the next start; when the system will not take it
// either, the file stays and the scheduler's reason is the one that counts.
Removal Defer(const std::wstring& path, DWORD error) {
    const PathDeletion scheduled = ScheduleDeleteOnReboot(path);
    if (scheduled.kind != DeleteOutcome::kDeferred)
        return Outcome(RemovalKind::kFailed, scheduled.error);
    return Outcome(RemovalKind::kDeferred, error);
}

// Where a file is opened: by its name inside the open handle of a folder
// already checked, or (no folder) by its full extended-length path.
struct FileRef {
    HANDLE folder = nullptr;
    std::wstring name;
};

struct Opened {
    UniqueHandle handle;
    DWORD error = ERROR_SUCCESS;  // when not opened
};

// Opens a file (never a folder) as itself: a link is not followed.
Opened OpenAsItself(const FileRef& file, DWORD rights, DWORD share) {
    if (!file.folder) {
        UniqueHandle handle(CreateFileW(file.name.c_str(), rights, share, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        const DWORD error = handle ? ERROR_SUCCESS : GetLastError();
        return {std::move(handle), error};
    }
    UNICODE_STRING name;
    name.Buffer = const_cast<wchar_t*>(file.name.c_str());
    name.Length = name.MaximumLength = static_cast<USHORT>(file.name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, file.folder, nullptr);
    IO_STATUS_BLOCK status = {};
    HANDLE handle = nullptr;
    const NTSTATUS result = NtCreateFile(
        &handle, rights, &attributes, &status, nullptr, 0, share, FILE_OPEN,
        FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr,
        0);
    if (result < 0) return {UniqueHandle(), RtlNtStatusToDosError(result)};
    return {UniqueHandle(handle), ERROR_SUCCESS};
}

// Whether the open item is the one meant: with a record, the item the scan
// listed; without, whatever is at `path`, reached through no link or alias.
IdentityOutcome Confirm(HANDLE handle, const FileRef& file, const std::wstring& path,
                        const FileIdentity* recorded) {
    if (recorded)
        return CheckIdentity(
            handle, *recorded,
            file.folder ? IdentityParts::kItemInCheckedFolder : IdentityParts::kItem);
    FileIdentity place;
    place.path = path;
    return CheckIdentity(handle, place, IdentityParts::kPlace);
}

// What a confirmation that did not confirm says about the item.
Removal NotConfirmed(const IdentityOutcome& identity) {
    if (identity.kind == IdentityCheck::kFailed)
        return Outcome(RemovalKind::kFailed, identity.error);
    return {RemovalKind::kChanged, ERROR_SUCCESS, identity.change, 0};
}

// Gives an open file another name (a full canonical path) through its handle,
// so that it is that file, and no other of that name, that moves. An
// existing file of that name is never replaced.
DWORD RenameOpenFile(HANDLE handle, const std::wstring& canonicalTarget) {
    const std::wstring target = L"\\??\\" + ExtendedLengthPath(canonicalTarget).substr(4);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    memcpy(info->FileName, target.data(), info->FileNameLength);
    return SetFileInformationByHandle(handle, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size()))
               ? ERROR_SUCCESS
               : GetLastError();
}

bool SetDeletePending(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof(disposition));
}

// Zero times leave the times as they are.
bool SetAttributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));
}

// One pass of 0xFF over `size` bytes from the start, flushed: ones left in
// the cache are not an overwrite, they may never reach the disk. The Windows
// error of the failed write or flush; ERROR_SUCCESS when done.
DWORD WriteOnes(HANDLE file, uint64_t size) {
    static const std::string ones(kWipeBlock, '\xFF');
    for (uint64_t remaining = size; remaining > 0;) {
        const DWORD block = static_cast<DWORD>(remaining < kWipeBlock ? remaining : kWipeBlock);
        DWORD written = 0;
        // A failed or empty write ends the pass as failed instead of looping.
        if (!WriteFile(file, ones.data(), block, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        remaining -= written;
    }
    return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

enum class RemovalAccess {
    kShared,          // delete only, beside whoever shares the file
    kExclusiveWrite,  // delete and write, shared with nobody: for the overwrite
    // Delete and attributes, shared only with a writer: a read-only file,
    // opened for writing (by this process alone) once its attribute is cleared.
    kExclusiveAttributes,
};

Opened OpenFileToRemove(const FileRef& file, RemovalAccess access) {
    DWORD rights = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
    DWORD share = kShareAll;
    if (access == RemovalAccess::kExclusiveWrite) {
        rights |= FILE_WRITE_DATA;
        share = 0;
    } else if (access == RemovalAccess::kExclusiveAttributes) {
        share = FILE_SHARE_WRITE;
    }
    return OpenAsItself(file, rights, share);
}

// Another program holds the file, or the system will not open it to delete
// it: once a handle that asks for attributes alone (which no sharing refuses)
// shows that it is the file meant, its deletion waits for the next start.
Removal DeferHeld(const FileRef& file, const std::wstring& path, const FileIdentity* recorded,
                  DWORD error) {
    const Opened probe = OpenAsItself(file, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll);
    if (!probe.handle) {
        return IsNotFoundError(probe.error) ? Outcome(RemovalKind::kGone)
                                            : Outcome(RemovalKind::kFailed, error);
    }
    const IdentityOutcome identity = Confirm(probe.handle.Get(), file, path, recorded);
    if (identity.kind != IdentityCheck::kSame) return NotConfirmed(identity);
    if (identity.facts.identity.IsFolder()) return Outcome(RemovalKind::kFailed, error);
    return Defer(path, error);
}

// Overwrites the confirmed file: through `file` when it was opened for
// writing, else through a second handle on the same open file, which no
// name lookup can lead elsewhere.
DWORD OverwriteConfirmed(HANDLE file, bool openedForWriting, uint64_t size) {
    if (openedForWriting) return WriteOnes(file, size);
    UniqueHandle writer(ReOpenFile(file, FILE_WRITE_DATA | SYNCHRONIZE, FILE_SHARE_DELETE,
                                   FILE_FLAG_OPEN_REPARSE_POINT));
    if (!writer) return GetLastError();
    const DWORD error = WriteOnes(writer.Get(), size);
    if (error != ERROR_SUCCESS) return error;
    return writer.Close() ? ERROR_SUCCESS : GetLastError();
}

// Removes the file `ref` names, whose canonical path is `path`.
Removal RemoveFileAt(const FileRef& ref, const std::wstring& path, const FileIdentity* recorded,
                     bool overwrite) {
    bool openedForWriting = overwrite;
    Opened opened =
        OpenFileToRemove(ref, overwrite ? RemovalAccess::kExclusiveWrite : RemovalAccess::kShared);
    if (!opened.handle && overwrite && opened.error == ERROR_ACCESS_DENIED) {
        // Read-only, most likely: not written to before it shows it is the file meant.
        opened = OpenFileToRemove(ref, RemovalAccess::kExclusiveAttributes);
        openedForWriting = false;
    }
    if (!opened.handle) {
        const DWORD error = opened.error;
        if (IsNotFoundError(error)) return Outcome(RemovalKind::kGone);
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED)
            return DeferHeld(ref, path, recorded, error);
        return Outcome(RemovalKind::kFailed, error);
    }
    const UniqueHandle& file = opened.handle;
    const IdentityOutcome identity = Confirm(file.Get(), ref, path, recorded);
    if (identity.kind != IdentityCheck::kSame) return NotConfirmed(identity);
    const HandleFacts& facts = identity.facts;
    if (facts.identity.IsFolder()) return Outcome(RemovalKind::kFailed, ERROR_ACCESS_DENIED);

    // Read-only files go too, once they are known. The attributes belong to
    // the file, not to this name: a file with other names gets them back.
    const DWORD attributes = facts.identity.attributes;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetAttributes(file.Get(), attributes & ~FILE_ATTRIBUTE_READONLY))
        return Defer(path, GetLastError());
    auto restoreAttributes = [&] {
        if (readOnly && facts.links > 1) SetAttributes(file.Get(), attributes);
    };

    Removal removal{RemovalKind::kRemoved, ERROR_SUCCESS, {}, facts.identity.size};
    if (overwrite && !MayOverwrite(facts)) {
        removal.kind = RemovalKind::kRemovedWithoutOverwrite;
    } else if (overwrite) {
        const DWORD error = OverwriteConfirmed(file.Get(), openedForWriting, facts.identity.size);
        if (error != ERROR_SUCCESS) return Defer(path, error);
    }
    if (!SetDeletePending(file.Get())) {
        const DWORD error = GetLastError();
        restoreAttributes();
        return Defer(path, error);
    }
    restoreAttributes();
    return removal;
}

// Removes a folder, confirmed and opened with delete access, through its
// handle; `name` is its extended-length path.
Removal RemoveOpenFolder(UniqueHandle folder, const std::wstring& name) {
    if (!SetDeletePending(folder.Get())) return Outcome(RemovalKind::kFailed, GetLastError());
    folder.Close();
    // Wine lets a file be made in a folder whose deletion is pending, and then keeps the folder.
    if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Outcome(RemovalKind::kFailed, ERROR_DIR_NOT_EMPTY);
    return Outcome(RemovalKind::kRemoved);
}

Removal RemoveFolderAt(const std::wstring& path, const FileIdentity* recorded) {
    const std::wstring name = ExtendedLengthPath(path);
    UniqueHandle folder(CreateFileW(name.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    kShareAll, nullptr, OPEN_EXISTING, kFolderAsItself, nullptr));
    if (!folder) {
        const DWORD error = GetLastError();
        return IsNotFoundError(error) ? Outcome(RemovalKind::kGone)
                                      : Outcome(RemovalKind::kFailed, error);
    }
    const IdentityOutcome identity = Confirm(folder.Get(), {}, path, recorded);
    if (identity.kind == IdentityCheck::kChanged && recorded && recorded->IsLink())
        // Listed as a link, but the system opens what it leads to (Wine does).
        return {RemovalKind::kFailed, ERROR_NOT_SUPPORTED,
                L"The folder is a link: " + identity.change +
                    L". A link is removed only as a link, which this system cannot do, so it "
                    L"stays.",
                0};
    if (identity.kind != IdentityCheck::kSame) return NotConfirmed(identity);
    if (!identity.facts.identity.IsFolder()) return Outcome(RemovalKind::kFailed, ERROR_DIRECTORY);
    return RemoveOpenFolder(std::move(folder), name);
}

// The parent folder of a listed path.
std::wstring ParentOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// The folders of a listing, each opened once and checked (place and id)
// before the files in it are opened by their names through its handle: no
// link above a file can then lead the open elsewhere, and the folder's final
// path is asked for once, not once per file. A folder is kept open with
// delete access, to go through the same handle once its files have.
class CheckedFolders {
public:
    explicit CheckedFolders(const FolderTreeListing& listing) {
        for (const FileIdentity& folder : listing.folders) records_.emplace(folder.path, &folder);
    }

    // The listing's own folder, already checked.
    void AddChecked(const std::wstring& path, UniqueHandle handle) {
        Keep(path, {std::move(handle), false, Outcome(RemovalKind::kRemoved)});
    }

    // The checked handle of the listed folder `path` (null, with what became
    // of the folder, when it is not the listed folder any more).
    HANDLE Open(const std::wstring& path, Removal& refusal) {
        auto found = open_.find(path);
        if (found == open_.end()) found = Keep(path, Check(path));
        refusal = found->second.refusal;
        return found->second.handle.Get();
    }

    // The handle of a folder opened with delete access, taken out; null when none.
    UniqueHandle TakeDeletable(const std::wstring& path) {
        const auto found = open_.find(path);
        if (found == open_.end() || !found->second.deletable) return UniqueHandle();
        return std::move(found->second.handle);
    }

private:
    // Wine keeps a Linux file open per handle: a deep tree is held in part.
    static constexpr size_t kMaxOpen = 256;

    struct Folder {
        UniqueHandle handle;
        bool deletable = false;
        Removal refusal;  // kRemoved when the folder is the listed one
    };

    std::unordered_map<std::wstring, Folder>::iterator Keep(const std::wstring& path,
                                                            Folder folder) {
        if (open_.size() >= kMaxOpen) {
            open_.erase(order_.front());
            order_.pop_front();
        }
        order_.push_back(path);
        return open_.insert_or_assign(path, std::move(folder)).first;
    }

    Folder Check(const std::wstring& path) {
        const std::wstring name = ExtendedLengthPath(path);
        Folder folder;
        DWORD error = ERROR_SUCCESS;
        // Without delete access, when the folder refuses it: its files may go all the same.
        for (const bool deletable : {true, false}) {
            const HANDLE handle = CreateFileW(
                name.c_str(), (deletable ? DELETE : 0) | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                kShareAll, nullptr, OPEN_EXISTING, kFolderAsItself, nullptr);
            error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
            folder.handle.Attach(handle);
            folder.deletable = deletable;
            if (error != ERROR_ACCESS_DENIED) break;
        }
        if (!folder.handle) {
            folder.refusal = IsNotFoundError(error) ? Outcome(RemovalKind::kGone)
                                                    : Outcome(RemovalKind::kFailed, error);
            return folder;
        }
        const auto record = records_.find(path);
        FileIdentity place;
        place.path = path;
        const IdentityOutcome identity =
            record != records_.end()
                ? CheckIdentity(folder.handle.Get(), *record->second, IdentityParts::kItem)
                : CheckIdentity(folder.handle.Get(), place, IdentityParts::kPlace);
        if (identity.kind == IdentityCheck::kSame && identity.facts.identity.IsFolder()) {
            folder.refusal = Outcome(RemovalKind::kRemoved);
            return folder;
        }
        folder.handle.Close();
        if (identity.kind == IdentityCheck::kFailed)
            folder.refusal = Outcome(RemovalKind::kFailed, identity.error);
        else if (identity.kind == IdentityCheck::kSame)
            folder.refusal = {RemovalKind::kChanged, ERROR_SUCCESS, L"its folder is a file now", 0};
        else  // "it ...": said of the file, "its folder ..."
            folder.refusal = {RemovalKind::kChanged, ERROR_SUCCESS,
                              L"its folder" + identity.change.substr(2), 0};
        return folder;
    }

    std::unordered_map<std::wstring, const FileIdentity*> records_;
    std::unordered_map<std::wstring, Folder> open_;
    std::deque<std::wstring> order_;  // oldest first
};

// Adds one item's removal to the tree's, and notes where something stayed.
class TreeTally {
public:
    TreeTally(TreeRemoval& tree, IRunContext* plugin) : tree_(tree), plugin_(plugin) {}

    void Add(const FileIdentity& item, const Removal& removal) {
        switch (removal.kind) {
            case RemovalKind::kRemoved:
            case RemovalKind::kRemovedWithoutOverwrite:
                ++tree_.removed;
                tree_.freedBytes += removal.freedBytes;
                return;
            case RemovalKind::kGone:
                ++tree_.gone;
                return;
            case RemovalKind::kKept:
                // The folders above a kept item stay with it, as kept, not as failures.
                if (tree_.kept++ == 0) tree_.firstKept = removal.kept;
                holdingKept_.insert(ParentOf(item.path));
                return;
            case RemovalKind::kDeferred:
                ++tree_.deferred;
                if (plugin_) plugin_->SetRebootNeeded();
                break;
            case RemovalKind::kChanged:
                ++tree_.changed;
                if (tree_.firstChange.empty())
                    tree_.firstChange = item.path + L": " + removal.change;
                break;
            case RemovalKind::kFailed:
                ++tree_.failed;
                if (tree_.firstError == ERROR_SUCCESS) tree_.firstError = removal.error;
                break;
        }
        holdingLeftItems_.insert(ParentOf(item.path));
    }

    // A folder that is not empty although nothing listed inside it stayed
    // holds what came after the listing.
    Removal Explain(const FileIdentity& folder, Removal removal) const {
        if (removal.kind == RemovalKind::kFailed && removal.error == ERROR_DIR_NOT_EMPTY &&
            !holdingLeftItems_.contains(folder.path))
            return {RemovalKind::kChanged, ERROR_SUCCESS, L"it holds items the scan did not list",
                    0};
        return removal;
    }

    bool HoldsKept(const FileIdentity& folder) const { return holdingKept_.contains(folder.path); }

private:
    TreeRemoval& tree_;
    IRunContext* plugin_;
    std::unordered_set<std::wstring> holdingLeftItems_;  // folders that keep a listed item
    std::unordered_set<std::wstring> holdingKept_;       // folders that hold a kept item
};

// Lists what `depth` takes of `folder` and removes it (DeleteFolderFiles and DeleteFolderTree).
FolderDeletion DeleteFolderListing(const std::wstring& folder, IRunContext* plugin,
                                   const wchar_t* masks, ListingDepth depth) {
    using Kind = FolderDeletion::Kind;
    // A refusal of the guard reads as "access denied" to callers that only look at the code.
    if (!MayEmptyFolder(folder)) return {Kind::kFailed, ERROR_ACCESS_DENIED};
    FolderTreeListing listing;
    const ListingOutcome listed = ListFolderItems(plugin, folder, masks, depth, &listing);
    switch (listed.kind) {
        case ListingResult::kListed:
            break;
        case ListingResult::kMissing:
            return {};
        case ListingResult::kRefused:
            return {Kind::kFailed, ERROR_ACCESS_DENIED};
        case ListingResult::kCancelled:
            return {Kind::kCancelled};
        case ListingResult::kFailed:
            return {Kind::kFailed, listed.error};
    }
    const TreeRemoval tree = RemoveListedTree(listing, plugin);
    FolderDeletion done;
    done.count = tree.removed + tree.deferred;
    done.freedBytes = tree.freedBytes;
    done.deferred = tree.deferred > 0;
    if (tree.cancelled) {
        done.kind = Kind::kCancelled;
    } else if (!tree.Complete()) {
        done.kind = Kind::kFailed;
        done.error = tree.firstError != ERROR_SUCCESS ? tree.firstError : ERROR_ACCESS_DENIED;
    }
    return done;
}

// Kept items are never opened: the user's choice or a rule keeps them as they are.
std::optional<Removal> KeptByChoice(const IRunContext* context, const ItemRef& item) {
    KeepVerdict kept = MayRemove(context, item);
    if (!kept.Keeps()) return std::nullopt;
    return Removal{RemovalKind::kKept, ERROR_SUCCESS, {}, 0, std::move(kept)};
}

}  // namespace

bool MayOverwrite(const HandleFacts& facts) { return !facts.identity.IsLink() && facts.links <= 1; }

Removal RemoveListedFile(const FileIdentity& file, bool overwrite, const IRunContext* context) {
    if (auto kept = KeptByChoice(context, FileItemRef(file.path, file.lastWrite))) return *kept;
    return RemoveFileAt({nullptr, ExtendedLengthPath(file.path)}, file.path, &file, overwrite);
}

Removal RemoveListedFolder(const FileIdentity& folder, const IRunContext* context) {
    if (auto kept = KeptByChoice(context, FolderItemRef(folder.path))) return *kept;
    return RemoveFolderAt(folder.path, &folder);
}

TreeRemoval RemoveListedTree(const FolderTreeListing& listing, IRunContext* plugin) {
    TreeRemoval tree;
    // The folder listed, confirmed once with its volume: when it is another
    // folder now, or reached through a link, nothing below it is the scan's.
    const unsigned items = static_cast<unsigned>(listing.files.size() + listing.folders.size());
    UniqueHandle root(CreateFileW(ExtendedLengthPath(listing.folder.path).c_str(),
                                  FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                  OPEN_EXISTING, kFolderAsItself, nullptr));
    if (!root && IsNotFoundError(GetLastError())) {
        tree.gone = items;
        return tree;
    }
    CheckedFolders folders(listing);
    if (root) {
        const IdentityOutcome identity =
            CheckIdentity(root.Get(), listing.folder, IdentityParts::kItemAndVolume);
        if (identity.kind == IdentityCheck::kChanged) {
            tree.changed = items;
            tree.firstChange = listing.folder.path + L": " + identity.change;
            return tree;
        }
        if (identity.kind == IdentityCheck::kSame)
            folders.AddChecked(listing.folder.path, std::move(root));
    }
    TreeTally tally(tree, plugin);
    const bool overwrite = plugin != nullptr && plugin->GetWipeFiles();
    for (const FileIdentity& file : listing.files) {
        if (IsCancelled(plugin)) {
            tree.cancelled = true;
            return tree;
        }
        if (auto kept = KeptByChoice(plugin, FileItemRef(file.path, file.lastWrite))) {
            tally.Add(file, *kept);
            continue;
        }
        const std::wstring parent = ParentOf(file.path);
        Removal refusal;
        const HANDLE folder = folders.Open(parent, refusal);
        tally.Add(file, folder ? RemoveFileAt({folder, file.path.substr(parent.size() + 1)},
                                              file.path, &file, overwrite)
                               : refusal);
    }
    // Each folder comes after what it holds, through the handle its files
    // were removed through when it has one.
    for (const FileIdentity& folder : listing.folders) {
        if (IsCancelled(plugin)) {
            tree.cancelled = true;
            return tree;
        }
        if (tally.HoldsKept(folder)) {
            tally.Add(folder, Removal{RemovalKind::kKept, ERROR_SUCCESS, {}, 0, tree.firstKept});
            continue;
        }
        if (auto kept = KeptByChoice(plugin, FolderItemRef(folder.path))) {
            tally.Add(folder, *kept);
            continue;
        }
        UniqueHandle open = folders.TakeDeletable(folder.path);
        const Removal removal =
            open ? RemoveOpenFolder(std::move(open), ExtendedLengthPath(folder.path))
                 : RemoveFolderAt(folder.path, &folder);
        tally.Add(folder, tally.Explain(folder, removal));
    }
    return tree;
}

WipeResult WipeFile(const std::wstring& path) {
    const std::wstring canonical = CanonicalPath(path);
    if (canonical.empty()) return {WipeOutcome::kFailed, ERROR_INVALID_NAME};
    // Opened without following a link, shared with nobody, and checked
    // through the handle, so the name cannot be swapped for a link between
    // the check and the writes, nor the content be in use elsewhere.
    // Delete access too: nothing is written into a file that may not then go.
    const FileRef ref{nullptr, ExtendedLengthPath(canonical)};
    Opened file =
        OpenAsItself(ref, DELETE | FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0);
    if (!file.handle)
        return {IsNotFoundError(file.error) ? WipeOutcome::kMissing : WipeOutcome::kFailed,
                file.error};
    const IdentityOutcome identity = Confirm(file.handle.Get(), ref, canonical, nullptr);
    if (identity.kind == IdentityCheck::kFailed) return {WipeOutcome::kFailed, identity.error};
    if (identity.kind == IdentityCheck::kChanged || !MayOverwrite(identity.facts))
        return {WipeOutcome::kShared, ERROR_SUCCESS};
    const DWORD error = WriteOnes(file.handle.Get(), identity.facts.identity.size);
    if (error != ERROR_SUCCESS) return {WipeOutcome::kFailed, error};
    if (!file.handle.Close()) return {WipeOutcome::kFailed, GetLastError()};
    return {WipeOutcome::kWiped, ERROR_SUCCESS};
}

ReplaceOutcome ReplaceFileContent(const std::wstring& path, std::string_view content,
                                  bool overwriteOld) {
    const std::wstring canonical = CanonicalPath(path);
    if (canonical.empty()) return {ReplaceResult::kFailed, ERROR_INVALID_NAME};
    // Write access refuses a read-only file as it always did; sharing nothing
    // refuses a file the browser has open.
    UniqueHandle old(CreateFileW(ExtendedLengthPath(canonical).c_str(),
                                 DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_DATA | SYNCHRONIZE, 0,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!old) {
        const DWORD error = GetLastError();
        return {IsNotFoundError(error) ? ReplaceResult::kMissing : ReplaceResult::kFailed, error};
    }
    const IdentityOutcome identity = Confirm(old.Get(), {}, canonical, nullptr);
    if (identity.kind == IdentityCheck::kFailed) return {ReplaceResult::kFailed, identity.error};
    if (identity.kind == IdentityCheck::kChanged || !MayOverwrite(identity.facts) ||
        identity.facts.identity.IsFolder())
        return {ReplaceResult::kRefused, ERROR_ACCESS_DENIED};

    constexpr DWORD kKeptAttributes =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    const std::wstring newName = canonical + L".veltrane-new";
    UniqueHandle fresh(CreateFileW(ExtendedLengthPath(newName).c_str(),
                                   DELETE | GENERIC_WRITE | SYNCHRONIZE, 0, nullptr, CREATE_NEW,
                                   identity.facts.identity.attributes & kKeptAttributes, nullptr));
    if (!fresh) return {ReplaceResult::kFailed, GetLastError()};
    auto giveUp = [&fresh](DWORD error) {
        SetDeletePending(fresh.Get());
        return ReplaceOutcome{ReplaceResult::kFailed, error};
    };
    DWORD written = 0;
    if (!WriteFile(fresh.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                   nullptr))
        return giveUp(GetLastError());
    // A short write sets no error of its own.
    if (written != content.size()) return giveUp(ERROR_HANDLE_DISK_FULL);
    if (!FlushFileBuffers(fresh.Get())) return giveUp(GetLastError());

    // The old file steps aside, the new one takes its name; should that
    // fail, the old one comes back.
    const std::wstring oldName = canonical + L".veltrane-old";
    if (DWORD error = RenameOpenFile(old.Get(), oldName); error != ERROR_SUCCESS)
        return giveUp(error);
    if (DWORD error = RenameOpenFile(fresh.Get(), canonical); error != ERROR_SUCCESS) {
        if (RenameOpenFile(old.Get(), canonical) == ERROR_SUCCESS) return giveUp(error);
        // The old content stays under its step-aside name, the new one under its own.
        return {ReplaceResult::kFailed, error};
    }
    // The old content goes now; overwritten first when asked, and said so when that failed.
    const DWORD overwritten =
        overwriteOld ? WriteOnes(old.Get(), identity.facts.identity.size) : ERROR_SUCCESS;
    // Should it stay, the lines that were to go stay too, under the step-aside name.
    if (!SetDeletePending(old.Get())) return {ReplaceResult::kFailed, GetLastError()};
    if (overwritten != ERROR_SUCCESS)
        return {ReplaceResult::kReplacedWithoutOverwrite, overwritten};
    return {ReplaceResult::kReplaced, ERROR_SUCCESS};
}

PathDeletion DeleteFileEx(const std::wstring& path, bool overwrite) {
    const std::wstring canonical = CanonicalPath(path);
    if (canonical.empty()) return {DeleteOutcome::kFailed, ERROR_INVALID_NAME};
    const Removal removal =
        RemoveFileAt({nullptr, ExtendedLengthPath(canonical)}, canonical, nullptr, overwrite);
    switch (removal.kind) {
        case RemovalKind::kRemoved:
        case RemovalKind::kGone:
            return {DeleteOutcome::kRemoved};
        case RemovalKind::kRemovedWithoutOverwrite:
            return {DeleteOutcome::kRemovedWithoutOverwrite};
        case RemovalKind::kDeferred:
            return {DeleteOutcome::kDeferred, removal.error};
        case RemovalKind::kChanged:
            // Reached through a link or an alias: what it leads to is not this path's.
            return {DeleteOutcome::kFailed, ERROR_ACCESS_DENIED};
        case RemovalKind::kKept:  // no run context is asked on this path
        case RemovalKind::kFailed:
            break;
    }
    return {DeleteOutcome::kFailed, removal.error};
}

PathDeletion RemoveFolder(const std::wstring& path) {
    if (!MayRemoveFolder(path)) return {DeleteOutcome::kFailed, ERROR_ACCESS_DENIED};
    const std::wstring canonical = CanonicalPath(path);
    const Removal removal = canonical.empty() ? Outcome(RemovalKind::kFailed, ERROR_INVALID_NAME)
                                              : RemoveFolderAt(canonical, nullptr);
    if (removal.kind == RemovalKind::kRemoved || removal.kind == RemovalKind::kGone)
        return {DeleteOutcome::kRemoved};
    return {DeleteOutcome::kFailed,
            removal.kind == RemovalKind::kChanged ? DWORD{ERROR_ACCESS_DENIED} : removal.error};
}

PathDeletion ScheduleDeleteOnReboot(const std::wstring& path) {
    if (SchedulerOverride()) {
        if (SchedulerOverride()(path)) return {DeleteOutcome::kDeferred};
        return {DeleteOutcome::kFailed, ERROR_ACCESS_DENIED};  // as a refusing system would
    }
    if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return {DeleteOutcome::kDeferred};
    return {DeleteOutcome::kFailed, GetLastError()};
}

void SetRebootSchedulerOverride(std::function<bool(const std::wstring&)> scheduler) {
    SchedulerOverride() = std::move(scheduler);
}

FolderDeletion DeleteFolderFiles(const std::wstring& folder, IRunContext* plugin,
                                 const wchar_t* masks) {
    return DeleteFolderListing(folder, plugin, masks, ListingDepth::kFiles);
}

FolderDeletion DeleteFolderTree(const std::wstring& folder, IRunContext* plugin,
                                const wchar_t* masks) {
    return DeleteFolderListing(folder, plugin, masks, ListingDepth::kTree);
}

}  // namespace veltrane
