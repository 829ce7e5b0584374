#include "plugins/explorer/explorer_list_plugin.h"

#include "sysaccess/com_owners.h"
#include "sysaccess/handles.h"
#include "sysaccess/path_macros.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"
#include "sysaccess/registry_values.h"

namespace {

// Explorer's list values are a few hundred bytes; anything far larger is
// not one of them and is shown by its name.
constexpr DWORD kLargestDescribedValue = 64 * 1024;

bool ReadValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<uint8_t>& data) {
    return ReadRegBytes(key, name.c_str(), type, data, kLargestDescribedValue);
}

}  // namespace

CExplorerListPlugin::CExplorerListPlugin(CKernel& kernel, const PluginIdentity& identity,
                                         ReportLayout reportLayout)
    : CStandartPlugin(kernel, identity, reportLayout) {
    SetValueFlags({.showData = true});
}

void CExplorerListPlugin::AddList(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                                  ValueLayout layout) {
    sources_.push_back({root, keyPath, L"", mode, layout, false});
}

void CExplorerListPlugin::AddListPerSubKey(HKEY root, const std::wstring& parent,
                                           const std::wstring& below, CElimAction::RegMode mode,
                                           ValueLayout layout) {
    sources_.push_back({root, parent, below, mode, layout, true});
}

void CExplorerListPlugin::BuildEntries() {
    Engine().regEntries.clear();
    entryLayouts_.clear();
    auto add = [this](const Source& source, const std::wstring& keyPath) {
        AddRegEntry(source.root, keyPath, source.mode);
        entryLayouts_.push_back(source.layout);
    };
    for (const Source& source : sources_) {
        if (!source.perSubKey) {
            add(source, source.keyPath);
            continue;
        }
        StringList subKeys;
        GetRegValuesList(this, source.root, source.keyPath.c_str(), nullptr, nullptr, &subKeys);
        for (const std::wstring& subKey : subKeys) {
            // A registry link among them is an entry of its own, which the
            // scan shows as a link and the clean leaves: the path below it
            // would lead into the key it points to.
            const std::wstring key = source.keyPath + L"\\" + subKey;
            const bool link =
                OpenRegKeyNoLink(source.root, key.c_str(), 0).kind == OpenedRegKey::Kind::kLink;
            add(source, link ? key : key + source.below);
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
        // Naming an item list may take the shell's folder objects.
        ScopedComApartment apartment;
        DescribeFoundValues();
    }
    return result;
}

void CExplorerListPlugin::DescribeFoundValues() {
    std::vector<CElimAction::SRegEntry>& entries = Engine().regEntries;
    for (size_t i = 0; i < entries.size(); ++i) {
        CElimAction::SRegEntry& entry = entries[i];
        if (entry.absent) continue;
        const RegKey key =
            OpenRegKey(entry.root, ExpandUserNameMacro(entry.keyPath).c_str(), KEY_QUERY_VALUE);
        if (!key) continue;
        for (CElimAction::SRegRecord& record : entry.found) {
            // The key itself and its sub-keys have no data of their own.
            if (record.isKey || record.name == record.regPath) continue;
            DWORD type = REG_NONE;
            std::vector<uint8_t> data;
            std::wstring text;
            if (ReadValue(key.Get(), record.regName, type, data))
                text = ReadableValueText(entryLayouts_[i], record.regName, type, data);
            record.valueData = text.empty() ? record.regName : text;
        }
    }
}
