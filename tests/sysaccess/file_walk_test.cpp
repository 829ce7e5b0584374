// Walking and listing folders: masks in their order, sub-folders before
// the folder that holds them, cancelling, and a folder link seen for what it is.
#include <windows.h>

#include <gtest/gtest.h>

#include "file_fixtures.h"
#include "support/run_context_stub.h"
#include "support/test_files.h"
#include "sysaccess/file_info.h"
#include "sysaccess/file_walk.h"

namespace veltrane {

namespace {

// A folder with two masked files, one other and one below a sub-folder:
// sizes 1 + 2 + 3 + 4.
class FileList : public testing::Test {
protected:
    void SetUp() override {
        WriteTestFile(folder.Sub(L"b.AUT"), "1");
        WriteTestFile(folder.Sub(L"a.ARL"), "22");
        WriteTestFile(folder.Sub(L"c.txt"), "333");
        WriteTestFile(folder.Sub(L"sub\\deeper\\x.dat"), "4444");
    }

    ScopedTestFolder folder{L"WalkMasks"};
    StringList files;
    unsigned count = 0;
};

TEST_F(FileList, MasksSelectFilesInMaskOrderWithTheirSizes) {
    SizeList sizes;
    ASSERT_TRUE(
        GetFileList(nullptr, folder.Path(), &files, nullptr, L"*.ARL|*.AUT", L'|', &count, &sizes));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(FileName(files[0]), L"a.ARL");
    EXPECT_EQ(FileName(files[1]), L"b.AUT");
    EXPECT_EQ(sizes, (SizeList{2, 1}));
}

TEST_F(FileList, SubFoldersComeBeforeTheirFolder) {
    StringList folders;
    GetFileListPlugCancelProc collect(nullptr, &files, nullptr, &folders, nullptr, L'|');
    ASSERT_TRUE(WalkFolderTree(folder.Path(), collect));
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(FileName(folders[0]), L"deeper");
    EXPECT_EQ(FileName(folders[1]), L"sub");
}

TEST_F(FileList, HandleListingTakesMasksInOrderEachEntryOnce) {
    FolderTreeListing listing;
    ASSERT_EQ(
        ListFolderItems(nullptr, folder.Path(), L"*.aut|*.ARL|?.*", ListingDepth::kFiles, &listing)
            .kind,
        ListingResult::kListed);
    ASSERT_EQ(listing.files.size(), 3u);
    EXPECT_EQ(FileName(listing.files[0].path), L"b.AUT");
    EXPECT_EQ(FileName(listing.files[1].path), L"a.ARL");
    EXPECT_EQ(FileName(listing.files[2].path), L"c.txt");
    EXPECT_EQ(listing.TotalSize(), 6u);
    ASSERT_EQ(ListFolderItems(nullptr, folder.Path(), nullptr, ListingDepth::kTree, &listing).kind,
              ListingResult::kListed);
    EXPECT_EQ(listing.TotalSize(), 10u);
}

TEST_F(FileList, AMissingFolderListsNothing) {
    count = 7;  // left from an earlier listing: must be reset
    EXPECT_TRUE(
        GetFileList(nullptr, folder.Sub(L"missing"), &files, nullptr, nullptr, L'|', &count));
    EXPECT_EQ(count, 0u);
}

TEST(FileWalk, CancelStopsAfterTheCurrentEntry) {
    ScopedTestFolder folder(L"WalkCancel");
    for (int i = 0; i < 6; ++i) WriteTestFile(folder.Sub(L"f" + std::to_wstring(i)), "x");
    TestRunContext context;
    context.cancelAfterChecks = 3;
    StringList files;
    EXPECT_FALSE(GetFileList(&context, folder.Path(), &files, nullptr, nullptr, L'|', nullptr));
    EXPECT_EQ(files.size(), 3u);
}

TEST_F(FolderLink, IsRecognisedWithOrWithoutATrailingSeparator) {
    ASSERT_TRUE(IsFolderLink(link));
    ASSERT_TRUE(IsFolderLink(link + L"\\"));  // a trailing separator must not hide it
}

TEST_F(FolderLink, ListedWithItsLinkAttributeAndNeverAPlainFolder) {
    EXPECT_FALSE(IsPlainFolder(link));
    EXPECT_TRUE(IsPlainFolder(folder.Path()));
    // Finders that read names skip such an entry by its attributes.
    bool listed = false;
    for (const FolderEntry& entry : ListFolderEntries(folder.Path())) {
        if (entry.name != L"link") continue;
        listed = true;
        EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    EXPECT_TRUE(listed);
}

}  // namespace

}  // namespace veltrane
