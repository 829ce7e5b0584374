#pragma once
// The clipboard: its formats are listed with their sizes and it is emptied
// as a whole.
#include <string>
#include <vector>

#include "engine/plugin.h"

class CPlgClipboard : public CPlugin {
public:
    struct FormatEntry {
        std::wstring text;
        SIZE_T size = 0;
    };

    CPlgClipboard(CKernel& kernel, const PluginIdentity& identity);

    int Scan() override;
    int Fix() override;
    int BuildScanReport(IHtmlElement& element) override;
    int BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;

    const std::vector<FormatEntry>& GetFormats() const { return formats_; }

private:
    std::vector<FormatEntry> formats_;
    bool cleanFailed_ = false;
};
