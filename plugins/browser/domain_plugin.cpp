#include "plugins/browser/domain_plugin.h"

#include <algorithm>

#include "engine/page_reader.h"
#include "sysaccess/text.h"

DomainInfo& FindOrAddDomain(DomainMap& domains, const std::wstring& name) {
    auto [it, inserted] = domains.try_emplace(name);
    if (inserted) it->second.name = name;
    return it->second;
}

CDomainPlugin::CDomainPlugin(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

int CDomainPlugin::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return 1;
    element.SetInnerHtml(
        BuildPage(L"details.html", L"domaindetails.html", L"totaldetails.html", false));
    return 0;
}

int CDomainPlugin::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return 1;
    element.SetInnerHtml(
        BuildPage(L"report.html", L"domainreport.html", L"totalreport.html", true));
    return 0;
}

std::wstring CDomainPlugin::BuildPage(const wchar_t* pageName, const wchar_t* rowName,
                                      const wchar_t* totalName, bool withResults) const {
    const std::wstring folder = GetPluginFolder();
    std::wstring page = ReadPage(folder + pageName);
    const std::wstring rowFragment = ReadPage(folder + rowName);
    std::wstring totals = ReadPage(folder + totalName);
    const SharedResultPages& shared = SharedPages();

    std::wstring rows;
    int errorNumber = 0;
    for (const DomainInfo* domain : view_) {
        std::wstring row = rowFragment;
        FillRow(row, *domain);
        if (withResults) {
            std::wstring result;
            switch (domain->result) {
                case DomainInfo::kRebootNeeded:
                case DomainInfo::kError:
                    result =
                        domain->result == DomainInfo::kError ? shared.resError : shared.resReboot;
                    ReplaceAll(result, L"#id#", std::to_wstring(++errorNumber));
                    break;
                case DomainInfo::kDeleted:
                    result = shared.resDeleted;
                    break;
                default:
                    result = shared.resCancelled;
                    break;
            }
            ReplaceAll(row, L"#result#", result);
        }
        rows += row;
    }
    if (view_.empty()) rows = withResults ? shared.noItemsErased : shared.noItemsFound;
    FillTotals(totals);
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", totals);
    return page;
}

void CDomainPlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    ReplaceAll(row, L"#name#", EscapeHtml(domain.name));
    ReplaceAll(row, L"#num#", std::to_wstring(domain.itemCount));
}

void CDomainPlugin::FillTotals(std::wstring& totals) const {
    ReplaceAll(totals, L"#num#", std::to_wstring(view_.size()));
}

ScanSummary CDomainPlugin::GetScanSummary() const {
    ScanSummary summary;
    for (const DomainInfo* domain : view_) {
        summary.items += static_cast<uint64_t>(domain->itemCount);
        summary.bytes += domain->sizeSum;
    }
    return summary;
}

void CDomainPlugin::BuildOrderedView(const DomainOrder& before) {
    view_.clear();
    view_.reserve(domains_.size());
    for (auto& [name, domain] : domains_) view_.push_back(&domain);
    std::sort(view_.begin(), view_.end(),
              [&](const DomainInfo* a, const DomainInfo* b) { return before(*a, *b); });
}

void CDomainPlugin::BuildViewByItemCount() {
    BuildOrderedView(
        [](const DomainInfo& a, const DomainInfo& b) { return a.itemCount > b.itemCount; });
}

void CDomainPlugin::ClearDomains() {
    view_.clear();
    domains_.clear();
}

void CDomainPlugin::ResetResults() {
    for (auto& [name, domain] : domains_) domain.result = DomainInfo::kNotProcessed;
}

void CDomainPlugin::CollectDomainErrors() {
    errors.clear();
    for (const DomainInfo* domain : view_)
        if ((domain->result == DomainInfo::kRebootNeeded || domain->result == DomainInfo::kError) &&
            domain->error)
            errors.push_back(*domain->error);
}
