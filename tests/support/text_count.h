#pragma once
// Counting pieces of text, for assertions on reports and pages.
#include <cstddef>
#include <string>

// How often `part` occurs in `text` (overlapping occurrences included).
inline size_t CountOf(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
