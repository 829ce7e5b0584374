#include "ui/dlg_notice.h"

#include "sysaccess/text.h"
#include "sysaccess/trace.h"

namespace veltrane {

namespace {

struct Button {
    const wchar_t* id;
    const wchar_t* label;
    int answer;
};

// The buttons of a message-box type, the default one first.
std::vector<Button> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{L"btn_ok", L"OK", IDOK}, {L"btn_cancel", L"Cancel", IDCANCEL}};
        case MB_YESNOCANCEL:
            return {{L"btn_yes", L"Yes", IDYES},
                    {L"btn_no", L"No", IDNO},
                    {L"btn_cancel", L"Cancel", IDCANCEL}};
        case MB_YESNO:
            return {{L"btn_yes", L"Yes", IDYES}, {L"btn_no", L"No", IDNO}};
        case MB_RETRYCANCEL:
            return {{L"btn_retry", L"Retry", IDRETRY}, {L"btn_cancel", L"Cancel", IDCANCEL}};
        default:
            return {{L"btn_ok", L"OK", IDOK}};
    }
}

const wchar_t* IconName(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND:
            return L"error";
        case MB_ICONEXCLAMATION:
            return L"warning";
        case MB_ICONQUESTION:
            return L"question";
        case MB_ICONASTERISK:
            return L"information";
        default:
            return L"none";
    }
}

}  // namespace

CDlgNotice::CDlgNotice(std::wstring text, std::wstring title, UINT type, CDlgBase* owner)
    : CDlgBase(kNoticePage, std::move(title), owner), text_(std::move(text)), type_(type) {
    for (const Button& button : ButtonsOf(type)) {
        const int answer = button.answer;
        BindEvent(button.id, PageEventKind::kClick,
                  [this, answer](const PageEvent&) { EndDialog(answer); });
    }
}

void CDlgNotice::OnDocumentComplete(bool reattached) {
    CDlgBase::OnDocumentComplete(reattached);
    IHtmlDocument* document = GetDocument();
    if (auto text = document->GetElementById(L"NoticeText")) text->SetInnerText(text_);
    if (auto icon = document->GetElementById(L"NoticeIcon"))
        icon->SetAttribute(L"data-icon", IconName(type_));
    if (auto place = document->GetElementById(L"NoticeButtons")) {
        std::wstring html;
        bool first = true;
        for (const Button& button : ButtonsOf(type_)) {
            html += std::wstring(L"<button type=\"button\" class=\"btn") +
                    (first ? L" primary" : L"") + L"\" id=\"" + button.id + L"\">" + button.label +
                    L"</button>";
            first = false;
        }
        place->SetInnerHtml(html);
    }
}

void CDlgNotice::OnCancel() {
    const UINT buttons = type_ & MB_TYPEMASK;
    if (buttons == MB_YESNO) return;
    EndDialog(buttons == MB_OK ? IDOK : IDCANCEL);
}

int ShowNotice(CDlgBase* owner, const std::wstring& text, const std::wstring& title, UINT type) {
    if (owner && owner->IsPageAttached()) {
        INT_PTR answer = CDlgNotice(text, title, type, owner).DoModal();
        if (answer == CDlgBase::kAlreadyOpen) return IDCANCEL;
        if (answer != -1) return static_cast<int>(answer);
    }
    Trace(L"Notice without a page: %ls\n", text.c_str());
    return MessageBoxW(owner ? owner->GetSafeHwnd() : nullptr, text.c_str(), title.c_str(), type);
}

}  // namespace veltrane
