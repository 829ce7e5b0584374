#pragma once
// Microsoft Office's recent documents: Word through its automation object,
// Excel, PowerPoint, Access, Visio and InfoPath through their numbered
// registry values, then the Office "Recent" shortcut folder.
#include <optional>

#include "engine/plugin.h"
#include "plugins/system/recent_documents.h"

class CPlgMSOfficeRecUsed : public CPlugin {
public:
    CPlgMSOfficeRecUsed(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;

    const RecentDocumentList& GetWordList() const { return wordList_; }
    const RecentDocumentList& GetRegistryList() const { return registryList_; }

private:
    bool ScanWord();
    bool ScanRegistry();
    void CleanWord();
    bool CleanRegistry();

    RecentDocumentList wordList_;
    RecentDocumentList registryList_;
    std::optional<ItemError> refusedFolder_;  // the Office Recent folder, when the guard keeps it
};
