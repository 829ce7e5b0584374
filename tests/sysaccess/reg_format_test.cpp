// A registry place written out as text.
#include <gtest/gtest.h>

#include "sysaccess/reg_format.h"

namespace veltrane {

namespace {

TEST(RegistryFormat, RegPathText) {
    EXPECT_EQ(FormatRegPath(HKEY_CURRENT_USER, L"Software\\X", L""),
              L"HKEY_CURRENT_USER\\Software\\X");
    EXPECT_EQ(FormatRegPath(HKEY_LOCAL_MACHINE, L"Software\\X", L"v"),
              L"HKEY_LOCAL_MACHINE\\Software\\X\\v");
    EXPECT_EQ(FormatRegPath(HKEY_PERFORMANCE_DATA, L"A", L""), L"A");
    EXPECT_EQ(FormatRegPath(HKEY_USERS, L"", L"v"), L"HKEY_USERS");
    EXPECT_EQ(FormatSystemError(ERROR_ACCESS_DENIED).empty(), false);
    EXPECT_EQ(FormatSystemError(0x7FFFFFF0), L"Unknown Error");
}

}  // namespace

}  // namespace veltrane
