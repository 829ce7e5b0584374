#include <gtest/gtest.h>

#include "engine/item_error.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "support/test_files.h"

namespace {

const std::wstring kFileTitle = L"Error occurred while attempting to delete file \"C:\\a.txt\".";

TEST(ItemErrorText, TitlesFollowKindRebootAndSubItem) {
    using enum ItemError::Kind;
    using enum ItemError::Reason;
    EXPECT_EQ(ItemError(kFile, L"C:\\a.txt", kSystemMessage, 32, true).GetTitle(),
              kFileTitle + L"\nIt will be deleted after system reboot.");
    EXPECT_EQ(ItemError(kRecycleBin, L"C:\\", kSystemMessage, 32, true).GetTitle(),
              L"Error occurred while attempting to clean Recycle Bin at Volume \"C:\\\"."
              L"\nIt will be cleaned after system reboot.");
    EXPECT_EQ(ItemError(kFile, L"C:\\a.txt", kSystemMessage, 5, false, L"inner.dat",
                        L"Cannot delete subitem")
                  .GetTitle(),
              kFileTitle + L"\nCannot delete subitem \"inner.dat\".");
    EXPECT_EQ(
        ItemError(kFolder, L"C:\\f", kFolderKeptForReboot, 0, false, L"x", L"Left: %s!").GetTitle(),
        L"Error occurred while attempting to delete folder \"C:\\f\".\nLeft: x!");
    // A kind the program does not know has no title.
    EXPECT_EQ(
        ItemError(static_cast<ItemError::Kind>(42), L"n", kSystemMessage, 0, false).GetTitle(),
        L"");
    EXPECT_EQ(ItemError(L"Ready title", L"Ready text").GetTitle(), L"Ready title");
    EXPECT_EQ(ItemError(L"Ready title", L"Ready text").GetReason(), L"Ready text");
}

TEST(ItemErrorText, MachineTextStaysTextAsItIs) {
    // The window shows these texts as text: markup and format signs in a name
    // or a sub-item are kept as they are, and never read as a format.
    using enum ItemError::Kind;
    using enum ItemError::Reason;
    const std::wstring name = L"<img src=x onerror=alert(1)> %s &amp;";
    ItemError error(kRegValue, name, kOwnText, 0, false, L"<b>%s</b>", L"Sub-item %s left");
    EXPECT_EQ(error.GetTitle(), L"Error occurred while attempting to delete registry value \"" +
                                    name + L"\".\nSub-item <b>%s</b> left");
    EXPECT_EQ(error.GetReason(), L"Sub-item %s left");
}

TEST(ItemErrorText, Reasons) {
    using enum ItemError::Kind;
    using enum ItemError::Reason;
    EXPECT_EQ(ItemError(kFile, L"n", kSystemMessage, ERROR_ACCESS_DENIED, false).GetReason(),
              L"Access denied.");
    EXPECT_EQ(ItemError(kFile, L"n", kSystemMessage, ERROR_ACCESS_DENIED, false).GetReasonType(),
              kAccessDenied);
    EXPECT_FALSE(
        ItemError(kFile, L"n", kSystemMessage, ERROR_SHARING_VIOLATION, false).GetReason().empty());
    EXPECT_EQ(ItemError(kFile, L"n", kSystemMessage, 0x7FFFFFF0, false).GetReason(),
              L"Unknown Error");
    EXPECT_EQ(ItemError(kFolder, L"n", kFolderKeptForReboot, 0, false).GetReason(),
              L"The folder cannot be deleted because some tracks inside folder will be removed "
              L"after reboot.");
    EXPECT_EQ(ItemError(kFile, L"n", kUnknown, 0, false).GetReason(), L"Unknown error.");
    EXPECT_EQ(ItemError(kFile, L"n", kOwnText, 0, false, L"", L"own").GetReason(), L"own");
    // 3 is no reason of the program: nothing is shown.
    EXPECT_EQ(ItemError(kFile, L"n", static_cast<ItemError::Reason>(3), 0, false).GetReason(), L"");
}

TEST(Statistics, ErrorsAndDeferralsMarkTheRecord) {
    std::vector<ItemError> errors;
    CElimActionRecords::SFileItemStatistics folder;
    folder.name = L"C:\\Temp\\x";
    folder.isFolder = true;
    folder.AddError(errors, ItemError::kSystemMessage, 5);
    CElimActionRecords::SRegItemStatistics value;
    value.name = L"HKEY_CURRENT_USER\\Software\\x\\v";
    value.AddError(errors, ItemError::kSystemMessage, 2);
    CElimActionRecords::SFileItemStatistics file;
    file.name = L"C:\\f.txt";
    file.AddDeferred(errors, true, 32);
    EXPECT_EQ(folder.status, CElimActionRecords::kFailed);
    EXPECT_EQ(file.status, CElimActionRecords::kDeferred);
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0].GetKind(), ItemError::kFolder);
    EXPECT_EQ(errors[1].GetKind(), ItemError::kRegValue);
    EXPECT_EQ(errors[2].GetKind(), ItemError::kWipeFile);
    EXPECT_TRUE(errors[2].IsReboot());
}

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

TEST(SizeFormat, DecimalUnitsWithTwoDecimalsCut) {
    const std::pair<uint64_t, const wchar_t*> cases[] = {
        {0, L"0 B"},
        {499, L"499 B"},
        {500, L"0.50 KB"},
        {1999, L"1.99 KB"},
        {499999, L"499.99 KB"},
        {500000, L"0.50 MB"},
        {1234567, L"1.23 MB"},
        {1999999, L"1.99 MB"},
        {500000000, L"0.50 GB"},
        {5000000000ULL, L"5.00 GB"},
        {123456789012345ULL, L"123456.78 GB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatSize(bytes), text) << bytes;
}

}  // namespace
