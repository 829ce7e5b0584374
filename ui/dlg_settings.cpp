#include "ui/dlg_settings.h"

#include <cwctype>

namespace {

std::optional<std::wstring> AttributeOf(const PageEvent& event, const wchar_t* name) {
    auto found = event.attributes.find(name);
    if (found == event.attributes.end()) return std::nullopt;
    return found->second;
}

}  // namespace

std::optional<bool> ParseCheckedAttribute(const std::optional<std::wstring>& value) {
    if (!value) return std::nullopt;
    std::wstring text;
    for (wchar_t c : *value) text += static_cast<wchar_t>(towlower(c));
    // A present boolean attribute may be written empty or as its own name.
    if (text.empty() || text == L"checked" || text == L"true" || text == L"1") return true;
    if (text == L"false" || text == L"0") return false;
    return std::nullopt;
}

CDlgSettings::CDlgSettings(const std::wstring& pageName, CSettings& options, CDlgBase* parent)
    : CDlgBase(pageName, L"Settings", parent), options_(options) {
    BindEvent(L"btn_Ok", PageEventKind::kClick, [this](const PageEvent&) { OnOk(); });
    BindEvent(L"btn_Cancel", PageEventKind::kClick, [this](const PageEvent&) { EndDialog(IDOK); });
    const std::pair<const wchar_t*, bool*> boxes[] = {{L"cb_OverWrite", &overWrite_},
                                                      {L"cb_BootStartup", &bootStartup_},
                                                      {L"cb_TrayHide", &trayHide_}};
    for (const auto& [id, value] : boxes) {
        BindEvent(id, PageEventKind::kClick, [value](const PageEvent& event) {
            if (auto checked = ParseCheckedAttribute(AttributeOf(event, L"checked")))
                *value = *checked;
        });
    }
}

void CDlgSettings::OnDocumentComplete(bool reattached) {
    CDlgBase::OnDocumentComplete(reattached);
    IHtmlDocument* document = GetDocument();
    auto overWrite = document->GetElementById(L"cb_OverWrite");
    auto trayHide = document->GetElementById(L"cb_TrayHide");
    auto bootStartup = document->GetElementById(L"cb_BootStartup");
    if (!overWrite || !trayHide || !bootStartup) return;

    // A reloaded page shows the choices made so far.
    if (!loaded_) {
        loaded_ = true;
        overWrite_ = options_.PeekOption(L"OverWrite") == L"1";
        trayHide_ = options_.PeekOption(L"HideOnExit") != L"0";
        bootStartup_ = options_.PeekOption(L"BootStartup") == L"1";
    }
    if (overWrite_) overWrite->SetAttribute(L"checked", L"1");
    if (trayHide_) trayHide->SetAttribute(L"checked", L"1");
    if (bootStartup_) bootStartup->SetAttribute(L"checked", L"1");
}

void CDlgSettings::OnOk() {
    options_.Option(L"OverWrite") = overWrite_ ? L"1" : L"0";
    options_.Option(L"HideOnExit") = trayHide_ ? L"1" : L"0";
    options_.Option(L"BootStartup") = bootStartup_ ? L"1" : L"0";
    EndDialog(IDOK);
}
