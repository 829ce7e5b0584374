#include "ui/dlg_error.h"

namespace veltrane {

CDlgError::CDlgError(CDlgBase* owner) : CDlgBase(kErrorPage, L"Loading..", owner) {
    BindEvent(L"btn_close", PageEventKind::kClick, [this](const PageEvent&) { Hide(); });
}

void CDlgError::ShowError(const std::wstring& title, const std::wstring& reason) {
    if (title.empty() || reason.empty()) {
        title_.clear();
        reason_.clear();
    } else {
        title_ = title;
        reason_ = reason;
    }
    Refresh();
}

void CDlgError::Refresh() {
    if (title_.empty() && reason_.empty()) {
        // A hidden window is a closed frame; the next error opens it again.
        if (GetSafeHwnd()) EndDialog(IDOK);
        ready_ = false;
        return;
    }
    if (!GetSafeHwnd()) {
        ready_ = false;
        Create();
        return;  // the texts follow when the page has loaded
    }
    RaisePage();
    if (!ready_) return;
    // Both texts hold names and messages from the machine: text, never markup.
    IHtmlDocument* document = GetDocument();
    if (auto title = document->GetElementById(L"DefErrorArea")) title->SetInnerText(title_);
    if (auto reason = document->GetElementById(L"ReasonErrorArea")) reason->SetInnerText(reason_);
}

void CDlgError::OnDocumentComplete(bool reattached) {
    CDlgBase::OnDocumentComplete(reattached);
    ready_ = true;
    Refresh();
}

}  // namespace veltrane
