// The pages and templates the reports are built from.
#include <gtest/gtest.h>

#include "engine/page_reader.h"
#include "support/test_files.h"

namespace veltrane {

namespace {

// Pages and templates read from the program folder, as the program reads its own.
class PageReader : public testing::Test {
protected:
    ScopedTestFolder folder{L"PageReader"};
    ScopedProgramFolder programFolder{folder.Path()};
};

TEST_F(PageReader, PagesAreUtf8TextAndAMissingOneIsEmpty) {
    WriteTestFile(folder.Sub(L"page.html"), "Caf\xC3\xA9 \xE2\x80\x94 \xD0\xBF\r\nline");
    EXPECT_EQ(ReadPage(L"page.html"), L"Caf\u00e9 \u2014 \u043f\nline");
    EXPECT_EQ(ReadPage(L"missing.html"), L"");
}

TEST_F(PageReader, TemplateLinesKeepEmptyOnesAndAMissingFileFails) {
    WriteTestFile(folder.Sub(L"lines.txt"), "Name\r\n\r\nSize with space\n");
    std::vector<std::wstring> lines;
    ASSERT_TRUE(ReadTemplateLines(L"lines.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Name", L"", L"Size with space"}));
    EXPECT_FALSE(ReadTemplateLines(L"missing.txt", lines));
}

TEST_F(PageReader, NothingIsReadFromTheCurrentDirectory) {
    ScopedTestFolder started(L"PageReaderStart");
    WriteTestFile(started.Sub(L"page.html"), "from the start folder");
    ScopedCurrentDirectory directory(started.Path());
    EXPECT_EQ(ReadPage(L"page.html"), L"");
    // No program folder named: nothing at all, rather than a guess.
    ScopedProgramFolder none(L"");
    EXPECT_EQ(ReadPage(L"page.html"), L"");
    std::vector<std::wstring> lines;
    EXPECT_FALSE(ReadTemplateLines(L"page.html", lines));
}

}  // namespace

}  // namespace veltrane
