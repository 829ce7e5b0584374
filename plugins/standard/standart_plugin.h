#pragma once
// A plug-in that is nothing but a description: registry entries and file
// entries, scanned, reported and cleaned by its engine. Derived classes
// construct it with their identity and report layout and add their entries.
#include <windows.h>

#include <string>
#include <vector>

#include "engine/plugin.h"
#include "plugins/standard/elim_action.h"

namespace veltrane {

class CStandartPlugin : public CPlugin {
public:
    // The template family of the reports.
    enum ReportLayout : int {
        kFiles = 0,
        kFilesFolders = 1,
        kRegValues = 2,
        kRegKeysValues = 3,
    };

    // The report, as assembled from the templates and then filled in place.
    struct ReportParts {
        std::wstring frame;  // "Report.html" with its column headers in
        std::wstring filePattern;
        std::wstring folderPattern;
        std::wstring valuePattern;
        std::wstring keyPattern;
        std::wstring totals;
        std::wstring pluginName;
        std::wstring groupKey;  // the plug-in's group, which every row names
    };

    CStandartPlugin(CKernel& kernel, const PluginIdentity& identity, ReportLayout reportLayout);

    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    Result Scan() override;
    Result Fix() override;
    ScanSummary GetScanSummary() const override;
    CleanSummary GetCleanSummary() const override;

    virtual void FillScanReport(ReportParts& parts) const;
    virtual void FillFixReport(ReportParts& parts) const;

    void AddRegEntry(HKEY root, const std::wstring& keyPath, CElimAction::RegMode mode,
                     const std::wstring& valueName = {});
    void AddFileEntry(const std::wstring& path, CElimAction::FileMode mode,
                      const std::wstring& mask);
    // How registry values are shown and found again; both off unless set.
    struct ValueFlags {
        bool showData = false;  // value data in the reports
        // A clean finds values renumbered since the scan by their data;
        // only with showData.
        bool matchByData = false;
    };
    void SetValueFlags(ValueFlags flags);

    ReportLayout GetReportLayout() const { return reportLayout_; }
    const CElimAction& GetEngine() const { return engine_; }
    // Progress without the prefix and throttle of SetProgress.
    void PostProgressNow(const std::wstring& text);

protected:
    CElimAction& Engine() { return engine_; }

private:
    // Result of an engine run: done, or cancelled, or failed.
    Result RunResult(bool succeeded) const;
    ReportParts AssembleReport(bool scan) const;
    // A text template from the plug-in's own folder, else the shared one.
    std::vector<std::wstring> ReadTemplate(const std::wstring& name, bool keepEmptyLines) const;

    ReportLayout reportLayout_;
    CElimAction engine_;
};

}  // namespace veltrane
