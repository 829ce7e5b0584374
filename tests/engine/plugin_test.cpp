// A plug-in's checked flag, read from and written back to the store.
#include <gtest/gtest.h>

#include "engine/kernel.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"

namespace veltrane {

namespace {

TEST(PluginFlag, StoredCheckedFlagIsReadAndWrittenBack) {
    ScopedProgramFolder programFolder;
    std::vector<TestPluginRow> rows = {
        {.id = L"FlagMissing"}, {.id = L"FlagZero"}, {.id = L"FlagFive"}};
    ForgetStoredFlags(rows);
    SetDword(HKEY_LOCAL_MACHINE, kPluginsKey, L"FlagZero", 0);
    SetDword(HKEY_LOCAL_MACHINE, kPluginsKey, L"FlagFive", 5);
    {
        RecordingView view;
        CKernel kernel(&view, [](CKernel& k) {
            PluginList list;
            for (const wchar_t* id : {L"FlagMissing", L"FlagZero", L"FlagFive"})
                list.push_back(std::make_unique<TestPlugin>(
                    k, PluginIdentity{id, static_cast<PluginCategory>(99), 0}));
            return list;
        });
        EXPECT_TRUE(kernel.FindPlugin(L"FlagMissing")->IsEnabled());
        EXPECT_FALSE(kernel.FindPlugin(L"FlagZero")->IsEnabled());
        EXPECT_TRUE(kernel.FindPlugin(L"FlagFive")->IsEnabled());
        EXPECT_EQ(kernel.FindPlugin(L"FlagFive")->GetCategoryName(), L"Unknown type");
        kernel.FindPlugin(L"FlagMissing")->SetEnabled(false);
    }
    DWORD value = 9;
    EXPECT_TRUE(GetDword(HKEY_LOCAL_MACHINE, kPluginsKey, L"FlagFive", value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(GetDword(HKEY_LOCAL_MACHINE, kPluginsKey, L"FlagMissing", value));
    EXPECT_EQ(value, 0u);
    ForgetStoredFlags(rows);
    ForgetKernelSettings();
}

}  // namespace

}  // namespace veltrane
