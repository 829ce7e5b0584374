// The exclusion rules' reading and matching, without a clean: what each kind
// of rule keeps and what it must not.
#include "engine/exclusion_rules.h"

#include <gtest/gtest.h>

namespace veltrane {

namespace {

ExclusionRules Rules(const std::vector<std::wstring>& texts) {
    ExclusionRules::Parsed parsed = ExclusionRules::Parse(texts);
    EXPECT_EQ(parsed.error, L"");
    return parsed.rules;
}

bool Keeps(const ExclusionRules& rules, const ItemRef& item) {
    return rules.KeepingRule(item).has_value();
}

TEST(ExclusionRules, PathPatternsMatchWithinSegmentsAndAtAnyDepth) {
    const ExclusionRules rules =
        Rules({L"file:C:\\Temp\\*.lo?", L"file:C:\\Data\\**\\keep.txt", L"folder:c:\\cache\\pro*"});
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\Temp\\a.log")));
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\TEMP\\B.LOG")));  // case does not matter
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\Temp\\a.logs")));
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\Temp\\sub\\a.log")));  // "*" stays in its segment
    EXPECT_FALSE(Keeps(rules, FolderItemRef(L"C:\\Temp\\a.log")));     // a file rule keeps files
    // "**" takes no segment or many.
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\Data\\keep.txt")));
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\Data\\a\\b\\c\\keep.txt")));
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\Other\\keep.txt")));
    // A folder rule keeps the folder and everything below it, never its parent or a sibling.
    EXPECT_TRUE(Keeps(rules, FolderItemRef(L"C:\\cache\\profile1")));
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\cache\\profile1\\x\\y.dat")));
    EXPECT_FALSE(Keeps(rules, FolderItemRef(L"C:\\cache")));
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\cache\\other\\y.dat")));
    EXPECT_EQ(*rules.KeepingRule(FileItemRef(L"C:\\cache\\pro\\z")), L"folder:c:\\cache\\pro*");
}

// The records of a browser's database and the entries of a store live in
// its file: a rule that keeps the file, or a folder above it, keeps them.
TEST(ExclusionRules, StoresAreKeptWithTheirFile) {
    const ExclusionRules rules =
        Rules({L"folder:C:\\Profiles\\Work", L"file:C:\\Profiles\\Home\\History"});
    EXPECT_TRUE(Keeps(rules, StoreRowItemRef(L"C:\\Profiles\\Work\\Cookies", L"a.test")));
    EXPECT_TRUE(Keeps(rules, StoreRowItemRef(L"C:\\Profiles\\Home\\History", L"a.test")));
    EXPECT_FALSE(Keeps(rules, StoreRowItemRef(L"C:\\Profiles\\Home\\Cookies", L"a.test")));
    EXPECT_TRUE(Keeps(
        rules, {ItemKind::kStoreEntry, L"C:\\Profiles\\Work\\Activities.db", L"notepad.exe", {}}));
    // A store that is no file is kept by no path rule.
    EXPECT_FALSE(
        Keeps(Rules({L"folder:C:\\"}),
              {ItemKind::kStoreEntry, L"Internet Explorer history", L"http://a.test/", {}}));
}

TEST(ExclusionRules, EnvironmentVariablesAreExpandedWhenRead) {
    SetEnvironmentVariableW(L"VELTRANE_RULE_TEST", L"C:\\Rules\\Here");
    const ExclusionRules rules = Rules({L"folder:%VELTRANE_RULE_TEST%\\kept"});
    SetEnvironmentVariableW(L"VELTRANE_RULE_TEST", nullptr);
    EXPECT_TRUE(Keeps(rules, FileItemRef(L"C:\\Rules\\Here\\kept\\a.txt")));
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\Rules\\Here\\gone.txt")));
}

TEST(ExclusionRules, KeyAndValueRulesKeepBelowAndTheKeysAboveThem) {
    const ExclusionRules rules =
        Rules({L"key:HKEY_CURRENT_USER\\Software\\Kept", L"value:HKCU\\Software\\List|a*"});
    EXPECT_TRUE(Keeps(rules, RegKeyItemRef(HKEY_CURRENT_USER, L"Software\\kept\\sub")));
    EXPECT_TRUE(Keeps(rules, RegValueItemRef(HKEY_CURRENT_USER, L"Software\\Kept", L"x")));
    EXPECT_FALSE(Keeps(rules, RegKeyItemRef(HKEY_LOCAL_MACHINE, L"Software\\Kept")));
    EXPECT_FALSE(Keeps(rules, RegKeyItemRef(HKEY_CURRENT_USER, L"Software\\Kept2")));
    // Removing a key whole would take what a rule keeps below it.
    EXPECT_TRUE(Keeps(rules, RegKeyItemRef(HKEY_CURRENT_USER, L"Software")));
    EXPECT_TRUE(Keeps(rules, RegValueItemRef(HKEY_CURRENT_USER, L"Software\\List", L"abc")));
    EXPECT_FALSE(Keeps(rules, RegValueItemRef(HKEY_CURRENT_USER, L"Software\\List", L"b")));
    EXPECT_FALSE(Keeps(rules, RegValueItemRef(HKEY_CURRENT_USER, L"Software\\List\\Sub", L"a")));
    EXPECT_FALSE(Keeps(rules, RegKeyItemRef(HKEY_CURRENT_USER, L"Software\\Other")));
}

TEST(ExclusionRules, SiteRulesKeepTheDomainAndItsSubdomainsOnly) {
    const ExclusionRules rules = Rules({L"site:Example.com"});
    EXPECT_TRUE(Keeps(rules, SiteItemRef(L"example.com")));
    EXPECT_TRUE(Keeps(rules, SiteItemRef(L".shop.example.com")));
    EXPECT_FALSE(Keeps(rules, SiteItemRef(L"thisisanexample.com")));
    EXPECT_FALSE(Keeps(rules, FileItemRef(L"C:\\example.com")));
    EXPECT_EQ(rules.Sites(), std::vector<std::wstring>{L"example.com"});
}

TEST(ExclusionRules, RulesThatCannotBeReadSayWhy) {
    for (const wchar_t* text :
         {L"", L"path:C:\\x", L"file:", L"file:relative\\x", L"file:C:\\a**\\b",
          L"folder:%VELTRANE_NOT_SET_ANYWHERE%\\x", L"folder:C:\\x\\%unclosed", L"key:Software\\X",
          L"key:HKCU\\**\\X", L"value:HKCU\\Software", L"site:no domain"}) {
        const RuleParse parsed = ParseExclusionRule(text);
        EXPECT_FALSE(parsed.rule) << text;
        EXPECT_FALSE(parsed.error.empty()) << text;
    }
    // One bad rule among good ones: none is taken.
    const ExclusionRules::Parsed parsed = ExclusionRules::Parse({L"file:C:\\a", L"bad"});
    EXPECT_EQ(parsed.error.rfind(L"bad: ", 0), 0u) << parsed.error;
    EXPECT_TRUE(parsed.rules.IsEmpty());
}

}  // namespace

}  // namespace veltrane
