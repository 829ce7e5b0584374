#pragma once
// One browser plug-in driven by a real kernel through a scan and a clean,
// with the installed pages, as the main window drives it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/kernel.h"
#include "support/test_files.h"
#include "support/test_plugin.h"

namespace veltrane {

template <typename Plugin>
class PluginHarness {
public:
    PluginHarness(const wchar_t* id, PluginCategory category, int weight = 0)
        : kernel_(&view_, [this, id, category, weight](CKernel& kernel) {
              PluginList list;
              auto plugin = std::make_unique<Plugin>(kernel, PluginIdentity{id, category, weight});
              plugin_ = plugin.get();
              list.push_back(std::move(plugin));
              return list;
          }) {
        view_.Attach(&kernel_);
    }
    ~PluginHarness() { ForgetKernelSettings(); }

    // True when the run reached its end.
    bool Scan() { return RunTo(CKernel::kScanning, CKernel::kScanFinished); }
    bool Clean() { return RunTo(CKernel::kCleaning, CKernel::kCleanFinished); }
    // The plug-in's row shows "Failed" after the last run.
    bool RowFailed() const {
        return !view_.rows.empty() &&
               view_.rows.back().second.find(L"Failed") != std::wstring::npos;
    }
    // The plug-in's row shows it left rows it showed: "Finished with failures".
    bool RowLeftItems() const {
        return !view_.rows.empty() &&
               view_.rows.back().second.find(L"Finished with failures") != std::wstring::npos;
    }
    std::wstring ScanPage() {
        MemoryHtmlElement element;
        plugin_->BuildScanReport(element);
        return element.innerHtml;
    }
    std::wstring CleanPage() {
        MemoryHtmlElement element;
        plugin_->BuildFixReport(element);
        return element.innerHtml;
    }
    // The stored keep-list, as Settings would set it.
    void SetKeepList(const std::wstring& text) {
        Options options = kernel_.GetOptions();
        options.keepCookies = CookieKeepList(text);
        ASSERT_TRUE(kernel_.SetOptions(options).Done());
    }
    Plugin& Get() { return *plugin_; }
    CKernel& Kernel() { return kernel_; }
    const RecordingView& View() const { return view_; }

private:
    bool RunTo(CKernel::Mode start, CKernel::Mode end) {
        kernel_.SetMode(start);
        return view_.PumpUntil([this, end] { return kernel_.GetMode() == end; }, 60000);
    }

    ScopedProgramFolder folder_;
    RecordingView view_;
    Plugin* plugin_ = nullptr;
    CKernel kernel_;
};

}  // namespace veltrane
