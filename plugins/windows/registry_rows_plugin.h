#pragma once
// Rows made of registry values: a scan files each value it lists under a row,
// and the clean deletes the values of every row through the registry
// deletion routines. A value is found again as the row's plug-in says: by its
// name, or (for a list the program renumbers as it is used) by what it holds.
// Every key is opened one level at a time, each as itself: a registry link
// anywhere on a path is neither read through nor deleted through.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugins/windows/grouped_rows_plugin.h"
#include "sysaccess/registry_values.h"

namespace veltrane {

class CRegistryRowsPlugin : public CGroupedRowsPlugin {
public:
    using CGroupedRowsPlugin::CGroupedRowsPlugin;

    Result Scan() override;
    Result Fix() override;

protected:
    struct RowValue {
        HKEY root = HKEY_CURRENT_USER;
        std::wstring keyPath;
        std::wstring name;
        std::wstring data;  // as the scan read it (text values; empty for others)
        // Its type and data as the scan read them (AddValue fills it in): the
        // clean deletes it under its own name only while it still holds them.
        std::optional<RegValueSeal> seal;
    };
    // One key's values as a walk lists them: names and their data as text.
    struct KeyValues {
        std::vector<std::wstring> names;
        std::vector<std::wstring> data;
        std::map<std::wstring, RegValueSeal> seals;  // read by the scan only
    };
    using KeyValuesCache = std::map<std::pair<HKEY, std::wstring>, KeyValues>;

    // Lists the rows; false when cancelled.
    virtual bool ScanValues() = 0;
    // The names under which `value` is to be deleted now, given the key's
    // values as they are now; by default its own name.
    virtual std::vector<std::wstring> NamesNow(const RowValue& value, const KeyValues& now);

    // Files `value` under `row`, sealed with what the scan's ValuesOf read.
    void AddValue(DomainInfo& row, RowValue value);
    // The values of a key, read once per scan.
    const KeyValues& ValuesOf(HKEY root, const std::wstring& keyPath);
    // The keys directly below a key, registry links left out.
    std::vector<std::wstring> SubKeysOf(HKEY root, const std::wstring& keyPath);

private:
    void CleanRow(DomainInfo& row);
    // Deletes `value` from `key` (opened as itself); false with the row's error when it stays.
    bool DeleteValue(DomainInfo& row, HKEY key, const RowValue& value, KeyValues& now);

    std::map<const DomainInfo*, std::vector<RowValue>> values_;
    KeyValuesCache read_;
};

}  // namespace veltrane
