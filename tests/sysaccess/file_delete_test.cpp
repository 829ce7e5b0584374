// Deleting files and folders: read-only and hidden files, files in use
// deferred to the next start and never written to, overwriting only through
// the one name, refusals, links never followed, and a clean that removes
// exactly what its scan listed.
#include <windows.h>

#include <gtest/gtest.h>

#include "file_fixtures.h"
#include "support/run_context_stub.h"
#include "support/scoped_overrides.h"
#include "support/test_files.h"
#include "support/test_links.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/handles.h"
#include "sysaccess/known_folders.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

TEST_F(FileDelete, ReadOnlyHiddenFileGoes) {
    std::wstring path = folder.Sub(L"ro.txt");
    WriteTestFile(path, "data");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(DeleteFileEx(path, false).kind, DeleteOutcome::kRemoved);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(FileDelete, WhatIsAlreadyGoneCountsAsDeleted) {
    EXPECT_EQ(DeleteFileEx(folder.Sub(L"gone.txt"), true).kind, DeleteOutcome::kRemoved);
    EXPECT_EQ(WipeFile(folder.Sub(L"never\\there.txt")).kind, WipeOutcome::kMissing);
    EXPECT_TRUE(RemoveFolder(folder.Sub(L"never")).Removed());
}

TEST_F(FileDelete, ReadOnlyFileIsOverwrittenAndRemoved) {
    std::wstring path = folder.Sub(L"ro.bin");
    WriteTestFile(path, std::string(1000, 'a'));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteFileEx(path, true).kind, DeleteOutcome::kRemoved);
    EXPECT_FALSE(FileExists(path));
}

TEST_F(FileDelete, AFileInUseIsNeverWrittenToAndGoesAtTheNextStart) {
    std::wstring path = folder.Sub(L"secret.bin");
    WriteTestFile(path, std::string(100000, 'a'));
    // Another program reads it, sharing everything: still not one byte of ours.
    UniqueHandle holder = HoldOpen(path, kShareEverything);
    ASSERT_TRUE(holder.IsValid());
    const PathDeletion deleted = DeleteFileEx(path, true);
    EXPECT_EQ(deleted.kind, DeleteOutcome::kDeferred);
    EXPECT_EQ(deleted.error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    const WipeResult wiped = WipeFile(path);
    EXPECT_EQ(wiped.kind, WipeOutcome::kFailed);
    EXPECT_EQ(wiped.error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadHeld(holder, 100000), std::string(100000, 'a'));
    EXPECT_NE(PendingRenameOperations().find(L"secret.bin"), std::wstring::npos);
}

// A file another program holds open without sharing.
class LockedFile : public FileDelete {
protected:
    void SetUp() override {
        WriteTestFile(path, "busy");
        holder = HoldOpen(path);
        ASSERT_TRUE(holder.IsValid());
    }

    std::wstring path = folder.Sub(L"locked.dat");
    UniqueHandle holder;
};

TEST_F(LockedFile, IsDeferredOnNT) {
    EXPECT_EQ(DeleteFileEx(path, false).kind, DeleteOutcome::kDeferred);
    EXPECT_TRUE(FileExists(path));
    EXPECT_NE(PendingRenameOperations().find(L"locked.dat"), std::wstring::npos);
}

TEST_F(LockedFile, AskedToBeOverwrittenIsDeferredToo) {
    // Overwriting cannot open it either: still deferred, never a plain failure.
    EXPECT_EQ(DeleteFileEx(path, true).kind, DeleteOutcome::kDeferred);
}

TEST_F(FileDelete, FolderTreeEmptiesTheFolderAndKeepsIt) {
    WriteTestFile(folder.Sub(L"sub\\one.txt"), "12345");
    const FolderDeletion done = DeleteFolderTree(folder.Path(), &context, nullptr);
    EXPECT_TRUE(done.Done());
    EXPECT_EQ(done.count, 2u);
    EXPECT_EQ(done.freedBytes, 5u);
    EXPECT_FALSE(done.deferred);
    EXPECT_FALSE(FileExists(folder.Sub(L"sub")));
    EXPECT_TRUE(FileExists(folder.Path()));
}

TEST_F(FileDelete, FolderFilesTakeTheMatchingFilesAndDeferLockedOnes) {
    WriteTestFile(folder.Sub(L"a.tmp"), "1");
    WriteTestFile(folder.Sub(L"keep.txt"), "2");
    std::wstring locked = folder.Sub(L"b.tmp");
    WriteTestFile(locked, "3");
    UniqueHandle holder = HoldOpen(locked);
    const FolderDeletion done = DeleteFolderFiles(folder.Path(), &context, L"*.tmp");
    EXPECT_TRUE(done.Done());
    EXPECT_EQ(done.count, 2u);
    EXPECT_TRUE(done.deferred);
    EXPECT_TRUE(context.rebootNeeded);
    EXPECT_FALSE(FileExists(folder.Sub(L"a.tmp")));
    EXPECT_TRUE(FileExists(folder.Sub(L"keep.txt")));
}

TEST_F(FileDelete, FolderTreeReportsAFolderHeldByADeferredFile) {
    // A folder holding a deferred file cannot go: the tree deletion reports it.
    WriteTestFile(folder.Sub(L"busy\\held.txt"), "4");
    UniqueHandle held = HoldOpen(folder.Sub(L"busy\\held.txt"));
    const FolderDeletion done = DeleteFolderTree(folder.Path(), &context, nullptr);
    EXPECT_FALSE(done.Done());
    EXPECT_TRUE(done.deferred);
}

TEST_F(FileDelete, OverwriteNeverWritesThroughAnotherName) {
    ScopedTestFolder outside(L"HardLinkTarget");
    std::wstring document = outside.Sub(L"document.txt");
    std::wstring link = folder.Sub(L"copy.txt");
    WriteTestFile(document, "the user's words");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), document.c_str(), nullptr));

    EXPECT_EQ(WipeFile(link).kind, WipeOutcome::kShared);
    EXPECT_EQ(ReplaceFileContent(link, "kept", true).kind, ReplaceResult::kRefused);
    // Read-only: the attribute belongs to the user's file as much as to this name.
    ASSERT_TRUE(SetFileAttributesW(document.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(DeleteFileEx(link, true).kind, DeleteOutcome::kRemovedWithoutOverwrite);
    EXPECT_FALSE(FileExists(link));
    EXPECT_EQ(ReadTestFile(document), "the user's words");
    EXPECT_TRUE(GetFileAttributesW(document.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(document.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileDelete, AFileWithOneNameIsOverwrittenAndFlushed) {
    std::wstring own = folder.Sub(L"own.txt");
    WriteTestFile(own, "secret");
    EXPECT_EQ(WipeFile(own).kind, WipeOutcome::kWiped);
    EXPECT_EQ(ReadTestFile(own), std::string(6, '\xFF'));
}

TEST_F(FileDelete, ReplacedContentIsWholeOrNotWrittenAtAll) {
    const std::wstring path = folder.Sub(L"cookies.txt");
    WriteTestFile(path, "a long first content\r\n");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReplaceFileContent(path, "kept\r\n", true).kind, ReplaceResult::kReplaced);
    EXPECT_EQ(ReadTestFile(path), "kept\r\n");
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // Nothing of the work is left beside it.
    EXPECT_FALSE(FileExists(path + L".veltrane-new"));
    EXPECT_FALSE(FileExists(path + L".veltrane-old"));
    {
        // The browser has it open: not one byte of it changes.
        UniqueHandle held = HoldOpen(path, kShareEverything);
        const ReplaceOutcome busy = ReplaceFileContent(path, "x", true);
        EXPECT_EQ(busy.kind, ReplaceResult::kFailed);
        EXPECT_EQ(busy.error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(ReadTestFile(path), "kept\r\n");
    // The new file cannot be made: the old one stays whole, not wiped.
    MakeFolder(path + L".veltrane-new");
    EXPECT_EQ(ReplaceFileContent(path, "x", true).kind, ReplaceResult::kFailed);
    EXPECT_EQ(ReadTestFile(path), "kept\r\n");
    RemoveDirectoryW((path + L".veltrane-new").c_str());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(OverwriteDecision, LooksAtTheOpenFile) {
    HandleFacts facts;
    facts.identity.attributes = FILE_ATTRIBUTE_ARCHIVE;
    facts.links = 1;
    EXPECT_TRUE(MayOverwrite(facts));
    facts.links = 0;  // file systems that keep no count
    EXPECT_TRUE(MayOverwrite(facts));
    facts.links = 2;
    EXPECT_FALSE(MayOverwrite(facts));
    facts.links = 1;
    facts.identity.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;  // a file symbolic link
    EXPECT_FALSE(MayOverwrite(facts));
}

// A locked file the system refuses to schedule for the next start.
class RefusedSchedule : public LockedFile {
protected:
    ScopedRebootScheduler refusing{[](const std::wstring&) { return false; }};
};

TEST_F(RefusedSchedule, FailsTheFileDeletion) {
    const PathDeletion deleted = DeleteFileEx(path, false);
    EXPECT_EQ(deleted.kind, DeleteOutcome::kFailed);
    EXPECT_EQ(deleted.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(DeleteFileEx(path, true).kind, DeleteOutcome::kFailed);
}

TEST_F(RefusedSchedule, FailsTheFolderEmptyingAndCountsNothing) {
    const std::wstring pendingBefore = PendingRenameOperations();
    const FolderDeletion done = DeleteFolderFiles(folder.Path(), &context, nullptr);
    EXPECT_FALSE(done.Done());
    EXPECT_EQ(done.count, 0u);
    EXPECT_FALSE(done.deferred);
    EXPECT_FALSE(context.rebootNeeded);
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(PendingRenameOperations(), pendingBefore);  // nothing was scheduled
}

TEST_F(FileDelete, TheProfileIsNeitherEmptiedNorRemoved) {
    std::wstring profile = GetKnownFolderPath(FOLDERID_Profile);
    ASSERT_FALSE(profile.empty());
    std::wstring canary = profile + L"\\veltrane-canary.txt";
    WriteTestFile(canary, "still here");
    const FolderDeletion refused = DeleteFolderFiles(profile, &context, L"*.txt");
    EXPECT_EQ(refused.kind, FolderDeletion::Kind::kFailed);
    EXPECT_EQ(refused.error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(DeleteFolderTree(profile + L"\\..", &context, L"veltrane-canary.txt").Done());
    EXPECT_EQ(ReadTestFile(canary), "still here");
    DeleteFileW(canary.c_str());
}

TEST_F(FolderLink, HandedInAsTheStartItHoldsNothing) {
    StringList files;
    EXPECT_TRUE(GetFileList(nullptr, link, &files, nullptr, nullptr, L'|', &count));
    EXPECT_TRUE(files.empty());
    EXPECT_FALSE(DeleteFolderTree(link + L"\\", &context, nullptr).Done());
    EXPECT_FALSE(DeleteFolderFiles(link, &context, nullptr).Done());
    EXPECT_EQ(ReadTestFile(outside.Sub(L"keep.txt")), "mine");
}

TEST_F(FolderLink, MetInsideAFolderBeingEmptiedItGoesAsALink) {
    // Removed as a link (Wine cannot remove one and leaves it): never what it leads to.
    (void)DeleteFolderTree(folder.Path(), &context, nullptr);
    EXPECT_FALSE(FileExists(folder.Sub(L"inner")));
    EXPECT_EQ(ReadTestFile(outside.Sub(L"keep.txt")), "mine");
}

// The places a file's path leads through links: a Linux file link in the
// folder being cleaned (Wine shows it as a plain file, and opening it opens
// what it leads to), and a folder link above a file.
class LinkedFile : public FileDelete {
protected:
    void SetUp() override {
        WriteTestFile(document, "the user's words");
        ASSERT_TRUE(MakeFileLink(link, document));
        ASSERT_TRUE(MakeFolderLink(above, outside.Path()));
        context.wipe = true;
    }
    void TearDown() override {
        RemoveFolderLink(link);
        RemoveFolderLink(above);
    }

    ScopedTestFolder outside{L"LinkedFileTarget"};
    std::wstring document = outside.Sub(L"thesis.docx");
    std::wstring link = folder.Sub(L"link.tmp");
    std::wstring above = folder.Sub(L"above");
};

TEST_F(LinkedFile, IsNeitherOverwrittenNorDeletedByAnyRoutine) {
    {
        // The program that has the document open shares it: still not a byte of ours.
        UniqueHandle holder = HoldOpen(document, kShareReadWrite);
        EXPECT_NE(WipeFile(link).kind, WipeOutcome::kWiped);
        EXPECT_EQ(DeleteFileEx(link, true).kind, DeleteOutcome::kFailed);
        EXPECT_EQ(DeleteFileEx(above + L"\\thesis.docx", true).kind, DeleteOutcome::kFailed);
    }
    EXPECT_EQ(WipeFile(link).kind, WipeOutcome::kShared);
    EXPECT_EQ(DeleteFileEx(link, false).kind, DeleteOutcome::kFailed);
    const FolderDeletion emptied = DeleteFolderFiles(folder.Path(), &context, L"*");
    EXPECT_FALSE(emptied.Done());
    EXPECT_EQ(emptied.count, 0u);
    EXPECT_FALSE(DeleteFolderTree(folder.Path(), &context, L"*").Done());
    EXPECT_EQ(ReadTestFile(document), "the user's words");
    EXPECT_TRUE(FileExists(link));
}

// A clean works from the listing its scan made of a folder tree instead of
// walking it again, and removes exactly what it lists: what changed or came in
// between stays, and says so.
class ListedTree : public FileDelete {
protected:
    void SetUp() override {
        WriteTestFile(folder.Sub(L"sub\\one.txt"), "12345");
        WriteTestFile(folder.Sub(L"sub\\deep\\two.txt"), "678");
        WriteTestFile(folder.Sub(L"three.txt"), "9");
        ASSERT_EQ(
            ListFolderItems(&context, folder.Path(), nullptr, ListingDepth::kTree, &listing).kind,
            ListingResult::kListed);
    }

    TreeRemoval Clean() { return RemoveListedTree(listing, &context); }

    FolderTreeListing listing;
    ScopedTestFolder outside{L"ListedTreeOutside"};
};

TEST_F(ListedTree, ListsEveryItemWithWhatItIs) {
    EXPECT_EQ(listing.TotalSize(), 9u);
    EXPECT_EQ(listing.entries, 5u);
    ASSERT_EQ(listing.files.size(), 3u);
    ASSERT_EQ(listing.folders.size(), 2u);
    EXPECT_EQ(FileName(listing.folders[0].path), L"deep");  // before the folder that holds it
    EXPECT_EQ(listing.folder.path, folder.Path());
    EXPECT_NE(listing.folder.volumeSerial, 0u);
    for (const FileIdentity& file : listing.files) {
        EXPECT_NE(file.fileId, 0u);
        EXPECT_EQ(file.volumeSerial, listing.folder.volumeSerial);
    }
}

TEST_F(ListedTree, EmptiesTheFolderAsListed) {
    context.wipe = true;
    TreeRemoval tree = Clean();
    EXPECT_TRUE(tree.Complete());
    EXPECT_EQ(tree.removed, 5u);
    EXPECT_EQ(tree.freedBytes, 9u);
    EXPECT_FALSE(FileExists(folder.Sub(L"sub")));
    EXPECT_FALSE(FileExists(folder.Sub(L"three.txt")));
    EXPECT_TRUE(FileExists(folder.Path()));
}

TEST_F(ListedTree, WhatCameAfterTheListingStays) {
    WriteTestFile(folder.Sub(L"sub\\deep\\late.txt"), "99");
    TreeRemoval tree = Clean();
    EXPECT_FALSE(tree.Complete());
    EXPECT_EQ(tree.removed, 3u);
    EXPECT_EQ(tree.changed, 1u);  // deep holds what the scan did not list
    EXPECT_EQ(tree.failed, 1u);   // sub holds deep
    EXPECT_NE(tree.firstChange.find(L"deep: it holds items the scan did not list"),
              std::wstring::npos)
        << ToUtf8(tree.firstChange);
    EXPECT_EQ(ReadTestFile(folder.Sub(L"sub\\deep\\late.txt")), "99");
}

TEST_F(ListedTree, FilesReplacedSinceTheListingStay) {
    // Another file of the same name.
    DeleteFileW(folder.Sub(L"three.txt").c_str());
    WriteTestFile(folder.Sub(L"three.txt"), "new");
    // A second name of the user's document.
    WriteTestFile(outside.Sub(L"mine.txt"), "the user's words");
    DeleteFileW(folder.Sub(L"sub\\one.txt").c_str());
    ASSERT_TRUE(CreateHardLinkW(folder.Sub(L"sub\\one.txt").c_str(),
                                outside.Sub(L"mine.txt").c_str(), nullptr));
    // The listed file itself, moved out and linked back: same id, size and
    // time, so only its final path tells.
    ASSERT_TRUE(
        MoveFileW(folder.Sub(L"sub\\deep\\two.txt").c_str(), outside.Sub(L"two.txt").c_str()));
    ASSERT_TRUE(MakeFileLink(folder.Sub(L"sub\\deep\\two.txt"), outside.Sub(L"two.txt")));
    context.wipe = true;
    TreeRemoval tree = Clean();
    RemoveFolderLink(folder.Sub(L"sub\\deep\\two.txt"));
    EXPECT_EQ(tree.changed, 3u) << ToUtf8(tree.firstChange);
    EXPECT_EQ(tree.removed, 0u);
    EXPECT_EQ(tree.freedBytes, 0u);
    EXPECT_EQ(ReadTestFile(folder.Sub(L"three.txt")), "new");
    EXPECT_EQ(ReadTestFile(outside.Sub(L"mine.txt")), "the user's words");
    EXPECT_EQ(ReadTestFile(outside.Sub(L"two.txt")), "678");
}

TEST_F(ListedTree, AListedFolderTurnedIntoALinkIsNotGoneThrough) {
    WriteTestFile(outside.Sub(L"two.txt"), "mine");  // the name the listing holds
    RemoveTree(folder.Sub(L"sub\\deep"));
    ASSERT_TRUE(MakeFolderLink(folder.Sub(L"sub\\deep"), outside.Path()));
    context.wipe = true;
    TreeRemoval tree = Clean();
    RemoveFolderLink(folder.Sub(L"sub\\deep"));
    EXPECT_EQ(ReadTestFile(outside.Sub(L"two.txt")), "mine");
    EXPECT_GE(tree.changed, 2u);  // two.txt and deep
}

TEST_F(ListedTree, WhatWentBeforeTheCleanIsNeitherRemovedNorFreed) {
    DeleteFileW(folder.Sub(L"sub\\one.txt").c_str());
    TreeRemoval tree = Clean();
    EXPECT_TRUE(tree.Complete());
    EXPECT_EQ(tree.gone, 1u);
    EXPECT_EQ(tree.removed, 4u);
    EXPECT_EQ(tree.freedBytes, 4u);
}

TEST_F(ListedTree, AFileInUseWaitsUntouchedAndKeepsItsFolders) {
    UniqueHandle held = HoldOpen(folder.Sub(L"sub\\deep\\two.txt"), kShareEverything);
    context.wipe = true;
    TreeRemoval tree = Clean();
    EXPECT_EQ(tree.deferred, 1u);
    EXPECT_TRUE(context.rebootNeeded);
    EXPECT_EQ(tree.changed, 0u);  // deep and sub hold the waiting file: no surprise
    EXPECT_EQ(tree.failed, 2u);
    EXPECT_EQ(ReadHeld(held, 3), "678");
}

// More folders than the clean keeps open at once: those it let go of go
// through their own check, and the tree goes whole.
TEST_F(FileDelete, AListingOfManyFoldersGoesWhole) {
    for (int index = 0; index < 270; ++index)
        WriteTestFile(folder.Sub(L"f" + std::to_wstring(index) + L"\\x.tmp"), "22");
    FolderTreeListing listing;
    ASSERT_EQ(ListFolderItems(&context, folder.Path(), nullptr, ListingDepth::kTree, &listing).kind,
              ListingResult::kListed);
    const TreeRemoval tree = RemoveListedTree(listing, &context);
    EXPECT_TRUE(tree.Complete()) << ToUtf8(tree.firstChange) << " " << tree.firstError;
    EXPECT_EQ(tree.removed, 540u);
    EXPECT_EQ(tree.freedBytes, 540u);
    EXPECT_FALSE(FileExists(folder.Sub(L"f0")));
    EXPECT_FALSE(FileExists(folder.Sub(L"f269")));
}

}  // namespace

}  // namespace veltrane
