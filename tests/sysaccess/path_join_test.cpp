// A folder and a name joined with one separator.
#include <gtest/gtest.h>

#include "sysaccess/path_join.h"

namespace veltrane {

namespace {

TEST(PathJoin, OneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(JoinPath(L"C:\\a", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:\\a\\", L"b"), L"C:\\a\\b");
    EXPECT_EQ(JoinPath(L"C:/a/", L"b"), L"C:/a/b");
    EXPECT_EQ(JoinPath(L"", L"b"), L"b");
    EXPECT_EQ(JoinPath(L"Software\\Key", L"*.*"), L"Software\\Key\\*.*");
}

}  // namespace

}  // namespace veltrane
