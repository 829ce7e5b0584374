#pragma once
// The Windows "Recent" folder, read through the shell namespace and the
// shortcuts it holds.
#include "engine/plugin.h"
#include "plugins/system/recent_documents.h"

class CPlgWinRecUsed : public CPlugin {
public:
    CPlgWinRecUsed(CKernel& kernel, const PluginIdentity& identity);

    int Scan() override;
    int Fix() override;
    int BuildScanReport(IHtmlElement& element) override;
    int BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;

    const RecentDocumentList& GetList() const { return list_; }

private:
    RecentDocumentList list_;
};
