#include "plugins/windows/grouped_rows_plugin.h"

#include <algorithm>

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "sysaccess/text.h"

namespace {

bool HasTime(const FILETIME& time) { return time.dwLowDateTime != 0 || time.dwHighDateTime != 0; }

}  // namespace

void CGroupedRowsPlugin::ClearGroups() {
    ClearDomains();
    groups_.clear();
    groupOf_.clear();
    details_.clear();
    groupStarts_.clear();
}

size_t CGroupedRowsPlugin::AddGroup(std::wstring label, std::wstring title) {
    groups_.push_back({std::move(label), std::move(title)});
    return groups_.size() - 1;
}

DomainInfo& CGroupedRowsPlugin::Row(size_t group, const std::wstring& name) {
    // Rows of two groups may carry one name (one document in two lists).
    const std::wstring key = std::to_wstring(group) + L'\x1f' + name;
    DomainInfo& row = FindOrAddDomain(domains_, key);
    if (row.name == key) {
        row.name = name;
        groupOf_[&row] = group;
    }
    return row;
}

void CGroupedRowsPlugin::SetDetail(const DomainInfo& row, std::wstring detail) {
    details_[&row] = std::move(detail);
}

std::vector<DomainInfo*> CGroupedRowsPlugin::RowsOf(size_t group) const {
    std::vector<DomainInfo*> rows;
    for (DomainInfo* row : view_)
        if (groupOf_.at(row) == group) rows.push_back(row);
    return rows;
}

void CGroupedRowsPlugin::SetGroupResult(size_t group, DomainInfo::Result result,
                                        const std::optional<ItemError>& error) {
    for (DomainInfo* row : RowsOf(group)) {
        row->result = result;
        row->error = error;
    }
}

void CGroupedRowsPlugin::BuildGroupedView() {
    BuildOrderedView([this](const DomainInfo& a, const DomainInfo& b) {
        const size_t ga = groupOf_.at(&a);
        const size_t gb = groupOf_.at(&b);
        if (ga != gb) return ga < gb;
        if (const LONG order = CompareFileTime(&a.lastAccess, &b.lastAccess); order != 0)
            return order > 0;
        if (a.itemCount != b.itemCount) return a.itemCount > b.itemCount;
        return a.name < b.name;
    });
    groupStarts_.clear();
    size_t previous = SIZE_MAX;
    for (const DomainInfo* row : view_) {
        const size_t group = groupOf_.at(row);
        if (group != previous) groupStarts_.insert(row);
        previous = group;
    }
}

CPlugin::Result CGroupedRowsPlugin::FinishClean() {
    CollectDomainErrors();
    if (IsCancelled()) return kCancelled;
    // A row left failed is the clean's failure to report, not the plug-in's as a whole.
    for (const DomainInfo* row : view_)
        if (row->result == DomainInfo::kError) return kDoneWithFailures;
    return kDone;
}

void CGroupedRowsPlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    std::wstring header;
    if (groupStarts_.count(&domain) != 0) {
        const bool report = row.find(L"#result#") != std::wstring::npos;
        const Group& group = groups_[groupOf_.at(&domain)];
        header = ReadPage(GetPluginsFolder() +
                          (report ? L"ProfileGroupFix.html" : L"ProfileGroupScan.html"));
        ReplaceAll(header, L"#profile#", EscapeHtml(group.label));
        ReplaceAll(header, L"#folder#", EscapeHtml(group.title));
    }
    auto detail = details_.find(&domain);
    ReplaceAll(row, L"#name#", EscapeHtml(domain.name));
    ReplaceAll(row, L"#num#", std::to_wstring(domain.itemCount));
    ReplaceAll(row, L"#size#", FormatSize(domain.sizeSum));
    ReplaceAll(row, L"#date#",
               HasTime(domain.lastAccess) ? FormatAccessDate(domain.lastAccess) : std::wstring());
    ReplaceAll(row, L"#detail#",
               detail == details_.end() ? std::wstring() : EscapeHtml(detail->second));
    row = header + row;
}

void CGroupedRowsPlugin::FillTotals(std::wstring& totals) const {
    uint64_t items = 0;
    uint64_t bytes = 0;
    std::set<size_t> groups;
    for (const DomainInfo* row : view_) {
        items += static_cast<uint64_t>(row->itemCount);
        bytes += row->sizeSum;
        groups.insert(groupOf_.at(row));
    }
    ReplaceAll(totals, L"#numgroups#", std::to_wstring(groups.size()));
    ReplaceAll(totals, L"#numrows#", std::to_wstring(view_.size()));
    ReplaceAll(totals, L"#numit#", std::to_wstring(items));
    ReplaceAll(totals, L"#size#", FormatSize(bytes));
}
