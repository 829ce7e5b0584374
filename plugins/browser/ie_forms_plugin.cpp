#include "plugins/browser/ie_forms_plugin.h"

#include "engine/page_reader.h"
#include "engine/report_text.h"
#include "plugins/browser/protected_storage.h"
#include "sysaccess/text.h"

namespace veltrane {

CPlugin::Result CPlgIEFormsAutocomplete::Scan() {
    ClearDomains();
    ReadAutoCompleteItems(domains_, Run(), seals_);
    if (IsCancelled()) return kCancelled;
    BuildViewByItemCount();
    return IsCancelled() ? kCancelled : kDone;
}

CPlugin::Result CPlgIEFormsAutocomplete::Fix() {
    const bool deleted = DeleteAutoCompleteItems(domains_, Run(), seals_);
    if (IsCancelled()) return kCancelled;
    CollectDomainErrors();
    // Items left with their reasons (changed since the scan, a link) make the
    // clean one with failures; only a failure no row tells is the plug-in's.
    return deleted || !errors.empty() ? kDone : kFailed;
}

void CPlgIEFormsAutocomplete::FillRow(std::wstring& row, const DomainInfo& domain) const {
    const bool report = row.find(L"#result#") != std::wstring::npos;
    const std::wstring group = SubGroupKey(GetId(), L"domain", domain.name);
    ReplaceAll(row, L"#domain attributes#", GroupAttributes(group, PluginGroupKey(GetId())));
    CDomainPlugin::FillRow(row, domain);
    std::wstring& page = report ? itemCleanPage_ : itemScanPage_;
    if (page.empty())
        page = ReadPage(GetPluginFolder() + (report ? L"itemreport.html" : L"itemdetails.html"));
    for (const RegItem& item : domain.regItems) {
        // An index item goes or stays with its saved value: no row of its own.
        if (!item.owner.empty() || (report && !item.kept.Keeps())) continue;
        std::wstring line = page;
        ReplaceAll(line, L"#row attributes#",
                   ItemRowAttributes(ItemKey(RegKeyItemRef(item.root, item.keyPath)), group));
        if (report) ReplaceAll(line, L"#item result#", KeptStatusHtml(item.kept));
        ReplaceAll(line, L"#item#", EscapeHtml(item.keyPath.substr(item.keyPath.rfind(L'\\') + 1)));
        row += line;
    }
}

}  // namespace veltrane
