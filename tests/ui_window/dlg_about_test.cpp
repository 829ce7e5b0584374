// The version text of the About box.
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "ui/dlg_about.h"

namespace veltrane {

namespace {

TEST(AboutVersion, FromTheVersionResourceOrZeros) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(GetFileVersionText(module), L"1.7.0.0");
    EXPECT_EQ(GetProgramVersionText(), L"1.7.0.0");

    ScopedTestFolder folder(L"UiAboutVersion");
    WriteTestFile(folder.Sub(L"plain.txt"), "no resources here");
    EXPECT_EQ(GetFileVersionText(folder.Sub(L"plain.txt")), L"0.0.0.0");
    EXPECT_EQ(GetFileVersionText(folder.Sub(L"missing.exe")), L"0.0.0.0");
    EXPECT_EQ(GetFileVersionText(module), L"1.7.0.0");
}

}  // namespace

}  // namespace veltrane
