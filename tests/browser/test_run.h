#pragma once
// A run of the browser readers and deleters driven by the test; it also
// keeps the progress texts.
#include <string>
#include <vector>

#include "plugins/browser/domain_info.h"
#include "support/run_context_stub.h"

namespace veltrane {

class TestRun : public TestRunOf<IRunProgress> {
public:
    void ReportProgress(const std::wstring& text) override { progress.push_back(text); }

    std::vector<std::wstring> progress;
};

}  // namespace veltrane
