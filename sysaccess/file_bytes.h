#pragma once
// A whole file read or written in one call.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

enum class FileTextMode {
    kBinary,  // the bytes as stored
    kText,    // CR LF read as LF, and the stream ends at a Ctrl+Z, as the runtime's text mode does
};

enum class FileWriteMode {
    kReplace,  // the file holds these bytes only, created when missing
    kAppend,   // the bytes go after what the file holds, created when missing
};

// The bytes of a file that other programs may hold open for writing (a
// browser keeps its profile files open): ERROR_SUCCESS with `bytes` filled, or
// the Windows error of the open or the read; ERROR_FILE_TOO_LARGE above
// `largest` bytes, which are then not read at all. A folder is not a file.
DWORD ReadFileBytes(const std::wstring& path, std::string& bytes, uint64_t largest);
// What the runtime's text mode gives: every CR LF made LF (a lone CR stays).
std::string ToTextMode(std::string bytes);

// False for a folder, a file that cannot be opened, or a read that failed part way.
bool ReadWholeFile(const std::wstring& path, std::string& content,
                   FileTextMode mode = FileTextMode::kBinary);
// True only when every byte was written and the file closed without error.
bool WriteWholeFile(const std::wstring& path, std::string_view content,
                    FileWriteMode mode = FileWriteMode::kReplace);
