#pragma once
// Single registry values that are not text: a DWORD read or written, raw data
// read up to a size, any value written as given, and the seal that tells
// whether a value still holds what it held when it was listed.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "sysaccess/reg_write_outcome.h"

namespace veltrane {

// The value's number; nothing unless the value exists and is a REG_DWORD.
[[nodiscard]] std::optional<DWORD> TryReadRegDword(HKEY root, const wchar_t* keyPath,
                                                   const wchar_t* name);
// Writes into a key that already exists; a missing key is not created.
RegWriteOutcome SetRegDwordInExistingKey(HKEY root, const wchar_t* keyPath, const wchar_t* name,
                                         DWORD value);
// Writes `size` bytes of `data` as they are, creating the key when missing.
RegWriteOutcome SetRegValue(HKEY root, const wchar_t* keyPath, const wchar_t* name, DWORD type,
                            const void* data, DWORD size);
// A value's type and data as stored.
struct RegBytes {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};
// A value no larger than `largest` bytes; nothing when it is missing,
// unreadable or larger.
[[nodiscard]] std::optional<RegBytes> TryReadRegBytes(HKEY key, const wchar_t* name, DWORD largest);

// What a value held when it was read, small enough to keep for every value
// of a long list: its type, its size and a hash of its data. A value that
// shows the same seal later still holds what was read.
struct RegValueSeal {
    DWORD type = REG_NONE;
    DWORD size = 0;
    uint64_t hash = 0;

    bool operator==(const RegValueSeal&) const = default;
    auto operator<=>(const RegValueSeal&) const = default;
};
struct [[nodiscard]] RegValueSealRead {
    enum class Kind {
        kRead,
        kMissing,  // no such value
        kFailed,   // `error` says why
    };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;
    RegValueSeal seal;  // for kRead only
};
// The seal of a value of the open key, which needs KEY_QUERY_VALUE.
[[nodiscard]] RegValueSealRead ReadRegValueSeal(HKEY key, const wchar_t* name);

}  // namespace veltrane
