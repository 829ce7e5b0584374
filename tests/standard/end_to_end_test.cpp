// The nineteen described plug-ins end to end: traces written by the seeder's
// own code, a clean through the installed program's unattended front end,
// then the registry and the folders as the clean left them.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlwapi.h>

#include <map>
#include <nlohmann/json.hpp>

#include "seedtraces/seed_standard.h"
#include "standard/seed_manifest.h"
#include "support/child_process.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/handles.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kOnly[] =
    L"/only:RunHistory,OrderHistory,OpenHistory,TempDir,RegeditLastKey,NetLastUserLogon,"
    L"NetLastDomainLogon,FindHistory,IEAutoCompletePsw,IEAddressBarHistory,"
    L"AOLAddressBarHistory,IEDownload,IEHelper,OperaCache,OperaCookies,OperaAddressHistory,"
    L"WCMediaHistory,RealPlayerPlaylist,ACDSeeHistory";

// The first windowed program in a fresh prefix makes Wine start its desktop
// process, which keeps the output handles it inherited: started with ours it
// would hold the pipe the test reads until the end. So a first run of the
// program writes to nowhere.
void StartDesktopDetached() {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    UniqueHandle nowhere(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                     nullptr));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere.Get();
    PROCESS_INFORMATION process = {};
    std::wstring line = VeltraneCommand(L"/scan /only:RunHistory");
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.Get(), 60000);
}

struct Outcome {
    int result = -1;
    uint64_t items = 0;
    std::string cleanReport;
};

// The run's JSON document by plug-in id.
std::map<std::string, Outcome> RunProgram(const std::wstring& arguments, bool* rebootNeeded) {
    ChildResult child = RunChild(VeltraneCommand(arguments + L" " + kOnly + L" /json"), 300000);
    EXPECT_TRUE(child.started) << "veltrane.exe is not installed in the sandbox";
    std::map<std::string, Outcome> outcome;
    auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (document.is_discarded() || !document.contains("plugins")) {
        ADD_FAILURE() << child.output;
        return outcome;
    }
    EXPECT_EQ(child.exitCode, 0u) << child.output;
    if (rebootNeeded) *rebootNeeded = document["rebootNeeded"].get<bool>();
    for (const auto& plugin : document["plugins"]) {
        Outcome& entry = outcome[plugin["id"].get<std::string>()];
        entry.result = plugin["result"].get<int>();
        entry.items = plugin["items"].get<uint64_t>();
        if (plugin["cleanReport"].is_string()) entry.cleanReport = plugin["cleanReport"];
    }
    return outcome;
}

TEST(StandardEndToEnd, CleanRemovesTheSeededTracesAndNothingBesideThem) {
    StandardSeedManifest seeded;
    ASSERT_TRUE(SeedStandardTraces(1, &seeded));
    for (const SeededRegPlace& place : seeded.traceValues)
        ASSERT_TRUE(ValueExists(place.root, place.key, place.value)) << DescribeSeeded(place);
    for (const std::wstring& file : seeded.traceFiles)
        ASSERT_TRUE(FileExists(file)) << ToUtf8(file);
    ScopedTestFolder reports(L"StandardReports");
    StartDesktopDetached();

    bool rebootNeeded = false;
    auto cleaned = RunProgram(L"/clean /report:" + reports.Path(), &rebootNeeded);
    ASSERT_EQ(cleaned.size(), 19u);
    for (const auto& [id, outcome] : cleaned) {
        EXPECT_EQ(outcome.result, 0) << id;
        EXPECT_GT(outcome.items, 0u) << id;
        std::string report = ReadTestFile(FromUtf8(outcome.cleanReport));
        EXPECT_NE(report.find("<table class=\"report\">"), std::string::npos) << id;
        EXPECT_EQ(report.find("#status#"), std::string::npos) << id;
    }
    // Windows keeps the Run list in memory until it restarts.
    EXPECT_TRUE(rebootNeeded);

    ExpectCleanedAsSeeded(seeded);

    for (const auto& [id, outcome] : RunProgram(L"/scan", nullptr)) {
        EXPECT_EQ(outcome.result, 0) << id;
        EXPECT_EQ(outcome.items, 0u) << id;
    }
    UndoSeeding(seeded);
}

}  // namespace

}  // namespace veltrane
