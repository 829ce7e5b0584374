#pragma once
// The live entries of a LevelDB folder, read and never written: the tables
// its MANIFEST names and the logs not yet folded into them, every record
// checked against its CRC-32C, the newest write of each key winning, deleted
// keys dropped. Chromium keeps Local Storage, Session Storage, the service
// workers' registrations and the File System's list of origins in such
// folders. Anything this reader does not know (another compression, a record
// that fails its check, a table the MANIFEST names but the folder lacks)
// makes the whole folder unreadable rather than half read.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace veltrane {

struct LevelDbValue {
    uint64_t size = 0;
    // The value itself only when short (a Session Storage map number, an
    // origin): values of Local Storage can be megabytes.
    std::string text;
};
using LevelDbEntries = std::map<std::string, LevelDbValue>;

enum class LevelDbState {
    kRead,        // `entries` holds every live key
    kMissing,     // no LevelDB in the folder (no CURRENT, no log, no table)
    kUnreadable,  // `reason` says why
};

struct [[nodiscard]] LevelDbRead {
    LevelDbState state = LevelDbState::kMissing;
    std::wstring reason;
    LevelDbEntries entries;
};

// Values up to this size are kept as text.
inline constexpr size_t kLevelDbShortValue = 256;

LevelDbRead ReadLevelDb(const std::wstring& folder);

// The parts the reader is made of, for the tests: Snappy's raw format (false
// for anything malformed) and LevelDB's masked CRC-32C of `data`.
bool SnappyUncompress(std::string_view compressed, std::string& out);
uint32_t LevelDbMaskedCrc(std::string_view data);

}  // namespace veltrane
