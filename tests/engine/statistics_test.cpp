// The records of a clean: an error or a deferral marks the item and names its kind.
#include <gtest/gtest.h>

#include "engine/statistics.h"

namespace veltrane {

namespace {

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

}  // namespace

}  // namespace veltrane
