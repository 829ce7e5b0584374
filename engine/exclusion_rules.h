#pragma once
// The user's lasting exclusions (option "Exclusions") and the unattended
// "/exclude:" rules: what no clean may remove, one rule a line.
//   file:<path pattern>            a file
//   folder:<path pattern>          a folder and everything below it
//   key:<registry key>             a key and everything below it
//   value:<registry key>|<name>    values of a key by name
//   site:<domain>                  a site's cookies and data (the cookie keep-list's rule)
// Path patterns take environment variables (%TEMP%), "*" and "?" within one
// path segment and "**" for any number of segments; key patterns and value
// names take "*" and "?". Case does not matter.
#include <optional>
#include <string>
#include <vector>

#include "engine/cookie_keep_list.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

// The option (REG_MULTI_SZ, one rule a string) that holds the stored rules.
inline constexpr wchar_t kExclusionsOption[] = L"Exclusions";

// The rules as stored: their texts, or why they could not be read.
struct ExclusionList {
    std::vector<std::wstring> rules;
    std::optional<std::wstring> unreadable;

    bool operator==(const ExclusionList&) const = default;
};

struct ExclusionRule {
    enum class Kind { kFile, kFolder, kKey, kValue, kSite };
    Kind kind = Kind::kFile;
    std::wstring text;                  // as the user wrote it
    std::vector<std::wstring> pattern;  // path or key segments, expanded, "**" kept
    std::wstring namePattern;           // kValue
    std::wstring site;                  // kSite, normalised
};

struct [[nodiscard]] RuleParse {
    std::optional<ExclusionRule> rule;
    std::wstring error;  // why it cannot be parsed, when no rule
};
// Reads one rule; environment variables are expanded now.
RuleParse ParseExclusionRule(const std::wstring& text);

class ExclusionRules {
public:
    ExclusionRules() = default;
    // Parses every rule; the first that cannot be parsed is the error
    // ("<rule>: <why>"), and no rules are taken.
    struct [[nodiscard]] Parsed;
    static Parsed Parse(const std::vector<std::wstring>& texts);

    // The rule that keeps `item`, as written; nothing when none does. A
    // folder or key is kept also when a rule names a place below it, since
    // removing it whole would take that place too.
    std::optional<std::wstring> KeepingRule(const ItemRef& item) const;
    // The site rules, as a cookie keep-list's domains.
    std::vector<std::wstring> Sites() const;
    bool IsEmpty() const { return rules_.empty(); }

private:
    std::vector<ExclusionRule> rules_;
};

struct [[nodiscard]] ExclusionRules::Parsed {
    ExclusionRules rules;
    std::wstring error;  // empty when every rule was read
};

}  // namespace veltrane
