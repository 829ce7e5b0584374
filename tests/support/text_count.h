#pragma once
// Counting and ordering pieces of text, for assertions on reports and pages.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace veltrane {

// How often `part` occurs in `text` (overlapping occurrences included).
inline size_t CountOf(const std::wstring& text, const std::wstring& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Both pieces are on the page, `first` before `second` (the page is shown on failure).
inline void ExpectInOrder(const std::wstring& page, const std::wstring& first,
                          const std::wstring& second) {
    const size_t firstAt = page.find(first);
    const size_t secondAt = page.find(second);
    ASSERT_NE(firstAt, std::wstring::npos) << page;
    ASSERT_NE(secondAt, std::wstring::npos) << page;
    EXPECT_LT(firstAt, secondAt);
}

}  // namespace veltrane
