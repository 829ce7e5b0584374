#include "plugins/windows/grouped_rows_plugin.h"

#include <algorithm>

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/browser/ie_cache_plugins.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

bool HasTime(const FILETIME& time) { return time.dwLowDateTime != 0 || time.dwHighDateTime != 0; }

}  // namespace

void CGroupedRowsPlugin::ClearGroups() {
    ClearDomains();
    groups_.clear();
    groupOf_.clear();
    details_.clear();
    groupStarts_.clear();
    items_.clear();
    kept_.clear();
}

size_t CGroupedRowsPlugin::AddGroup(std::wstring label, std::wstring title) {
    std::wstring key = SubGroupKey(GetId(), L"list", title);
    groups_.push_back({std::move(label), std::move(title), std::move(key)});
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

void CGroupedRowsPlugin::SetRowItem(const DomainInfo& row, ItemRef item) {
    items_.try_emplace(&row, std::move(item));
}

void CGroupedRowsPlugin::StartClean() {
    ResetResults();
    kept_.clear();
}

bool CGroupedRowsPlugin::KeepsRow(DomainInfo& row, const std::vector<ItemRef>& alsoAsk) {
    if (IsKept(row)) return true;
    const auto item = items_.find(&row);
    if (item == items_.end()) return false;
    KeepVerdict verdict = MayRemove(item->second);
    for (size_t i = 0; !verdict.Keeps() && i < alsoAsk.size(); ++i) verdict = MayRemove(alsoAsk[i]);
    if (!verdict.Keeps()) return false;
    row.result = DomainInfo::kKept;
    row.error.reset();
    kept_.emplace(&row, std::move(verdict));
    return true;
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
        if (IsKept(*row)) continue;
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
    const Group& group = groups_[groupOf_.at(&domain)];
    if (groupStarts_.count(&domain) != 0) {
        header = ReadPage(GetPluginsFolder() + L"RowGroup.html");
        ReplaceAll(header, L"#group attributes#",
                   GroupAttributes(group.key, PluginGroupKey(GetId())));
        ReplaceAll(header, L"#profile#", EscapeHtml(group.label));
        ReplaceAll(header, L"#folder#", EscapeHtml(group.title));
    }
    const auto item = items_.find(&domain);
    ReplaceAll(row, L"#row attributes#",
               item == items_.end() ? std::wstring()
                                    : ItemRowAttributes(ItemKey(item->second), group.key));
    if (const auto kept = kept_.find(&domain); kept != kept_.end())
        ReplaceAll(row, L"#result#", KeptStatusHtml(kept->second));
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

}  // namespace veltrane
