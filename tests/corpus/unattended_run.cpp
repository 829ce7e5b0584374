#include "corpus/unattended_run.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/child_process.h"
#include "support/test_files.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kReports[] = L"C:\\VeltraneCorpusReports";

}  // namespace

UnattendedRun RunUnattended(const std::wstring& action, const std::vector<std::wstring>& ids,
                            const std::wstring& options) {
    RemoveTree(kReports);
    std::wstring only;
    for (const std::wstring& id : ids) only += (only.empty() ? L"" : L",") + id;
    const ChildResult child = RunChild(
        VeltraneCommand(action + L" /only:" + only + options + L" /json /report:" + kReports),
        600000);
    UnattendedRun run;
    EXPECT_TRUE(child.started);
    run.exitCode = static_cast<int>(child.exitCode);
    const auto document = nlohmann::json::parse(child.output, nullptr, false);
    if (!document.is_object() || !document.contains("plugins")) {
        ADD_FAILURE() << child.output;
        return run;
    }
    const std::wstring kind = action == L"/scan" ? L".scan.html" : L".clean.html";
    for (const auto& plugin : document["plugins"]) {
        const std::wstring id = FromUtf8(plugin["id"].get<std::string>());
        run.plugins[ToUtf8(id)] = plugin;
        run.reports[id] = std::wstring(kReports) + L"\\" + id + kind;
        run.rows[id] = ReadReportRows(run.reports[id]);
    }
    return run;
}

void PrintCorpusResult(const std::wstring& artifact, size_t inArtifact, size_t found, size_t left) {
    std::printf("corpus result | %s | %zu in the artifact | %zu found | %zu left after the clean\n",
                ToUtf8(artifact).c_str(), inArtifact, found, left);
}

}  // namespace veltrane
