#include "plugins/standard/elim_action.h"

#include <algorithm>
#include <map>

#include "plugins/standard/standart_plugin.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/path_join.h"
#include "sysaccess/path_macros.h"
#include "sysaccess/protected_places.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_markers.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/registry_text.h"

namespace veltrane {

namespace {

constexpr wchar_t kAllEntries[] = L"*.*";

// The text a value's data is shown and matched by: the text itself for a
// string, a marker for anything else. Nothing when the value does not exist.
bool ReadValueText(HKEY key, const std::wstring& name, std::wstring& text) {
    RegText value;
    if (ReadRegText(key, name.c_str(), value) != RegTextRead::kRead) return false;
    const wchar_t* marker = DataMarkerFor(value.type);
    text = marker != nullptr ? marker : std::move(value.text);
    return true;
}

// A folder of files (Recent's jump lists, a browser's cache) is a plug-in's
// own trace folder, emptied of its listed files even inside the user's
// Documents; a whole tree is emptied only where no user's files are.
FolderAction GuardActionFor(CElimAction::FileMode mode) {
    return mode == CElimAction::kFolderFiles ? FolderAction::kEmptyTraceFolder
                                             : FolderAction::kEmpty;
}

// The name a listed item is shown by: the entry's folder as the user knows
// it, and the item's place below it.
std::wstring ShownName(const std::wstring& folder, const FolderTreeListing& listing,
                       const FileIdentity& item) {
    const std::wstring& root = listing.folder.path;
    const size_t skip = root.size() + (root.back() == L'\\' ? 0 : 1);
    return JoinPath(folder, std::wstring_view(item.path).substr(skip));
}

// The reason shown for a failure: the system's message, or "Unknown error."
// when the failure came without a code.
ItemError::Reason ReasonFor(DWORD code) {
    return code != 0 ? ItemError::kSystemMessage : ItemError::kUnknown;
}

// Fails a registry row with a reason of its own.
void FailRegRecord(CElimAction::SRegRecord& record, const std::wstring& reason,
                   std::vector<ItemError>& errors) {
    record.status = CElimAction::kFailed;
    errors.emplace_back(record.isKey ? ItemError::kRegKey : ItemError::kRegValue, record.name,
                        ItemError::kOwnText, 0, false, L"", reason);
    record.errorNumber = errors.size();
}

// A registry row as its deletion left it.
void SettleRegRecord(CElimAction::SRegRecord& record, const RegDeleteOutcome& outcome,
                     std::vector<ItemError>& errors) {
    switch (outcome.kind) {
        case RegDeleteOutcome::Kind::kDeleted:
            record.status = CElimAction::kRemoved;
            return;
        case RegDeleteOutcome::Kind::kGone:
            record.status = CElimAction::kGone;
            return;
        case RegDeleteOutcome::Kind::kLink:
            FailRegRecord(record, kRegistryLinkLeft, errors);
            return;
        case RegDeleteOutcome::Kind::kLinkInside:
            FailRegRecord(record, kRegistryLinkInside, errors);
            return;
        case RegDeleteOutcome::Kind::kKept:
            record.status = CElimAction::kKept;
            record.kept = outcome.kept;
            return;
        default:
            CElimAction::Fail(record, errors, ReasonFor(outcome.error), outcome.error);
            return;
    }
}

// A value row whose key the clean could not open: gone with its key, or
// failed. False when the key is open and the row is still to be settled.
bool SettleWithoutKey(const OpenedRegKey& key, CElimAction::SRegRecord& record,
                      std::vector<ItemError>& errors) {
    switch (key.kind) {
        case OpenedRegKey::Kind::kOpened:
            return false;
        case OpenedRegKey::Kind::kMissing:
            record.status = CElimAction::kGone;
            return true;
        case OpenedRegKey::Kind::kLink:
            FailRegRecord(record, kRegistryLinkLeft, errors);
            return true;
        case OpenedRegKey::Kind::kFailed:
            break;
    }
    CElimAction::Fail(record, errors, ReasonFor(key.error), key.error);
    return true;
}

// The user's choice (an unticked row, an exclusion) keeps the value; it is
// not touched. True when it stays for that.
bool KeptByChoice(const IRunContext& run, const ItemRef& item, CElimAction::SRegRecord& record) {
    KeepVerdict kept = run.MayRemove(item);
    if (!kept.Keeps()) return false;
    record.status = CElimAction::kKept;
    record.kept = std::move(kept);
    return true;
}

// Deletes a listed value of the open key only while it still holds the type
// and data the scan read: a value written again since then is another
// item. True when it was left for that.
bool DeleteListedValue(HKEY key, CElimAction::SRegRecord& record, std::vector<ItemError>& errors) {
    const RegValueSealRead now = ReadRegValueSeal(key, record.regName.c_str());
    switch (now.kind) {
        case RegValueSealRead::Kind::kMissing:
            record.status = CElimAction::kGone;
            return false;
        case RegValueSealRead::Kind::kFailed:
            CElimAction::Fail(record, errors, ReasonFor(now.error), now.error);
            return false;
        case RegValueSealRead::Kind::kRead:
            break;
    }
    if (record.seal != now.seal) {
        FailRegRecord(record, ChangedSinceScan(L"the value holds other data than the scan read"),
                      errors);
        return true;
    }
    SettleRegRecord(record, DeleteOpenRegValue(key, record.regName.c_str()), errors);
    return false;
}

// Why the clean must leave a whole entry: its key is a registry link, or
// its path reaches a key other than the one the scan saw. Nothing when the
// key is as the scan found it, or gone (its rows then count as removed).
std::optional<std::wstring> LeaveReason(const CElimAction::SRegEntry& entry,
                                        const std::wstring& keyPath) {
    if (!entry.found.empty() && !entry.found.front().refusal.empty())
        return entry.found.front().refusal;
    const OpenedRegKey key = OpenRegKeyNoLink(entry.root, keyPath.c_str(), KEY_QUERY_VALUE);
    if (key.kind == OpenedRegKey::Kind::kLink) return kRegistryLinkLeft;
    if (key.kind != OpenedRegKey::Kind::kOpened || !entry.scanKeyName) return std::nullopt;
    const std::optional<std::wstring> name = TryReadRegKeyName(key.key.Get());
    if (name &&
        CompareStringOrdinal(name->c_str(), -1, entry.scanKeyName->c_str(), -1, TRUE) == CSTR_EQUAL)
        return std::nullopt;
    return std::wstring(
        L"Changed since the scan: this path now leads through a registry link to another key.");
}

// "HKEY_CURRENT_USER\<key path>", or "HKEY_LOCAL_MACHINE\<key path>" for any other root.
std::wstring DisplayRegKey(HKEY root, const std::wstring& keyPath) {
    return (root == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + keyPath;
}

}  // namespace

void CElimAction::StepDots() {
    dots_ += L'.';
    plugin_.SetProgress(dots_);
}

bool CElimAction::Scan() {
    dots_.clear();
    newerThanLimit = 0;
    for (SFileEntry& entry : fileEntries) {
        entry.found.clear();
        entry.absent = false;
    }
    for (SRegEntry& entry : regEntries) {
        entry.found.clear();
        entry.absent = false;
        entry.scanStamp.reset();
        entry.scanKeyName.reset();
    }
    for (SFileEntry& entry : fileEntries) {
        if (plugin_.IsCancelled() || !ScanFileEntry(entry)) return false;
    }
    for (SRegEntry& entry : regEntries) {
        if (plugin_.IsCancelled() || !ScanRegEntry(entry)) return false;
    }
    plugin_.PostProgressNow(CPlugin::SharedPages().resScanFinished);
    return true;
}

bool CElimAction::ScanFileEntry(SFileEntry& entry) {
    bool anyEmpty = false;
    std::wstring path = ExpandPathMacros(entry.path, &anyEmpty);
    // A macro that came out empty names an application that is not there;
    // what is left of the path ("\Cache4") would point at somebody else's files.
    if (anyEmpty || path.empty()) {
        entry.absent = true;
        return true;
    }
    if (entry.mode == kSingleFile) {
        StepDots();
        return ScanSingleFile(entry, path);
    }
    // A folder that is, holds or lies in the user's own files, or that a link
    // leads elsewhere, shows as one row that the clean fails with the
    // guard's reason; nothing inside is listed.
    auto refuse = [&entry, &path](std::wstring reason) {
        SFileRecord record;
        record.name = path;
        record.isFolder = true;
        record.refusal = std::move(reason);
        entry.found.push_back(std::move(record));
        return true;
    };
    PlaceVerdict verdict = CheckFolder(path, GuardActionFor(entry.mode));
    if (!verdict.allowed) return refuse(std::move(verdict.reason));

    const bool tree = entry.mode == kFolderTree;
    plugin_.SetProgress(JoinPath(path, tree ? kAllEntries : entry.mask));
    FolderTreeListing top;
    const ListingOutcome listed =
        ListFolderItems(&plugin_, path, entry.mask.c_str(),
                        tree ? ListingDepth::kFilesAndFolders : ListingDepth::kFiles, &top);
    switch (listed.kind) {
        case ListingResult::kListed:
            break;
        case ListingResult::kCancelled:
            return false;
        case ListingResult::kRefused:
            return refuse(listed.reason);
        case ListingResult::kMissing:
        case ListingResult::kFailed:
            return true;  // nothing found
    }
    for (FileIdentity& folder : top.folders) {
        SFileRecord record;
        record.name = ShownName(path, top, folder);
        plugin_.SetProgress(JoinPath(record.name, kAllEntries));
        record.isFolder = true;
        // A link is removed as a link: nothing behind it belongs to this folder.
        if (!folder.IsLink()) {
            auto listing = std::make_shared<FolderTreeListing>();
            const ListingOutcome below =
                ListFolderItems(&plugin_, folder.path, nullptr, ListingDepth::kTree, listing.get());
            if (below.kind == ListingResult::kCancelled) return false;
            if (below.kind == ListingResult::kListed) {
                record.size = listing->TotalSize();
                record.subitemsFound = listing->entries;
                record.listing = std::move(listing);
            }
        }
        record.itemKey = ItemKey(FolderItemRef(folder.path));
        record.identity = std::move(folder);
        entry.found.push_back(std::move(record));
    }
    for (FileIdentity& file : top.files) {
        // Too new for the age limit: not listed, only counted. (Inside a
        // listed folder such a file stays listed; the clean keeps it, and the
        // folder with it.)
        if (plugin_.IsTooNew(file.lastWrite)) {
            ++newerThanLimit;
            continue;
        }
        SFileRecord record;
        record.name = ShownName(path, top, file);
        record.size = file.size;
        record.subitemsFound = 1;
        record.itemKey = ItemKey(FileItemRef(file.path));
        record.identity = std::move(file);
        entry.found.push_back(std::move(record));
    }
    return true;
}

bool CElimAction::ScanSingleFile(SFileEntry& entry, const std::wstring& path) {
    IdentityReadOutcome read = ReadFileIdentity(path);
    if (read.kind == IdentityRead::kMissing || read.kind == IdentityRead::kFailed) {
        entry.absent = true;
        return true;
    }
    SFileRecord record;
    record.name = path;
    record.subitemsFound = 1;
    if (read.kind == IdentityRead::kRefused) {
        record.refusal = std::move(read.reason);
    } else {
        record.size = read.identity.size;
        record.itemKey = ItemKey(FileItemRef(read.identity.path));
        record.identity = std::move(read.identity);
    }
    entry.found.push_back(std::move(record));
    return true;
}

bool CElimAction::ScanRegEntry(SRegEntry& entry) {
    std::wstring keyPath = ExpandUserNameMacro(entry.keyPath);
    std::wstring display = DisplayRegKey(entry.root, keyPath);
    const std::wstring regPath = display + L"\\";
    // An empty path would open the root itself, which no entry means.
    OpenedRegKey opened;
    if (!keyPath.empty()) opened = OpenRegKeyNoLink(entry.root, keyPath.c_str(), KEY_READ);
    if (opened.kind == OpenedRegKey::Kind::kLink) {
        // One row for the link; nothing behind it is listed, and the clean leaves it.
        SRegRecord link;
        link.name = regPath;
        link.regPath = regPath;
        link.isKey = true;
        link.refusal = kRegistryLinkLeft;
        if (showValueData) link.valueData = kRegistryLinkLeft;
        entry.found.push_back(std::move(link));
        return true;
    }
    if (opened.kind != OpenedRegKey::Kind::kOpened) {
        entry.absent = true;
        return true;
    }
    const RegKey& key = opened.key;
    entry.scanKeyName = TryReadRegKeyName(key.Get());

    // Lists run to tens of thousands of values: each is built without passing copies around.
    auto addValue = [&](std::wstring valueName, std::wstring data) {
        SRegRecord record;
        const RegValueSealRead read = ReadRegValueSeal(key.Get(), valueName.c_str());
        if (read.kind == RegValueSealRead::Kind::kRead) record.seal = read.seal;
        const std::wstring_view shown = valueName.empty() && entry.mode != kSingleValue
                                            ? std::wstring_view(L"(default)")
                                            : std::wstring_view(valueName);
        record.name.reserve(regPath.size() + shown.size());
        record.name.append(regPath).append(shown);
        record.regPath = regPath;
        record.itemKey = ItemKey(RegValueItemRef(entry.root, keyPath, valueName));
        record.regName = std::move(valueName);
        record.subitemsFound = 1;
        if (showValueData) record.valueData = std::move(data);
        entry.found.push_back(std::move(record));
    };

    switch (entry.mode) {
        case kSingleValue: {
            StepDots();
            std::wstring data;
            if (!ReadValueText(key.Get(), entry.valueName, data)) {
                entry.absent = true;
                return true;
            }
            addValue(entry.valueName, data);
            return true;
        }
        case kAllValues: {
            plugin_.SetProgress(JoinPath(display, kAllEntries));
            // Taken before the listing: a change while it runs shows as a changed stamp.
            entry.scanStamp = ReadRegKeyStamp(key.Get());
            StringList names;
            StringList data;
            if (!GetRegValuesListEnhanced(&plugin_, entry.root, keyPath.c_str(), &names,
                                          showValueData ? &data : nullptr, nullptr))
                return false;
            entry.found.reserve(names.size());
            for (size_t i = 0; i < names.size(); ++i)
                addValue(std::move(names[i]),
                         i < data.size() ? std::move(data[i]) : std::wstring());
            return true;
        }
        case kKeyTree: {
            plugin_.SetProgress(JoinPath(display, kAllEntries));
            StringList names;
            StringList subKeys;
            if (!GetRegValuesList(&plugin_, entry.root, keyPath.c_str(), &names, nullptr, &subKeys))
                return false;
            SRegRecord self;
            self.name = regPath;
            self.regPath = regPath;
            self.subitemsFound = 1;
            self.itemKey = ItemKey(RegKeyItemRef(entry.root, keyPath));
            entry.found.push_back(std::move(self));
            for (const std::wstring& subKey : subKeys) {
                plugin_.SetProgress(JoinPath(subKey, kAllEntries));
                unsigned count = 0;
                if (!CountRegTree(&plugin_, entry.root, JoinPath(keyPath, subKey).c_str(), &count))
                    return false;
                SRegRecord record;
                record.name = regPath + subKey;
                record.regPath = regPath;
                record.regName = subKey;
                record.itemKey = ItemKey(RegKeyItemRef(entry.root, JoinPath(keyPath, subKey)));
                record.isKey = true;
                record.subitemsFound = count;
                entry.found.push_back(std::move(record));
            }
            plugin_.SetProgress(JoinPath(display, kAllEntries));
            for (const std::wstring& name : names) addValue(name, std::wstring());
            return true;
        }
        default:
            entry.absent = true;
            return true;
    }
}

bool CElimAction::Fix(std::vector<ItemError>& errors) {
    dots_.clear();
    for (SFileEntry& entry : fileEntries) {
        if (entry.absent) continue;
        if (plugin_.IsCancelled() || !FixFileEntry(entry, errors)) return false;
    }
    for (SRegEntry& entry : regEntries) {
        if (entry.absent) continue;
        if (plugin_.IsCancelled() || !FixRegEntry(entry, errors)) return false;
    }
    plugin_.PostProgressNow(CPlugin::SharedPages().resFixFinished);
    return true;
}

bool CElimAction::LeftItems() const {
    auto left = [](const SStatistics& record) { return record.status == kFailed; };
    for (const SFileEntry& entry : fileEntries)
        if (!entry.absent && std::any_of(entry.found.begin(), entry.found.end(), left)) return true;
    for (const SRegEntry& entry : regEntries)
        if (!entry.absent && std::any_of(entry.found.begin(), entry.found.end(), left)) return true;
    return false;
}

void CElimAction::DeleteFileRecord(SFileRecord& record, bool overwrite,
                                   std::vector<ItemError>& errors) {
    const Removal removal = RemoveListedFile(record.identity, overwrite, &plugin_);
    switch (removal.kind) {
        case RemovalKind::kKept:
            record.status = kKept;
            record.kept = removal.kept;
            return;
        case RemovalKind::kRemoved:
        case RemovalKind::kRemovedWithoutOverwrite:
            record.status =
                removal.kind == RemovalKind::kRemoved ? kRemoved : kRemovedNotOverwritten;
            record.subitemsRemoved = 1;
            record.removedSize = removal.freedBytes;
            return;
        case RemovalKind::kDeferred:
            plugin_.SetRebootNeeded();
            record.AddDeferred(errors, overwrite, removal.error);
            record.errorNumber = errors.size();
            return;
        case RemovalKind::kGone:
            record.status = kGone;
            return;
        case RemovalKind::kChanged:
            FailWithReason(record, ChangedSinceScan(removal.change), errors);
            return;
        case RemovalKind::kFailed:
            Fail(record, errors, ReasonFor(removal.error), removal.error);
            return;
    }
}

void CElimAction::FailWithReason(SFileRecord& record, const std::wstring& reason,
                                 std::vector<ItemError>& errors) {
    record.status = kFailed;
    errors.emplace_back(record.isFolder ? ItemError::kFolder : ItemError::kFile, record.name,
                        ItemError::kOwnText, 0, false, L"", reason);
    record.errorNumber = errors.size();
}

void CElimAction::FailFolder(SFileRecord& record, const TreeRemoval& tree, const Removal& removal,
                             std::vector<ItemError>& errors) {
    if (tree.deferred > 0) {
        Fail(record, errors, ItemError::kFolderKeptForReboot, removal.error);
    } else if (tree.changed > 0) {
        FailWithReason(record, ChangedSinceScan(tree.firstChange), errors);
    } else if (removal.kind == RemovalKind::kChanged) {
        FailWithReason(record, ChangedSinceScan(removal.change), errors);
    } else if (tree.failed > 0) {
        Fail(record, errors, ReasonFor(tree.firstError), tree.firstError);
    } else if (removal.error == ERROR_DIR_NOT_EMPTY) {
        // Nothing listed inside stayed: what keeps the folder came after the scan.
        FailWithReason(record, ChangedSinceScan(L"it holds items the scan did not list"), errors);
    } else if (!removal.change.empty()) {
        FailWithReason(record, removal.change, errors);
    } else {
        Fail(record, errors, ReasonFor(removal.error), removal.error);
    }
}

bool CElimAction::DeleteFolderRecord(SFileRecord& record, const std::wstring& mask,
                                     std::vector<ItemError>& errors) {
    plugin_.SetProgress(JoinPath(record.name, mask));
    // A kept folder keeps everything the scan listed in it.
    if (KeepVerdict kept = plugin_.MayRemove(FolderItemRef(record.identity.path)); kept.Keeps()) {
        record.status = kKept;
        record.kept = std::move(kept);
        return true;
    }
    TreeRemoval tree;
    if (record.listing) {
        tree = RemoveListedTree(*record.listing, &plugin_);
        record.subitemsRemoved = tree.removed + tree.deferred;
        record.removedSize = tree.freedBytes;
        if (tree.cancelled) return false;
    }
    // A folder the guard keeps (the temporary folder itself) says so, unless
    // what it held changed since the scan.
    const PlaceVerdict allowed = CheckFolder(record.name, FolderAction::kRemove);
    if (!allowed.allowed && tree.changed == 0) {
        FailWithReason(record, allowed.reason, errors);
        return true;
    }
    // What the user or a rule kept inside keeps the folder, as kept.
    if (tree.kept > 0 && tree.changed == 0 && tree.failed == 0 && tree.deferred == 0) {
        record.status = kKept;
        record.kept = tree.firstKept;
        return true;
    }
    const Removal removal = allowed.allowed
                                ? RemoveListedFolder(record.identity, &plugin_)
                                : Removal{RemovalKind::kFailed, ERROR_ACCESS_DENIED, {}, 0};
    if (removal.kind == RemovalKind::kKept) {
        record.status = kKept;
        record.kept = removal.kept;
    } else if (removal.kind == RemovalKind::kRemoved) {
        record.status = kRemoved;
    } else if (removal.kind == RemovalKind::kGone) {
        record.status = record.subitemsRemoved > 0 ? kRemoved : kGone;
    } else {
        FailFolder(record, tree, removal, errors);
    }
    return true;
}

bool CElimAction::FixFileEntry(SFileEntry& entry, std::vector<ItemError>& errors) {
    const bool overwrite = plugin_.GetWipeFiles();
    const std::wstring path = ExpandPathMacros(entry.path);
    const std::wstring progress = JoinPath(path, entry.mask);
    // The folder the scan listed is asked about again: a link put in its
    // place or above it since then leads somewhere else.
    std::wstring refusedNow;
    if (entry.mode != kSingleFile) {
        const PlaceVerdict verdict = CheckFolder(path, GuardActionFor(entry.mode));
        if (!verdict.allowed)
            refusedNow = ChangedSinceScan(L"the folder " + path + L" is refused now (" +
                                          verdict.reason + L")");
    }
    bool filesAnnounced = false;
    for (SFileRecord& record : entry.found) {
        if (plugin_.IsCancelled()) return false;
        if (record.status == kHidden) continue;
        if (!record.refusal.empty() || !refusedNow.empty()) {
            FailWithReason(record, record.refusal.empty() ? refusedNow : record.refusal, errors);
            continue;
        }
        if (record.isFolder) {
            if (!DeleteFolderRecord(record, entry.mask, errors)) return false;
            filesAnnounced = false;
            continue;
        }
        if (entry.mode == kSingleFile) {
            StepDots();
        } else if (!filesAnnounced) {
            plugin_.SetProgress(progress);
            filesAnnounced = true;
        }
        DeleteFileRecord(record, overwrite, errors);
    }
    return true;
}

bool CElimAction::FixRegEntry(SRegEntry& entry, std::vector<ItemError>& errors) {
    std::wstring keyPath = ExpandUserNameMacro(entry.keyPath);
    if (keyPath.empty()) return true;
    if (const std::optional<std::wstring> reason = LeaveReason(entry, keyPath)) {
        for (SRegRecord& record : entry.found)
            if (record.status != kHidden) FailRegRecord(record, *reason, errors);
        return true;
    }
    switch (entry.mode) {
        case kSingleValue: {
            const OpenedRegKey key = OpenRegKeyNoLink(entry.root, keyPath.c_str(), KEY_SET_VALUE);
            for (SRegRecord& record : entry.found) {
                if (plugin_.IsCancelled()) return false;
                if (record.status == kHidden) continue;
                StepDots();
                if (KeptByChoice(plugin_, RegValueItemRef(entry.root, keyPath, record.regName),
                                 record))
                    continue;
                if (!SettleWithoutKey(key, record, errors))
                    DeleteListedValue(key.key.Get(), record, errors);
            }
            return true;
        }
        case kAllValues:
            return FixAllValues(entry, keyPath, errors);
        case kKeyTree:
            return FixKeyTree(entry, keyPath, DisplayRegKey(entry.root, keyPath), errors);
        default:
            return true;
    }
}

bool CElimAction::ReadNamesBySeal(const SRegEntry& entry, const std::wstring& keyPath, HKEY key,
                                  std::multimap<RegValueSeal, std::wstring>& names) {
    StringList list;
    if (!GetRegValuesList(&plugin_, entry.root, keyPath.c_str(), &list, nullptr, nullptr))
        return false;
    for (std::wstring& name : list) {
        const RegValueSealRead read = ReadRegValueSeal(key, name.c_str());
        if (read.kind == RegValueSealRead::Kind::kRead) names.emplace(read.seal, std::move(name));
    }
    return true;
}

bool CElimAction::FixAllValues(SRegEntry& entry, const std::wstring& keyPath,
                               std::vector<ItemError>& errors) {
    plugin_.SetProgress(JoinPath(DisplayRegKey(entry.root, keyPath), kAllEntries));
    // One open key for the whole list: opening it per value doubles the
    // system calls of a long list.
    const OpenedRegKey opened = OpenRegKeyNoLink(entry.root, keyPath.c_str(), KEY_SET_VALUE);
    const HKEY key = opened.key.Get();
    // Nothing written to the key since the scan: every value still holds what
    // the scan read, and reading each again would double the clean's work.
    const bool unchangedSinceScan =
        key && entry.scanStamp && ReadRegKeyStamp(key) == entry.scanStamp;
    // A list its program renumbers is followed by what each value holds:
    // one whose data is nowhere in the key any more is gone.
    std::optional<std::multimap<RegValueSeal, std::wstring>> bySeal;

    for (SRegRecord& record : entry.found) {
        if (plugin_.IsCancelled()) return false;
        if (record.status == kHidden) continue;
        // Asked by the name the scan showed: that is the row the user saw.
        if (KeptByChoice(plugin_, RegValueItemRef(entry.root, keyPath, record.regName), record))
            continue;
        if (SettleWithoutKey(opened, record, errors)) continue;
        if (unchangedSinceScan) {
            SettleRegRecord(record, DeleteOpenRegValue(key, record.regName.c_str()), errors);
            continue;
        }
        if (!matchByData || !record.seal) {
            DeleteListedValue(key, record, errors);
            continue;
        }
        if (!bySeal && !ReadNamesBySeal(entry, keyPath, key, bySeal.emplace())) return false;
        auto match = bySeal->find(*record.seal);
        if (match == bySeal->end()) {
            record.status = kGone;
            continue;
        }
        SettleRegRecord(record, DeleteOpenRegValue(key, match->second.c_str()), errors);
        bySeal->erase(match);
    }
    return true;
}

bool CElimAction::FixKeyTree(SRegEntry& entry, const std::wstring& keyPath,
                             const std::wstring& display, std::vector<ItemError>& errors) {
    if (entry.found.empty()) return true;
    // The key itself is listed first but can only go once it is empty, and it
    // stays when anything below it was kept.
    bool valuesAnnounced = false;
    bool linkLeft = false;
    bool changedLeft = false;
    std::optional<OpenedRegKey> valuesKey;
    std::optional<KeepVerdict> keptBelow;
    for (size_t i = 1; i < entry.found.size(); ++i) {
        SRegRecord& record = entry.found[i];
        if (plugin_.IsCancelled()) return false;
        if (record.status == kHidden) continue;
        if (record.isKey) {
            plugin_.SetProgress(JoinPath(record.regName, kAllEntries));
            std::wstring subKey = JoinPath(keyPath, record.regName);
            const RegDeleteOutcome emptied =
                DeleteRegTreeContents(entry.root, subKey.c_str(), &plugin_);
            record.subitemsRemoved = emptied.deleted;
            if (emptied.kind == RegDeleteOutcome::Kind::kCancelled) return false;
            linkLeft |= emptied.kind == RegDeleteOutcome::Kind::kLink ||
                        emptied.kind == RegDeleteOutcome::Kind::kLinkInside;
            SettleRegRecord(record,
                            emptied.Deleted()
                                ? DeleteEmptyRegKey(entry.root, subKey.c_str(), &plugin_)
                                : emptied,
                            errors);
            if (record.status == kKept && !keptBelow) keptBelow = record.kept;
            continue;
        }
        if (!valuesAnnounced) {
            plugin_.SetProgress(JoinPath(display, kAllEntries));
            valuesAnnounced = true;
            valuesKey = OpenRegKeyNoLink(entry.root, keyPath.c_str(), KEY_SET_VALUE);
        }
        if (KeptByChoice(plugin_, RegValueItemRef(entry.root, keyPath, record.regName), record)) {
            if (!keptBelow) keptBelow = record.kept;
            continue;
        }
        if (!SettleWithoutKey(*valuesKey, record, errors))
            changedLeft |= DeleteListedValue(valuesKey->key.Get(), record, errors);
    }
    valuesKey.reset();  // the key itself goes next
    if (plugin_.IsCancelled()) return false;
    SRegRecord& self = entry.found.front();
    if (self.status == kHidden) return true;
    if (keptBelow) {  // it holds what stays, so it stays too, as kept
        self.status = kKept;
        self.kept = *keptBelow;
        return true;
    }
    // Emptied, it still stays when its own row was unticked.
    if (KeptByChoice(plugin_, RegKeyItemRef(entry.root, keyPath), self)) return true;
    RegDeleteOutcome removed = DeleteEmptyRegKey(entry.root, keyPath.c_str());
    // What keeps it is the link left below, not the key's fullness as such.
    if (linkLeft && !removed.Deleted()) removed.kind = RegDeleteOutcome::Kind::kLinkInside;
    if (changedLeft && !removed.Deleted())
        FailRegRecord(
            self, ChangedSinceScan(L"a value in it was written after the scan, and stays"), errors);
    else
        SettleRegRecord(self, removed, errors);
    return true;
}

}  // namespace veltrane
