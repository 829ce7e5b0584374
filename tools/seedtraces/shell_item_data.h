#pragma once
// Registry data laid out as Windows 7 writes it: shell item lists of paths
// (My Computer, the drive, a folder or file item per name), UTF-16 texts,
// UserAssist's encoded names. Seeded traces and tests use the same bytes.
#include <cstdint>
#include <string>

namespace veltrane {

// An absolute item list for a path such as "C:\Users\Public\report.docx",
// terminator included; the last name is a file item unless `folder`.
std::string ItemListOfPath(const std::wstring& path, bool folder = false);
// One file or folder item, without a terminator: its 8.3 name, then its long
// name in the extension block 0xbeef0004.
std::string FileItem(const std::wstring& name, bool folder);
// The text as UTF-16 bytes, with its terminator.
std::string Utf16Bytes(const std::wstring& text);
// A most-recently-used order as Explorer keeps it: entries, then 0xFFFFFFFF.
std::string MruListEx(int count);
// A UserAssist value of Windows 7 and later: started `runs` times, last
// `days` days after 2025-03-01 13:33 UTC.
std::string UserAssistData(uint32_t runs, int days);

}  // namespace veltrane
