// The unattended front end over test plug-ins: its JSON and table output,
// the exit codes, the plug-ins it runs, the keep-list of one run, the run
// lock, and the notice about the last clean's deferred deletions.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <thread>

#include "app/command_line.h"
#include "app/headless.h"
#include "engine/deferred_check.h"
#include "engine/kivo_critical_section.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/test_registry.h"
#include "sysaccess/file_delete.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

class FrontEnd : public testing::Test {
protected:
    void SetUp() override { ForgetKernelSettings(); }
    void TearDown() override {
        ForgetStoredFlags(rows);
        ForgetKernelSettings();
    }
    int Run(std::vector<std::wstring> arguments, std::wstring& output) {
        std::wstring error;
        HeadlessRequest request = ParseHeadlessArguments(arguments, error);
        EXPECT_TRUE(error.empty()) << ToUtf8(error);
        plugins.clear();
        return RunHeadless(request, MakeTestFactory(rows, plugins), output);
    }

    ScopedProgramFolder programFolder;
    std::vector<TestPluginRow> rows = {{.id = L"FeA"},
                                       {.id = L"FeB", .weight = 1, .enabled = false},
                                       {.id = L"FeC", .category = PluginCategory::kIeAndAol}};
    std::map<std::wstring, TestPlugin*> plugins;
};

TEST_F(FrontEnd, ScanAndCleanReportAsJsonWithReportFiles) {
    ScopedTestFolder reports(L"FrontEndReports");
    std::wstring output;
    int code = Run({L"/clean", L"/json", L"/report:" + reports.Path()}, output);
    EXPECT_EQ(code, kExitDone) << ToUtf8(output);
    auto document = nlohmann::json::parse(ToUtf8(output));
    EXPECT_EQ(document["mode"], "clean");
    EXPECT_EQ(document["rebootNeeded"], false);
    ASSERT_EQ(document["plugins"].size(), 2u);
    EXPECT_EQ(document["plugins"][0]["id"], "FeA");
    EXPECT_EQ(document["plugins"][1]["id"], "FeC");
    EXPECT_EQ(document["plugins"][0]["result"], 0);
    std::string scanReport = document["plugins"][0]["scanReport"];
    std::string cleanReport = document["plugins"][1]["cleanReport"];
    std::string scanHtml = ReadTestFile(FromUtf8(scanReport));
    EXPECT_NE(scanHtml.find("<!DOCTYPE html>"), std::string::npos);
    EXPECT_NE(scanHtml.find("<p>scan of FeA</p>"), std::string::npos);
    EXPECT_NE(ReadTestFile(FromUtf8(cleanReport)).find("clean of FeC"), std::string::npos);
}

TEST_F(FrontEnd, OnlyRunsTheListedPluginsAndKeepsTheStoredFlags) {
    std::wstring output;
    EXPECT_EQ(Run({L"/scan", L"/only:FeB", L"/json"}, output), kExitDone);
    auto document = nlohmann::json::parse(ToUtf8(output));
    EXPECT_EQ(document["mode"], "scan");
    ASSERT_EQ(document["plugins"].size(), 1u);
    EXPECT_EQ(document["plugins"][0]["id"], "FeB");
    EXPECT_TRUE(document["plugins"][0]["scanReport"].is_null());
    EXPECT_TRUE(document["plugins"][0]["cleanReport"].is_null());
    DWORD stored = 9;
    // FeB was unchecked and stays so; FeA stays checked.
    HKEY key = nullptr;
    RegOpenKeyW(HKEY_LOCAL_MACHINE, kPluginsKey, &key);
    DWORD size = sizeof(stored);
    RegQueryValueExW(key, L"FeB", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    EXPECT_EQ(stored, 0u);
    size = sizeof(stored);
    RegQueryValueExW(key, L"FeA", nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size);
    EXPECT_EQ(stored, 1u);
    RegCloseKey(key);
}

TEST_F(FrontEnd, UnknownIdIsAUsageError) {
    std::wstring output;
    EXPECT_EQ(Run({L"/scan", L"/only:FeA,Nope"}, output), kExitUsage);
    EXPECT_EQ(output, L"Unknown plug-in id: Nope\n");
}

TEST_F(FrontEnd, AFailedPluginMakesTheExitCodeOne) {
    std::wstring output;
    std::wstring error;
    HeadlessRequest request = ParseHeadlessArguments({L"/scan"}, error);
    PluginFactory base = MakeTestFactory(rows, plugins);
    int code = RunHeadless(
        request,
        [&](CKernel& kernel) {
            PluginList list = base(kernel);
            plugins[L"FeC"]->scan = [](TestPlugin&) { return CPlugin::kFailed; };
            plugins[L"FeA"]->summary = {3, 4096};
            return list;
        },
        output);
    EXPECT_EQ(code, kExitFailed);
    EXPECT_NE(output.find(L"FeC"), std::wstring::npos);
    EXPECT_NE(output.find(L"failed"), std::wstring::npos);
    EXPECT_NE(output.find(L"4096"), std::wstring::npos);
}

TEST_F(FrontEnd, ACleanThatLeftItemsItShowedIsNoSuccess) {
    std::wstring error;
    HeadlessRequest request =
        ParseHeadlessArguments({L"/clean", L"/only:FeA,FeB", L"/json"}, error);
    ASSERT_TRUE(error.empty());
    PluginFactory base = MakeTestFactory(rows, plugins);
    std::wstring output;
    int code = RunHeadless(
        request,
        [&](CKernel& kernel) {
            PluginList list = base(kernel);
            // Its rows failed, changed and waited for the next start, yet it says "done".
            plugins[L"FeA"]->fix = [](TestPlugin& plugin) {
                plugin.AddError(ItemError(ItemError::kFile, L"C:\\a.tmp", ItemError::kSystemMessage,
                                          ERROR_ACCESS_DENIED, false));
                plugin.AddError(ItemError(ItemError::kFile, L"C:\\b.tmp", ItemError::kOwnText, 0,
                                          false, L"", ChangedSinceScan(L"it is a link now")));
                plugin.AddError(ItemError(ItemError::kFile, L"C:\\c.tmp", ItemError::kSystemMessage,
                                          ERROR_SHARING_VIOLATION, true));
                return CPlugin::kDone;
            };
            // Only deferred: that counts as done.
            plugins[L"FeB"]->fix = [](TestPlugin& plugin) {
                plugin.AddError(ItemError(ItemError::kFile, L"C:\\d.tmp", ItemError::kSystemMessage,
                                          ERROR_SHARING_VIOLATION, true));
                return CPlugin::kDone;
            };
            return list;
        },
        output);
    EXPECT_EQ(code, kExitItemsLeft) << ToUtf8(output);
    auto document = nlohmann::json::parse(ToUtf8(output));
    std::map<std::string, nlohmann::json> entries;
    for (const auto& plugin : document["plugins"])
        entries[plugin["id"].get<std::string>()] = plugin;
    EXPECT_EQ(entries["FeA"]["result"].get<int>(), CPlugin::kDoneWithFailures);
    EXPECT_EQ(entries["FeA"]["failed"], 1);
    EXPECT_EQ(entries["FeA"]["changed"], 1);
    EXPECT_EQ(entries["FeA"]["deferred"], 1);
    // A plug-in that does not count what it removed does not claim a number.
    EXPECT_TRUE(entries["FeA"]["removed"].is_null());
    EXPECT_TRUE(entries["FeA"]["freedBytes"].is_null());
    EXPECT_EQ(entries["FeB"]["result"].get<int>(), CPlugin::kDone);
    EXPECT_EQ(entries["FeB"]["deferred"], 1);
}

TEST_F(FrontEnd, KeepReplacesTheStoredListForThisRunOnly) {
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, L"stored.test");
    std::wstring error;
    HeadlessRequest request = ParseHeadlessArguments({L"/clean", L"/keep:run.test"}, error);
    ASSERT_TRUE(error.empty());
    std::vector<std::wstring> seen;
    PluginFactory base = MakeTestFactory(rows, plugins);
    std::wstring output;
    int code = RunHeadless(
        request,
        [&](CKernel& kernel) {
            PluginList list = base(kernel);
            auto record = [&seen, &kernel](TestPlugin&) {
                seen.push_back(kernel.GetCookieKeepList().ToText());
                return CPlugin::kDone;
            };
            plugins[L"FeA"]->scan = record;
            plugins[L"FeA"]->fix = record;
            return list;
        },
        output);
    EXPECT_EQ(code, kExitDone) << ToUtf8(output);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"run.test", L"run.test"}));
    std::wstring stored;
    ASSERT_TRUE(GetString(HKEY_LOCAL_MACHINE, kOptionsKey, kKeepCookiesOption, stored));
    EXPECT_EQ(stored, L"stored.test");
}

TEST_F(FrontEnd, ListShowsPositionIdCategoryAndFlag) {
    // The longest category name still stands apart from the flag.
    rows.push_back({.id = L"FeD", .category = PluginCategory::kChromium});
    std::wstring output;
    EXPECT_EQ(Run({L"/list"}, output), kExitDone);
    EXPECT_NE(output.find(L"  2  FeB"), std::wstring::npos) << ToUtf8(output);
    EXPECT_NE(output.find(L"IE & AOL plugins"), std::wstring::npos);
    EXPECT_NE(output.find(L"unchecked"), std::wstring::npos);
    EXPECT_NE(output.find(L"Chromium browsers  checked"), std::wstring::npos) << ToUtf8(output);
}

TEST_F(FrontEnd, LeavesTheOptionsAndTheAutostartEntryAlone) {
    // Asked to start with Windows, but the entry is gone (the user removed it).
    SetString(HKEY_LOCAL_MACHINE, kOptionsKey, L"BootStartup", L"1");
    std::wstring output;
    EXPECT_EQ(Run({L"/list"}, output), kExitDone);
    EXPECT_EQ(Run({L"/clean"}, output), kExitDone) << ToUtf8(output);
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kOptionsKey, L"HideOnExit"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kOptionsKey, L"OverWrite"));
}

// Two instances: this process scans with a plug-in that waits, and the
// installed program is started beside it.
TEST_F(FrontEnd, OneCleanerAtATime) {
    UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle scanning(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::wstring error;
    HeadlessRequest request = ParseHeadlessArguments({L"/scan", L"/only:FeA"}, error);
    PluginFactory base = MakeTestFactory(rows, plugins);
    std::wstring firstOutput;
    int firstCode = -1;
    std::thread first([&] {
        firstCode = RunHeadless(
            request,
            [&](CKernel& kernel) {
                PluginList list = base(kernel);
                plugins[L"FeA"]->scan = [&](TestPlugin&) {
                    SetEvent(scanning.Get());
                    WaitForSingleObject(release.Get(), 60000);
                    return CPlugin::kDone;
                };
                return list;
            },
            firstOutput);
    });
    ASSERT_EQ(WaitForSingleObject(scanning.Get(), 30000), WAIT_OBJECT_0);

    for (const wchar_t* action : {L"/scan", L"/clean /only:Clipboard"}) {
        ChildResult second = RunChild(VeltraneCommand(action));
        EXPECT_EQ(second.exitCode, static_cast<DWORD>(kExitBusy))
            << ToUtf8(action) << ": " << second.output;
        EXPECT_EQ(second.output, ToUtf8(kRunRefusedText) + "\n") << ToUtf8(action);
    }
    ChildResult list = RunChild(VeltraneCommand(L"/list"));
    EXPECT_EQ(list.exitCode, static_cast<DWORD>(kExitDone)) << list.output;

    SetEvent(release.Get());
    first.join();
    EXPECT_EQ(firstCode, kExitDone) << ToUtf8(firstOutput);
    // The lock went with the run: the next one starts.
    std::wstring output;
    EXPECT_EQ(Run({L"/scan"}, output), kExitDone) << ToUtf8(output);
    ForgetKernelSettings();
}

// What became of the last clean's deferred deletions is told once, in the
// JSON and in the table.
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

}  // namespace veltrane
