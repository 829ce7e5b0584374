// The autostart entry and the "BootStartup" option kept in step at start.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "app/autostart_sync.h"
#include "engine/kernel.h"
#include "support/test_registry.h"

namespace veltrane {

namespace {

// The start order: the autostart sync stores "BootStartup" from the Run
// entry before the kernel reads the options, so the kernel (and Settings)
// sees what the sync found, with or without a stored value before.
class Autostart : public testing::Test {
protected:
    ScopedTestKey key{L"Autostart"};
    SettingsHome home{{key.Root(), key.Sub(L"Machine")},
                      {key.Root(), key.Sub(L"User")},
                      {key.Root(), key.Sub(L"MachineRun")},
                      {key.Root(), key.Sub(L"UserRun")}};

    std::wstring BootStartup() {
        std::wstring value = L"(absent)";
        GetString(key.Root(), key.Sub(L"Machine\\Options"), L"BootStartup", value);
        return value;
    }
    bool KernelSeesBootStartup() {
        return CKernel(
                   nullptr, [](CKernel&) { return PluginList(); }, home)
            .GetOptions()
            .bootStartup;
    }
};

TEST_F(Autostart, ARunEntryTurnsTheOptionOnAndStays) {
    const std::wstring command = L"\"C:\\Program Files\\Veltrane\\veltrane.exe\"";
    SetString(key.Root(), home.machineRun.path, kRunValue, command);
    EXPECT_TRUE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"(absent)");  // absent counts as on: nothing to change
    EXPECT_TRUE(KernelSeesBootStartup());
    std::wstring run;
    EXPECT_TRUE(GetString(key.Root(), home.machineRun.path, kRunValue, run));
    EXPECT_EQ(run, command);

    // The entry of a user who kept their settings in their own key counts too.
    SHDeleteValueW(key.Root(), home.machineRun.path.c_str(), kRunValue);
    SetString(key.Root(), home.machine.path + L"\\Options", L"BootStartup", L"0");
    SetString(key.Root(), home.userRun.path, kRunValue, command);
    EXPECT_TRUE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"1");
    EXPECT_TRUE(KernelSeesBootStartup());
}

TEST_F(Autostart, NoOrAnEmptyRunEntryTurnsTheOptionOff) {
    // Nothing stored: the option counts as on until the sync has looked.
    EXPECT_TRUE(KernelSeesBootStartup());
    EXPECT_FALSE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(KernelSeesBootStartup());

    SetString(key.Root(), home.machine.path + L"\\Options", L"BootStartup", L"1");
    SetString(key.Root(), home.machineRun.path, kRunValue, L"");
    EXPECT_FALSE(SyncAutostart(home));
    EXPECT_EQ(BootStartup(), L"0");
    EXPECT_FALSE(ValueExists(key.Root(), home.machineRun.path, kRunValue));
}

}  // namespace

}  // namespace veltrane
