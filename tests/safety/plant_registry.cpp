// The planters of the registry families: link keys inside the lists the
// plug-ins walk, and the options a clean must read whole and leave as they are.
#include <windows.h>

#include <knownfolders.h>
#include <shlwapi.h>

#include <set>

#include "safety/adversaries.h"
#include "safety/net_run.h"
#include "support/registry_links.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/sqlite_db.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kOptionsKey[] = L"SOFTWARE\\Veltrane\\Options";
constexpr wchar_t kLinkName[] = L"VeltraneSafetyLink";

struct ListKey {
    HKEY root;
    std::wstring path;
};

// "hkey_current_user\software\x" (or a value of it, "...\t<name>") -> the key.
bool ParseKeyPlace(const std::wstring& place, ListKey& key) {
    const std::wstring name = place.substr(0, place.find(L'\t'));
    for (auto [root, prefix] : {std::pair{HKEY_CURRENT_USER, L"hkey_current_user\\"},
                                std::pair{HKEY_LOCAL_MACHINE, L"hkey_local_machine\\"}}) {
        const std::wstring start = prefix;
        if (name.rfind(start, 0) == 0) {
            key = {root, name.substr(start.size())};
            return true;
        }
    }
    return false;
}

// A key shaped like the lists the plug-ins walk: MRU values, addresses, a
// message log path, and a sub-key.
void WriteListLookAlike(HKEY root, const std::wstring& key, const std::wstring& logFolder) {
    SetString(root, key, L"a", L"C:\\Precious\\letter.txt");
    SetString(root, key, L"MRUList", L"a");
    SetString(root, key, L"url1", L"http://precious.test/");
    SetString(root, key, L"File1", L"C:\\Precious\\budget.xls");
    SetString(root, key, L"MessageLogPath", logFolder);
    const BYTE item[] = {'p', 0, 'r', 0, 0, 0};
    SetBinary(root, key, L"0", item, sizeof(item));
    SetBinary(root, key, L"MRUListEx", "\0\0\0\0\xff\xff\xff\xff", 8);
    SetString(root, key + L"\\Sub", L"Keep", L"reached only through a registry link");
}

bool IsPlainKey(HKEY root, const std::wstring& path) {
    RegKey key;
    return RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, key.Receive()) ==
               ERROR_SUCCESS &&
           !RegistryLinkTarget(key.Get());
}

// Rows of `table` whose `column` ends in "keep.test"; -1 when the database
// cannot be read.
long long KeptCookies(const std::wstring& database, const char* table, const char* column) {
    SqliteDb db;
    if (!db.Open(database, SqliteDb::Access::kReadOnly).Ok()) return -1;
    const std::wstring count = db.QueryText(std::string("SELECT count(*) FROM ") + table +
                                            " WHERE " + column + " LIKE '%keep.test'");
    return count.empty() ? -1 : std::stoll(count);
}

}  // namespace

void PlantRegistryLinks(Plantation& plantation, const std::vector<TracePlace>& places) {
    std::set<std::pair<HKEY, std::wstring>> lists;
    for (const TracePlace& place : places) {
        ListKey key;
        if (ParseKeyPlace(place.name, key) && IsPlainKey(key.root, key.path))
            lists.insert({key.root, key.path});
    }
    // Messenger accounts: each names the folder of its logs.
    lists.insert({HKEY_CURRENT_USER, L"software\\microsoft\\msnmessenger\\perpassportsettings"});
    int made = 0;
    for (const auto& [root, path] : lists) {
        const std::wstring target =
            std::wstring(kNetKey) + L"\\registry-links\\" + std::to_wstring(++made);
        const std::wstring logs = plantation.ControlFolder(L"registry-links");
        WriteTestFile(logs + L"\\bob@example.com.xml", "<Message>reached through a link</Message>");
        WriteListLookAlike(root, target, logs);
        const std::wstring link = path + L"\\" + kLinkName;
        RemoveRegistryLink(root, link);  // one an interrupted run left
        if (!MakeRegistryLink(root, link, root, target)) continue;
        const std::wstring list = TraceItemName(root, path);
        plantation.GuardKey(root, target, Family::kRegistryLinks,
                            L"a link key in " + list + L" leads here");
        plantation.Guard(logs, Family::kRegistryLinks,
                         L"a linked account in " + list + L" names it");
        plantation.OnUndo([root, link] { RemoveRegistryLink(root, link); });
    }
}

void TurnOverwriteOn(Plantation& plantation) {
    plantation.RestoreAfterwards(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite");
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"1");
    // With no keep-list: one an earlier run stored would leave cookies it must not judge.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        plantation.RestoreAfterwards(root, kOptionsKey, L"KeepCookies");
        SHDeleteValueW(root, kOptionsKey, L"KeepCookies");
    }
}

void PlantOptions(Plantation& plantation) {
    plantation.RestoreAfterwards(HKEY_LOCAL_MACHINE, kOptionsKey, L"KeepCookies");
    plantation.RestoreAfterwards(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite");
    std::wstring list = L"keep.test; mozilla-site.test";
    for (int i = 1; list.size() <= 400; ++i) list += L"; kept-" + std::to_wstring(i) + L".example";
    // Stored in this order, as a user's Settings would: the list, then the switch.
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"KeepCookies", list);
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite", L"1");
    plantation.GuardKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrane", Family::kOptions,
                        L"an unattended clean leaves the options as they are");
}

void CheckOptions(const CleanRun& run, Verdict& verdict) {
    const std::wstring roaming = GetKnownFolderPath(FOLDERID_RoamingAppData);
    for (const std::wstring& database :
         {roaming + L"\\Mozilla\\Firefox\\Profiles\\x7m2q9za.default-release\\cookies.sqlite",
          std::wstring(L"C:\\FirefoxProfiles\\Work Profile\\cookies.sqlite")}) {
        const long long kept = KeptCookies(database, "moz_cookies", "host");
        if (kept <= 0)
            verdict.Add(
                Family::kOptions,
                ToUtf8(database) + ": " +
                    (kept < 0 ? "cannot be read" : "the keep-list's keep.test cookie is gone"));
    }
    const std::wstring cookiesTxt =
        roaming + L"\\Mozilla\\Profiles\\default\\k3w9x2ab.slt\\cookies.txt";
    if (ReadTestFile(cookiesTxt).find("mozilla-site.test") == std::string::npos)
        verdict.Add(Family::kOptions,
                    ToUtf8(cookiesTxt) + ": the keep-list's mozilla-site.test cookies are gone");
    // Opera keeps every cookie in one file: with a keep-list the file stays
    // whole and its row fails with why, so the clean finishes with failures.
    const std::wstring opera = roaming + L"\\Opera\\Opera7\\profile\\cookies4.dat";
    const auto entry = run.plugins.find(L"OperaCookies");
    if (!FileExists(opera) || entry == run.plugins.end() ||
        entry->second.value("result", -1) != 2 || entry->second.value("failed", 0) < 1)
        verdict.Add(Family::kOptions,
                    "OperaCookies did not leave its cookie file for the keep-list, as a failed "
                    "row of a clean that finished with failures");
    // The hard link the net puts in the temporary folder shows that overwriting was on.
    if (run.Report(L"TempDir").find("Deleted, not overwritten") == std::string::npos)
        verdict.Add(Family::kOptions,
                    "TempDir's report shows no \"Deleted, not overwritten\": OverWrite, stored "
                    "after the keep-list, was not read");
}

}  // namespace veltrane
