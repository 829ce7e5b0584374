#pragma once
// Runs one of the system plug-ins through a real kernel, as the program
// does: scan and clean on worker threads, messages back to a window that
// keeps every progress text shown in it.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/kernel.h"
#include "support/test_files.h"
#include "support/test_plugin.h"
#include "support/text_count.h"

namespace veltrane {

template <typename Plugin>
class PluginRun {
public:
    explicit PluginRun(const wchar_t* id, bool overwrite = false) : id_(id) {
        ForgetKernelSettings();
        ForgetStoredFlags({{.id = id}});
        kernel = std::make_unique<CKernel>(&view, [this](CKernel& owner) {
            PluginList list;
            auto created =
                std::make_unique<Plugin>(owner, PluginIdentity{id_, PluginCategory::kSystem, 0});
            plugin = created.get();
            list.push_back(std::move(created));
            return list;
        });
        view.Attach(kernel.get());
        Options options = kernel->GetOptions();
        options.overWrite = overwrite;
        EXPECT_TRUE(kernel->SetOptions(options).Done());
    }
    ~PluginRun() {
        kernel.reset();
        ForgetStoredFlags({{.id = id_}});
        ForgetKernelSettings();
    }

    // The row text the run left for the plug-in: "Finished" or "Failed".
    std::wstring Scan() { return RunTo(CKernel::kScanning, CKernel::kScanFinished); }
    std::wstring Clean() { return RunTo(CKernel::kCleaning, CKernel::kCleanFinished); }

    std::wstring ScanReport() {
        MemoryHtmlElement element;
        lastReportResult = plugin->BuildScanReport(element);
        return element.innerHtml;
    }
    std::wstring CleanReport() {
        MemoryHtmlElement element;
        lastReportResult = plugin->BuildFixReport(element);
        return element.innerHtml;
    }

    ScopedProgramFolder programFolder;
    RecordingView view;
    std::unique_ptr<CKernel> kernel;
    Plugin* plugin = nullptr;
    std::optional<ReportResult> lastReportResult;

private:
    std::wstring RunTo(CKernel::Mode start, CKernel::Mode end) {
        view.rows.clear();
        kernel->SetMode(start);
        if (!view.PumpUntil([&] { return kernel->GetMode() == end; }, 60000)) return L"time-out";
        return view.rows.empty() ? L"" : view.rows.back().second;
    }

    const wchar_t* id_;
};

}  // namespace veltrane
