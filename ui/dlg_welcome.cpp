#include "ui/dlg_welcome.h"

#include "sysaccess/registry_values.h"
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
    DWORD show = 0;
    return ReadRegDword(HKEY_LOCAL_MACHINE, kOptionsKey, kShowWelcomeValue, show) && show == 1;
}

void CDlgWelcome::OnBegin() {
    // Only an installed program has the options key; nothing is created here.
    SetRegDwordInExistingKey(HKEY_LOCAL_MACHINE, kOptionsKey, kShowWelcomeValue, dontShow_ ? 0 : 1);
    EndDialog(IDOK);
}
