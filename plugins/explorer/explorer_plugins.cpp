#include "plugins/explorer/explorer_plugins.h"

namespace veltrane {

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
using Mode = CElimAction;
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

std::wstring ExplorerKey(const wchar_t* name) { return std::wstring(kExplorer) + name; }

}  // namespace

CPlgExplorerRecentDocs::CPlgExplorerRecentDocs(CKernel& kernel, const PluginIdentity& identity)
    : CExplorerListPlugin(kernel, identity, kRegKeysValues) {
    // The list itself stays; the per-type lists below it go whole.
    AddList(HKCU, ExplorerKey(L"RecentDocs"), Mode::kAllValues, ValueLayout::kLeadingName);
    AddListPerSubKey(HKCU, ExplorerKey(L"RecentDocs"), L"", Mode::kKeyTree,
                     ValueLayout::kLeadingName);
}

CPlgOpenSavePidlHistory::CPlgOpenSavePidlHistory(CKernel& kernel, const PluginIdentity& identity)
    : CExplorerListPlugin(kernel, identity, kRegKeysValues) {
    const std::wstring dialogs = ExplorerKey(L"ComDlg32\\");
    AddListPerSubKey(HKCU, dialogs + L"OpenSavePidlMRU", L"", Mode::kKeyTree,
                     ValueLayout::kItemList);
    AddList(HKCU, dialogs + L"LastVisitedPidlMRU", Mode::kKeyTree, ValueLayout::kNameAndFolder);
    AddList(HKCU, dialogs + L"LastVisitedPidlMRULegacy", Mode::kKeyTree,
            ValueLayout::kNameAndFolder);
    AddList(HKCU, dialogs + L"CIDSizeMRU", Mode::kKeyTree, ValueLayout::kLeadingName);
    AddList(HKCU, dialogs + L"FirstFolder", Mode::kKeyTree, ValueLayout::kNameAndFolder);
}

CPlgExplorerSearchHistory::CPlgExplorerSearchHistory(CKernel& kernel,
                                                     const PluginIdentity& identity)
    : CExplorerListPlugin(kernel, identity, kRegValues) {
    AddList(HKCU, ExplorerKey(L"WordWheelQuery"), Mode::kAllValues, ValueLayout::kText);
}

CPlgUserAssist::CPlgUserAssist(CKernel& kernel, const PluginIdentity& identity)
    : CExplorerListPlugin(kernel, identity, kRegValues) {
    AddListPerSubKey(HKCU, ExplorerKey(L"UserAssist"), L"\\Count", Mode::kAllValues,
                     ValueLayout::kProgramName);
}

CPlgShellBags::CPlgShellBags(CKernel& kernel, const PluginIdentity& identity)
    : CExplorerListPlugin(kernel, identity, kRegKeysValues) {
    // Windows 7 and later keep the list under Classes (UsrClass.dat), older
    // systems and some programs under the user's own key; 32-bit programs on
    // a 64-bit system under Wow6432Node.
    for (const wchar_t* shell :
         {L"Software\\Microsoft\\Windows\\Shell\\", L"Software\\Microsoft\\Windows\\ShellNoRoam\\",
          L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\",
          L"Software\\Classes\\Wow6432Node\\Local "
          L"Settings\\Software\\Microsoft\\Windows\\Shell\\"}) {
        AddFolderTree(std::wstring(shell) + L"BagMRU");
        AddList(HKCU, std::wstring(shell) + L"Bags", Mode::kKeyTree, ValueLayout::kViewSettings);
    }
}

}  // namespace veltrane
