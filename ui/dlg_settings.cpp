#include "ui/dlg_settings.h"

#include <cwctype>

#include "sysaccess/reg_format.h"
#include "sysaccess/text.h"

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

CDlgSettings::CDlgSettings(const std::wstring& pageName, CKernel& kernel, CDlgBase* parent)
    : CDlgBase(pageName, L"Settings", parent), kernel_(kernel) {
    BindEvent(L"btn_Ok", PageEventKind::kClick, [this](const PageEvent&) { OnOk(); });
    BindEvent(L"btn_Cancel", PageEventKind::kClick, [this](const PageEvent&) { EndDialog(IDOK); });
    const std::pair<const wchar_t*, bool*> boxes[] = {{L"cb_OverWrite", &options_.overWrite},
                                                      {L"cb_BootStartup", &options_.bootStartup},
                                                      {L"cb_TrayHide", &options_.hideOnExit}};
    BindEvent(L"btn_KeepAdd", PageEventKind::kClick, [this](const PageEvent& event) {
        OnKeepAdd(AttributeOf(event, L"domain").value_or(L""));
    });
    // Each remove button of the list is named after its row: "btn_KeepRemove_" and a number.
    BindEvent(L"btn_KeepRemove_*", PageEventKind::kClick, [this](const PageEvent& event) {
        OnKeepRemove(AttributeOf(event, L"domain").value_or(L""));
    });
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
        options_ = kernel_.GetOptions();
    }
    if (options_.overWrite) overWrite->SetAttribute(L"checked", L"1");
    if (options_.hideOnExit) trayHide->SetAttribute(L"checked", L"1");
    if (options_.bootStartup) bootStartup->SetAttribute(L"checked", L"1");
    RenderKeepList(L"");
    RenderPlace(L"");
}

void CDlgSettings::OnKeepAdd(const std::wstring& domain) {
    std::wstring message;
    if (CookieKeepList::Normalize(domain).empty())
        message = L"Type a domain, such as example.com.";
    else if (options_.keepCookies.Contains(domain))
        message = L"That domain is in the list already.";
    else if (!options_.keepCookies.Add(domain))
        message = L"That is not a domain name.";
    // The box empties for the next domain (the page copies the attribute into
    // the box) before the list shows it.
    if (message.empty())
        if (auto box = GetDocument()->GetElementById(L"tx_KeepDomain"))
            box->SetAttribute(L"value", L"");
    RenderKeepList(message);
}

void CDlgSettings::OnKeepRemove(const std::wstring& domain) {
    options_.keepCookies.Remove(domain);
    RenderKeepList(L"");
}

void CDlgSettings::RenderKeepList(const std::wstring& message) {
    IHtmlDocument* document = GetDocument();
    if (!document) return;
    if (auto text = document->GetElementById(L"KeepMessage")) text->SetInnerText(message);
    auto list = document->GetElementById(L"KeepList");
    if (!list) return;
    std::wstring rows;
    size_t number = 0;
    for (const std::wstring& domain : options_.keepCookies.Domains()) {
        const std::wstring name = EscapeHtml(domain);
        rows += L"<li><span>" + name + L"</span><button type=\"button\" class=\"btn\" id=\"" +
                L"btn_KeepRemove_" + std::to_wstring(++number) + L"\" domain=\"" + name +
                L"\">Remove</button></li>";
    }
    if (options_.keepCookies.IsUnreadable())
        rows = L"<li class=\"keep-empty\">" + EscapeHtml(options_.keepCookies.UnreadableReason()) +
               L" Adding a domain starts a new list.</li>";
    if (rows.empty()) rows = L"<li class=\"keep-empty\">No domains: every cookie is cleaned.</li>";
    list->SetInnerHtml(rows);
}

void CDlgSettings::RenderPlace(const std::wstring& problem) {
    auto place = GetDocument()->GetElementById(L"OptionsPlace");
    if (!place) return;
    const std::wstring key = kernel_.GetOptionsKeyText();
    if (!problem.empty())
        place->SetInnerText(problem);
    else if (kernel_.GetOptionsScope() == SettingsScope::kMachine)
        place->SetInnerText(L"Kept for every user of this computer, in " + key + L".");
    else
        place->SetInnerText(L"Kept for you alone, in " + key +
                            L": this account may not change the settings of the computer.");
}

void CDlgSettings::OnOk() {
    const SettingsOutcome stored = kernel_.SetOptions(options_);
    if (!stored.Done()) {
        // The dialog stays, so that nothing seems kept that is not.
        RenderPlace(L"These settings could not be stored in " + kernel_.GetOptionsKeyText() +
                    L": " + FormatSystemError(stored.error));
        return;
    }
    EndDialog(IDOK);
}
