// What a path is, asked without keeping it open: a file held by another
// program, a file's facts, and a folder path made with its parents.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "sysaccess/file_info.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

TEST(FileInfo, HeldFilesAndFolderPaths) {
    ScopedTestFolder folder(L"FileInfo");
    const std::wstring lock = folder.Sub(L"parent.lock");
    WriteTestFile(lock, "12345");
    EXPECT_FALSE(IsFileInUse(lock));
    {
        UniqueHandle held = HoldOpen(lock, FILE_SHARE_READ | FILE_SHARE_WRITE);
        EXPECT_TRUE(IsFileInUse(lock));  // even a holder that shares is seen
    }
    EXPECT_FALSE(IsFileInUse(folder.Sub(L"missing.lock")));
    ASSERT_TRUE(ReadFileFacts(lock));
    EXPECT_EQ(ReadFileFacts(lock)->size, 5u);
    EXPECT_FALSE(ReadFileFacts(folder.Path()));
    EXPECT_FALSE(IsExistingFile(folder.Path()));

    const std::wstring deep = folder.Sub(L"reports\\2026\\12");
    EXPECT_EQ(CreateFolderPath(deep).kind, FolderCreation::Kind::kCreated);
    EXPECT_TRUE(IsPlainFolder(deep));
    EXPECT_EQ(CreateFolderPath(deep).kind, FolderCreation::Kind::kExisted);  // that is fine
    const FolderCreation underAFile = CreateFolderPath(lock + L"\\under");
    EXPECT_EQ(underAFile.kind, FolderCreation::Kind::kFailed);
    EXPECT_NE(underAFile.error, static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace

}  // namespace veltrane
