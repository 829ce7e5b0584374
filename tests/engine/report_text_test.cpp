// Sizes as the reports write them.
#include <gtest/gtest.h>

#include <utility>

#include "engine/report_text.h"

namespace veltrane {

namespace {

TEST(SizeFormat, DecimalUnitsWithTwoDecimalsCut) {
    const std::pair<uint64_t, const wchar_t*> cases[] = {
        {0, L"0 B"},
        {499, L"499 B"},
        {500, L"0.50 KB"},
        {1999, L"1.99 KB"},
        {499999, L"499.99 KB"},
        {500000, L"0.50 MB"},
        {1234567, L"1.23 MB"},
        {1999999, L"1.99 MB"},
        {500000000, L"0.50 GB"},
        {5000000000ULL, L"5.00 GB"},
        {123456789012345ULL, L"123456.78 GB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatSize(bytes), text) << bytes;
}

}  // namespace

}  // namespace veltrane
