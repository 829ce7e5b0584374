#include "plugins/browser/domain_plugin.h"

#include <algorithm>
#include <optional>

#include "engine/item_outcome.h"
#include "engine/kernel.h"
#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr wchar_t kKeepPrefix[] = L"idKeep_";
// The element a keep-list report is wrapped in, so that a toggle can redraw it.
constexpr wchar_t kKeepReportId[] = L"idKeepReport";

// Puts the toggle in the row's "#keep#", or in a cell of its own at the end
// of a row whose page has no place for it.
void PlaceKeepToggle(std::wstring& row, const std::wstring& toggle) {
    if (row.find(L"#keep#") != std::wstring::npos) {
        ReplaceAll(row, L"#keep#", toggle);
        return;
    }
    const size_t end = row.rfind(L"</tr>");
    if (end != std::wstring::npos) row.insert(end, L"<td>" + toggle + L"</td>");
}

// The keep toggles of one scan page: the list as it stands and the three
// toggle pages, read once per page.
class KeepToggles {
public:
    KeepToggles(const CookieKeepList& list, const std::wstring& folder,
                const std::wstring& pluginId)
        : list_(list),
          off_(ReadPage(folder + L"keep_off.html")),
          on_(ReadPage(folder + L"keep_on.html")),
          parent_(ReadPage(folder + L"keep_parent.html")) {
        for (std::wstring* page : {&off_, &on_, &parent_})
            ReplaceAll(*page, L"#pluginid#", pluginId);
    }

    // The toggle of scan row `number` (1-based).
    std::wstring For(const DomainInfo& domain, size_t number) const {
        const std::wstring keptBy = list_.KeptBy(domain.name);
        const bool byParent = !keptBy.empty() && keptBy != CookieKeepList::Normalize(domain.name);
        std::wstring toggle = byParent ? parent_ : keptBy.empty() ? off_ : on_;
        ReplaceAll(toggle, L"#n#", std::to_wstring(number));
        ReplaceAll(toggle, L"#parent#", EscapeHtml(keptBy));
        ReplaceAll(toggle, L"#domain#", EscapeHtml(domain.name));
        return toggle;
    }

private:
    const CookieKeepList& list_;
    std::wstring off_;
    std::wstring on_;
    std::wstring parent_;
};

}  // namespace

DomainInfo& FindOrAddDomain(DomainMap& domains, const std::wstring& name) {
    auto [it, inserted] = domains.try_emplace(name);
    if (inserted) it->second.name = name;
    return it->second;
}

CDomainPlugin::CDomainPlugin(CKernel& kernel, const PluginIdentity& identity)
    : CPlugin(kernel, identity) {}

ReportResult CDomainPlugin::BuildScanReport(IHtmlElement& element) {
    if (GetRunState() != kScanned) return ReportResult::kNotYet;
    std::wstring page =
        BuildPage(L"details.html", L"domaindetails.html", L"totaldetails.html", false);
    if (UsesCookieKeepList())
        page = L"<div id=\"" + std::wstring(kKeepReportId) + L"\">" + page + L"</div>";
    element.SetInnerHtml(page);
    return ReportResult::kBuilt;
}

ReportResult CDomainPlugin::BuildFixReport(IHtmlElement& element) {
    if (GetRunState() != kCleaned) return ReportResult::kNotYet;
    element.SetInnerHtml(
        BuildPage(L"report.html", L"domainreport.html", L"totalreport.html", true));
    return ReportResult::kBuilt;
}

std::wstring CDomainPlugin::BuildPage(const wchar_t* pageName, const wchar_t* rowName,
                                      const wchar_t* totalName, bool withResults) const {
    const std::wstring folder = GetPluginFolder();
    std::wstring page = ReadPage(folder + pageName);
    const std::wstring rowFragment = ReadPage(folder + rowName);
    std::wstring totals = ReadPage(folder + totalName);
    const SharedResultPages& shared = SharedPages();

    const bool withToggles = !withResults && UsesCookieKeepList();
    const CookieKeepList keepList =
        withToggles ? GetKernel().ReadCookieKeepList() : CookieKeepList();
    const std::optional<KeepToggles> toggles =
        withToggles ? std::make_optional<KeepToggles>(keepList, GetPluginsFolder(), GetId())
                    : std::nullopt;

    std::wstring rows;
    size_t errorCount = 0;
    size_t rowNumber = 0;
    for (const DomainInfo* domain : view_) {
        std::wstring row = rowFragment;
        FillRow(row, *domain);
        ++rowNumber;
        if (toggles && OffersKeepToggle(*domain))
            PlaceKeepToggle(row, toggles->For(*domain, rowNumber));
        else if (toggles)
            ReplaceAll(row, L"#keep#", L"");
        if (withResults) {
            const size_t errorNumber = HasItemError(domain->result) ? ++errorCount : 0;
            ReplaceAll(row, L"#result#", ResultPageOf(domain->result, domain->kept, errorNumber));
        }
        rows += row;
    }
    if (view_.empty()) rows = withResults ? shared.noItemsErased : shared.noItemsFound;
    FillTotals(totals);
    ReplaceAll(page, L"#group attributes#", GroupAttributes(PluginGroupKey(GetId())));
    ReplaceAll(page, L"#volumes#", rows);
    ReplaceAll(page, L"#total#", totals);
    return page;
}

void CDomainPlugin::OnReportClick(const std::wstring& command, IHtmlElement* element) {
    if (!StartsWith(command, kKeepPrefix)) return CPlugin::OnReportClick(command, element);
    // Only while the scan report is up: a clean takes the list when it starts.
    if (!UsesCookieKeepList() || GetRunState() != kScanned ||
        GetKernel().GetMode() != CKernel::kScanFinished)
        return;
    const long number = wcstol(command.c_str() + wcslen(kKeepPrefix), nullptr, 10);
    if (number < 1 || static_cast<size_t>(number) > view_.size()) return;
    const std::wstring& domain = view_[static_cast<size_t>(number) - 1]->name;

    CKernel& kernel = GetKernel();
    CookieKeepList list = kernel.ReadCookieKeepList();
    // A domain kept through a parent entry stays kept: its toggle is no link.
    if (!list.Remove(domain) && (list.Keeps(domain) || !list.Add(domain))) return;
    kernel.StoreCookieKeepList(list);

    // Other rows may be kept through the domain just toggled: redraw them all.
    kernel.RefillReportPart(kKeepReportId, BuildPage(L"details.html", L"domaindetails.html",
                                                     L"totaldetails.html", false));
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

CleanSummary CDomainPlugin::GetCleanSummary() const {
    CleanSummary summary = CPlugin::GetCleanSummary();
    summary.removed = static_cast<uint64_t>(std::count_if(
        view_.begin(), view_.end(),
        [](const DomainInfo* domain) { return domain->result == DomainInfo::kDeleted; }));
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
    for (auto& [name, domain] : domains_) {
        domain.result = DomainInfo::kNotProcessed;
        domain.kept = {};
    }
}

std::optional<CPlugin::Result> CDomainPlugin::RefuseIfKeepListUnreadable() {
    const CookieKeepList& keep = GetKernel().GetCookieKeepList();
    if (!UsesCookieKeepList() || !keep.IsUnreadable()) return std::nullopt;
    for (DomainInfo* domain : view_) {
        domain->result = DomainInfo::kError;
        domain->error =
            ItemError(L"\"" + domain->name + L"\" was left as it was.", keep.UnreadableReason());
    }
    CollectDomainErrors();
    // Refused as a whole, like every clean when the exclusions cannot be read.
    return errors.empty() ? kDone : kFailed;
}

void CDomainPlugin::CollectDomainErrors() {
    errors.clear();
    for (const DomainInfo* domain : view_)
        if ((domain->result == DomainInfo::kRebootNeeded || domain->result == DomainInfo::kError) &&
            domain->error)
            errors.push_back(*domain->error);
}

}  // namespace veltrane
