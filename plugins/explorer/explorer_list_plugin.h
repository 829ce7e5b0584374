#pragma once
// A described plug-in over Explorer's lists in the registry. The values'
// data is binary (shell item lists, UTF-16 text, encoded names), so each
// value found is shown by a text read from it; and lists kept one per
// sub-key (per file type, per program, per folder) are found afresh at every
// scan, each listed value by value.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/explorer/readable_value.h"
#include "plugins/standard/standart_plugin.h"

namespace veltrane {

class CExplorerListPlugin : public CStandartPlugin {
public:
    CExplorerListPlugin(CKernel& kernel, const PluginIdentity& identity, ReportLayout reportLayout);

    Result Scan() override;
    Result Fix() override;

protected:
    // One key, in the engine's `mode`, whose values are laid out as `layout`.
    void AddList(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                 ValueLayout layout);
    // Every sub-key of `parent` that exists at scan time, followed by
    // `below` (such as "\\Count"), as a list of its own.
    void AddListPerSubKey(HKEY root, const std::wstring& parent, const std::wstring& below,
                          CElimAction::RegMode mode, ValueLayout layout);
    // A tree of the user's keys that mirrors folders (ShellBags' BagMRU): each
    // key's values are items below the folder the key stands for. Every value
    // goes; the keys go once the clean has emptied them.
    void AddFolderTree(const std::wstring& keyPath);

private:
    enum class SourceKind { kOneKey, kPerSubKey, kFolderTree };
    struct Source {
        HKEY root;
        std::wstring keyPath;
        std::wstring below;
        CElimAction::RegMode mode;
        ValueLayout layout;
        SourceKind kind;
    };
    // What the plug-in knows of each of the engine's entries.
    struct EntryInfo {
        ValueLayout layout;
        // In a folder tree: the entry of the parent key, and this key's name below it.
        size_t parent = SIZE_MAX;
        std::wstring keyName;
    };
    // The engine's entries as the registry stands now, with the layout of
    // each; made at every scan, so the clean handles what that scan saw.
    void BuildEntries();
    void AddTreeEntries(const Source& source, const std::wstring& keyPath, size_t parent,
                        const std::wstring& keyName, int depth);
    // For each entry of a folder tree, the items of the folder its key stands
    // for: those of its parent, then the item of the parent's value named
    // like the key. Nothing where any of them cannot be read.
    using FolderItems = std::optional<std::vector<uint8_t>>;
    std::vector<FolderItems> FolderItemsOfKeys();
    void DescribeFoundValues();
    void RemoveEmptiedTreeKeys();

    std::vector<Source> sources_;
    std::vector<EntryInfo> entryInfo_;
    std::vector<std::wstring> treeKeys_;  // below HKEY_CURRENT_USER, parents before their sub-keys
};

}  // namespace veltrane
