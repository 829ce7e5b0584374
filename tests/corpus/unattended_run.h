#pragma once
// What the corpus tests share: a scan or clean of some plug-ins
// through the installed program, unattended, with its reports read back.
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "corpus/report_rows.h"

namespace veltrane {

struct UnattendedRun {
    int exitCode = -1;
    nlohmann::json plugins;                               // by id: the /json entry
    std::map<std::wstring, std::vector<ReportRow>> rows;  // by id: the report's rows
    std::map<std::wstring, std::wstring> reports;         // by id: the report's file
};

// `action` is "/scan" or "/clean"; the reports go to a folder of the test's own.
// `options` are further switches of the run (such as " /keep:example.com").
UnattendedRun RunUnattended(const std::wstring& action, const std::vector<std::wstring>& ids,
                            const std::wstring& options = {});

// Prints one line of the corpus results table: artifact, found, left after the clean.
void PrintCorpusResult(const std::wstring& artifact, size_t inArtifact, size_t found, size_t left);

}  // namespace veltrane
