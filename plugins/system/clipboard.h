#pragma once
// The clipboard: its formats are listed with their sizes and it is emptied
// as a whole.
#include <string>
#include <vector>

#include "engine/plugin.h"

namespace veltrane {

class CPlgClipboard : public CPlugin {
public:
    struct FormatEntry {
        std::wstring text;
        SIZE_T size = 0;
    };

    CPlgClipboard(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;

    const std::vector<FormatEntry>& GetFormats() const { return formats_; }

private:
    std::vector<FormatEntry> formats_;
    bool cleanFailed_ = false;
};

}  // namespace veltrane
