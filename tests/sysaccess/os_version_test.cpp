// The version checks follow the version the program is told, and the
// system's own comes back after a test's override.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/scoped_overrides.h"
#include "sysaccess/os_version.h"

namespace veltrane {

namespace {

TEST(OsVersion, BranchesFollowTheVersionSource) {
    {
        ScopedOsVersion windows98(kWindows98);
        EXPECT_FALSE(IsWindowsNT());
        EXPECT_FALSE(IsWindowsMe());
    }
    {
        ScopedOsVersion me(kWindowsMe);
        EXPECT_TRUE(IsWindowsMe());
    }
    {
        ScopedOsVersion windows2000(kWindows2000);
        EXPECT_TRUE(IsWindowsNT() && IsWindows2000() && !IsWindowsXP());
    }
    {
        ScopedOsVersion xp(kWindowsXP);
        EXPECT_TRUE(IsWindowsXP() && !IsWindows2000());
    }
}

TEST(OsVersion, TheSystemVersionComesBackAfterAnOverride) {
    { ScopedOsVersion windows98(kWindows98); }
    EXPECT_TRUE(IsWindowsNT());  // Wine reports an NT version
}

}  // namespace

}  // namespace veltrane
