#pragma once
// A whole file read or written in one call.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrane {

enum class FileTextMode {
    kBinary,  // the bytes as stored
    kText,    // CR LF read as LF, and the stream ends at a Ctrl+Z, as the runtime's text mode does
};

enum class FileWriteMode {
    kReplace,  // the file holds these bytes only, created when missing
    kAppend,   // the bytes go after what the file holds, created when missing
};

// What came of reading a file whole.
struct [[nodiscard]] FileRead {
    enum class Kind { kRead, kTooLarge, kFailed };
    Kind kind = Kind::kFailed;
    // The system's code for kFailed (the open's or the read's); ERROR_FILE_TOO_LARGE for kTooLarge.
    DWORD error = ERROR_SUCCESS;
    std::string bytes;  // kRead only
    bool Done() const { return kind == Kind::kRead; }
};

// The bytes of a file that other programs may hold open for writing (a
// browser keeps its profile files open); kTooLarge above `largest` bytes,
// which are then not read at all. A folder is not a file.
[[nodiscard]] FileRead ReadFileBytes(const std::wstring& path, uint64_t largest);
// What the runtime's text mode gives: every CR LF made LF (a lone CR stays).
std::string ToTextMode(std::string bytes);

// Nothing for a folder, a file that cannot be opened, or a read that failed part way.
[[nodiscard]] std::optional<std::string> TryReadWholeFile(
    const std::wstring& path, FileTextMode mode = FileTextMode::kBinary);

struct [[nodiscard]] FileWrite {
    enum class Kind { kWritten, kFailed };
    Kind kind = Kind::kFailed;
    DWORD error = ERROR_SUCCESS;  // the system's code for kFailed
    bool Done() const { return kind == Kind::kWritten; }
};
// kWritten only when every byte was written and the file closed without error.
[[nodiscard]] FileWrite WriteWholeFile(const std::wstring& path, std::string_view content,
                                       FileWriteMode mode = FileWriteMode::kReplace);

}  // namespace veltrane
