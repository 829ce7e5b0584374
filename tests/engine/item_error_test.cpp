// The title and reason of an item that could not be removed, as the window
// and the reports show them.
#include <gtest/gtest.h>

#include "engine/item_error.h"

namespace veltrane {

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

}  // namespace

}  // namespace veltrane
