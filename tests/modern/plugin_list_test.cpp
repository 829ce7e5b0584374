// The list of plug-ins against the pages installed beside the program.
#include <gtest/gtest.h>

#include "plugins/plugin_list.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// A plug-in whose category has no place in the window's list is invisible.
TEST(PluginList, EveryPluginHasItsPlaceInTheWindowAndItsPages) {
    const std::wstring html = std::wstring(kInstalledProgramFolder) + L"\\html\\";
    for (const wchar_t* area : {L"plugins_area.html", L"plugins_area_first.html"}) {
        const std::string page = ReadTestFile(html + L"Common\\" + area);
        ASSERT_FALSE(page.empty()) << ToUtf8(area);
        for (const PluginListEntry& entry : GetPluginListTable())
            EXPECT_NE(page.find("#" + ToUtf8(CategoryName(entry.identity.category)) + "#"),
                      std::string::npos)
                << ToUtf8(entry.identity.id) << " in " << ToUtf8(area);
    }
    for (const PluginListEntry& entry : GetPluginListTable()) {
        const std::wstring folder =
            html + L"English\\Plugins\\Plg" + std::wstring(entry.identity.id) + L"\\";
        for (const wchar_t* page : {L"name.html", L"description.html"})
            EXPECT_TRUE(FileExists(folder + page)) << ToUtf8(folder + page);
    }
}

}  // namespace

}  // namespace veltrane
