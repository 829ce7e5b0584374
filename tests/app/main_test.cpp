// The installed program started unattended: usage errors, JSON, a run lock
// it cannot open, and a start from a folder with pages of its own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/headless.h"
#include "engine/kivo_critical_section.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "sysaccess/named_objects.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// Something else holds the run lock's name as another kind of object.
TEST(InstalledProgram, ARunLockThatCannotBeOpenedIsAFailureNotABusyLock) {
    NamedObject squatter = CreateNamedMutex(kKivoSemaphoreName, false);
    ASSERT_TRUE(squatter.handle) << "the run lock is open elsewhere: " << squatter.error;
    ChildResult scan = RunChild(VeltraneCommand(L"/scan /only:Clipboard"));
    EXPECT_EQ(scan.exitCode, static_cast<DWORD>(kExitFailed)) << scan.output;
    EXPECT_EQ(scan.output.rfind("The run lock could not be opened: ", 0), 0u) << scan.output;
    ChildResult list = RunChild(VeltraneCommand(L"/list"));
    EXPECT_EQ(list.exitCode, static_cast<DWORD>(kExitDone)) << list.output;
}

// Started from another folder that holds pages of its own: the reports are
// written where a relative /report: points from there, framed by the
// program's own page.
TEST(InstalledProgram, StartedElsewhereReadsItsOwnPages) {
    ScopedTestFolder started(L"StartedElsewhere");
    WriteTestFile(started.Sub(L"html\\Common\\report_page.html"), "decoy #report#");
    ChildResult scan = RunChild(VeltraneCommand(L"/scan /only:Clipboard /report:out /json"), 120000,
                                started.Path().c_str());
    ASSERT_EQ(scan.exitCode, static_cast<DWORD>(kExitDone)) << scan.output;
    auto document = nlohmann::json::parse(scan.output, nullptr, false);
    ASSERT_TRUE(document.contains("plugins")) << scan.output;
    const std::string report = document["plugins"][0]["scanReport"];
    EXPECT_EQ(FromUtf8(report), started.Sub(L"out\\Clipboard.scan.html"));
    const std::string html = ReadTestFile(FromUtf8(report));
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u) << html.substr(0, 200);
    EXPECT_EQ(html.find("decoy"), std::string::npos);
}

TEST(InstalledProgram, PrintsUsageErrorsAndValidJson) {
    ChildResult bogus = RunChild(VeltraneCommand(L"/scan /bogus"));
    ASSERT_TRUE(bogus.started);
    EXPECT_EQ(bogus.exitCode, static_cast<DWORD>(kExitUsage));
    EXPECT_NE(bogus.output.find("Unknown switch: /bogus"), std::string::npos) << bogus.output;

    ChildResult list = RunChild(VeltraneCommand(L"/list /json"));
    EXPECT_EQ(list.exitCode, static_cast<DWORD>(kExitDone)) << list.output;
    EXPECT_TRUE(nlohmann::json::parse(list.output, nullptr, false).contains("plugins"))
        << list.output;

    ChildResult unknown = RunChild(VeltraneCommand(L"/scan /only:NoSuchPlugin"));
    EXPECT_EQ(unknown.exitCode, static_cast<DWORD>(kExitUsage));
    EXPECT_NE(unknown.output.find("NoSuchPlugin"), std::string::npos);
    ForgetKernelSettings();
}

}  // namespace

}  // namespace veltrane
