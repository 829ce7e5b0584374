#pragma once
// What an exclusion rule matches on this machine, for the test button of
// Settings: the files and folders of a path rule, the keys of a key rule, the
// values of a value rule. The listing is bounded in items, entries looked at
// and time, so that a rule such as "file:C:\**\*" answers at once, and it
// never enters a folder link or a registry link.
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "engine/exclusion_rules.h"

namespace veltrane {

struct MatchBounds {
    size_t maxItems = 200;        // matches listed
    size_t maxVisited = 50'000;   // folder entries, keys and values looked at
    ULONGLONG maxMillis = 2'000;  // time spent
};

struct RuleMatches {
    enum class Stop {
        kComplete,   // every match is listed
        kMoreItems,  // more than maxItems match: the first are listed
        kBounded,    // the walk stopped at its entry or time bound: there may be more
        kAtClean,    // a site rule: matched against the cookies and site data a clean finds
    };
    Stop stop = Stop::kComplete;
    // Full paths; keys as "HKCU\Software\X"; values as "HKCU\Software\X|name".
    std::vector<std::wstring> items;
};

RuleMatches FindRuleMatches(const ExclusionRule& rule, const MatchBounds& bounds = {});

}  // namespace veltrane
