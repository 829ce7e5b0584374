#pragma once
// Microsoft Office's recent documents: Word through its automation object,
// Excel, PowerPoint, Access, Visio and InfoPath through their numbered
// registry values, then the Office "Recent" shortcut folder.
#include "engine/plugin.h"
#include "plugins/system/recent_documents.h"

namespace veltrane {

class CPlgMSOfficeRecUsed : public CPlugin {
public:
    CPlgMSOfficeRecUsed(CKernel& kernel, const PluginIdentity& identity);

    Result Scan() override;
    Result Fix() override;
    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;
    CleanSummary GetCleanSummary() const override;

    const RecentDocumentList& GetWordList() const { return wordList_; }
    const RecentDocumentList& GetRegistryList() const { return registryList_; }
    const RecentDocumentList& GetFolderList() const { return folderList_; }

private:
    bool ScanWord();
    bool ScanRegistry();
    bool ScanFolder();
    void CleanWord();
    void CleanRegistry();
    void CleanFolder();

    RecentDocumentList wordList_;
    RecentDocumentList registryList_;
    RecentDocumentList folderList_;  // the Office Recent folder's files
};

}  // namespace veltrane
