// The options and ticks as the store keeps them: one default per option, the
// text values the older layout reads, a keep-list that fails closed, and a
// user who may not write the machine's key keeping them in their own.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "engine/kernel.h"
#include "engine/options.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"

namespace veltrane {

namespace {

// A machine's and a user's key of their own below one test key.
class OptionsHome : public testing::Test {
protected:
    ScopedTestKey key{L"OptionsHome"};
    SettingsHome home{{key.Root(), key.Sub(L"Machine")},
                      {key.Root(), key.Sub(L"User")},
                      {key.Root(), key.Sub(L"MachineRun")},
                      {key.Root(), key.Sub(L"UserRun")}};
    std::wstring machine = key.Sub(L"Machine\\Options");
    std::wstring user = key.Sub(L"User\\Options");

    std::wstring Stored(const std::wstring& path, const wchar_t* name) {
        std::wstring data = L"(absent)";
        GetString(key.Root(), path, name, data);
        return data;
    }
};

std::wstring LongKeepList() {
    std::wstring text;
    for (int i = 0; text.size() < 10000; ++i)
        text += (text.empty() ? L"" : L";") + std::to_wstring(100000 + i) + L"-shop.example.test";
    return text;
}

TEST_F(OptionsHome, EachOptionHasOneDefaultAndReadsAsTheOlderLayoutWroteIt) {
    EXPECT_EQ(OptionsStore(home).Load(), Options{});
    const Options defaults;
    EXPECT_TRUE(defaults.hideOnExit);
    EXPECT_FALSE(defaults.overWrite);
    EXPECT_TRUE(defaults.bootStartup);
    EXPECT_FALSE(defaults.showWelcome);
    EXPECT_TRUE(defaults.keepCookies.IsEmpty());

    SetString(key.Root(), machine, L"HideOnExit", L"");  // written empty: counts as absent
    SetString(key.Root(), machine, L"OverWrite", L"yes");
    SetString(key.Root(), machine, L"BootStartup", L"0");
    SetString(key.Root(), machine, L"ShowWelcome", L"1");  // only a REG_DWORD 1 shows it
    Options options = OptionsStore(home).Load();
    EXPECT_TRUE(options.hideOnExit);
    EXPECT_FALSE(options.overWrite);
    EXPECT_FALSE(options.bootStartup);
    EXPECT_FALSE(options.showWelcome);
    SetDword(key.Root(), machine, L"ShowWelcome", 1);
    SetString(key.Root(), machine, L"OverWrite", L"1");
    options = OptionsStore(home).Load();
    EXPECT_TRUE(options.showWelcome);
    EXPECT_TRUE(options.overWrite);
}

// What changed is written, as text values (ShowWelcome a number), at any
// length: a 10,000-character keep-list comes back whole, and the option
// stored after it too.
TEST_F(OptionsHome, SavesWhatChangedAndReadsItBackWhole) {
    OptionsStore store(home);
    EXPECT_EQ(store.Scope(), SettingsScope::kMachine);
    Options options = store.Load();
    options.keepCookies = CookieKeepList(LongKeepList());
    ASSERT_TRUE(store.Save(options).Done());
    options.overWrite = true;
    options.showWelcome = true;
    ASSERT_TRUE(store.Save(options).Done());
    EXPECT_EQ(Stored(machine, L"KeepCookies"), LongKeepList());
    EXPECT_EQ(Stored(machine, L"OverWrite"), L"1");
    EXPECT_EQ(Stored(machine, L"HideOnExit"), L"(absent)");  // never changed, never written
    DWORD welcome = 0;
    EXPECT_TRUE(GetDword(key.Root(), machine, L"ShowWelcome", welcome));
    EXPECT_EQ(welcome, 1u);

    const Options loaded = OptionsStore(home).Load();
    EXPECT_EQ(loaded, options);
    EXPECT_GT(loaded.keepCookies.Domains().size(), 300u);
}

TEST_F(OptionsHome, AKeepListThatCannotBeReadKeepsEverythingAndIsNeverWrittenOver) {
    const BYTE data[] = {'a', 0, '.', 0, 't', 0};
    SetBinary(key.Root(), machine, L"KeepCookies", data, sizeof(data));
    SetString(key.Root(), machine, L"OverWrite", L"1");
    OptionsStore store(home);
    Options options = store.Load();
    EXPECT_TRUE(options.overWrite);
    ASSERT_TRUE(options.keepCookies.IsUnreadable());
    EXPECT_FALSE(options.keepCookies.IsEmpty());
    EXPECT_TRUE(options.keepCookies.Keeps(L"any.host.test"));
    const std::wstring reason = options.keepCookies.UnreadableReason();
    EXPECT_NE(reason.find(L"REG_BINARY"), std::wstring::npos) << reason;
    EXPECT_NE(reason.find(machine + L"\\KeepCookies"), std::wstring::npos) << reason;

    options.overWrite = false;
    ASSERT_TRUE(store.Save(options).Done());
    DWORD type = 0;
    std::wstring text;
    EXPECT_TRUE(GetString(key.Root(), machine, L"KeepCookies", text, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(Stored(machine, L"OverWrite"), L"0");

    {
        // A key that denies reading may hold a list too.
        SetString(key.Root(), machine, L"KeepCookies", L"a.test");
        ScopedKeyDenial denied(key.Root(), machine, KEY_QUERY_VALUE);
        ASSERT_TRUE(denied.Applied());
        options = OptionsStore(home).Load();
        ASSERT_TRUE(options.keepCookies.IsUnreadable());
        EXPECT_FALSE(options.overWrite);  // its default
        // The user's own list is read over it.
        SetString(key.Root(), user, L"KeepCookies", L"b.test");
        options = OptionsStore(home).Load();
        EXPECT_EQ(options.keepCookies.ToText(), L"b.test");
    }
}

// The machine's key denies writing, as HKEY_LOCAL_MACHINE does to a user who
// is not an administrator: options and ticks go to the user's key, read over
// the machine's; once the machine's may be written again, a save there takes
// the user's copy away.
TEST_F(OptionsHome, AUserWhoMayNotWriteTheMachinesKeyKeepsTheirOwn) {
    SetString(key.Root(), machine, L"OverWrite", L"1");
    SetString(key.Root(), machine, L"KeepCookies", L"machine.test");
    const std::wstring machineTicks = key.Sub(L"Machine\\Plugins");
    SetDword(key.Root(), machineTicks, L"Plg", 0);
    {
        ScopedKeyDenial options(key.Root(), machine, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
        ScopedKeyDenial ticks(key.Root(), machineTicks, KEY_SET_VALUE | KEY_CREATE_SUB_KEY);
        ASSERT_TRUE(options.Applied() && ticks.Applied());
        OptionsStore store(home);
        EXPECT_EQ(store.Scope(), SettingsScope::kUser);
        EXPECT_EQ(store.ScopeKeyText(), L"HKEY_CURRENT_USER\\" + key.Sub(L"User"));
        Options changed = store.Load();
        changed.hideOnExit = false;
        changed.keepCookies = CookieKeepList(L"user.test");
        ASSERT_TRUE(store.Save(changed).Done());
        ASSERT_TRUE(store.StoreTick(L"Plg", true).Done());

        EXPECT_EQ(Stored(user, L"HideOnExit"), L"0");
        EXPECT_EQ(Stored(user, L"KeepCookies"), L"user.test");
        EXPECT_EQ(Stored(machine, L"KeepCookies"), L"machine.test");
        const Options loaded = OptionsStore(home).Load();
        EXPECT_FALSE(loaded.hideOnExit);
        EXPECT_TRUE(loaded.overWrite);  // the machine's, not changed here
        EXPECT_EQ(loaded.keepCookies.ToText(), L"user.test");
        EXPECT_EQ(store.TryReadTick(L"Plg"), 1u);
    }
    OptionsStore store(home);
    EXPECT_EQ(store.Scope(), SettingsScope::kMachine);
    Options changed = store.Load();
    changed.keepCookies = CookieKeepList(L"again.test");
    ASSERT_TRUE(store.Save(changed).Done());
    EXPECT_EQ(Stored(machine, L"KeepCookies"), L"again.test");
    EXPECT_EQ(Stored(user, L"KeepCookies"), L"(absent)");
    EXPECT_EQ(Stored(user, L"HideOnExit"), L"0");  // not saved here: the user's still holds
    EXPECT_EQ(OptionsStore(home).Load().keepCookies.ToText(), L"again.test");
}

// The same through the kernel at the program's own keys: the plug-ins' ticks
// and the options of a user who may not write HKEY_LOCAL_MACHINE land in
// HKEY_CURRENT_USER\SOFTWARE\Veltrane.
TEST(KernelOptions, StandardUserKeepsOptionsAndTicksUnderTheirOwnKey) {
    ForgetKernelSettings();
    const std::vector<TestPluginRow> rows = {{.id = L"UserTick"}};
    ForgetStoredFlags(rows);
    CreateKey(HKEY_LOCAL_MACHINE, kOptionsKey);
    CreateKey(HKEY_LOCAL_MACHINE, kPluginsKey);
    constexpr DWORD kWrite = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
    {
        ScopedKeyDenial options(HKEY_LOCAL_MACHINE, kOptionsKey, kWrite);
        ScopedKeyDenial ticks(HKEY_LOCAL_MACHINE, kPluginsKey, kWrite);
        ASSERT_TRUE(options.Applied() && ticks.Applied());
        std::map<std::wstring, TestPlugin*> plugins;
        CKernel kernel(nullptr, MakeTestFactory(rows, plugins));
        EXPECT_EQ(kernel.GetOptionsScope(), SettingsScope::kUser);
        Options changed = kernel.GetOptions();
        changed.overWrite = true;
        changed.bootStartup = false;
        EXPECT_TRUE(kernel.SetOptions(changed).Done());
        plugins[L"UserTick"]->SetEnabled(false);
    }
    std::wstring text;
    EXPECT_TRUE(GetString(HKEY_CURRENT_USER, kOptionsKey, L"OverWrite", text));
    EXPECT_EQ(text, L"1");
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite"));
    DWORD tick = 9;
    EXPECT_TRUE(GetDword(HKEY_CURRENT_USER, kPluginsKey, L"UserTick", tick));
    EXPECT_EQ(tick, 0u);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kPluginsKey, L"UserTick"));
    {
        CKernel kernel(nullptr, [](CKernel&) { return PluginList(); });
        EXPECT_TRUE(kernel.GetOptions().overWrite);
        EXPECT_EQ(kernel.ReadPluginTick(L"UserTick"), 0u);
    }
    SHDeleteValueW(HKEY_CURRENT_USER, kPluginsKey, L"UserTick");
    ForgetStoredFlags(rows);
    ForgetKernelSettings();
}

}  // namespace

}  // namespace veltrane
