#pragma once
// A plug-in whose user presses Cancel the moment its clean begins: the clean
// runs with the kernel's cancel already signalled, as a quick click leaves it.
#include "engine/kernel.h"

namespace veltrane {

template <typename Plugin>
class CancelAtClean : public Plugin {
public:
    CancelAtClean(CKernel& kernel, const PluginIdentity& identity)
        : Plugin(kernel, identity), kernel_(kernel) {}

    CPlugin::Result Fix() override {
        kernel_.Cancel();
        return Plugin::Fix();
    }

private:
    CKernel& kernel_;
};

}  // namespace veltrane
