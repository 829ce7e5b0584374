#pragma once
// The recent documents and places of Office 2007 and later (versions 12.0
// and up; the older lists are the Office-era plug-in's): every installed
// version's and program's "File MRU" and "Place MRU", those of each signed-in
// account under "User MRU\<account>", and the numbered "Recent Files" lists.
// Only the entries go ("Item N" with its "Item Metadata N", "File N"); the
// lists' keys and settings beside them stay.
#include "plugins/windows/registry_rows_plugin.h"

namespace veltrane {

class CPlgOfficeRecentFiles : public CRegistryRowsPlugin {
public:
    CPlgOfficeRecentFiles(CKernel& kernel, const PluginIdentity& identity);

protected:
    bool ScanValues() override;
    // Office moves every entry down a number when a document is opened, so
    // an entry is found again by its path, a numbered one by its data.
    std::vector<std::wstring> NamesNow(const RowValue& value, const KeyValues& now) override;

private:
    enum class ListKind { kEntries, kNumbered };
    void ScanList(const std::wstring& keyPath, const std::wstring& label, ListKind kind);
};

}  // namespace veltrane
