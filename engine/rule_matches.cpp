// Listing what an exclusion rule matches: a walk down from the literal head
// of its pattern, entering only what the pattern may still match below.
#include "engine/rule_matches.h"

#include <algorithm>

#include "engine/rule_pattern.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/item_ref.h"
#include "sysaccess/reg_walk.h"
#include "sysaccess/registry_keys.h"
#include "sysaccess/registry_links.h"

namespace veltrane {

namespace {

using Segments = std::vector<std::wstring>;

std::wstring Joined(const Segments& segments, size_t count) {
    std::wstring text;
    for (size_t i = 0; i < count; ++i) text += (i ? L"\\" : L"") + segments[i];
    return text;
}

// How many leading segments hold no wildcard, at most all but the last: the
// walk starts in the place they name and lists the last segment there.
size_t LiteralHead(const Segments& pattern) {
    size_t literal = 0;
    while (literal + 1 < pattern.size() &&
           pattern[literal].find_first_of(L"*?") == std::wstring::npos)
        ++literal;
    return literal;
}

class MatchWalk {
public:
    MatchWalk(const ExclusionRule& rule, const MatchBounds& bounds)
        : rule_(rule), bounds_(bounds), start_(GetTickCount64()) {}

    RuleMatches Run() {
        // The head names at least the drive or the root.
        const size_t head = std::max<size_t>(1, LiteralHead(rule_.pattern));
        Segments place(rule_.pattern.begin(), rule_.pattern.begin() + static_cast<ptrdiff_t>(head));
        if (rule_.kind == ExclusionRule::Kind::kFile ||
            rule_.kind == ExclusionRule::Kind::kFolder) {
            // The walk lists only what lies at its place: never behind a link on the way.
            for (size_t depth = 2; depth <= place.size(); ++depth)
                if (IsFolderLink(Joined(place, depth))) return std::move(result_);
            if (place.size() < rule_.pattern.size())
                WalkFolder(place);
            else if (rule_.kind == ExclusionRule::Kind::kFolder)
                Add(place.front() + L"\\");  // "folder:C:\" names the whole drive
            return std::move(result_);
        }
        const HKEY root = RootNamed(place.front());
        if (!root) return std::move(result_);
        const std::wstring below = Joined(Segments(place.begin() + 1, place.end()), head - 1);
        OpenedRegKey key;
        if (!below.empty()) {
            key = OpenRegPathNoLink(root, below, KEY_READ);
            if (key.kind != OpenedRegKey::Kind::kOpened) return std::move(result_);
        }
        const HKEY start = below.empty() ? root : key.key.Get();
        if (place.size() < rule_.pattern.size())
            WalkKey(start, place);
        else
            AddKey(start, Joined(place, place.size()));
        return std::move(result_);
    }

private:
    static HKEY RootNamed(const std::wstring& name) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS,
                          HKEY_CURRENT_CONFIG})
            if (ShortRootName(root) == name) return root;
        return nullptr;
    }

    // False once a bound is reached: the walk ends.
    bool Look() {
        if (result_.stop != RuleMatches::Stop::kComplete) return false;
        if (++visited_ > bounds_.maxVisited || GetTickCount64() - start_ > bounds_.maxMillis) {
            result_.stop = RuleMatches::Stop::kBounded;
            return false;
        }
        return true;
    }

    void Add(std::wstring item) {
        if (result_.items.size() == bounds_.maxItems) {
            result_.stop = RuleMatches::Stop::kMoreItems;
            return;
        }
        result_.items.push_back(std::move(item));
    }

    void WalkFolder(Segments& place) {
        std::wstring folder = Joined(place, place.size());
        if (place.size() == 1) folder += L'\\';  // the drive's root
        for (const FolderEntry& entry : ListFolderEntries(folder)) {
            if (entry.name == L"." || entry.name == L"..") continue;
            if (!Look()) return;
            place.push_back(entry.name);
            const bool isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool wanted = isFolder == (rule_.kind == ExclusionRule::Kind::kFolder);
            if (wanted && PatternMatches(rule_.pattern, place)) Add(Joined(place, place.size()));
            // A link is listed when it matches, never entered.
            if (isFolder && (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                PatternMayMatchBelow(rule_.pattern, place) && place.size() < 256)
                WalkFolder(place);
            place.pop_back();
            if (result_.stop != RuleMatches::Stop::kComplete) return;
        }
    }

    // `key` is open as `place`; key patterns hold no "**", so the pattern's
    // length bounds the depth.
    void WalkKey(HKEY key, Segments& place) {
        if (place.size() >= rule_.pattern.size()) return;
        for (const std::wstring& name : ListSubKeyNames(key)) {
            if (!Look()) return;
            place.push_back(name);
            if (PatternMayMatchBelow(rule_.pattern, place)) {
                OpenedRegKey child = OpenRegKeyNoLink(key, name.c_str(), KEY_READ);
                if (child.kind == OpenedRegKey::Kind::kOpened) {
                    if (PatternMatches(rule_.pattern, place))
                        AddKey(child.key.Get(), Joined(place, place.size()));
                    else
                        WalkKey(child.key.Get(), place);
                }
            }
            place.pop_back();
            if (result_.stop != RuleMatches::Stop::kComplete) return;
        }
    }

    void AddKey(HKEY key, const std::wstring& text) {
        if (rule_.kind == ExclusionRule::Kind::kKey) {
            Add(text);
            return;
        }
        StringList names;
        (void)GetRegValuesList(nullptr, key, nullptr, &names, nullptr, nullptr);
        for (const std::wstring& name : names) {
            if (!Look()) return;
            if (NameMatches(rule_.namePattern, name)) Add(text + L"|" + name);
        }
    }

    const ExclusionRule& rule_;
    const MatchBounds& bounds_;
    const ULONGLONG start_;
    size_t visited_ = 0;
    RuleMatches result_;
};

}  // namespace

RuleMatches FindRuleMatches(const ExclusionRule& rule, const MatchBounds& bounds) {
    if (rule.kind == ExclusionRule::Kind::kSite) return {RuleMatches::Stop::kAtClean, {}};
    return MatchWalk(rule, bounds).Run();
}

}  // namespace veltrane
