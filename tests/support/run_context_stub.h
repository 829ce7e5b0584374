#pragma once
// A run context driven by the test: cancel after a number of checks, note reboots.
#include "sysaccess/run_context.h"

namespace veltrane {

// The part every run interface shares, on top of the interface a test needs.
template <typename RunInterface>
class TestRunOf : public RunInterface {
public:
    bool IsCancelled() const override {
        ++checks;
        return cancelAfterChecks >= 0 && checks > cancelAfterChecks;
    }
    bool GetWipeFiles() const override { return wipe; }
    void SetRebootNeeded() override { rebootNeeded = true; }

    int cancelAfterChecks = -1;  // -1: never
    mutable int checks = 0;
    bool wipe = false;
    bool rebootNeeded = false;
};

using TestRunContext = TestRunOf<IRunContext>;

}  // namespace veltrane
