#include "ui/dlg_settings.h"

#include <algorithm>
#include <cwctype>

#include "sysaccess/reg_format.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::optional<std::wstring> AttributeOf(const PageEvent& event, const wchar_t* name) {
    auto found = event.attributes.find(name);
    if (found == event.attributes.end()) return std::nullopt;
    return found->second;
}

}  // namespace

std::wstring RuleMatchesHtml(const ExclusionRule& rule, const RuleMatches& matches) {
    using Stop = RuleMatches::Stop;
    const std::wstring count = std::to_wstring(matches.items.size());
    std::wstring line;
    switch (matches.stop) {
        case Stop::kAtClean:
            line = L"A site rule is matched when a clean-up runs: the cookies and site data of " +
                   rule.site + L" and its sub-domains stay.";
            break;
        case Stop::kComplete:
            line = matches.items.empty()       ? L"Nothing on this computer matches this rule now."
                   : matches.items.size() == 1 ? std::wstring(L"1 item matches this rule now:")
                                               : count + L" items match this rule now:";
            break;
        case Stop::kMoreItems:
            line = L"More than " + count + L" items match this rule; the first " + count + L":";
            break;
        case Stop::kBounded:
            line = L"The search stopped before it looked everywhere; " + count +
                   L" matching items found so far:";
            break;
    }
    std::wstring html = L"<p>" + EscapeHtml(line) + L"</p>";
    if (matches.items.empty()) return html;
    html += L"<ul>";
    for (const std::wstring& item : matches.items) html += L"<li>" + EscapeHtml(item) + L"</li>";
    return html + L"</ul>";
}

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
    BindEvent(L"btn_RuleAdd", PageEventKind::kClick, [this](const PageEvent& event) {
        OnRuleSave(AttributeOf(event, L"rule").value_or(L""),
                   AttributeOf(event, L"editing").value_or(L""));
    });
    BindEvent(L"btn_RuleTest", PageEventKind::kClick, [this](const PageEvent& event) {
        OnRuleTest(AttributeOf(event, L"rule").value_or(L""));
    });
    BindEvent(L"btn_RuleRemove_*", PageEventKind::kClick, [this](const PageEvent& event) {
        OnRuleRemove(AttributeOf(event, L"rule").value_or(L""));
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

void CDlgSettings::OnRuleSave(const std::wstring& rule, const std::wstring& editing) {
    std::vector<std::wstring>& rules = options_.exclusions.rules;
    const RuleParse parsed = ParseExclusionRule(rule);
    std::wstring message;
    if (!parsed.rule)
        message = L"This rule cannot be used: " + parsed.error + L".";
    else if (rule != editing && std::find(rules.begin(), rules.end(), rule) != rules.end())
        message = L"That rule is in the list already.";
    if (!message.empty()) {
        if (auto text = GetDocument()->GetElementById(L"RuleMessage")) text->SetInnerText(message);
        return;
    }
    if (options_.exclusions.unreadable) options_.exclusions = {};  // a new list
    auto place = std::find(rules.begin(), rules.end(), editing);
    if (!editing.empty() && place != rules.end())
        *place = rule;
    else
        rules.push_back(rule);
    auto document = GetDocument();
    if (auto box = document->GetElementById(L"tx_Rule")) box->SetAttribute(L"value", L"");
    if (auto save = document->GetElementById(L"btn_RuleAdd")) save->SetAttribute(L"editing", L"");
    if (auto matches = document->GetElementById(L"RuleMatches")) matches->SetInnerText(L"");
    if (auto text = document->GetElementById(L"RuleMessage")) text->SetInnerText(L"");
    RenderRuleList();
}

void CDlgSettings::OnRuleRemove(const std::wstring& rule) {
    std::vector<std::wstring>& rules = options_.exclusions.rules;
    auto place = std::find(rules.begin(), rules.end(), rule);
    if (place != rules.end()) rules.erase(place);
    RenderRuleList();
}

void CDlgSettings::OnRuleTest(const std::wstring& rule) {
    IHtmlDocument* document = GetDocument();
    auto message = document->GetElementById(L"RuleMessage");
    auto matches = document->GetElementById(L"RuleMatches");
    if (!message || !matches) return;
    const RuleParse parsed = ParseExclusionRule(rule);
    if (!parsed.rule) {
        message->SetInnerText(L"This rule cannot be used: " + parsed.error + L".");
        matches->SetInnerText(L"");
        return;
    }
    message->SetInnerText(L"");
    matches->SetInnerHtml(RuleMatchesHtml(*parsed.rule, FindRuleMatches(*parsed.rule)));
}

void CDlgSettings::RenderRuleList() {
    IHtmlDocument* document = GetDocument();
    if (!document) return;
    auto list = document->GetElementById(L"RuleList");
    if (!list) return;
    std::wstring rows;
    if (options_.exclusions.unreadable)
        rows = L"<li class=\"keep-empty\">The stored rules cannot be read (" +
               EscapeHtml(*options_.exclusions.unreadable) +
               L"), so every clean-up is refused. Adding a rule starts a new list.</li>";
    size_t number = 0;
    for (const std::wstring& rule : options_.exclusions.rules) {
        const std::wstring text = EscapeHtml(rule);
        rows += L"<li><code>" + text + L"</code><span class=\"rule-buttons\">" +
                L"<button type=\"button\" class=\"btn rule-edit\" rule=\"" + text +
                L"\">Edit</button><button type=\"button\" class=\"btn\" id=\"btn_RuleRemove_" +
                std::to_wstring(++number) + L"\" rule=\"" + text +
                L"\">Remove</button></span></li>";
    }
    // The keep-list stays where it is kept: it is edited on the General page.
    for (const std::wstring& domain : options_.keepCookies.Domains())
        rows += L"<li><code>site:" + EscapeHtml(domain) +
                L"</code><span class=\"keep-parent\">Cookies to keep (General)</span></li>";
    if (rows.empty())
        rows = L"<li class=\"keep-empty\">No rules: a clean-up removes all it lists.</li>";
    list->SetInnerHtml(rows);
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
    RenderRuleList();
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

}  // namespace veltrane
