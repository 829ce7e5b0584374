// A path put in its one canonical form: device and UNC spellings of a local
// drive, dots, separators, subst drives, and the namespaces that are no place.
#include <gtest/gtest.h>

#include "scoped_subst.h"
#include "sysaccess/path_canonical.h"

namespace veltrane {

namespace {

TEST(CanonicalPath, NamesEachPlaceOneWay) {
    EXPECT_EQ(CanonicalPath(L"\\\\?\\C:\\Windows\\..\\Temp\\"), L"C:\\Temp");
    EXPECT_EQ(CanonicalPath(L"\\\\?\\UNC\\LocalHost\\D$\\x\\y"), L"D:\\x\\y");
    EXPECT_EQ(CanonicalPath(L"\\\\127.0.0.1\\C$"), L"C:\\");
    EXPECT_EQ(CanonicalPath(L"C:/a/./b/"), L"C:\\a\\b");
    // Another machine's share is another place; a device is no folder at all.
    EXPECT_EQ(CanonicalPath(L"\\\\fileserver\\C$\\x"), L"\\\\fileserver\\C$\\x");
    EXPECT_EQ(CanonicalPath(L"\\\\.\\PhysicalDrive0"), L"");
    // Nor are the system's own namespaces read as a server: "\\?\unix" is
    // Wine's way to Linux files outside every drive.
    EXPECT_EQ(CanonicalPath(L"\\\\?\\UNC\\?\\unix\\tmp"), L"");
    EXPECT_EQ(CanonicalPath(L"\\\\?\\UNC\\.\\unix\\tmp"), L"");
    ScopedSubst drive(L"C:\\VeltraneTests\\Subst");
    ASSERT_TRUE(drive.Defined());
    EXPECT_EQ(CanonicalPath(drive.Path(L"a")), L"C:\\VeltraneTests\\Subst\\a");
    // ".." stops at a subst drive's root, as the system reads it.
    EXPECT_EQ(CanonicalPath(drive.Path(L"..\\..")), L"C:\\VeltraneTests\\Subst");
    EXPECT_TRUE(IsPathBelow(L"C:\\a\\b", L"c:\\A"));
    EXPECT_FALSE(IsPathBelow(L"C:\\ab", L"C:\\a"));
}

}  // namespace

}  // namespace veltrane
