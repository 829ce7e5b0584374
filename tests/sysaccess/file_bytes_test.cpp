// Whole files read and written in one call: bytes kept as they are, the
// text mode's line ends, appending, files other programs hold, and the
// failures callers rely on; and the questions asked of a path.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/file_info.h"
#include "sysaccess/handles.h"
#include "sysaccess/path_join.h"

namespace {

TEST(FileBytes, WrittenBytesReadBackAsTheyAreOrInTextMode) {
    ScopedTestFolder folder(L"BytesRoundTrip");
    const std::wstring path = folder.Sub(L"data.bin");
    const std::string bytes("one\r\ntwo\0three\r\n", 16);
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    std::string read = "stale";
    ASSERT_TRUE(ReadWholeFile(path, read));
    EXPECT_EQ(read, bytes);
    ASSERT_TRUE(ReadWholeFile(path, read, FileTextMode::kText));
    EXPECT_EQ(read, std::string("one\ntwo\0three\n", 14));
    // Replacing leaves nothing of the longer content before it.
    ASSERT_TRUE(WriteWholeFile(path, "x"));
    EXPECT_EQ(ReadTestFile(path), "x");
    ASSERT_TRUE(WriteWholeFile(path, "yz", FileWriteMode::kAppend));
    EXPECT_EQ(ReadTestFile(path), "xyz");
    // Text mode ends at a Ctrl+Z.
    ASSERT_TRUE(WriteWholeFile(path,
                               "end\r\n\x1a"
                               "after"));
    ASSERT_TRUE(ReadWholeFile(path, read, FileTextMode::kText));
    EXPECT_EQ(read, "end\n");
}

TEST(FileBytes, AFileOpenForWritingIsReadAndAnOversizedOneIsNot) {
    ScopedTestFolder folder(L"BytesShared");
    const std::wstring path = folder.Sub(L"places.txt");
    WriteTestFile(path, "0123456789");
    std::string bytes;
    {
        // As a running browser holds its profile files.
        UniqueHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(ReadFileBytes(path, bytes, 10), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(bytes, "0123456789");
    }
    EXPECT_EQ(ReadFileBytes(path, bytes, 9), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(ReadFileBytes(folder.Sub(L"missing.txt"), bytes, 9),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

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
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(IsPlainFolder(deep));
    EXPECT_TRUE(CreateFolderPath(deep));  // one that exists already is fine
    EXPECT_FALSE(CreateFolderPath(lock + L"\\under"));
}

TEST(FileBytes, FoldersAndMissingPlacesFail) {
    ScopedTestFolder folder(L"BytesFailures");
    std::string read = "stale";
    EXPECT_FALSE(ReadWholeFile(folder.Path(), read));
    EXPECT_EQ(read, "");
    EXPECT_FALSE(ReadWholeFile(folder.Sub(L"missing.txt"), read));
    EXPECT_FALSE(WriteWholeFile(folder.Sub(L"no\\such\\folder.txt"), "data"));
    EXPECT_FALSE(FileExists(folder.Sub(L"no\\such\\folder.txt")));
}

TEST(PathJoin, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(JoinPath(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:/a/", L"b"), L"C:/a/b");
    EXPECT_EQ(JoinPath(L"", L"b"), L"b");
    EXPECT_EQ(JoinPath(L"Software\\Key", L"*.*"), L"Software\\Key\\*.*");
}

}  // namespace
