#pragma once
// The settings dialog: overwrite files, start with Windows, keep running in
// the notification area, the cookies to keep, and where they are kept; on its
// Exclusions page the lasting exclusion rules, each tried on this machine by
// its Test button. OK hands the choices to the kernel, which stores them at once.
#include <optional>
#include <string>

#include "engine/kernel.h"
#include "engine/rule_matches.h"
#include "ui/dlg_base.h"

namespace veltrane {

inline constexpr wchar_t kSettingsPage[] = L"DlgSettings.htm";

class CDlgSettings : public CDlgBase {
public:
    CDlgSettings(const std::wstring& pageName, CKernel& kernel, CDlgBase* parent);

protected:
    void OnDocumentComplete(bool reattached) override;

private:
    void OnOk();
    void OnKeepAdd(const std::wstring& domain);
    void OnKeepRemove(const std::wstring& domain);
    // Shows the list of cookies to keep and `message` under the domain box.
    void RenderKeepList(const std::wstring& message);
    // A rule typed in the rule box: added, or put in the place of `editing`.
    void OnRuleSave(const std::wstring& rule, const std::wstring& editing);
    void OnRuleRemove(const std::wstring& rule);
    // Lists what the typed rule matches on this machine now.
    void OnRuleTest(const std::wstring& rule);
    // Shows the rules, then the keep-list's domains as the site rules they are.
    void RenderRuleList();
    // Says where the options are kept, or `problem` when they could not be stored.
    void RenderPlace(const std::wstring& problem);

    CKernel& kernel_;
    Options options_;  // the choices made so far
    bool loaded_ = false;
};

// What a rule's test found, as the page shows it: a line, then the items as text.
std::wstring RuleMatchesHtml(const ExclusionRule& rule, const RuleMatches& matches);

// A check box's "checked" attribute as a boolean; nothing when it is not one.
std::optional<bool> ParseCheckedAttribute(const std::optional<std::wstring>& value);

}  // namespace veltrane
