// The unattended switches as the command line gives them: what each run
// asks for, and a usage error that names what is wrong.
#include <gtest/gtest.h>

#include <optional>

#include "app/command_line.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

TEST(CommandLine, UsageErrorsNameWhatIsWrong) {
    std::wstring error;
    ParseHeadlessArguments({L"/scan", L"/bogus"}, error);
    EXPECT_EQ(error, L"Unknown switch: /bogus");
    ParseHeadlessArguments({L"/scan", L"/clean"}, error);
    EXPECT_FALSE(error.empty());
    ParseHeadlessArguments({L"/json"}, error);
    EXPECT_FALSE(error.empty());
    ParseHeadlessArguments({L"/clean", L"/only:"}, error);
    EXPECT_FALSE(error.empty());

    HeadlessRequest request =
        ParseHeadlessArguments({L"/CLEAN", L"/only:A,,B", L"/report:C:\\r", L"/json"}, error);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(request.action, HeadlessRequest::kClean);
    EXPECT_EQ(request.only, (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_EQ(request.reportFolder, L"C:\\r");
    EXPECT_TRUE(request.json);
    EXPECT_EQ(ParseHeadlessArguments({}, error).action, HeadlessRequest::kNone);
    EXPECT_TRUE(error.empty());
}

TEST(CommandLine, KeepTakesHostNamesForOneRun) {
    std::wstring error;
    HeadlessRequest request =
        ParseHeadlessArguments({L"/clean", L"/KEEP:.Example.com; shop.test;example.com"}, error);
    EXPECT_TRUE(error.empty()) << ToUtf8(error);
    EXPECT_EQ(request.keepCookies, std::optional<std::wstring>(L"example.com;shop.test"));
    EXPECT_FALSE(ParseHeadlessArguments({L"/scan"}, error).keepCookies);

    // A mistyped list must not run a clean without the cookies it meant to keep.
    ParseHeadlessArguments({L"/clean", L"/keep:example.com;exa mple.org"}, error);
    EXPECT_EQ(error, L"/keep: \"exa mple.org\" is not a domain name.");
    ParseHeadlessArguments({L"/clean", L"/keep:"}, error);
    EXPECT_EQ(error, L"/keep: needs at least one domain.");
    ParseHeadlessArguments({L"/clean", L"/keep:;;"}, error);
    EXPECT_FALSE(error.empty());
    ParseHeadlessArguments({L"/list", L"/keep:example.com"}, error);
    EXPECT_FALSE(error.empty());
    ParseHeadlessArguments({L"/keep:example.com"}, error);
    EXPECT_FALSE(error.empty());
}

}  // namespace

}  // namespace veltrane
