// Whole files read and written in one call: bytes kept as they are, the
// text mode's line ends, appending, files other programs hold, and the
// failures callers rely on.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "sysaccess/file_bytes.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

TEST(FileBytes, WrittenBytesReadBackAsTheyAreOrInTextMode) {
    ScopedTestFolder folder(L"BytesRoundTrip");
    const std::wstring path = folder.Sub(L"data.bin");
    const std::string bytes("one\r\ntwo\0three\r\n", 16);
    ASSERT_TRUE(WriteWholeFile(path, bytes).Done());
    EXPECT_EQ(TryReadWholeFile(path), bytes);
    EXPECT_EQ(TryReadWholeFile(path, FileTextMode::kText), std::string("one\ntwo\0three\n", 14));
    // Replacing leaves nothing of the longer content before it.
    ASSERT_TRUE(WriteWholeFile(path, "x").Done());
    EXPECT_EQ(ReadTestFile(path), "x");
    ASSERT_TRUE(WriteWholeFile(path, "yz", FileWriteMode::kAppend).Done());
    EXPECT_EQ(ReadTestFile(path), "xyz");
    // Text mode ends at a Ctrl+Z.
    ASSERT_TRUE(WriteWholeFile(path,
                               "end\r\n\x1a"
                               "after")
                    .Done());
    EXPECT_EQ(TryReadWholeFile(path, FileTextMode::kText), "end\n");
}

TEST(FileBytes, AFileOpenForWritingIsReadAndAnOversizedOneIsNot) {
    ScopedTestFolder folder(L"BytesShared");
    const std::wstring path = folder.Sub(L"places.txt");
    WriteTestFile(path, "0123456789");
    {
        // As a running browser holds its profile files.
        UniqueHandle writer(CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        const FileRead read = ReadFileBytes(path, 10);
        EXPECT_EQ(read.kind, FileRead::Kind::kRead);
        EXPECT_EQ(read.bytes, "0123456789");
    }
    const FileRead oversized = ReadFileBytes(path, 9);
    EXPECT_EQ(oversized.kind, FileRead::Kind::kTooLarge);
    EXPECT_EQ(oversized.error, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_EQ(oversized.bytes, "");
    const FileRead missing = ReadFileBytes(folder.Sub(L"missing.txt"), 9);
    EXPECT_EQ(missing.kind, FileRead::Kind::kFailed);
    EXPECT_EQ(missing.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(FileBytes, FoldersAndMissingPlacesFail) {
    ScopedTestFolder folder(L"BytesFailures");
    EXPECT_FALSE(TryReadWholeFile(folder.Path()));
    EXPECT_FALSE(TryReadWholeFile(folder.Sub(L"missing.txt")));
    const FileWrite nowhere = WriteWholeFile(folder.Sub(L"no\\such\\folder.txt"), "data");
    EXPECT_EQ(nowhere.kind, FileWrite::Kind::kFailed);
    EXPECT_EQ(nowhere.error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(FileExists(folder.Sub(L"no\\such\\folder.txt")));
}

}  // namespace

}  // namespace veltrane
