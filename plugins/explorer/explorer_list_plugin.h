#pragma once
// A described plug-in over Explorer's lists in the registry. The values'
// data is binary (shell item lists, UTF-16 text, encoded names), so each
// value found is shown by a text read from it; and lists kept one per
// sub-key (per file type, per program) are found afresh at every scan, each
// listed value by value.
#include <windows.h>

#include <string>
#include <vector>

#include "plugins/explorer/readable_value.h"
#include "plugins/standard/standart_plugin.h"

class CExplorerListPlugin : public CStandartPlugin {
public:
    CExplorerListPlugin(CKernel& kernel, const PluginIdentity& identity, ReportLayout reportLayout);

    Result Scan() override;

protected:
    // One key, in the engine's `mode`, whose values are laid out as `layout`.
    void AddList(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                 ValueLayout layout);
    // Every sub-key of `parent` that exists at scan time, followed by
    // `below` (such as "\\Count"), as a list of its own.
    void AddListPerSubKey(HKEY root, const std::wstring& parent, const std::wstring& below,
                          CElimAction::RegMode mode, ValueLayout layout);

private:
    struct Source {
        HKEY root;
        std::wstring keyPath;
        std::wstring below;
        CElimAction::RegMode mode;
        ValueLayout layout;
        bool perSubKey;
    };

    // The engine's entries as the registry stands now, with the layout of
    // each; made at every scan, so the clean handles what that scan saw.
    void BuildEntries();
    void DescribeFoundValues();

    std::vector<Source> sources_;
    std::vector<ValueLayout> entryLayouts_;
};
