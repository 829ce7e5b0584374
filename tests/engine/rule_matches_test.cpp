// What the test button of an exclusion rule lists, on real folders and keys:
// the matches of each kind of rule, never what lies behind a link, and a
// walk that stops at its bounds and says so.
#include "engine/rule_matches.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/registry_links.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"

namespace veltrane {

namespace {

ExclusionRule Rule(const std::wstring& text) {
    RuleParse parsed = ParseExclusionRule(text);
    EXPECT_TRUE(parsed.rule) << parsed.error;
    return parsed.rule.value_or(ExclusionRule{});
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> items) {
    std::sort(items.begin(), items.end());
    return items;
}

TEST(RuleMatches, PathRulesListTheirFilesOrFoldersAndNothingBehindALink) {
    ScopedTestFolder root(L"RuleMatches");
    WriteTestFile(root.Sub(L"a.log"), "x");
    WriteTestFile(root.Sub(L"a.txt"), "x");
    WriteTestFile(root.Sub(L"deep\\er\\b.log"), "x");
    WriteTestFile(root.Sub(L"deep\\c.log\\inside.txt"), "x");  // a folder named like a file
    WriteTestFile(root.Sub(L"elsewhere\\d.log"), "x");
    ScopedFolderLinks links;
    ASSERT_TRUE(links.Make(root.Sub(L"linked"), root.Sub(L"elsewhere")));

    RuleMatches files = FindRuleMatches(Rule(L"file:" + root.Path() + L"\\**\\*.log"));
    EXPECT_EQ(files.stop, RuleMatches::Stop::kComplete);
    EXPECT_EQ(Sorted(files.items), Sorted({root.Sub(L"a.log"), root.Sub(L"deep\\er\\b.log"),
                                           root.Sub(L"elsewhere\\d.log")}));

    RuleMatches folders = FindRuleMatches(Rule(L"folder:" + root.Path() + L"\\*"));
    EXPECT_EQ(Sorted(folders.items),
              Sorted({root.Sub(L"deep"), root.Sub(L"elsewhere"), root.Sub(L"linked")}));

    // Nor when the link is in the rule's own path.
    EXPECT_TRUE(FindRuleMatches(Rule(L"file:" + root.Sub(L"linked\\*.log"))).items.empty());

    // A rule whose path has no wildcard lists that one place, when it is there.
    EXPECT_EQ(FindRuleMatches(Rule(L"file:" + root.Sub(L"A.TXT"))).items,
              std::vector<std::wstring>{root.Sub(L"a.txt")});
    EXPECT_TRUE(FindRuleMatches(Rule(L"file:" + root.Sub(L"missing\\*.log"))).items.empty());
}

TEST(RuleMatches, KeyAndValueRulesListMatchingKeysAndValuesNotBehindALink) {
    ScopedTestKey key(L"RuleMatches");
    ScopedTestKey other(L"RuleMatchesOther");
    SetString(key.Root(), key.Sub(L"App1"), L"recent1", L"x");
    SetString(key.Root(), key.Sub(L"App1"), L"other", L"x");
    SetString(key.Root(), key.Sub(L"App2\\Deeper"), L"recent2", L"x");
    SetString(key.Root(), key.Sub(L"Misc"), L"recent3", L"x");
    SetString(other.Root(), other.Path(), L"recent4", L"x");
    ASSERT_TRUE(MakeRegistryLink(key.Root(), key.Sub(L"AppLink"), other.Root(), other.Path()));
    const std::wstring place = L"HKCU\\" + key.Path();

    RuleMatches keys = FindRuleMatches(Rule(L"key:" + place + L"\\App*"));
    EXPECT_EQ(keys.stop, RuleMatches::Stop::kComplete);
    EXPECT_EQ(Sorted(keys.items), Sorted({place + L"\\App1", place + L"\\App2"}));

    RuleMatches values = FindRuleMatches(Rule(L"value:" + place + L"\\*|recent?"));
    EXPECT_EQ(Sorted(values.items), Sorted({place + L"\\App1|recent1", place + L"\\Misc|recent3"}));
    RemoveRegistryLink(key.Root(), key.Sub(L"AppLink"));
}

TEST(RuleMatches, TheListingStopsAtItsBoundsAndSaysWhy) {
    ScopedTestFolder root(L"RuleMatchesBounds");
    for (int i = 0; i < 12; ++i) WriteTestFile(root.Sub(L"f" + std::to_wstring(i) + L".tmp"), "x");
    const ExclusionRule rule = Rule(L"file:" + root.Path() + L"\\*.tmp");

    RuleMatches few = FindRuleMatches(rule, {.maxItems = 5});
    EXPECT_EQ(few.stop, RuleMatches::Stop::kMoreItems);
    EXPECT_EQ(few.items.size(), 5u);

    RuleMatches looked = FindRuleMatches(rule, {.maxVisited = 3});
    EXPECT_EQ(looked.stop, RuleMatches::Stop::kBounded);
    EXPECT_LE(looked.items.size(), 3u);

    // A site is matched at the clean, against what its stores hold then.
    EXPECT_EQ(FindRuleMatches(Rule(L"site:example.com")).stop, RuleMatches::Stop::kAtClean);
}

}  // namespace

}  // namespace veltrane
