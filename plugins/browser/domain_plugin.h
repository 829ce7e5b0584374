#pragma once
// The common part of the browser plug-ins: the domain map, its ordered view,
// and the scan and clean pages with one row per domain.
#include <functional>
#include <optional>
#include <string>

#include "engine/plugin.h"
#include "plugins/browser/domain_info.h"

namespace veltrane {

class CDomainPlugin : public CPlugin {
public:
    CDomainPlugin(CKernel& kernel, const PluginIdentity& identity);

    ReportResult BuildScanReport(IHtmlElement& element) override;
    ReportResult BuildFixReport(IHtmlElement& element) override;
    ScanSummary GetScanSummary() const override;
    // Removed: the rows whose items all went; the bytes are the scan's, so not told.
    CleanSummary GetCleanSummary() const override;
    // True for the cookie and site data plugins: their scan rows get a keep
    // toggle, and their clean leaves what the kernel's cookie keep-list keeps.
    virtual bool UsesCookieKeepList() const { return false; }
    // Whether scan row `domain` gets a keep toggle (rows that name no site do not).
    virtual bool OffersKeepToggle(const DomainInfo& /*domain*/) const { return true; }
    // "idKeep_N" toggles the domain of scan row N in the cookie keep-list;
    // anything else goes to the base (item errors).
    void OnReportClick(const std::wstring& command, IHtmlElement* element) override;

    const DomainMap& Domains() const { return domains_; }
    const DomainView& OrderedView() const { return view_; }

protected:
    using DomainOrder = std::function<bool(const DomainInfo&, const DomainInfo&)>;

    // The row placeholders of one domain; the default fills "#name#" and "#num#".
    virtual void FillRow(std::wstring& row, const DomainInfo& domain) const;
    // The totals placeholders; the default fills "#num#" with the number of domains.
    virtual void FillTotals(std::wstring& totals) const;
    // Whether the report's rows get the user's check boxes (engine/report_text.h):
    // true when the clean asks about each row before it removes anything of it.
    virtual bool OffersRowChoice() const { return false; }

    // One pointer per domain, in map order, then sorted by `before`.
    void BuildOrderedView(const DomainOrder& before);
    // The ordered view with the largest item count first.
    void BuildViewByItemCount();
    // Empties the map and the view that points into it.
    void ClearDomains();
    void ResetResults();
    // `errors` becomes the errors of the failed domains, in page order.
    void CollectDomainErrors();
    // A plug-in of the keep-list whose keep-list cannot be read cleans
    // nothing: every row fails with the reason. The clean's result when it refused.
    [[nodiscard]] std::optional<Result> RefuseIfKeepListUnreadable();
    IRunProgress& Run() { return run_; }

    DomainMap domains_;
    DomainView view_;

private:
    // Forwards the plug-in's cancel flag, options and progress to the readers.
    class PluginRun : public IRunProgress {
    public:
        explicit PluginRun(CDomainPlugin& plugin) : plugin_(plugin) {}
        bool IsCancelled() const override { return plugin_.IsCancelled(); }
        bool GetWipeFiles() const override { return plugin_.GetWipeFiles(); }
        void SetRebootNeeded() override { plugin_.SetRebootNeeded(); }
        void ReportProgress(const std::wstring& text) override { plugin_.SetProgress(text); }
        KeepVerdict MayRemove(const ItemRef& item) const override {
            return plugin_.MayRemove(item);
        }

    private:
        CDomainPlugin& plugin_;
    };

    std::wstring BuildPage(const wchar_t* page, const wchar_t* row, const wchar_t* total,
                           bool withResults) const;

    PluginRun run_{*this};
};

}  // namespace veltrane
