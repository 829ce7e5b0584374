#include "plugins/standard/catalogue.h"

#include "engine/kernel.h"
#include "sysaccess/os_version.h"

namespace veltrane {

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;
using Mode = CElimAction;

constexpr wchar_t kAllFiles[] = L"*.*";
constexpr wchar_t kOperaCookiesKept[] =
    L"Opera keeps all its cookies in this one file, and \"Cookies to keep\" in Settings "
    L"names domains whose cookies must stay. The file was left as it is. To remove Opera's "
    L"cookies, empty that list and clean again.";
constexpr wchar_t kExplorer[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
constexpr wchar_t kNtWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t k9xWinlogon[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Winlogon";
constexpr wchar_t kMachineWinlogon[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr wchar_t kQuickAccessList[] = L"\\f01b4d95cf55d32a.automaticDestinations-ms";

}  // namespace

CPlgRunHistory::CPlgRunHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, std::wstring(kExplorer) + L"RunMRU", Mode::kAllValues);
}

CPlugin::Result CPlgRunHistory::Fix() {
    const Result result = CStandartPlugin::Fix();
    for (CElimAction::SRegEntry& entry : Engine().regEntries) {
        if (entry.absent) continue;
        for (CElimAction::SRegRecord& record : entry.found) {
            if (record.status != CElimAction::kRemoved && record.status != CElimAction::kDeferred)
                continue;
            record.status = CElimAction::kDeferred;
            errors.emplace_back(L"Cleanup process will be completed after system reboot.",
                                L"Windows is cashing Run history.");
            record.errorNumber = errors.size();
            SetRebootNeeded();
        }
    }
    return result;
}

CPlgOrderHistory::CPlgOrderHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, std::wstring(kExplorer) + L"MenuOrder\\Start Menu\\Programs",
                Mode::kAllValues);
    AddRegEntry(HKCU, std::wstring(kExplorer) + L"MenuOrder\\Favorites", Mode::kAllValues);
}

CPlgOpenHistory::CPlgOpenHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegKeysValues) {
    AddRegEntry(HKCU, std::wstring(kExplorer) + L"ComDlg32\\OpenSaveMRU", Mode::kKeyTree);
}

CPlgTempDir::CPlgTempDir(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFilesFolders) {
    SetAgeLimitApplies();
    AddFileEntry(L"[PATH_SYS_TEMP]", Mode::kFolderTree, kAllFiles);
}

CPlgRegeditLastKey::CPlgRegeditLastKey(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit",
                Mode::kSingleValue, L"LastKey");
    SetValueFlags({.showData = true});
}

CPlgNetLastUserLogon::CPlgNetLastUserLogon(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, kNtWinlogon, Mode::kSingleValue, L"DefaultUserName");
    AddRegEntry(HKCU, kNtWinlogon, Mode::kSingleValue, L"AltDefaultUserName");
    AddRegEntry(HKCU, k9xWinlogon, Mode::kSingleValue, L"DefaultUserName");
    AddRegEntry(HKLM, kMachineWinlogon, Mode::kSingleValue, L"DefaultUserName");
    AddRegEntry(HKLM, kMachineWinlogon, Mode::kSingleValue, L"AltDefaultUserName");
    AddRegEntry(HKLM, L"Network\\Logon", Mode::kSingleValue, L"username");
    SetValueFlags({.showData = true});
}

CPlgNetLastDomainLogon::CPlgNetLastDomainLogon(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, kNtWinlogon, Mode::kSingleValue, L"DefaultDomainName");
    AddRegEntry(HKCU, kNtWinlogon, Mode::kSingleValue, L"AltDefaultDomainName");
    AddRegEntry(HKCU, k9xWinlogon, Mode::kSingleValue, L"DefaultDomainName");
    AddRegEntry(HKLM, kMachineWinlogon, Mode::kSingleValue, L"DefaultDomainName");
    AddRegEntry(HKLM, kMachineWinlogon, Mode::kSingleValue, L"AltDefaultDomainName");
    SetValueFlags({.showData = true});
}

CPlgFindHistory::CPlgFindHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegKeysValues) {
    // Each Windows keeps its search history in a place of its own.
    if (IsWindowsXP()) {
        AddRegEntry(HKCU, L"Software\\Microsoft\\Search Assistant\\ACMru", Mode::kKeyTree);
    } else if (IsWindows2000() || IsWindowsMe()) {
        AddRegEntry(HKCU,
                    L"Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
                    L"{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}",
                    Mode::kKeyTree);
    } else {
        AddRegEntry(HKCU, std::wstring(kExplorer) + L"FindComputerMRU", Mode::kKeyTree);
        AddRegEntry(HKCU, std::wstring(kExplorer) + L"Doc Find Spec MRU", Mode::kKeyTree);
    }
}

CPlgIEAutoCompletePsw::CPlgIEAutoCompletePsw(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegKeysValues) {
    AddRegEntry(HKCU, L"Software\\Microsoft\\Internet Explorer\\IntelliForms", Mode::kKeyTree);
}

CPlgIEAddressBarHistory::CPlgIEAddressBarHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, L"Software\\Microsoft\\Internet Explorer\\TypedURLs", Mode::kAllValues);
    // The browser renumbers the list as addresses are typed; the clean
    // follows the addresses the scan showed.
    SetValueFlags({.showData = true, .matchByData = true});
}

CPlgAOLAddressBarHistory::CPlgAOLAddressBarHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    AddFileEntry(L"[PATH_APP_AOL_ROOT]\\organize", Mode::kFolderFiles, L"*.ARL|*.AUT");
}

CPlgIEDownload::CPlgIEDownload(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFilesFolders) {
    AddFileEntry(L"[PATH_SYS_DOWNLOADEDPROGRAMS]", Mode::kFolderTree, kAllFiles);
}

CPlgIEHelper::CPlgIEHelper(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegKeysValues) {
    AddRegEntry(HKLM,
                std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") +
                    L"Browser Helper Objects",
                Mode::kKeyTree);
}

CPlgOperaCache::CPlgOperaCache(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    SetAgeLimitApplies();
    AddFileEntry(L"[PATH_APP_OPERA6_CACHE]", Mode::kFolderFiles, kAllFiles);
    AddFileEntry(L"[PATH_APP_OPERA7_CACHE]", Mode::kFolderFiles, kAllFiles);
    AddFileEntry(L"[PATH_APP_OPERA75_CACHE]", Mode::kFolderFiles, kAllFiles);
}

CPlgOperaCookies::CPlgOperaCookies(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    AddFileEntry(L"[PATH_APP_OPERA_ROOT]\\cookies4.dat", Mode::kSingleFile, kAllFiles);
    AddFileEntry(L"[PATH_APP_OPERA7_USERDATA]\\cookies4.dat", Mode::kSingleFile, kAllFiles);
    AddFileEntry(L"[PATH_APP_OPERA75_USERDATA]\\cookies4.dat", Mode::kSingleFile, kAllFiles);
}

CPlugin::Result CPlgOperaCookies::Fix() {
    const CookieKeepList& keep = GetKernel().GetCookieKeepList();
    if (keep.IsEmpty()) return CStandartPlugin::Fix();
    errors.clear();
    for (CElimAction::SFileEntry& entry : Engine().fileEntries) {
        for (CElimAction::SFileRecord& record : entry.found) {
            errors.emplace_back(ItemError::kFile, record.name, ItemError::kOwnText, 0, false, L"",
                                keep.IsUnreadable() ? keep.UnreadableReason() : kOperaCookiesKept);
            record.status = CElimAction::kFailed;
            record.errorNumber = errors.size();
        }
    }
    if (errors.empty()) return kDone;
    // A list that cannot be read refuses the whole plug-in, as every cookie
    // plug-in's does; a readable one leaves the file whole, row by row.
    return keep.IsUnreadable() ? kFailed : kDoneWithFailures;
}

CPlgOperaAddressHistory::CPlgOperaAddressHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    for (const wchar_t* root : {L"[PATH_APP_OPERA_ROOT]", L"[PATH_APP_OPERA7_USERDATA]",
                                L"[PATH_APP_OPERA75_USERDATA]"}) {
        AddFileEntry(std::wstring(root) + L"\\opera.dir", Mode::kSingleFile, kAllFiles);
        AddFileEntry(std::wstring(root) + L"\\global.dat", Mode::kSingleFile, kAllFiles);
    }
}

CPlgWCMediaHistory::CPlgWCMediaHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, L"Software\\Microsoft\\MediaPlayer\\Player\\RecentURLList", Mode::kAllValues);
    AddRegEntry(HKCU, L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList",
                Mode::kAllValues);
}

CPlgRealPlayerPlaylist::CPlgRealPlayerPlaylist(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegKeysValues) {
    // The player keeps its lists under the machine's classes as well as the user's key.
    const std::wstring machine =
        L"SOFTWARE\\Classes\\SOFTWARE\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
    const std::wstring user = L"SOFTWARE\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
    auto addPair = [&](const std::wstring& name) {
        AddRegEntry(HKLM, machine + name, Mode::kKeyTree);
        AddRegEntry(HKCU, user + name, Mode::kKeyTree);
    };
    addPair(L"MostRecentClips");
    for (int n = 1; n <= 10; ++n) addPair(L"MostRecentClips" + std::to_wstring(n));
    addPair(L"HistoryList");
}

CPlgACDSeeHistory::CPlgACDSeeHistory(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    const std::wstring v32 = L"Software\\ACD Systems\\ACDSee32";
    const std::wstring v50 = L"Software\\ACD Systems\\ACDSee\\50";
    const std::wstring current = L"Software\\ACD Systems\\ACDSee";
    for (const wchar_t* name : {L"LastFolder", L"HistPaths", L"OpenFolder"})
        AddRegEntry(HKCU, v32, Mode::kSingleValue, name);
    for (const std::wstring& key : {v50, current})
        for (const wchar_t* name :
             {L"HistPaths", L"OpenFolder", L"HistSearchText", L"HistFileFilters"})
            AddRegEntry(HKCU, key, Mode::kSingleValue, name);
    SetValueFlags({.showData = true});
}

CPlgExplorerTypedPaths::CPlgExplorerTypedPaths(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kRegValues) {
    AddRegEntry(HKCU, std::wstring(kExplorer) + L"TypedPaths", Mode::kAllValues);
    SetValueFlags({.showData = true});
}

// Only the named sub-folders are emptied: Recent, Explorer and WER hold more
// than these traces.
CPlgJumpLists::CPlgJumpLists(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    AddFileEntry(L"[PATH_KNOWN_RECENT]\\AutomaticDestinations", Mode::kFolderFiles,
                 L"*.automaticDestinations-ms");
    AddFileEntry(L"[PATH_KNOWN_RECENT]\\CustomDestinations", Mode::kFolderFiles,
                 L"*.customDestinations-ms");
}

CPlugin::Result CPlgJumpLists::Scan() {
    const Result result = CStandartPlugin::Scan();
    if (GetKernel().GetOptions().cleanQuickAccess) return result;
    for (CElimAction::SFileEntry& entry : Engine().fileEntries)
        std::erase_if(entry.found, [](const CElimAction::SFileRecord& record) {
            const size_t length = wcslen(kQuickAccessList);
            return record.name.size() >= length &&
                   _wcsicmp(record.name.c_str() + record.name.size() - length, kQuickAccessList) ==
                       0;
        });
    return result;
}

CPlgThumbnailCache::CPlgThumbnailCache(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFiles) {
    SetAgeLimitApplies();
    AddFileEntry(L"[PATH_KNOWN_LOCALAPPDATA]\\Microsoft\\Windows\\Explorer", Mode::kFolderFiles,
                 L"thumbcache_*.db|iconcache_*.db");
}

CPlgErrorReports::CPlgErrorReports(CKernel& kernel, const PluginIdentity& identity)
    : CStandartPlugin(kernel, identity, kFilesFolders) {
    SetAgeLimitApplies();
    const std::wstring wer = L"[PATH_KNOWN_LOCALAPPDATA]\\Microsoft\\Windows\\WER\\";
    AddFileEntry(wer + L"ReportArchive", Mode::kFolderTree, kAllFiles);
    AddFileEntry(wer + L"ReportQueue", Mode::kFolderTree, kAllFiles);
    // The machine's reports: only an administrator may empty these, and a
    // refusal is a failed row.
    const std::wstring machineWer = L"[PATH_KNOWN_PROGRAMDATA]\\Microsoft\\Windows\\WER\\";
    AddFileEntry(machineWer + L"ReportArchive", Mode::kFolderTree, kAllFiles);
    AddFileEntry(machineWer + L"ReportQueue", Mode::kFolderTree, kAllFiles);
    // The dumps Windows Error Reporting writes for programs that crashed.
    AddFileEntry(L"[PATH_KNOWN_LOCALAPPDATA]\\CrashDumps", Mode::kFolderFiles, L"*.dmp");
}

}  // namespace veltrane
