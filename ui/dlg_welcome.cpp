#include "ui/dlg_welcome.h"

#include "sysaccess/trace.h"
#include "ui/dlg_settings.h"
#include "ui/open_url.h"
#include "ui/urls.h"

namespace veltrane {

CDlgWelcome::CDlgWelcome(CDlgBase* owner, CKernel& kernel)
    : CDlgBase(kWelcomePage, L"Veltrane", owner), kernel_(kernel) {
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

void CDlgWelcome::OnBegin() {
    Options options = kernel_.GetOptions();
    options.showWelcome = !dontShow_;
    if (!kernel_.SetOptions(options).Done()) Trace(L"The welcome choice could not be stored\n");
    EndDialog(IDOK);
}

}  // namespace veltrane
