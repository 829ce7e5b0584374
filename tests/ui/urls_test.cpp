// The web addresses of "urls.ini": keys in any order, what is missing or
// unfinished, and the one message about it.
#include <gtest/gtest.h>

#include <vector>

#include "support/test_files.h"
#include "ui/urls.h"

namespace veltrane {

namespace {

class Urls : public testing::Test {
protected:
    void SetUp() override {
        SITE_URL.clear();
        UPDATES_URL.clear();
        REMOTE_HELP_URL.clear();
    }

    bool Load(const std::string& content) {
        WriteTestFile(folder.Sub(L"urls.ini"), content);
        return LoadUrls(folder.Sub(L"urls.ini"),
                        [this](const std::wstring& text) { messages.push_back(text); });
    }

    ScopedTestFolder folder{L"Urls"};
    std::vector<std::wstring> messages;
};

TEST_F(Urls, KeysInAnyOrderWithCommentsAndBlankLines) {
    EXPECT_TRUE(
        Load("; addresses\r\n\r\n"
             "UPDATES_URL \"http://u/\"\r\n"
             "# another comment with SITE_URL \"http://wrong/\"\n"
             "   \tREMOTE_HELP_URL\t\t\"http://h/?a=1\" trailing text\n"
             "UNKNOWN_URL \"http://x/\"\n"
             "SITE_URL \"http://first/\"\n"
             "SITE_URL \"http://s/\""));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SITE_URL, L"http://s/");  // the last of two wins
    EXPECT_EQ(UPDATES_URL, L"http://u/");
    EXPECT_EQ(REMOTE_HELP_URL, L"http://h/?a=1");
}

TEST_F(Urls, MissingKeyOrFileIsReportedOnceAndKeepsWhatWasFound) {
    EXPECT_FALSE(
        Load("SITE_URL \"http://s/\"\nUPDATES_URL \"http://u/\"\n"
             "site_url \"http://case/\"\nREMOTE_HELP_URL_X \"http://x/\"\n"));
    EXPECT_EQ(messages, std::vector<std::wstring>{L"File Urls.ini is corrupted"});
    EXPECT_EQ(SITE_URL, L"http://s/");
    EXPECT_EQ(UPDATES_URL, L"http://u/");
    EXPECT_EQ(REMOTE_HELP_URL, L"");

    messages.clear();
    EXPECT_FALSE(LoadUrls(folder.Sub(L"none.ini"),
                          [this](const std::wstring& text) { messages.push_back(text); }));
    EXPECT_EQ(messages, std::vector<std::wstring>{L"Cannot find Urls.ini file"});
}

TEST_F(Urls, ValueWithoutClosingQuoteIsEmptyButFound) {
    EXPECT_TRUE(Load("SITE_URL \"http://s/\nUPDATES_URL\nREMOTE_HELP_URL \"http://h/\"\n"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(SITE_URL, L"");
    EXPECT_EQ(UPDATES_URL, L"");
    EXPECT_EQ(REMOTE_HELP_URL, L"http://h/");
}

}  // namespace

}  // namespace veltrane
