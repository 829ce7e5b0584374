// The welcome dialog from its template and the version text of the About box.
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <functional>

#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/settings_store.h"
#include "ui/dlg_about.h"
#include "ui/dlg_welcome.h"
#include "ui/resource_ids.h"

namespace {

// What the user does in the welcome dialog once it is up.
std::function<void(HWND dialog)> userAction;
bool productUnderlined = false;

HWND WelcomeDialog() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) {
            if (!GetDlgItem(window, IDC_WELCOME_DONT_SHOW)) return TRUE;
            reinterpret_cast<Search*>(data)->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CALLBACK ActInDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = WelcomeDialog();
    if (!dialog) return;
    KillTimer(nullptr, timer);
    auto font =
        reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_WELCOME_PRODUCT, WM_GETFONT, 0, 0));
    LOGFONTW description = {};
    productUnderlined =
        font && GetObjectW(font, sizeof(description), &description) && description.lfUnderline;
    userAction(dialog);
}

INT_PTR RunWelcome(std::function<void(HWND)> action) {
    userAction = std::move(action);
    productUnderlined = false;
    SetTimer(nullptr, 0, 50, &ActInDialog);
    return CDlgWelcome(nullptr).DoModal();
}

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

TEST_F(Welcome, BeginKeepsOrStopsTheDialogByItsBox) {
    EXPECT_FALSE(CDlgWelcome::IsDue());
    SetDword(HKEY_LOCAL_MACHINE, kOptionsKey, L"ShowWelcome", 1);
    EXPECT_TRUE(CDlgWelcome::IsDue());

    ASSERT_EQ(RunWelcome([](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }), IDOK)
        << "the dialog needs a display";
    EXPECT_TRUE(productUnderlined);
    EXPECT_EQ(StoredShowWelcome(), 1u);
    EXPECT_TRUE(CDlgWelcome::IsDue());

    EXPECT_EQ(RunWelcome([](HWND dialog) {
                  CheckDlgButton(dialog, IDC_WELCOME_DONT_SHOW, BST_CHECKED);
                  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
              }),
              IDOK);
    EXPECT_EQ(StoredShowWelcome(), 0u);
    EXPECT_FALSE(CDlgWelcome::IsDue());
}

TEST_F(Welcome, EscapeWritesNothingAndOnlyADwordOneIsDue) {
    ASSERT_EQ(RunWelcome([](HWND dialog) {
                  CheckDlgButton(dialog, IDC_WELCOME_DONT_SHOW, BST_CHECKED);
                  SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
              }),
              IDCANCEL);
    EXPECT_EQ(StoredShowWelcome(), 99u);

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
