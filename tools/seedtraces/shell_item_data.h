#pragma once
// Registry data laid out as Explorer writes it: shell item lists of paths
// (My Computer, the drive, a folder or file item per name), UTF-16 texts,
// UserAssist's encoded names. Seeded traces and tests use the same bytes.
#include <string>

// An absolute item list for a path such as "C:\Users\Public\report.docx",
// terminator included; the last name is a file item unless `folder`.
std::string ItemListOfPath(const std::wstring& path, bool folder = false);
// One file or folder item, without a terminator.
std::string FileItem(const std::wstring& name, bool folder);
// The text as UTF-16 bytes, with its terminator.
std::string Utf16Bytes(const std::wstring& text);
// A most-recently-used order as Explorer keeps it: entries, then 0xFFFFFFFF.
std::string MruListEx(int count);
