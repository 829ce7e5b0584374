// The unattended front end tells once what became of the last clean's
// deferred deletions, in its JSON and in its table.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/command_line.h"
#include "app/headless.h"
#include "engine/deferred_check.h"
#include "engine/kivo_critical_section.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/text.h"

namespace {

class DeferredReport : public testing::Test {
protected:
    void SetUp() override { Forget(); }
    void TearDown() override {
        ForgetStoredFlags(rows);
        Forget();
    }
    static void Forget() {
        ForgetKernelSettings();
        DeleteTree(HKEY_CURRENT_USER, L"SOFTWARE\\Veltrane\\Deferred");
    }
    std::wstring Run(std::vector<std::wstring> arguments, ExitCode expected = kExitDone) {
        std::wstring error;
        const HeadlessRequest request = ParseHeadlessArguments(arguments, error);
        EXPECT_TRUE(error.empty()) << ToUtf8(error);
        std::wstring output;
        EXPECT_EQ(RunHeadless(request, MakeTestFactory(rows, plugins), output), expected)
            << ToUtf8(output);
        return output;
    }

    ScopedProgramFolder programFolder;
    ScopedTestFolder folder{L"DeferredReport"};
    std::vector<TestPluginRow> rows = {{.id = L"DrA"}};
    std::map<std::wstring, TestPlugin*> plugins;
};

TEST_F(DeferredReport, TheNextRunTellsRemovedAndStillThereOnce) {
    WriteTestFile(folder.Sub(L"left.tmp"), "data");
    WriteTestFile(folder.Sub(L"gone.tmp"), "data");
    const std::vector<DeferredItem> items =
        NewDeferredItems({}, {folder.Sub(L"left.tmp"), folder.Sub(L"gone.tmp")});
    ASSERT_EQ(items.size(), 2u);
    ASSERT_EQ(RecordDeferredItems(SettingsHome{}.user, items).kind, DeferredRecordKind::kDone);
    ASSERT_TRUE(DeleteFileW(folder.Sub(L"gone.tmp").c_str()));

    const auto document = nlohmann::json::parse(ToUtf8(Run({L"/scan", L"/json"})));
    ASSERT_TRUE(document.contains("deferredCheck")) << document.dump();
    const auto& check = document["deferredCheck"];
    EXPECT_EQ(check["removed"], 1);
    EXPECT_EQ(check["stillThere"], 1);
    ASSERT_EQ(check["items"].size(), 2u);
    EXPECT_EQ(check["items"][0]["path"], ToUtf8(folder.Sub(L"left.tmp")));
    EXPECT_EQ(check["items"][0]["state"], "stillThere");
    EXPECT_EQ(check["items"][1]["state"], "removed");

    EXPECT_FALSE(
        nlohmann::json::parse(ToUtf8(Run({L"/scan", L"/json"}))).contains("deferredCheck"));

    // The table says it in words.
    ASSERT_EQ(RecordDeferredItems(SettingsHome{}.user, items).kind, DeferredRecordKind::kDone);
    EXPECT_NE(Run({L"/scan"})
                  .find(L"1 item deferred at the last clean was removed at restart; 1 "
                        L"is still there."),
              std::wstring::npos);
}

// The notice belongs to the run that really starts, not to one that another
// copy's run lock turned away.
TEST_F(DeferredReport, ARunRefusedByTheRunLockLeavesTheRecord) {
    WriteTestFile(folder.Sub(L"left.tmp"), "data");
    ASSERT_EQ(
        RecordDeferredItems(SettingsHome{}.user, NewDeferredItems({}, {folder.Sub(L"left.tmp")}))
            .kind,
        DeferredRecordKind::kDone);
    {
        CKivoCriticalSection other;
        ASSERT_TRUE(other.CreateOrOpen(kKivoSemaphoreName).Done());
        RunLockTake held = other.TakeIfFree();
        ASSERT_TRUE(held.outcome.Done());
        for (const wchar_t* action : {L"/scan", L"/clean"})
            EXPECT_EQ(Run({action, L"/json"}, kExitBusy), kRunRefusedText + std::wstring(L"\n"));
    }
    const auto document = nlohmann::json::parse(ToUtf8(Run({L"/clean", L"/json"})));
    ASSERT_TRUE(document.contains("deferredCheck")) << document.dump();
    EXPECT_EQ(document["deferredCheck"]["stillThere"], 1);
}

}  // namespace
