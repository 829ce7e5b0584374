#include "plugins/browser/netscape_plugins.h"

#include "engine/kernel.h"
#include "engine/statistics.h"
#include "plugins/browser/netscape_files.h"

namespace veltrane {

CPlugin::Result CNetscapePlugin::Scan() {
    ClearDomains();
    bool read = ReadDomains();
    if (IsCancelled()) return kCancelled;
    BuildViewByItemCount();
    return read ? kDone : kFailed;
}

CPlugin::Result CNetscapeWholeFilePlugin::Fix() {
    errors.clear();
    const FileRemovalRow removal = RemoveNetscapeFiles(files_, Run());
    if (IsCancelled()) return kCancelled;
    // Every row shares the outcome, and a row left has its own error link.
    for (DomainInfo* domain : view_) {
        domain->result = removal.outcome;
        domain->error = removal.error;
        domain->kept = removal.kept;
        if (removal.error) errors.push_back(*removal.error);
    }
    return kDone;
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
