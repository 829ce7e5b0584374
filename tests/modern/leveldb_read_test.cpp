// The LevelDB reader on stores as LevelDB writes them: checksums, Snappy,
// and a store read whole or not at all.
#include <gtest/gtest.h>

#include "modern_fixture.h"
#include "plugins/browser/leveldb_read.h"
#include "seedtraces/site_data_traces.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kLevelDbFolder[] = L"C:\\VeltraneTests\\leveldb\\";

TEST(LevelDbRead, ChecksumsAndSnappyFollowTheirFormats) {
    // CRC-32C of "123456789" is 0xE3069283; LevelDB stores it rotated and offset.
    const uint32_t crc = 0xE3069283u;
    EXPECT_EQ(LevelDbMaskedCrc("123456789"), ((crc >> 15) | (crc << 17)) + 0xa282ead8u);
    std::string out;
    // "abc" as a literal, then a copy of 9 bytes from 3 back (overlapping itself).
    const std::string good{'\x0c', '\x08', 'a', 'b', 'c', '\x15', '\x03'};
    EXPECT_TRUE(SnappyUncompress(good, out));
    EXPECT_EQ(out, "abcabcabcabc");
    std::string before = good, longer = good;
    before.back() = '\x04';  // a copy from before the start
    longer[0] = '\x0b';      // more than the length said
    for (const std::string& damaged : {before, longer, good.substr(0, 4)})
        EXPECT_FALSE(SnappyUncompress(damaged, out));
}

TEST(LevelDbRead, ReadsEveryKeyOrNoneOfAStore) {
    RemoveTree(L"C:\\VeltraneTests\\leveldb");
    const std::string big(70000, 'v');  // spans three blocks of the log
    ASSERT_TRUE(WriteLevelDb(kLevelDbFolder, {{"small", "1"}, {"big", big}, {"last", "2"}}));
    LevelDbRead read = ReadLevelDb(kLevelDbFolder);
    ASSERT_EQ(read.state, LevelDbState::kRead) << ToUtf8(read.reason);
    ASSERT_EQ(read.entries.size(), 3u);
    EXPECT_EQ(read.entries["big"].size, big.size());
    EXPECT_EQ(read.entries["last"].text, "2");

    // A byte changed in the middle of the log: the store is unreadable, not half read.
    std::string log = FileBytes(std::wstring(kLevelDbFolder) + L"000003.log");
    log[40000] ^= 1;
    WriteTestFile(std::wstring(kLevelDbFolder) + L"000003.log", log);
    read = ReadLevelDb(kLevelDbFolder);
    EXPECT_EQ(read.state, LevelDbState::kUnreadable);
    EXPECT_TRUE(read.entries.empty());

    // A table the MANIFEST names but the folder lacks.
    RemoveTree(L"C:\\VeltraneTests\\leveldb");
    ASSERT_TRUE(WriteLevelDb(kLevelDbFolder, {{"k", "v"}}));
    std::string edit("\x07\x00\x05\x10\x00\x00", 6);  // a new table 5 at level 0
    std::string record(1, '\x01');
    record += edit;
    std::string manifest = FileBytes(std::wstring(kLevelDbFolder) + L"MANIFEST-000001");
    std::string header;
    for (uint32_t v = LevelDbMaskedCrc(record), i = 0; i < 4; ++i, v >>= 8)
        header.push_back(static_cast<char>(v & 0xFF));
    header += std::string{static_cast<char>(edit.size()), '\0'};
    WriteTestFile(std::wstring(kLevelDbFolder) + L"MANIFEST-000001", manifest + header + record);
    read = ReadLevelDb(kLevelDbFolder);
    EXPECT_EQ(read.state, LevelDbState::kUnreadable);
    EXPECT_NE(read.reason.find(L"table 5 is missing"), std::wstring::npos) << ToUtf8(read.reason);
    RemoveTree(L"C:\\VeltraneTests\\leveldb");
}

}  // namespace

}  // namespace veltrane
