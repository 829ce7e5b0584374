#pragma once
// The program's options, one field per option with its one default, and the
// one store that loads and saves them and the plug-ins' ticks: the machine's
// key, or the user's own when the machine's cannot be written (a user who is
// not an administrator), the user's values read over the machine's.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/cookie_keep_list.h"
#include "engine/exclusion_rules.h"
#include "sysaccess/settings_store.h"

namespace veltrane {

// Text values under SOFTWARE\Veltrane\Options ("1" or "0"), ShowWelcome a REG_DWORD.
struct Options {
    bool hideOnExit = true;         // "HideOnExit": closing the window hides it in the tray
    bool overWrite = false;         // "OverWrite": files are overwritten before they are deleted
    bool bootStartup = true;        // "BootStartup": the program starts with Windows
    bool showWelcome = false;       // "ShowWelcome": the welcome dialog opens at start
    bool cleanQuickAccess = false;  // "CleanQuickAccess": Jump Lists takes Quick Access too
    CookieKeepList keepCookies;     // "KeepCookies": unreadable when stored but not readable
    // "Exclusions" (REG_MULTI_SZ, one rule a string): what no clean removes;
    // unreadable when stored but not readable, and then every clean refuses.
    ExclusionList exclusions;
    // "OlderThanHours" (REG_DWORD): files written within that many hours are
    // neither listed nor removed by the plug-ins that empty folders; 0 is off.
    DWORD olderThanHours = 0;

    bool operator==(const Options&) const = default;
};

// One registry key: a root and the path below it.
struct RegPlace {
    HKEY root;
    std::wstring path;
};

enum class SettingsScope : int {
    kMachine = 0,  // for every user of the computer
    kUser = 1,     // for this user alone: the machine's key cannot be written
};

// The program's keys for the machine and for the user, and the Run keys
// beside them where the autostart entry of each scope lives.
struct SettingsHome {
    RegPlace machine{HKEY_LOCAL_MACHINE, L"SOFTWARE\\Veltrane"};
    RegPlace user{HKEY_CURRENT_USER, L"SOFTWARE\\Veltrane"};
    RegPlace machineRun{HKEY_LOCAL_MACHINE, kRunKey};
    RegPlace userRun{HKEY_CURRENT_USER, kRunKey};
};

class OptionsStore {
public:
    // Decides where saves go: the machine's key when it may be written.
    explicit OptionsStore(SettingsHome home = {});

    // The user's values over the machine's. An absent or unreadable option
    // takes its default, except the keep-list, which fails closed.
    Options Load();
    // Writes the options that differ from those last loaded or saved (never
    // an unreadable keep-list) where Scope() says; a machine's key that
    // refuses turns the scope to the user's. A save to the machine's key takes
    // the user's copies of what it wrote away, so that they hide nothing.
    [[nodiscard]] SettingsOutcome Save(const Options& options);
    SettingsScope Scope() const { return scope_; }
    // "HKEY_LOCAL_MACHINE\SOFTWARE\Veltrane" or the user's, as Scope() says.
    std::wstring ScopeKeyText() const;

    // A plug-in's stored tick, the user's over the machine's; nothing when
    // neither holds a REG_DWORD.
    std::optional<DWORD> TryReadTick(const std::wstring& id) const;
    [[nodiscard]] SettingsOutcome StoreTick(const std::wstring& id, bool ticked);

    // The autostart entry in either Run key; an empty one starts nothing and is removed.
    bool TakeAutostartEntry();
    // Writes `command` as the entry of the scope's Run key, or removes the entry.
    [[nodiscard]] SettingsOutcome ApplyAutostart(bool on, const std::wstring& command);

private:
    RegPlace Below(const RegPlace& place, const wchar_t* subKey) const;
    // Runs `write` on the scope's key below `subKey`, falling back to the
    // user's; a write to the machine's takes `names` out of the user's key.
    template <typename Write>
    SettingsOutcome WriteWhereKept(const wchar_t* subKey, const std::vector<std::wstring>& names,
                                   const Write& write);

    SettingsHome home_;
    SettingsScope scope_;
    Options saved_;  // as last loaded or saved: only what differs is written
};

}  // namespace veltrane
