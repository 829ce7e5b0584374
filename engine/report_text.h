#pragma once
// Byte counts as every report shows them. (Placeholders are filled with
// ReplaceAll, and text from the machine is escaped with EscapeHtml, both in
// sysaccess/text.h.)
#include <cstdint>
#include <string>

// "0 B", "499 B", "0.50 KB", "1.99 MB", "5.00 GB": decimal units, two
// decimals, the rest cut off (not rounded).
std::wstring FormatSize(uint64_t bytes);
