#pragma once
// A table-driven plug-in whose description the test writes, with the run
// context under the test's control, and a kernel without a window to own it.
#include <windows.h>

#include <shlwapi.h>

#include <string>
#include <vector>

#include "engine/kernel.h"
#include "plugins/standard/standart_plugin.h"
#include "support/test_plugin.h"
#include "sysaccess/handles.h"

namespace veltrane {

// A plug-in whose worker thread the test can wait for: a scan run on it
// leaves the run state "scanned", as a scan started by the kernel does.
template <typename Plugin>
class Joinable : public Plugin {
public:
    using Plugin::Plugin;

    // False when the scan did not end in time.
    bool ScanOnWorker() {
        this->StartScan(nullptr);
        return WaitForSingleObject(worker_.Get(), 10000) == WAIT_OBJECT_0;
    }

protected:
    bool LaunchWorker(LPTHREAD_START_ROUTINE routine) override {
        worker_.Attach(CreateThread(nullptr, 0, routine, static_cast<CPlugin*>(this), 0, nullptr));
        return worker_.IsValid();
    }

private:
    UniqueHandle worker_;
};

class ProbePlugin : public Joinable<CStandartPlugin> {
public:
    ProbePlugin(CKernel& kernel, const wchar_t* id, ReportLayout layout)
        : Joinable(kernel, PluginIdentity{id, PluginCategory::kSystem, 0}, layout) {}

    bool IsCancelled() const override {
        ++cancelChecks;
        return cancelAfter >= 0 && cancelChecks > cancelAfter;
    }
    bool GetWipeFiles() const override { return wipe; }
    void SetRebootNeeded() override {
        ++reboots;
        CStandartPlugin::SetRebootNeeded();
    }

    using CStandartPlugin::Engine;
    std::vector<ItemError>& Errors() { return errors; }

    int cancelAfter = -1;  // -1: never
    mutable int cancelChecks = 0;
    bool wipe = false;
    int reboots = 0;
};

// A kernel with no window and no plug-ins of its own; the test makes them.
// Declared before the plug-ins, it outlives them; then it forgets the checked
// flags they stored and its own settings.
struct BareKernel {
    struct Forget {
        std::vector<std::wstring> ids;
        ~Forget() {
            for (const std::wstring& id : ids)
                SHDeleteValueW(HKEY_LOCAL_MACHINE, kPluginsKey, id.c_str());
            ForgetKernelSettings();
        }
    };

    explicit BareKernel(std::vector<std::wstring> ids = {})
        : forget{std::move(ids)}, kernel(nullptr, [](CKernel&) { return PluginList(); }) {}

    Forget forget;  // destroyed after the kernel
    CKernel kernel;
};

}  // namespace veltrane
