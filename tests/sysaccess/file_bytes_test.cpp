// Whole files read and written in one call: bytes kept as they are, the
// text mode's line ends, appending, and the failures callers rely on.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "sysaccess/file_bytes.h"
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
