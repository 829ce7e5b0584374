#pragma once
// The report layout the plug-ins of Windows 10 and 11 share: rows under group
// headers (a Timeline account, an Office program's list, a usage counter),
// each row with a readable name, a count, a size, a date and a line of
// detail, and a result after the clean. A row the clean would remove carries
// its item's key for the report's check boxes; a row the user unticked (or a
// rule keeps) stays and shows why.
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "plugins/browser/domain_plugin.h"
#include "sysaccess/item_ref.h"

namespace veltrane {

class CGroupedRowsPlugin : public CDomainPlugin {
public:
    using CDomainPlugin::CDomainPlugin;

protected:
    // Forgets every group and row.
    void ClearGroups();
    // A new group; its rows are listed under `label`, and `title` (the place
    // they come from) shows when the pointer rests on it.
    size_t AddGroup(std::wstring label, std::wstring title);
    // The row `name` of `group`, added empty when absent.
    DomainInfo& Row(size_t group, const std::wstring& name);
    // A text shown beside the row ("switched to 12 times").
    void SetDetail(const DomainInfo& row, std::wstring detail);
    // The item that names `row` for the check boxes and the keep question; a
    // row without one (a refusal) gets no box. The first one set stays.
    void SetRowItem(const DomainInfo& row, ItemRef item);
    // Forgets the results and keep answers of the last clean.
    void StartClean();
    // Whether `row` stays because the user or a rule keeps its item, or one
    // of `alsoAsk` (the other items it removes); a kept row takes kKept and
    // shows why.
    bool KeepsRow(DomainInfo& row, const std::vector<ItemRef>& alsoAsk = {});
    bool IsKept(const DomainInfo& row) const { return kept_.count(&row) != 0; }
    size_t GroupOf(const DomainInfo& row) const { return groupOf_.at(&row); }
    size_t GroupCount() const { return groups_.size(); }
    std::vector<DomainInfo*> RowsOf(size_t group) const;
    // Every row of the group takes `result`, and `error` when it has one;
    // a kept row keeps its own.
    void SetGroupResult(size_t group, DomainInfo::Result result,
                        const std::optional<ItemError>& error = std::nullopt);
    // Groups in the order they were added; in each, the most recent row
    // first, then the most items, then by name.
    void BuildGroupedView();
    // The clean's result from its rows, their errors collected in page order.
    Result FinishClean();

    void FillRow(std::wstring& row, const DomainInfo& domain) const override;
    void FillTotals(std::wstring& totals) const override;

private:
    struct Group {
        std::wstring label;
        std::wstring title;
        std::wstring key;  // for the check boxes: SubGroupKey of its title
    };
    std::vector<Group> groups_;
    std::map<const DomainInfo*, size_t> groupOf_;
    std::map<const DomainInfo*, std::wstring> details_;
    std::set<const DomainInfo*> groupStarts_;
    std::map<const DomainInfo*, ItemRef> items_;
    std::map<const DomainInfo*, KeepVerdict> kept_;
};

}  // namespace veltrane
