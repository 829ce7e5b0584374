// Loading and saving the options and ticks, the user's over the machine's.
#include "engine/options.h"

#include "sysaccess/reg_format.h"
#include "sysaccess/reg_multi_text.h"
#include "sysaccess/registry_text.h"
#include "sysaccess/registry_values.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

constexpr wchar_t kOptionsSubKey[] = L"Options";
constexpr wchar_t kPluginsSubKey[] = L"Plugins";
constexpr wchar_t kHideOnExit[] = L"HideOnExit";
constexpr wchar_t kOverWrite[] = L"OverWrite";
constexpr wchar_t kBootStartup[] = L"BootStartup";
constexpr wchar_t kShowWelcome[] = L"ShowWelcome";
constexpr wchar_t kCleanQuickAccess[] = L"CleanQuickAccess";
constexpr wchar_t kOlderThanHours[] = L"OlderThanHours";

const wchar_t* TypeName(DWORD type) {
    switch (type) {
        case REG_EXPAND_SZ:
            return L"REG_EXPAND_SZ";
        case REG_MULTI_SZ:
            return L"REG_MULTI_SZ";
        case REG_DWORD:
            return L"REG_DWORD";
        case REG_QWORD:
            return L"REG_QWORD";
        case REG_BINARY:
            return L"REG_BINARY";
        default:
            return L"a type that is not text";
    }
}

// One scope's options key as loaded.
struct Layer {
    Layer(const RegPlace& place) : settings(place.root, place.path), place(place) {
        loaded = settings.Load();
    }
    CSettings settings;
    RegPlace place;
    SettingsOutcome loaded;
};

// What the layers say of a text option, the user's first: its text, nothing
// when absent, and why not when it is there but cannot be read.
struct LayeredText {
    std::optional<std::wstring> text;
    std::optional<std::wstring> unreadable;
};

LayeredText Lookup(const Layer& user, const Layer& machine, const wchar_t* name) {
    for (const Layer* layer : {&user, &machine}) {
        if (auto text = layer->settings.TryOption(name)) return {std::move(text), std::nullopt};
        const std::wstring where = FormatRegPath(layer->place.root, layer->place.path, name);
        const UnreadableValues& unreadable = layer->settings.Unreadable(L"");
        if (auto found = unreadable.find(name); found != unreadable.end()) {
            const UnreadableValue& value = found->second;
            return {std::nullopt, where + L": " +
                                      (value.error != ERROR_SUCCESS
                                           ? FormatSystemErrorLine(value.error)
                                           : std::wstring(L"it is stored as ") +
                                                 TypeName(value.type) + L", not as text.")};
        }
        // A key that cannot be read may hold the value.
        if (layer->loaded.kind == SettingsOutcome::kFailed)
            return {std::nullopt, where + L": " + FormatSystemErrorLine(layer->loaded.error)};
    }
    return {};
}

// A number kept as a REG_DWORD, the user's over the machine's.
std::optional<DWORD> LookupDword(const Layer& user, const Layer& machine, const wchar_t* name) {
    for (const Layer* layer : {&user, &machine})
        if (auto value = TryReadRegDword(layer->place.root, layer->place.path.c_str(), name))
            return value;
    return std::nullopt;
}

bool IsOn(const LayeredText& value, bool byDefault) {
    if (!value.text) return byDefault;
    // On unless "0" for an option on by default; on only for "1" otherwise.
    return byDefault ? *value.text != L"0" : *value.text == L"1";
}

const wchar_t* Flag(bool on) { return on ? L"1" : L"0"; }

// The user's rules, else the machine's. Rules that are there but cannot be
// read might keep anything: the list is then unreadable, and no clean runs.
ExclusionList LoadExclusions(const Layer& user, const Layer& machine) {
    for (const Layer* layer : {&user, &machine}) {
        MultiTextOutcome read =
            ReadRegMultiText(layer->place.root, layer->place.path, kExclusionsOption);
        const std::wstring where =
            FormatRegPath(layer->place.root, layer->place.path, kExclusionsOption);
        switch (read.kind) {
            case MultiTextRead::kRead:
                return {std::move(read.texts), std::nullopt};
            case MultiTextRead::kMissing:
                // A key that cannot be read may hold the value.
                if (layer->loaded.kind == SettingsOutcome::kFailed)
                    return {{}, where + L": " + FormatSystemErrorLine(layer->loaded.error)};
                continue;
            case MultiTextRead::kNotList:
                return {{},
                        where + L": it is stored as " + TypeName(read.type) +
                            L", not as a list of rules (REG_MULTI_SZ)."};
            case MultiTextRead::kFailed:
                return {{}, where + L": " + FormatSystemErrorLine(read.error)};
        }
    }
    return {};
}

}  // namespace

OptionsStore::OptionsStore(SettingsHome home)
    : home_(std::move(home)),
      scope_(MayWriteKey(home_.machine.root, Below(home_.machine, kOptionsSubKey).path)
                 ? SettingsScope::kMachine
                 : SettingsScope::kUser) {}

RegPlace OptionsStore::Below(const RegPlace& place, const wchar_t* subKey) const {
    return {place.root, place.path + L"\\" + subKey};
}

std::wstring OptionsStore::ScopeKeyText() const {
    const RegPlace& place = scope_ == SettingsScope::kMachine ? home_.machine : home_.user;
    return FormatRegPath(place.root, place.path, L"");
}

Options OptionsStore::Load() {
    const Layer user(Below(home_.user, kOptionsSubKey));
    const Layer machine(Below(home_.machine, kOptionsSubKey));
    Options options;
    options.hideOnExit = IsOn(Lookup(user, machine, kHideOnExit), true);
    options.overWrite = IsOn(Lookup(user, machine, kOverWrite), false);
    options.bootStartup = IsOn(Lookup(user, machine, kBootStartup), true);
    options.cleanQuickAccess = IsOn(Lookup(user, machine, kCleanQuickAccess), false);
    options.showWelcome = LookupDword(user, machine, kShowWelcome) == 1u;
    // A list that cannot be read might name any domain: nothing may go.
    const LayeredText keep = Lookup(user, machine, kKeepCookiesOption);
    if (keep.unreadable)
        options.keepCookies = CookieKeepList::Unreadable(
            L"The list of cookies to keep cannot be read (" + *keep.unreadable +
            L") No cookie is removed until it can be read: set the list again in Settings.");
    else
        options.keepCookies = CookieKeepList(keep.text.value_or(L""));
    options.exclusions = LoadExclusions(user, machine);
    if (const std::optional<DWORD> hours = LookupDword(user, machine, kOlderThanHours))
        options.olderThanHours = *hours;
    saved_ = options;
    return options;
}

template <typename Write>
SettingsOutcome OptionsStore::WriteWhereKept(const wchar_t* subKey,
                                             const std::vector<std::wstring>& names,
                                             const Write& write) {
    if (scope_ == SettingsScope::kMachine) {
        const SettingsOutcome outcome = write(Below(home_.machine, subKey));
        if (outcome.Done()) {
            const RegPlace user = Below(home_.user, subKey);
            if (!DeleteSettingValues(user.root, user.path, names).Done())
                Trace(L"The user's copies of the settings could not be removed\n");
            return outcome;
        }
        Trace(L"The machine's settings cannot be written (%lu); the user's key keeps them\n",
              outcome.error);
        scope_ = SettingsScope::kUser;
    }
    return write(Below(home_.user, subKey));
}

SettingsOutcome OptionsStore::Save(const Options& options) {
    CSettings texts(nullptr, L"");
    std::vector<std::wstring> names;
    auto text = [&](const wchar_t* name, const std::wstring& value, bool changed) {
        if (!changed) return;
        texts[L""][name] = value;
        names.push_back(name);
    };
    text(kHideOnExit, Flag(options.hideOnExit), options.hideOnExit != saved_.hideOnExit);
    text(kOverWrite, Flag(options.overWrite), options.overWrite != saved_.overWrite);
    text(kBootStartup, Flag(options.bootStartup), options.bootStartup != saved_.bootStartup);
    text(kCleanQuickAccess, Flag(options.cleanQuickAccess),
         options.cleanQuickAccess != saved_.cleanQuickAccess);
    text(kKeepCookiesOption, options.keepCookies.ToText(),
         !options.keepCookies.IsUnreadable() && options.keepCookies != saved_.keepCookies);
    const bool welcome = options.showWelcome != saved_.showWelcome;
    if (welcome) names.push_back(kShowWelcome);
    const bool hours = options.olderThanHours != saved_.olderThanHours;
    if (hours) names.push_back(kOlderThanHours);
    // An unreadable list is never written over: it stays for the user to mend.
    const bool exclusions =
        !options.exclusions.unreadable && options.exclusions.rules != saved_.exclusions.rules;
    if (exclusions) names.push_back(kExclusionsOption);
    if (names.empty()) return {};

    const SettingsOutcome outcome =
        WriteWhereKept(kOptionsSubKey, names, [&](const RegPlace& place) {
            CSettings target(place.root, place.path);
            target[L""] = texts[L""];
            SettingsOutcome written = target.Save();
            if (welcome && written.Done())
                written = WriteSettingNumber(place.root, place.path, kShowWelcome,
                                             options.showWelcome ? 1 : 0);
            if (hours && written.Done())
                written = WriteSettingNumber(place.root, place.path, kOlderThanHours,
                                             options.olderThanHours);
            if (exclusions && written.Done()) {
                const RegWriteOutcome list = WriteRegMultiText(
                    place.root, place.path, kExclusionsOption, options.exclusions.rules);
                if (list.kind != RegWrite::kWritten)
                    written = {SettingsOutcome::kFailed, list.error};
            }
            return written;
        });
    if (outcome.Done()) {
        const CookieKeepList keep = saved_.keepCookies;
        const ExclusionList rules = saved_.exclusions;
        saved_ = options;
        if (options.keepCookies.IsUnreadable()) saved_.keepCookies = keep;
        if (options.exclusions.unreadable) saved_.exclusions = rules;
    }
    return outcome;
}

std::optional<DWORD> OptionsStore::TryReadTick(const std::wstring& id) const {
    for (const RegPlace* home : {&home_.user, &home_.machine}) {
        const RegPlace place = Below(*home, kPluginsSubKey);
        if (std::optional<DWORD> value =
                TryReadRegDword(place.root, place.path.c_str(), id.c_str()))
            return value;
    }
    return std::nullopt;
}

SettingsOutcome OptionsStore::StoreTick(const std::wstring& id, bool ticked) {
    return WriteWhereKept(kPluginsSubKey, {id}, [&](const RegPlace& place) {
        return WriteSettingNumber(place.root, place.path, id, ticked ? 1 : 0);
    });
}

bool OptionsStore::TakeAutostartEntry() {
    bool present = false;
    for (const RegPlace* run : {&home_.machineRun, &home_.userRun}) {
        RegText entry;
        if (ReadRegText(run->root, run->path.c_str(), kRunValue, entry) != RegTextRead::kRead)
            continue;
        if (!entry.text.empty()) {
            present = true;
        } else if (!DeleteSettingValues(run->root, run->path, {kRunValue}).Done()) {
            Trace(L"An empty autostart entry could not be removed\n");
        }
    }
    return present;
}

SettingsOutcome OptionsStore::ApplyAutostart(bool on, const std::wstring& command) {
    const RegPlace& own = scope_ == SettingsScope::kMachine ? home_.machineRun : home_.userRun;
    const RegPlace& other = scope_ == SettingsScope::kMachine ? home_.userRun : home_.machineRun;
    if (on) {
        CSettings run(own.root, own.path);
        run[L""][kRunValue] = command;
        const SettingsOutcome outcome = run.Save();
        // One entry is enough; the other scope's may stay where it cannot go.
        if (outcome.Done() && !DeleteSettingValues(other.root, other.path, {kRunValue}).Done())
            Trace(L"The other autostart entry could not be removed\n");
        return outcome;
    }
    const SettingsOutcome outcome = DeleteSettingValues(own.root, own.path, {kRunValue});
    const SettingsOutcome otherOutcome = DeleteSettingValues(other.root, other.path, {kRunValue});
    return outcome.Done() ? otherOutcome : outcome;
}

}  // namespace veltrane
