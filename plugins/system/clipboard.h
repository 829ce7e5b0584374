#pragma once
// The clipboard: its formats are listed with their sizes and it is emptied
// as a whole, only while it holds what the scan listed and its row is ticked.
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
    // How the last clean ended: its report page.
    enum class CleanEnd { kEmptied, kKept, kChanged, kHeld };

    std::vector<FormatEntry> formats_;
    DWORD scannedSequence_ = 0;  // the clipboard's change count when the scan listed it
    CleanEnd cleanEnd_ = CleanEnd::kEmptied;
    KeepVerdict kept_;  // CleanEnd::kKept: why
};

}  // namespace veltrane
