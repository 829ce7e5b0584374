#include "ui/dlg_welcome.h"

#include "sysaccess/handles.h"
#include "sysaccess/settings_store.h"
#include "ui/open_url.h"
#include "ui/resource_ids.h"
#include "ui/urls.h"

CDlgWelcome::~CDlgWelcome() {
    if (underlined_) DeleteObject(underlined_);
}

INT_PTR CDlgWelcome::DoModal() {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_WELCOME), parent_,
                           &CDlgWelcome::DialogProc, reinterpret_cast<LPARAM>(this));
}

bool CDlgWelcome::IsDue() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOptionsKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(key.Get(), kShowWelcomeValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    return type == REG_DWORD && value == 1;
}

INT_PTR CALLBACK CDlgWelcome::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<CDlgWelcome*>(lParam)->OnInitDialog(dialog);
        return TRUE;
    }
    auto* self = reinterpret_cast<CDlgWelcome*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self || message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
        case IDOK:
            self->OnBegin(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_WELCOME_CHECK_NOW:
            OpenUrl(UPDATES_URL);
            return TRUE;
    }
    return FALSE;
}

void CDlgWelcome::OnInitDialog(HWND dialog) {
    if (!underlined_) {
        auto font = reinterpret_cast<HFONT>(
            SendDlgItemMessageW(dialog, IDC_WELCOME_PRODUCT, WM_GETFONT, 0, 0));
        LOGFONTW description = {};
        if (font && GetObjectW(font, sizeof(description), &description) == sizeof(description)) {
            description.lfUnderline = TRUE;
            underlined_ = CreateFontIndirectW(&description);
        }
    }
    if (!underlined_) return;
    for (int control : {IDC_WELCOME_PRODUCT, IDC_WELCOME_BROWSERS})
        SendDlgItemMessageW(dialog, control, WM_SETFONT, reinterpret_cast<WPARAM>(underlined_),
                            TRUE);
}

void CDlgWelcome::OnBegin(HWND dialog) {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOptionsKey, 0, KEY_SET_VALUE, key.Receive()) ==
        ERROR_SUCCESS) {
        DWORD show = IsDlgButtonChecked(dialog, IDC_WELCOME_DONT_SHOW) == BST_CHECKED ? 0 : 1;
        RegSetValueExW(key.Get(), kShowWelcomeValue, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&show), sizeof(show));
    }
    EndDialog(dialog, IDOK);
}
