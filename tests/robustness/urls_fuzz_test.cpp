// "urls.ini" as a user or a broken copy may leave it: read without a crash,
// values taken only from between quotes, a problem reported at most once.
#include <gtest/gtest.h>

#include "robustness/mutation.h"
#include "support/test_files.h"
#include "ui/urls.h"

namespace veltrane {

namespace {

const std::vector<std::string> kSamples = {
    "; Web addresses\r\nSITE_URL         \"https://veltrane.example/\"\r\n"
    "UPDATES_URL      \"https://veltrane.example/updates/\"\r\n"
    "REMOTE_HELP_URL  \"https://veltrane.example/help/\"\r\n",
    "SITE_URL\"a\"\nUPDATES_URL \"b\nREMOTE_HELP_URL \"\"\n\n\tSITE_URL \"#size#\"",
};

TEST(UrlsFuzz, AnyFileIsReadWithoutHarm) {
    ScopedTestFolder folder(L"UrlsFuzz");
    const std::wstring path = folder.Sub(L"urls.ini");
    ForEachMutation(kSamples, 600, 20000, [&](uint64_t, const std::string& input) {
        WriteTestFile(path, input);
        SITE_URL.clear();
        UPDATES_URL.clear();
        REMOTE_HELP_URL.clear();
        int problems = 0;
        bool complete = LoadUrls(path, [&](const std::wstring&) { ++problems; });
        EXPECT_EQ(problems, complete ? 0 : 1);
        for (const std::wstring* url : {&SITE_URL, &UPDATES_URL, &REMOTE_HELP_URL}) {
            EXPECT_EQ(url->find_first_of(L"\"\n"), std::wstring::npos);
            EXPECT_LT(url->size(), 4096u);
        }
    });
}

}  // namespace

}  // namespace veltrane
