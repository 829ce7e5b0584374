#include "plugins/browser/netscape_plugins.h"

#include "engine/kernel.h"
#include "engine/report_text.h"
#include "engine/statistics.h"
#include "plugins/browser/netscape_files.h"
#include "sysaccess/text.h"

namespace veltrane {

CPlugin::Result CNetscapePlugin::Scan() {
    ClearDomains();
    bool read = ReadDomains();
    if (IsCancelled()) return kCancelled;
    BuildViewByItemCount();
    return read ? kDone : kFailed;
}

void CNetscapePlugin::FillRow(std::wstring& row, const DomainInfo& domain) const {
    CDomainPlugin::FillRow(row, domain);
    ReplaceAll(row, L"#row attributes#",
               ItemRowAttributes(ItemKey(StoreRowItemRef(RowStore(), domain.name)),
                                 PluginGroupKey(GetId())));
}

CPlugin::Result CNetscapeWholeFilePlugin::Fix() {
    ResetResults();
    RemoveNetscapeFiles(files_, RowStore(), domains_, Run());
    CollectDomainErrors();
    return IsCancelled() ? kCancelled : kDone;
}

bool CPlgNetscapeHistory::ReadDomains() {
    files_.clear();
    return GetNetscapeHistory(domains_, Run(), &files_);
}

bool CPlgNetscapeFormsManager::ReadDomains() {
    files_.clear();
    return GetNetscapeForms(domains_, Run(), &files_);
}

bool CPlgNetscapeCookies::ReadDomains() { return GetNetscapeCookies(domains_, Run()); }

CPlugin::Result CPlgNetscapeCookies::Fix() {
    ResetResults();
    if (auto refused = RefuseIfKeepListUnreadable()) return *refused;
    for (auto& [name, domain] : domains_) domain.profileIndex = 0;
    bool rewritten = DeleteNetscapeCookies(domains_, Run(), GetKernel().GetCookieKeepList());
    CollectDomainErrors();
    if (IsCancelled()) return kCancelled;
    // A file that could not be rewritten failed its rows: "finished with failures".
    return rewritten || !errors.empty() ? kDone : kFailed;
}

}  // namespace veltrane
