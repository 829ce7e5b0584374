#include "plugins/windows/office_recent_files.h"

#include <algorithm>
#include <map>
#include <optional>

#include "plugins/windows/office_mru_item.h"
#include "sysaccess/reg_format.h"

namespace veltrane {

namespace {

constexpr wchar_t kOffice[] = L"Software\\Microsoft\\Office";
constexpr wchar_t kItem[] = L"Item ";
constexpr wchar_t kItemMetadata[] = L"Item Metadata ";
// Office 2007 was the first to keep its lists this way.
constexpr unsigned kFirstVersion = 12;

// The major number of a version key ("16.0"); nothing for other keys.
std::optional<unsigned> VersionOf(const std::wstring& key) {
    if (key.size() < 4 || key.compare(key.size() - 2, 2, L".0") != 0) return std::nullopt;
    return NumberAfter(key.substr(0, key.size() - 2), L"");
}

// The entry number of a numbered list's value ("File3", "File 3").
std::optional<unsigned> NumberedFile(const std::wstring& name) {
    if (auto number = NumberAfter(name, L"File ")) return number;
    return NumberAfter(name, L"File");
}

std::wstring PathOf(const std::wstring& data) {
    const std::optional<OfficeMruItem> item = ParseOfficeMruItem(data);
    return item ? item->path : std::wstring();
}

}  // namespace

CPlgOfficeRecentFiles::CPlgOfficeRecentFiles(CKernel& kernel, const PluginIdentity& identity)
    : CRegistryRowsPlugin(kernel, identity) {}

bool CPlgOfficeRecentFiles::ScanValues() {
    std::vector<std::pair<unsigned, std::wstring>> versions;
    for (const std::wstring& key : SubKeysOf(HKEY_CURRENT_USER, kOffice))
        if (std::optional<unsigned> major = VersionOf(key); major && *major >= kFirstVersion)
            versions.emplace_back(*major, key);
    // The newest Office first.
    std::sort(versions.rbegin(), versions.rend());
    for (const auto& [major, version] : versions) {
        const std::wstring versionKey = std::wstring(kOffice) + L"\\" + version;
        for (const std::wstring& program : SubKeysOf(HKEY_CURRENT_USER, versionKey)) {
            if (IsCancelled()) return false;
            const std::wstring programKey = versionKey + L"\\" + program;
            const std::wstring name = program + L" " + version;
            SetProgress(programKey);
            ScanList(programKey + L"\\File MRU", name + L" - recent documents", ListKind::kEntries);
            ScanList(programKey + L"\\Place MRU", name + L" - recent places", ListKind::kEntries);
            // Each account signed in to Office keeps lists of its own.
            const std::wstring accounts = programKey + L"\\User MRU";
            for (const std::wstring& account : SubKeysOf(HKEY_CURRENT_USER, accounts)) {
                const std::wstring of = L" of account " + account;
                ScanList(accounts + L"\\" + account + L"\\File MRU",
                         name + L" - recent documents" + of, ListKind::kEntries);
                ScanList(accounts + L"\\" + account + L"\\Place MRU",
                         name + L" - recent places" + of, ListKind::kEntries);
            }
            for (const wchar_t* list : {L"\\Recent Files", L"\\Recent File List"})
                ScanList(programKey + list, name + L" - recent documents", ListKind::kNumbered);
        }
    }
    return !IsCancelled();
}

void CPlgOfficeRecentFiles::ScanList(const std::wstring& keyPath, const std::wstring& label,
                                     ListKind kind) {
    const KeyValues& values = ValuesOf(HKEY_CURRENT_USER, keyPath);
    if (values.names.empty()) return;
    std::optional<size_t> group;
    auto groupRow = [&](const std::wstring& name) -> DomainInfo& {
        if (!group) group = AddGroup(label, FormatRegPath(HKEY_CURRENT_USER, keyPath, L""));
        return Row(*group, name);
    };
    std::map<unsigned, DomainInfo*> rowOfEntry;
    for (size_t i = 0; i < values.names.size(); ++i) {
        const std::wstring& name = values.names[i];
        const std::wstring& data = values.data[i];
        const std::optional<unsigned> number =
            kind == ListKind::kEntries ? NumberAfter(name, kItem) : NumberedFile(name);
        if (!number) continue;
        const std::optional<OfficeMruItem> item = ParseOfficeMruItem(data);
        // An entry with no path shows by its name, and goes too.
        DomainInfo& row = groupRow(item ? item->path : name);
        row.lastAccess = item ? item->used : FILETIME{};
        AddValue(row, {HKEY_CURRENT_USER, keyPath, name, data, {}});
        rowOfEntry[*number] = &row;
    }
    if (kind != ListKind::kEntries) return;
    // The metadata goes with its entry; one without an entry has a row of its own.
    for (size_t i = 0; i < values.names.size(); ++i) {
        const std::wstring& name = values.names[i];
        const std::optional<unsigned> number = NumberAfter(name, kItemMetadata);
        if (!number) continue;
        auto entry = rowOfEntry.find(*number);
        if (entry != rowOfEntry.end()) {
            ++entry->second->itemCount;
            entry->second->sizeSum += (name.size() + values.data[i].size()) * sizeof(wchar_t);
            continue;
        }
        AddValue(groupRow(name + L" (details of an entry no longer listed)"),
                 {HKEY_CURRENT_USER, keyPath, name, values.data[i], {}});
    }
}

std::vector<std::wstring> CPlgOfficeRecentFiles::NamesNow(const RowValue& value,
                                                          const KeyValues& now) {
    const bool entry = NumberAfter(value.name, kItem).has_value();
    const bool metadata = NumberAfter(value.name, kItemMetadata).has_value();
    const std::wstring path = entry ? PathOf(value.data) : std::wstring();
    for (size_t i = 0; i < now.names.size(); ++i) {
        const std::wstring& name = now.names[i];
        const std::wstring& data = now.data[i];
        if (entry) {
            const std::optional<unsigned> number = NumberAfter(name, kItem);
            // An entry without a path is known by its data alone.
            if (number && (path.empty() ? data == value.data : PathOf(data) == path))
                return {name, kItemMetadata + std::to_wstring(*number)};
            continue;
        }
        const bool sameKind = metadata ? NumberAfter(name, kItemMetadata).has_value()
                                       : NumberedFile(name).has_value();
        if (sameKind && data == value.data) return {name};
    }
    return {};  // gone since the scan
}

}  // namespace veltrane
