#pragma once
// A whole file read or written in one call, through the C runtime's streams.
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

// False for a folder, a file that cannot be opened, or a read that failed part way.
bool ReadWholeFile(const std::wstring& path, std::string& content,
                   FileTextMode mode = FileTextMode::kBinary);
// True only when every byte was written and the file closed without error.
bool WriteWholeFile(const std::wstring& path, std::string_view content,
                    FileWriteMode mode = FileWriteMode::kReplace);
