#pragma once
// A run context driven by the test: cancel after a number of checks, note
// reboots, keep the items of one place as a rule would.
#include <string>

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
    KeepVerdict MayRemove(const ItemRef& item) const override {
        if (keptPlace.empty() || item.place != keptPlace) return {};
        return {KeepVerdict::Kind::kExcluded, L"file:" + keptPlace};
    }

    int cancelAfterChecks = -1;  // -1: never
    mutable int checks = 0;
    bool wipe = false;
    bool rebootNeeded = false;
    std::wstring keptPlace;  // the items there stay, as an exclusion keeps them
};

using TestRunContext = TestRunOf<IRunContext>;

}  // namespace veltrane
