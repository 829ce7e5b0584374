#include "plugins/windows/registry_rows_plugin.h"

#include "sysaccess/file_delete.h"
#include "sysaccess/reg_delete.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

namespace {

constexpr wchar_t kLinkOnPath[] =
    L"Changed since the scan: a key on its path is now a registry link, and Veltrane deletes "
    L"nothing through a link.";

}  // namespace

CPlugin::Result CRegistryRowsPlugin::Scan() {
    ClearGroups();
    values_.clear();
    read_.clear();
    const bool complete = ScanValues();
    read_.clear();
    if (!complete || IsCancelled()) return kCancelled;
    BuildGroupedView();
    return kDone;
}

void CRegistryRowsPlugin::AddValue(DomainInfo& row, RowValue value) {
    const auto key = read_.find({value.root, value.keyPath});
    if (key != read_.end()) {
        const auto seal = key->second.seals.find(value.name);
        if (seal != key->second.seals.end()) value.seal = seal->second;
    }
    ++row.itemCount;
    row.sizeSum += (value.name.size() + value.data.size()) * sizeof(wchar_t);
    // The row is named by its first value, under the name the scan read.
    SetRowItem(row, RegValueItemRef(value.root, value.keyPath, value.name));
    values_[&row].push_back(std::move(value));
}

const CRegistryRowsPlugin::KeyValues& CRegistryRowsPlugin::ValuesOf(HKEY root,
                                                                    const std::wstring& keyPath) {
    auto [entry, added] = read_.try_emplace({root, keyPath});
    if (!added) return entry->second;
    const OpenedRegKey key = OpenRegPathNoLink(root, keyPath, KEY_READ);
    if (key.kind != OpenedRegKey::Kind::kOpened) return entry->second;
    GetRegValuesList(this, key.key.Get(), nullptr, &entry->second.names, &entry->second.data,
                     nullptr);
    for (const std::wstring& name : entry->second.names) {
        const RegValueSealRead read = ReadRegValueSeal(key.key.Get(), name.c_str());
        if (read.kind == RegValueSealRead::Kind::kRead) entry->second.seals[name] = read.seal;
    }
    return entry->second;
}

std::vector<std::wstring> CRegistryRowsPlugin::SubKeysOf(HKEY root, const std::wstring& keyPath) {
    const OpenedRegKey key = OpenRegPathNoLink(root, keyPath, KEY_READ);
    if (key.kind != OpenedRegKey::Kind::kOpened) return {};
    std::vector<std::wstring> subKeys;
    for (std::wstring& name : ListSubKeyNames(key.key.Get()))
        if (OpenRegKeyNoLink(key.key.Get(), name.c_str(), 0).kind == OpenedRegKey::Kind::kOpened)
            subKeys.push_back(std::move(name));
    return subKeys;
}

std::vector<std::wstring> CRegistryRowsPlugin::NamesNow(const RowValue& value, const KeyValues&) {
    return {value.name};
}

bool CRegistryRowsPlugin::DeleteValue(DomainInfo& row, HKEY key, const RowValue& value,
                                      KeyValues& now) {
    for (const std::wstring& name : NamesNow(value, now)) {
        // Under its own name, the value must still hold what the scan read:
        // written again since, it is another item, and stays.
        if (name == value.name) {
            const RegValueSealRead read = ReadRegValueSeal(key, name.c_str());
            if (read.kind == RegValueSealRead::Kind::kMissing) continue;  // gone already
            // What cannot be read cannot be known again: it stays.
            if (read.kind == RegValueSealRead::Kind::kFailed) {
                row.result = DomainInfo::kError;
                row.error.emplace(ItemError::kRegValue,
                                  FormatRegPath(value.root, value.keyPath, name),
                                  ItemError::kSystemMessage, read.error, false);
                return false;
            }
            if (read.seal != value.seal) {
                row.result = DomainInfo::kError;
                row.error.emplace(
                    ItemError::kRegValue, FormatRegPath(value.root, value.keyPath, name),
                    ItemError::kOwnText, 0, false, L"",
                    ChangedSinceScan(L"the value holds other data than the scan read"));
                return false;
            }
        }
        const RegDeleteOutcome outcome = DeleteOpenRegValue(key, name.c_str());
        if (outcome.Deleted()) {
            // Gone from the key as the rest of the clean sees it too.
            for (size_t i = 0; i < now.names.size(); ++i)
                if (now.names[i] == name) {
                    now.names.erase(now.names.begin() + static_cast<ptrdiff_t>(i));
                    now.data.erase(now.data.begin() + static_cast<ptrdiff_t>(i));
                    break;
                }
            continue;
        }
        row.result = DomainInfo::kError;
        row.error.emplace(ItemError::kRegValue, FormatRegPath(value.root, value.keyPath, name),
                          ItemError::kSystemMessage, outcome.error, false);
        return false;
    }
    return true;
}

void CRegistryRowsPlugin::CleanRow(DomainInfo& row) {
    // Asked by the names the scan showed: the program may have renumbered
    // its list since, and a kept row's values stay whatever they are called now.
    std::vector<ItemRef> values;
    for (const RowValue& value : values_[&row])
        values.push_back(RegValueItemRef(value.root, value.keyPath, value.name));
    if (KeepsRow(row, values)) return;
    for (const RowValue& value : values_[&row]) {
        const OpenedRegKey key =
            OpenRegPathNoLink(value.root, value.keyPath, KEY_READ | KEY_SET_VALUE);
        // A key gone since the scan took its values with it.
        if (key.kind == OpenedRegKey::Kind::kMissing) continue;
        if (key.kind != OpenedRegKey::Kind::kOpened) {
            row.result = DomainInfo::kError;
            if (key.kind == OpenedRegKey::Kind::kLink)
                row.error.emplace(ItemError::kRegValue,
                                  FormatRegPath(value.root, value.keyPath, value.name),
                                  ItemError::kOwnText, 0, false, L"", kLinkOnPath);
            else
                row.error.emplace(ItemError::kRegValue,
                                  FormatRegPath(value.root, value.keyPath, value.name),
                                  ItemError::kSystemMessage, key.error, false);
            return;
        }
        auto [cached, added] = read_.try_emplace({value.root, value.keyPath});
        if (added)
            GetRegValuesList(this, key.key.Get(), nullptr, &cached->second.names,
                             &cached->second.data, nullptr);
        if (!DeleteValue(row, key.key.Get(), value, cached->second)) return;
    }
    row.result = DomainInfo::kDeleted;
}

CPlugin::Result CRegistryRowsPlugin::Fix() {
    StartClean();
    read_.clear();
    for (DomainInfo* row : view_) {
        if (IsCancelled()) break;
        SetProgress(row->name);
        CleanRow(*row);
    }
    read_.clear();
    return FinishClean();
}

}  // namespace veltrane
