#pragma once
// A run of the browser readers and deleters driven by the test.
#include <string>
#include <vector>

#include "plugins/browser/domain_info.h"

class TestRun : public IRunProgress {
public:
    bool IsCancelled() const override {
        ++checks;
        return cancelAfterChecks >= 0 && checks > cancelAfterChecks;
    }
    bool GetWipeFiles() const override { return wipe; }
    void SetRebootNeeded() override { rebootNeeded = true; }
    void ReportProgress(const std::wstring& text) override { progress.push_back(text); }

    int cancelAfterChecks = -1;  // -1: never
    mutable int checks = 0;
    bool wipe = false;
    bool rebootNeeded = false;
    std::vector<std::wstring> progress;
};
