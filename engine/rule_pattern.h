#pragma once
// The matching of an exclusion rule's pattern (made by ParseExclusionRule),
// for the listing of what a rule keeps (rule_matches.*). A place is given as
// segments ("C:", "Temp", "a.log" or "HKCU", "Software"), as patterns hold them.
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

// Whether `place` matches the pattern whole ("**" takes any number of segments).
bool PatternMatches(const std::vector<std::wstring>& pattern,
                    const std::vector<std::wstring>& place);
// Whether `place` matches a leading part of the pattern, so that something
// at or below it may match.
bool PatternMayMatchBelow(const std::vector<std::wstring>& pattern,
                          const std::vector<std::wstring>& place);
// "*" any run of characters, "?" one; case-insensitive.
bool NameMatches(std::wstring_view pattern, std::wstring_view name);

}  // namespace veltrane
