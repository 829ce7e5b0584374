// When the welcome dialog is due, and the version text of the About box.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/settings_store.h"
#include "ui/dlg_about.h"
#include "ui/dlg_welcome.h"

namespace {

class Welcome : public testing::Test {
protected:
    void SetUp() override {
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kOptionsKey);
        CreateKey(HKEY_LOCAL_MACHINE, kOptionsKey);
    }
    void TearDown() override { SHDeleteKeyW(HKEY_LOCAL_MACHINE, kOptionsKey); }
    DWORD StoredShowWelcome() {
        DWORD value = 99;
        GetDword(HKEY_LOCAL_MACHINE, kOptionsKey, L"ShowWelcome", value);
        return value;
    }
};

TEST_F(Welcome, OnlyADwordOneIsDue) {
    EXPECT_FALSE(CDlgWelcome::IsDue());
    SetDword(HKEY_LOCAL_MACHINE, kOptionsKey, L"ShowWelcome", 1);
    EXPECT_TRUE(CDlgWelcome::IsDue());
    SetDword(HKEY_LOCAL_MACHINE, kOptionsKey, L"ShowWelcome", 0);
    EXPECT_FALSE(CDlgWelcome::IsDue());
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"ShowWelcome", L"1");
    EXPECT_FALSE(CDlgWelcome::IsDue());
}

TEST(AboutVersion, FromTheVersionResourceOrZeros) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(GetFileVersionText(module), L"1.7.0.0");
    EXPECT_EQ(GetProgramVersionText(), L"1.7.0.0");

    ScopedTestFolder folder(L"UiAboutVersion");
    WriteTestFile(folder.Sub(L"plain.txt"), "no resources here");
    EXPECT_EQ(GetFileVersionText(folder.Sub(L"plain.txt")), L"0.0.0.0");
    EXPECT_EQ(GetFileVersionText(folder.Sub(L"missing.exe")), L"0.0.0.0");
    EXPECT_EQ(GetFileVersionText(module), L"1.7.0.0");
}

}  // namespace
