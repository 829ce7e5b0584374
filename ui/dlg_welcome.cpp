#include "ui/dlg_welcome.h"

#include "sysaccess/handles.h"
#include "sysaccess/settings_store.h"
#include "ui/dlg_settings.h"
#include "ui/open_url.h"
#include "ui/urls.h"

CDlgWelcome::CDlgWelcome(CDlgBase* owner) : CDlgBase(kWelcomePage, L"Veltrane", owner) {
    BindEvent(L"btn_Begin", PageEventKind::kClick, [this](const PageEvent&) { OnBegin(); });
    BindEvent(L"btn_CheckNow", PageEventKind::kClick,
              [](const PageEvent&) { OpenUrl(UPDATES_URL); });
    BindEvent(L"cb_DontShow", PageEventKind::kClick, [this](const PageEvent& event) {
        auto found = event.attributes.find(L"checked");
        auto checked = ParseCheckedAttribute(found == event.attributes.end()
                                                 ? std::nullopt
                                                 : std::optional<std::wstring>(found->second));
        if (checked) dontShow_ = *checked;
    });
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

void CDlgWelcome::OnBegin() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kOptionsKey, 0, KEY_SET_VALUE, key.Receive()) ==
        ERROR_SUCCESS) {
        DWORD show = dontShow_ ? 0 : 1;
        RegSetValueExW(key.Get(), kShowWelcomeValue, 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&show), sizeof(show));
    }
    EndDialog(IDOK);
}
