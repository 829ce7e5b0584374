#pragma once
// The Windows "Recent" folder, read through the shell namespace and the
// shortcuts it holds.
#include "engine/plugin.h"
#include "plugins/system/recent_documents.h"

namespace veltrane {

class CPlgWinRecUsed : public CPlugin {
public:
    CPlgWinRecUsed(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;
    CleanSummary GetCleanSummary() const override;

    const RecentDocumentList& GetList() const { return list_; }

private:
    RecentDocumentList list_;
};

}  // namespace veltrane
