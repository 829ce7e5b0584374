// Reading exclusion rules and matching items against them.
#include "engine/exclusion_rules.h"

#include <windows.h>

#include <cwctype>
#include <string_view>

#include "engine/rule_pattern.h"
#include "sysaccess/path_canonical.h"

namespace veltrane {

namespace {

constexpr std::wstring_view kAnyDepth = L"**";

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.data(), static_cast<int>(prefix.size()), prefix.data(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// "%NAME%" replaced by the variable's value; nothing when a variable is not set.
std::optional<std::wstring> ExpandVariables(const std::wstring& text, std::wstring& error) {
    std::wstring result;
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find(L'%', position);
        if (open == std::wstring::npos) break;
        const size_t close = text.find(L'%', open + 1);
        if (close == std::wstring::npos) {
            error = L"a \"%\" without its closing \"%\"";
            return std::nullopt;
        }
        result.append(text, position, open - position);
        const std::wstring name = text.substr(open + 1, close - open - 1);
        const DWORD length = name.empty() ? 0 : GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (length == 0) {
            error = L"the environment variable \"" + name + L"\" is not set";
            return std::nullopt;
        }
        std::wstring value(length, L'\0');
        value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), length));
        result += value;
        position = close + 1;
    }
    result.append(text, position);
    return result;
}

std::vector<std::wstring> Split(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring_view::npos) end = text.size();
        parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool HasWildcard(std::wstring_view segment) {
    return segment.find_first_of(L"*?") != std::wstring_view::npos;
}

// "*" any run of characters, "?" one; case-insensitive.
bool GlobMatch(std::wstring_view pattern, std::wstring_view text) {
    size_t p = 0;
    size_t t = 0;
    size_t starP = std::wstring_view::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() &&
            (pattern[p] == L'?' || std::towlower(pattern[p]) == std::towlower(text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

using Segments = std::vector<std::wstring>;

// Whether the segments `text[t..]` match `pattern[p..]`; "**" takes any number.
bool SegmentsMatch(const Segments& pattern, size_t p, const Segments& text, size_t t) {
    for (; p < pattern.size(); ++p, ++t) {
        if (pattern[p] == kAnyDepth) {
            for (size_t skip = t; skip <= text.size(); ++skip)
                if (SegmentsMatch(pattern, p + 1, text, skip)) return true;
            return false;
        }
        if (t >= text.size() || !GlobMatch(pattern[p], text[t])) return false;
    }
    return t == text.size();
}

// Whether something at or below `text` can match `pattern`: `text` matches a
// leading part of it.
bool MayHoldMatch(const Segments& pattern, size_t p, const Segments& text, size_t t) {
    for (; t < text.size(); ++p, ++t) {
        if (p >= pattern.size()) return false;
        if (pattern[p] == kAnyDepth) return true;
        if (!GlobMatch(pattern[p], text[t])) return false;
    }
    return true;
}

// Whether `text` or a place above it matches `pattern`.
bool MatchesAtOrAbove(const Segments& pattern, const Segments& text) {
    Segments above;
    for (const std::wstring& segment : text) {
        above.push_back(segment);
        if (SegmentsMatch(pattern, 0, above, 0)) return true;
    }
    return false;
}

// The place of a path pattern as segments: the part before the first wildcard
// in its canonical spelling, so that it compares with canonical item paths.
std::optional<Segments> PathPattern(const std::wstring& expanded, std::wstring& error) {
    std::wstring path = expanded;
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    // Never taken relative to a current folder: a rule names one place.
    if (path.size() < 3 || !std::iswalpha(path[0]) || path[1] != L':' || path[2] != L'\\') {
        error = L"a path must be a full path on a drive (\"C:\\...\" or \"%TEMP%\\...\")";
        return std::nullopt;
    }
    Segments segments = Split(path, L'\\');
    size_t literal = 0;
    while (literal < segments.size() && !HasWildcard(segments[literal])) ++literal;
    for (const std::wstring& segment : segments) {
        if (segment.find(kAnyDepth) != std::wstring::npos && segment != kAnyDepth) {
            error = L"\"**\" must be a whole path segment";
            return std::nullopt;
        }
    }
    std::wstring prefix;
    for (size_t i = 0; i < literal; ++i) prefix += (i ? L"\\" : L"") + segments[i];
    if (prefix.size() == 2 && prefix[1] == L':') prefix += L'\\';
    const std::wstring canonical = prefix.empty() ? std::wstring() : CanonicalPath(prefix);
    const bool onDrive = canonical.size() >= 3 && std::iswalpha(canonical[0]) &&
                         canonical[1] == L':' && canonical[2] == L'\\';
    if (!onDrive) {
        error = L"a path must be a full path on a drive (\"C:\\...\" or \"%TEMP%\\...\")";
        return std::nullopt;
    }
    Segments result = Split(
        canonical.back() == L'\\' ? canonical.substr(0, canonical.size() - 1) : canonical, L'\\');
    result.insert(result.end(), segments.begin() + static_cast<ptrdiff_t>(literal), segments.end());
    for (const std::wstring& segment : result)
        if (segment.empty()) {
            error = L"the path has an empty segment";
            return std::nullopt;
        }
    return result;
}

// A registry key written with a long or short root, as segments with the short root first.
std::optional<Segments> KeyPattern(std::wstring_view key, std::wstring& error) {
    static const struct {
        const wchar_t* longName;
        const wchar_t* shortName;
    } kRoots[] = {{L"HKEY_CURRENT_USER", L"HKCU"},
                  {L"HKEY_LOCAL_MACHINE", L"HKLM"},
                  {L"HKEY_CLASSES_ROOT", L"HKCR"},
                  {L"HKEY_USERS", L"HKU"},
                  {L"HKEY_CURRENT_CONFIG", L"HKCC"}};
    while (!key.empty() && key.back() == L'\\') key.remove_suffix(1);
    Segments segments = Split(key, L'\\');
    bool known = false;
    for (const auto& root : kRoots) {
        if (CompareStringOrdinal(segments[0].c_str(), -1, root.longName, -1, TRUE) == CSTR_EQUAL ||
            CompareStringOrdinal(segments[0].c_str(), -1, root.shortName, -1, TRUE) == CSTR_EQUAL) {
            segments[0] = root.shortName;
            known = true;
        }
    }
    if (!known) {
        error = L"a key must begin with its root (HKCU, HKLM, HKCR, HKU or HKCC)";
        return std::nullopt;
    }
    for (const std::wstring& segment : segments)
        if (segment.empty()) {
            error = L"the key has an empty segment";
            return std::nullopt;
        }
    return segments;
}

Segments PlaceSegments(const ItemRef& item) { return Split(item.place, L'\\'); }

}  // namespace

bool PatternMatches(const Segments& pattern, const Segments& place) {
    return SegmentsMatch(pattern, 0, place, 0);
}

bool PatternMayMatchBelow(const Segments& pattern, const Segments& place) {
    return MayHoldMatch(pattern, 0, place, 0);
}

bool NameMatches(std::wstring_view pattern, std::wstring_view name) {
    return GlobMatch(pattern, name);
}

RuleParse ParseExclusionRule(const std::wstring& text) {
    static const struct {
        const wchar_t* prefix;
        ExclusionRule::Kind kind;
    } kKinds[] = {{L"file:", ExclusionRule::Kind::kFile},
                  {L"folder:", ExclusionRule::Kind::kFolder},
                  {L"key:", ExclusionRule::Kind::kKey},
                  {L"value:", ExclusionRule::Kind::kValue},
                  {L"site:", ExclusionRule::Kind::kSite}};
    auto fail = [](std::wstring why) { return RuleParse{std::nullopt, std::move(why)}; };
    ExclusionRule rule;
    rule.text = text;
    std::wstring body;
    bool known = false;
    for (const auto& kind : kKinds) {
        if (StartsWith(text, kind.prefix)) {
            rule.kind = kind.kind;
            body = text.substr(wcslen(kind.prefix));
            known = true;
            break;
        }
    }
    if (!known) return fail(L"a rule begins with file:, folder:, key:, value: or site:");
    while (!body.empty() && std::iswspace(body.front())) body.erase(0, 1);
    while (!body.empty() && std::iswspace(body.back())) body.pop_back();
    if (body.empty()) return fail(L"the rule names nothing");

    std::wstring error;
    const std::optional<std::wstring> expanded = ExpandVariables(body, error);
    if (!expanded) return fail(error);
    switch (rule.kind) {
        case ExclusionRule::Kind::kFile:
        case ExclusionRule::Kind::kFolder: {
            std::optional<Segments> pattern = PathPattern(*expanded, error);
            if (!pattern) return fail(error);
            rule.pattern = std::move(*pattern);
            break;
        }
        case ExclusionRule::Kind::kKey:
        case ExclusionRule::Kind::kValue: {
            std::wstring_view key = *expanded;
            if (rule.kind == ExclusionRule::Kind::kValue) {
                const size_t bar = expanded->rfind(L'|');
                if (bar == std::wstring::npos)
                    return fail(L"a value rule is \"value:<key>|<value name>\"");
                rule.namePattern = expanded->substr(bar + 1);
                key = key.substr(0, bar);
            }
            if (key.find(kAnyDepth) != std::wstring_view::npos)
                return fail(L"\"**\" is for paths; a key takes \"*\" and \"?\" within a name");
            std::optional<Segments> pattern = KeyPattern(key, error);
            if (!pattern) return fail(error);
            rule.pattern = std::move(*pattern);
            break;
        }
        case ExclusionRule::Kind::kSite: {
            CookieKeepList probe;
            if (!probe.Add(*expanded)) return fail(L"\"" + *expanded + L"\" is no domain");
            rule.site = probe.Domains().front();
            break;
        }
    }
    return {std::move(rule), {}};
}

ExclusionRules::Parsed ExclusionRules::Parse(const std::vector<std::wstring>& texts) {
    Parsed parsed;
    for (const std::wstring& text : texts) {
        RuleParse rule = ParseExclusionRule(text);
        if (!rule.rule) {
            parsed.error = text + L": " + rule.error;
            parsed.rules.rules_.clear();
            return parsed;
        }
        parsed.rules.rules_.push_back(std::move(*rule.rule));
    }
    return parsed;
}

std::optional<std::wstring> ExclusionRules::KeepingRule(const ItemRef& item) const {
    if (rules_.empty()) return std::nullopt;
    const bool path = item.kind == ItemKind::kFile || item.kind == ItemKind::kFolder;
    const bool registry = item.kind == ItemKind::kRegKey || item.kind == ItemKind::kRegValue;
    // The records and entries of a store live in its file: a rule that keeps
    // the file, or a folder above it, keeps them too.
    const bool stored = item.kind == ItemKind::kStoreRow || item.kind == ItemKind::kStoreEntry;
    const Segments place = (path || registry || stored) ? PlaceSegments(item) : Segments();
    for (const ExclusionRule& rule : rules_) {
        bool keeps = false;
        switch (rule.kind) {
            case ExclusionRule::Kind::kFile:
                keeps = (item.kind == ItemKind::kFile || stored) &&
                        SegmentsMatch(rule.pattern, 0, place, 0);
                break;
            case ExclusionRule::Kind::kFolder:
                // The folder and all below it: a rule that names a folder above keeps it too.
                keeps = (path || stored) && MatchesAtOrAbove(rule.pattern, place);
                break;
            case ExclusionRule::Kind::kKey:
                keeps =
                    registry &&
                    (MatchesAtOrAbove(rule.pattern, place) ||
                     (item.kind == ItemKind::kRegKey && MayHoldMatch(rule.pattern, 0, place, 0)));
                break;
            case ExclusionRule::Kind::kValue:
                if (item.kind == ItemKind::kRegValue)
                    keeps = SegmentsMatch(rule.pattern, 0, place, 0) &&
                            GlobMatch(rule.namePattern, item.valueName);
                else if (item.kind == ItemKind::kRegKey)
                    keeps = MayHoldMatch(rule.pattern, 0, place, 0);
                break;
            case ExclusionRule::Kind::kSite: {
                if (item.kind != ItemKind::kSite) break;
                CookieKeepList one;
                (void)one.Add(rule.site);
                keeps = one.Keeps(item.place);
                break;
            }
        }
        if (keeps) return rule.text;
    }
    return std::nullopt;
}

std::vector<std::wstring> ExclusionRules::Sites() const {
    std::vector<std::wstring> sites;
    for (const ExclusionRule& rule : rules_)
        if (rule.kind == ExclusionRule::Kind::kSite) sites.push_back(rule.site);
    return sites;
}

}  // namespace veltrane
