#include "plugins/explorer/explorer_list_plugin.h"

#include <optional>

#include "plugins/explorer/shell_item_list.h"
#include "sysaccess/com_owners.h"
#include "sysaccess/handles.h"
#include "sysaccess/path_macros.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

namespace {

// Explorer's list values are a few hundred bytes; anything far larger is
// not one of them and is shown by its name.
constexpr DWORD kLargestDescribedValue = 64 * 1024;
// Deeper than any folder path Explorer could have remembered.
constexpr int kDeepestFolderKey = 128;

std::optional<RegBytes> TryReadValue(HKEY key, const std::wstring& name) {
    return TryReadRegBytes(key, name.c_str(), kLargestDescribedValue);
}

// The items (without the list's terminator) of a folder tree's value.
std::optional<std::vector<uint8_t>> ItemsOfValue(HKEY key, const std::wstring& name) {
    std::optional<RegBytes> value = TryReadValue(key, name);
    if (!value || value->type != REG_BINARY) return std::nullopt;
    std::vector<uint8_t>& data = value->data;
    const size_t length = ItemListLength(data.data(), data.size());
    if (length == 0) return std::nullopt;
    data.resize(length - 2);
    return std::move(data);
}

// A folder tree's value as one absolute list: the items of its key's folder,
// then its own; nothing when the folder is not known.
std::vector<uint8_t> BelowFolder(const std::optional<std::vector<uint8_t>>& folder,
                                 const std::vector<uint8_t>& data) {
    const size_t length = ItemListLength(data.data(), data.size());
    if (!folder || length == 0) return {};
    std::vector<uint8_t> list = *folder;
    list.insert(list.end(), data.begin(), data.begin() + length);
    return list;
}

}  // namespace

CExplorerListPlugin::CExplorerListPlugin(CKernel& kernel, const PluginIdentity& identity,
                                         ReportLayout reportLayout)
    : CStandartPlugin(kernel, identity, reportLayout) {
    SetValueFlags({.showData = true});
}

void CExplorerListPlugin::AddList(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                                  ValueLayout layout) {
    sources_.push_back({root, keyPath, L"", mode, layout, SourceKind::kOneKey});
}

void CExplorerListPlugin::AddListPerSubKey(HKEY root, const std::wstring& parent,
                                           const std::wstring& below, CElimAction::RegMode mode,
                                           ValueLayout layout) {
    sources_.push_back({root, parent, below, mode, layout, SourceKind::kPerSubKey});
}

void CExplorerListPlugin::AddFolderTree(const std::wstring& keyPath) {
    sources_.push_back({HKEY_CURRENT_USER, keyPath, L"", CElimAction::kAllValues,
                        ValueLayout::kFolderItem, SourceKind::kFolderTree});
}

void CExplorerListPlugin::AddTreeEntries(const Source& source, const std::wstring& keyPath,
                                         size_t parent, const std::wstring& keyName, int depth) {
    std::vector<std::wstring> subKeys;
    bool link = false;
    {
        const OpenedRegKey key = OpenRegKeyNoLink(source.root, keyPath.c_str(), KEY_READ);
        if (key.kind == OpenedRegKey::Kind::kLink)
            link = true;  // listed, so the scan shows it as a link; never entered
        else if (key.kind != OpenedRegKey::Kind::kOpened)
            return;
        else
            subKeys = ListSubKeyNames(key.key.Get());
    }
    const size_t self = Engine().regEntries.size();
    AddRegEntry(source.root, keyPath, CElimAction::kAllValues);
    entryInfo_.push_back({ValueLayout::kFolderItem, parent, keyName});
    treeKeys_.push_back(keyPath);
    if (link || depth >= kDeepestFolderKey) return;
    for (const std::wstring& subKey : subKeys)
        AddTreeEntries(source, keyPath + L"\\" + subKey, self, subKey, depth + 1);
}

void CExplorerListPlugin::BuildEntries() {
    Engine().regEntries.clear();
    entryInfo_.clear();
    treeKeys_.clear();
    auto add = [this](const Source& source, const std::wstring& keyPath) {
        AddRegEntry(source.root, keyPath, source.mode);
        entryInfo_.push_back({source.layout, SIZE_MAX, L""});
    };
    for (const Source& source : sources_) {
        switch (source.kind) {
            case SourceKind::kOneKey:
                add(source, source.keyPath);
                break;
            case SourceKind::kPerSubKey: {
                StringList subKeys;
                GetRegValuesList(this, source.root, source.keyPath.c_str(), nullptr, nullptr,
                                 &subKeys);
                for (const std::wstring& subKey : subKeys) {
                    // A registry link among them is an entry of its own, which the
                    // scan shows as a link and the clean leaves: the path below it
                    // would lead into the key it points to.
                    const std::wstring key = source.keyPath + L"\\" + subKey;
                    const bool link = OpenRegKeyNoLink(source.root, key.c_str(), 0).kind ==
                                      OpenedRegKey::Kind::kLink;
                    add(source, link ? key : key + source.below);
                }
                break;
            }
            case SourceKind::kFolderTree:
                AddTreeEntries(source, source.keyPath, SIZE_MAX, L"", 0);
                break;
        }
    }
}

CPlugin::Result CExplorerListPlugin::Scan() {
    BuildEntries();
    // The engine would read each value's data only to put a marker in its
    // place (and stop at a value larger than its buffer); the texts shown
    // are read here instead.
    Engine().showValueData = false;
    const Result result = CStandartPlugin::Scan();
    Engine().showValueData = true;
    if (result == kDone) {
        // Naming an item of a kind our decoder does not know takes the shell's folder objects.
        ScopedComApartment apartment;
        DescribeFoundValues();
    }
    return result;
}

CPlugin::Result CExplorerListPlugin::Fix() {
    const Result result = CStandartPlugin::Fix();
    if (result == kDone) RemoveEmptiedTreeKeys();
    return result;
}

std::vector<CExplorerListPlugin::FolderItems> CExplorerListPlugin::FolderItemsOfKeys() {
    const std::vector<CElimAction::SRegEntry>& entries = Engine().regEntries;
    std::vector<FolderItems> folders(entries.size());
    // Parents come before their sub-keys.
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryInfo& info = entryInfo_[i];
        if (info.layout != ValueLayout::kFolderItem || entries[i].absent) continue;
        if (info.parent == SIZE_MAX) {
            folders[i].emplace();  // the tree's root: the desktop
            continue;
        }
        if (!folders[info.parent]) continue;
        const RegKey parent =
            OpenRegKey(HKEY_CURRENT_USER, entries[info.parent].keyPath.c_str(), KEY_QUERY_VALUE);
        if (auto items = parent ? ItemsOfValue(parent.Get(), info.keyName) : std::nullopt) {
            folders[i] = folders[info.parent];
            folders[i]->insert(folders[i]->end(), items->begin(), items->end());
        }
    }
    return folders;
}

void CExplorerListPlugin::DescribeFoundValues() {
    std::vector<CElimAction::SRegEntry>& entries = Engine().regEntries;
    const std::vector<FolderItems> folders = FolderItemsOfKeys();
    for (size_t i = 0; i < entries.size(); ++i) {
        CElimAction::SRegEntry& entry = entries[i];
        const ValueLayout layout = entryInfo_[i].layout;
        if (entry.absent) continue;
        const RegKey key =
            OpenRegKey(entry.root, ExpandUserNameMacro(entry.keyPath).c_str(), KEY_QUERY_VALUE);
        for (CElimAction::SRegRecord& record : entry.found) {
            // The key itself and its sub-keys have no data of their own.
            if (record.isKey || record.name == record.regPath) continue;
            std::wstring text;
            std::optional<RegBytes> value;
            if (key && IsListEntry(layout, record.regName) &&
                (value = TryReadValue(key.Get(), record.regName))) {
                if (layout == ValueLayout::kFolderItem)
                    value->data = BelowFolder(folders[i], value->data);
                text = ReadableValueText(layout, record.regName, value->type, value->data);
            }
            record.valueData = ShownValueText(layout, record.regName, std::move(text));
        }
    }
}

void CExplorerListPlugin::RemoveEmptiedTreeKeys() {
    // Sub-keys before their parents; a key that holds something the scan did
    // not list stays, and so does one the run keeps (an exclusion names it).
    for (auto key = treeKeys_.rbegin(); key != treeKeys_.rend(); ++key) {
        if (IsCancelled()) return;
        const RegDeleteOutcome removed = DeleteEmptyRegKey(HKEY_CURRENT_USER, key->c_str(), this);
        // A key that still holds something, or is or holds a link, stays as it is.
        if (removed.Deleted() || removed.kind != RegDeleteOutcome::Kind::kFailed ||
            removed.error == ERROR_DIR_NOT_EMPTY)
            continue;
        errors.emplace_back(ItemError::kRegKey, L"HKEY_CURRENT_USER\\" + *key,
                            ItemError::kSystemMessage, removed.error, false);
    }
}

}  // namespace veltrane
